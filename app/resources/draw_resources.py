#!/usr/bin/python3
"""Draws the program icon and the About picture into this folder.

The pictures are drawn from a few ellipses so that they can be changed here
and drawn again: run this script, then commit the files it writes.

  morvane-32.png, morvane-16.png  the program icon, 16 colours each
  icons/morvane-N.png             the icon for the desktop at 48, 64, 128 and
                                  256 pixels, smoothed, with an alpha channel
  icons/morvane.svg               the same face as a scalable drawing
  about.bmp                       the About picture, 124 x 78, 256 colours
"""

import math
import os

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))

TRANSPARENT, OUTLINE, SKIN, SHADOW, HAIR, HAIR_LIGHT, EYE_WHITE, IRIS, MOUTH, BROW = range(10)

# The icon's sixteen colours; index 0 is see-through.
ICON_PALETTE = [
    (0, 0, 0), (48, 28, 20), (242, 198, 152), (206, 150, 108),
    (112, 62, 26), (168, 102, 44), (250, 250, 250), (40, 96, 204),
    (186, 48, 48), (72, 40, 20), (44, 70, 140), (80, 112, 190),
    (0, 0, 0), (128, 128, 128), (192, 192, 192), (255, 255, 255),
]


def inside(x, y, cx, cy, rx, ry):
    return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def face_part(x, y):
    """The part of a face at (x, y), both from 0 to 1, y downwards."""
    for cx in (0.37, 0.63):
        if inside(x, y, cx, 0.53, 0.035, 0.045):
            return IRIS
        if inside(x, y, cx, 0.53, 0.085, 0.055):
            return EYE_WHITE
        if abs(x - cx) < 0.09 and 0.43 <= y <= 0.46:
            return BROW
    if inside(x, y, 0.5, 0.77, 0.12, 0.04):
        return MOUTH
    if inside(x, y, 0.5, 0.64, 0.035, 0.06):
        return SHADOW
    fringe = 0.30 + 0.04 * math.sin(x * 18.0)
    if inside(x, y, 0.5, 0.55, 0.30, 0.38):
        if y < fringe:
            return HAIR_LIGHT if (x * 7.0 + y * 3.0) % 1.0 < 0.25 else HAIR
        return SKIN
    if inside(x, y, 0.5, 0.42, 0.36, 0.32) and y < 0.62:
        return HAIR
    return TRANSPARENT


def draw_icon(size):
    """The face drawn cell by cell; each pixel takes the part most of it shows."""
    samples = 6
    grid = []
    for py in range(size):
        row = []
        for px in range(size):
            votes = {}
            for sy in range(samples):
                for sx in range(samples):
                    part = face_part((px + (sx + 0.5) / samples - 1) / (size - 2),
                                     (py + (sy + 0.5) / samples - 1) / (size - 2))
                    votes[part] = votes.get(part, 0) + 1
            row.append(max(votes, key=votes.get))
        grid.append(row)
    # A dark outline round the head, so that the face reads on any background.
    outlined = [row[:] for row in grid]
    for py in range(size):
        for px in range(size):
            if grid[py][px] != TRANSPARENT:
                continue
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                nx, ny = px + dx, py + dy
                if 0 <= nx < size and 0 <= ny < size and grid[ny][nx] != TRANSPARENT:
                    outlined[py][px] = OUTLINE
                    break
    image = Image.new("P", (size, size))
    image.putpalette([channel for colour in ICON_PALETTE for channel in colour])
    image.putdata([part for row in outlined for part in row])
    image.save(os.path.join(HERE, "morvane-%d.png" % size), bits=4, transparency=0,
               optimize=False)


# Outside the head, this far from it (in face units), is the dark outline of
# the desktop icons.
OUTLINE_WIDTH = 0.035


def head_outline(x, y):
    """Whether (x, y) lies in the outline band round the head."""
    w = OUTLINE_WIDTH
    return (inside(x, y, 0.5, 0.55, 0.30 + w, 0.38 + w) or
            (inside(x, y, 0.5, 0.42, 0.36 + w, 0.32 + w) and y < 0.62 + w * 0.5))


