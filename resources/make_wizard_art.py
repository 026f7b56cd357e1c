#!/usr/bin/env python3
# Re-run from the repository root to rebuild the pictures: python3 resources/make_wizard_art.py
"""Draws the add-port wizard's art.

wizard_kind.bmp, wizard_lpr.bmp, wizard_ipp.bmp and wizard_raw.bmp stand on the
left of the wizard's pages, 139 x 218. All four show the same office printer on
a blue-to-teal backdrop; above it, what the page is about: a small network of
nodes with a cable down to the printer (choosing the kind of port), a print
server with its queue of documents (LPR), a globe the job crosses (IPP), and a
wall socket whose cable carries data straight to the printer (raw).

The shapes are filled at four samples a pixel each way and averaged, and the
result is cut down to a 256-colour table: the wizard builds its palette from
that table, so on a 256-colour screen the picture keeps its gradients.

connect01.ico ... connect10.ico are the ten frames of the connection test's
animation: a packet runs along an arc from a computer to a printer. The arc
has ten stops, one a frame, so the last frame leads into the first. They use
the sixteen VGA colours, which every Windows 95 display can show."""

import math
import os
import struct

WIDTH, HEIGHT = 139, 218
SAMPLES = 4  # per pixel, each way


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def linear(p0, p1, *stops):
    """A paint running through colour stops (t, colour) from p0 to p1."""
    dx, dy = p1[0] - p0[0], p1[1] - p0[1]
    length2 = dx * dx + dy * dy

    def paint(x, y):
        t = ((x - p0[0]) * dx + (y - p0[1]) * dy) / length2
        if t <= stops[0][0]:
            return stops[0][1]
        for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
            if t <= t1:
                return mix(c0, c1, (t - t0) / (t1 - t0))
        return stops[-1][1]

    return paint


def radial(cx, cy, r, inner, outer):
    def paint(x, y):
        return mix(inner, outer, min(1.0, math.hypot(x - cx, y - cy) / r))

    return paint


def falloff(cx, cy, rx, ry, peak):
    """An alpha that fades from peak at the centre to nothing at the rim."""

    def alpha(x, y):
        d = math.hypot((x - cx) / rx, (y - cy) / ry)
        return peak * (1 - d) ** 2 if d < 1 else 0.0

    return alpha


def ellipse(cx, cy, rx, ry, steps=72):
    return [(cx + rx * math.cos(2 * math.pi * i / steps), cy + ry * math.sin(2 * math.pi * i / steps))
            for i in range(steps)]


def rounded(x0, y0, x1, y1, r, steps=6):
    points = []
    for cx, cy, start in ((x1 - r, y0 + r, -90), (x1 - r, y1 - r, 0), (x0 + r, y1 - r, 90), (x0 + r, y0 + r, 180)):
        for i in range(steps + 1):
            a = math.radians(start + 90 * i / steps)
            points.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return points


def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def bezier(p0, p1, p2, p3, steps=48):
    points = []
    for i in range(steps + 1):
        t = i / steps
        u = 1 - t
        points.append(tuple(u * u * u * a + 3 * u * u * t * b + 3 * u * t * t * c + t * t * t * d
                            for a, b, c, d in zip(p0, p1, p2, p3)))
    return points


def smooth(points, steps=8):
    """A closed curve through the points (Catmull-Rom)."""
    curve = []
    n = len(points)
    for i in range(n):
        p0, p1, p2, p3 = points[i - 1], points[i], points[(i + 1) % n], points[(i + 2) % n]
        for k in range(steps):
            t = k / steps
            curve.append(tuple(0.5 * (2 * b + (c - a) * t + (2 * a - 5 * b + 4 * c - d) * t * t
                                      + (3 * b - a - 3 * c + d) * t * t * t) for a, b, c, d in zip(p0, p1, p2, p3)))
    return curve


def point_along(points, t):
    """The point and unit direction at fraction t of a polyline's length."""
    lengths = [math.dist(a, b) for a, b in zip(points, points[1:])]
    goal = t * sum(lengths)
    for (a, b), length in zip(zip(points, points[1:]), lengths):
        if goal <= length or b is points[-1]:
            f = goal / length if length else 0.0
            return (a[0] + (b[0] - a[0]) * f, a[1] + (b[1] - a[1]) * f), ((b[0] - a[0]) / length, (b[1] - a[1]) / length)
        goal -= length
    return points[-1], (0.0, 1.0)


