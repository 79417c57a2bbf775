#!/usr/bin/env bash
# Desktop integration: the .desktop file is valid, and `cmake --install` puts it, the hicolor
# icon and the user guide where the desktop and the program look for them.
# Usage: desktop_file.sh <build dir>
set -euo pipefail

build=$(cd "${1:?usage: desktop_file.sh <build dir>}" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
command -v desktop-file-validate >/dev/null || { echo "FAIL: desktop-file-validate is not installed"; exit 1; }

fail() { echo "FAIL: $*"; exit 1; }

desktop-file-validate "$source_dir/resources/sorvantel.desktop" || fail "resources/sorvantel.desktop is not valid"

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" --component desktop >/dev/null

installed="$prefix/share/applications/sorvantel.desktop"
[ -f "$installed" ] || fail "no $installed"
desktop-file-validate "$installed" || fail "the installed desktop file is not valid"
grep -qx 'Icon=sorvantel' "$installed" || fail "the desktop file names another icon"
grep -qx 'Exec=sorvantel' "$installed" || fail "the desktop file starts another program"

icon="$prefix/share/icons/hicolor/scalable/apps/sorvantel.svg"
[ -f "$icon" ] || fail "no $icon"
grep -q '<svg' "$icon" || fail "$icon is not an SVG image"

# The program looks for the guide in ../share/sorvantel/help beside its bin directory.
guide="$prefix/share/sorvantel/help/index.html"
[ -f "$guide" ] || fail "no $guide"
for target in $(grep -o 'src="[^"]*"' "$guide" | sed 's/src="//; s/"$//'); do
  [ -f "$prefix/share/sorvantel/help/$target" ] || fail "the guide shows $target, which is not installed"
done
for anchor in $(grep -o 'href="#[^"]*"' "$guide" | sed 's/href="#//; s/"$//' | sort -u); do
  grep -q "id=\"$anchor\"" "$guide" || fail "the guide links to #$anchor, which it does not contain"
done

echo "PASS: desktop file, icon and user guide install and validate"
