#!/usr/bin/python3
"""Draws the editor's four images and writes them beside this script.

Run it again after changing a drawing: /usr/bin/python3 resources/make_images.py
It needs Pillow (Debian: python3-pil) and nothing else; every shape is drawn from
geometry, so the output does not depend on the fonts a machine has.

  link.png     1080 x 1080  white chain-link icon on a transparent ground
  logo.png     1080 x 1080  round badge with a soft-clipped wave
  title.png     608 x 201   the lettering "KORVEL"
  texture.png  1080 x 1080  opaque orange sand ripples
"""

import math
import os
import random

from PIL import Image, ImageChops, ImageDraw, ImageFilter

HERE = os.path.dirname(os.path.abspath(__file__))

# Shapes are drawn this many times larger and scaled down, which smooths their edges.
OVERSAMPLE = 4


def save(image, name):
    image.save(os.path.join(HERE, name), optimize=True)


def white_on_mask(mask):
    """An RGBA image that is white wherever the mask is set, transparent elsewhere."""
    image = Image.new("RGBA", mask.size, (255, 255, 255, 0))
    image.putalpha(mask)
    return image


def downsample(mask, size):
    return mask.resize(size, Image.LANCZOS)


# ---------------------------------------------------------------------------
# Chain link

def stadium_ring(size, centre, length, height, stroke):
    """Mask of a rounded-end ring lying along the x axis."""
    mask = Image.new("L", size, 0)
    draw = ImageDraw.Draw(mask)
    cx, cy = centre
    outer = (cx - length / 2, cy - height / 2, cx + length / 2, cy + height / 2)
    draw.rounded_rectangle(outer, radius=height / 2, fill=255)
    inner = (outer[0] + stroke, outer[1] + stroke, outer[2] - stroke, outer[3] - stroke)
    draw.rounded_rectangle(inner, radius=height / 2 - stroke, fill=0)
    return mask


def make_link():
    side = 1080 * OVERSAMPLE
    size = (side, side)
    s = OVERSAMPLE
    cy = side / 2
    length, height, stroke, gap = 560 * s, 300 * s, 70 * s, 28 * s

    left = stadium_ring(size, (side / 2 - 170 * s, cy), length, height, stroke)
    right = stadium_ring(size, (side / 2 + 170 * s, cy), length, height, stroke)
    left_cut = stadium_ring(size, (side / 2 - 170 * s, cy), length + 2 * gap, height + 2 * gap, stroke + 2 * gap)
    right_cut = stadium_ring(size, (side / 2 + 170 * s, cy), length + 2 * gap, height + 2 * gap, stroke + 2 * gap)

    # The links pass over each other once above and once below the axis, which makes
    # them read as interlocked rather than merely overlapping.
    upper = ImageChops.lighter(left, ImageChops.subtract(right, left_cut))
    lower = ImageChops.lighter(right, ImageChops.subtract(left, right_cut))
    top_half = Image.new("L", size, 0)
    ImageDraw.Draw(top_half).rectangle((0, 0, side, cy), fill=255)
    chain = Image.composite(upper, lower, top_half)

    chain = chain.rotate(45, resample=Image.BICUBIC)
    save(white_on_mask(downsample(chain, (1080, 1080))), "link.png")


# ---------------------------------------------------------------------------
# Logo

def make_logo():
    side = 1080 * OVERSAMPLE
    s = OVERSAMPLE
    centre = side / 2

    disc = Image.new("L", (side, side), 0)
    ImageDraw.Draw(disc).ellipse((60 * s, 60 * s, side - 60 * s, side - 60 * s), fill=255)

    lines = Image.new("L", (side, side), 0)
    draw = ImageDraw.Draw(lines)
    draw.ellipse((60 * s, 60 * s, side - 60 * s, side - 60 * s), outline=255, width=34 * s)
    draw.ellipse((130 * s, 130 * s, side - 130 * s, side - 130 * s), outline=255, width=8 * s)

    # One period of a sine driven hard into a soft clipper: what the plug-in does.
    points = []
    for i in range(241):
        t = i / 240
        x = centre + (t - 0.5) * 640 * s
        y = centre - math.tanh(3.2 * math.sin(2 * math.pi * t)) * 230 * s
        points.append((x, y))
    # Round caps and joins: a disc at every vertex and a plain segment between them.
    r = 29 * s
    draw.line(points, fill=255, width=2 * r)
    for px, py in points:
        draw.ellipse((px - r, py - r, px + r, py + r), fill=255)

    disc = downsample(disc, (1080, 1080))
    lines = downsample(lines, (1080, 1080))

    logo = Image.new("RGBA", (1080, 1080), (38, 24, 18, 0))
    logo.putalpha(disc)
    strokes = Image.new("RGBA", (1080, 1080), (255, 178, 82, 0))
    strokes.putalpha(lines)
    logo.alpha_composite(strokes)
    save(logo, "logo.png")


# ---------------------------------------------------------------------------
# Title lettering

def slanted_bar(draw, top_x, bottom_x, top_y, bottom_y, width):
    """A stroke whose ends are cut level, so it sits flush on the lines of the lettering."""
    half = width / 2
    draw.polygon([(top_x - half, top_y), (top_x + half, top_y),
                  (bottom_x + half, bottom_y), (bottom_x - half, bottom_y)], fill=255)