class Canvas:
    """An RGB picture drawn at SAMPLES x SAMPLES points a pixel; shapes are
    polygons filled even-odd, in pixel coordinates."""

    def __init__(self, width, height):
        self.width, self.height = width, height
        self.w, self.h = width * SAMPLES, height * SAMPLES
        self.rgb = [[0.0, 0.0, 0.0] for _ in range(self.w * self.h)]

    def fill(self, shapes, paint, alpha=1.0):
        if shapes and isinstance(shapes[0][0], (int, float)):
            shapes = [shapes]
        edges = [(a, b) for shape in shapes for a, b in zip(shape, shape[1:] + shape[:1]) if a[1] != b[1]]
        if not edges:
            return
        top = max(0, int(min(min(a[1], b[1]) for a, b in edges) * SAMPLES))
        bottom = min(self.h, int(max(max(a[1], b[1]) for a, b in edges) * SAMPLES) + 1)
        for row in range(top, bottom):
            y = (row + 0.5) / SAMPLES
            xs = sorted(a[0] + (y - a[1]) * (b[0] - a[0]) / (b[1] - a[1])
                        for a, b in edges if (a[1] <= y < b[1]) or (b[1] <= y < a[1]))
            for left, right in zip(xs[::2], xs[1::2]):
                first = max(0, math.ceil(left * SAMPLES - 0.5))
                last = min(self.w, math.ceil(right * SAMPLES - 0.5))
                for col in range(first, last):
                    x = (col + 0.5) / SAMPLES
                    colour = paint(x, y) if callable(paint) else paint
                    a = alpha(x, y) if callable(alpha) else alpha
                    if a <= 0:
                        continue
                    px = self.rgb[row * self.w + col]
                    if a >= 1:
                        px[0], px[1], px[2] = colour
                    else:
                        for i in range(3):
                            px[i] += (colour[i] - px[i]) * a

    def stroke(self, points, width, paint, alpha=1.0):
        """An opaque line with round joints; a translucent one would darken
        where its pieces overlap."""
        half = width / 2
        for a, b in zip(points, points[1:]):
            length = math.dist(a, b)
            if length == 0:
                continue
            nx, ny = -(b[1] - a[1]) / length * half, (b[0] - a[0]) / length * half
            self.fill([(a[0] + nx, a[1] + ny), (b[0] + nx, b[1] + ny), (b[0] - nx, b[1] - ny), (a[0] - nx, a[1] - ny)],
                      paint, alpha)
        for p in points[1:-1] if len(points) > 2 else []:
            self.fill(ellipse(p[0], p[1], half, half, 12), paint, alpha)

    def pixels(self):
        """The picture at one point a pixel, as rows of (r, g, b) bytes."""
        rows = []
        n = SAMPLES * SAMPLES
        for y in range(self.height):
            row = []
            for x in range(self.width):
                total = [0.0, 0.0, 0.0]
                for sy in range(SAMPLES):
                    base = (y * SAMPLES + sy) * self.w + x * SAMPLES
                    for px in self.rgb[base:base + SAMPLES]:
                        total[0] += px[0]
                        total[1] += px[1]
                        total[2] += px[2]
                row.append(tuple(max(0, min(255, round(c / n))) for c in total))
            rows.append(row)
        return rows


# The printer's projection: depth runs up and to the right.
DEPTH = (18, -12)
WHITE = (255, 255, 255)
SHADOW = (6, 18, 40)
CABLE = (38, 52, 74)
CABLE_LIGHT = (112, 134, 164)
GLOW = (120, 240, 255)


def backdrop(c):
    c.fill(rect(0, 0, WIDTH, HEIGHT), linear((0, 0), (0, HEIGHT),
                                              (0.0, (8, 22, 66)), (0.45, (16, 70, 132)), (1.0, (24, 150, 160))))
    # Light behind the scene, and a pool of it on the floor.
    c.fill(ellipse(70, 92, 110, 110), WHITE, falloff(70, 92, 110, 110, 0.22))
    c.fill(ellipse(66, 204, 90, 22), WHITE, falloff(66, 204, 90, 22, 0.28))
    # Two faint sweeps across the sky.
    for offset, strength in ((0, 0.10), (14, 0.06)):
        upper = bezier((-10, 150 - offset), (40, 90 - offset), (100, 70 - offset), (150, 10 - offset))
        lower = bezier((150, 22 - offset), (100, 86 - offset), (40, 104 - offset), (-10, 166 - offset))
        c.fill(upper + lower, WHITE, strength)