def draw_large_icon(size):
    """The face for the desktop: each pixel the mean of 4 x 4 samples, with alpha."""
    samples = 4
    colours = dict(enumerate(ICON_PALETTE))
    image = Image.new("RGBA", (size, size))
    pixels = []
    for py in range(size):
        for px in range(size):
            total = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    y = (py + (sy + 0.5) / samples) / size
                    part = face_part(x, y)
                    if part == TRANSPARENT and head_outline(x, y):
                        part = OUTLINE
                    if part == TRANSPARENT:
                        continue
                    colour = colours[part]
                    for i in range(3):
                        total[i] += colour[i]
                    total[3] += 1
            covered = total[3]
            if covered == 0:
                pixels.append((0, 0, 0, 0))
                continue
            pixels.append(tuple(round(total[i] / covered) for i in range(3)) +
                          (round(255 * covered / (samples * samples)),))
    image.putdata(pixels)
    os.makedirs(os.path.join(HERE, "icons"), exist_ok=True)
    image.save(os.path.join(HERE, "icons", "morvane-%d.png" % size), optimize=True)


def svg_colour(part):
    return "#%02x%02x%02x" % ICON_PALETTE[part]


def svg_ellipse(cx, cy, rx, ry, fill, extra=""):
    return ('<ellipse cx="%.2f" cy="%.2f" rx="%.2f" ry="%.2f" fill="%s"%s/>' %
            (cx * 256, cy * 256, rx * 256, ry * 256, svg_colour(fill), extra))


def svg_points(points):
    return " ".join("%.2f,%.2f" % (x * 256, y * 256) for x, y in points)


def draw_svg():
    """The same face from the same ellipses, painted from the back to the front."""
    w = OUTLINE_WIDTH
    fringe = [(i / 64.0, 0.30 + 0.04 * math.sin(i / 64.0 * 18.0)) for i in range(65)]
    stripes = []
    for k in range(-1, 11):
        stripes.append('<polygon points="%s" fill="%s"/>' % (
            svg_points([(k / 7.0, 0.0), ((k + 0.25) / 7.0, 0.0),
                        ((k + 0.25 - 3) / 7.0, 1.0), ((k - 3) / 7.0, 1.0)]),
            svg_colour(HAIR_LIGHT)))
    eyes = []
    for cx in (0.37, 0.63):
        eyes.append('<rect x="%.2f" y="%.2f" width="%.2f" height="%.2f" fill="%s"/>' % (
            (cx - 0.09) * 256, 0.43 * 256, 0.18 * 256, 0.03 * 256, svg_colour(BROW)))
        eyes.append(svg_ellipse(cx, 0.53, 0.085, 0.055, EYE_WHITE))
        eyes.append(svg_ellipse(cx, 0.53, 0.035, 0.045, IRIS))
    lines = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        '<!-- Drawn by draw_resources.py; change it there and draw again. -->',
        '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">',
        '<defs>',
        '<clipPath id="aboveChin"><rect x="0" y="0" width="256" height="%.2f"/></clipPath>' %
        (0.62 * 256),
        '<clipPath id="outlineAboveChin"><rect x="0" y="0" width="256" height="%.2f"/>'
        '</clipPath>' % ((0.62 + w * 0.5) * 256),
        '<clipPath id="face">%s</clipPath>' % svg_ellipse(0.5, 0.55, 0.30, 0.38, SKIN),
        '<clipPath id="fringe"><polygon points="%s"/></clipPath>' %
        svg_points([(1.0, 0.0), (0.0, 0.0)] + fringe),
        '</defs>',
        svg_ellipse(0.5, 0.42, 0.36 + w, 0.32 + w, OUTLINE, ' clip-path="url(#outlineAboveChin)"'),
        svg_ellipse(0.5, 0.55, 0.30 + w, 0.38 + w, OUTLINE),
        svg_ellipse(0.5, 0.42, 0.36, 0.32, HAIR, ' clip-path="url(#aboveChin)"'),
        svg_ellipse(0.5, 0.55, 0.30, 0.38, SKIN),
        '<g clip-path="url(#face)"><g clip-path="url(#fringe)">',
        '<rect x="0" y="0" width="256" height="256" fill="%s"/>' % svg_colour(HAIR),
    ] + stripes + [
        '</g></g>',
        svg_ellipse(0.5, 0.64, 0.035, 0.06, SHADOW),
        svg_ellipse(0.5, 0.77, 0.12, 0.04, MOUTH),
    ] + eyes + ['</svg>']
    os.makedirs(os.path.join(HERE, "icons"), exist_ok=True)
    with open(os.path.join(HERE, "icons", "morvane.svg"), "w") as svg:
        svg.write("\n".join(lines) + "\n")


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))



