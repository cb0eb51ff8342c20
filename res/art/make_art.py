#!/usr/bin/env python3
"""Draws the installer's artwork: backgrounds, icon, logo, pictures, spinner and control images.

Every shape is drawn from its signed distance field, so edges are anti-aliased and the PNGs carry
real partial transparency; texts use the Roboto faces of Debian's fonts-roboto-unhinted. The
output is the same on every run (the only random draws, the stars, come from a fixed seed).

    make_art.py --out <folder> --fonts <folder with Roboto-*.ttf> [--sheet <contact sheet.png>]
                [--shots <folder>] [--sheet-only]

writes <out>/<id>.bmp (243, 244), <out>/219.ico, <out>/<id>.png for every PNG resource, and the
contact sheet: every image at its own size with its resource ID, plus page previews, and beside
them the screenshots of the real windows under Wine found in --shots (<language>-<name>.png, made
by tests/ui/screenshots.sh). --sheet-only draws only the sheet, from the images already in <out>.
"""
import argparse
import struct
import sys
from io import BytesIO
from pathlib import Path

import numpy as np
from PIL import Image, ImageDraw, ImageFont

# The installer's palette: night-purple field, the progress bar's blue-to-magenta gradient, the
# purple of frames and the lavender of field text.
NIGHT_TOP = (40, 24, 80)
NIGHT_BOTTOM = (14, 6, 31)
BLUE = (11, 128, 251)
MAGENTA = (252, 35, 248)
VIOLET = (130, 80, 250)
FRAME = (90, 65, 143)
LAVENDER = (221, 205, 253)
WHITE = (255, 255, 255)

SPINNER_FIRST, SPINNER_FRAMES = 245, 42

FONTS = {}


def font(name, size):
    key = (name, size)
    if key not in FONTS:
        FONTS[key] = ImageFont.truetype(str(FONT_DIR / f"Roboto-{name}.ttf"), size)
    return FONTS[key]


# ---------------------------------------------------------------------------------------------
# A canvas of premultiplied floating-point RGBA, painted with coverage masks.

class Canvas:
    def __init__(self, width, height, fill=None):
        self.w, self.h = width, height
        self.rgb = np.zeros((height, width, 3))
        self.a = np.zeros((height, width))
        if fill is not None:
            self.rgb[:] = np.asarray(fill, float) / 255
            self.a[:] = 1
        ys, xs = np.mgrid[0:height, 0:width]
        self.x = xs + 0.5
        self.y = ys + 0.5

    def paint(self, coverage, color, alpha=1.0):
        """Source-over: `color` (RGB 0-255 or an HxWx3 array) through `coverage` x `alpha`."""
        a = np.clip(coverage, 0, 1) * alpha
        c = np.asarray(color, float) / 255
        if c.ndim == 1:
            c = c.reshape(1, 1, 3)
        self.rgb = c * a[..., None] + self.rgb * (1 - a[..., None])
        self.a = a + self.a * (1 - a)

    def image(self):
        a = self.a
        safe = np.where(a > 0, a, 1)
        rgb = np.clip(self.rgb / safe[..., None], 0, 1)
        out = np.dstack([rgb, a[..., None]])
        return Image.fromarray(np.round(out * 255).astype(np.uint8), "RGBA")

    def rgb_image(self, dither_seed=None):
        rgb = self.rgb * 255
        if dither_seed is not None:
            # A fixed half-level noise hides the banding of slow gradients in 8-bit channels.
            rng = np.random.default_rng(dither_seed)
            rgb = rgb + rng.uniform(-0.5, 0.5, rgb.shape)
        return Image.fromarray(np.clip(np.round(rgb), 0, 255).astype(np.uint8), "RGB")


def cover(d, soft=1.0):
    """Coverage of the inside (d < 0) of a distance field, anti-aliased over `soft` pixels."""
    return np.clip(0.5 - d / soft, 0, 1)


def sd_circle(c, cx, cy, r):
    return np.hypot(c.x - cx, c.y - cy) - r


def sd_round_rect(c, x0, y0, x1, y1, r):
    px, py = c.x - (x0 + x1) / 2, c.y - (y0 + y1) / 2
    qx = np.abs(px) - ((x1 - x0) / 2 - r)
    qy = np.abs(py) - ((y1 - y0) / 2 - r)
    return np.hypot(np.maximum(qx, 0), np.maximum(qy, 0)) + np.minimum(np.maximum(qx, qy), 0) - r


def sd_segment(c, ax, ay, bx, by, r):
    px, py = c.x - ax, c.y - ay
    dx, dy = bx - ax, by - ay
    h = np.clip((px * dx + py * dy) / (dx * dx + dy * dy), 0, 1)
    return np.hypot(px - dx * h, py - dy * h) - r


