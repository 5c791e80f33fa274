#!/usr/bin/env bash
# Installs the Debian packages a task needs and this machine lacks (only
# those):
#   install-deps.sh programs   what building the two programs needs
#   install-deps.sh            that, and what the tests and benchmarks need
#   install-deps.sh windows    what the Windows build and its tests under wine need
#   install-deps.sh packaging  what scripts/package.sh needs for the amd64 .deb and
#                              the x86-64 tarball
#   install-deps.sh cross      what it needs for the others: the arm64, armhf and
#                              i386 .debs and tarballs, and the Windows zips
#   install-deps.sh package-tests
#                              what scripts/test-package.sh adds to those: lintian,
#                              and qemu to run the ARM programs
#   install-deps.sh big-endian what it adds to build static s390x programs,
#                              whose tests show that a big-endian machine reads
#                              the journals of the others
# A package for another architecture (libc6:arm64) adds that architecture to
# dpkg first.
# As root it runs apt-get itself; otherwise through sudo, and without sudo it
# says which line to run.
set -euo pipefail

case "${1:-tests}" in
  programs) packages=(cmake make g++) ;;
  windows) packages=(cmake make g++-mingw-w64-x86-64 g++-mingw-w64-i686 googletest wine wine64 wine32:i386) ;;
  packaging) packages=(cmake make g++ dpkg-dev file gzip man-db nlohmann-json3-dev) ;;
  cross) packages=(g++-aarch64-linux-gnu libc6:arm64 libstdc++6:arm64 libgcc-s1:arm64
                   g++-arm-linux-gnueabihf libc6:armhf libstdc++6:armhf libgcc-s1:armhf
                   g++-i686-linux-gnu libc6:i386 libstdc++6:i386 libgcc-s1:i386
                   g++-mingw-w64-x86-64 g++-mingw-w64-i686) ;;
  package-tests) packages=(lintian qemu-user-static binfmt-support) ;;
  big-endian) packages=(g++-s390x-linux-gnu) ;;
  *) packages=(cmake make g++ pkg-config libgtest-dev libbenchmark-dev libvterm-dev
               nlohmann-json3-dev clang libclang-rt-dev) ;;
esac
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
    || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

line="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null; then
  sudo=(sudo)
else
  echo "Missing Debian packages. As root, run: apt-get update && $line" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
for package in "${missing[@]}"; do
  architecture=${package#*:}
  if [ "$architecture" != "$package" ] && ! dpkg --print-foreign-architectures | grep -qx "$architecture"; then
    "${sudo[@]}" dpkg --add-architecture "$architecture"
  fi
done
"${sudo[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
