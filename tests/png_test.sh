#!/bin/sh
# The PNG placed beside a picture with transparency, read by Python's zlib,
# a reader of its own: every chunk's CRC, the image data's Adler-32, and
# pixels that are the bitmap's, top row first, straight alpha. (The
# system's PNG reader ignores CRCs: a PNG it reads may still be refused by
# other programs.)
# Usage (inside tools/wine-session.sh): tests/png_test.sh BUILD_DIR
build="$(cd "$1" && pwd)"
name="png test"
. "$(dirname "$0")/support/shell.sh"
trap 'rm -rf "$work"' EXIT
# The plug-in beside the program: no registered folder is needed.
cp "$build/bin/quorlex.exe" "$build/bin/plugins/"qxbmp.sp? "$work/"

# A 5 x 3 bottom-up 32-bit bitmap whose fourth bytes are alpha.
python3 - "$work/alpha.bmp" <<'PYTHON' || exit 1
import struct
import sys

width, height = 5, 3
pixels = bytes(
    value
    for row in range(height)
    for x in range(width)
    for value in (x * 40, row * 70, 200 - x * 30, (x * 60 + row * 20) % 256)
)
info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 32, 0, len(pixels), 2835, 2835, 0, 0)
header = b"BM" + struct.pack("<IHHI", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
open(sys.argv[1], "wb").write(header + info + pixels)
PYTHON
qx_wine "$work/quorlex.exe" "$(windows_path "$work/alpha.bmp")"
status=$?
[ "$status" -eq 1 ] || fail "the program ended with $status"
qx_wine "$build/bin/clipread.exe" --png "$(windows_path "$work/pasted.png")" || exit 1
python3 - "$work/alpha.bmp" "$work/pasted.png" <<'PYTHON'
import struct
import sys
import zlib

bmp = open(sys.argv[1], "rb").read()
png = open(sys.argv[2], "rb").read()
assert png[:8] == b"\x89PNG\r\n\x1a\n", "the PNG signature"
at, chunks = 8, []
while at < len(png):
    (length,) = struct.unpack(">I", png[at : at + 4])
    kind, body = png[at + 4 : at + 8], png[at + 8 : at + 8 + length]
    (crc,) = struct.unpack(">I", png[at + 8 + length : at + 12 + length])
    assert crc == zlib.crc32(kind + body), f"the CRC of {kind!r}: {crc:08x}"
    chunks.append((kind, body))
    at += 12 + length
kinds = [kind for kind, _ in chunks]
assert kinds[0] == b"IHDR" and kinds[-1] == b"IEND", kinds
width, height, depth, colour = struct.unpack(">IIBB", chunks[0][1][:10])
assert (width, height, depth, colour) == (5, 3, 8, 6), "5 x 3, 8-bit RGBA"
# zlib.decompress checks the stream's Adler-32.
raw = zlib.decompress(b"".join(body for kind, body in chunks if kind == b"IDAT"))
offset = struct.unpack("<I", bmp[10:14])[0]
for y in range(height):
    row = raw[y * (1 + width * 4) : (y + 1) * (1 + width * 4)]
    assert row[0] == 0, "no filter"
    source = bmp[offset + (height - 1 - y) * width * 4 :][: width * 4]
    for x in range(width):
        b, g, r, a = source[x * 4 : x * 4 + 4]
        assert row[1 + x * 4 : 5 + x * 4] == bytes((r, g, b, a)), f"pixel {x},{y}"
print("png test: CRCs, Adler-32 and pixels as Python's zlib reads them")
PYTHON
