#!/usr/bin/env python3
"""Draws the picture beside the setup's welcome and finish pages: the
program's shield on its own colours, 164 x 314 (the size those pages show
unstretched), as the 24-bit BMP that NSIS takes.

    python3 make_setup_picture.py OUT.bmp

Drawn with the same code as the window's pictures (src/assets/make_pictures.py);
the same run writes the same bytes.
"""

import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "assets"))
import make_pictures as mp  # noqa: E402

WIDTH, HEIGHT = 164, 314
ICON = 112


def picture():
    ground = mp.Picture("setup", WIDTH, HEIGHT, alpha=False)
    ground.add(mp.everywhere, mp.vertical_gradient(mp.WHITE, mp.RED_LIGHT, 0.0, HEIGHT))
    # A cyan rule under the shield, as the window's links are.
    ground.add(mp.box(26.0, 210.0, WIDTH - 26.0, 214.0, 2.0), mp.CYAN)
    icon = mp.app_icon(ICON)
    return mp.flatten((ICON, ICON, icon.render()), False,
                      under=(WIDTH, HEIGHT, ground.render()),
                      at=((WIDTH - ICON) // 2, 80))


def encode_bmp(width, height, rows):
    """Bottom-up BGR rows, each padded to four bytes."""
    pad = b"\0" * (-3 * width % 4)
    body = bytearray()
    for row in reversed(rows):
        bgr = bytearray(row)
        bgr[0::3], bgr[2::3] = row[2::3], row[0::3]
        body += bgr + pad
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body),
                         2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(header) + len(body), 0, 0, 14 + len(header)) \
        + header + bytes(body)


def main(argv):
    if len(argv) != 1:
        print(__doc__.strip().split("\n\n")[1], file=sys.stderr)
        return 2
    width, height, rows = picture()
    with open(argv[0], "wb") as f:
        f.write(encode_bmp(width, height, rows))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
