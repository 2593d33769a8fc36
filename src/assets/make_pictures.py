#!/usr/bin/env python3
"""Draws the pictures of the main window and the program's icon, and writes
them beside this script: one PNG per image component (and NAME_PERCENT.png
for larger screens, see SCALES) and quellix.ico.

    python3 make_pictures.py             write the files, then check them
    python3 make_pictures.py --check     only check the files that are there
    python3 make_pictures.py --sheet F   also write an enlarged preview to F

Every picture is a list of layers (a shape given by its signed distance and a
paint), composited front to back on a supersampled grid wherever a pixel is
crossed by an edge, so borders and discs come out anti-aliased. Nothing here
reads the clock or the environment: the same run writes the same bytes.
Standard library only (zlib, struct, math).
"""

import argparse
import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# Samples per axis in a pixel that an edge crosses.
SUPERSAMPLE = 8
# A pixel whose centre lies further than this from an edge is not crossed by
# it (half the diagonal is 0.707; every distance below is 1-Lipschitz).
EDGE_REACH = 0.75


# --- colours ---------------------------------------------------------------

def rgb(hex_colour, alpha=1.0):
    """'#RRGGBB' -> (r, g, b, a) in 0..1."""
    v = int(hex_colour.lstrip("#"), 16)
    return ((v >> 16 & 255) / 255.0, (v >> 8 & 255) / 255.0, (v & 255) / 255.0, alpha)


def mix(c0, c1, t):
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def smoothstep(e0, e1, x):
    t = min(max((x - e0) / (e1 - e0), 0.0), 1.0)
    return t * t * (3.0 - 2.0 * t)


WHITE = rgb("#FFFFFF")
CYAN = rgb("#44E4FC")
GREY = "#666565"
RED_FACE = rgb("#FC643B")
RED_LIGHT = rgb("#FC8262")
RED_DARK = rgb("#B5381A")


# --- shapes: signed distance in pixels, negative inside --------------------

def box(x0, y0, x1, y1, radius):
    """Rounded rectangle with corners of the given radius."""
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hw, hh = (x1 - x0) / 2.0, (y1 - y0) / 2.0

    def d(x, y):
        qx = abs(x - cx) - hw + radius
        qy = abs(y - cy) - hh + radius
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius
    return d


