#!/bin/bash
# Pictures of the structure page under Xvfb, as under `make run`: a Paste of HTML that an X
# client (xclip) offers through Wine's bridge, then a Paste of the test source's
# well-known formats (dropped files, a file group, a PNG, HTML with wrong offsets).
# Writes docs/structure-*.png.
#   tools/structure_screenshots.sh BUILD_DIR
set -e
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
run="$root/cmake/wine-run.sh"
export ORVETTA_BUILD_DIR="$build"
mkdir -p "$root/docs"
shots="$build/shots"
rm -rf "$shots" && mkdir -p "$shots"
winpath() { echo "Z:${1//\//\\}"; }
html='<html><body><p>An <b>X client</b> offered this: 漢字 and <a href="https://example.org/">a link</a>.</p></body></html>'
xvfb-run -a -s "-screen 0 1100x700x24" bash -c "
    printf '%s' '$html' | xclip -selection clipboard -t text/html -i & clip=\$!
    sleep 1
    '$run' '$build/bin/Kavilo.exe' & program=\$!
    '$run' '$build/bin/structure_page_shot.exe' '$(winpath "$shots/x")' 0:4:hex
    wait \$program || true
    kill \$clip 2>/dev/null || true
    '$run' '$build/bin/structure_source.exe' - - & source=\$!
    sleep 3
    '$run' '$build/bin/Kavilo.exe' & program=\$!
    '$run' '$build/bin/structure_page_shot.exe' '$(winpath "$shots/s")' 0:9:hex 1:3 2:2:open 5:8
    wait \$program || true
    kill \$source 2>/dev/null || true
    WINEPREFIX='$build/wineprefix' wineserver -k 2>/dev/null || true
" 2> >(grep -v '^X connection to' >&2)
for bmp in "$shots"/*.bmp; do
    python3 "$root/tools/bmp2png.py" "$bmp" "$root/docs/structure-$(basename "$bmp" .bmp).png"
done
ls "$root"/docs/structure-*.png
