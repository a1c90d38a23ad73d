#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws Sorabune's icon and writes it as sorabune.xpm beside this script.

A wristwatch with a white face, a dark green rim and a red-and-blue striped
strap lies diagonally across a teal quilt inside a brown frame: 64 x 64
pixels, 16 colours, every pixel opaque. The picture is computed per pixel from
a few shapes, so a change to a shape here shows in the XPM's diff.
Run it after editing: /usr/bin/python3 packaging/icons/draw_icon.py
"""

import math
import pathlib

SIZE = 64
CENTRE = SIZE / 2

# One character per colour keeps the XPM readable as a picture.
PALETTE = {
    "F": "#3B2314",  # frame, outer and inner line
    "f": "#7A4A26",  # frame
    "h": "#A9713F",  # frame, lit bevel
    "Q": "#0B4D4F",  # quilt seams and shadow
    "q": "#17898A",  # quilt fabric
    "l": "#5CC2BC",  # quilt, lit side of a puff
    "W": "#FFFFFF",  # face
    "s": "#B8BCC0",  # minute marks, steel
    "K": "#141414",  # hands, hour marks, outlines
    "G": "#0F4A23",  # rim
    "g": "#2E8048",  # rim, lit
    "R": "#D8262C",  # strap stripe
    "r": "#8E1519",  # strap stripe, shade
    "B": "#2450C8",  # strap stripe
    "b": "#142A70",  # strap stripe, shade
    "Y": "#E3B23C",  # crown and buckle
}

FRAME = 4
QUILT_PITCH = 10
FACE_RADIUS = 11.5
RIM_RADIUS = 15.0
STRAP_HALF_WIDTH = 7.0
STRIPE_WIDTH = 2.4
BUCKLE_START = 27.0
TAIL_END = 34.0
SHADOW_OFFSET = 2.0


def along_across(x, y):
    """Pixel centre in the watch's own axes: u towards 12 o'clock (up right), v towards 3 o'clock."""
    dx = x + 0.5 - CENTRE
    dy = y + 0.5 - CENTRE
    return (dx - dy) / math.sqrt(2), (dx + dy) / math.sqrt(2)


def distance_to_segment(px, py, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)))
    return math.hypot(px - ax - t * vx, py - ay - t * vy)


def hand_end(clock_hours, length):
    """End of a hand in (u, v) for a position on the dial given in hours (0 to 12)."""
    angle = clock_hours / 12 * 2 * math.pi
    return length * math.cos(angle), length * math.sin(angle)


def frame(x, y):
    ring = min(x, y, SIZE - 1 - x, SIZE - 1 - y)
    if ring >= FRAME:
        return None
    if ring == 0 or ring == FRAME - 1:
        return "F"
    # Light from the top left: the top and left bevels are lit.
    return "h" if ring == 1 and x < SIZE - 1 - y else "f"


def quilt(x, y):
    # Diamond quilting: seams on both diagonals, each puff lit along its upper-left edge.
    a = (x + y) % QUILT_PITCH
    b = (x - y) % QUILT_PITCH
    if a == 0 or b == 0:
        return "Q"
    if a in (1, 2):
        return "l"
    return "q"


