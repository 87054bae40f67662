#!/usr/bin/env python3
"""Draws the applet's icons and arrow bitmaps and writes them as .ico/.bmp files.

Standard library only. Every image is drawn from a few shapes on a pixel grid
(anti-aliased by supersampling for the 8- and 32-bit images, hard-edged and
mapped onto the 16 standard VGA colours for the 4-bit ones).

The 8- and 32-bit images are stored PNG-compressed, which Windows reads in
icons since Vista (and Wine too): a third of the size of the bitmap form, and
the applet carries some forty of them. The 4-bit images stay bitmaps.

Usage: make_icons.py [OUTPUT_DIR]   (default: the res/ folder above this script)
"""

import math
import os
import struct
import sys
import zlib

# The 16 standard colours of a 4-bit display, in their usual palette order.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)


class Paint:
    """A fill: a vertical gradient c0 -> c1 (or a plain colour) with opacity.

    vga0/vga1 are the 4-bit colours used above/below the middle of the shape, or
    mixed in a checkerboard when `checker` is set (a 16-colour display's way to
    show a colour it lacks). Shapes more transparent than half are left out at
    4 bit unless `vga_solid` is set.
    """

    def __init__(self, c0, c1=None, vga0=BLACK, vga1=None, alpha=1.0, diagonal=False,
                 checker=False, vga_solid=False):
        self.c0 = c0
        self.c1 = c1 if c1 is not None else c0
        self.vga0 = vga0
        self.vga1 = vga1 if vga1 is not None else vga0
        self.alpha = alpha
        self.diagonal = diagonal
        self.checker = checker
        self.vga_solid = vga_solid

    def vga(self, t, px, py):
        if self.checker:
            return self.vga0 if (px + py) % 2 == 0 else self.vga1
        return self.vga0 if t < 0.5 else self.vga1

    def at(self, t):
        t = min(1.0, max(0.0, t))
        return tuple(a + (b - a) * t for a, b in zip(self.c0, self.c1))


class Shape:
    """Pixel-unit geometry: inside(x, y) and the gradient parameter t(x, y)."""

    def __init__(self, paint, box):
        self.paint = paint
        self.x0, self.y0, self.x1, self.y1 = box

    def t(self, x, y):
        h = max(self.y1 - self.y0, 1e-6)
        if self.paint.diagonal:
            w = max(self.x1 - self.x0, 1e-6)
            return ((x - self.x0) / w + (y - self.y0) / h) / 2
        return (y - self.y0) / h


