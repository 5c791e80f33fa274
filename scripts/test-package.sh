#!/usr/bin/env bash
# Makes every package, then tries each as its user would:
# - the .debs: lintian finds no error or warning in any; the amd64 one
#   installs, kovomaint Y tidies a sample as kovolist --check confirms, both
#   man pages and README are found, the version is the project's, and it
#   removes without leaving a file behind;
# - the tarballs: their programs are static, and the end-to-end tests pass on
#   them, the ARM ones under qemu-user (and the 32-bit PC ones where the
#   kernel runs no 32-bit programs), as they do on the programs of the
#   arm64, armhf and i386 .debs, and on static s390x programs, a big-endian
#   machine's;
# - the zips: their programs import only Windows' own DLLs;
# - SHA256SUMS checks.
# The Windows tests run on both Windows builds in scripts/test-windows.sh.
# Needs root, or sudo, for dpkg and for qemu's binfmt_misc entry; refuses to
# run where a kovomaint package is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
if dpkg-query -W -f='${Status}' kovomaint 2>/dev/null | grep -q 'install ok installed'; then
  echo "A kovomaint package is installed already; this test installs and removes its own." >&2
  echo "Remove it first (apt remove kovomaint), then run this again." >&2
  exit 1
fi
scripts/install-deps.sh package-tests
scripts/install-deps.sh big-endian
scripts/install-deps.sh cross
scripts/package.sh
version=$(sed -n 's/^project(kovomaint VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"

echo "== README names this version's packages"
for name in "kovomaint_${version}_" "kovomaint-${version}-win64.zip" "kovomaint-${version}-\$(uname -m)-linux"; do
  grep -qF "$name" README.md || { echo "README does not name $name"; exit 1; }
done

echo "== SHA256SUMS"
(cd dist && sha256sum --quiet -c SHA256SUMS)
[ "$(wc -l <dist/SHA256SUMS)" -eq 10 ] || { echo "not every package was made"; exit 1; }

echo "== lintian"
lintian --fail-on error,warning dist/kovomaint_"$version"_*.deb

echo "== the amd64 .deb: install, use, remove"
deb=dist/kovomaint_${version}_amd64.deb
files=$(dpkg-deb --fsys-tarfile "$deb" | tar tf - | sed -n 's|^\./|/|p' | grep -v '/$')
"${sudo[@]}" dpkg -i "$deb" >/dev/null
cp sample/kovo.fon "$scratch/"
(cd "$scratch" && kovomaint Y && kovolist --check Y --quiet)
man -w kovomaint kovolist >/dev/null
[ -f /usr/share/doc/kovomaint/README.md ]
[ "$(kovolist --version)" = "kovolist (kovomaint) $version" ]
zcat /usr/share/man/man1/kovolist.1.gz | grep -q "\"kovomaint $version\""
"${sudo[@]}" dpkg -r kovomaint >/dev/null
for file in $files /usr/share/doc/kovomaint; do
  if [ -e "$file" ]; then echo "left behind: $file"; exit 1; fi
done

# The end-to-end tests, built for this machine, run the tarballs' programs.
cmake -S . -B build-test -DBUILD_TESTING=ON -DKOVO_REQUIRE_TESTS=ON >/dev/null
cmake --build build-test --target end_to_end_tests -j "$(nproc)" >/dev/null
if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
  "${sudo[@]}" mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
fi
"${sudo[@]}" update-binfmts --enable qemu-aarch64
"${sudo[@]}" update-binfmts --enable qemu-arm
"${sudo[@]}" update-binfmts --enable qemu-s390x
suites=()
for machine in x86_64 aarch64 armv7l i686; do
  tar -xzf "dist/kovomaint-$version-$machine-linux.tar.gz" -C "$scratch"
  programs=$scratch/kovomaint-$version-$machine-linux/bin
  for program in "$programs"/*; do
    file "$program" | grep -q 'statically linked' || { file "$program"; exit 1; }
  done
  suites+=("the $machine tarball:$programs")
done
# A kernel without IA32 emulation runs 32-bit PC programs under qemu-user,
# as it runs the ARM ones (the kernel reads the \x escapes itself).
# The entry goes again at the end: wine must not take it for 32-bit support.
if ! "$scratch/kovomaint-$version-i686-linux/bin/kovolist" --version >/dev/null 2>&1; then
  echo "== this kernel runs no 32-bit programs: the i686 and i386 ones run under qemu-user"
  trap 'echo -1 | "${sudo[@]}" tee /proc/sys/fs/binfmt_misc/qemu-i386 >/dev/null; rm -rf "$scratch"' EXIT
  [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] ||
    echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
    "${sudo[@]}" tee /proc/sys/fs/binfmt_misc/register >/dev/null
fi
# A big-endian machine reads the journals this one writes: static s390x
# programs, made for the tests alone.
cmake -S . -B build-package/s390x -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DKOVO_STATIC=ON \
  -DCMAKE_TOOLCHAIN_FILE=cmake/s390x-linux-gnu.cmake >/dev/null
cmake --build build-package/s390x -j "$(nproc)" --target kovomaint kovolist >/dev/null
suites+=("a big-endian machine (s390x):$PWD/build-package/s390x")
for arch in arm64 armhf i386; do
  dpkg-deb -x "dist/kovomaint_${version}_$arch.deb" "$scratch/$arch"
  suites+=("the $arch .deb, with Debian's $arch libraries:$scratch/$arch/usr/bin")
done
# The suites wait on the programs' pauses far more than they compute: all at
# once, each into a log of its own, shown when it fails.
pids=()
for i in "${!suites[@]}"; do
  KOVO_PROGRAMS=${suites[i]#*:} build-test/tests/end_to_end_tests --gtest_brief=1 >"$scratch/suite$i.log" 2>&1 &
  pids+=($!)
done
failed=0
for i in "${!suites[@]}"; do
  if wait "${pids[i]}"; then
    echo "== the end-to-end tests pass on the programs of ${suites[i]%%:*}"
  else
    echo "== the end-to-end tests FAIL on the programs of ${suites[i]%%:*}:"
    cat "$scratch/suite$i.log"
    failed=1
  fi
done
[ "$failed" -eq 0 ]

echo "== the zips: only Windows' own DLLs"
for bits in 64 32; do
  unzip -q -o "dist/kovomaint-$version-win$bits.zip" -d "$scratch"
  for program in "$scratch/kovomaint-$version-win$bits"/*.exe; do
    imports=$(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^\tDLL Name: //p' | sort -u | tr '\n' ' ')
    [ "$imports" = "ADVAPI32.dll KERNEL32.dll USER32.dll msvcrt.dll " ] || { echo "$program imports $imports"; exit 1; }
  done
done
echo "every package is whole, and runs where it is meant to"