BACKDROPS = [(96, 128, 176), (150, 110, 150), (104, 150, 112)]
SKINS = [(242, 198, 152), (196, 140, 100), (250, 214, 184)]
HAIRS = [(60, 36, 20), (206, 164, 70), (140, 60, 30)]
IRISES = [(40, 96, 204), (70, 130, 60), (96, 64, 32)]
SHIRTS = [(44, 70, 140), (40, 40, 44), (130, 36, 36)]


def card_colour(n, x, y):
    """Face card n, 32 x 64: a head and shoulders with the texture's proportions."""
    if y >= 0.72:
        shoulder = inside(x, y, 0.5, 1.02, 0.55, 0.30)
        neck = abs(x - 0.5) < 0.10
        if neck and y < 0.80:
            return mix(SKINS[n], (0, 0, 0), 0.2)
        if shoulder:
            return mix(SHIRTS[n], (255, 255, 255), 0.15 * (1.0 - y))
    fy = (y - 0.08) / 0.66
    part = face_part(x, fy) if 0.0 <= fy <= 1.0 else TRANSPARENT
    skin = SKINS[n]
    colours = {
        SKIN: mix(skin, (255, 255, 255), 0.15 * (1.0 - abs(x - 0.45) * 2)),
        SHADOW: mix(skin, (0, 0, 0), 0.22),
        HAIR: HAIRS[n], HAIR_LIGHT: mix(HAIRS[n], (255, 255, 255), 0.25),
        EYE_WHITE: (248, 248, 248), IRIS: IRISES[n], MOUTH: (176, 50, 54),
        BROW: mix(HAIRS[n], (0, 0, 0), 0.4),
    }
    if part != TRANSPARENT:
        return colours[part]
    return mix(BACKDROPS[n], (255, 255, 255), 0.25 * (1.0 - y))


def about_colour(x, y):
    """The About picture at (x, y) in pixels: three face cards on a night sky."""
    cards_top = 7
    for n in range(3):
        left = 6 + n * 40
        if left <= x < left + 32 and cards_top <= y < cards_top + 64:
            return card_colour(n, (x - left) / 32.0, (y - cards_top) / 64.0)
        # A soft shadow below and to the right of each card.
        if left + 2 <= x < left + 34 and cards_top + 2 <= y < cards_top + 66:
            return (18, 22, 40)
    t = y / 78.0
    sky = mix((24, 32, 72), (70, 40, 96), t)
    glow = max(0.0, 1.0 - math.hypot(x - 62, y - 40) / 70.0)
    return mix(sky, (120, 90, 160), glow * 0.5)


def draw_about():
    width, height, samples = 124, 78, 4
    image = Image.new("RGB", (width, height))
    pixels = []
    for py in range(height):
        for px in range(width):
            total = [0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    colour = about_colour(px + (sx + 0.5) / samples, py + (sy + 0.5) / samples)
                    for i in range(3):
                        total[i] += colour[i]
            pixels.append(tuple(round(c / (samples * samples)) for c in total))
    image.putdata(pixels)
    image.quantize(colors=256, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE) \
        .save(os.path.join(HERE, "about.bmp"))


if __name__ == "__main__":
    draw_icon(32)
    draw_icon(16)
    for large in (48, 64, 128, 256):
        draw_large_icon(large)
    draw_svg()
    draw_about()