class RoundRect(Shape):
    def __init__(self, paint, box, radius=0.0):
        super().__init__(paint, box)
        self.r = radius

    def inside(self, x, y):
        if not (self.x0 <= x < self.x1 and self.y0 <= y < self.y1):
            return False
        r = self.r
        if r <= 0:
            return True
        cx = min(max(x, self.x0 + r), self.x1 - r)
        cy = min(max(y, self.y0 + r), self.y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


class Circle(Shape):
    def __init__(self, paint, cx, cy, r):
        super().__init__(paint, (cx - r, cy - r, cx + r, cy + r))
        self.cx, self.cy, self.r = cx, cy, r

    def inside(self, x, y):
        return (x - self.cx) ** 2 + (y - self.cy) ** 2 <= self.r * self.r


class Polygon(Shape):
    def __init__(self, paint, points):
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        super().__init__(paint, (min(xs), min(ys), max(xs), max(ys)))
        self.pts = points

    def inside(self, x, y):
        hit = False
        n = len(self.pts)
        for i in range(n):
            (ax, ay), (bx, by) = self.pts[i], self.pts[(i + 1) % n]
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                hit = not hit
        return hit


def render(shapes, size, depth):
    """Returns rows of (r, g, b, a) floats (a in 0..1), or of VGA indexes / None at 4 bit."""
    ss = 1 if depth == 4 else 4
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            if depth == 4:
                pixel = None
                x, y = px + 0.5, py + 0.5
                for s in shapes:
                    if (s.paint.alpha >= 0.5 or s.paint.vga_solid) and s.inside(x, y):
                        pixel = s.paint.vga(s.t(x, y), px, py)
                row.append(pixel)
                continue
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(ss):
                for sx in range(ss):
                    x = px + (sx + 0.5) / ss
                    y = py + (sy + 0.5) / ss
                    # Premultiplied "over" compositing, painter's order.
                    r = g = b = a = 0.0
                    for s in shapes:
                        if s.inside(x, y):
                            c = s.paint.at(s.t(x, y))
                            k = s.paint.alpha
                            r = c[0] * k + r * (1 - k)
                            g = c[1] * k + g * (1 - k)
                            b = c[2] * k + b * (1 - k)
                            a = k + a * (1 - k)
                    acc[0] += r
                    acc[1] += g
                    acc[2] += b
                    acc[3] += a
            n = ss * ss
            a = acc[3] / n
            if a > 0:
                row.append((acc[0] / n / a, acc[1] / n / a, acc[2] / n / a, a))
            else:
                row.append((0.0, 0.0, 0.0, 0.0))
        rows.append(row)
    return rows


# ---------------------------------------------------------------- drawings

SCREENS = {
    # name: (top colour, bottom colour, 4-bit colours, 4-bit checkerboard)
    "applet": ((96, 170, 240), (22, 72, 160), (BLUE, BLUE), False),
    "marlet": ((80, 214, 190), (10, 110, 100), (TEAL, TEAL), False),
    "ferrow": ((255, 190, 80), (200, 84, 12), (RED, YELLOW), True),
}
LED = (90, 220, 110)


def panel_pc(size, scheme):
    """A panel PC seen from the front: bezel, coloured screen, key strip, stand."""
    top, bottom, (vga_top, vga_bottom), checker = SCREENS[scheme]

    def p(v):  # fraction of the icon -> pixel edge, so that edges stay crisp
        return round(v * size)

    one = 1.0
    shapes = []
    # Stand: neck and foot.
    shapes.append(Polygon(Paint((110, 116, 126), (70, 76, 86), GREY, GREY),
                          [(p(0.40), p(0.78)), (p(0.60), p(0.78)), (p(0.66), p(0.92)),
                           (p(0.34), p(0.92))]))
    shapes.append(RoundRect(Paint((120, 126, 136), (60, 66, 76), GREY, BLACK),
                            (p(0.22), p(0.88), p(0.78), p(0.95)), radius=max(1.0, size / 32)))
    # Bezel with a dark outline.
    body = (p(0.04), p(0.10), p(0.96), p(0.82))
    radius = max(1.5, size * 0.08)
    shapes.append(RoundRect(Paint((24, 28, 34), vga0=BLACK), body, radius))
    shapes.append(RoundRect(Paint((92, 100, 112), (52, 58, 68), SILVER, GREY),
                            (body[0] + one, body[1] + one, body[2] - one, body[3] - one),
                            radius - one))
    # Screen with a thin dark frame and a gradient.
    scr = (p(0.12), p(0.17), p(0.88), p(0.66))
    if size <= 16:
        scr = (2, 3, size - 2, 10)
    shapes.append(RoundRect(Paint((20, 24, 30), vga0=BLACK), scr))
    inner = (scr[0] + one, scr[1] + one, scr[2] - one, scr[3] - one)
    shapes.append(RoundRect(Paint(top, bottom, vga_top, vga_bottom, diagonal=True,
                                  checker=checker), inner))
    if size >= 24:
        # Two slider bars on the screen: the applet's settings.
        w = inner[2] - inner[0]
        h = inner[3] - inner[1]
        bar_h = max(1.0, round(h * 0.12))
        for i, frac in enumerate((0.62, 0.35)):
            y = inner[1] + round(h * (0.30 + 0.34 * i))
            x0 = inner[0] + round(w * 0.14)
            x1 = inner[2] - round(w * 0.14)
            shapes.append(RoundRect(Paint((255, 255, 255), vga0=SILVER, alpha=0.35,
                                          vga_solid=True), (x0, y, x1, y + bar_h)))
            xk = x0 + round((x1 - x0) * frac)
            knob = max(2.0, bar_h + 2)
            shapes.append(RoundRect(Paint((255, 255, 255), vga0=WHITE),
                                    (xk - knob / 2, y + bar_h / 2 - knob / 2, xk + knob / 2,
                                     y + bar_h / 2 + knob / 2), radius=knob / 2))
        # Gloss across the upper left of the screen.
        shapes.append(Polygon(Paint((255, 255, 255), vga0=WHITE, alpha=0.16),
                              [(inner[0], inner[1]), (inner[0] + w * 0.55, inner[1]),
                               (inner[0], inner[1] + h * 0.55)]))
    # Key strip under the screen: a status LED and keys.
    y = p(0.70) if size > 16 else 11
    key = max(1, p(0.06))
    shapes.append(RoundRect(Paint(LED, vga0=LIME), (p(0.14), y, p(0.14) + key, y + key)))
    if size >= 24:
        for i in range(3):
            x = p(0.62) + i * (key + max(1, p(0.03)))
            shapes.append(RoundRect(Paint((200, 204, 210), (150, 154, 162), SILVER, SILVER),
                                    (x, y, x + key, y + key)))
    else:
        shapes.append(RoundRect(Paint((200, 204, 210), vga0=SILVER),
                                (size - 5, y, size - 3, y + 1)))
    return shapes


def thermometer(size):
    """A glass thermometer with a red column and a scale."""
    s = size / 32.0
    shapes = []
    cx = 14.0 * s
    tube_w = 8.0 * s
    outline = Paint((70, 74, 82), vga0=GREY)
    glass = Paint((250, 252, 255), (214, 222, 232), WHITE, SILVER)
    red = Paint((240, 70, 60), (176, 20, 20), RED, MAROON, diagonal=True)
    # Tube and bulb outlines, then the glass, then the liquid.
    shapes.append(RoundRect(outline, (cx - tube_w / 2, 2 * s, cx + tube_w / 2, 24 * s),
                            radius=tube_w / 2))
    shapes.append(Circle(outline, cx, 24.5 * s, 6.5 * s))
    shapes.append(RoundRect(glass, (cx - tube_w / 2 + s, 3 * s, cx + tube_w / 2 - s, 24 * s),
                            radius=tube_w / 2 - s))
    shapes.append(Circle(glass, cx, 24.5 * s, 5.5 * s))
    shapes.append(RoundRect(red, (cx - 1.6 * s, 10 * s, cx + 1.6 * s, 25 * s),
                            radius=1.6 * s))
    shapes.append(Circle(red, cx, 24.5 * s, 4.2 * s))
    # Highlight on the bulb.
    shapes.append(Circle(Paint((255, 255, 255), vga0=WHITE, alpha=0.55), cx - 1.6 * s,
                         22.9 * s, 1.3 * s))
    # Scale ticks on the right of the tube, long every second one.
    for i in range(7):
        y = round((5 + i * 2.8) * s)
        length = 6 if i % 2 == 0 else 3.5
        shapes.append(RoundRect(Paint((60, 64, 72), vga0=GREY),
                                (round(20 * s), y, round(20 * s) + length * s, y + max(1, s))))
    return shapes


def chip(size):
    """A firmware chip: a dark package with pins on both sides and a notch."""
    s = size / 32.0
    shapes = []
    pin = Paint((190, 194, 200), (130, 134, 140), SILVER, GREY)
    body = Paint((60, 66, 78), (28, 32, 40), GREY, BLACK, diagonal=True)
    for i in range(5):
        y = (6 + i * 4.5) * s
        shapes.append(RoundRect(pin, (3 * s, y, 9 * s, y + 2 * s)))
        shapes.append(RoundRect(pin, (23 * s, y, 29 * s, y + 2 * s)))
    shapes.append(RoundRect(body, (7 * s, 3 * s, 25 * s, 29 * s), radius=2 * s))
    shapes.append(Circle(Paint((120, 126, 138), vga0=GREY), 16 * s, 3.5 * s, 2.5 * s))
    shapes.append(Circle(Paint((80, 200, 120), vga0=GREEN), 11 * s, 24 * s, 1.6 * s))
    return shapes


def sun(size):
    """Brightness: a sun, a yellow disc with eight rays."""
    s = size / 32.0
    c = 16.0 * s
    shapes = []
    ray = Paint((255, 200, 40), (236, 130, 10), YELLOW, OLIVE)
    for i in range(8):
        a = i * math.pi / 4
        w = 0.2  # half the angular width of a ray at its base
        r0, r1 = 9.0 * s, 15.0 * s
        shapes.append(Polygon(ray, [(c + r0 * math.cos(a - w), c + r0 * math.sin(a - w)),
                                    (c + r1 * math.cos(a), c + r1 * math.sin(a)),
                                    (c + r0 * math.cos(a + w), c + r0 * math.sin(a + w))]))
    shapes.append(Circle(Paint((190, 110, 10), vga0=OLIVE), c, c, 8.0 * s))
    shapes.append(Circle(Paint((255, 236, 110), (248, 170, 20), YELLOW, YELLOW, diagonal=True),
                         c, c, 7.0 * s))
    shapes.append(Circle(Paint((255, 255, 255), vga0=WHITE, alpha=0.45), c - 2.4 * s,
                         c - 2.4 * s, 2.0 * s))
    return shapes


def half_circle(size):
    """Contrast: a disc, light on the left half and dark on the right."""
    s = size / 32.0
    c = 16.0 * s
    r = 12.5 * s
    shapes = [Circle(Paint((40, 44, 52), vga0=BLACK), c, c, r + 1.5 * s),
              Circle(Paint((255, 255, 255), (214, 220, 228), WHITE, WHITE), c, c, r)]
    arc = [(c + r * math.cos(a), c + r * math.sin(a))
           for a in (math.pi * (k / 32.0 - 0.5) for k in range(33))]
    shapes.append(Polygon(Paint((70, 76, 90), (20, 22, 28), GREY, BLACK), arc))
    return shapes


def versions(size):
    """Three stacked firmware layers: BIOS, FPGA and controller."""
    s = size / 32.0
    shapes = []
    colours = [((90, 160, 230), (30, 90, 170), BLUE, NAVY),
               ((110, 200, 140), (40, 140, 80), LIME, GREEN),
               ((240, 190, 80), (190, 120, 20), YELLOW, OLIVE)]
    for i, (light, dark, vga_light, vga_dark) in enumerate(colours):
        top = (4 + i * 8) * s
        shapes.append(RoundRect(Paint((40, 44, 52), vga0=BLACK),
                                (3 * s, top, 29 * s, top + 8 * s), radius=2 * s))
        shapes.append(RoundRect(Paint(light, dark, vga_light, vga_dark),
                                (4 * s, top + s, 28 * s, top + 7 * s), radius=1.5 * s))
    return shapes


def rotary_switch(size):
    """Mode/node switch: a round knob with a pointer and a ring of ticks."""
    s = size / 32.0
    c = 16.0 * s
    shapes = []
    for i in range(16):
        a = i * math.pi / 8
        r0, r1 = 12.5 * s, 15.0 * s
        w = 0.09
        shapes.append(Polygon(Paint((60, 64, 72), vga0=GREY),
                              [(c + r0 * math.cos(a - w), c + r0 * math.sin(a - w)),
                               (c + r1 * math.cos(a - w), c + r1 * math.sin(a - w)),
                               (c + r1 * math.cos(a + w), c + r1 * math.sin(a + w)),
                               (c + r0 * math.cos(a + w), c + r0 * math.sin(a + w))]))
    shapes.append(Circle(Paint((40, 44, 52), vga0=BLACK), c, c, 11.0 * s))
    shapes.append(Circle(Paint((120, 170, 230), (30, 80, 160), AQUA, BLUE, diagonal=True),
                         c, c, 10.0 * s))
    # The pointer towards "2 o'clock".
    a = -math.pi / 4
    px, py = math.cos(a), math.sin(a)
    qx, qy = -py, px
    shapes.append(Polygon(Paint((255, 255, 255), vga0=WHITE),
                          [(c + 8.5 * s * px, c + 8.5 * s * py),
                           (c + 1.6 * s * qx - 2 * s * px, c + 1.6 * s * qy - 2 * s * py),
                           (c - 1.6 * s * qx - 2 * s * px, c - 1.6 * s * qy - 2 * s * py)]))
    return shapes


def factory(size):
    """Factory settings: a factory hall with a saw-tooth roof and a chimney."""
    s = size / 32.0
    shapes = []
    wall = Paint((200, 120, 80), (150, 70, 40), RED, MAROON)
    dark = Paint((40, 44, 52), vga0=BLACK)
    shapes.append(RoundRect(dark, (22 * s, 3 * s, 27 * s, 16 * s)))
    shapes.append(RoundRect(Paint((150, 154, 162), vga0=GREY), (23 * s, 4 * s, 26 * s, 16 * s)))
    roof = [(3 * s, 29 * s), (3 * s, 14 * s), (9 * s, 9 * s), (9 * s, 14 * s), (15 * s, 9 * s),
            (15 * s, 14 * s), (21 * s, 9 * s), (21 * s, 14 * s), (29 * s, 14 * s), (29 * s, 29 * s)]
    shapes.append(Polygon(dark, roof))
    inner = [(4 * s, 28 * s), (4 * s, 15.5 * s), (8 * s, 12 * s), (8 * s, 15.5 * s),
             (14 * s, 12 * s), (14 * s, 15.5 * s), (20 * s, 12 * s), (20 * s, 15.5 * s),
             (28 * s, 15.5 * s), (28 * s, 28 * s)]
    shapes.append(Polygon(wall, inner))
    for i in range(3):
        x = (6 + i * 7) * s
        shapes.append(RoundRect(Paint((250, 230, 120), vga0=YELLOW), (x, 19 * s, x + 4 * s,
                                                                        23 * s)))
    return shapes


def leds(size):
    """LEDs: three round LEDs, red, green and yellow, lit from the top left."""
    s = size / 32.0
    shapes = []
    colours = [((255, 110, 100), (190, 20, 20), RED, MAROON),
               ((120, 240, 130), (20, 150, 40), LIME, GREEN),
               ((255, 236, 110), (210, 160, 10), YELLOW, OLIVE)]
    centres = [(9 * s, 10 * s), (23 * s, 10 * s), (16 * s, 23 * s)]
    for (cx, cy), (light, dark, vga_light, vga_dark) in zip(centres, colours):
        shapes.append(Circle(Paint((40, 44, 52), vga0=BLACK), cx, cy, 7.0 * s))
        shapes.append(Circle(Paint(light, dark, vga_light, vga_dark, diagonal=True), cx, cy,
                             6.0 * s))
        shapes.append(Circle(Paint((255, 255, 255), vga0=WHITE, alpha=0.6), cx - 2 * s,
                             cy - 2 * s, 1.6 * s))
    return shapes


def user(size):
    """User settings: a person in front of a framed picture (the boot logo)."""
    s = size / 32.0
    shapes = []
    shapes.append(RoundRect(Paint((40, 44, 52), vga0=BLACK), (12 * s, 2 * s, 30 * s, 18 * s),
                            radius=1.5 * s))
    shapes.append(RoundRect(Paint((130, 200, 250), (40, 110, 190), AQUA, BLUE),
                            (13 * s, 3 * s, 29 * s, 17 * s)))
    shapes.append(Polygon(Paint((60, 150, 70), vga0=GREEN),
                          [(13 * s, 17 * s), (19 * s, 9 * s), (23 * s, 13 * s), (26 * s, 10 * s),
                           (29 * s, 14 * s), (29 * s, 17 * s)]))
    body = Paint((90, 110, 140), (40, 50, 70), NAVY, BLACK)
    skin = Paint((250, 214, 170), (220, 170, 120), YELLOW, OLIVE)
    shapes.append(Circle(Paint((40, 44, 52), vga0=BLACK), 10 * s, 14 * s, 5.5 * s))
    shapes.append(Circle(skin, 10 * s, 14 * s, 4.5 * s))
    shapes.append(RoundRect(Paint((40, 44, 52), vga0=BLACK), (2 * s, 20 * s, 18 * s, 31 * s),
                            radius=5 * s))
    shapes.append(RoundRect(body, (3 * s, 21 * s, 17 * s, 31 * s), radius=4.5 * s))
    return shapes


def ravla(size):
    """Ravla slots: an expansion card with a chip and a gold edge connector."""
    s = size / 32.0
    shapes = []
    shapes.append(RoundRect(Paint((20, 60, 30), vga0=BLACK), (2 * s, 5 * s, 30 * s, 24 * s),
                            radius=1.5 * s))
    shapes.append(RoundRect(Paint((70, 170, 90), (30, 110, 50), GREEN, GREEN, diagonal=True),
                            (3 * s, 6 * s, 29 * s, 23 * s)))
    shapes.append(RoundRect(Paint((50, 54, 62), (25, 28, 34), GREY, BLACK),
                            (8 * s, 9 * s, 19 * s, 19 * s), radius=s))
    shapes.append(RoundRect(Paint((190, 194, 200), vga0=SILVER), (21 * s, 9 * s, 26 * s,
                                                                  13 * s)))
    for i in range(7):
        x = (5 + i * 3) * s
        shapes.append(RoundRect(Paint((250, 210, 90), (200, 150, 30), YELLOW, OLIVE),
                                (x, 24 * s, x + 2 * s, 28 * s)))
    return shapes


def report(size):
    """The system report: a sheet of paper with a folded corner and text lines."""
    s = size / 32.0
    shapes = []
    edge = Paint((70, 74, 82), vga0=GREY)
    paper = Paint((255, 255, 255), (222, 228, 236), WHITE, SILVER)
    shapes.append(Polygon(edge, [(5 * s, 2 * s), (21 * s, 2 * s), (27 * s, 8 * s),
                                 (27 * s, 30 * s), (5 * s, 30 * s)]))
    shapes.append(Polygon(paper, [(6 * s, 3 * s), (20.5 * s, 3 * s), (26 * s, 8.5 * s),
                                  (26 * s, 29 * s), (6 * s, 29 * s)]))
    shapes.append(Polygon(Paint((200, 206, 216), vga0=SILVER),
                          [(20.5 * s, 3 * s), (20.5 * s, 8.5 * s), (26 * s, 8.5 * s)]))
    # Text lines; the first one is a blue heading.
    for i, width in enumerate((10, 16, 13, 16, 9, 14)):
        y = round((7 + i * 3.6) * s)
        paint = (Paint((40, 100, 200), vga0=BLUE) if i == 0
                 else Paint((90, 96, 108), vga0=GREY))
        shapes.append(RoundRect(paint, (round(9 * s), y, round(9 * s) + width * s,
                                        y + max(1, round(1.4 * s)))))
    return shapes


def key_cap(shapes, s, x, y, w, h, light=(246, 247, 250), dark=(196, 200, 208)):
    """One key seen from above: a dark rim and a lighter top."""
    shapes.append(RoundRect(Paint((60, 64, 72), vga0=GREY), (x * s, y * s, (x + w) * s,
                                                            (y + h) * s), radius=1.5 * s))
    shapes.append(RoundRect(Paint(light, dark, WHITE, SILVER),
                            ((x + 1) * s, (y + 1) * s, (x + w - 1) * s, (y + h - 2) * s),
                            radius=1.2 * s))


def key_config(size):
    """Key configuration: a key in front of a data sheet."""
    s = size / 32.0
    shapes = [RoundRect(Paint((70, 74, 82), vga0=GREY), (4 * s, 2 * s, 22 * s, 26 * s)),
              RoundRect(Paint((255, 255, 255), (226, 232, 240), WHITE, SILVER),
                        (5 * s, 3 * s, 21 * s, 25 * s))]
    for i in range(5):
        y = (6 + i * 3.5) * s
        shapes.append(RoundRect(Paint((90, 140, 210), vga0=BLUE), (8 * s, y, 18 * s, y + s)))
    key_cap(shapes, s, 14, 14, 16, 16)
    return shapes


def key_layer(size):
    """Key layers: four stacked key planes, the front one highlighted."""
    s = size / 32.0
    shapes = []
    for i in range(4):
        x, y = 2 + i * 3, 2 + i * 5
        front = i == 3
        key_cap(shapes, s, x, y, 18, 12,
                (255, 220, 120) if front else (246, 247, 250),
                (230, 160, 30) if front else (196, 200, 208))
    return shapes


def key_matrix(size):
    """Key matrix: a 4 x 4 grid of keys, two of them pressed."""
    s = size / 32.0
    shapes = []
    for row in range(4):
        for col in range(4):
            pressed = (row, col) in ((1, 2), (3, 0))
            key_cap(shapes, s, 1 + col * 7.6, 1 + row * 7.6, 7, 7,
                    (120, 220, 120) if pressed else (246, 247, 250),
                    (30, 150, 60) if pressed else (196, 200, 208))
    return shapes


# ---------------------------------------------------------------- file formats

def nearest(palette, c):
    best, best_d = 0, None
    for i, p in enumerate(palette):
        d = (2 * (p[0] - c[0]) ** 2 + 4 * (p[1] - c[1]) ** 2 + 3 * (p[2] - c[2]) ** 2)
        if best_d is None or d < best_d:
            best, best_d = i, d
    return best


def median_cut(colours, count):
    """Palette of at most `count` colours for a {rgb: pixels} histogram."""
    boxes = [list(colours.items())]
    while len(boxes) < count:
        # Split the box with the widest channel range (weighted by its pixels).
        def spread(box):
            if len(box) < 2:
                return -1, 0
            ranges = [max(c[k] for c, _ in box) - min(c[k] for c, _ in box) for k in range(3)]
            ch = ranges.index(max(ranges))
            return ranges[ch] * math.sqrt(sum(n for _, n in box)), ch

        scored = [(spread(b), i) for i, b in enumerate(boxes)]
        (score, ch), idx = max(scored)
        if score <= 0:
            break
        box = sorted(boxes.pop(idx), key=lambda e: e[0][ch])
        total = sum(n for _, n in box)
        run, cut = 0, 1
        for i, (_, n) in enumerate(box):
            run += n
            if run >= total / 2:
                cut = min(max(i + 1, 1), len(box) - 1)
                break
        boxes += [box[:cut], box[cut:]]
    palette = []
    for box in boxes:
        total = sum(n for _, n in box)
        palette.append(tuple(round(sum(c[k] * n for c, n in box) / total) for k in range(3)))
    return palette


def row_bytes(bits_per_row):
    return (bits_per_row + 31) // 32 * 4


def pack_rows(rows, bpp):
    """Bottom-up DIB rows, each padded to 4 bytes; rows hold ints (indexes or 32-bit BGRA)."""
    out = bytearray()
    for row in reversed(rows):
        line = bytearray()
        if bpp == 32:
            for v in row:
                line += struct.pack("<I", v)
        else:
            acc, nbits = 0, 0
            for v in row:
                acc = (acc << bpp) | v
                nbits += bpp
                if nbits == 8:
                    line.append(acc)
                    acc, nbits = 0, 0
            if nbits:
                line.append(acc << (8 - nbits))
        line += bytes(row_bytes(len(row) * bpp) - len(line))
        out += line
    return bytes(out)


def dib(size, bpp, rows, palette, mask):
    """One icon image: BITMAPINFOHEADER, palette, XOR bitmap, AND mask."""
    xor = pack_rows(rows, bpp)
    andm = pack_rows(mask, 1)
    colours = len(palette)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, len(xor) + len(andm), 0,
                         0, colours if bpp <= 8 else 0, 0)
    pal = b"".join(struct.pack("<BBBB", c[2], c[1], c[0], 0) for c in palette)
    return header + pal + xor + andm