def box(c, x, y, w, h, depth, front, top, side):
    """A box in the printer's projection; (x, y) is its front face's lower left."""
    dx, dy = depth
    c.fill(rect(x, y - h, x + w, y), front)
    c.fill([(x, y - h), (x + w, y - h), (x + w + dx, y - h + dy), (x + dx, y - h + dy)], top)
    c.fill([(x + w, y), (x + w, y - h), (x + w + dx, y - h + dy), (x + w + dx, y + dy)], side)


PRINTER_AT = (14, 202)
PORT = (PRINTER_AT[0] + 84 + 9, PRINTER_AT[1] - 30)  # the socket, in the middle of the printer's side


def soft_shadow(c, cx, cy, rx, ry, strength):
    for i in range(6):
        grow = 1 + i * 0.12
        c.fill(ellipse(cx, cy, rx * grow, ry * grow), SHADOW, strength / 6)


def printer(c, x, y):
    """The office printer; (x, y) is the lower left of its front."""
    w, h = 84, 46
    dx, dy = DEPTH
    soft_shadow(c, x + 52, y - 2, 58, 8, 0.55)
    # The sheet waiting in the feeder at the back, leaning back.
    sheet = [(x + 34, y - h + dy + 2), (x + 80, y - h + dy + 2), (x + 88, y - h - 26), (x + 42, y - h - 26)]
    c.fill([(x + 31, y - h + dy + 3), (x + 83, y - h + dy + 3), (x + 91, y - h - 24), (x + 39, y - h - 24)],
           (120, 134, 156), 0.7)
    c.fill(sheet, linear((0, y - h - 26), (0, y - h), (0, (255, 255, 255)), (1, (214, 224, 238))))
    for i, right in enumerate((30, 40, 36, 22)):
        top = y - h - 20 + i * 3.2
        lean = (y - h - top) * 8 / 28
        c.fill([(x + 40 + lean, top), (x + 40 + lean + right, top), (x + 40 + lean + right, top + 0.8),
                (x + 40 + lean, top + 0.8)], (64, 110, 180) if i == 0 else (160, 172, 192))
    box(c, x, y, w, h, DEPTH,
        linear((0, y - h), (0, y), (0, (222, 227, 234)), (1, (168, 176, 190))),
        linear((x, y - h), (x + dx, y - h + dy), (0, (246, 248, 251)), (1, (214, 220, 230))),
        linear((0, y - h + dy), (0, y), (0, (150, 158, 174)), (1, (104, 112, 130))))
    # Plinth, lid seam and the highlight along the front's top edge.
    c.fill(rect(x, y - 5, x + w, y), (58, 64, 78))
    c.fill([(x + w, y), (x + w, y - 5), (x + w + dx, y - 5 + dy), (x + w + dx, y + dy)], (44, 48, 60))
    c.fill(rect(x, y - h, x + w, y - h + 1), WHITE, 0.8)
    c.fill([(x + w, y - h), (x + w + dx, y - h + dy), (x + w + dx, y - h + dy + 1), (x + w, y - h + 1)], WHITE, 0.5)
    c.fill([(x + w - 0.6, y - h), (x + w + 0.4, y - h), (x + w + 0.4, y - 5), (x + w - 0.6, y - 5)], WHITE, 0.35)
    c.fill(rect(x, y - h + 9, x + w, y - h + 10), (120, 128, 144), 0.6)
    c.fill([(x + w, y - h + 9), (x + w + dx, y - h + 9 + dy), (x + w + dx, y - h + 10 + dy), (x + w, y - h + 10)],
           (70, 76, 92), 0.6)
    # Output slot, and the tray jutting out of it with a printed page on it.
    c.fill(rounded(x + 6, y - h + 13, x + 60, y - h + 19, 2), (40, 46, 60))
    tray = [(x + 7, y - h + 18), (x + 59, y - h + 18), (x + 53, y - h + 24), (x + 1, y - h + 24)]
    c.fill(tray, linear((0, y - h + 18), (0, y - h + 24), (0, (150, 158, 172)), (1, (96, 104, 120))))
    c.fill([(x + 12, y - h + 16), (x + 54, y - h + 16), (x + 49, y - h + 22), (x + 7, y - h + 22)],
           linear((0, y - h + 16), (0, y - h + 22), (0, (255, 255, 255)), (1, (226, 232, 240))))
    for i, (left, right) in enumerate(((14, 44), (13, 50), (12, 38))):
        t = y - h + 17.4 + i * 1.5
        c.fill(rect(x + left - i * 1.2, t, x + right - i * 1.2, t + 0.6), (120, 130, 150))
    # Paper cassette with its handle.
    c.fill(rect(x + 5, y - 22, x + 64, y - 8), (148, 156, 172), 0.45)
    c.fill(rect(x + 5, y - 22, x + 64, y - 21.2), WHITE, 0.6)
    c.fill(rounded(x + 26, y - 17, x + 43, y - 13, 2), (62, 68, 84))
    # Control panel: a dark glass strip with a lit display, a lamp and keys.
    c.fill(rounded(x + 64, y - h + 4, x + 81, y - h + 24, 2), linear((0, y - h + 4), (0, y - h + 24),
                                                                       (0, (52, 62, 82)), (1, (24, 30, 44))))
    c.fill(rect(x + 66, y - h + 6, x + 79, y - h + 12), linear((x + 66, 0), (x + 79, 0),
                                                                (0, (70, 190, 220)), (1, (140, 236, 250))))
    c.fill(ellipse(x + 68.5, y - h + 16, 1.4, 1.4), (90, 240, 120))
    c.fill(ellipse(x + 68.5, y - h + 16, 3.0, 3.0), (90, 240, 120), 0.25)
    for kx in (73.5, 77.5):
        c.fill(ellipse(x + kx, y - h + 16, 1.5, 1.5), (150, 160, 180))
    c.fill(rect(x + 66, y - h + 20, x + 79, y - h + 21.2), (150, 160, 180), 0.6)
    px, py = PORT
    c.fill([(px - 3.5, py - 1.5), (px + 3.5, py - 6), (px + 3.5, py + 1.5), (px - 3.5, py + 6)], (30, 34, 46))


