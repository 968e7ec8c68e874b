#!/usr/bin/python3
"""Draws the client's image atlases (assets/atlases/*.png).

Every atlas has a fixed size and every named picture a fixed rectangle, because the widgets
address pictures by atlas rectangle. The artwork itself is ours: clean flat shapes drawn at
4x and scaled down. Pictures that the toolkit tints (frames, glyphs, the white patch) are
white and grey with alpha, since tinting multiplies. Each picture is extruded by one pixel
into its gutter so that linear filtering of stretched pieces never pulls in a neighbour.

Run with Debian's python3-pil:  /usr/bin/python3 assets/tools/make_atlases.py
The PNGs are committed; the build only embeds them.
"""

import math
import os
import sys

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
OUT = os.path.join(ROOT, "atlases")
FONT_BOLD = os.path.join(ROOT, "fonts", "Inter-Bold.otf")
FONT_REGULAR = os.path.join(ROOT, "fonts", "Inter-Regular.otf")
SS = 4  # supersampling factor

WHITE = (255, 255, 255, 255)
CYAN = (22, 185, 212, 255)
DARK = (55, 71, 79, 255)
GREY = (160, 160, 160, 255)
LIGHT = (211, 215, 218, 255)
RED = (244, 67, 54, 255)
GREEN = (140, 198, 63, 255)
ORANGE = (251, 172, 11, 255)
CLEAR = (0, 0, 0, 0)


# ---------------------------------------------------------------------------------------------
# Helpers


class Atlas:
    def __init__(self, name, width, height):
        self.name = name
        self.image = Image.new("RGBA", (width, height), CLEAR)
        self.rects = []

    def put(self, rect, picture, role):
        """Pastes a picture (PIL image of the rectangle's size) and extrudes it by one pixel."""
        x, y, w, h = rect
        assert picture.size == (w, h), (self.name, role, picture.size, rect)
        assert x >= 1 and y >= 1 and x + w + 1 <= self.image.width and y + h + 1 <= self.image.height, (
            self.name, role, rect)
        for other, other_role in self.rects:
            ox, oy, ow, oh = other
            # Each picture with its one-pixel border must stay clear of every other picture.
            if x - 1 < ox + ow and ox < x + w + 1 and y - 1 < oy + oh and oy < y + h + 1:
                sys.exit("%s: %s %s touches %s %s" % (self.name, role, rect, other_role, other))
        self.rects.append((rect, role))
        self.image.paste(picture, (x, y))
        # Extrusion: copy the outermost rows and columns into the gutter.
        img = self.image
        for i in range(w):
            img.putpixel((x + i, y - 1), picture.getpixel((i, 0)))
            img.putpixel((x + i, y + h), picture.getpixel((i, h - 1)))
        for j in range(-1, h + 1):
            jj = min(max(j, 0), h - 1)
            img.putpixel((x - 1, y + j), picture.getpixel((0, jj)))
            img.putpixel((x + w, y + j), picture.getpixel((w - 1, jj)))

    def save(self):
        path = os.path.join(OUT, self.name + ".png")
        self.image.save(path, optimize=True)
        print("wrote %s (%dx%d, %d pictures)" % (path, self.image.width, self.image.height, len(self.rects)))


def canvas(w, h):
    """A supersampled drawing surface for a w x h picture."""
    img = Image.new("RGBA", (w * SS, h * SS), CLEAR)
    return img, ImageDraw.Draw(img)


def finish(img, w, h):
    return img.resize((w, h), Image.LANCZOS)


def font(size, bold=True):
    return ImageFont.truetype(FONT_BOLD if bold else FONT_REGULAR, size)


def centred_text(d, box, text, size, fill, bold=True):
    f = font(size, bold)
    l, t, r, b = d.textbbox((0, 0), text, font=f)
    x0, y0, x1, y1 = box
    d.text(((x0 + x1 - (r - l)) / 2 - l, (y0 + y1 - (b - t)) / 2 - t), text, font=f, fill=fill)


def fit_text(d, box, text, fill, bold=True, max_size=None):
    x0, y0, x1, y1 = box
    size = max_size or int((y1 - y0) * 0.7)
    while size > 4:
        l, t, r, b = d.textbbox((0, 0), text, font=font(size, bold))
        if r - l <= (x1 - x0) * 0.9 and b - t <= (y1 - y0) * 0.8:
            break
        size -= 1
    centred_text(d, box, text, size, fill, bold)


# ---------------------------------------------------------------------------------------------
# Icons: each draws into a supersampled canvas of w*SS x h*SS with the given colour.


