#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the utility's own pictures and writes them under app/resources/.

The logo is a GIF89a of 118 x 82 pixels with a 64-entry global colour table
whose index 48 is both the background and the transparent colour, one frame,
LZW-coded here so that no image library is needed. The button pictures and
the icons are PNG files. Run it again after changing a drawing; the output is
deterministic, so an unchanged drawing gives byte-identical files.
"""
import math
import os
import struct
import sys
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app", "resources")

# --- a tiny 5x7 bitmap font, just the letters the logo needs --------------
GLYPHS = {
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "Y": ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
    " ": ["00000"] * 7,
}


def text_pixels(text, scale):
    """Yields (x, y) of set pixels of `text` drawn at `scale`, origin top-left."""
    x0 = 0
    for ch in text:
        rows = GLYPHS[ch]
        for gy, row in enumerate(rows):
            for gx, bit in enumerate(row):
                if bit == "1":
                    for sy in range(scale):
                        for sx in range(scale):
                            yield x0 + gx * scale + sx, gy * scale + sy
        x0 += 6 * scale


def text_width(text, scale):
    return len(text) * 6 * scale - scale


# --- GIF89a with its own LZW encoder ---------------------------------------
def lzw_encode(indices, min_code_size):
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    bit_buf = 0
    bit_len = 0

    def emit(code, size):
        nonlocal bit_buf, bit_len
        bit_buf |= code << bit_len
        bit_len += size
        while bit_len >= 8:
            out.append(bit_buf & 0xFF)
            bit_buf >>= 8
            bit_len -= 8

    table = {(i,): i for i in range(clear)}
    next_code = end + 1
    code_size = min_code_size + 1
    emit(clear, code_size)
    prefix = (indices[0],)
    for px in indices[1:]:
        candidate = prefix + (px,)
        if candidate in table:
            prefix = candidate
            continue
        emit(table[prefix], code_size)
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << code_size) and code_size < 12:
                code_size += 1
        else:
            emit(clear, code_size)
            table = {(i,): i for i in range(clear)}
            next_code = end + 1
            code_size = min_code_size + 1
        prefix = (px,)
    emit(table[prefix], code_size)
    emit(end, code_size)
    if bit_len:
        out.append(bit_buf & 0xFF)
    return bytes(out)


def write_gif(path, width, height, palette, pixels, transparent):
    assert len(palette) == 64 and len(pixels) == width * height
    data = bytearray(b"GIF89a")
    # Global colour table of 2^(5+1) = 64 entries; background index = transparent.
    data += struct.pack("<HHBBB", width, height, 0x80 | 0x70 | 0x05, transparent, 0)
    for r, g, b in palette:
        data += bytes((r, g, b))
    # Graphic control extension: no disposal, transparent flag, no delay.
    data += bytes((0x21, 0xF9, 4, 0x01, 0, 0, transparent, 0))
    data += b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0)
    min_code_size = 6
    data.append(min_code_size)
    coded = lzw_encode(pixels, min_code_size)
    for i in range(0, len(coded), 255):
        block = coded[i:i + 255]
        data.append(len(block))
        data += block
    data += b"\x00\x3b"
    with open(path, "wb") as f:
        f.write(data)


# --- PNG (RGBA) -------------------------------------------------------------
def write_png(path, size, rgba):
    raw = bytearray()
    for y in range(size):
        raw.append(0)
        for x in range(size):
            raw += bytes(rgba[y * size + x])

    def chunk(kind, body):
        c = struct.pack(">I", len(body)) + kind + body
        return c + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def blend(c1, c2, t):
    return tuple(int(round(a + (b - a) * t)) for a, b in zip(c1, c2))


# --- the drawings -------------------------------------------------------------
def draw_logo(k=1):
    """The logo at k times its size: k = 1 is the window's GIF; k = 2 the
    source that high-resolution screens draw it from."""
    w, h = 118 * k, 82 * k
    transparent = 48
    # 0-31: deep blue to teal; 32-47: teal to white; 48: transparent (magenta,
    # never seen); 49-63: greys for the lettering's shadow.
    palette = []
    for i in range(32):
        palette.append(blend((16, 42, 96), (24, 140, 160), i / 31))
    for i in range(16):
        palette.append(blend((24, 140, 160), (250, 252, 255), i / 15))
    palette.append((255, 0, 255))
    for i in range(15):
        palette.append(blend((40, 40, 48), (200, 200, 208), i / 14))
    px = [transparent] * (w * h)

    def at(x):
        """The logo coordinate of pixel x of the k-times picture."""
        return (x + 0.5) / k - 0.5 if k > 1 else x

    # A rounded badge with a diagonal gradient.
    radius = 12
    x0, y0, x1, y1 = 2, 4, 115, 77
    for yy in range(y0 * k, (y1 + 1) * k):
        for xx in range(x0 * k, (x1 + 1) * k):
            x, y = at(xx), at(yy)
            dx = max(x0 + radius - x, 0, x - (x1 - radius))
            dy = max(y0 + radius - y, 0, y - (y1 - radius))
            if dx * dx + dy * dy > radius * radius:
                continue
            t = ((x - x0) / (x1 - x0) * 0.6 + (y - y0) / (y1 - y0) * 0.4)
            px[yy * w + xx] = min(31, int(t * 31))

    # Three arcs: a device calling out on the network.
    cx, cy = 14, 40
    for yy in range(y0 * k, y1 * k):
        for xx in range(x0 * k, 38 * k):
            x, y = at(xx), at(yy)
            d = math.hypot(x - cx, y - cy)
            ang = math.degrees(math.atan2(y - cy, x - cx))
            if -50 <= ang <= 50:
                for r in (7, 13, 19):
                    if abs(d - r) < 1.6 - 0.5 * (k - 1) / k:
                        px[yy * w + xx] = 47
            if d < 3.5:
                px[yy * w + xx] = 47

    # The name, with a one-pixel shadow.
    word = "KAVREN"
    scale = 2
    tx = 40
    for x, y in text_pixels(word, scale * k):
        sx, sy = tx * k + x + k, 22 * k + y + k
        if 0 <= sx < w and 0 <= sy < h:
            px[sy * w + sx] = 50
    for x, y in text_pixels(word, scale * k):
        if 0 <= tx * k + x < w:
            px[(22 * k + y) * w + tx * k + x] = 47
    small = "UTILITY"
    sx0 = tx + (text_width(word, scale) - text_width(small, 1)) // 2
    for x, y in text_pixels(small, k):
        px[(44 * k + y) * w + sx0 * k + x] = 42
    # An underline that fades out to the right.
    for xx in range(tx * k, (tx + text_width(word, scale)) * k):
        t = (xx / k - tx) / text_width(word, scale) if k > 1 else (xx - tx) / text_width(word, scale)
        for yy in range(40 * k, 41 * k):
            px[yy * w + xx] = 47 - int(t * 10)
    return w, h, palette, px, transparent


def icon_refresh(size):
    img = [(0, 0, 0, 0)] * (size * size)
    c = (size - 1) / 2
    r_out, r_in = size * 0.45, size * 0.28
    green = (30, 150, 60, 255)
    for y in range(size):
        for x in range(size):
            d = math.hypot(x - c, y - c)
            ang = math.degrees(math.atan2(y - c, x - c)) % 360
            if r_in <= d <= r_out and not (300 <= ang <= 360):
                img[y * size + x] = green
    # Arrow head at the gap's start, pointing down.
    tip_x, tip_y = int(c + (r_in + r_out) / 2), int(c + 1)
    for dy in range(0, size // 3):
        for dx in range(-(size // 3 - dy), size // 3 - dy + 1):
            x, y = tip_x + dx, tip_y - size // 4 + dy
            if 0 <= x < size and 0 <= y < size:
                img[y * size + x] = green
    return img


def icon_exit(size):
    img = [(0, 0, 0, 0)] * (size * size)
    frame = (120, 80, 40, 255)
    door = (200, 150, 90, 255)
    red = (200, 30, 30, 255)
    for y in range(1, size - 1):
        for x in range(2, size // 2 + 2):
            img[y * size + x] = frame if x in (2, size // 2 + 1) or y in (1, size - 2) else door
    mid = size // 2
    for x in range(mid - 1, size - 1):
        for t in (-1, 0):
            img[(mid + t) * size + x] = red
    for k in range(4):
        for t in (-1, 0):
            for y in (mid + t - k - 1, mid + t + k + 1):
                x = size - 2 - k - 1
                if 0 <= y < size:
                    img[y * size + x] = red
    return img


def icon_app(size):
    img = [(0, 0, 0, 0)] * (size * size)
    c = (size - 1) / 2
    for y in range(size):
        for x in range(size):
            d = math.hypot(x - c, y - c)
            if d <= size * 0.48:
                t = (x + y) / (2 * size)
                img[y * size + x] = blend((16, 42, 96), (24, 140, 160), t) + (255,)
    # Three nodes joined by lines: a small network.
    nodes = [(0.3, 0.3), (0.7, 0.35), (0.5, 0.72)]
    pts = [(int(nx * size), int(ny * size)) for nx, ny in nodes]
    white = (250, 252, 255, 255)
    for (ax, ay), (bx, by) in [(pts[0], pts[1]), (pts[1], pts[2]), (pts[2], pts[0])]:
        steps = max(abs(bx - ax), abs(by - ay))
        for s in range(steps + 1):
            x = round(ax + (bx - ax) * s / steps)
            y = round(ay + (by - ay) * s / steps)
            img[y * size + x] = white
    for nx, ny in pts:
        rr = max(1, size // 10)
        for y in range(ny - rr, ny + rr + 1):
            for x in range(nx - rr, nx + rr + 1):
                if (x - nx) ** 2 + (y - ny) ** 2 <= rr * rr:
                    img[y * size + x] = (255, 200, 40, 255)
    return img


# The 16 colours of the classic Windows palette, for the 4-bit icon image.
PALETTE16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def png_bytes(size, rgba):
    path = os.path.join(OUT, f".icon{size}.tmp")
    write_png(path, size, rgba)
    with open(path, "rb") as f:
        data = f.read()
    os.remove(path)
    return data


def bmp_16_colours(size, rgba):
    """A 4-bit icon image: header, palette, colour rows and the AND mask,
    bottom row first, rows padded to 4 bytes."""
    def nearest(c):
        return min(range(16), key=lambda i: sum((a - b) ** 2 for a, b in zip(PALETTE16[i], c)))

    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE16)
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):
        row = [rgba[y * size + x] for x in range(size)]
        idx = [nearest(p[:3]) if p[3] >= 128 else 0 for p in row]
        line = bytes((idx[i] << 4) | idx[i + 1] for i in range(0, size, 2))
        xor += line + b"\0" * (-len(line) % 4)
        bits = bytearray((size + 7) // 8)
        for x, p in enumerate(row):
            if p[3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits + b"\0" * (-len(bits) % 4)
    return header + palette + bytes(xor) + bytes(mask)


def write_ico(path):
    """The Windows icon: the 32 x 32 image in 16 colours first, then 32-bit
    PNG images of 16 to 256 pixels for today's displays."""
    images = [(32, 16, bmp_16_colours(32, icon_app(32)))]
    for size in (16, 24, 32, 48, 64, 128, 256):
        images.append((size, 0, png_bytes(size, icon_app(size))))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, colours, data in images:
        bits = 4 if colours == 16 else 32
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bits, len(data),
                           offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


def main():
    os.makedirs(OUT, exist_ok=True)
    w, h, palette, px, transparent = draw_logo()
    write_gif(os.path.join(OUT, "logo.gif"), w, h, palette, px, transparent)
    # High-resolution screens (scale 1.25 to 2) draw from the @2x files,
    # which Qt picks by name.
    w, h, palette, px, transparent = draw_logo(2)
    write_gif(os.path.join(OUT, "logo@2x.gif"), w, h, palette, px, transparent)
    write_png(os.path.join(OUT, "refresh.png"), 16, icon_refresh(16))
    write_png(os.path.join(OUT, "exit.png"), 16, icon_exit(16))
    write_png(os.path.join(OUT, "refresh@2x.png"), 32, icon_refresh(32))
    write_png(os.path.join(OUT, "exit@2x.png"), 32, icon_exit(32))
    # 64 and 128 are for the desktop's hicolor icon theme (packaging/); the
    # window itself uses the others.
    for size in (16, 24, 32, 48, 64, 128, 256):
        write_png(os.path.join(OUT, f"icon{size}.png"), size, icon_app(size))
    write_ico(os.path.join(OUT, "kavren.ico"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
