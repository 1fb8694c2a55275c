#!/usr/bin/env python3
"""Draws the programs' icons and the updater's dialog bitmaps and writes them
into resources/ (.ico) and resources/bitmaps/ (.bmp).

The artwork is made here so that it can be made again; run it from the
repository root after changing a drawing:  python3 tools/mkart.py
"python3 tools/mkart.py --check" checks the committed bitmaps: their sizes,
their format and that they are what this script draws.
"""
import math
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.join(HERE, "..", "resources")


def ico(path, size, pixel):
    """Writes a one-image 32-bit icon; pixel(x, y) gives (r, g, b, a), y from the top."""
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = b""
        for x in range(size):
            r, g, b, a = pixel(x, y)
            row += bytes((b, g, r, a))
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = b"\0" * (mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + and_mask
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, 1))
        f.write(struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), 22))
        f.write(image)


def updater_icon(x, y):
    # A blue disc with two yellow arrows chasing each other (an update).
    cx = cy = 15.5
    d2 = (x - cx) ** 2 + (y - cy) ** 2
    if d2 > 15.5 ** 2:
        return (0, 0, 0, 0)
    if 8 ** 2 <= d2 <= 12 ** 2 and not (abs(x - cx) < 3 and y < cy) and not (abs(x - cx) < 3 and y > cy):
        return (255, 220, 0, 255)
    if d2 > 14 ** 2:
        return (0, 0, 96, 255)
    return (0, 64, 200, 255)


def paneltool_icon(x, y):
    # A grey panel of four icons with a red cross (a repair).
    if x < 1 or x > 30 or y < 3 or y > 28:
        return (0, 0, 0, 0)
    if abs(x - y) <= 1 and 6 <= x <= 26 or abs(x + y - 31) <= 1 and 6 <= x <= 26:
        return (210, 30, 30, 255)
    if x in (1, 30) or y in (3, 28):
        return (60, 60, 60, 255)
    if (4 <= x <= 13 or 18 <= x <= 27) and (6 <= y <= 14 or 17 <= y <= 25):
        return (40, 120, 220, 255)
    return (200, 200, 200, 255)


# ---------------------------------------------------------------------------
# Bitmaps of the updater's progress dialog.
#
# Each picture is drawn on a canvas SS times finer than the bitmap and averaged
# down, which smooths edges without any imaging library. Shapes are polygons
# filled by scan lines; circles, arcs and strokes are turned into polygons.

SS = 4
KEY = (255, 0, 255)  # transparent colour of the pictures drawn transparent
FRINGE = (240, 240, 240)  # what a transparent edge is blended against

# Pixel sizes of every bitmap. The dialog's controls measure these sizes at
# the dialog font's base units of 6 x 12 pixels (Arial 8 on a 96 dpi screen,
# as measured with Liberation Sans, which has Arial's metrics); the pictures
# draw their bitmaps centred, and the dialog test checks that each fits its
# control in the running dialog.
SIZES = {
    "bmpactua": (471, 35),  # banner, 314 x 23 dialog units
    "bmplogo": (150, 107),  # logo, 100 x 71 dialog units, drawn transparent
    "bmpsiact": (12, 12),   # tick of the list's first column (16 pixels wide)
    "bmpnoact": (12, 12),   # cross of the same column
}
for _i in range(10):
    SIZES["actua%d" % _i] = (279, 63)  # animation, 186 x 42 dialog units


