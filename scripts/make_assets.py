#!/usr/bin/env python3
"""Draws the program's pictures: the window icon and the 24-bit bitmaps of the dialogs.

Only the ids, the sizes and the roles of the pictures are fixed; this script draws all of them
(anti-aliased vector shapes, no fonts: every text comes from the language file at run time).

    make_assets.py [--true-colour] OUTPUT_DIR

Writes Plugstart.ico and one <id>.bmp per bitmap resource. The bitmaps are stored as Windows
loads them as they are, in the smallest form that keeps every pixel within MAX_COLOUR_STEP of its
drawn colour: 8 bits per pixel with a palette of the picture's own colours (a picture of more
than 256 colours gets the fewest palette colours that keep that step), run-length compressed
(BI_RLE8) when that is smaller. --true-colour writes them as drawn, 24 bits per pixel: the form
the look is compared against (tests/look). Where a dialog paints text over a
background, the background stays calm there: light text on the dark band of the main and staging
dialogs, black and blue text on the white body of the guide dialog. Button strips hold four frames
(normal, hover, pressed, disabled) and use RGB(255, 0, 255) outside their rounded outline, where the
dialog shows through; their edges are blended with the surface they sit on, never with magenta.
"""
import math
import os
import struct
import sys

MAGENTA = (255, 0, 255)
# The largest difference, in any channel of any pixel, between a stored bitmap and the picture as
# drawn: 2 of 255 steps, well under what a person can tell apart.
MAX_COLOUR_STEP = 2

# --- colours -------------------------------------------------------------------------------------
NAVY_TOP = (22, 37, 61)
NAVY_BOTTOM = (31, 56, 92)
ACCENT = (52, 170, 230)
ACCENT_DEEP = (33, 118, 196)
PANEL = (238, 241, 245)        # lower panel of the main background and footer of the guide
PANEL_EDGE = (205, 212, 222)
WHITE = (255, 255, 255)
FRAME_LINE = (120, 134, 153)
CAPTION_TOP = (48, 112, 192)
CAPTION_BOTTOM = (32, 86, 158)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def clamp01(v):
    return 0.0 if v < 0.0 else 1.0 if v > 1.0 else v


def coverage(distance):
    """Pixel coverage of a shape from the signed distance (negative inside) at the pixel centre."""
    return clamp01(0.5 - distance)


# --- signed distance functions (pixel units, negative inside) -----------------------------------

def sd_round_rect(x, y, left, top, right, bottom, radius):
    cx, cy = (left + right) / 2.0, (top + bottom) / 2.0
    hx, hy = (right - left) / 2.0 - radius, (bottom - top) / 2.0 - radius
    qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def sd_circle(x, y, cx, cy, r):
    return math.hypot(x - cx, y - cy) - r


def sd_segment(x, y, ax, ay, bx, by, half_width):
    px, py, vx, vy = x - ax, y - ay, bx - ax, by - ay
    t = clamp01((px * vx + py * vy) / float(vx * vx + vy * vy))
    return math.hypot(px - vx * t, py - vy * t) - half_width


def sd_polygon(x, y, points):
    """Distance to a convex or concave polygon (even-odd inside test)."""
    d = float("inf")
    inside = False
    n = len(points)
    for i in range(n):
        ax, ay = points[i]
        bx, by = points[(i + 1) % n]
        d = min(d, sd_segment(x, y, ax, ay, bx, by, 0.0))
        if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
            inside = not inside
    return -d if inside else d


# --- canvas --------------------------------------------------------------------------------------

