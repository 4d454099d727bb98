#!/usr/bin/env python3
"""Makes a firmware image for the simulated HDBaseT transceivers.

The image is the board simulation's own format (src/platform/sim/vs100_sim.h):
a 23-byte header that the transceiver answers its firmware items from, the
image's size, filler bytes that make a misplaced or cut write visible, and a
CRC-16 of all that, by which the transceiver knows its image is whole.

    gen_vs100.py --dir rx|tx --version A.B.C --date YYYY-MM-DD --size N OUT
"""
import argparse
import binascii
import sys


def header(direction, version, date, sector):
    major, minor, patch = version
    if not (0 <= major <= 15 and 0 <= minor <= 0xFFFF and 0 <= patch <= 15):
        raise ValueError("version fields out of range (major and patch 0..15, minor 0..65535)")
    # The transceiver reports its version as "%X.%X.%X" of d1 >> 4,
    # ((d1 << 12) + (d2 << 4) + (d3 >> 4)) & 0xFFFF and d3 & 15.
    d1 = (major << 4) | ((minor >> 12) & 0xF)
    d2 = (minor >> 4) & 0xFF
    d3 = ((minor & 0xF) << 4) | patch
    year, month, day = date
    tx = 1 if direction == "tx" else 0
    return (b"HX40SIMV" + bytes([tx, d1, d2, d3, 0]) +
            bytes([year >> 8, year & 0xFF, month, day]) +
            bytes([tx, tx]) + bytes([1, 0, 0, sector]))


def filler(n, seed):
    out = bytearray()
    x = seed
    for _ in range(n):
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        out.append((x >> 16) & 0xFF)
    return bytes(out)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--dir", choices=["rx", "tx"], required=True)
    ap.add_argument("--version", required=True)
    ap.add_argument("--date", required=True)
    ap.add_argument("--size", type=int, required=True)
    ap.add_argument("--sector", type=int, default=1)
    ap.add_argument("out")
    a = ap.parse_args()
    version = tuple(int(v) for v in a.version.split("."))
    date = tuple(int(v) for v in a.date.split("-"))
    if len(version) != 3 or len(date) != 3:
        sys.exit("version A.B.C and date YYYY-MM-DD")
    head = header(a.dir, version, date, a.sector) + a.size.to_bytes(4, "big")
    if a.size < len(head) + 2:
        sys.exit("size below the header's %d bytes and the CRC" % len(head))
    body = head + filler(a.size - len(head) - 2, sum(head))
    with open(a.out, "wb") as f:
        f.write(body + binascii.crc_hqx(body, 0).to_bytes(2, "big"))


if __name__ == "__main__":
    main()