def sd_polyline(c, points, r):
    d = None
    for (ax, ay), (bx, by) in zip(points, points[1:]):
        s = sd_segment(c, ax, ay, bx, by, r)
        d = s if d is None else np.minimum(d, s)
    return d


def sd_convex_polygon(c, points, r=0.0):
    """Distance to a convex polygon (points clockwise on screen), rounded by r."""
    n = len(points)
    inside = None
    edge = None
    for i in range(n):
        ax, ay = points[i]
        bx, by = points[(i + 1) % n]
        ex, ey = bx - ax, by - ay
        length = np.hypot(ex, ey)
        # Signed distance to the edge's line, positive outside (to the left of a clockwise edge).
        side = ((c.x - ax) * ey - (c.y - ay) * ex) / length
        inside = side if inside is None else np.maximum(inside, side)
        seg = sd_segment(c, ax, ay, bx, by, 0)
        edge = seg if edge is None else np.minimum(edge, seg)
    d = np.where(inside < 0, inside, edge)
    return d - r


def shrink_polygon(points, r):
    """Moves every edge of a convex polygon inwards by r (for rounding without growing)."""
    cx = sum(p[0] for p in points) / len(points)
    cy = sum(p[1] for p in points) / len(points)
    # Scale towards the incentre; good enough for the triangles drawn here.
    out = []
    for x, y in points:
        dx, dy = x - cx, y - cy
        dist = np.hypot(dx, dy)
        k = (dist - r * 2) / dist
        out.append((cx + dx * k, cy + dy * k))
    return out


def gradient(c, x0, y0, x1, y1, stops):
    """Linear colour gradient from (x0, y0) to (x1, y1) over evenly spaced colour stops."""
    dx, dy = x1 - x0, y1 - y0
    t = np.clip(((c.x - x0) * dx + (c.y - y0) * dy) / (dx * dx + dy * dy), 0, 1)
    stops = np.asarray(stops, float)
    pos = t * (len(stops) - 1)
    i = np.minimum(pos.astype(int), len(stops) - 2)
    f = (pos - i)[..., None]
    return stops[i] * (1 - f) + stops[i + 1] * f


def brand_gradient(c, x0, y0, x1, y1):
    return gradient(c, x0, y0, x1, y1, [BLUE, VIOLET, MAGENTA])


def text_mask(c, text, face, size, x, y, anchor="la", spacing=0.0):
    """Coverage of `text` (supersampled 4x), placed at (x, y) with Pillow's anchor."""
    scale = 4
    img = Image.new("L", (c.w * scale, c.h * scale), 0)
    draw = ImageDraw.Draw(img)
    f = font(face, size * scale)
    if spacing:
        total = sum(f.getlength(ch) for ch in text) + spacing * scale * (len(text) - 1)
        if anchor[0] == "m":
            cx = x * scale - total / 2
        else:
            cx = x * scale
        for ch in text:
            draw.text((cx, y * scale), ch, fill=255, font=f, anchor="l" + anchor[1])
            cx += f.getlength(ch) + spacing * scale
    else:
        draw.text((x * scale, y * scale), text, fill=255, font=f, anchor=anchor)
    img = img.resize((c.w, c.h), Image.BOX)
    return np.asarray(img, float) / 255


def blur_mask(mask, radius):
    img = Image.fromarray(np.round(np.clip(mask, 0, 1) * 255).astype(np.uint8), "L")
    from PIL import ImageFilter
    img = img.filter(ImageFilter.GaussianBlur(radius))
    return np.asarray(img, float) / 255


# ---------------------------------------------------------------------------------------------
# Backgrounds (bitmaps 243 and 244).

def night_field(c):
    c.rgb[:] = gradient(c, 0, 0, 0, c.h, [NIGHT_TOP, (26, 14, 54), NIGHT_BOTTOM]) / 255
    c.a[:] = 1
    # A broad violet glow behind the centre of the window, where the pictures stand.
    glow = np.exp(-(((c.x - 480) / 430) ** 2 + ((c.y - 250) / 300) ** 2))
    c.paint(glow, (92, 54, 170), 0.42)
    # Faint corner lights in the two brand colours.
    c.paint(np.exp(-(((c.x + 40) / 360) ** 2 + ((c.y + 60) / 300) ** 2)), BLUE, 0.16)
    c.paint(np.exp(-(((c.x - 1010) / 380) ** 2 + ((c.y - 660) / 300) ** 2)), MAGENTA, 0.13)
    # A soft vignette keeps the edges calm.
    edge = np.clip((np.hypot((c.x - 480) / 560, (c.y - 300) / 420) - 0.75) * 1.6, 0, 1)
    c.paint(edge, (6, 2, 14), 0.55)


