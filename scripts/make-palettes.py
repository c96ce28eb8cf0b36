#!/usr/bin/env python3
"""Writes the palettes that come with Corvane into resources/palettes/.

A palette file is plain text: one colour per line, three numbers red, green and blue
from 0 to 255. No header or comment: the first line that is not three numbers ends
the palette. The escape-time types colour a point that escaped after n iterations
with entry n (counted round the palette), so most of a picture shows the first few
dozen entries; the cyclic palettes repeat without a seam.

Run it again after changing a palette here: python3 scripts/make-palettes.py
"""
import colorsys
import os

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "resources", "palettes")


def ramp(stops, steps):
    """steps colours through the stops (r, g, b), evenly spaced, ending before the last."""
    colours = []
    segments = len(stops) - 1
    for i in range(steps):
        t = i * segments / steps
        k = min(int(t), segments - 1)
        f = t - k
        a, b = stops[k], stops[k + 1]
        colours.append(tuple(round(a[c] + (b[c] - a[c]) * f) for c in range(3)))
    return colours


def hue_cycle(steps, saturation, value):
    colours = []
    for i in range(steps):
        r, g, b = colorsys.hsv_to_rgb(i / steps, saturation, value)
        colours.append((round(r * 255), round(g * 255), round(b * 255)))
    return colours


PALETTES = {
    # Embers to white heat and back, 128 entries.
    "fire": ramp([(0, 0, 0), (120, 0, 0), (220, 40, 0), (255, 140, 0), (255, 230, 60),
                  (255, 255, 230), (255, 230, 60), (255, 140, 0), (220, 40, 0), (120, 0, 0),
                  (0, 0, 0)], 128),
    # The deep, shallow water and foam, 96 entries.
    "ocean": ramp([(0, 8, 40), (0, 40, 100), (0, 110, 150), (40, 190, 200), (200, 245, 250),
                   (40, 190, 200), (0, 110, 150), (0, 40, 100), (0, 8, 40)], 96),
    # Black to white and back, 64 entries.
    "grey": ramp([(0, 0, 0), (255, 255, 255), (0, 0, 0)], 64),
    # Every hue at full strength, 90 entries.
    "rainbow": hue_cycle(90, 1.0, 1.0),
    # Every hue, pale, 120 entries.
    "pastel": hue_cycle(120, 0.35, 0.97),
    # Sixteen strong colours that each differ clearly from the next: every band shows.
    "high-contrast": [(255, 255, 255), (0, 0, 0), (255, 255, 0), (0, 0, 255), (255, 0, 0),
                      (0, 255, 255), (255, 0, 255), (0, 128, 0), (255, 128, 0), (0, 0, 128),
                      (128, 255, 0), (128, 0, 128), (255, 192, 203), (0, 128, 128),
                      (255, 255, 128), (64, 64, 64)],
}


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, colours in PALETTES.items():
        with open(os.path.join(OUT, name + ".pal"), "w", newline="\n") as f:
            for r, g, b in colours:
                f.write(f"{r} {g} {b}\n")


if __name__ == "__main__":
    main()
