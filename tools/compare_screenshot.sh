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
python3 - "$bmp" "$root/docs/screenshots/compare-choose.png" <<'PY'
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
echo "wrote docs/screenshots/compare-choose.png"