class Canvas:
    def __init__(self, width, height, background):
        self.w, self.h = width, height
        self.sw, self.sh = width * SS, height * SS
        self.buf = bytearray(bytes(background) * (self.sw * self.sh))

    def span(self, y, x0, x1, color, alpha=1.0):
        """Fills samples x0 <= x < x1 of sample row y."""
        x0 = max(0, x0)
        x1 = min(self.sw, x1)
        if x1 <= x0 or not 0 <= y < self.sh:
            return
        i = (y * self.sw + x0) * 3
        j = (y * self.sw + x1) * 3
        if alpha >= 1.0:
            self.buf[i:j] = bytes(color) * (x1 - x0)
            return
        b = self.buf
        for k in range(i, j, 3):
            b[k] = int(b[k] + (color[0] - b[k]) * alpha)
            b[k + 1] = int(b[k + 1] + (color[1] - b[k + 1]) * alpha)
            b[k + 2] = int(b[k + 2] + (color[2] - b[k + 2]) * alpha)

    def polygon(self, points, color, alpha=1.0):
        """Fills a polygon given in bitmap pixels (even-odd rule)."""
        pts = [(x * SS, y * SS) for x, y in points]
        ys = [p[1] for p in pts]
        y0 = max(0, int(min(ys)))
        y1 = min(self.sh - 1, int(max(ys)) + 1)
        n = len(pts)
        for y in range(y0, y1 + 1):
            sy = y + 0.5
            xs = []
            for k in range(n):
                ax, ay = pts[k]
                bx, by = pts[(k + 1) % n]
                if (ay <= sy < by) or (by <= sy < ay):
                    xs.append(ax + (sy - ay) * (bx - ax) / (by - ay))
            xs.sort()
            for k in range(0, len(xs) - 1, 2):
                self.span(y, int(xs[k] + 0.5), int(xs[k + 1] + 0.5), color, alpha)

    def rect(self, x0, y0, x1, y1, color, alpha=1.0):
        self.polygon([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], color, alpha)

    def vgradient(self, x0, y0, x1, y1, top, bottom):
        for y in range(int(y0 * SS), int(y1 * SS)):
            t = (y - y0 * SS) / max(1, (y1 - y0) * SS - 1)
            self.span(y, int(x0 * SS), int(x1 * SS), mix(top, bottom, t))

    def hgradient(self, x0, y0, x1, y1, left, right):
        for x in range(int(x0 * SS), int(x1 * SS)):
            t = (x - x0 * SS) / max(1, (x1 - x0) * SS - 1)
            c = bytes(mix(left, right, t))
            for y in range(int(y0 * SS), int(y1 * SS)):
                i = (y * self.sw + x) * 3
                self.buf[i:i + 3] = c

    def ellipse(self, cx, cy, rx, ry, color, alpha=1.0):
        self.polygon(arc(cx, cy, rx, ry, 0, 360, 72), color, alpha)

    def stroke(self, points, width, color, alpha=1.0):
        """A polyline of the given width with round joins and ends."""
        r = width / 2
        for (ax, ay), (bx, by) in zip(points, points[1:]):
            dx, dy = bx - ax, by - ay
            d = math.hypot(dx, dy) or 1
            nx, ny = -dy / d * r, dx / d * r
            self.polygon([(ax + nx, ay + ny), (bx + nx, by + ny), (bx - nx, by - ny), (ax - nx, ay - ny)], color, alpha)
        for x, y in points:
            self.ellipse(x, y, r, r, color, alpha)

    def pixels(self, key=None):
        """Averages the samples down; with `key`, samples of that colour are
        transparent: a pixel without any other sample stays `key`, one partly
        covered is blended against FRINGE."""
        out = []
        sw = self.sw
        b = self.buf
        kb = bytes(key) if key else None
        for y in range(self.h):
            row = []
            for x in range(self.w):
                r = g = bl = 0
                covered = 0
                for sy in range(y * SS, y * SS + SS):
                    i = (sy * sw + x * SS) * 3
                    for k in range(i, i + SS * 3, 3):
                        if kb is not None and b[k:k + 3] == kb:
                            continue
                        r += b[k]
                        g += b[k + 1]
                        bl += b[k + 2]
                        covered += 1
                total = SS * SS
                if kb is not None:
                    if covered == 0:
                        row.append(key)
                        continue
                    miss = total - covered
                    r += FRINGE[0] * miss
                    g += FRINGE[1] * miss
                    bl += FRINGE[2] * miss
                px = (round(r / total), round(g / total), round(bl / total))
                if kb is not None and px == key:
                    px = (254, 0, 254)
                row.append(px)
            out.append(row)
        return out


def mix(a, b, t):
    t = min(1.0, max(0.0, t))
    return tuple(int(round(a[k] + (b[k] - a[k]) * t)) for k in range(3))


def arc(cx, cy, rx, ry, a0, a1, steps=None):
    """Points of an elliptic arc, angles in degrees counter-clockwise on screen."""
    if steps is None:
        steps = max(6, int(abs(a1 - a0) / 8))
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * k / steps)),
             cy - ry * math.sin(math.radians(a0 + (a1 - a0) * k / steps))) for k in range(steps + 1)]


def bmp_bytes(pixels):
    """A 24-bit uncompressed Windows bitmap, rows bottom-up."""
    h = len(pixels)
    w = len(pixels[0])
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        data += line
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40) + header + bytes(data)