def make_title():
    s = OVERSAMPLE
    size = (608 * s, 201 * s)
    mask = Image.new("L", size, 0)
    draw = ImageDraw.Draw(mask)

    top, bottom = 38 * s, 163 * s
    middle = (top + bottom) / 2
    stroke = 24 * s
    width = 78 * s
    advance = width + 22 * s
    left = (size[0] - (6 * width + 5 * 22 * s)) / 2

    def x(letter, fraction):
        return left + letter * advance + fraction * width

    # K
    draw.rectangle((x(0, 0), top, x(0, 0) + stroke, bottom), fill=255)
    slanted_bar(draw, x(0, 1) - stroke * 0.6, x(0, 0) + stroke * 1.1, top, middle + stroke * 0.4, stroke * 1.25)
    slanted_bar(draw, x(0, 0) + stroke * 1.6, x(0, 1) - stroke * 0.6, middle - stroke * 0.6, bottom, stroke * 1.25)

    # O
    draw.ellipse((x(1, 0), top, x(1, 1), bottom), fill=255)
    draw.ellipse((x(1, 0) + stroke, top + stroke, x(1, 1) - stroke, bottom - stroke), fill=0)

    # R
    bowl_bottom = middle + stroke / 2
    bowl_height = bowl_bottom - top
    draw.rectangle((x(2, 0), top, x(2, 0) + stroke, bottom), fill=255)
    draw.rectangle((x(2, 0), top, x(2, 1) - bowl_height / 2, top + stroke), fill=255)
    draw.rectangle((x(2, 0), bowl_bottom - stroke, x(2, 1) - bowl_height / 2, bowl_bottom), fill=255)
    draw.arc((x(2, 1) - bowl_height, top, x(2, 1), bowl_bottom), 270, 90, fill=255, width=stroke)
    slanted_bar(draw, x(2, 0.45), x(2, 1) - stroke * 0.55, bowl_bottom - stroke, bottom, stroke * 1.2)

    # V
    slanted_bar(draw, x(3, 0) + stroke * 0.6, x(3, 0.5), top, bottom, stroke * 1.2)
    slanted_bar(draw, x(3, 1) - stroke * 0.6, x(3, 0.5), top, bottom, stroke * 1.2)

    # E
    draw.rectangle((x(4, 0), top, x(4, 0) + stroke, bottom), fill=255)
    draw.rectangle((x(4, 0), top, x(4, 0.95), top + stroke), fill=255)
    draw.rectangle((x(4, 0), middle - stroke / 2, x(4, 0.8), middle + stroke / 2), fill=255)
    draw.rectangle((x(4, 0), bottom - stroke, x(4, 0.95), bottom), fill=255)

    # L
    draw.rectangle((x(5, 0.1), top, x(5, 0.1) + stroke, bottom), fill=255)
    draw.rectangle((x(5, 0.1), bottom - stroke, x(5, 1), bottom), fill=255)

    letters = downsample(mask, (608, 201))

    # A soft shadow keeps the white letters readable on the light parts of the texture.
    shadow_mask = Image.new("L", letters.size, 0)
    shadow_mask.paste(letters, (4, 6))
    shadow_mask = shadow_mask.filter(ImageFilter.GaussianBlur(5)).point(lambda v: v * 150 // 255)
    title = Image.new("RGBA", letters.size, (40, 20, 10, 0))
    title.putalpha(shadow_mask)
    title.alpha_composite(white_on_mask(letters))
    save(title, "title.png")


# ---------------------------------------------------------------------------
# Background texture

def smooth_noise(rng, cells, size):
    """Value noise: a coarse grid of random numbers, interpolated smoothly between cells."""
    grid = [[rng.uniform(-1.0, 1.0) for _ in range(cells + 2)] for _ in range(cells + 2)]
    scale = cells / size

    def at(x, y):
        gx, gy = x * scale, y * scale
        ix, iy = int(gx), int(gy)
        fx, fy = gx - ix, gy - iy
        fx, fy = fx * fx * (3 - 2 * fx), fy * fy * (3 - 2 * fy)
        top = grid[iy][ix] + (grid[iy][ix + 1] - grid[iy][ix]) * fx
        bottom = grid[iy + 1][ix] + (grid[iy + 1][ix + 1] - grid[iy + 1][ix]) * fx
        return top + (bottom - top) * fy

    return at


def make_texture():
    side = 1080
    rng = random.Random(1080)
    base = (222, 118, 38)
    crest = (250, 168, 84)
    trough = (156, 68, 18)

    # Wind-blown ripples: crests that wander sideways and bunch up here and there.
    wander = smooth_noise(rng, 5, side)
    bunching = smooth_noise(rng, 9, side)
    period = 44.0
    pixels = bytearray()

    for y in range(side):
        for x in range(side):
            offset = 60.0 * wander(x, y) + 10.0 * bunching(x, y) + 14.0 * math.sin(x * 0.009 + 1.3)
            phase = ((y + offset) / period) % 1.0
            # A long gentle windward slope and a short steep lee face, as sand ripples have.
            slope = phase / 0.72 if phase < 0.72 else (1.0 - phase) / 0.28
            light = 0.5 + 0.5 * math.cos(math.pi * slope)
            if light > 0.5:
                t = (light - 0.5) * 1.1
                colour = [base[i] + (crest[i] - base[i]) * t for i in range(3)]
            else:
                t = (0.5 - light) * 0.9
                colour = [base[i] + (trough[i] - base[i]) * t for i in range(3)]
            pixels.extend(int(c) for c in colour)

    texture = Image.frombytes("RGB", (side, side), bytes(pixels))
    texture = texture.filter(ImageFilter.GaussianBlur(0.7))
    save(texture.convert("RGBA"), "texture.png")


if __name__ == "__main__":
    make_link()
    make_logo()
    make_title()
    make_texture()
