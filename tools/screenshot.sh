#!/bin/bash
# The README's screenshot: Kavilo.exe under Xvfb after a Paste of what an X program (xclip)
# copied as text/html, which reaches Windows programs as "HTML Format"; the shot shows
# that entry's text page, with Japanese glyphs. Writes docs/main-window.png.
#   tools/screenshot.sh BUILD_DIR
set -e
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
run="$root/cmake/wine-run.sh"
export ORVETTA_BUILD_DIR="$build"
mkdir -p "$root/docs"
bmp="$build/main-window.bmp"
html="$build/screenshot.html"
cat >"$html" <<'HTML'
<h2>週次レポート</h2>
<p>売上は前週比 <b>12%</b> 増でした。</p>
<table><tr><th>拠点</th><th>件数</th></tr>
<tr><td>東京</td><td>1,240</td></tr>
<tr><td>大阪</td><td>815</td></tr></table>
HTML
xvfb-run -a -s "-screen 0 1024x640x24" bash -c "
    xclip -selection clipboard -t text/html -i '$html' -quiet & source=\$!
    sleep 1
    '$run' '$build/bin/Kavilo.exe' & program=\$!
    '$run' '$build/bin/main_window_shot.exe' 'Z:${bmp//\//\\\\}' 0 2
    wait \$program || true
    kill \$source 2>/dev/null || true
    WINEPREFIX='$build/wineprefix' wineserver -k 2>/dev/null || true
" 2> >(grep -v '^X connection to' >&2)
python3 "$root/tools/bmp2png.py" "$bmp" "$root/docs/main-window.png"
echo "wrote docs/main-window.png"