def png_filter(kind, line, prev, bpp):
    out = bytearray(len(line))
    for i, v in enumerate(line):
        a = line[i - bpp] if i >= bpp else 0
        b = prev[i]
        c = prev[i - bpp] if i >= bpp else 0
        if kind == 0:
            pred = 0
        elif kind == 1:
            pred = a
        elif kind == 2:
            pred = b
        elif kind == 3:
            pred = (a + b) // 2
        else:
            pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
            pred = a if pa <= pb and pa <= pc else b if pb <= pc else c
        out[i] = (v - pred) & 0xFF
    return out


def png_chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data +
            struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def png_rgba(size, rows):
    """A 32-bit image (rows of BGRA ints, top-down) as PNG: RGBA, each row with
    the filter that leaves the smallest residues (the usual heuristic)."""
    raw = bytearray()
    prev = bytes(size * 4)
    for row in rows:
        line = bytes(c for v in row for c in ((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF, v >> 24))
        filtered = [png_filter(k, line, prev, 4) for k in range(5)]
        kind = min(range(5), key=lambda k: sum(v if v < 128 else 256 - v for v in filtered[k]))
        raw += bytes([kind]) + filtered[kind]
        prev = line
    return (b"\x89PNG\r\n\x1a\n" +
            png_chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + png_chunk(b"IEND", b""))


def png_indexed(size, rows, palette):
    """An 8-bit image (rows of palette indexes, top-down) as PNG; index 0 is
    transparent."""
    used = max(max(row) for row in rows) + 1
    raw = b"".join(b"\0" + bytes(row) for row in rows)
    plte = b"".join(struct.pack("BBB", *c) for c in palette[:used])
    return (b"\x89PNG\r\n\x1a\n" +
            png_chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 3, 0, 0, 0)) +
            png_chunk(b"PLTE", plte) + png_chunk(b"tRNS", b"\0") +
            png_chunk(b"IDAT", zlib.compress(raw, 9)) + png_chunk(b"IEND", b""))