class Canvas:
    def __init__(self, width, height, paint):
        """paint(x, y) gives the starting colour of each pixel."""
        self.width, self.height = width, height
        self.px = [paint(x, y) for y in range(height) for x in range(width)]

    def get(self, x, y):
        return self.px[y * self.width + x]

    def put(self, x, y, colour):
        self.px[y * self.width + x] = colour

    def shape(self, sdf, colour, box=None, alpha=1.0):
        """Blends colour (a tuple, or a function of x and y) where sdf(x, y) is inside the shape."""
        left, top, right, bottom = box if box else (0, 0, self.width, self.height)
        for y in range(max(0, int(top)), min(self.height, int(math.ceil(bottom)) + 1)):
            for x in range(max(0, int(left)), min(self.width, int(math.ceil(right)) + 1)):
                cover = coverage(sdf(x + 0.5, y + 0.5)) * alpha
                if cover <= 0.0:
                    continue
                fill = colour(x, y) if callable(colour) else colour
                self.put(x, y, mix(self.get(x, y), fill, cover))

    def colours(self):
        """The pixels as integer (r, g, b), row by row from the top."""
        return [tuple(int(round(c)) for c in pixel) for pixel in self.px]

    def bmp(self):
        """A bottom-up 24-bit BMP file: the picture as drawn."""
        pixels = self.colours()
        row_size = (self.width * 3 + 3) & ~3
        data = bytearray()
        for y in range(self.height - 1, -1, -1):
            row = bytearray()
            for r, g, b in pixels[y * self.width:(y + 1) * self.width]:
                row += bytes((b, g, r))
            data += row + b"\0" * (row_size - len(row))
        return bmp_file(self.width, self.height, 24, 0, [], bytes(data))

    def stored_bmp(self):
        """The picture in its stored form: 8 bits per pixel with a palette, run-length compressed
        when that is smaller; every pixel within MAX_COLOUR_STEP of the drawn colour."""
        pixels = self.colours()
        palette = choose_palette(set(pixels))
        index_of = {colour: nearest(colour, palette) for colour in set(pixels)}
        worst = max(max(abs(a - b) for a, b in zip(colour, palette[index])) for colour, index in index_of.items())
        if worst > MAX_COLOUR_STEP:
            raise ValueError("no palette keeps every colour within %d steps" % MAX_COLOUR_STEP)
        if any(palette[index] == MAGENTA and colour != MAGENTA for colour, index in index_of.items()):
            raise ValueError("a colour would become the transparent magenta")
        rows = [[index_of[colour] for colour in pixels[y * self.width:(y + 1) * self.width]]
                for y in range(self.height - 1, -1, -1)]
        plain = b"".join(bytes(row) + b"\0" * (-len(row) % 4) for row in rows)
        compressed = rle8(rows)
        if len(compressed) < len(plain):
            return bmp_file(self.width, self.height, 8, BI_RLE8, palette, compressed)
        return bmp_file(self.width, self.height, 8, 0, palette, plain)


BI_RLE8 = 1


def bmp_file(width, height, bits, compression, palette, data):
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, len(data), 2835, 2835,
                       len(palette), 0)
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 14 + len(info) + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    return header + info + colours + data


def chebyshev(a, b):
    return max(abs(a[0] - b[0]), abs(a[1] - b[1]), abs(a[2] - b[2]))


def nearest(colour, palette):
    return min(range(len(palette)), key=lambda i: chebyshev(colour, palette[i]))


def choose_palette(colours):
    """The picture's own colours when they are 256 or fewer; else, for the smallest step r that
    allows it, colours of the picture chosen greedily so that each colour has one within r."""
    colours = sorted(colours)
    if len(colours) <= 256:
        return colours
    for step in range(1, MAX_COLOUR_STEP + 1):
        palette = cover(colours, step)
        if len(palette) <= 256:
            return palette
    raise ValueError("%d colours need more than 256 palette entries within %d steps" % (len(colours), MAX_COLOUR_STEP))


