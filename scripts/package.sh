#!/usr/bin/env bash
# Makes the packages into dist/ from release builds under build-package/ (one
# for the .deb and the tarball of an architecture), with stripped programs:
#   kovomaint_VERSION_ARCH.deb for amd64, arm64, armhf and i386
#       linked against Debian's libraries, built with its hardening flags;
#   kovomaint-VERSION-MACHINE-linux.tar.gz for x86_64, aarch64, armv7l and i686
#       static programs for any Linux of the architecture;
#   kovomaint-VERSION-win64.zip, kovomaint-VERSION-win32.zip
#       static programs that import only Windows' own DLLs;
# and SHA256SUMS over them, the same on every run from one commit. A package whose cross compiler or libraries are
# missing is skipped with a line that names the Debian packages to install
# (scripts/install-deps.sh cross installs them all).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh packaging

version=$(sed -n 's/^project(kovomaint VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
# Reproducible: every time in the packages is the commit's (or, outside a git
# checkout, CMakeLists.txt's), so two runs from one commit give the same bytes.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || stat -c %Y CMakeLists.txt)}
export SOURCE_DATE_EPOCH
rm -rf dist
mkdir dist

installed() {
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || return 1
  done
}

# build_package NAME ARCH "DEBIAN PACKAGES IT NEEDS" [CMAKE OPTIONS...]: one package.
# ARCH is Debian's name of the architecture the build is for; the build is in
# build-package/NAME, or in build-package/$BUILD_DIR where that is set.
build_package() {
  local name=$1 arch=$2 needs=$3
  shift 3
  # shellcheck disable=SC2086 # the list is split on purpose
  if ! installed $needs; then
    echo "Skipping $name: it needs the Debian packages $needs (scripts/install-deps.sh cross)"
    return
  fi
  local flags=()
  if [[ $name == *.deb || $name == *linux.tar.gz ]]; then
    # Debian's hardening flags, as its own packages are built with.
    flags=(-DCMAKE_CXX_FLAGS="$(DEB_HOST_ARCH=$arch dpkg-buildflags --get CXXFLAGS) $(DEB_HOST_ARCH=$arch dpkg-buildflags --get CPPFLAGS)"
           -DCMAKE_EXE_LINKER_FLAGS="$(DEB_HOST_ARCH=$arch dpkg-buildflags --get LDFLAGS)")
  fi
  local dir=build-package/${BUILD_DIR:-$name}
  echo "== $name"
  # --no-warn-unused-cli: the second package of a build passes its toolchain again.
  cmake --no-warn-unused-cli -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF "${flags[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)" >/dev/null
  rm -rf "$dir/packages"
  (cd "$dir" && DEB_HOST_ARCH=$arch cpack >/dev/null)
  cp "$dir/packages/$name" dist/
}

# linux_packages DEBIAN-ARCH MACHINE CROSS-PREFIX: the .deb and the tarball of
# one Linux architecture; MACHINE is what uname -m says there, CROSS-PREFIX
# names Debian's cross compiler and its toolchain file (none: this machine's).
# Both are compiled alike and only linked apart, so they share one build.
linux_packages() {
  local arch=$1 machine=$2 prefix=$3 compiler=g++ toolchain=()
  if [ -n "$prefix" ]; then
    compiler=g++-$prefix
    toolchain=(-DCMAKE_TOOLCHAIN_FILE=cmake/$prefix.cmake)
  fi
  BUILD_DIR=linux-$arch build_package "kovomaint_${version}_$arch.deb" "$arch" \
    "$compiler libc6:$arch libstdc++6:$arch libgcc-s1:$arch" "${toolchain[@]}" -DKOVO_STATIC=OFF
  BUILD_DIR=linux-$arch build_package "kovomaint-${version}-$machine-linux.tar.gz" "$arch" "$compiler" \
    "${toolchain[@]}" -DKOVO_STATIC=ON
}
linux_packages amd64 x86_64 ""
linux_packages arm64 aarch64 aarch64-linux-gnu
linux_packages armhf armv7l arm-linux-gnueabihf
linux_packages i386 i686 i686-linux-gnu
build_package "kovomaint-${version}-win64.zip" amd64 "g++-mingw-w64-x86-64-posix" \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
build_package "kovomaint-${version}-win32.zip" i386 "g++-mingw-w64-i686-posix" \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake

(cd dist && sha256sum -- * > SHA256SUMS)
ls -l dist/