def bmp_size(data):
    """(width, height, bits per pixel, compression) of a bitmap file's bytes."""
    if len(data) < 54 or data[:2] != b"BM":
        return None
    _, w, h, _, bpp, comp = struct.unpack("<IiiHHI", data[14:34])
    return (w, abs(h), bpp, comp)


# A small stroke font for the banner and the logo: each glyph is a set of
# polylines in a box 4 units wide and 6 high (y down, baseline at 6), with its
# advance.
def _glyphs():
    g = {}
    g["A"] = (4, [[(0, 6), (2, 0), (4, 6)], [(0.7, 4), (3.3, 4)]])
    g["C"] = (4, [arc(2.1, 3, 2.1, 3, 50, 310)])
    g["D"] = (4, [[(0, 0), (1.4, 0)] + arc(1.4, 3, 2.6, 3, 90, -90) + [(0, 6), (0, 0)]])
    g["E"] = (3.6, [[(3.6, 0), (0, 0), (0, 6), (3.6, 6)], [(0, 3), (3, 3)]])
    g["I"] = (0.2, [[(0.1, 0), (0.1, 6)]])
    g["K"] = (3.8, [[(0, 0), (0, 6)], [(3.8, 0), (0, 3.8)], [(1.3, 2.7), (3.8, 6)]])
    g["L"] = (3.4, [[(0, 0), (0, 6), (3.4, 6)]])
    g["N"] = (4, [[(0, 6), (0, 0), (4, 6), (4, 0)]])
    g["O"] = (4.4, [arc(2.2, 3, 2.2, 3, 0, 360, 48)])
    g["R"] = (3.8, [[(0, 6), (0, 0), (2.2, 0)] + arc(2.2, 1.6, 1.6, 1.6, 90, -90) + [(0, 3.2)], [(1.9, 3.2), (3.8, 6)]])
    g["S"] = (3.8, [arc(1.9, 1.5, 1.9, 1.5, 20, 270) + arc(1.9, 4.5, 1.9, 1.5, 90, -160)])
    g["T"] = (4, [[(0, 0), (4, 0)], [(2, 0), (2, 6)]])
    g["U"] = (4, [[(0, 0), (0, 4)] + arc(2, 4, 2, 2, 180, 360) + [(4, 0)]])
    g["V"] = (4, [[(0, 0), (2, 6), (4, 0)]])
    g["X"] = (4, [[(0, 0), (4, 6)], [(4, 0), (0, 6)]])
    g["Z"] = (4, [[(0, 0), (4, 0), (0, 6), (4, 6)]])
    g["\u00d3"] = (4.4, g["O"][1] + [[(1.9, -0.7), (3.0, -1.8)]])
    g[" "] = (2.2, [])
    return g


GLYPHS = _glyphs()
SPACING = 1.7


def text_width(text, unit):
    return sum((GLYPHS[c][0] + SPACING) * unit for c in text) - SPACING * unit


def draw_text(cv, text, x, baseline, unit, width, color, alpha=1.0):
    for c in text:
        adv, strokes = GLYPHS[c]
        for s in strokes:
            cv.stroke([(x + px * unit, baseline - (6 - py) * unit) for px, py in s], width, color, alpha)
        x += (adv + SPACING) * unit


def chasing_arrows(cv, cx, cy, r, width, color, alpha=1.0):
    """Two arrows chasing each other round a circle: the sign of an update."""
    for start in (20, 200):
        cv.stroke(arc(cx, cy, r, r, start, start + 125), width, color, alpha)
        tip = math.radians(start + 150)
        back = math.radians(start + 118)
        tx, ty = cx + r * math.cos(tip), cy - r * math.sin(tip)
        bx, by = cx + r * math.cos(back), cy - r * math.sin(back)
        ox, oy = (bx - cx) / r * width * 1.3, (by - cy) / r * width * 1.3
        cv.polygon([(tx, ty), (bx + ox, by + oy), (bx - ox, by - oy)], color, alpha)


BLUE_DARK = (0, 42, 110)
BLUE = (20, 90, 190)
BLUE_LIGHT = (120, 170, 235)
YELLOW = (255, 214, 0)
WHITE = (255, 255, 255)


