#!/usr/bin/env bash
# Installs the Debian packages a task needs and this machine lacks (only
# those):
#   install-deps.sh programs   what building the two programs needs
#   install-deps.sh            that, and what the tests and benchmarks need
#   install-deps.sh windows    what the Windows build and its tests under wine need
set -euo pipefail

case "${1:-tests}" in
  programs) packages=(cmake make g++) ;;
  windows) packages=(cmake make g++-mingw-w64-x86-64 googletest wine wine64) ;;
  *) packages=(cmake make g++ pkg-config libgtest-dev libbenchmark-dev libvterm-dev
               nlohmann-json3-dev clang libclang-rt-dev) ;;
esac
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