def cable(c, points, packets=()):
    """A cable ending in a plug in the printer's socket."""
    c.stroke(points, 3.4, CABLE)
    c.stroke([(px - 0.5, py - 0.5) for px, py in points[:-4]], 1.0, CABLE_LIGHT)
    px, py = PORT
    c.fill([(px - 1, py - 3.5), (px + 6, py - 8), (px + 6, py - 1), (px - 1, py + 3.5)], (58, 72, 98))
    c.fill([(px - 1, py - 3.5), (px + 6, py - 8), (px + 6, py - 7), (px - 1, py - 2.5)], CABLE_LIGHT, 0.8)
    for t in packets:
        (px, py), _ = point_along(points, t)
        c.fill(ellipse(px, py, 5, 5), GLOW, 0.22)
        c.fill(ellipse(px, py, 2.2, 2.2), (220, 255, 255))


def node(c, x, y, r):
    c.fill(ellipse(x, y, r * 3, r * 3), GLOW, falloff(x, y, r * 3, r * 3, 0.6))
    c.fill(ellipse(x, y, r, r), radial(x - r / 3, y - r / 3, r * 1.4, (235, 255, 255), (40, 170, 210)))




def draw_kind():
    c = Canvas(WIDTH, HEIGHT)
    backdrop(c)
    nodes = [(30, 34), (74, 22), (112, 46), (58, 70), (104, 98), (22, 96)]
    links = [(0, 1), (1, 2), (0, 3), (1, 3), (2, 3), (3, 4), (2, 4), (3, 5), (0, 5)]
    for a, b in links:
        c.stroke([nodes[a], nodes[b]], 1.0, (150, 220, 240), 0.55)
    printer(c, *PRINTER_AT)
    cable(c, bezier(nodes[4], (118, 126), (136, 150), (PORT[0] + 4, PORT[1] - 5)), packets=(0.3, 0.7))
    for i, (x, y) in enumerate(nodes):
        node(c, x, y, 4.5 if i in (3, 4) else 3.4)
    return c


