#!/bin/sh
# Opens rotadraw's web page in headless Chromium, as a user would, and checks
# from the screenshot that it drew something: the first step's new node is
# filled in the colour that marks it, over far more of the page than the
# legend's swatch of that colour. Skipped (77) when there is no Chromium.
# Usage: page_in_browser.sh ROTADRAW
set -eu
rotadraw=$1
command -v chromium >/dev/null || { echo "no chromium: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '3\n1000000 2000000 3000000\n2000000\n' | "$rotadraw" --html "$work/page.html" >/dev/null
# No request may leave the page, so the browser's own are turned off too.
timeout 120 chromium --headless --no-sandbox --disable-gpu --no-first-run \
    --disable-background-networking --disable-component-update \
    --disable-sync --user-data-dir="$work/profile" --window-size=800,600 \
    --screenshot="$work/shot.png" "file://$work/page.html" >/dev/null 2>&1
[ -s "$work/shot.png" ] || { echo "no screenshot"; exit 1; }

python3 - "$work/shot.png" <<'PY'
import struct, sys, zlib

data = open(sys.argv[1], "rb").read()
pos, idat = 8, b""
while pos < len(data):
    size, kind = struct.unpack(">I4s", data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + size]
    if kind == b"IHDR":
        width, height, depth, colour = struct.unpack(">IIBB", body[:10])
    elif kind == b"IDAT":
        idat += body
    pos += 12 + size
assert depth == 8 and colour in (2, 6), (depth, colour)
step = 4 if colour == 6 else 3
raw, rows, prev = zlib.decompress(idat), [], bytearray(width * step)
for y in range(height):
    start = y * (width * step + 1)
    kind, row = raw[start], bytearray(raw[start + 1:start + 1 + width * step])
    for i in range(len(row)):
        a = row[i - step] if i >= step else 0
        b, c = prev[i], prev[i - step] if i >= step else 0
        if kind == 1: row[i] = (row[i] + a) & 255
        elif kind == 2: row[i] = (row[i] + b) & 255
        elif kind == 3: row[i] = (row[i] + (a + b) // 2) & 255
        elif kind == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    rows.append(row)
    prev = row
# The fill of a new or moved node, #ffd43b.
marked = sum(1 for row in rows for x in range(0, len(row), step)
             if abs(row[x] - 0xff) < 12 and abs(row[x + 1] - 0xd4) < 12
             and abs(row[x + 2] - 0x3b) < 12)
print("pixels of the new node's colour:", marked)
sys.exit(0 if marked > 1000 else 1)
PY
