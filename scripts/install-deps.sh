#!/usr/bin/env bash
# Installs the Debian packages that building and testing kovomaint need and
# this machine lacks (only those). With "windows": what the Windows build
# and its tests under wine need.
set -euo pipefail

if [ "${1:-}" = windows ]; then
  packages=(cmake make g++-mingw-w64-x86-64 googletest wine wine64)
else
  packages=(cmake make g++ pkg-config libgtest-dev libbenchmark-dev libvterm-dev clang libclang-rt-dev)
fi
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
    || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