def draw_table_sheet(cv, x, y, w, h):
    """A table: a white sheet with a blue header row and a grid."""
    cv.rect(x + 2, y + 2, x + w + 2, y + h + 2, (150, 160, 175))  # shadow
    cv.rect(x, y, x + w, y + h, (70, 80, 95))
    cv.rect(x + 1, y + 1, x + w - 1, y + h - 1, WHITE)
    cv.rect(x + 1, y + 1, x + w - 1, y + 8, BLUE)
    for k in range(1, 5):
        yy = y + 8 + k * (h - 9) / 5
        cv.rect(x + 1, yy, x + w - 1, yy + 0.8, (175, 185, 200))
    for k in (0.3, 0.62):
        xx = x + w * k
        cv.rect(xx, y + 8, xx + 0.8, y + h - 1, (175, 185, 200))


def draw_cylinder(cv, x, y, w, h):
    """A database: a blue cylinder with three discs."""
    ry = w * 0.16
    cv.rect(x, y + ry, x + w, y + h - ry, BLUE)
    cv.ellipse(x + w / 2, y + h - ry, w / 2, ry, BLUE)
    for k in (1, 2):
        yy = y + ry + k * (h - 2 * ry) / 3
        cv.stroke(arc(x + w / 2, yy, w / 2, ry, 180, 360), 1.1, BLUE_DARK)
    cv.rect(x + w * 0.12, y + ry, x + w * 0.24, y + h - ry * 0.6, (90, 150, 230), 0.6)  # gloss
    cv.ellipse(x + w / 2, y + ry, w / 2, ry, BLUE_LIGHT)
    cv.ellipse(x + w / 2, y + ry, w / 2 - 1.2, ry - 1.0, (170, 205, 245))


def draw_document(cv, x, y, w, h, tilt):
    """A record sheet with a folded corner, rotated by `tilt` degrees around its centre."""
    cx, cy = x + w / 2, y + h / 2
    c, s = math.cos(math.radians(tilt)), math.sin(math.radians(tilt))

    def rot(pts):
        return [(cx + (px - cx) * c - (py - cy) * s, cy + (px - cx) * s + (py - cy) * c) for px, py in pts]

    f = w * 0.35
    outline = [(x, y), (x + w - f, y), (x + w, y + f), (x + w, y + h), (x, y + h)]
    cv.polygon(rot([(px + 1.5, py + 1.5) for px, py in outline]), (120, 130, 150), 0.5)
    cv.polygon(rot(outline), (60, 70, 90))
    cv.polygon(rot([(x + 1, y + 1), (x + w - f - 0.4, y + 1), (x + w - 1, y + f + 0.4), (x + w - 1, y + h - 1), (x + 1, y + h - 1)]), WHITE)
    cv.polygon(rot([(x + w - f, y), (x + w - f, y + f), (x + w, y + f)]), (190, 200, 215))
    for k in range(4):
        yy = y + h * 0.38 + k * h * 0.14
        cv.polygon(rot([(x + 3, yy), (x + w - 3, yy), (x + w - 3, yy + 1), (x + 3, yy + 1)]), BLUE)


def animation_frame(frame):
    w, h = SIZES["actua%d" % frame]
    cv = Canvas(w, h, WHITE)
    cv.vgradient(0, 0, w, h, (252, 253, 255), (214, 226, 243))
    draw_table_sheet(cv, 16, 10, 50, 38)
    draw_cylinder(cv, 215, 8, 46, 44)
    # The path the records take, and the record of this frame on it.
    x0, x1, top, base = 76, 204, 11, 32
    def on_path(t):
        return (x0 + (x1 - x0) * t, base - (base - top) * 4 * t * (1 - t))
    for k in range(21):
        px, py = on_path(k / 20)
        cv.ellipse(px, py, 0.9, 0.9, (150, 170, 200))
    px, py = on_path(1.0)
    cv.polygon([(px + 5, py + 2), (px - 3, py - 3), (px - 1, py + 6)], (150, 170, 200))
    for back in (2, 1):
        if frame - back >= 0:
            tx, ty = on_path((frame - back + 0.5) / 10)
            cv.ellipse(tx, ty, 3.2 - back, 3.2 - back, YELLOW, 0.8)
    t = (frame + 0.5) / 10
    dx, dy = on_path(t)
    draw_document(cv, dx - 7, dy - 9, 14, 18, (t - 0.5) * 50)
    # A chase of ten lamps: the one of this frame lit, the two before it fading.
    for k in range(10):
        lx = 86 + k * 11
        age = (frame - k) % 10
        color = {0: (255, 200, 0), 1: (235, 200, 90), 2: (215, 205, 160)}.get(age, (190, 200, 215))
        cv.rect(lx, 50, lx + 8, 56, (110, 120, 140))
        cv.rect(lx + 0.8, 50.8, lx + 7.2, 55.2, color)
    return cv.pixels()


