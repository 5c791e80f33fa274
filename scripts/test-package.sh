#!/usr/bin/env bash
# Makes the packages, then tries the .deb as a user would: lintian finds no
# error in it; it installs; kovomaint Y tidies a sample in a scratch folder,
# as kovolist --check confirms; both man pages are found and the version is
# the project's; and it removes without leaving a file behind. Needs root, or
# sudo, for dpkg; refuses to run where a kovomaint package is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
if dpkg-query -W -f='${Status}' kovomaint 2>/dev/null | grep -q 'install ok installed'; then
  echo "A kovomaint package is installed already; this test installs and removes its own." >&2
  echo "Remove it first (apt remove kovomaint), then run this again." >&2
  exit 1
fi
scripts/install-deps.sh lintian
scripts/package.sh
deb=$(ls dist/kovomaint_*.deb)
version=$(sed -n 's/^project(kovomaint VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

echo "== lintian"
lintian --fail-on error "$deb"

echo "== install, use, remove"
files=$(dpkg-deb --fsys-tarfile "$deb" | tar tf - | sed -n 's|^\./|/|p' | grep -v '/$')
"${sudo[@]}" dpkg -i "$deb" >/dev/null
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
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
echo "the package installs, runs, shows its man pages and removes cleanly"
