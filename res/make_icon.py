#!/usr/bin/env python3
"""Draws the program icon (a clock face) and writes res/kivoklok.ico.

Needs ImageMagick's `convert`. The icon holds 32-bit images (48, 32, 16 pixels) and 256-colour
images (32, 16 pixels) for old shells and low colour depths.
"""
import math
import os
import struct
import subprocess
import sys
import tempfile


def draw(size, path):
    k = size * 8  # draw large, scale down for smooth edges
    c = k / 2
    rim = k / 2 - k / 32
    face = rim - k / 10
    cmds = ['-fill', '#1f5fa8', '-stroke', 'none', '-draw', f'circle {c},{c} {c},{c - rim}',
            '-fill', 'white', '-draw', f'circle {c},{c} {c},{c - face}']
    for hour in range(12):
        a = math.radians(hour * 30)
        inner = face - (k / 12 if hour % 3 == 0 else k / 20)
        outer = face - k / 60
        width = k / 22 if hour % 3 == 0 else k / 40
        cmds += ['-stroke', '#202020', '-strokewidth', str(width), '-draw',
                 f'line {c + inner * math.sin(a)},{c - inner * math.cos(a)} '
                 f'{c + outer * math.sin(a)},{c - outer * math.cos(a)}']
    for angle, length, width in ((305, face * 0.55, k / 14), (60, face * 0.8, k / 20)):
        a = math.radians(angle)
        cmds += ['-stroke', '#202020', '-strokewidth', str(width), '-draw',
                 f'line {c},{c} {c + length * math.sin(a)},{c - length * math.cos(a)}']
    cmds += ['-stroke', 'none', '-fill', '#c02020', '-draw', f'circle {c},{c} {c},{c - k / 16}']
    subprocess.check_call(['convert', '-size', f'{k}x{k}', 'xc:none'] + cmds +
                          ['-resize', f'{size}x{size}', path])


def pixels(path, fmt):
    return subprocess.check_output(['convert', path, '-depth', '8', f'{fmt}:-'])


def and_mask(size, alpha):
    row_bytes = (size + 31) // 32 * 4
    out = bytearray()
    for y in reversed(range(size)):
        row = bytearray(row_bytes)
        for x in range(size):
            if alpha[y * size + x] < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def header(size, bits, colours=0):
    # BITMAPINFOHEADER; the height counts the colour image and the mask.
    return struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0, 0, 0, 0, colours, 0)


def image32(png, size):
    rgba = pixels(png, 'rgba')
    alpha = rgba[3::4]
    body = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b, a = rgba[(y * size + x) * 4:(y * size + x) * 4 + 4]
            body += bytes((b, g, r, a))
    return header(size, 32) + bytes(body) + and_mask(size, alpha)


def image8(png, size, workdir):
    alpha = pixels(png, 'rgba')[3::4]
    flat = os.path.join(workdir, f'flat{size}.png')
    # Edges blend into a light grey, the usual background of a desktop icon's surroundings.
    subprocess.check_call(['convert', png, '-background', '#d4d0c8', '-flatten',
                           '+dither', '-colors', '255', flat])
    rgb = pixels(flat, 'rgb')
    colours = sorted({rgb[i:i + 3] for i in range(0, len(rgb), 3)})
    index = {colour: i for i, colour in enumerate(colours)}
    palette = b''.join(bytes((c[2], c[1], c[0], 0)) for c in colours)
    palette += bytes(4 * (256 - len(colours)))
    body = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            p = (y * size + x) * 3
            body.append(index[rgb[p:p + 3]] if alpha[y * size + x] >= 128 else 0)
    return header(size, 8, 256) + palette + bytes(body) + and_mask(size, alpha)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__),
                                                              'kivoklok.ico')
    with tempfile.TemporaryDirectory() as work:
        images = []
        for size, bits in ((48, 32), (32, 32), (16, 32), (32, 8), (16, 8)):
            png = os.path.join(work, f'clock{size}.png')
            if not os.path.exists(png):
                draw(size, png)
            data = image32(png, size) if bits == 32 else image8(png, size, work)
            images.append((size, bits, data))
    offset = 6 + 16 * len(images)
    directory = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    for size, bits, data in images:
        directory += struct.pack('<BBBBHHII', size, size, 0, 0, 1, bits,
                                 len(data), offset)
        offset += len(data)
    with open(out, 'wb') as f:
        f.write(bytes(directory) + b''.join(data for _, _, data in images))


if __name__ == '__main__':
    main()