def server(c, x, y):
    """A tower server; (x, y) is the lower left of its front."""
    w, h, depth = 30, 78, (12, -8)
    soft_shadow(c, x + 20, y, 24, 5, 0.5)
    box(c, x, y, w, h, depth,
        linear((x, 0), (x + w, 0), (0, (70, 80, 100)), (1, (48, 56, 74))),
        linear((x, 0), (x + w + 12, 0), (0, (150, 160, 178)), (1, (110, 120, 140))),
        linear((0, y - h), (0, y), (0, (40, 46, 62)), (1, (26, 30, 42))))
    c.fill(rect(x, y - h, x + w, y - h + 0.8), WHITE, 0.5)
    for i in range(4):
        top = y - h + 8 + i * 9
        c.fill(rounded(x + 4, top, x + w - 4, top + 6, 1), linear((0, top), (0, top + 6),
                                                                    (0, (96, 108, 132)), (1, (60, 68, 88))))
        c.fill(rect(x + 7, top + 2.6, x + 17, top + 3.4), (30, 36, 50))
        c.fill(ellipse(x + w - 7.5, top + 3, 1.1, 1.1), (90, 240, 120) if i != 2 else (255, 190, 70))
    for i in range(9):
        vy = y - 30 + i * 2.6
        c.fill(rect(x + 5, vy, x + w - 5, vy + 1.1), (24, 28, 40))
    c.fill(ellipse(x + w / 2, y - h + 48, 2.2, 2.2), (60, 200, 240))
    c.fill(ellipse(x + w / 2, y - h + 48, 4.5, 4.5), (60, 200, 240), 0.25)


def page(c, x, y, tilt=0.0):
    """A document, 18 x 24, its top left at (x, y)."""
    def at(px, py):
        return (x + px + py * tilt, y + py - px * tilt)

    c.fill([at(1.2, 1.6), at(19.2, 1.6), at(19.2, 25.6), at(1.2, 25.6)], SHADOW, 0.35)
    c.fill([at(0, 0), at(13, 0), at(18, 5), at(18, 24), at(0, 24)],
           linear(at(0, 0), at(18, 24), (0, (255, 255, 255)), (1, (214, 224, 236))))
    c.fill([at(13, 0), at(18, 5), at(13, 5)], (180, 192, 210))
    for i, right in enumerate((10, 15, 14, 15, 9, 13)):
        top = 7 + i * 2.6
        c.fill([at(3, top), at(right, top), at(right, top + 1), at(3, top + 1)],
               (64, 110, 180) if i == 0 else (150, 162, 184))


def arrow(c, points, colour, width=2.0):
    c.stroke(points[:-3], width, colour)
    (tx, ty), (ux, uy) = point_along(points, 1.0)
    size = width * 2.6
    c.fill([(tx + ux * size * 0.6, ty + uy * size * 0.6),
            (tx - ux * size * 0.7 - uy * size * 0.7, ty - uy * size * 0.7 + ux * size * 0.7),
            (tx - ux * size * 0.7 + uy * size * 0.7, ty - uy * size * 0.7 - ux * size * 0.7)], colour)


def draw_lpr():
    c = Canvas(WIDTH, HEIGHT)
    backdrop(c)
    server(c, 10, 116)
    printer(c, *PRINTER_AT)
    cable(c, bezier((46, 104), (100, 100), (140, 140), (PORT[0] + 4, PORT[1] - 5)), packets=(0.45,))
    for i in range(3):
        page(c, 64 + i * 10, 22 + i * 12, tilt=0.05)
    arrow(c, bezier((84, 80), (72, 96), (70, 112), (76, 132), 24), (160, 240, 255), 2.2)
    return c


def globe(c, cx, cy, r):
    c.fill(ellipse(cx, cy, r * 1.5, r * 1.5), GLOW, falloff(cx, cy, r * 1.5, r * 1.5, 0.45))
    c.fill(ellipse(cx, cy, r, r), radial(cx - r * 0.4, cy - r * 0.45, r * 1.6, (110, 220, 250), (10, 60, 140)))
    # Land, kept inside the disc by hand: rough blobs on the visible side.
    for blob in ([(-0.55, -0.55), (-0.1, -0.75), (0.15, -0.45), (-0.05, -0.15), (-0.4, 0.05), (-0.75, -0.2)],
                 [(0.25, -0.05), (0.6, -0.3), (0.8, 0.1), (0.55, 0.5), (0.2, 0.35)],
                 [(-0.45, 0.35), (-0.15, 0.4), (-0.2, 0.8), (-0.45, 0.7)]):
        c.fill([(cx + bx * r, cy + by * r) for bx, by in smooth(blob)],
               radial(cx - r * 0.4, cy - r * 0.45, r * 1.6, (150, 240, 170), (30, 120, 110)), 0.85)
    # Meridians and parallels.
    for k in (-0.66, -0.33, 0.33, 0.66):
        yy = cy + k * r
        half = r * math.sqrt(1 - k * k)
        c.fill(rect(cx - half, yy - 0.35, cx + half, yy + 0.35), (210, 250, 255), 0.35)
    for k in (0.3, 0.65, 1.0):
        outer = ellipse(cx, cy, r * k, r)
        inner = ellipse(cx, cy, max(r * k - 0.7, 0.1), r - 0.7)
        c.fill([outer, inner], (210, 250, 255), 0.35)
    c.fill([ellipse(cx, cy, r, r), ellipse(cx, cy, r - 0.9, r - 0.9)], (210, 250, 255), 0.5)
    c.fill(ellipse(cx - r * 0.42, cy - r * 0.48, r * 0.3, r * 0.18), WHITE, falloff(cx - r * 0.42, cy - r * 0.48,
                                                                                      r * 0.3, r * 0.18, 0.9))