def icon_picture(kind, w, h, color=WHITE, background=None):
    img, d = canvas(w, h)
    W, H = w * SS, h * SS
    s = min(W, H)
    cx, cy = W / 2, H / 2
    lw = max(SS, int(s * 0.08))
    if background:
        d.rounded_rectangle((0, 0, W - 1, H - 1), radius=s * 0.2, fill=background)

    def box(f):
        r = s * f / 2
        return (cx - r, cy - r, cx + r, cy + r)

    if kind == "cross":
        r = s * 0.3
        d.line((cx - r, cy - r, cx + r, cy + r), fill=color, width=lw * 2)
        d.line((cx - r, cy + r, cx + r, cy - r), fill=color, width=lw * 2)
    elif kind == "dot":
        d.ellipse(box(0.55), fill=RED)
    elif kind == "square":
        d.rounded_rectangle(box(0.5), radius=s * 0.06, fill=color)
    elif kind == "person":
        d.ellipse((cx - s * 0.15, cy - s * 0.36, cx + s * 0.15, cy - s * 0.06), fill=color)
        d.pieslice((cx - s * 0.3, cy - s * 0.0, cx + s * 0.3, cy + s * 0.6), 180, 360, fill=color)
    elif kind == "person-circle":
        d.ellipse(box(0.92), outline=color, width=lw)
        d.ellipse((cx - s * 0.12, cy - s * 0.28, cx + s * 0.12, cy - s * 0.04), fill=color)
        d.pieslice((cx - s * 0.24, cy + s * 0.02, cx + s * 0.24, cy + s * 0.46), 180, 360, fill=color)
    elif kind in ("gear", "gears"):
        centres = [(cx, cy, 1.0)] if kind == "gear" else [(cx - s * 0.14, cy + s * 0.1, 0.6), (cx + s * 0.2, cy - s * 0.18, 0.45)]
        for gx, gy, k in centres:
            r = s * 0.36 * k
            for i in range(8):
                a = i * math.pi / 4
                px, py = gx + math.cos(a) * r, gy + math.sin(a) * r
                d.ellipse((px - r * 0.28, py - r * 0.28, px + r * 0.28, py + r * 0.28), fill=color)
            d.ellipse((gx - r * 0.85, gy - r * 0.85, gx + r * 0.85, gy + r * 0.85), fill=color)
            d.ellipse((gx - r * 0.35, gy - r * 0.35, gx + r * 0.35, gy + r * 0.35), fill=CLEAR)
    elif kind == "laptop":
        d.rounded_rectangle((cx - s * 0.3, cy - s * 0.28, cx + s * 0.3, cy + s * 0.12), radius=s * 0.04, outline=color, width=lw)
        d.rectangle((cx - s * 0.42, cy + s * 0.18, cx + s * 0.42, cy + s * 0.26), fill=color)
    elif kind == "monitor":
        d.rounded_rectangle((cx - s * 0.38, cy - s * 0.3, cx + s * 0.38, cy + s * 0.18), radius=s * 0.04, outline=color, width=lw)
        d.rectangle((cx - s * 0.04, cy + s * 0.18, cx + s * 0.04, cy + s * 0.3), fill=color)
        d.rectangle((cx - s * 0.18, cy + s * 0.3, cx + s * 0.18, cy + s * 0.36), fill=color)
    elif kind == "question":
        d.ellipse(box(0.8), outline=color, width=lw)
        centred_text(d, box(0.8), "?", int(s * 0.5), color)
    elif kind == "exclaim":
        d.ellipse(box(0.92), fill=RED)
        centred_text(d, box(0.92), "!", int(s * 0.55), WHITE)
    elif kind == "terminal":
        d.rounded_rectangle(box(0.76), radius=s * 0.06, outline=color, width=lw)
        d.line((cx - s * 0.22, cy - s * 0.12, cx - s * 0.06, cy, cx - s * 0.22, cy + s * 0.12), fill=color, width=lw)
        d.line((cx, cy + s * 0.14, cx + s * 0.2, cy + s * 0.14), fill=color, width=lw)
    elif kind == "exit":
        d.line((cx - s * 0.1, cy - s * 0.32, cx - s * 0.32, cy - s * 0.32, cx - s * 0.32, cy + s * 0.32, cx - s * 0.1, cy + s * 0.32), fill=color, width=lw)
        d.line((cx - s * 0.12, cy, cx + s * 0.34, cy), fill=color, width=lw)
        d.polygon([(cx + s * 0.38, cy), (cx + s * 0.18, cy - s * 0.16), (cx + s * 0.18, cy + s * 0.16)], fill=color)
    elif kind == "gamepad":
        d.rounded_rectangle((cx - s * 0.4, cy - s * 0.2, cx + s * 0.4, cy + s * 0.22), radius=s * 0.18, fill=color)
        d.rectangle((cx - s * 0.26, cy - s * 0.03, cx - s * 0.1, cy + s * 0.03), fill=CLEAR)
        d.rectangle((cx - s * 0.21, cy - s * 0.08, cx - s * 0.15, cy + s * 0.08), fill=CLEAR)
        d.ellipse((cx + s * 0.12, cy - s * 0.06, cx + s * 0.2, cy + s * 0.02), fill=CLEAR)
        d.ellipse((cx + s * 0.2, cy + s * 0.0, cx + s * 0.28, cy + s * 0.08), fill=CLEAR)
    elif kind == "keyboard":
        d.rounded_rectangle((cx - s * 0.42, cy - s * 0.22, cx + s * 0.42, cy + s * 0.22), radius=s * 0.05, outline=color, width=lw)
        for row in range(2):
            for col in range(5):
                x = cx - s * 0.3 + col * s * 0.15
                y = cy - s * 0.1 + row * s * 0.12
                d.rectangle((x - s * 0.04, y - s * 0.03, x + s * 0.04, y + s * 0.03), fill=color)
    elif kind == "eye":
        d.ellipse((cx - s * 0.42, cy - s * 0.22, cx + s * 0.42, cy + s * 0.22), outline=color, width=lw)
        d.ellipse(box(0.26), fill=color)
    elif kind == "refresh":
        d.arc(box(0.64), 40, 340, fill=color, width=lw)
        a = math.radians(40)
        px, py = cx + math.cos(a) * s * 0.32, cy + math.sin(a) * s * 0.32
        d.polygon([(px + s * 0.12, py - s * 0.02), (px - s * 0.08, py - s * 0.06), (px + s * 0.04, py + s * 0.14)], fill=color)
    elif kind == "clock":
        d.ellipse(box(0.76), outline=color, width=lw)
        d.line((cx, cy, cx, cy - s * 0.24), fill=color, width=lw)
        d.line((cx, cy, cx + s * 0.16, cy + s * 0.08), fill=color, width=lw)
    elif kind == "bars":
        for i in range(4):
            hh = s * (0.18 + 0.14 * i)
            x = cx - s * 0.3 + i * s * 0.17
            d.rectangle((x, cy + s * 0.3 - hh, x + s * 0.11, cy + s * 0.3), fill=color)
    elif kind == "pin":
        r = min(W, H * 0.6) * 0.4
        d.ellipse((cx - r, cy - H * 0.3 - r * 0.2, cx + r, cy - H * 0.3 + r * 1.8), fill=color)
        d.polygon([(cx - r * 0.8, cy - H * 0.05), (cx + r * 0.8, cy - H * 0.05), (cx, cy + H * 0.42)], fill=color)
        d.ellipse((cx - r * 0.4, cy - H * 0.14 - r * 0.4, cx + r * 0.4, cy - H * 0.14 + r * 0.4), fill=CLEAR)
    elif kind == "document":
        d.rounded_rectangle((cx - s * 0.26, cy - s * 0.36, cx + s * 0.26, cy + s * 0.36), radius=s * 0.04, outline=color, width=lw)
        for i in range(3):
            y = cy - s * 0.14 + i * s * 0.14
            d.line((cx - s * 0.14, y, cx + s * 0.14, y), fill=color, width=lw)
    elif kind == "card":
        d.rounded_rectangle((cx - s * 0.4, cy - s * 0.2, cx + s * 0.4, cy + s * 0.2), radius=s * 0.04, outline=color, width=lw)
        d.ellipse((cx - s * 0.02, cy - s * 0.12, cx + s * 0.22, cy + s * 0.12), outline=color, width=lw)
        d.line((cx - s * 0.3, cy + s * 0.28, cx + s * 0.1, cy + s * 0.28), fill=color, width=lw)
    elif kind == "bug":
        d.ellipse((cx - s * 0.18, cy - s * 0.22, cx + s * 0.18, cy + s * 0.32), fill=color)
        d.ellipse((cx - s * 0.1, cy - s * 0.36, cx + s * 0.1, cy - s * 0.18), fill=color)
        for i in (-1, 0, 1):
            y = cy + i * s * 0.14
            d.line((cx - s * 0.36, y - s * 0.04, cx + s * 0.36, y - s * 0.04), fill=color, width=lw)
    elif kind == "chip":
        d.rectangle(box(0.5), outline=color, width=lw)
        d.rectangle(box(0.2), fill=color)
        for i in range(3):
            o = -s * 0.14 + i * s * 0.14
            d.line((cx + o, cy - s * 0.38, cx + o, cy - s * 0.26), fill=color, width=lw)
            d.line((cx + o, cy + s * 0.26, cx + o, cy + s * 0.38), fill=color, width=lw)
            d.line((cx - s * 0.38, cy + o, cx - s * 0.26, cy + o), fill=color, width=lw)
            d.line((cx + s * 0.26, cy + o, cx + s * 0.38, cy + o), fill=color, width=lw)
    elif kind == "halfcircle":
        d.ellipse(box(0.7), outline=color, width=lw)
        d.pieslice(box(0.7), 90, 270, fill=color)
    elif kind == "coins":
        for i in range(3):
            y = cy + s * 0.2 - i * s * 0.16
            d.ellipse((cx - s * 0.3, y - s * 0.1, cx + s * 0.3, y + s * 0.1), fill=color, outline=DARK, width=max(1, lw // 2))
    elif kind == "disk":
        d.rounded_rectangle((cx - s * 0.36, cy - s * 0.2, cx + s * 0.36, cy + s * 0.2), radius=s * 0.06, outline=color, width=lw)
        d.ellipse((cx + s * 0.16, cy - s * 0.05, cx + s * 0.26, cy + s * 0.05), fill=color)
    elif kind == "trash":
        d.rectangle((cx - W * 0.3, cy - H * 0.26, cx + W * 0.3, cy + H * 0.4), outline=color, width=lw)
        d.line((cx - W * 0.44, cy - H * 0.3, cx + W * 0.44, cy - H * 0.3), fill=color, width=lw)
        d.rectangle((cx - W * 0.12, cy - H * 0.42, cx + W * 0.12, cy - H * 0.3), fill=color)
    elif kind == "star":
        pts = []
        for i in range(10):
            r = (0.45 if i % 2 == 0 else 0.2) * s
            a = -math.pi / 2 + i * math.pi / 5
            pts.append((cx + math.cos(a) * r, cy + math.sin(a) * r))
        d.polygon(pts, fill=ORANGE)
    elif kind in ("tri-left", "arrow-right", "arrow-down", "minus", "plus", "download", "play"):
        if kind == "tri-left":
            d.polygon([(W * 0.1, cy), (W * 0.9, H * 0.1), (W * 0.9, H * 0.9)], fill=color)
        elif kind == "arrow-right":
            d.polygon([(W * 0.55, H * 0.1), (W * 0.95, cy), (W * 0.55, H * 0.9)], fill=color)
            d.rectangle((W * 0.05, cy - H * 0.14, W * 0.6, cy + H * 0.14), fill=color)
        elif kind == "arrow-down":
            d.polygon([(W * 0.1, H * 0.1), (W * 0.9, H * 0.1), (cx, H * 0.9)], fill=color)
        elif kind == "minus":
            d.rectangle((cx - s * 0.34, cy - s * 0.07, cx + s * 0.34, cy + s * 0.07), fill=color)
        elif kind == "plus":
            d.rectangle((cx - s * 0.34, cy - s * 0.07, cx + s * 0.34, cy + s * 0.07), fill=color)
            d.rectangle((cx - s * 0.07, cy - s * 0.34, cx + s * 0.07, cy + s * 0.34), fill=color)
        elif kind == "download":
            d.rectangle((cx - s * 0.07, cy - s * 0.38, cx + s * 0.07, cy + s * 0.02), fill=color)
            d.polygon([(cx - s * 0.24, cy - s * 0.04), (cx + s * 0.24, cy - s * 0.04), (cx, cy + s * 0.22)], fill=color)
            d.rectangle((cx - s * 0.36, cy + s * 0.28, cx + s * 0.36, cy + s * 0.36), fill=color)
        elif kind == "play":
            d.polygon([(cx - s * 0.22, cy - s * 0.3), (cx + s * 0.3, cy), (cx - s * 0.22, cy + s * 0.3)], fill=color)
    elif kind == "menu-circle":
        d.ellipse(box(0.94), fill=(55, 71, 79, 200))
        for i in (-1, 0, 1):
            y = cy + i * s * 0.14
            d.line((cx - s * 0.22, y, cx + s * 0.22, y), fill=color, width=lw)
    else:
        raise ValueError(kind)
    return finish(img, w, h)


def label_picture(text, w, h, color=WHITE, background=DARK, keycap=None):
    """A rounded plate with a caption; with keycap, a small key cap in front of it."""
    img, d = canvas(w, h)
    W, H = w * SS, h * SS
    d.rounded_rectangle((0, 0, W - 1, H - 1), radius=min(W, H) * 0.22, fill=background)
    if keycap:
        kw = min(W * 0.45, H * 1.5) if text else W - 2 * SS
        d.rounded_rectangle((SS, SS, SS + kw, H - SS - 1), radius=H * 0.18, outline=color, width=SS)
        fit_text(d, (SS, SS, SS + kw, H - SS), keycap, color)
        if text:
            fit_text(d, (SS * 2 + kw, 0, W, H), text, color)
    else:
        fit_text(d, (0, 0, W, H), text, color)
    return finish(img, w, h)


def switch_picture(w, h, knob_left):
    img, d = canvas(w, h)
    W, H = w * SS, h * SS
    d.rounded_rectangle((SS, H * 0.2, W - SS, H * 0.8), radius=H * 0.3, fill=CYAN if knob_left else GREY)
    r = H * 0.4
    kx = SS + r if knob_left else W - SS - r
    d.ellipse((kx - r, H / 2 - r, kx + r, H / 2 + r), fill=WHITE)
    return finish(img, w, h)


# ---------------------------------------------------------------------------------------------
# "controls": frames, check-box glyphs and the white patch (rectangles fixed by the widgets)

CHECKBOX_FRAMES = [
    [(239, 1, 10, 10), (251, 1, 4, 10), (227, 1, 10, 10), (227, 13, 10, 4), (23, 167, 4, 4), (215, 13, 10, 4),
     (215, 1, 10, 10), (109, 7, 4, 10), (97, 7, 10, 10)],
    [(23, 59, 10, 10), (29, 119, 4, 10), (23, 47, 10, 10), (23, 131, 10, 4), (29, 167, 4, 4), (239, 13, 10, 4),
     (23, 35, 10, 10), (23, 119, 4, 10), (23, 23, 10, 10)],
    [(23, 107, 10, 10), (29, 137, 4, 10), (23, 95, 10, 10), (23, 155, 10, 4), (23, 173, 4, 4), (23, 149, 10, 4),
     (23, 83, 10, 10), (23, 137, 4, 10), (23, 71, 10, 10)],
]
BUTTON_FRAMES = [
    [(1, 67, 20, 20), (51, 1, 4, 20), (1, 45, 20, 20), (1, 249, 20, 4), (251, 13, 4, 4), (1, 243, 20, 4),
     (1, 23, 20, 20), (45, 1, 4, 20), (1, 1, 20, 20)],
    [(1, 155, 20, 20), (85, 1, 4, 20), (1, 133, 20, 20), (63, 7, 20, 4), (23, 161, 4, 4), (63, 1, 20, 4),
     (1, 111, 20, 20), (57, 1, 4, 20), (1, 89, 20, 20)],
    [(23, 1, 20, 20), (119, 1, 4, 20), (1, 221, 20, 20), (97, 1, 20, 4), (29, 161, 4, 4), (63, 13, 20, 4),
     (1, 199, 20, 20), (91, 1, 4, 20), (1, 177, 20, 20)],
]
LOOKS = ["normal", "hovered", "pressed"]
PIECES = ["top-left", "top", "top-right", "left", "centre", "right", "bottom-left", "bottom", "bottom-right"]


def nine_slice_reference(corner, filled, look):
    """A whole frame of corner + 4 + corner pixels square, cut into the nine pieces later."""
    size = corner * 2 + 4
    img, d = canvas(size, size)
    S = size * SS
    radius = corner * SS * 0.7
    if filled:
        fill = [(236, 236, 236, 255), (255, 255, 255, 255), (200, 200, 200, 255)][look]
        rim = [(255, 255, 255, 255), (255, 255, 255, 255), (170, 170, 170, 255)][look]
        d.rounded_rectangle((0, 0, S - 1, S - 1), radius=radius, fill=rim)
        d.rounded_rectangle((SS, SS, S - 1 - SS, S - 1 - SS), radius=radius - SS, fill=fill)
    else:
        line = [(255, 255, 255, 200), (255, 255, 255, 255), (200, 200, 200, 255)][look]
        width = [2, 3, 2][look] * SS
        d.rounded_rectangle((SS, SS, S - 1 - SS, S - 1 - SS), radius=radius, outline=line, width=width)
    return finish(img, size, size)


def cut_pieces(reference, corner):
    c, e = corner, 4
    cols = [(0, c), (c, c + e), (c + e, 2 * c + e)]
    boxes = []
    for r in range(3):
        for k in range(3):
            boxes.append((cols[k][0], cols[r][0], cols[k][1], cols[r][1]))
    return [reference.crop(b) for b in boxes]


def check_glyph(state):
    """16 x 16 check-box glyph: 0 unchecked, 1 unchecked hovered, 2 checked, 3 checked
    hovered, 4 checked pressed."""
    img, d = canvas(16, 16)
    S = 16 * SS
    box = (SS, SS, S - SS - 1, S - SS - 1)
    if state in (0, 1):
        d.rounded_rectangle(box, radius=3 * SS, outline=WHITE, width=int(1.5 * SS),
                            fill=(255, 255, 255, 70 if state == 1 else 0))
    else:
        fill = [None, None, (255, 255, 255, 255), (255, 255, 255, 255), (200, 200, 200, 255)][state]
        d.rounded_rectangle(box, radius=3 * SS, fill=fill)
        mark = (40, 40, 40, 255) if state != 3 else (22, 120, 140, 255)
        d.line((4 * SS, 8.5 * SS, 7 * SS, 11.5 * SS, 12 * SS, 5 * SS), fill=mark, width=2 * SS)
    return finish(img, 16, 16)


def make_controls():
    a = Atlas("controls", 256, 256)
    for look, rects in enumerate(CHECKBOX_FRAMES):
        pieces = cut_pieces(nine_slice_reference(10, True, look), 10)
        for piece, rect, name in zip(pieces, rects, PIECES):
            a.put(rect, piece, "check-box frame %s %s" % (LOOKS[look], name))
    for look, rects in enumerate(BUTTON_FRAMES):
        pieces = cut_pieces(nine_slice_reference(20, False, look), 20)
        for piece, rect, name in zip(pieces, rects, PIECES):
            a.put(rect, piece, "button frame %s %s" % (LOOKS[look], name))
    for i, x in enumerate((125, 143, 161, 179, 197)):
        a.put((x, 1, 16, 16), check_glyph(i), "check-box glyph %d" % i)
    # The white patch: 4 x 4 at (29, 173), drawn as a 6 x 6 opaque block so that stretched
    # fills stay exactly solid.
    a.put((29, 173, 4, 4), Image.new("RGBA", (4, 4), WHITE), "white patch")
    return a


# ---------------------------------------------------------------------------------------------
# The other atlases

ANIMATION_FRAMES = [(125, 265), (63, 265), (1, 397), (1, 331), (1, 265), (1, 199), (1, 133), (1, 67), (1, 1),
                    (125, 199), (125, 133), (435, 67), (373, 67), (311, 67), (249, 67), (187, 67), (125, 67),
                    (63, 397), (63, 331), (63, 199), (63, 133), (63, 67), (435, 1), (373, 1), (311, 1), (249, 1),
                    (187, 1), (125, 1), (63, 1)]


def spinner_frame(k, count, w, h):
    img, d = canvas(w, h)
    cx, cy = w * SS / 2, h * SS / 2
    dots = 12
    head = k * dots / count
    for i in range(dots):
        a = 2 * math.pi * i / dots - math.pi / 2
        r = min(w, h) * SS * 0.36
        behind = (head - i) % dots
        alpha = int(255 * max(0.15, 1 - behind / dots))
        size = min(w, h) * SS * (0.05 + 0.04 * max(0.0, 1 - behind / 4))
        px, py = cx + math.cos(a) * r, cy + math.sin(a) * r
        d.ellipse((px - size, py - size, px + size, py + size), fill=(0, 184, 212, alpha))
    return finish(img, w, h)


def make_animation():
    a = Atlas("animation", 512, 512)
    for k, (x, y) in enumerate(ANIMATION_FRAMES):
        a.put((x, y, 60, 64), spinner_frame(k, len(ANIMATION_FRAMES), 60, 64), "frame %d" % (k + 1))
    return a


GAMEPAD_BUTTONS = [
    # (name, unlit rect, lit rect, shape)
    ("A", (323, 217, 66, 66), (255, 217, 66, 66), "round"),
    ("B", (187, 285, 66, 66), (187, 217, 66, 66), "round"),
    ("X", (187, 421, 66, 66), (187, 353, 66, 66), "round"),
    ("Y", (391, 149, 66, 66), (323, 149, 66, 66), "round"),
    ("LB", (1, 47, 138, 44), (281, 1, 138, 44), "plate"),
    ("RB", (141, 1, 138, 44), (1, 1, 138, 44), "plate"),
    ("LT", (1, 387, 96, 39), (1, 346, 96, 39), "plate"),
    ("RT", (1, 305, 96, 39), (1, 264, 96, 39), "plate"),
    ("START", (239, 47, 96, 39), (141, 47, 96, 39), "plate"),
    ("L", (317, 285, 60, 60), (255, 409, 60, 60), "round"),
    ("R", (255, 347, 60, 60), (255, 285, 60, 60), "round"),
    ("up", (57, 428, 54, 74), (1, 428, 54, 74), "dpad"),
    ("down", (131, 225, 54, 74), (131, 149, 54, 74), "dpad"),
    ("left", (359, 93, 74, 54), (283, 93, 74, 54), "dpad"),
    ("right", (207, 93, 74, 54), (131, 93, 74, 54), "dpad"),
    ("BACK", (1, 223, 96, 39), (337, 47, 96, 39), "plate"),
    ("GUIDE", (255, 149, 66, 66), (187, 149, 66, 66), "round"),
]


def gamepad_button(name, shape, w, h, lit):
    img, d = canvas(w, h)
    W, H = w * SS, h * SS
    fill = ORANGE if lit else (120, 124, 128, 255)
    text = (40, 30, 0, 255) if lit else LIGHT
    if shape == "round":
        d.ellipse((SS, SS, W - SS, H - SS), fill=fill, outline=(255, 255, 255, 90), width=SS)
        label = "\u25cf" if name == "GUIDE" else name
        fit_text(d, (0, 0, W, H), label if name != "GUIDE" else "G", text)
    elif shape == "plate":
        d.rounded_rectangle((SS, SS, W - SS, H - SS), radius=H * 0.35, fill=fill)
        fit_text(d, (0, 0, W, H), name, text)
    else:
        d.rounded_rectangle((SS, SS, W - SS, H - SS), radius=min(W, H) * 0.18, fill=fill)
        cx, cy, r = W / 2, H / 2, min(W, H) * 0.28
        tri = {"up": [(cx, cy - r), (cx - r, cy + r * 0.6), (cx + r, cy + r * 0.6)],
               "down": [(cx, cy + r), (cx - r, cy - r * 0.6), (cx + r, cy - r * 0.6)],
               "left": [(cx - r, cy), (cx + r * 0.6, cy - r), (cx + r * 0.6, cy + r)],
               "right": [(cx + r, cy), (cx - r * 0.6, cy - r), (cx - r * 0.6, cy + r)]}[name]
        d.polygon(tri, fill=text)
    return finish(img, w, h)


def make_gamepad():
    a = Atlas("gamepad", 512, 512)
    for name, unlit, lit, shape in GAMEPAD_BUTTONS:
        a.put(unlit, gamepad_button(name, shape, unlit[2], unlit[3], False), name + " unlit")
        a.put(lit, gamepad_button(name, shape, lit[2], lit[3], True), name + " lit")
    img, d = canvas(128, 128)
    S = 128 * SS
    d.ellipse((SS, SS, S - SS, S - SS), fill=(70, 76, 82, 255), outline=(150, 156, 160, 255), width=2 * SS)
    d.ellipse((S * 0.3, S * 0.3, S * 0.7, S * 0.7), outline=(110, 116, 120, 255), width=SS)
    a.put((1, 93, 128, 128), finish(img, 128, 128), "stick base")
    img, d = canvas(64, 64)
    S = 64 * SS
    d.ellipse((SS, SS, S - SS, S - SS), fill=(200, 204, 208, 255), outline=(90, 94, 98, 255), width=2 * SS)
    d.ellipse((S * 0.25, S * 0.25, S * 0.75, S * 0.75), fill=(225, 228, 230, 255))
    a.put((391, 217, 64, 64), finish(img, 64, 64), "stick knob")
    return a


IMAGES_ICONS = [
    ((496, 1, 10, 18), "tri-left", "hint arrow"),
    ((106, 130, 20, 20), "key", "administrator password"),
    ((52, 416, 32, 32), "person", "account"),
    ((373, 35, 32, 32), "gear", "settings"),
    ((271, 35, 32, 32), "laptop", "system"),
    ((1, 346, 32, 32), "dot", "record start"),
    ((1, 312, 32, 32), "square", "record stop"),
    ((52, 144, 32, 32), "question", "help"),
    ((237, 35, 32, 32), "terminal", "task manager"),
    ((52, 110, 32, 32), "exit", "log out"),
    ((52, 348, 32, 32), "cross", "close"),
    ((339, 35, 32, 32), "gamepad", "set up controller"),
    ((52, 246, 32, 32), "keyboard", "hotkeys"),
    ((407, 35, 32, 32), "monitor", "resolution"),
    ((52, 212, 32, 32), "eye", "frame rate"),
    ((441, 35, 32, 32), "refresh", "restart"),
    ((203, 35, 32, 32), "clock", "idle time-out"),
    ((1, 448, 32, 32), "bars", "connection quality"),
    ((1, 414, 32, 32), "gears", "decoder score"),
    ((86, 76, 18, 32), "pin", "data centre"),
    ((1, 380, 32, 32), "document", "plan"),
    ((52, 178, 32, 32), "card", "GPU"),
    ((475, 35, 32, 32), "bug", "bug report"),
    ((106, 108, 20, 20), "minus", "slider minus"),
    ((482, 76, 20, 20), "plus", "slider plus"),
    ((52, 382, 32, 32), "plus", "credits plus"),
    ((52, 280, 32, 32), "chip", "decoder"),
    ((52, 494, 16, 16), "arrow-down", "decoder list arrow"),
    ((169, 35, 32, 32), "halfcircle", "memory"),
    ((1, 278, 32, 32), "coins", "credits"),
]


def make_images():
    a = Atlas("images", 512, 512)
    for rect, kind, role in IMAGES_ICONS:
        if kind == "key":
            pic = label_picture("", rect[2], rect[3], keycap="\u2022", background=CLEAR)
        else:
            pic = icon_picture(kind, rect[2], rect[3])
        a.put(rect, pic, role)
    a.put((52, 472, 32, 20), label_picture("", 32, 20, keycap="F10", background=CLEAR), "F10 key cap")
    a.put((52, 450, 32, 20), label_picture("", 32, 20, keycap="F11", background=CLEAR), "F11 key cap")
    a.put((1, 482, 32, 20), label_picture("", 32, 20, keycap="F12", background=CLEAR), "F12 key cap")
    a.put((1, 35, 95, 39), label_picture("GAME MODE", 95, 39, background=CLEAR), "game mode")
    a.put((335, 1, 88, 23), label_picture("Desktop", 88, 23, background=CLEAR), "desktop")
    a.put((123, 1, 104, 23), label_picture("Store apps", 104, 23, color=GREY, background=CLEAR), "store apps")
    a.put((1, 1, 120, 32), label_picture("UNLOCK MOUSE", 120, 32, keycap="F12"), "unlock mouse")
    a.put((1, 76, 49, 49), icon_picture("exclaim", 49, 49), "alert")
    a.put((1, 127, 49, 49), icon_picture("exclaim", 49, 49, background=(255, 255, 255, 60)), "alert hover")
    a.put((1, 178, 48, 48), icon_picture("menu-circle", 48, 48), "menu toggle")
    a.put((1, 228, 48, 48), icon_picture("menu-circle", 48, 48, background=(22, 185, 212, 120)), "menu toggle hover")
    a.put((98, 35, 69, 32), switch_picture(69, 32, True), "switch first option")
    a.put((425, 1, 69, 32), switch_picture(69, 32, False), "switch second option")
    return a


def make_loading():
    a = Atlas("Loading", 256, 256)
    img, d = canvas(256, 256)
    S = 256 * SS
    d.arc((S * 0.1, S * 0.1, S * 0.9, S * 0.9), -90, 200, fill=(0, 184, 212, 255), width=int(S * 0.07))
    d.arc((S * 0.1, S * 0.1, S * 0.9, S * 0.9), 200, 250, fill=(0, 184, 212, 90), width=int(S * 0.07))
    pic = finish(img, 256, 256)
    # Used whole: placed directly, no gutter.
    a.image = pic
    return a


def make_logo():
    a = Atlas("logo", 180, 39)
    img, d = canvas(180, 39)
    W, H = 180 * SS, 39 * SS
    d.ellipse((SS, H * 0.15, H * 0.7 + SS, H * 0.85), fill=CYAN)
    d.ellipse((H * 0.35, H * 0.05, H * 1.05, H * 0.75), fill=WHITE)
    fit_text(d, (H * 1.1, 0, W, H), "Nimbrosta", WHITE)
    a.image = finish(img, 180, 39)
    return a


SELECTOS_ICONS = [
    ((43, 199, 34, 34), "person-circle", WHITE, "account"),
    ((43, 235, 34, 34), "person-circle", (0, 184, 212, 255), "account hover"),
    ((487, 1, 24, 34), "pin", WHITE, "location"),
    ((43, 271, 32, 32), "disk", WHITE, "storage"),
    ((487, 37, 20, 24), "trash", RED, "delete"),
    ((143, 131, 28, 24), "refresh", (74, 74, 74, 255), "restart"),
    ((1, 463, 34, 34), "gear", WHITE, "gear"),
    ((43, 163, 34, 34), "gear", (0, 184, 212, 255), "gear hover"),
    ((487, 63, 23, 22), "star", WHITE, "tour decoration"),
    ((173, 131, 25, 19), "arrow-right", WHITE, "tour arrow"),
    ((487, 98, 18, 9), "arrow-down", WHITE, "table arrow"),
]


def make_selectos():
    a = Atlas("selectos", 512, 512)
    for rect, kind, color, role in SELECTOS_ICONS:
        a.put(rect, icon_picture(kind, rect[2], rect[3], color=color), role)
    img, d = canvas(140, 30)
    W, H = 140 * SS, 30 * SS
    d.ellipse((SS, H * 0.15, H * 0.7, H * 0.85), fill=CYAN)
    fit_text(d, (H * 0.8, 0, W, H), "Nimbrosta", WHITE)
    a.put((1, 131, 140, 30), finish(img, 140, 30), "logo")
    return a


def make_updater():
    a = Atlas("updater", 512, 512)
    img, d = canvas(430, 275)
    W, H = 430 * SS, 275 * SS
    for i in range(H):
        t = i / H
        d.line((0, i, W, i), fill=(int(17 + 20 * t), int(37 + 34 * t), int(49 + 30 * t), 255))
    for k in range(5):
        r = W * (0.2 + 0.12 * k)
        d.ellipse((W * 0.8 - r, H * 1.1 - r, W * 0.8 + r, H * 1.1 + r), outline=(22, 185, 212, 40), width=3 * SS)
    a.put((1, 1, 430, 275), finish(img, 430, 275), "background")
    img, d = canvas(61, 62)
    S = 61 * SS
    d.arc((2 * SS, 2 * SS, S - 2 * SS, 62 * SS - 2 * SS), -90, 220, fill=CYAN, width=5 * SS)
    a.put((433, 1, 61, 62), finish(img, 61, 62), "ring")
    a.put((467, 65, 32, 32), icon_picture("download", 32, 32), "install")
    a.put((433, 65, 32, 32), icon_picture("play", 32, 32), "portable")
    return a


def main():
    os.makedirs(OUT, exist_ok=True)
    for make in (make_animation, make_controls, make_gamepad, make_images, make_loading, make_logo,
                 make_selectos, make_updater):
        make().save()
    # The white patch must be exactly opaque white over its 6 x 6 block.
    controls = Image.open(os.path.join(OUT, "controls.png")).convert("RGBA")
    for y in range(172, 178):
        for x in range(28, 34):
            assert controls.getpixel((x, y)) == WHITE, (x, y)


if __name__ == "__main__":
    main()