def disc(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def segment(ax, ay, bx, by, half_width):
    """A stroke from a to b with round ends."""
    ex, ey = bx - ax, by - ay
    ee = ex * ex + ey * ey

    def d(x, y):
        wx, wy = x - ax, y - ay
        t = min(max((wx * ex + wy * ey) / ee, 0.0), 1.0)
        return math.hypot(wx - ex * t, wy - ey * t) - half_width
    return d


def polyline(points, half_width):
    return union(*[segment(a[0], a[1], b[0], b[1], half_width)
                   for a, b in zip(points, points[1:])])


def arc(cx, cy, r, half_angle, half_width, downward=True):
    """A stroke along a circle, symmetric about the vertical through the
    centre, opening half_angle degrees to each side, with round ends."""
    s, c = math.sin(math.radians(half_angle)), math.cos(math.radians(half_angle))
    sign = 1.0 if downward else -1.0

    def d(x, y):
        px, py = abs(x - cx), (y - cy) * sign
        if c * px > s * py:
            return math.hypot(px - s * r, py - c * r) - half_width
        return abs(math.hypot(px, py) - r) - half_width
    return d


def polygon(points):
    n = len(points)

    def d(x, y):
        best = (x - points[0][0]) ** 2 + (y - points[0][1]) ** 2
        sign = 1.0
        j = n - 1
        for i in range(n):
            px, py = points[i]
            ex, ey = points[j][0] - px, points[j][1] - py
            wx, wy = x - px, y - py
            t = min(max((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.0), 1.0)
            bx, by = wx - ex * t, wy - ey * t
            best = min(best, bx * bx + by * by)
            up, down, left = y >= py, y < points[j][1], ex * wy > ey * wx
            if (up and down and left) or (not up and not down and not left):
                sign = -sign
            j = i
        return sign * math.sqrt(best)
    return d


def half_plane(ax, ay, bx, by):
    """Everything to the right of the directed line a -> b (y pointing down)."""
    ex, ey = bx - ax, by - ay
    length = math.hypot(ex, ey)
    return lambda x, y: ((x - ax) * ey - (y - ay) * ex) / -length


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def intersect(*shapes):
    return lambda x, y: max(s(x, y) for s in shapes)


def outline(shape, width, inset=0.0):
    """The band of the given width that runs inside the shape's edge, moved
    inward by inset."""
    return lambda x, y: abs(shape(x, y) + inset + width / 2.0) - width / 2.0


def everywhere(x, y):
    return -1e9


def bezier(p0, p1, p2, p3, steps):
    """Points of a cubic Bezier curve, without its first point."""
    pts = []
    for k in range(1, steps + 1):
        t = k / steps
        u = 1.0 - t
        pts.append((u * u * u * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t * t * t * p3[0],
                    u * u * u * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t * t * t * p3[1]))
    return pts


def shield_outline(x0, y0, x1, y1, corner):
    """A heater shield: a level top with rounded corners, straight sides down
    to just under the middle, then curving in to a point at the bottom."""
    w, h = x1 - x0, y1 - y0

    def at(u, v):
        return (x0 + u * w, y0 + v * h)

    cu, cv = corner / w, corner / h
    right = [at(1.0 - cu, 0.0)]
    right += bezier(at(1.0 - cu, 0.0), at(1.0 - cu * 0.45, 0.0), at(1.0, cv * 0.45), at(1.0, cv), 6)
    right.append(at(1.0, 0.46))
    right += bezier(at(1.0, 0.46), at(1.0, 0.74), at(0.74, 0.9), at(0.5, 1.0), 24)
    left = [(2 * x0 + w - px, py) for px, py in reversed(right[:-1])]
    return polygon(right + left)


# --- rendering ---------------------------------------------------------------

class Picture:
    """A width x height picture built from layers painted back to front. A
    paint is a colour (r, g, b, a) or a function of (x, y) giving one."""

    def __init__(self, name, width, height, alpha=True, matte=WHITE):
        self.name, self.width, self.height, self.alpha = name, width, height, alpha
        # Colour given to fully transparent pixels, so that a stretched
        # picture does not bleed black into its edges.
        self.matte = matte
        self.layers = []

    def add(self, shape, paint):
        self.layers.append((shape, paint))
        return self

    def render(self):
        """Rows of 8-bit samples: RGBA, or RGB over white for a picture
        without alpha."""
        n = SUPERSAMPLE
        offsets = [(k + 0.5) / n for k in range(n)]
        rows = []
        for j in range(self.height):
            row = bytearray()
            for i in range(self.width):
                cx, cy = i + 0.5, j + 0.5
                state = []
                crossed = False
                for shape, paint in self.layers:
                    d = shape(cx, cy)
                    if d <= -EDGE_REACH:
                        state.append(1)
                    elif d >= EDGE_REACH:
                        state.append(0)
                    else:
                        state.append(2)
                        crossed = True
                if crossed:
                    acc = [0.0, 0.0, 0.0, 0.0]
                    for oy in offsets:
                        for ox in offsets:
                            x, y = i + ox, j + oy
                            px = self._composite(x, y, [
                                (s == 1) or (s == 2 and layer[0](x, y) <= 0.0)
                                for s, layer in zip(state, self.layers)])
                            for k in range(4):
                                acc[k] += px[k]
                    premultiplied = [v / (n * n) for v in acc]
                else:
                    premultiplied = self._composite(cx, cy, [s == 1 for s in state])
                row += self._store(premultiplied)
            rows.append(bytes(row))
        return rows

    def _composite(self, x, y, inside):
        r = g = b = a = 0.0
        if not self.alpha:
            r = g = b = a = 1.0
        for (shape, paint), hit in zip(self.layers, inside):
            if not hit:
                continue
            cr, cg, cb, ca = paint(x, y) if callable(paint) else paint
            r, g, b = cr * ca + r * (1 - ca), cg * ca + g * (1 - ca), cb * ca + b * (1 - ca)
            a = ca + a * (1 - ca)
        return (r, g, b, a)

    def _store(self, premultiplied):
        r, g, b, a = premultiplied
        if a <= 0.0:
            colour = self.matte[:3]
        else:
            colour = (r / a, g / a, b / a)
        out = [to_byte(v) for v in colour]
        if self.alpha:
            out.append(to_byte(a))
        return bytes(out)


def to_byte(v):
    return min(max(int(v * 255.0 + 0.5), 0), 255)


# --- the pictures --------------------------------------------------------------

def white_button(name, kind):
    """267 x 67, the face of every white button. The face leaves a margin of
    3 pixels for the hover shadow, in every state so that nothing jumps."""
    p = Picture(name, 267, 67, matte=WHITE)
    face = box(3.0, 3.0, 264.0, 64.0, 5.0)
    if kind == "hover":
        shadow_shape = box(3.0, 4.5, 264.0, 65.5, 5.0)

        def shadow(x, y):
            return (0.0, 0.0, 0.0, 0.26 * (1.0 - smoothstep(-1.0, 3.2, shadow_shape(x, y))))
        p.add(everywhere, shadow)
    p.add(face, WHITE)
    # Borders are at least 1.5 pixels wide: "Stop Waiting..." shrinks these
    # pictures to 195 x 56, and a plain stretch must not skip the border.
    if kind == "normal":
        p.add(outline(face, 1.5), rgb(GREY, 0.5))
    elif kind == "hover":
        p.add(outline(face, 2.0), rgb(GREY, 0.92))
    else:
        p.add(outline(face, 2.0), CYAN)
    return p


def red_button(name, kind):
    """150 x 53, the face of "Stop GWX!", which is wider than its picture:
    small corners so that the horizontal stretch does not show."""
    p = Picture(name, 150, 53, matte=RED_FACE)
    face = box(1.0, 1.0, 149.0, 52.0, 4.0)
    if kind == "hover":
        def glow(x, y):
            t = math.hypot((x - 75.0) / 70.0, (y - 26.5) / 24.0)
            return mix(RED_LIGHT, RED_FACE, smoothstep(0.0, 1.0, t))
        p.add(face, glow)
    else:
        p.add(face, RED_FACE)
    if kind == "focused":
        p.add(outline(face, 2.0), CYAN)
    else:
        p.add(outline(face, 1.0), RED_DARK)
    return p


def toggle(name, colour, knob_right):
    """A pill-shaped switch track with a round white knob."""
    p = Picture(name, 32, 32, matte=rgb(colour))
    track = box(1.0, 7.5, 31.0, 24.5, 8.5)
    knob_x = 22.5 if knob_right else 9.5
    p.add(track, rgb(colour))
    # A soft edge under the knob lifts it off the track.
    p.add(disc(knob_x, 16.6, 7.0), (0.0, 0.0, 0.0, 0.16))
    p.add(disc(knob_x, 16.0, 6.5), WHITE)
    return p


def stop_icon():
    p = Picture("imgStopIcon", 32, 32, matte=rgb("#F44435"))
    p.add(disc(16.0, 16.0, 14.5), rgb("#F44435"))
    p.add(union(segment(11.0, 11.0, 21.0, 21.0, 1.7),
                segment(21.0, 11.0, 11.0, 21.0, 1.7)), WHITE)
    return p


def vertical_gradient(top, bottom, y0, y1):
    def paint(x, y):
        return mix(top, bottom, min(max((y - y0) / (y1 - y0), 0.0), 1.0))
    return paint


def cleanwarden_icon():
    """A blue shield with a white bug on it: the malware killer."""
    p = Picture("imgRemoteAss", 32, 32, matte=rgb("#2A72D4"))
    shield = shield_outline(3.5, 1.5, 28.5, 30.5, 3.0)
    blue = vertical_gradient(rgb("#4A97EC"), rgb("#1C57B5"), 1.5, 30.5)
    p.add(shield, blue)
    bug = union(
        segment(16.0, 15.0, 16.0, 21.0, 4.4),          # body
        disc(16.0, 10.6, 2.7),                         # head
        segment(15.0, 8.8, 12.6, 5.6, 0.75),           # feelers
        segment(17.0, 8.8, 19.4, 5.6, 0.75),
        polyline([(12.5, 14.2), (9.6, 12.4)], 0.8),    # legs
        polyline([(12.0, 17.8), (8.6, 17.8)], 0.8),
        polyline([(12.5, 21.4), (9.8, 23.4)], 0.8),
        polyline([(19.5, 14.2), (22.4, 12.4)], 0.8),
        polyline([(20.0, 17.8), (23.4, 17.8)], 0.8),
        polyline([(19.5, 21.4), (22.2, 23.4)], 0.8))
    p.add(bug, WHITE)
    # The parting of the wing cases, in the shield's own blue.
    p.add(segment(16.0, 14.2, 16.0, 26.0, 0.55), blue)
    return p


def adguard_icon():
    """A green shield with a thin inner line and a white tick: the ad blocker."""
    p = Picture("imgAdguard", 32, 32, matte=rgb("#2FA35A"))
    shield = shield_outline(3.5, 1.5, 28.5, 30.5, 5.5)
    p.add(shield, vertical_gradient(rgb("#48C272"), rgb("#1D8443"), 1.5, 30.5))
    p.add(outline(shield, 1.0, inset=1.8), rgb("#FFFFFF", 0.55))
    p.add(polyline([(10.2, 15.8), (14.3, 20.0), (22.0, 11.2)], 1.75), WHITE)
    return p


def startmeter_icon():
    """A speedometer: dark dial, green-yellow-red scale, needle near the top
    of the scale. Plain RGB over white, like the face it sits on."""
    p = Picture("imgStartmeter", 32, 32, alpha=False)
    cx, cy = 16.0, 16.5
    p.add(disc(cx, cy, 14.8), rgb("#2B3A4F"))
    band = arc(cx, cy, 10.6, 125.0, 1.9, downward=False)
    p.add(band, rgb("#3DBE5A"))
    # The yellow and red parts of the scale: the band clockwise of a ray
    # from the centre.
    def clockwise_of(angle):
        a = math.radians(angle)
        return half_plane(cx + math.cos(a) * 20.0, cy - math.sin(a) * 20.0, cx, cy)
    p.add(intersect(band, clockwise_of(128.0)), rgb("#F6C026"))
    p.add(intersect(band, clockwise_of(52.0)), rgb("#EE4A2C"))
    tip = math.radians(58.0)
    ux, uy = math.cos(tip), -math.sin(tip)
    needle = polygon([(cx + ux * 10.8, cy + uy * 10.8),
                      (cx - uy * 2.0, cy + ux * 2.0),
                      (cx - ux * 2.2, cy - uy * 2.2),
                      (cx + uy * 2.0, cy - ux * 2.0)])
    p.add(needle, WHITE)
    p.add(disc(cx, cy, 2.7), WHITE)
    return p


def smiling_face():
    green = rgb("#82C129")
    p = Picture("Image1", 32, 32, matte=green)
    p.add(outline(disc(16.0, 16.0, 14.6), 2.4), green)
    p.add(disc(11.6, 12.4, 1.9), green)
    p.add(disc(20.4, 12.4, 1.9), green)
    p.add(arc(16.0, 15.0, 7.4, 58.0, 1.2), green)
    return p


def app_icon(size):
    """The window's icon: an orange-red shield with a white Q, drawn for each
    size with strokes that stay at least 1.6 pixels wide."""
    s = size / 32.0
    p = Picture("quellix", size, size, matte=RED_FACE)
    shield = shield_outline(2.5 * s, 1.0 * s, 29.5 * s, 31.0 * s, 3.5 * s)
    p.add(shield, vertical_gradient(rgb("#FF7A4D"), rgb("#D43E18"), 1.0 * s, 31.0 * s))
    half = max(1.45 * s, 0.8)
    p.add(outline(disc(16.0 * s, 14.6 * s, 7.4 * s + half), 2 * half), WHITE)
    p.add(segment(17.6 * s, 18.0 * s, 22.2 * s, 23.4 * s, half), WHITE)
    return p


def pictures():
    return [
        white_button("imgButton", "normal"),
        white_button("imgButtonHover", "hover"),
        white_button("imgButtonFocused", "focused"),
        red_button("imgCheckRed", "normal"),
        red_button("imgCheckRedHover", "hover"),
        red_button("imgCheckRedFocused", "focused"),
        toggle("imgRedSet", "#ED3D1A", knob_right=False),
        toggle("imgGreenSet", "#9BCE20", knob_right=True),
        stop_icon(),
        cleanwarden_icon(),
        adguard_icon(),
        startmeter_icon(),
        smiling_face(),
    ]


# Drawings of the same pictures for screens of more pixels per inch, in
# percent of the design's size; the program resamples the nearest larger one
# for any other scale (125 % and 150 % from 200 %), which keeps them nearly
# as sharp at a fraction of the bytes. The red hover face's glow resamples
# without loss from its design.
SCALES = {name: (200,) for name in (
    "imgButton", "imgButtonHover", "imgButtonFocused", "imgCheckRed", "imgCheckRedFocused",
    "imgRedSet", "imgGreenSet", "imgStopIcon", "imgRemoteAss", "imgAdguard", "imgStartmeter",
    "Image1")}


def scaled(picture, percent):
    """The picture drawn percent / 100 times as large, named NAME_PERCENT: its
    size rounded as the window rounds its controls (halves up), every shape
    and paint stretched to it."""
    w = (picture.width * percent + 50) // 100
    h = (picture.height * percent + 50) // 100
    sx, sy = w / picture.width, h / picture.height
    # Distances shrink by the smaller factor, so that they stay within the
    # edge tests' reach (1-Lipschitz).
    s = min(sx, sy)
    p = Picture("%s_%d" % (picture.name, percent), w, h, picture.alpha, picture.matte)
    for shape, paint in picture.layers:
        p.add(lambda x, y, shape=shape: shape(x / sx, y / sy) * s,
              (lambda x, y, paint=paint: paint(x / sx, y / sy)) if callable(paint) else paint)
    return p


ICON_SIZES = (16, 32, 48)


# --- PNG -------------------------------------------------------------------------

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def filter_row(kind, row, prior, bpp):
    out = bytearray(len(row))
    for i, v in enumerate(row):
        a = row[i - bpp] if i >= bpp else 0
        b = prior[i]
        c = prior[i - bpp] if i >= bpp else 0
        predictor = (0, a, b, (a + b) >> 1, paeth(a, b, c))[kind]
        out[i] = (v - predictor) & 255
    return bytes(out)


def encode_png(width, height, rows, alpha):
    bpp = 4 if alpha else 3
    prior = bytes(width * bpp)
    raw = bytearray()
    for row in rows:
        # The usual heuristic: the filter whose output has the smallest sum
        # of magnitudes compresses best.
        best = None
        for kind in range(5):
            filtered = filter_row(kind, row, prior, bpp)
            cost = sum(v if v < 128 else 256 - v for v in filtered)
            if best is None or cost < best[0]:
                best = (cost, kind, filtered)
        raw.append(best[1])
        raw += best[2]
        prior = row
    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    return (PNG_SIGNATURE + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


class BadFile(Exception):
    pass


def decode_png(data):
    """(width, height, colour type, rows) of an 8-bit RGB or RGBA PNG, every
    chunk's CRC checked."""
    if data[:8] != PNG_SIGNATURE:
        raise BadFile("no PNG signature")
    pos, kinds, idat, header = 8, [], b"", None
    while pos < len(data):
        if pos + 12 > len(data):
            raise BadFile("truncated chunk at %d" % pos)
        length, = struct.unpack(">I", data[pos:pos + 4])
        body = data[pos + 4:pos + 8 + length]
        if len(body) != length + 4 or pos + 12 + length > len(data):
            raise BadFile("truncated chunk at %d" % pos)
        crc, = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        if zlib.crc32(body) & 0xFFFFFFFF != crc:
            raise BadFile("bad CRC in %r" % body[:4])
        kind = body[:4]
        kinds.append(kind)
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body[4:])
        elif kind == b"IDAT":
            idat += body[4:]
        pos += 12 + length
    if not kinds or kinds[0] != b"IHDR" or kinds[-1] != b"IEND" or b"IDAT" not in kinds:
        raise BadFile("chunks out of order: %r" % kinds)
    width, height, depth, ctype, method, filt, interlace = header
    if depth != 8 or ctype not in (2, 6) or method or filt or interlace:
        raise BadFile("unexpected header %r" % (header,))
    bpp = 4 if ctype == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * bpp
    if len(raw) != height * (stride + 1):
        raise BadFile("image data has %d bytes, expected %d" % (len(raw), height * (stride + 1)))
    rows, prior = [], bytes(stride)
    for j in range(height):
        kind = raw[j * (stride + 1)]
        line = raw[j * (stride + 1) + 1:(j + 1) * (stride + 1)]
        if kind > 4:
            raise BadFile("bad filter %d in row %d" % (kind, j))
        row = bytearray(stride)
        for i in range(stride):
            a = row[i - bpp] if i >= bpp else 0
            b = prior[i]
            c = prior[i - bpp] if i >= bpp else 0
            predictor = (0, a, b, (a + b) >> 1, paeth(a, b, c))[kind]
            row[i] = (line[i] + predictor) & 255
        rows.append(bytes(row))
        prior = row
    return width, height, ctype, rows


# --- ICO -------------------------------------------------------------------------

def encode_ico(images):
    """images: [(size, RGBA rows)]. Each entry is a 32-bit DIB with an AND
    mask, which every Windows version reads (PNG entries need Vista)."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for size, rows in images:
        mask_stride = ((size + 31) // 32) * 4
        pixels, mask = bytearray(), bytearray()
        for row in reversed(rows):  # DIBs run bottom-up
            bits = bytearray(mask_stride)
            for i in range(size):
                r, g, b, a = row[4 * i:4 * i + 4]
                pixels += bytes((b, g, r, a))
                if a < 128:
                    bits[i // 8] |= 0x80 >> (i % 8)
            mask += bits
        dib = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0,
                          len(pixels) + len(mask), 0, 0, 0, 0) + pixels + mask
        entries.append(struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(dib), offset))
        blobs.append(dib)
        offset += len(dib)
    return struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(blobs)


def decode_ico(data):
    """[(size, RGBA rows)] of an icon file written by encode_ico."""
    reserved, kind, count = struct.unpack("<HHH", data[:6])
    if reserved != 0 or kind != 1:
        raise BadFile("not an icon file")
    images = []
    for k in range(count):
        w, h, colours, _, planes, bits, length, offset = struct.unpack(
            "<BBBBHHII", data[6 + 16 * k:22 + 16 * k])
        size = w or 256
        if w != h or colours or planes != 1 or bits != 32 or offset + length > len(data):
            raise BadFile("bad directory entry %d" % k)
        dib = data[offset:offset + length]
        header = struct.unpack("<IiiHHIIiiII", dib[:40])
        mask_stride = ((size + 31) // 32) * 4
        if header[:6] != (40, size, 2 * size, 1, 32, 0) or length != 40 + size * size * 4 + size * mask_stride:
            raise BadFile("bad bitmap header in entry %d" % k)
        rows = []
        for j in range(size):
            src = dib[40 + j * size * 4:40 + (j + 1) * size * 4]
            row = bytearray()
            for i in range(size):
                b, g, r, a = src[4 * i:4 * i + 4]
                row += bytes((r, g, b, a))
            rows.append(bytes(row))
        images.append((size, list(reversed(rows))))
    return images


# --- writing and checking ----------------------------------------------------

def build_files():
    """{file name: (bytes, what its decoding must give)}."""
    files = {}
    drawings = pictures()
    drawings += [scaled(p, percent) for p in drawings for percent in SCALES.get(p.name, ())]
    for p in drawings:
        rows = p.render()
        files[p.name + ".png"] = (encode_png(p.width, p.height, rows, p.alpha),
                                  (p.width, p.height, 6 if p.alpha else 2, rows))
    icons = []
    for size in ICON_SIZES:
        icons.append((size, app_icon(size).render()))
    files["quellix.ico"] = (encode_ico(icons), icons)
    return files


def check(folder, files):
    """Reads each file back and compares it with what was drawn. Returns a
    list of problems."""
    problems = []
    for name, (data, expected) in sorted(files.items()):
        path = os.path.join(folder, name)
        try:
            with open(path, "rb") as f:
                stored = f.read()
            decoded = decode_ico(stored) if name.endswith(".ico") else decode_png(stored)
        except (OSError, BadFile, zlib.error, struct.error) as e:
            problems.append("%s: %s" % (name, e))
            continue
        if name.endswith(".ico"):
            if decoded != expected:
                problems.append("%s: the icons differ from the drawing" % name)
        elif decoded[:3] != expected[:3]:
            problems.append("%s: %dx%d colour type %d, expected %dx%d colour type %d"
                            % ((name,) + decoded[:3] + expected[:3]))
        elif decoded[3] != expected[3]:
            problems.append("%s: the pixels differ from the drawing" % name)
        elif stored != data:
            # Same pixels, other bytes: a zlib that compresses differently.
            print("note: %s has the right pixels but other bytes" % name)
    return problems


def write_sheet(path, files):
    """An enlarged contact sheet for looking at the pictures: each one over a
    checkerboard, the white buttons with their icons, and the red face
    stretched to the 195 pixels of "Stop GWX!"."""
    images = {}
    for name, (_, expected) in files.items():
        if name.endswith(".png"):
            w, h, ctype, rows = expected
            images[name[:-4]] = rgba_of(w, h, ctype, rows)
    for size, rows in files["quellix.ico"][1]:
        images["icon%d" % size] = (size, size, rows)

    tiles = []
    for name in sorted(images, key=lambda n: -images[n][1]):
        w, h, rows = images[name]
        tiles.append(scale(flatten((w, h, rows), checker=True), 8 if w <= 48 else 3))
    for icon in ("imgRedSet", "imgGreenSet", "imgRemoteAss", "imgAdguard", "imgStartmeter", "imgStopIcon"):
        face = flatten(images["imgButton"], checker=False)
        tiles.append(scale(flatten(images[icon], checker=False, under=face, at=(8, 17)), 2))
    tiles.append(scale(flatten(stretch(images["imgCheckRed"], 195), checker=False), 2))
    tiles.append(scale(flatten(stretch(images["imgCheckRedHover"], 195), checker=False), 2))

    # Shelves of tiles, left to right, on a dark ground.
    ground, gap, limit = bytes((40, 40, 40)), 8, 1700
    shelves, shelf, used = [], [], gap
    for t in tiles:
        if shelf and used + t[0] + gap > limit:
            shelves.append(shelf)
            shelf, used = [], gap
        shelf.append(t)
        used += t[0] + gap
    shelves.append(shelf)
    width = max(gap + sum(t[0] + gap for t in s) for s in shelves)
    out = [ground * width] * gap
    for s in shelves:
        for j in range(max(t[1] for t in s)):
            line = ground * gap
            for w, h, rows in s:
                line += (rows[j] if j < h else ground * w) + ground * gap
            out.append(line + ground * (width - len(line) // 3))
        out.extend([ground * width] * gap)
    with open(path, "wb") as f:
        f.write(encode_png(width, len(out), out, alpha=False))


def rgba_of(w, h, ctype, rows):
    if ctype == 6:
        return (w, h, rows)
    return (w, h, [b"".join(row[3 * i:3 * i + 3] + b"\xff" for i in range(w)) for row in rows])


def flatten(image, checker, under=None, at=(0, 0)):
    """RGB rows of an RGBA image over a checkerboard, over white, or pasted
    onto another RGB image at a place."""
    w, h, rows = image
    if under is not None:
        base_w, base_h, base = under
        out = [bytearray(r) for r in base]
    else:
        base_w, base_h = w, h
        out = []
        for j in range(h):
            line = bytearray()
            for i in range(w):
                v = (200 if ((i // 4 + j // 4) % 2) else 255) if checker else 255
                line += bytes((v, v, v))
            out.append(line)
    for j in range(h):
        for i in range(w):
            x, y = i + at[0], j + at[1]
            if not (0 <= x < base_w and 0 <= y < base_h):
                continue
            r, g, b, a = rows[j][4 * i:4 * i + 4]
            for k, v in enumerate((r, g, b)):
                out[y][3 * x + k] = (v * a + out[y][3 * x + k] * (255 - a) + 127) // 255
    return (base_w, base_h, [bytes(r) for r in out])


def stretch(image, new_width):
    """Linear horizontal stretch, as a halftone stretch would do it."""
    w, h, rows = image
    out = []
    for row in rows:
        line = bytearray()
        for i in range(new_width):
            x = (i + 0.5) * w / new_width - 0.5
            x0 = min(max(int(math.floor(x)), 0), w - 1)
            x1 = min(x0 + 1, w - 1)
            t = min(max(x - x0, 0.0), 1.0)
            for k in range(4):
                line.append(int(row[4 * x0 + k] * (1 - t) + row[4 * x1 + k] * t + 0.5))
        out.append(bytes(line))
    return (new_width, h, out)


def scale(image, factor):
    w, h, rows = image
    out = []
    for row in rows:
        line = b"".join(row[3 * i:3 * i + 3] * factor for i in range(w))
        out.extend([line] * factor)
    return (w * factor, h * factor, out)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--check", action="store_true",
                        help="write nothing; check the files in the output folder")
    parser.add_argument("--out", default=HERE, help="output folder (default: beside this script)")
    parser.add_argument("--sheet", help="also write an enlarged preview sheet to this PNG")
    args = parser.parse_args(argv)

    files = build_files()
    if not args.check:
        os.makedirs(args.out, exist_ok=True)
        for name, (data, _) in sorted(files.items()):
            path = os.path.join(args.out, name)
            try:
                with open(path, "rb") as f:
                    if f.read() == data:
                        continue  # left alone, so the resources are not rebuilt
            except OSError:
                pass
            with open(path, "wb") as f:
                f.write(data)
            print("wrote", path)
    if args.sheet:
        write_sheet(args.sheet, files)
    problems = check(args.out, files)
    for p in problems:
        print("error:", p, file=sys.stderr)
    if problems:
        return 1
    print("%d files checked" % len(files))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