def cover(colours, step):
    """Greedy cover: repeatedly the colour whose neighbourhood (within step) holds the most
    colours not yet covered."""
    cell = step + 1
    grid = {}
    for c in colours:
        grid.setdefault((c[0] // cell, c[1] // cell, c[2] // cell), []).append(c)

    def neighbours(c):
        g = (c[0] // cell, c[1] // cell, c[2] // cell)
        found = set()
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                for dz in (-1, 0, 1):
                    for other in grid.get((g[0] + dx, g[1] + dy, g[2] + dz), ()):
                        if chebyshev(c, other) <= step:
                            found.add(other)
        return found

    reach = {c: neighbours(c) for c in colours}
    uncovered = set(colours)
    palette = []
    while uncovered:
        best = max(colours, key=lambda c: (len(reach[c] & uncovered), c))
        palette.append(best)
        uncovered -= reach[best]
    return palette


def rle8(rows):
    """BI_RLE8 data of the rows (bottom-up): runs of one index as (count, index), stretches of
    three or more differing indices in absolute mode, an end of line after each row and the end of
    the bitmap after the last."""
    out = bytearray()
    for row in rows:
        x = 0
        while x < len(row):
            run = 1
            while x + run < len(row) and run < 255 and row[x + run] == row[x]:
                run += 1
            if run >= 2:
                out += bytes((run, row[x]))
                x += run
                continue
            # a stretch without repeats, up to the next pair
            end = x + 1
            while end < len(row) and end - x < 255 and not (end + 1 < len(row) and row[end] == row[end + 1]):
                end += 1
            literal = row[x:end]
            if len(literal) < 3:
                for index in literal:
                    out += bytes((1, index))
            else:
                out += bytes((0, len(literal))) + bytes(literal) + (b"\0" if len(literal) % 2 else b"")
            x = end
        out += b"\0\0"
    out[-2:] = b"\0\1"
    return bytes(out)


# --- shared motifs -------------------------------------------------------------------------------

def plug_mark(canvas, left, top, size, body, glyph):
    """The product mark: a rounded tile with a plug and two signal arcs."""
    s = size / 28.0
    canvas.shape(lambda x, y: sd_round_rect(x, y, left, top, left + size, top + size, 6 * s), body,
                 (left - 1, top - 1, left + size + 1, top + size + 1))
    cx = left + 11 * s
    # plug body, prongs and cable
    canvas.shape(lambda x, y: sd_round_rect(x, y, cx - 5 * s, top + 10 * s, cx + 5 * s, top + 18 * s, 2 * s), glyph,
                 (left, top, left + size, top + size))
    for px in (cx - 2.5 * s, cx + 2.5 * s):
        canvas.shape(lambda x, y, px=px: sd_segment(x, y, px, top + 6 * s, px, top + 10 * s, 0.9 * s), glyph,
                     (left, top, left + size, top + size))
    canvas.shape(lambda x, y: sd_segment(x, y, cx, top + 18 * s, cx, top + 23 * s, 1.1 * s), glyph,
                 (left, top, left + size, top + size))
    # signal arcs to the right of the plug
    ox, oy = cx + 4 * s, top + 14 * s
    for radius in (6 * s, 10 * s):
        def arc(x, y, radius=radius):
            ring = abs(math.hypot(x - ox, y - oy) - radius) - 1.0 * s
            angle = math.atan2(y - oy, x - ox)
            wedge = (abs(angle) - 0.75) * math.hypot(x - ox, y - oy)
            return max(ring, wedge, ox - x)
        canvas.shape(arc, glyph, (left, top, left + size, top + size))


def main_background_colour(x, y):
    """The main and staging dialogs' picture without its decorations (also under the animation)."""
    if y < 132:
        t = y / 131.0
        base = mix(NAVY_TOP, NAVY_BOTTOM, t)
        # a soft light from the upper right
        glow = clamp01(1.0 - math.hypot(x - 330, y + 40) / 260.0) * 0.18
        return mix(base, (70, 110, 160), glow)
    if y < 135:
        # accent line: light in the middle, fading to the sides
        t = 1.0 - abs(x - 170) / 170.0
        return mix(ACCENT_DEEP, ACCENT, clamp01(t * 1.4))
    return PANEL


def draw_main_background(width=340, height=238):
    canvas = Canvas(width, height, main_background_colour)
    # faint signal rings from the upper right corner, away from the status text (85..324, 80..113)
    for radius, strength in ((44, 0.10), (70, 0.08), (96, 0.06)):
        canvas.shape(lambda x, y, r=radius: abs(math.hypot(x - 338, y - 2) - r) - 1.2, (120, 160, 210),
                     (200, 0, 340, 100), alpha=strength)
    plug_mark(canvas, 16, 14, 28, lambda x, y: mix(ACCENT, ACCENT_DEEP, clamp01((y - 14) / 28.0)), WHITE)
    # warning sign beside the unplug notice (50..300, 147..188)
    tri = [(32.0, 150.0), (43.0, 169.0), (21.0, 169.0)]
    canvas.shape(lambda x, y: sd_polygon(x, y, tri) - 1.2, (226, 163, 38), (18, 146, 46, 172))
    canvas.shape(lambda x, y: sd_segment(x, y, 32, 156, 32, 162.5, 1.1), WHITE, (28, 152, 36, 166))
    canvas.shape(lambda x, y: sd_circle(x, y, 32, 165.8, 1.2), WHITE, (28, 162, 36, 169))
    # a one-pixel frame: the window has no border of its own
    frame(canvas, FRAME_LINE)
    return canvas


def frame(canvas, colour):
    for x in range(canvas.width):
        canvas.put(x, 0, colour)
        canvas.put(x, canvas.height - 1, colour)
    for y in range(canvas.height):
        canvas.put(0, y, colour)
        canvas.put(canvas.width - 1, y, colour)


# --- busy animation ------------------------------------------------------------------------------

ANIMATION_ORIGIN = (45, 74)
SPINNER_DOTS = 7
# Bitmap id of each position of the turning head; frame 7 shows the first again.
SPINNER_IDS = (148, 147, 149, 156, 151, 152, 153)


def draw_spinner(size, position):
    ox, oy = ANIMATION_ORIGIN
    canvas = Canvas(size, size, lambda x, y: main_background_colour(ox + x, oy + y))
    centre = size / 2.0
    ring = size * 0.33
    dot = size * 0.095
    for i in range(SPINNER_DOTS):
        age = (position - i) % SPINNER_DOTS  # 0 = the head, larger = further behind
        angle = -math.pi / 2 + 2 * math.pi * i / SPINNER_DOTS
        cx, cy = centre + ring * math.cos(angle), centre + ring * math.sin(angle)
        radius = dot * (1.35 - 0.07 * age)
        colour = mix((235, 248, 255), ACCENT, min(age, 1) * 0.3)
        alpha = 1.0 - 0.12 * age
        canvas.shape(lambda x, y, cx=cx, cy=cy, r=radius: sd_circle(x, y, cx, cy, r), colour,
                     (cx - radius - 1, cy - radius - 1, cx + radius + 1, cy + radius + 1), alpha=alpha)
    return canvas


# --- button strips -------------------------------------------------------------------------------

def strip(frame_width, height, frames, backdrop, outline):
    """Four frames side by side. outline(x, y) is the signed distance of the shape that is not
    transparent; frames[i](canvas, x0) draws frame i at x offset x0 over backdrop."""
    canvas = Canvas(frame_width * len(frames), height, lambda x, y: backdrop(x % frame_width, y))
    for i, draw in enumerate(frames):
        draw(canvas, i * frame_width)
    for y in range(height):
        for x in range(canvas.width):
            if coverage(outline(x % frame_width + 0.5, y + 0.5)) <= 0.0:
                canvas.put(x, y, MAGENTA)
    return canvas


def text_button_strip():
    """Bitmap 132: 4 frames of 94 x 24, on the light panels of both dialogs."""
    w, h, r = 94, 24, 5.0

    def outline(x, y):
        return sd_round_rect(x, y, 0.5, 0.5, w - 0.5, h - 0.5, r)

    def face(border, top, bottom, inner=None, shine=0.0):
        def draw(canvas, x0):
            box = (x0, 0, x0 + w, h)
            canvas.shape(lambda x, y: outline(x - x0, y), border, box)
            canvas.shape(lambda x, y: sd_round_rect(x - x0, y, 1.5, 1.5, w - 1.5, h - 1.5, r - 1),
                         lambda x, y: mix(top, bottom, clamp01((y - 1.5) / (h - 3.0))), box)
            if shine:
                canvas.shape(lambda x, y: sd_round_rect(x - x0, y, 2.5, 2.0, w - 2.5, h / 2.0, r - 2), WHITE, box,
                             alpha=shine)
            if inner:
                canvas.shape(lambda x, y: sd_segment(x - x0, y, 4, 2.5, w - 4, 2.5, 0.5), inner, box, alpha=0.6)
        return draw

    frames = [
        face((128, 144, 166), (255, 255, 255), (226, 231, 238), shine=0.35),  # normal
        face((56, 124, 208), (246, 251, 255), (208, 228, 250), shine=0.45),   # hover
        face((40, 92, 164), (190, 210, 236), (214, 228, 245), inner=(120, 140, 170)),  # pressed
        face((200, 205, 212), (244, 245, 247), (236, 238, 241)),              # disabled
    ]
    return strip(w, h, frames, lambda x, y: PANEL, outline)


def close_strip(w, h, backdrop, glyph_normal, glyph_disabled):
    """A close button: an X that gets a red tile on hover and press."""
    def outline(x, y):
        return sd_round_rect(x, y, 0.5, 0.5, w - 0.5, h - 0.5, 3.0)

    def cross(canvas, x0, colour, weight):
        inset = min(w, h) * 0.3
        cy0, cy1 = (h - (w - 2 * inset)) / 2.0, (h + (w - 2 * inset)) / 2.0
        box = (x0, 0, x0 + w, h)
        canvas.shape(lambda x, y: sd_segment(x - x0, y, inset, cy0, w - inset, cy1, weight), colour, box)
        canvas.shape(lambda x, y: sd_segment(x - x0, y, w - inset, cy0, inset, cy1, weight), colour, box)

    def plain(colour):
        return lambda canvas, x0: cross(canvas, x0, colour, 0.85)

    def tile(fill):
        def draw(canvas, x0):
            canvas.shape(lambda x, y: outline(x - x0, y), fill, (x0, 0, x0 + w, h))
            cross(canvas, x0, WHITE, 0.85)
        return draw

    def cross_only(x, y):
        inset = min(w, h) * 0.3
        cy0, cy1 = (h - (w - 2 * inset)) / 2.0, (h + (w - 2 * inset)) / 2.0
        return min(sd_segment(x, y, inset, cy0, w - inset, cy1, 0.85),
                   sd_segment(x, y, w - inset, cy0, inset, cy1, 0.85))

    canvas = strip(w, h, [plain(glyph_normal), tile((214, 64, 52)), tile((166, 42, 34)), plain(glyph_disabled)],
                   backdrop, outline)
    # normal and disabled frames show only the X: around it the dialog shows through
    for i in (0, 3):
        for y in range(h):
            for x in range(w):
                if coverage(cross_only(x + 0.5, y + 0.5)) <= 0.0:
                    canvas.put(i * w + x, y, MAGENTA)
    return canvas


# --- guide dialog --------------------------------------------------------------------------------

def guide_background_colour(x, y):
    if y < 30:
        return mix(CAPTION_TOP, CAPTION_BOTTOM, y / 29.0)
    if y < 228:
        return WHITE
    if y == 228:
        return PANEL_EDGE
    return PANEL


def draw_guide_background(width=450, height=290):
    canvas = Canvas(width, height, guide_background_colour)
    # a light line under the caption strip
    for x in range(width):
        canvas.put(x, 30, mix(CAPTION_BOTTOM, WHITE, 0.55))
    # the illustration left of the text (text box 130..430, 93..220): a disc and a download badge
    cx, cy = 64.0, 150.0
    canvas.shape(lambda x, y: sd_circle(x, y, cx + 2, cy + 3, 44), (0, 0, 0), (15, 100, 115, 200), alpha=0.10)
    canvas.shape(lambda x, y: sd_circle(x, y, cx, cy, 44),
                 lambda x, y: disc_colour(x + 0.5 - cx, y + 0.5 - cy), (16, 102, 112, 198))
    canvas.shape(lambda x, y: abs(sd_circle(x, y, cx, cy, 44)) - 0.6, (150, 165, 185), (16, 102, 112, 198))
    canvas.shape(lambda x, y: sd_circle(x, y, cx, cy, 13), (235, 240, 246), (48, 134, 80, 166))
    canvas.shape(lambda x, y: abs(sd_circle(x, y, cx, cy, 13)) - 0.6, (160, 172, 190), (48, 134, 80, 166))
    canvas.shape(lambda x, y: sd_circle(x, y, cx, cy, 5), WHITE, (56, 142, 72, 158))
    canvas.shape(lambda x, y: abs(sd_circle(x, y, cx, cy, 5)) - 0.6, (160, 172, 190), (56, 142, 72, 158))
    bx, by = 96.0, 186.0
    canvas.shape(lambda x, y: sd_circle(x, y, bx, by, 17), WHITE, (76, 166, 116, 206))
    canvas.shape(lambda x, y: sd_circle(x, y, bx, by, 15),
                 lambda x, y: mix(ACCENT, ACCENT_DEEP, clamp01((y - by + 15) / 30.0)), (78, 168, 114, 204))
    canvas.shape(lambda x, y: sd_segment(x, y, bx, by - 8, bx, by + 3, 1.6), WHITE, (88, 174, 104, 194))
    arrow = [(bx - 6.5, by + 0.5), (bx + 6.5, by + 0.5), (bx, by + 7.5)]
    canvas.shape(lambda x, y: sd_polygon(x, y, arrow) - 0.3, WHITE, (86, 182, 106, 196))
    frame(canvas, FRAME_LINE)
    return canvas


def disc_colour(dx, dy):
    """A silver disc with a faint rainbow sheen that turns with the angle."""
    angle = math.atan2(dy, dx)
    sheen = 0.5 + 0.5 * math.sin(angle * 2.0)
    base = mix((214, 222, 232), (246, 248, 251), sheen)
    tint = (0.5 + 0.5 * math.sin(angle * 3.0 + 1.0), 0.5 + 0.5 * math.sin(angle * 3.0 + 3.0),
            0.5 + 0.5 * math.sin(angle * 3.0 + 5.0))
    return mix(base, tuple(180 + 75 * t for t in tint), 0.18)


# --- icon ----------------------------------------------------------------------------------------

def icon_image(size):
    """A 32-bit icon image with alpha: the product mark on its own."""
    canvas = Canvas(size, size, lambda x, y: (0, 0, 0))
    alpha = Canvas(size, size, lambda x, y: (0, 0, 0))
    inset = size / 16.0
    body = lambda x, y: mix(ACCENT, ACCENT_DEEP, clamp01(y / float(size)))  # noqa: E731
    plug_mark(canvas, inset, inset, size - 2 * inset, body, WHITE)
    plug_mark(alpha, inset, inset, size - 2 * inset, (255, 255, 255), (255, 255, 255))
    pixels = bytearray()
    for y in range(size - 1, -1, -1):
        for x in range(size):
            a = alpha.get(x, y)[0] / 255.0
            r, g, b = canvas.get(x, y)
            # the canvas started black: undo the blend with black to get straight colour
            r, g, b = ((c / a) if a > 0 else 0 for c in (r, g, b))
            pixels += bytes((int(round(min(b, 255))), int(round(min(g, 255))), int(round(min(r, 255))),
                             int(round(a * 255))))
    mask_row = ((size + 31) // 32) * 4
    mask = b"\0" * (mask_row * size)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return info + bytes(pixels) + mask


def icon_file(sizes=(16, 32, 48)):
    images = [icon_image(size) for size in sizes]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, image in zip(sizes, images):
        entries += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return header + entries + b"".join(images)


# --- output --------------------------------------------------------------------------------------

def bitmaps():
    """Every bitmap resource by id."""
    ids = {
        131: draw_main_background,
        132: text_button_strip,
        # the main dialog's close button sits on the dark band, the guide's on the caption strip
        134: lambda: close_strip(13, 13, lambda x, y: main_background_colour(378 + x, 7 + y),
                                 (214, 224, 238), (110, 124, 146)),
        169: lambda: close_strip(15, 14, lambda x, y: guide_background_colour(426 + x, 8 + y),
                                 WHITE, (140, 170, 210)),
        170: draw_guide_background,
        164: lambda: draw_spinner(33, 0),
    }
    for position, bitmap_id in enumerate(SPINNER_IDS):
        ids[bitmap_id] = lambda position=position: draw_spinner(26, position)
    return ids


def main():
    arguments = sys.argv[1:]
    true_colour = "--true-colour" in arguments
    out = [a for a in arguments if a != "--true-colour"][0]
    os.makedirs(out, exist_ok=True)
    for bitmap_id, draw in sorted(bitmaps().items()):
        canvas = draw()
        with open(os.path.join(out, "%d.bmp" % bitmap_id), "wb") as f:
            f.write(canvas.bmp() if true_colour else canvas.stored_bmp())
    with open(os.path.join(out, "Plugstart.ico"), "wb") as f:
        f.write(icon_file())


if __name__ == "__main__":
    main()
