#!/usr/bin/env python3
"""Paints Canvello's splash picture and about-box picture and writes them as PNG files.

Plain Python only: every shape is a signed distance function, sampled once per pixel and
anti-aliased over one pixel. The title is set in a small geometric stroke alphabet defined here.

    python3 scripts/make-artwork.py            # writes resources/splash.png and resources/about.png
"""
import math
import os
import struct
import sys
import zlib

# ---- Colours ---------------------------------------------------------------------------------
BACKGROUND = (247, 248, 251)
FRAME = (124, 130, 153)
DISC = (230, 230, 255)
NAVY = (38, 49, 92)
WOOD = (233, 197, 142)
WOOD_EDGE = (185, 138, 78)
HANDLE = (122, 59, 30)
FERRULE = (184, 190, 200)
PAINTS = [(226, 60, 60), (245, 185, 30), (58, 174, 90), (47, 111, 214), (138, 79, 207)]


# ---- Picture and PNG output ----------------------------------------------------------------------
class Picture:
    def __init__(self, width, height, fill=None):
        self.width, self.height = width, height
        colour = (0.0, 0.0, 0.0, 0.0) if fill is None else tuple(c / 255 for c in fill) + (1.0,)
        self.px = [list(colour) for _ in range(width * height)]

    def paint(self, sdf, bbox, colour, alpha=1.0, soft=1.0):
        """Blends colour over every pixel where sdf < 0, with a soft edge `soft` pixels wide."""
        x0, y0, x1, y1 = bbox
        x0, y0 = max(0, int(math.floor(x0 - soft))), max(0, int(math.floor(y0 - soft)))
        x1, y1 = min(self.width, int(math.ceil(x1 + soft)) + 1), min(self.height, int(math.ceil(y1 + soft)) + 1)
        r, g, b = (c / 255 for c in colour)
        for y in range(y0, y1):
            for x in range(x0, x1):
                d = sdf(x + 0.5, y + 0.5)
                cover = min(1.0, max(0.0, 0.5 - d / soft)) * alpha
                if cover <= 0:
                    continue
                p = self.px[y * self.width + x]
                out_a = cover + p[3] * (1 - cover)
                for i, c in enumerate((r, g, b)):
                    p[i] = (c * cover + p[i] * p[3] * (1 - cover)) / out_a
                p[3] = out_a

    def save_png(self, path):
        rows = bytearray()
        for y in range(self.height):
            rows.append(0)
            for x in range(self.width):
                p = self.px[y * self.width + x]
                rows.extend(int(round(min(1.0, max(0.0, c)) * 255)) for c in p)

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 6, 0, 0, 0)
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9))
                    + chunk(b"IEND", b""))


# ---- Distance functions ------------------------------------------------------------------------
def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ellipse(cx, cy, rx, ry, angle):
    ca, sa = math.cos(angle), math.sin(angle)

    def sdf(x, y):
        dx, dy = x - cx, y - cy
        u, v = (dx * ca + dy * sa) / rx, (-dx * sa + dy * ca) / ry
        return (math.hypot(u, v) - 1) * min(rx, ry)
    return sdf