def plain_background():
    c = Canvas(960, 600)
    night_field(c)
    return c.rgb_image(dither_seed=244)


def scene_background():
    c = Canvas(960, 600)
    night_field(c)
    rng = np.random.default_rng(243)
    # Stars in the upper half, fewer towards the bottom, none in the logo's rectangle.
    for _ in range(150):
        x, y = rng.uniform(8, 952), rng.uniform(6, 330) ** 1.0
        if 290 < x < 670 and 60 < y < 235:
            continue
        r = rng.choice([0.6, 0.8, 1.0, 1.3], p=[0.45, 0.3, 0.18, 0.07])
        bright = rng.uniform(0.25, 0.85) * (1 - y / 420)
        c.paint(cover(sd_circle(c, x, y, r)), LAVENDER, bright)
        if r >= 1.3:
            c.paint(np.exp(-((c.x - x) ** 2 + (c.y - y) ** 2) / 18), LAVENDER, 0.25 * bright)
    # Flowing ribbons of light in the brand colours, sweeping under the logo.
    colors = brand_gradient(c, 0, 0, 960, 0)
    for i, (base, amp, phase, width, alpha) in enumerate([
            (300, 46, 0.0, 34, 0.22), (318, 38, 0.9, 18, 0.30), (334, 30, 1.8, 8, 0.45),
            (346, 24, 2.6, 3, 0.70)]):
        centre = base + amp * np.sin(c.x / 960 * 2 * np.pi * 0.9 + phase) \
            - 26 * np.exp(-((c.x - 480) / 260) ** 2)
        d = np.abs(c.y - centre)
        band = np.exp(-(d / width) ** 2)
        fade = np.clip(np.sin(np.pi * c.x / 960) * 1.3, 0, 1)  # fade out at both window edges
        c.paint(band * fade, colors, alpha)
    # A dark floor under the controls (licence row, path field) keeps white text legible.
    floor = np.clip((c.y - 400) / 140, 0, 1)
    c.paint(floor, NIGHT_BOTTOM, 0.55)
    return c.rgb_image(dither_seed=243)


# ---------------------------------------------------------------------------------------------
# Icon 219 and the logo 222.

def draw_mark(c, x0, y0, size):
    """The product's mark: a rounded square in the brand gradient with a white P."""
    s = size
    radius = s * 0.23
    d = sd_round_rect(c, x0, y0, x0 + s, y0 + s, radius)
    soft = max(1.0, s / 256 * 1.0)
    c.paint(cover(d, soft), brand_gradient(c, x0, y0 + s, x0 + s, y0))
    # A gentle light on the upper half gives the tile some depth.
    sheen = np.clip(1 - (c.y - y0) / (s * 0.55), 0, 1) * cover(d + s * 0.02, soft)
    c.paint(sheen, WHITE, 0.16)
    # The P: a stem and a bowl drawn as strokes.
    w = max(s * 0.105, 2.1)  # at 16-20 pixels a thinner stroke would blur away
    stem_x = x0 + s * 0.36
    top, bottom = y0 + s * 0.25, y0 + s * 0.76
    bowl_r = s * 0.145
    bowl_cy = top + bowl_r
    shape = sd_segment(c, stem_x, top, stem_x, bottom, w / 2)
    bowl = np.abs(np.hypot(np.maximum(c.x - (x0 + s * 0.52), 0), c.y - bowl_cy) - bowl_r) - w / 2
    bowl = np.where(c.x < stem_x, 1e3, bowl)
    shape = np.minimum(shape, bowl)
    bar = sd_segment(c, stem_x, top, x0 + s * 0.52, top, w / 2)
    bar2 = sd_segment(c, stem_x, top + 2 * bowl_r, x0 + s * 0.52, top + 2 * bowl_r, w / 2)
    shape = np.minimum(shape, np.minimum(bar, bar2))
    c.paint(cover(shape, soft), WHITE)


def icon_image(size):
    c = Canvas(size, size)
    inset = 0 if size <= 20 else size * 0.04
    draw_mark(c, inset, inset, size - 2 * inset)
    return c.image()


def dib_entry(img, bits):
    """An icon image as a DIB: header with doubled height, colour rows, then the AND mask."""
    w, h = img.size
    rgba = img.convert("RGBA")
    px = rgba.load()
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, bits, 0, 0, 0, 0, 0, 0)
    rows = []
    mask_rows = []
    for y in range(h - 1, -1, -1):
        row = bytearray()
        mask = 0
        mask_bits = []
        for x in range(w):
            r, g, b, a = px[x, y]
            if bits == 32:
                row += bytes((b, g, r, a))
            else:
                row += bytes((b, g, r))
            mask_bits.append(1 if a < 128 else 0)
        while len(row) % 4:
            row.append(0)
        rows.append(bytes(row))
        mrow = bytearray()
        for i in range(0, w, 8):
            mask = 0
            for j, bit in enumerate(mask_bits[i:i + 8]):
                mask |= bit << (7 - j)
            mrow.append(mask)
        while len(mrow) % 4:
            mrow.append(0)
        mask_rows.append(bytes(mrow))
    return header + b"".join(rows) + b"".join(mask_rows)