def icon_image(shapes_for, size, bpp):
    shapes = shapes_for(size)
    if bpp == 4:
        pix = render(shapes, size, 4)
        mask = [[1 if v is None else 0 for v in row] for row in pix]
        rows = [[BLACK if v is None else v for v in row] for row in pix]
        return dib(size, 4, rows, VGA, mask)
    pix = render(shapes, size, 32)
    if bpp == 32:
        rows, mask = [], []
        for row in pix:
            out, m = [], []
            for r, g, b, a in row:
                av = round(a * 255)
                if av == 0:
                    out.append(0)
                    m.append(1)
                else:
                    out.append(round(b) | round(g) << 8 | round(r) << 16 | av << 24)
                    m.append(0)
            rows.append(out)
            mask.append(m)
        return png_rgba(size, rows)
    # 8 bit: binary transparency, colours from a median-cut palette; entry 0 stays
    # black so that transparent pixels leave the screen untouched.
    solid = [[(round(r), round(g), round(b)) if a >= 0.5 else None for r, g, b, a in row]
             for row in pix]
    hist = {}
    for row in solid:
        for c in row:
            if c is not None:
                hist[c] = hist.get(c, 0) + 1
    palette = [(0, 0, 0)] + median_cut(hist, 255)
    palette += [(0, 0, 0)] * (256 - len(palette))
    lookup = {c: nearest(palette[1:], c) + 1 for c in hist}
    rows = [[0 if c is None else lookup[c] for c in row] for row in solid]
    return png_indexed(size, rows, palette)