def segment_t(x, y, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = ((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy)
    t = min(1.0, max(0.0, t))
    return t, math.hypot(x - (ax + t * vx), y - (ay + t * vy))


def stroke(ax, ay, bx, by, r0, r1=None):
    """A segment with round ends, radius r0 at A tapering to r1 at B."""
    r1 = r0 if r1 is None else r1

    def sdf(x, y):
        t, d = segment_t(x, y, ax, ay, bx, by)
        return d - (r0 + (r1 - r0) * t)
    return sdf


def arc(cx, cy, radius, half_width, gap_from=None, gap_to=None):
    """A ring; with a gap, the angles gap_from..gap_to (degrees, y pointing up) are left open."""
    def inside_gap(a):
        if gap_from is None:
            return False
        return (a - gap_from) % 360 < (gap_to - gap_from) % 360

    ends = []
    if gap_from is not None:
        for a in (gap_from, gap_to):
            ends.append((cx + radius * math.cos(math.radians(a)), cy - radius * math.sin(math.radians(a))))

    def sdf(x, y):
        a = math.degrees(math.atan2(cy - y, x - cx)) % 360
        if not inside_gap(a):
            return abs(math.hypot(x - cx, y - cy) - radius) - half_width
        return min(math.hypot(x - ex, y - ey) for ex, ey in ends) - half_width
    return sdf


def union(*sdfs):
    return lambda x, y: min(f(x, y) for f in sdfs)


def subtract(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def box(x0, y0, x1, y1):
    cx, cy, hx, hy = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2, (y1 - y0) / 2

    def sdf(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0)
    return sdf


# ---- The title alphabet ------------------------------------------------------------------------
def glyph(ch, ox, base, w):
    """Strokes of one letter at origin ox on the baseline; returns (sdf, advance)."""
    h = w / 2
    xh, cap, asc = 12.0, 17.0, 18.0
    if ch == "C":
        r = cap / 2
        return arc(ox + r, base - r, r - h, h, -42, 42), 15.6
    if ch in "aeo":
        r = xh / 2
        bowl_c = (ox + r, base - r)
        if ch == "o":
            return arc(*bowl_c, r - h, h), xh
        if ch == "a":
            return union(arc(*bowl_c, r - h, h), stroke(ox + xh - h, base - xh + h, ox + xh - h, base - h, h)), xh
        return union(arc(*bowl_c, r - h, h, -52, -8), stroke(ox + h, base - r, ox + xh - h, base - r, h * 0.9)), xh
    if ch == "n":
        width = 11.0
        x1, x2 = ox + h, ox + width - h
        rr = (x2 - x1) / 2
        cy = base - xh + h + rr
        top = arc((x1 + x2) / 2, cy, rr, h, 180, 360)
        return union(stroke(x1, base - xh + h, x1, base - h, h), top, stroke(x2, cy, x2, base - h, h)), width
    if ch == "v":
        width = 11.0
        return union(stroke(ox + h, base - xh + h, ox + width / 2, base - h, h),
                     stroke(ox + width / 2, base - h, ox + width - h, base - xh + h, h)), width
    if ch == "l":
        return stroke(ox + h, base - asc + h, ox + h, base - h, h), w
    raise ValueError(ch)


def title(pic, text, centre_x, base, colour, w=2.8, gap=2.0):
    widths = [glyph(ch, 0, base, w)[1] for ch in text]
    x = centre_x - (sum(widths) + gap * (len(text) - 1)) / 2
    for ch in text:
        sdf, adv = glyph(ch, x, base, w)
        pic.paint(sdf, (x - 1, base - 20, x + adv + 2, base + 1), colour)
        x += adv + gap


# ---- The palette and brush motif ---------------------------------------------------------------------
def palette_motif(pic, cx, cy, s, shadow=True):
    """An artist's palette with five paints and a brush lying across it, centred at (cx, cy), scale s."""
    def P(x, y):
        return cx + x * s, cy + y * s

    board = subtract(ellipse(*P(0, 0), 42 * s, 33 * s, math.radians(-14)), circle(*P(-20, 15), 7 * s))
    bb = (cx - 46 * s, cy - 40 * s, cx + 46 * s, cy + 40 * s)
    if shadow:
        offset = 3 * s
        pic.paint(lambda x, y: board(x - offset, y - offset), (bb[0], bb[1], bb[2] + 6 * s, bb[3] + 6 * s),
                  (40, 40, 70), alpha=0.22, soft=4 * s)
    pic.paint(board, bb, WOOD_EDGE)
    inner = subtract(ellipse(*P(0, 0), 42 * s - 1.6, 33 * s - 1.6, math.radians(-14)), circle(*P(-20, 15), 7 * s + 1.6))
    pic.paint(inner, bb, WOOD)

    for (x, y), colour in zip([(-22, -8), (-6, -19), (13, -18), (27, -5), (2, 17)], PAINTS):
        px, py = P(x, y)
        r = 6.5 * s
        pic.paint(circle(px, py, r), (px - r, py - r, px + r, py + r), colour)
        # A small highlight gives each dab some depth.
        hx, hy, hr = px - 2 * s, py - 2.2 * s, 1.7 * s
        pic.paint(circle(hx, hy, hr), (hx - hr, hy - hr, hx + hr, hy + hr), (255, 255, 255), alpha=0.55)

    # The brush: handle from the lower right, ferrule, bristles dipped in blue.
    hx0, hy0 = P(50, 48)
    hx1, hy1 = P(18, 14)
    fx1, fy1 = P(10, 5)
    tx, ty = P(-1, -9)
    if shadow:
        sh = 2.5 * s
        brush = union(stroke(hx0 + sh, hy0 + sh, hx1 + sh, hy1 + sh, 3.4 * s, 2.6 * s),
                      stroke(hx1 + sh, hy1 + sh, tx + sh, ty + sh, 3.2 * s, 0.6 * s))
        pic.paint(brush, (tx - 6, ty - 6, hx0 + 10, hy0 + 10), (40, 40, 70), alpha=0.2, soft=3 * s)
    pic.paint(stroke(hx0, hy0, hx1, hy1, 3.4 * s, 2.6 * s), (hx1 - 5, hy1 - 5, hx0 + 5, hy0 + 5), HANDLE)
    pic.paint(stroke(hx0, hy0, hx1, hy1, 1.0 * s), (hx1 - 5, hy1 - 5, hx0 + 5, hy0 + 5), (170, 96, 60), alpha=0.6)
    pic.paint(stroke(hx1, hy1, fx1, fy1, 3.3 * s), (fx1 - 5, fy1 - 5, hx1 + 5, hy1 + 5), FERRULE)
    pic.paint(stroke(fx1, fy1, tx, ty, 3.2 * s, 0.6 * s), (tx - 5, ty - 5, fx1 + 5, fy1 + 5), PAINTS[3])


# ---- The two pictures ----------------------------------------------------------------------------------
def splash():
    pic = Picture(231, 125, BACKGROUND)
    pic.paint(circle(54, 60, 50), (4, 10, 104, 110), DISC)
    palette_motif(pic, 52, 58, 1.0)
    title(pic, "Canvello", 165.5, 33, NAVY)
    # The program draws "Version ..." at (118, 40)-(213, 60) over the background colour.
    band_x, band_w = 124, 17
    for i, colour in enumerate(PAINTS):
        x0 = band_x + i * band_w
        pic.paint(box(x0, 70, x0 + band_w, 73), (x0, 70, x0 + band_w, 73), colour)
    # A one-pixel frame: the splash has no window border.
    frame = subtract(box(0, 0, 231, 125), box(1, 1, 230, 124))
    pic.paint(frame, (0, 0, 231, 125), FRAME, soft=0.01)
    return pic


def about():
    pic = Picture(92, 88)
    palette_motif(pic, 43, 40, 0.86)
    return pic


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")
    out = sys.argv[1] if len(sys.argv) > 1 else root
    os.makedirs(out, exist_ok=True)
    splash().save_png(os.path.join(out, "splash.png"))
    about().save_png(os.path.join(out, "about.png"))


if __name__ == "__main__":
    main()