def strap(u, v):
    # Two pieces, open: the buckle's piece at 12 o'clock, the long tail at 6 o'clock.
    if abs(v) > STRAP_HALF_WIDTH or not (-TAIL_END <= u <= BUCKLE_START):
        return None
    if abs(v) > STRAP_HALF_WIDTH - 1 or u < -TAIL_END + 1:
        return "K"
    # Stripes run along the strap: blue, red, blue, red, blue.
    band = int((v + STRAP_HALF_WIDTH - 1) // STRIPE_WIDTH)
    # Woven ribs: each stripe darkens along its lower-right side, away from the light.
    dark = (v + STRAP_HALF_WIDTH - 1) % STRIPE_WIDTH > STRIPE_WIDTH - 0.75
    if band % 2 == 0:
        return "b" if dark else "B"
    return "r" if dark else "R"


def buckle(u, v):
    if BUCKLE_START <= u <= BUCKLE_START + 5 and abs(v) <= STRAP_HALF_WIDTH + 1:
        if BUCKLE_START + 1.5 <= u <= BUCKLE_START + 3.5 and abs(v) <= STRAP_HALF_WIDTH - 0.5:
            return "s" if abs(v) <= 0.7 else None  # the tongue across the opening
        return "Y"
    return None


def keeper(u, v):
    # The loop that holds the tail, just below the case.
    if -RIM_RADIUS - 6 <= u <= -RIM_RADIUS - 4 and abs(v) <= STRAP_HALF_WIDTH + 0.5:
        return "Y"
    return None


def lug(u, v):
    # Where the strap meets the case, 12 and 6 o'clock.
    if abs(u) <= RIM_RADIUS + 1.5 and abs(v) <= STRAP_HALF_WIDTH - 1.5:
        return "G"
    return None


def crown(u, v):
    if abs(u) <= 2 and RIM_RADIUS - 1 <= v <= RIM_RADIUS + 2.5:
        return "Y"
    return None


def dial(u, v):
    r = math.hypot(u, v)
    if r > RIM_RADIUS:
        return None
    if r > FACE_RADIUS + 1:
        # Lit on its upper-left half, which is the 9 o'clock side.
        return "g" if v < -1 and r < RIM_RADIUS - 1 else "G"
    if r > FACE_RADIUS:
        return "K"
    # Nine o'clock: on the tilted dial the hands open upwards like a V.
    for hours, length, width in ((9.0, 6.0, 1.05), (0.0, 9.5, 0.75)):
        eu, ev = hand_end(hours, length)
        if distance_to_segment(u, v, 0, 0, eu, ev) <= width:
            return "K"
    if r <= 1.2:
        return "K"
    angle = math.atan2(v, u) % (2 * math.pi)
    mark = round(angle / (2 * math.pi / 12)) % 12
    mark_angle = mark * 2 * math.pi / 12
    off = abs(((angle - mark_angle + math.pi) % (2 * math.pi)) - math.pi) * r
    if mark % 3 == 0 and r >= FACE_RADIUS - 3 and off <= 0.8:
        return "K"
    if mark % 3 != 0 and r >= FACE_RADIUS - 1.8 and off <= 0.6:
        return "s"
    return "W"


def shadow(u, v):
    # Light comes from the top left, so the watch's shadow falls to the lower right onto the quilt.
    sv = v - SHADOW_OFFSET
    if math.hypot(u, sv) <= RIM_RADIUS or (abs(sv) <= STRAP_HALF_WIDTH and -TAIL_END + 2 <= u <= BUCKLE_START + 5):
        return "Q"
    return None


def pixel(x, y):
    edge = frame(x, y)
    if edge:
        return edge
    u, v = along_across(x, y)
    for layer in (crown, dial, lug, buckle, keeper, strap, shadow):
        colour = layer(u, v)
        if colour:
            return colour
    return quilt(x, y)


def xpm_text():
    lines = [
        "/* XPM */",
        "/* Generated by draw_icon.py: edit that script, not this file. */",
        "static const char *const sorabune[] = {",
        f'"{SIZE} {SIZE} {len(PALETTE)} 1",',
    ]
    lines += [f'"{key} c {value}",' for key, value in PALETTE.items()]
    rows = ["".join(pixel(x, y) for x in range(SIZE)) for y in range(SIZE)]
    lines += [f'"{row}",' for row in rows[:-1]] + [f'"{rows[-1]}"', "};"]
    return "\n".join(lines) + "\n"


if __name__ == "__main__":
    out = pathlib.Path(__file__).with_name("sorabune.xpm")
    out.write_text(xpm_text(), encoding="ascii")
