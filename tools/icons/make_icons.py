#!/usr/bin/env python3
"""Builds the desktop icon files from the program icon drawn in resources/orvelle-icon.xpm.

Writes, next to the drawing:
  orvelle.ico            Windows icon (16, 32 and 48 pixel images) for orvelle.rc
  icons/orvelle-NN.png   PNG icons for the Linux desktop (16, 32, 48 and 64 pixels)

The 32 pixel images are the drawing itself; 64 doubles each pixel, 16 and 48 are resampled by
area averaging. Python standard library only, so it runs wherever the sources are checked out:

    python3 tools/icons/make_icons.py [resources-folder]
"""

import os
import re
import struct
import sys
import zlib

# A few colour names we may meet in hand-written XPM files; everything else is #RRGGBB.
NAMED_COLOURS = {
    "black": (0, 0, 0),
    "white": (255, 255, 255),
    "red": (255, 0, 0),
    "yellow": (255, 255, 0),
    "blue": (0, 0, 255),
    "gray": (128, 128, 128),
    "grey": (128, 128, 128),
}


class XpmError(Exception):
    pass


def parse_colour(spec):
    spec = spec.strip()
    if spec.lower() == "none":
        return (0, 0, 0, 0)
    if spec.startswith("#"):
        digits = spec[1:]
        if len(digits) == 6:
            return tuple(int(digits[i:i + 2], 16) for i in (0, 2, 4)) + (255,)
        if len(digits) == 12:
            return tuple(int(digits[i:i + 4], 16) >> 8 for i in (0, 4, 8)) + (255,)
        raise XpmError("unsupported colour %r" % spec)
    name = spec.lower()
    if name in NAMED_COLOURS:
        return NAMED_COLOURS[name] + (255,)
    raise XpmError("unknown colour name %r" % spec)


def read_xpm(path):
    """Returns (width, height, rows) where rows is a list of lists of RGBA tuples."""
    with open(path, encoding="ascii") as f:
        text = f.read()
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    strings = re.findall(r'"((?:[^"\\]|\\.)*)"', text)
    if not strings:
        raise XpmError("%s: no XPM strings" % path)
    values = strings[0].split()
    if len(values) < 4:
        raise XpmError("%s: bad XPM header %r" % (path, strings[0]))
    width, height, ncolours, cpp = (int(v) for v in values[:4])
    if len(strings) < 1 + ncolours + height:
        raise XpmError("%s: expected %d colours and %d rows" % (path, ncolours, height))
    palette = {}
    for entry in strings[1:1 + ncolours]:
        key, rest = entry[:cpp], entry[cpp:]
        match = re.search(r"(?:^|\s)c\s+(\S+)", rest)
        if not match:
            raise XpmError("%s: colour entry without a c key: %r" % (path, entry))
        palette[key] = parse_colour(match.group(1))
    rows = []
    for number, line in enumerate(strings[1 + ncolours:1 + ncolours + height]):
        if len(line) != width * cpp:
            raise XpmError("%s: row %d has %d characters, expected %d"
                           % (path, number, len(line), width * cpp))
        row = []
        for x in range(width):
            key = line[x * cpp:(x + 1) * cpp]
            if key not in palette:
                raise XpmError("%s: row %d uses undefined colour %r" % (path, number, key))
            row.append(palette[key])
        rows.append(row)
    return width, height, rows


def png_bytes(rows):
    """Encodes RGBA rows as a PNG file (colour type 6, 8 bits)."""
    height, width = len(rows), len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for pixel in row:
            raw.extend(pixel)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def scale_nearest(rows, factor):
    out = []
    for row in rows:
        wide = [pixel for pixel in row for _ in range(factor)]
        out.extend([list(wide) for _ in range(factor)])
    return out


def scale_area(rows, size):
    """Resamples to size x size by area averaging, weighting colour by opacity."""
    height, width = len(rows), len(rows[0])
    sx, sy = width / size, height / size
    out = []
    for oy in range(size):
        y0, y1 = oy * sy, (oy + 1) * sy
        line = []
        for ox in range(size):
            x0, x1 = ox * sx, (ox + 1) * sx
            acc = [0.0, 0.0, 0.0, 0.0]
            area = 0.0
            for y in range(int(y0), min(height, int(y1 + 0.999999))):
                wy = min(y + 1, y1) - max(y, y0)
                if wy <= 0:
                    continue
                for x in range(int(x0), min(width, int(x1 + 0.999999))):
                    wx = min(x + 1, x1) - max(x, x0)
                    if wx <= 0:
                        continue
                    w = wx * wy
                    r, g, b, a = rows[y][x]
                    alpha = a / 255.0
                    acc[0] += r * alpha * w
                    acc[1] += g * alpha * w
                    acc[2] += b * alpha * w
                    acc[3] += alpha * w
                    area += w
            alpha = acc[3] / area if area else 0.0
            if alpha <= 0.0:
                line.append((0, 0, 0, 0))
            else:
                line.append(tuple(min(255, round(c / acc[3])) for c in acc[:3])
                            + (min(255, round(alpha * 255)),))
        out.append(line)
    return out


def resize(rows, size):
    current = len(rows)
    if size == current:
        return rows
    if size % current == 0:
        return scale_nearest(rows, size // current)
    return scale_area(rows, size)


def ico_image(rows):
    """One icon directory image: a 32-bit BMP with its one-bit AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            colour.extend((b, g, r, a))
    mask = bytearray()
    stride = ((size + 31) // 32) * 4
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask.extend(bits)
    return header + bytes(colour) + bytes(mask)


def ico_bytes(images):
    """A Windows .ico holding the given square images."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, data = b"", b""
    for rows in images:
        size = len(rows)
        payload = ico_image(rows)
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32,
                               len(payload), offset + len(data))
        data += payload
    return directory + entries + data


def write_if_changed(path, data):
    if os.path.exists(path):
        with open(path, "rb") as f:
            if f.read() == data:
                return False
    with open(path, "wb") as f:
        f.write(data)
    return True


def main(argv):
    folder = argv[1] if len(argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources")
    folder = os.path.normpath(folder)
    width, height, rows = read_xpm(os.path.join(folder, "orvelle-icon.xpm"))
    if (width, height) != (32, 32):
        raise XpmError("the program icon must be 32 x 32, found %d x %d" % (width, height))

    written = []
    icons = os.path.join(folder, "icons")
    os.makedirs(icons, exist_ok=True)
    for size in (16, 32, 48, 64):
        path = os.path.join(icons, "orvelle-%d.png" % size)
        if write_if_changed(path, png_bytes(resize(rows, size))):
            written.append(path)
    path = os.path.join(folder, "orvelle.ico")
    if write_if_changed(path, ico_bytes([resize(rows, s) for s in (16, 32, 48)])):
        written.append(path)
    for path in written:
        print("wrote", os.path.relpath(path))
    if not written:
        print("icon files are up to date")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv))
    except (OSError, XpmError, ValueError) as error:
        print("make_icons: %s" % error, file=sys.stderr)
        sys.exit(1)