def png_bytes(img):
    buf = BytesIO()
    img.save(buf, "PNG", optimize=True)
    return buf.getvalue()


ICON_SIZES = [256, 128, 96, 64, 48, 40, 32, 24, 20, 16]


def write_icon(path):
    """Icon 219: every size in 32-bit (alpha) and 24-bit (AND mask) form.

    Images of 64 pixels and more are PNG-compressed (Windows reads PNG icon images since Vista;
    as DIBs they would add some 200 KB to the download); the smaller ones are DIBs."""
    entries = []
    for size in ICON_SIZES:
        img = icon_image(size)
        for bits in (32, 24):
            if size >= 64:
                if bits == 32:
                    data = png_bytes(img)
                else:
                    flat = Image.new("RGB", img.size, NIGHT_TOP)
                    flat.paste(img, mask=img.getchannel("A"))
                    data = png_bytes(flat)
            else:
                if bits == 24:
                    # Without alpha, edge pixels are blended over the night field the icon
                    # mostly stands on; the mask cuts away what is less than half covered.
                    flat = Image.new("RGBA", img.size, NIGHT_TOP + (255,))
                    flat.alpha_composite(img)
                    flat.putalpha(img.getchannel("A"))
                    data = dib_entry(flat, 24)
                else:
                    data = dib_entry(img, 32)
            entries.append((size, bits, data))
    out = bytearray(struct.pack("<HHH", 0, 1, len(entries)))
    offset = 6 + 16 * len(entries)
    for size, bits, data in entries:
        dim = 0 if size == 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    for _, _, data in entries:
        out += data
    path.write_bytes(bytes(out))
    return [icon_image(s) for s in ICON_SIZES]


def logo():
    c = Canvas(335, 138)
    mark = 104
    name_size, tag_size = 58, 15
    name_w = font("Medium", name_size).getlength("Pantavi")
    total = mark + 20 + name_w
    x0 = (335 - total) / 2
    my = (138 - mark) / 2
    draw_mark(c, x0, my, mark)
    tx = x0 + mark + 20
    c.paint(text_mask(c, "Pantavi", "Medium", name_size, tx - 2, 74, "ls"), WHITE)
    c.paint(text_mask(c, "SIMPLE \u00b7 FAST \u00b7 SECURE", "Regular", tag_size, tx + 1, 102,
                      "ls", spacing=1.2), LAVENDER, 0.95)
    return c.image()


# ---------------------------------------------------------------------------------------------
# Page pictures: problem (287) and success (288).

def problem_picture():
    c = Canvas(295, 211)
    # Shadow under the laptop.
    c.paint(np.exp(-((c.x - 147.5) / 100) ** 4 - ((c.y - 188) / 7) ** 2), (0, 0, 0), 0.45)
    # Screen: a dark glass panel in a light frame.
    lid = sd_round_rect(c, 58, 18, 237, 146, 11)
    c.paint(cover(lid), (28, 16, 56), 0.92)
    c.paint(cover(np.abs(lid) - 3.2), LAVENDER)
    # Base with its hinge notch and a touch pad line.
    base = sd_round_rect(c, 24, 150, 271, 166, 7)
    c.paint(cover(base), brand_gradient(c, 24, 0, 271, 0) * 0.35 + np.asarray(LAVENDER) * 0.65)
    c.paint(cover(sd_round_rect(c, 126, 150, 169, 155, 2.5)), (120, 100, 170))
    # The Wi-Fi sign on the screen, dimmed: no signal.
    cx, cy = 147.5, 112
    ang = np.degrees(np.arctan2(c.y - cy, c.x - cx))
    fan = (ang > -135) & (ang < -45)
    wifi = sd_circle(c, cx, cy, 6)
    for r in (22, 38, 54):
        arc = np.abs(np.hypot(c.x - cx, c.y - cy) - r) - 3.6
        # Round caps at both ends of each arc.
        for a in (-135, -45):
            ex, ey = cx + r * np.cos(np.radians(a)), cy + r * np.sin(np.radians(a))
            arc = np.where(fan, arc, np.minimum(1e3, np.hypot(c.x - ex, c.y - ey) - 3.6))
        wifi = np.minimum(wifi, arc)
    c.paint(cover(wifi), (150, 130, 200))
    # A slash through it, cut out of the sign by a gap so it reads as "crossed out".
    a, b = (104, 44), (192, 126)
    gap = sd_segment(c, *a, *b, 9)
    c.paint(cover(gap) * cover(wifi - 0.5), (28, 16, 56))
    c.paint(cover(sd_segment(c, *a, *b, 4.2)), brand_gradient(c, 104, 44, 192, 126))
    # An alert badge at the screen's corner.
    bx, by = 228, 34
    c.paint(cover(sd_circle(c, bx, by, 21)), (28, 16, 56))
    c.paint(cover(sd_circle(c, bx, by, 17)), brand_gradient(c, bx - 17, by + 17, bx + 17, by - 17))
    c.paint(cover(sd_segment(c, bx, by - 9, bx, by + 2, 2.4)), WHITE)
    c.paint(cover(sd_circle(c, bx, by + 8.5, 2.5)), WHITE)
    return c.image()


