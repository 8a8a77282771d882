#!/usr/bin/env python3
"""Makes the bundled sample files in samples/: a 24-bit picture for the
image plug-in and a small ZIP archive for the archive plug-in.

Usage: python3 tools/mksamples.py [samples]
"""
import os
import struct
import sys
import zipfile


def picture(path, width=120, height=80):
    row = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up rows
        line = bytearray()
        for x in range(width):
            dx, dy = x - width * 0.65, y - height * 0.35
            if dx * dx + dy * dy < (height * 0.18) ** 2:
                r, g, b = 255, 210, 40  # sun
            elif y > height * 0.7 - 8 * ((x / width - 0.3) ** 2):
                r, g, b = 40, 150 - y // 2, 60  # hill
            else:
                r, g, b = 90 + y, 150 + y, 255  # sky
            line += bytes((b, g, r))
        pixels += line.ljust(row, b'\0')
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, 'wb') as f:
        f.write(head + info + pixels)


def archive(path):
    entries = [
        ('readme.txt', b'Quorlex sample archive.\r\n' * 40, zipfile.ZIP_DEFLATED),
        ('docs/', b'', zipfile.ZIP_STORED),
        ('docs/guide.txt', b'Drop a file on quorlex.exe.\r\n' * 100, zipfile.ZIP_DEFLATED),
        ('docs/tiny.dat', b'\x00\x01\x02\x03', zipfile.ZIP_STORED),
        ('images/sample.bmp', open(os.path.join(os.path.dirname(path), 'sample.bmp'), 'rb').read(),
         zipfile.ZIP_DEFLATED),
    ]
    with zipfile.ZipFile(path, 'w') as z:
        for name, data, method in entries:
            info = zipfile.ZipInfo(name, date_time=(2024, 5, 17, 10, 30, 0))
            info.compress_type = method
            info.external_attr = (0o40755 << 16) | 0x10 if name.endswith('/') else 0o644 << 16
            z.writestr(info, data)


def main(folder):
    os.makedirs(folder, exist_ok=True)
    picture(os.path.join(folder, 'sample.bmp'))
    archive(os.path.join(folder, 'sample.zip'))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'samples')