def draw_ipp():
    c = Canvas(WIDTH, HEIGHT)
    backdrop(c)
    cx, cy, r = 62, 66, 36
    # The orbit passes behind the globe, then in front on its way down.
    orbit_back = [(cx + 52 * math.cos(a), cy - 10 + 16 * math.sin(a))
                  for a in [math.pi + i * math.pi / 40 for i in range(41)]]
    c.stroke(orbit_back, 1.2, (170, 240, 255), 0.6)
    globe(c, cx, cy, r)
    orbit_front = [(cx + 52 * math.cos(a), cy - 10 + 16 * math.sin(a)) for a in [i * math.pi / 40 for i in range(41)]]
    c.stroke(orbit_front, 1.2, (170, 240, 255), 0.8)
    printer(c, *PRINTER_AT)
    path = bezier((cx + 52, cy - 10), (134, 40), (140, 140), PORT)
    for i in range(18):
        (px, py), _ = point_along(path, (i + 0.5) / 18)
        c.fill(ellipse(px, py, 1.2, 1.2), (170, 240, 255), 0.9)
    for t in (0.3, 0.7):
        (px, py), _ = point_along(path, t)
        c.fill(ellipse(px, py, 5, 5), GLOW, 0.25)
        c.fill(ellipse(px, py, 2.2, 2.2), (230, 255, 255))
    node(c, cx + 52, cy - 10, 2.6)
    node(c, cx - 52, cy - 10, 2.6)
    c.fill(ellipse(PORT[0], PORT[1], 5, 5), GLOW, falloff(PORT[0], PORT[1], 5, 5, 0.9))
    return c


def wall_socket(c, x, y):
    """A network wall plate, its top left at (x, y)."""
    c.fill(rounded(x + 1.5, y + 2, x + 35.5, y + 42, 5), SHADOW, 0.4)
    c.fill(rounded(x, y, x + 34, y + 40, 5), linear((x, y), (x + 34, y + 40), (0, (250, 252, 255)),
                                                    (1, (178, 188, 204))))
    c.fill(rounded(x + 3, y + 3, x + 31, y + 37, 3), linear((x, y), (x + 34, y + 40), (0, (214, 222, 234)),
                                                            (1, (236, 240, 246))))
    # The jack: a dark opening with its latch notch and contacts.
    c.fill([(x + 9, y + 12), (x + 25, y + 12), (x + 25, y + 24), (x + 21, y + 24), (x + 21, y + 27),
            (x + 13, y + 27), (x + 13, y + 24), (x + 9, y + 24)], (28, 32, 44))
    for i in range(6):
        c.fill(rect(x + 10.6 + i * 2.2, y + 13, x + 11.6 + i * 2.2, y + 16), (220, 180, 80))


def plug(c, x, y):
    """An RJ45 plug pointing down, its boot's top centre at (x, y)."""
    c.fill(rounded(x - 5, y, x + 5, y + 9, 2), linear((x - 5, 0), (x + 5, 0), (0, (70, 84, 110)),
                                                      (1, (38, 46, 64))))
    c.fill(rect(x - 7, y + 9, x + 7, y + 22), linear((x - 7, 0), (x + 7, 0), (0, (220, 236, 250)),
                                                     (0.5, (170, 196, 220)), (1, (120, 146, 176))), 0.9)
    c.fill(rect(x - 3, y + 7, x + 3, y + 17), (90, 110, 140), 0.5)
    for i in range(6):
        c.fill(rect(x - 5.6 + i * 2.0, y + 18, x - 4.6 + i * 2.0, y + 22), (230, 190, 90))


