#!/usr/bin/env python3
"""Compiles an annotated EDID text (hex bytes, "#" comments, "cs" for a
block's checksum) into its binary image. The image must be 256 bytes; every
"cs" closes a 128-byte block."""
import sys


def build(text):
    out = bytearray()
    for n, raw in enumerate(text.splitlines(), 1):
        for word in raw.split('#', 1)[0].split():
            if word == 'cs':
                if len(out) % 128 != 127:
                    raise ValueError(f'line {n}: checksum at byte {len(out)}, not at the end of a block')
                out.append((-sum(out[-127:])) & 0xFF)
            else:
                out.append(int(word, 16))
    if len(out) != 256:
        raise ValueError(f'{len(out)} bytes, expected 256')
    for b in range(0, 256, 128):
        if sum(out[b:b + 128]) & 0xFF and any(out[b:b + 128]):
            raise ValueError(f'block at {b} has no checksum')
    return bytes(out)


def main():
    if len(sys.argv) != 3:
        sys.exit('usage: edid_bin.py SOURCE.txt OUTPUT.bin')
    with open(sys.argv[1]) as f:
        try:
            image = build(f.read())
        except ValueError as e:
            sys.exit(f'{sys.argv[1]}: {e}')
    with open(sys.argv[2], 'wb') as f:
        f.write(image)


if __name__ == '__main__':
    main()
