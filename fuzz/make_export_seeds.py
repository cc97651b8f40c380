#!/usr/bin/env python3
"""Writes the seed corpora of fuzz_gemxchg_export and fuzz_paintxchg_export:
pixel bytes (and palette or path bytes) with the export parameter block the
target reads appended (layouts in the targets' sources).

usage: make_export_seeds.py [CORPUSDIR]   (default fuzz/corpus)
"""
import os
import random
import struct
import sys

from seedlib import write_seed

# Palette kinds of fuzz_gemxchg_export.
NONE, PICKS, SIXTEEN, GREY16, RAMP, RAW, SIXTEEN_OFF, RAMP_OFF = range(8)
DEPTHS = {1: 0, 4: 1, 8: 2, 24: 3}


def gem_tail(bits, width, height, kind=NONE, count=0, refuse=0, cancel=False, raw_size=False,
             res=(0, 0)):
    depth = DEPTHS[bits] if bits in DEPTHS else 0x80 | bits
    flags = (0x01 if raw_size else 0) | (0x02 if cancel else 0) | kind << 2
    return struct.pack("<BBIIBHii", flags, depth, width - (0 if raw_size else 1),
                       height - (0 if raw_size else 1), refuse, count, *res)


def paint_tail(width, height, bits=1, refuse=0, cancel=False, raw_size=False, path_length=None):
    depth = 0 if bits == 1 else 0x80 | bits
    flags = (0x01 if raw_size else 0) | (0x02 if cancel else 0)
    flags |= 0x04 if path_length is not None else 0
    return struct.pack("<BBIIHB", flags, depth, width - (0 if raw_size else 1),
                       height - (0 if raw_size else 1), refuse, path_length or 0)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus")
    rng = random.Random(5)
    noise = bytes(rng.randrange(256) for _ in range(600))
    runs = bytes([0xFF] * 40 + [0x00] * 30 + [0x12, 0x12, 0x34] * 10)
    gem = os.path.join(root, "fuzz_gemxchg_export")
    write_seed(gem, "mono", runs + gem_tail(1, 37, 23))
    write_seed(gem, "mono_black_first", b"\x00\x00\x00" + noise[:200] +
               gem_tail(1, 30, 9, RAW, 1))
    write_seed(gem, "four_intensity", noise[:16] + noise + gem_tail(4, 21, 10, PICKS, 16))
    write_seed(gem, "four_few_entries", noise[:5] + noise + gem_tail(4, 21, 10, PICKS, 5))
    write_seed(gem, "four_sixteen", noise + gem_tail(4, 19, 7, SIXTEEN, 16))
    write_seed(gem, "four_grey", runs + gem_tail(4, 16, 6, GREY16, 16))
    write_seed(gem, "four_bad", b"\x03\x01\x02\x03" + noise + gem_tail(4, 16, 6, SIXTEEN_OFF, 16))
    write_seed(gem, "eight", noise + gem_tail(8, 17, 9, RAMP, 256, res=(11811024, 3780000)))
    write_seed(gem, "eight_bad", b"\x07\x01\x02\x03" + noise + gem_tail(8, 17, 9, RAMP_OFF, 256))
    write_seed(gem, "rgb", noise + runs + gem_tail(24, 14, 8, res=(1, -5)))
    write_seed(gem, "rgb_groups", bytes(3 * 14) + gem_tail(24, 14, 300, raw_size=True))
    write_seed(gem, "refuse_cancel", runs + gem_tail(1, 37, 23, refuse=3, cancel=True))
    write_seed(gem, "refuse_header", noise + gem_tail(8, 9, 9, refuse=1))
    write_seed(gem, "depth16", noise + gem_tail(16, 9, 9))
    write_seed(gem, "too_wide", noise + gem_tail(1, 65536, 2, raw_size=True))
    write_seed(gem, "widest", runs + gem_tail(1, 65535, 2, raw_size=True))
    paint = os.path.join(root, "fuzz_paintxchg_export")
    write_seed(paint, "small", noise + paint_tail(100, 50))
    write_seed(paint, "full", runs + noise + paint_tail(576, 720))
    write_seed(paint, "larger", noise + paint_tail(601, 777))
    write_seed(paint, "white", b"\xff" + paint_tail(576, 720))
    write_seed(paint, "named", b"dir/CAT.MAC\x00" + noise + paint_tail(40, 40, path_length=12))
    write_seed(paint, "long_name", b"x" * 80 + noise + paint_tail(40, 4, path_length=80))
    write_seed(paint, "empty_title", b"dir/\x00" + paint_tail(8, 8, path_length=5))
    write_seed(paint, "refuse_header", noise + paint_tail(64, 64, refuse=1))
    write_seed(paint, "refuse_row", noise + paint_tail(64, 64, refuse=30, cancel=True))
    write_seed(paint, "depth4", noise + paint_tail(64, 64, bits=4))
    write_seed(paint, "zero_size", noise + paint_tail(0, 5, raw_size=True))


main()