def chevron(c, x, y, size, colour, alpha):
    c.fill([(x - size, y - size * 0.6), (x, y + size * 0.4), (x + size, y - size * 0.6),
            (x + size, y + size * 0.1), (x, y + size * 1.1), (x - size, y + size * 0.1)], colour, alpha)


def draw_raw():
    c = Canvas(WIDTH, HEIGHT)
    backdrop(c)
    wall_socket(c, 18, 18)
    printer(c, *PRINTER_AT)
    path = bezier((35, 36), (36, 120), (140, 110), (PORT[0] + 4, PORT[1] - 5))
    cable(c, path)
    plug(c, 35, 22)
    c.fill(rect(28, 40, 42, 41), (28, 32, 44))
    for i, t in enumerate((0.2, 0.4, 0.6)):
        (px, py), _ = point_along(path, t)
        for j, alpha in enumerate((0.45, 0.7, 1.0)):
            chevron(c, px + 18, py - 16 + j * 6 + i * 2, 4.2, (150, 255, 170), alpha)
    return c


def median_cut(colours, count):
    """Splits the (colour, weight) list into count boxes along their widest
    channel; returns the weighted mean of each and which box a colour went to."""
    boxes = [list(colours)]
    while len(boxes) < count:
        def spread(b):
            return max(max(c[0][i] for c in b) - min(c[0][i] for c in b) for i in range(3)) if len(b) > 1 else -1

        widest = max(range(len(boxes)), key=lambda i: spread(boxes[i]) * math.log2(1 + sum(w for _, w in boxes[i])))
        b = boxes[widest]
        if spread(b) <= 0:
            break
        channel = max(range(3), key=lambda i: max(c[0][i] for c in b) - min(c[0][i] for c in b))
        b.sort(key=lambda c: c[0][channel])
        total, half, cut = sum(w for _, w in b), 0, 0
        for cut, (_, w) in enumerate(b):
            half += w
            if half * 2 >= total:
                break
        cut = max(1, min(len(b) - 1, cut + 1))
        boxes[widest:widest + 1] = [b[:cut], b[cut:]]
    palette, index = [], {}
    for i, b in enumerate(boxes):
        total = sum(w for _, w in b)
        palette.append(tuple(round(sum(c[i] * w for c, w in b) / total) for i in range(3)))
        for colour, _ in b:
            index[colour] = i
    return palette, index


def quantise(rows):
    counts = {}
    for row in rows:
        for colour in row:
            counts[colour] = counts.get(colour, 0) + 1
    palette, index = median_cut(counts.items(), 256)
    # Each colour to the nearest entry, not only to its box's mean.
    nearest = {}
    for colour in counts:
        guess = palette[index[colour]]
        best, best_d = index[colour], sum((a - b) ** 2 for a, b in zip(colour, guess))
        for i, p in enumerate(palette):
            d = (colour[0] - p[0]) ** 2 + (colour[1] - p[1]) ** 2 + (colour[2] - p[2]) ** 2
            if d < best_d:
                best, best_d = i, d
        nearest[colour] = best
    palette += [(0, 0, 0)] * (256 - len(palette))
    return palette, [[nearest[colour] for colour in row] for row in rows]


def write_bmp(path, palette, indices):
    stride = (WIDTH + 3) & ~3
    rows = b"".join(bytes(indices[y]) + b"\0" * (stride - WIDTH) for y in range(HEIGHT - 1, -1, -1))
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 14 + 40 + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, len(rows), 2835, 2835, 256, 256)
    with open(path, "wb") as out:
        out.write(header + info + colours + rows)


# The icons' colours: the sixteen of the standard VGA palette.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
       (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255),
       (0, 255, 255), (255, 255, 255)]
BLACK, GREEN, TEAL, SILVER, GREY, LIME, YELLOW, BLUE, AQUA, WHITE_I, NAVY = 0, 2, 6, 7, 8, 10, 11, 12, 14, 15, 4
CLEAR = None
FRAMES = 10


def arc_stops():
    """Ten stops on the arc from the computer's top to the printer's paper,
    evenly spaced, each the top left of a 2 x 2 dot."""
    stops = []
    for i in range(FRAMES):
        a = math.pi * (0.92 - 0.84 * i / (FRAMES - 1))
        stops.append((round(15 + 11.5 * math.cos(a)), round(12 - 10 * math.sin(a))))
    return stops


