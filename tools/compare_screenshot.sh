#!/bin/bash
# The picture of the choice of the snapshot to compare with: Kavilo.exe under Xvfb watching
# the clipboard while compare_choose_shot copies four texts, then 比較 with the newest root
# selected. Writes docs/screenshots/compare-choose.png.
#   tools/compare_screenshot.sh BUILD_DIR
set -e
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
run="$root/cmake/wine-run.sh"
export ORVETTA_BUILD_DIR="$build"
mkdir -p "$root/docs/screenshots"
bmp="$build/compare-choose.bmp"
xvfb-run -a -s "-screen 0 1024x640x24" bash -c "
    '$run' '$build/bin/Kavilo.exe' & program=\$!
    '$run' '$build/bin/compare_choose_shot.exe' 'Z:${bmp//\//\\\\}'
    wait \$program || true
    WINEPREFIX='$build/wineprefix' wineserver -k 2>/dev/null || true
" 2> >(grep -v '^X connection to' >&2)
python3 "$root/tools/bmp2png.py" "$bmp" "$root/docs/screenshots/compare-choose.png"
echo "wrote docs/screenshots/compare-choose.png"
