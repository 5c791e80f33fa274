#!/usr/bin/env bash
# Makes the packages into dist/: kovomaint_<version>_<arch>.deb and
# kovomaint-<version>.tar.gz from a release build of the programs, and,
# where mingw-w64 is installed, kovomaint-<version>-win64.zip from the
# Windows build. The programs are stripped; the builds use folders of their
# own (build-package/, build-package-windows/).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh packaging

# Debian's hardening flags, as its own packages are built with.
cxxflags=$(dpkg-buildflags --get CXXFLAGS)
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_CXX_FLAGS="$cxxflags $(dpkg-buildflags --get CPPFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build build-package -j "$(nproc)"
(cd build-package && cpack >/dev/null)

mkdir -p dist
cp build-package/packages/*.deb build-package/packages/*.tar.gz dist/

if command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  cmake -S . -B build-package-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
  cmake --build build-package-windows -j "$(nproc)"
  (cd build-package-windows && cpack >/dev/null)
  cp build-package-windows/packages/*.zip dist/
else
  echo "Skipping the Windows zip: no mingw-w64 (Debian: g++-mingw-w64-x86-64)"
fi
ls -l dist/