def sparkle(c, x, y, r, color, alpha):
    arm = np.minimum(np.abs(c.x - x) * 6 + np.abs(c.y - y), np.abs(c.x - x) + np.abs(c.y - y) * 6)
    c.paint(cover(arm - r, 1.2), color, alpha)


def success_picture():
    c = Canvas(274, 246)
    cx, cy, r = 137, 118, 84
    # Glow and two rings around the badge.
    c.paint(np.exp(-((np.hypot(c.x - cx, c.y - cy) - r) / 15) ** 2), VIOLET, 0.4)
    c.paint(cover(np.abs(sd_circle(c, cx, cy, r + 17)) - 1.2), LAVENDER, 0.35)
    c.paint(cover(np.abs(sd_circle(c, cx, cy, r + 31)) - 0.8), LAVENDER, 0.18)
    c.paint(cover(sd_circle(c, cx, cy, r)), brand_gradient(c, cx - r, cy + r, cx + r, cy - r))
    sheen = np.clip(1 - (c.y - (cy - r)) / (r * 1.1), 0, 1) * cover(sd_circle(c, cx, cy, r - 2))
    c.paint(sheen, WHITE, 0.14)
    check = sd_polyline(c, [(cx - 38, cy + 2), (cx - 11, cy + 29), (cx + 40, cy - 26)], 8.5)
    c.paint(cover(check), WHITE)
    for x, y, s, a in [(34, 52, 11, 0.9), (240, 70, 8, 0.8), (226, 200, 10, 0.75),
                       (48, 190, 7, 0.7), (250, 140, 5, 0.6), (22, 120, 5, 0.6)]:
        sparkle(c, x, y, s, LAVENDER, a)
    for x, y, s, a in [(70, 24, 2.2, 0.7), (205, 22, 2.6, 0.6), (262, 236, 2, 0.5),
                       (16, 232, 2.4, 0.5)]:
        c.paint(cover(sd_circle(c, x, y, s)), LAVENDER, a)
    return c.image()


# ---------------------------------------------------------------------------------------------
# Spinner frames 245-286: a comet running once around a faint track in 42 steps.

def spinner_frame(n):
    c = Canvas(200, 200)
    cx = cy = 100
    r, w = 72, 13
    ring = np.abs(np.hypot(c.x - cx, c.y - cy) - r) - w / 2
    c.paint(cover(ring), LAVENDER, 0.16)
    head = -90 + (n - 1) * 360 / SPINNER_FRAMES  # degrees, clockwise on screen from the top
    ang = np.degrees(np.arctan2(c.y - cy, c.x - cx))
    behind = np.mod(head - ang, 360)  # how far a point trails the head
    span = 300.0
    t = np.clip(1 - behind / span, 0, 1)  # 1 at the head, 0 at the tail's end
    colors = np.asarray(BLUE, float) * (1 - t[..., None]) + np.asarray(MAGENTA, float) * t[..., None]
    c.paint(cover(ring) * (t ** 1.15), colors)
    hx, hy = cx + r * np.cos(np.radians(head)), cy + r * np.sin(np.radians(head))
    c.paint(cover(np.hypot(c.x - hx, c.y - hy) - w / 2), MAGENTA)
    return c.image()


# ---------------------------------------------------------------------------------------------
# Control images.

def close_button():
    c = Canvas(40, 40)
    c.paint(cover(sd_circle(c, 20, 20, 18)), WHITE, 0.08)
    cross = np.minimum(sd_segment(c, 14, 14, 26, 26, 1.2), sd_segment(c, 26, 14, 14, 26, 1.2))
    c.paint(cover(cross), WHITE)
    return c.image()


def minimise_button():
    c = Canvas(40, 40)
    c.paint(cover(sd_circle(c, 20, 20, 18)), WHITE, 0.08)
    c.paint(cover(sd_segment(c, 13.5, 20.5, 26.5, 20.5, 1.2)), WHITE)
    return c.image()


