#!/usr/bin/env python3
"""Compiles data/palette.txt into osd_pallet.csv: 272 lines "0xRR,0xGG,0xBB"."""
import sys

ENTRIES = 272


def build(lines):
    pal = [(0, 0, 0)] * ENTRIES
    for n, raw in enumerate(lines, 1):
        words = raw.split('#', 1)[0].split()
        if not words:
            continue
        try:
            if words[0] == 'cube':
                first = int(words[1])
                levels = (0, 0x5f, 0x87, 0xaf, 0xd7, 0xff)
                for i in range(216):
                    pal[first + i] = (levels[i // 36], levels[i // 6 % 6], levels[i % 6])
            elif words[0] == 'greys':
                first, last = int(words[1]), int(words[2])
                for i in range(first, last + 1):
                    v = round(255 * (i - first) / (last - first))
                    pal[i] = (v, v, v)
            else:
                index, rgb = int(words[0]), words[1]
                if len(rgb) != 6:
                    raise ValueError('colour must be RRGGBB')
                pal[index] = (int(rgb[0:2], 16), int(rgb[2:4], 16), int(rgb[4:6], 16))
        except (ValueError, IndexError) as e:
            sys.exit(f'palette line {n}: {e}')
    return pal


def main():
    if len(sys.argv) != 3:
        sys.exit('usage: gen_palette.py SOURCE OUT')
    with open(sys.argv[1], encoding='ascii') as f:
        pal = build(f.readlines())
    with open(sys.argv[2], 'w', encoding='ascii', newline='\n') as f:
        for r, g, b in pal:
            f.write(f'0x{r:02x},0x{g:02x},0x{b:02x}\n')


if __name__ == '__main__':
    main()