def write_ico(path, shapes_for, images):
    """images: list of (size, bpp)."""
    blobs = [(size, bpp, icon_image(shapes_for, size, bpp)) for size, bpp in images]
    out = bytearray(struct.pack("<HHH", 0, 1, len(blobs)))
    offset = 6 + 16 * len(blobs)
    for size, bpp, blob in blobs:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 16 if bpp == 4 else 0, 0, 1, bpp,
                           len(blob), offset)
        offset += len(blob)
    for _, _, blob in blobs:
        out += blob
    with open(path, "wb") as f:
        f.write(out)


def write_arrow_bmp(path, pointing_left):
    """10 x 11 monochrome arrow: black (index 0) solid triangle on white."""
    w, h = 10, 11
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            c = x if pointing_left else w - 1 - x
            row.append(0 if abs(y - h // 2) <= c * (h // 2) / (w - 1) + 0.25 else 1)
        rows.append(row)
    bits = pack_rows(rows, 1)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 1, 0, len(bits), 2835, 2835, 2, 0)
    pal = struct.pack("<BBBBBBBB", 0, 0, 0, 0, 255, 255, 255, 0)
    offset = 14 + len(info) + len(pal)
    head = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(head + info + pal + bits)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(
        os.path.abspath(__file__)))
    family = [(s, b) for b in (4, 8, 32) for s in (48, 32, 16)]
    write_ico(os.path.join(out, "applet.ico"), lambda s: panel_pc(s, "applet"),
              [(s, 8) for s in (48, 32, 24, 16)])
    write_ico(os.path.join(out, "marlet.ico"), lambda s: panel_pc(s, "marlet"), family)
    write_ico(os.path.join(out, "ferrow.ico"), lambda s: panel_pc(s, "ferrow"), family)
    write_ico(os.path.join(out, "temperatures.ico"), thermometer,
              [(32, 32), (16, 32), (32, 8), (16, 8)])
    write_ico(os.path.join(out, "firmware.ico"), chip, [(32, 32), (16, 32), (32, 8), (16, 8)])
    write_ico(os.path.join(out, "versions.ico"), versions, [(32, 32), (16, 32), (32, 8), (16, 8)])
    write_ico(os.path.join(out, "brightness.ico"), sun, [(32, 32), (16, 32), (32, 8), (16, 8)])
    write_ico(os.path.join(out, "contrast.ico"), half_circle,
              [(32, 32), (16, 32), (32, 8), (16, 8)])
    page_sizes = [(32, 32), (16, 32), (32, 8), (16, 8)]
    write_ico(os.path.join(out, "switches.ico"), rotary_switch, page_sizes)
    write_ico(os.path.join(out, "factory.ico"), factory, page_sizes)
    write_ico(os.path.join(out, "leds.ico"), leds, page_sizes)
    write_ico(os.path.join(out, "user.ico"), user, page_sizes)
    write_ico(os.path.join(out, "ravla.ico"), ravla, page_sizes)
    write_ico(os.path.join(out, "report.ico"), report, page_sizes)
    for name, draw in (("keyconfig", key_config), ("keylayer", key_layer),
                       ("keymatrix", key_matrix)):
        write_ico(os.path.join(out, name + ".ico"), draw, [(32, 32), (16, 32), (32, 8), (16, 8)])
    write_arrow_bmp(os.path.join(out, "arrow_down.bmp"), pointing_left=True)
    write_arrow_bmp(os.path.join(out, "arrow_up.bmp"), pointing_left=False)


if __name__ == "__main__":
    main()
