#!/usr/bin/env python3
"""Draws data/parts.txt into the parts plane: parts_bmp.dat and parts.csv."""
import sys

STRIDE = 1024          # bytes a row of the parts plane (8 units of 128)
TRANSPARENT = 239


class Part:
    def __init__(self, number, w, h):
        self.number, self.w, self.h = number, w, h
        self.pixels = bytearray([TRANSPARENT]) * (w * h)
        self.x = self.y = 0

    def put(self, x, y, c):
        if not (0 <= x < self.w and 0 <= y < self.h):
            raise ValueError(f'pixel ({x}, {y}) outside part {self.number}')
        self.pixels[y * self.w + x] = c

    def fill(self, x, y, w, h, c):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.put(xx, yy, c)

    def frame(self, x, y, w, h, t, c):
        self.fill(x, y, w, t, c)
        self.fill(x, y + h - t, w, t, c)
        self.fill(x, y, t, h, c)
        self.fill(x + w - t, y, t, h, c)


def parse(lines):
    parts, part, keys, art = {}, None, {}, None
    for n, raw in enumerate(lines, 1):
        try:
            if art is not None:
                if raw.strip() == 'end':
                    x, y, scale, rows = art
                    for r, row in enumerate(rows):
                        for col, ch in enumerate(row):
                            if ch != '.':
                                part.fill(x + col * scale, y + r * scale, scale, scale, keys[ch])
                    art = None
                else:
                    art[3].append(raw.rstrip('\n'))
                continue
            words = raw.split()
            if not words or words[0].startswith('#'):
                continue
            op, args = words[0], words[1:]
            if op == 'part':
                number, w, h = map(int, args)
                if number in parts:
                    raise ValueError(f'part {number} twice')
                part = parts[number] = Part(number, w, h)
            elif op == 'key':
                keys[args[0]] = int(args[1])
            elif op == 'bitmap':
                art = (int(args[0]), int(args[1]), int(args[2]), [])
            elif part is None:
                raise ValueError('drawing before the first part')
            elif op == 'fill':
                part.fill(*map(int, args))
            elif op == 'frame':
                part.frame(*map(int, args))
            else:
                raise ValueError(f'unknown word {op}')
        except (ValueError, KeyError, TypeError) as e:
            sys.exit(f'parts line {n}: {e}')
    return parts


def place(parts):
    """Shelf packing, tallest first; returns the plane's height."""
    x = y = shelf = 0
    for p in sorted(parts.values(), key=lambda p: (-p.h, p.number)):
        if x + p.w > STRIDE:
            x, y, shelf = 0, y + shelf, 0
        p.x, p.y = x, y
        x += p.w
        shelf = max(shelf, p.h)
    return y + shelf


def main():
    if len(sys.argv) != 4:
        sys.exit('usage: gen_parts.py SOURCE PARTS_CSV PARTS_BMP')
    with open(sys.argv[1], encoding='ascii') as f:
        parts = parse(f.readlines())
    for n in range(max(parts) + 1):
        parts.setdefault(n, Part(n, 1, 1))
    height = place(parts)
    plane = bytearray([TRANSPARENT]) * (STRIDE * height)
    for p in parts.values():
        for r in range(p.h):
            start = (p.y + r) * STRIDE + p.x
            plane[start:start + p.w] = p.pixels[r * p.w:(r + 1) * p.w]
    with open(sys.argv[2], 'w', encoding='ascii', newline='\n') as f:
        for n in range(len(parts)):
            p = parts[n]
            f.write(f'{n},{p.x},{p.y},{p.w},{p.h}\n')
    with open(sys.argv[3], 'wb') as f:
        f.write(plane)


if __name__ == '__main__':
    main()
