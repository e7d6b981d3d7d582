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
python3 - "$bmp" "$root/docs/main-window.png" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
offset, = struct.unpack_from("<I", data, 10)
w, h, _, bpp = struct.unpack_from("<iiHH", data, 18)
stride = (w * 3 + 3) & ~3
rows = []
for y in range(h - 1, -1, -1):
    row = data[offset + y * stride: offset + y * stride + w * 3]
    rows.append(b"\0" + bytes(b for i in range(0, len(row), 3) for b in (row[i + 2], row[i + 1], row[i])))
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
open(sys.argv[2], "wb").write(png)
PY
echo "wrote docs/main-window.png"