def banner():
    w, h = SIZES["bmpactua"]
    cv = Canvas(w, h, BLUE_DARK)
    cv.hgradient(0, 0, w, h, (0, 36, 100), (40, 120, 210))
    cv.rect(0, 0, w, h * 0.45, WHITE, 0.08)  # a light band over the upper half
    cv.ellipse(19, h / 2, 13, 13, (10, 60, 150))
    chasing_arrows(cv, 19, h / 2, 9, 2.5, YELLOW)
    title = "ACTUALIZACI\u00d3N DE DATOS"
    draw_text(cv, title, 42, 24.5, 2.1, 2.0, WHITE)
    brand = "NORVO KX"
    unit = 1.45
    draw_text(cv, brand, w - 12 - text_width(brand, unit), 23, unit, 1.6, (200, 225, 255))
    return cv.pixels()


def logo():
    w, h = SIZES["bmplogo"]
    cv = Canvas(w, h, KEY)
    cx, cy, r = w / 2, h / 2 - 1, 50
    cv.ellipse(cx + 2, cy + 2.5, r, r, mix(FRINGE, (150, 150, 160), 0.45))  # shadow, opaque over the key
    cv.ellipse(cx, cy, r, r, BLUE_DARK)
    cv.ellipse(cx, cy, r - 3, r - 3, BLUE)
    cv.ellipse(cx - 4, cy - 18, r - 20, r - 30, WHITE, 0.12)  # gloss
    chasing_arrows(cv, cx, cy, r - 11, 6, YELLOW)
    unit = 4.6
    draw_text(cv, "KX", cx - text_width("KX", unit) / 2, cy + 3 * unit, unit, 5, WHITE)
    return cv.pixels(key=KEY)


def pixel_art(rows, palette):
    return [[palette[c] for c in row] for row in rows]


def tick():
    rows = [
        "............",
        "..........##",
        ".........##o",
        "........##o.",
        ".##....##o..",
        "o##o..##o...",
        ".o##.##o....",
        "..o###o.....",
        "...o##......",
        "....o.......",
        "............",
        "............",
    ]
    return pixel_art(rows, {".": KEY, "#": (0, 150, 40), "o": (110, 190, 120)})


def cross():
    rows = [
        "............",
        ".##......##.",
        ".###....###.",
        "..###..###..",
        "...######...",
        "....####....",
        "....####....",
        "...######...",
        "..###..###..",
        ".###....###.",
        ".##......##.",
        "............",
    ]
    return pixel_art(rows, {".": KEY, "#": (200, 30, 30)})


def bitmaps():
    """Every bitmap by file name (without .bmp) with its pixels."""
    out = {"actua%d" % k: animation_frame(k) for k in range(10)}
    out["bmpactua"] = banner()
    out["bmplogo"] = logo()
    out["bmpsiact"] = tick()
    out["bmpnoact"] = cross()
    return out


def check_bitmaps(folder):
    """Checks that every committed bitmap exists with its size and format, and
    that drawing it again gives the same bytes. Returns a list of problems."""
    problems = []
    drawn = bitmaps()
    for name, (w, h) in sorted(SIZES.items()):
        path = os.path.join(folder, name + ".bmp")
        if not os.path.exists(path):
            problems.append("%s: missing" % path)
            continue
        with open(path, "rb") as f:
            data = f.read()
        size = bmp_size(data)
        if size != (w, h, 24, 0):
            problems.append("%s: %s, expected %dx%d 24-bit uncompressed" % (path, size, w, h))
        elif data != bmp_bytes(drawn[name]):
            problems.append("%s: differs from what tools/mkart.py draws" % path)
    return problems


def main(argv):
    bmp_folder = os.path.join(RES, "bitmaps")
    if "--check" in argv:
        problems = check_bitmaps(bmp_folder)
        for p in problems:
            print(p, file=sys.stderr)
        print("%d bitmaps checked, %d problems" % (len(SIZES), len(problems)))
        return 1 if problems else 0
    ico(os.path.join(RES, "updater.ico"), 32, updater_icon)
    ico(os.path.join(RES, "paneltool.ico"), 32, paneltool_icon)
    os.makedirs(bmp_folder, exist_ok=True)
    for name, pixels in bitmaps().items():
        with open(os.path.join(bmp_folder, name + ".bmp"), "wb") as f:
            f.write(bmp_bytes(pixels))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