def folder_symbol():
    c = Canvas(30, 30)
    back = np.minimum(sd_round_rect(c, 2, 5, 14, 12, 2), sd_round_rect(c, 2, 8, 28, 25, 2.2))
    c.paint(cover(back), (170, 150, 220))
    front = sd_convex_polygon(c, [(5.5, 12.5), (27.8, 12.5), (25.6, 25), (2.4, 25)], 0.8)
    c.paint(cover(front), LAVENDER)
    return c.image()


def check_box(ticked):
    c = Canvas(20, 20)
    box = sd_round_rect(c, 1, 1, 19, 19, 4)
    if ticked:
        c.paint(cover(box), brand_gradient(c, 1, 19, 19, 1))
        tick = sd_polyline(c, [(5.2, 10.2), (8.5, 13.5), (14.8, 6.8)], 1.25)
        c.paint(cover(tick), WHITE)
    else:
        c.paint(cover(np.abs(box + 0.75) - 0.75), (166, 140, 226))
    return c.image()


def primary_button():
    c = Canvas(410, 70)
    body = sd_round_rect(c, 0.5, 0.5, 409.5, 69.5, 34.5)
    c.paint(cover(body), brand_gradient(c, 0, 0, 410, 0))
    # Light from above: a lighter upper half and a thin bright rim along the top edge.
    c.paint(np.clip(1 - c.y / 40, 0, 1) * cover(body), WHITE, 0.14)
    rim = cover(np.abs(body + 1.2) - 0.7) * np.clip(1 - c.y / 30, 0, 1)
    c.paint(rim, WHITE, 0.25)
    return c.image()


def secondary_button():
    c = Canvas(200, 40)
    body = sd_round_rect(c, 0.5, 0.5, 199.5, 39.5, 19.5)
    c.paint(cover(body), (238, 236, 244))
    c.paint(cover(np.abs(body + 0.6) - 0.6), (208, 204, 220))
    return c.image()


def dialog_close():
    c = Canvas(20, 20)
    cross = np.minimum(sd_segment(c, 5, 5, 15, 15, 1.0), sd_segment(c, 15, 5, 5, 15, 1.0))
    c.paint(cover(cross), (120, 118, 132))
    return c.image()


def attention_symbol():
    c = Canvas(98, 88)
    r = 9
    tri = [(49, 4), (93, 82), (5, 82)]
    d = sd_convex_polygon(c, shrink_polygon(tri, r * 0.55), r)
    c.paint(cover(d), brand_gradient(c, 10, 84, 88, 10))
    c.paint(np.clip(1 - c.y / 60, 0, 1) * cover(d), WHITE, 0.12)
    c.paint(cover(sd_segment(c, 49, 33, 49, 58, 4.6)), WHITE)
    c.paint(cover(sd_circle(c, 49, 70, 5)), WHITE)
    return c.image()


# ---------------------------------------------------------------------------------------------
# Catalogue and contact sheet.

def pngs():
    images = {
        222: logo(),
        287: problem_picture(),
        288: success_picture(),
        159: close_button(),
        162: minimise_button(),
        154: folder_symbol(),
        165: check_box(False),
        163: check_box(True),
        211: primary_button(),
        290: secondary_button(),
        291: dialog_close(),
        289: attention_symbol(),
    }
    for n in range(1, SPINNER_FRAMES + 1):
        images[SPINNER_FIRST - 1 + n] = spinner_frame(n)
    return images


EXPECTED_SIZES = {222: (335, 138), 287: (295, 211), 288: (274, 246), 159: (40, 40),
                  162: (40, 40), 154: (30, 30), 165: (20, 20), 163: (20, 20), 211: (410, 70),
                  290: (200, 40), 291: (20, 20), 289: (98, 88)}
EXPECTED_SIZES.update({i: (200, 200) for i in range(245, 287)})


