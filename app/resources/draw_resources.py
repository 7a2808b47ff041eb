#!/usr/bin/python3
"""Draws the program icon and the About picture into this folder.

The pictures are drawn from a few ellipses so that they can be changed here
and drawn again: run this script, then commit the files it writes.

  morvane-32.png, morvane-16.png  the program icon, 16 colours each
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
    draw_about()