def draw_icon(frame):
    grid = [[CLEAR] * 32 for _ in range(32)]

    def fill(x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                grid[y][x] = colour

    def outline(x0, y0, x1, y1, colour):
        fill(x0, y0, x1, y1, BLACK)
        fill(x0 + 1, y0 + 1, x1 - 1, y1 - 1, colour)

    # The computer: monitor with a lit screen, on a stand.
    outline(0, 13, 14, 25, SILVER)
    fill(1, 14, 13, 14, WHITE_I)
    fill(1, 14, 1, 24, WHITE_I)
    fill(2, 24, 13, 24, GREY)
    outline(2, 15, 12, 22, NAVY)
    fill(3, 16, 11, 21, BLUE)
    fill(3, 16, 6, 16, AQUA)
    fill(3, 16, 3, 18, AQUA)
    fill(11, 23, 12, 23, LIME if frame % 2 == 0 else GREEN)
    fill(5, 26, 9, 27, GREY)
    outline(2, 27, 12, 30, SILVER)
    fill(3, 28, 11, 28, WHITE_I)

    # The printer: a sheet in the feeder, the body, the slot and a lamp.
    outline(20, 11, 28, 20, WHITE_I)
    for y in (13, 15, 17):
        fill(22, y, 26 if y != 15 else 25, y, GREY)
    outline(17, 19, 31, 29, SILVER)
    fill(18, 20, 30, 20, WHITE_I)
    fill(18, 20, 18, 28, WHITE_I)
    fill(19, 28, 30, 28, GREY)
    fill(19, 23, 27, 24, BLACK)
    fill(20, 25, 26, 25, WHITE_I)
    arrived = frame in (FRAMES - 1, 0)
    fill(29, 22, 29, 22, LIME if arrived else GREEN)

    # The route, and the packet running along it with a fading tail.
    stops = arc_stops()
    for x, y in stops:
        if grid[y][x] is CLEAR:
            grid[y][x] = GREY
    for back, colour in ((2, GREEN), (1, LIME), (0, YELLOW)):
        x, y = stops[(frame - back) % FRAMES]
        fill(x, y, x + 1, y + 1, colour)
    x, y = stops[frame]
    grid[y][x] = WHITE_I
    return grid


def write_ico(path, grid):
    xor = b"".join(bytes((grid[y][x] or 0) << 4 | (grid[y][x + 1] or 0) for x in range(0, 32, 2))
                   for y in range(31, -1, -1))
    mask = b""
    for y in range(31, -1, -1):
        bits = 0
        for x in range(32):
            bits = bits << 1 | (grid[y][x] is CLEAR)
        mask += bits.to_bytes(4, "big")
    info = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in VGA)
    image = info + colours + xor + mask
    head = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4, len(image), 22)
    with open(path, "wb") as out:
        out.write(head + image)


def check_bmp(path):
    data = open(path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    size, width, height, planes, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    used, = struct.unpack_from("<I", data, 46)
    assert data[:2] == b"BM" and size == 40 and (width, height, planes, bits, compression) == (WIDTH, HEIGHT, 1, 8, 0)
    assert used == 256 and offset == 14 + 40 + 4 * 256 and len(data) == offset + ((WIDTH + 3) & ~3) * HEIGHT, path


def check_ico(path):
    data = open(path, "rb").read()
    assert struct.unpack_from("<HHH", data) == (0, 1, 1), path
    width, height, colours, _, planes, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6)
    assert (width, height, colours, planes, bits, offset) == (32, 32, 16, 1, 4, 22) and len(data) == 22 + size
    assert struct.unpack_from("<IiiHH", data, 22) == (40, 32, 64, 1, 4) and size == 40 + 64 + 512 + 128, path


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    for name, draw in (("wizard_kind", draw_kind), ("wizard_lpr", draw_lpr), ("wizard_ipp", draw_ipp),
                       ("wizard_raw", draw_raw)):
        path = os.path.join(here, name + ".bmp")
        write_bmp(path, *quantise(draw().pixels()))
        check_bmp(path)
    for frame in range(FRAMES):
        path = os.path.join(here, "connect%02d.ico" % (frame + 1))
        write_ico(path, draw_icon(frame))
        check_ico(path)
