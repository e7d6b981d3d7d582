#!/bin/sh
# The release for Windows users: OUT_DIR/orvetta-<version>-win64.zip holding a folder
# orvetta-<version> with Kavilo.exe, kavilo-dump.exe and a short read-me.
#   dist.sh BUILD_DIR OUT_DIR
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
version=$(sed -n 's/^project(Orvetta VERSION \([0-9.]*\).*/\1/p' "$here/../CMakeLists.txt")
[ -n "$version" ] || { echo "dist.sh: no version in CMakeLists.txt" >&2; exit 1; }
name="orvetta-$version"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/$name"
cp "$build/bin/Kavilo.exe" "$build/bin/kavilo-dump.exe" "$stage/$name/"
# CRLF line ends, so that any Windows editor shows the lines.
printf '%s\r\n' \
    "Orvetta $version for 64-bit Windows" \
    "" \
    "Kavilo.exe shows exactly what a program put on the clipboard, or what a drag" \
    "source offers: paste (Ctrl+V) or drop data on one of its drop areas, then select" \
    "an entry of the tree to see its properties." \
    "" \
    "kavilo-dump.exe prints the clipboard's snapshot in a console:" \
    "    kavilo-dump [--format NAME|NUMBER] [--json] [--save DIR]" \
    "" \
    "Both programs are single files that need nothing else installed: unpack this" \
    "folder anywhere and run them. Settings are kept in the registry; the program's" \
    "Tools menu has an entry that removes them before you delete the folder." \
    > "$stage/$name/README.txt"
rm -f "$out/$name-win64.zip"
(cd "$stage" && cmake -E tar cf "$out/$name-win64.zip" --format=zip "$name")
echo "$out/$name-win64.zip"