def checker(w, h, a=(58, 58, 66), b=(74, 74, 84), step=10):
    img = Image.new("RGB", (w, h), a)
    d = ImageDraw.Draw(img)
    for y in range(0, h, step):
        for x in range((y // step % 2) * step, w, step * 2):
            d.rectangle([x, y, x + step - 1, y + step - 1], fill=b)
    return img


def rgba_over(base, img, xy, size=None):
    if size:
        img = img.resize(size, Image.LANCZOS)
    base.paste(img, xy, img)


def previews(bitmaps, images):
    """Approximate pages and a message dialog, to judge the pictures where they will stand."""
    out = []
    ready = bitmaps[243].copy().convert("RGB")
    rgba_over(ready, images[222], (313, 79))
    d = ImageDraw.Draw(ready)
    rgba_over(ready, images[211], (275, 374))
    f18, f12, f105 = font("Regular", 24), font("Regular", 16), font("Regular", 14)
    d.text((480, 409), "Install", fill=WHITE, font=f18, anchor="mm")
    row = ["I accept the ", "Privacy Policy", "and", "Terms of Service"]
    widths = [d.textlength(t, font=f12) for t in row]
    x0 = (915 - sum(widths)) // 2
    d.rectangle([x0, 456, x0 + 19, 475], fill=(25, 10, 46))
    rgba_over(ready, images[165], (int(x0), 456))
    x = x0 + 30
    for t, w in zip(row, widths):
        d.text((x, 456), t, fill=WHITE, font=f12)
        x += w + 5
    d.rectangle([60, 520, 859, 559], fill=(11, 2, 22), outline=FRAME)
    d.text((72, 540), "C:\\Users\\Alex\\AppData\\Local\\Orvane\\Telvista", fill=LAVENDER,
           font=f105, anchor="lm")
    d.rectangle([860, 520, 899, 559], outline=FRAME)
    rgba_over(ready, images[154], (865, 527), (26, 23))
    rgba_over(ready, images[162], (864, 20))
    rgba_over(ready, images[159], (908, 20))
    out.append(("page Ready", ready))

    installing = bitmaps[243].copy().convert("RGB")
    rgba_over(installing, images[222], (313, 79))
    d = ImageDraw.Draw(installing)
    d.rectangle([110, 396, 849, 421], outline=FRAME)
    for x in range(10, 451, 20):
        t = x / 740
        col = tuple(int(BLUE[i] + (MAGENTA[i] - BLUE[i]) * t) for i in range(3))
        d.rectangle([110 + x, 402, 110 + x + 19, 415], fill=col)
    d.text((480, 432), "Installing 63%", fill=WHITE, font=f12, anchor="ma")
    rgba_over(installing, images[162], (864, 20))
    rgba_over(installing, images[159], (908, 20))
    out.append(("page Installing", installing))

    checking = bitmaps[244].copy().convert("RGB")
    rgba_over(checking, images[SPINNER_FIRST + 10], (435, 184), (90, 90))
    ImageDraw.Draw(checking).text((480, 370), "Checking for internet ...", fill=WHITE,
                                  font=font("Regular", 25), anchor="ma")
    out.append(("page Checking", checking))

    error = bitmaps[244].copy().convert("RGB")
    rgba_over(error, images[287], (333, 127))
    d = ImageDraw.Draw(error)
    d.multiline_text((480, 370), "Slow or no internet connection.\nPlease connect to the internet"
                     " to install.", fill=WHITE, font=f12, anchor="ma", align="center")
    rgba_over(error, images[211], (275, 460))
    d.text((480, 495), "OK", fill=WHITE, font=f18, anchor="mm")
    out.append(("page NoInternet", error))

    done = bitmaps[244].copy().convert("RGB")
    rgba_over(done, images[288], (343, 136))
    ImageDraw.Draw(done).text((480, 400), "Installation complete. Starting service",
                              fill=WHITE, font=f12, anchor="ma")
    out.append(("page Complete", done))

    dialog = Image.new("RGB", (960, 600), (0, 0, 0))
    dialog.paste(error.resize((960, 600)))
    veil = Image.new("RGB", (960, 600), (105, 120, 128))
    dialog = Image.blend(dialog, veil, 100 / 255)
    box = Image.new("RGB", (540, 300), WHITE)
    bd = ImageDraw.Draw(box)
    bd.rectangle([0, 0, 539, 299], outline=(216, 216, 216))
    rgba_over(box, images[291], (496, 18))
    rgba_over(box, images[289], (221, 40))
    bd.multiline_text((270, 150), "Installation not completed. Are you sure\nyou want to"
                      " cancel it?", fill=(74, 74, 74), font=font("Regular", 17), anchor="ma",
                      align="center")
    rgba_over(box, images[290], (60, 230))
    rgba_over(box, images[211], (280, 230), (200, 40))
    bd.text((160, 250), "CANCEL", fill=(24, 24, 24), font=f105, anchor="mm")
    bd.text((380, 250), "RESUME", fill=WHITE, font=f105, anchor="mm")
    mask = Image.new("L", (540, 300), 0)
    ImageDraw.Draw(mask).rounded_rectangle([0, 0, 539, 299], 6, fill=255)
    dialog.paste(box, (210, 150), mask)
    out.append(("message dialog", dialog))
    return out


def shot_tiles(folder):
    """Screenshots of the real windows, the languages of one screen side by side."""
    if not folder or not folder.is_dir():
        return []
    files = sorted(folder.glob("*.png"), key=lambda f: (f.stem.split("-", 1)[-1], f.stem))
    return [(f"{f.stem.split('-', 1)[-1]} (Wine, {f.stem.split('-', 1)[0]})",
             Image.open(f).convert("RGB")) for f in files]


def contact_sheet(path, bitmaps, icons, images, shots=()):
    label_font = font("Regular", 14)
    pad = 24
    tiles = []  # (label, image, on_checker)
    for rid in (243, 244):
        tiles.append((f"BITMAP {rid}  960x600 24-bit", bitmaps[rid], False))
    tiles.append(("ICON 219  " + " ".join(str(s) for s in ICON_SIZES), None, True))
    for rid in (222, 287, 288, 211, 290, 289, 159, 162, 154, 165, 163, 291):
        w, h = images[rid].size
        tiles.append((f"PNG {rid}  {w}x{h}", images[rid], True))
    spin = [(f"PNG {i}", images[i], True) for i in range(245, 287)]

    width = 960 * 2 + pad * 3
    # Layout rows.
    placed = []
    y = pad
    x = pad
    row_h = 0

    def place(label, img, on_checker, w, h):
        nonlocal x, y, row_h
        if x + w > width - pad:
            x = pad
            y += row_h + 28 + pad
            row_h = 0
        placed.append((label, img, on_checker, x, y, w, h))
        x += w + pad
        row_h = max(row_h, h)

    for label, img, on_checker in tiles:
        if img is None:
            w = sum(s + 12 for s in ICON_SIZES)
            place(label, "icons", on_checker, w, 256)
        else:
            # Small images get room for their label.
            place(label, img, on_checker, max(img.size[0], 130), img.size[1])
    x = width  # spinner frames start a new row
    for label, img, on_checker in spin:
        place(label, img, on_checker, 200, 200)
    x = width
    for label, img in previews(bitmaps, images):
        place(label + " (preview)", img, False, 960, 600)
    x = width  # the real windows follow, a new row for each
    for label, img in shots:
        place(label, img, False, img.size[0], img.size[1])
    height = y + row_h + 28 + pad

    sheet = Image.new("RGB", (width, height), (32, 32, 38))
    d = ImageDraw.Draw(sheet)
    for label, img, on_checker, px, py, w, h in placed:
        if on_checker:
            sheet.paste(checker(w, h), (px, py))
        if img == "icons":
            ix = px
            for icon in icons:
                rgba_over(sheet, icon, (ix, py + 256 - icon.size[1]))
                ix += icon.size[0] + 12
        elif img.mode == "RGBA":
            rgba_over(sheet, img, (px, py))
        else:
            sheet.paste(img, (px, py))
        d.text((px, py + h + 6), label, fill=(230, 230, 236), font=label_font)
    sheet.save(path, "PNG", optimize=True)


def main():
    global FONT_DIR
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True, type=Path)
    parser.add_argument("--fonts", required=True, type=Path)
    parser.add_argument("--sheet", type=Path)
    parser.add_argument("--shots", type=Path)
    parser.add_argument("--sheet-only", action="store_true")
    args = parser.parse_args()
    FONT_DIR = args.fonts
    args.out.mkdir(parents=True, exist_ok=True)
    if args.sheet_only:
        bitmaps = {rid: Image.open(args.out / f"{rid}.bmp").convert("RGB") for rid in (243, 244)}
        images = {rid: Image.open(args.out / f"{rid}.png").convert("RGBA")
                  for rid in EXPECTED_SIZES}
        icons = [icon_image(s) for s in ICON_SIZES]
        contact_sheet(args.sheet, bitmaps, icons, images, shot_tiles(args.shots))
        return

    bitmaps = {243: scene_background(), 244: plain_background()}
    for rid, img in bitmaps.items():
        img.save(args.out / f"{rid}.bmp", "BMP")
    icons = write_icon(args.out / "219.ico")
    images = pngs()
    for rid, img in images.items():
        if img.size != EXPECTED_SIZES[rid]:
            sys.exit(f"PNG {rid} is {img.size}, the catalogue says {EXPECTED_SIZES[rid]}")
        alpha = img.getchannel("A")
        if alpha.getextrema() != (0, 255):
            sys.exit(f"PNG {rid} lacks transparent or opaque pixels: {alpha.getextrema()}")
        # Pictures and symbols must fade out inside their rectangle, never be cut by it; only
        # the button backgrounds fill theirs.
        if rid not in (211, 290):
            w, h = img.size
            border = [alpha.getpixel((x, y)) for x in range(w) for y in (0, h - 1)] + \
                     [alpha.getpixel((x, y)) for y in range(h) for x in (0, w - 1)]
            if max(border) > 3:
                sys.exit(f"PNG {rid} is cut by its edge (alpha {max(border)} on the border)")
        img.save(args.out / f"{rid}.png", "PNG", optimize=True)
    if args.sheet:
        contact_sheet(args.sheet, bitmaps, icons, images, shot_tiles(args.shots))


if __name__ == "__main__":
    main()
