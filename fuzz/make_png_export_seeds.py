#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_pngxchg_export: pixel bytes followed by the
parameter block that fuzz/fuzz_pngxchg_export.cpp describes.

usage: make_png_export_seeds.py OUTDIR
"""
import os
import random
import struct
import sys

TWO_PLANES, TICK, CANCEL, NO_DIALOG, STORE_CANCEL, COMMENT, NO_PALETTE, BAD_INDEX = (
    1 << i for i in range(8))
DEPTH = {1: 0, 4: 1, 8: 2, 24: 3}


def seed(outdir, name, pixels, flags=0, depth=24, width=5, height=4, count=0, kind=0,
         res=(2834645, 2834645), refuse=0, heap=0, comment=0, index=0):
    d = DEPTH.get(depth, depth)
    block = struct.pack("<BBhhHBiiBBBb", flags, d, width, height, count, kind, res[0], res[1],
                        refuse, heap, comment, index)
    with open(os.path.join(outdir, name), "wb") as f:
        f.write(bytes(pixels) + block)


def main():
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    rnd = random.Random(7)
    px = [rnd.randrange(256) for _ in range(97)]
    for depth in (1, 4, 8, 24):
        for kind in range(4):
            count = {1: 2, 4: 16, 8: 256, 24: 0}[depth]
            seed(outdir, "d%d_k%d" % (depth, kind), px, depth=depth, width=9, height=7,
                 count=count, kind=kind)
            seed(outdir, "d%d_k%d_i" % (depth, kind), px, TICK | COMMENT, depth, 11, 9, count,
                 kind, comment=12)
    seed(outdir, "rgba", px, TWO_PLANES, 24, 6, 5)
    seed(outdir, "rgba_i", px, TWO_PLANES | TICK, 24, 9, 9)
    seed(outdir, "grey_alpha", px, TWO_PLANES, 8, 7, 3, 256, 1)
    seed(outdir, "grey_alpha_i", px, TWO_PLANES | TICK, 8, 13, 10, 256, 2)
    seed(outdir, "palette_alpha", px, TWO_PLANES, 8, 4, 4, 256, 0)
    seed(outdir, "tiny_i", px, TICK, 24, 1, 1)
    seed(outdir, "three_wide_i", px, TICK, 4, 3, 5, 16, 1)
    seed(outdir, "short_palette", px, 0, 8, 8, 8, 3, 1)
    seed(outdir, "long_palette", px, 0, 4, 8, 8, 300, 0)
    seed(outdir, "no_palette", px, NO_PALETTE, 8, 8, 8, 256)
    seed(outdir, "cancel_options", px, CANCEL, 24, 4, 4)
    seed(outdir, "no_dialog", px, NO_DIALOG, 24, 4, 4)
    seed(outdir, "refuse_write", px, STORE_CANCEL, 24, 4, 4, refuse=3)
    seed(outdir, "refuse_idat", px, 0, 24, 4, 4, refuse=9)
    seed(outdir, "heap_fail", px, TICK, 24, 6, 6, heap=4)
    seed(outdir, "heap_fail_sticky", px, TWO_PLANES, 24, 6, 6, heap=0x82)
    seed(outdir, "alpha_first", px, TWO_PLANES | BAD_INDEX, 24, 4, 4, index=2)
    seed(outdir, "depth_16", px, 0, 16, 4, 4)
    seed(outdir, "negative_size", px, 0, 24, -3, 4)
    seed(outdir, "odd_resolution", px, COMMENT, 24, 2, 2, res=(-1999, 999), comment=0)
    big = [rnd.randrange(256) for _ in range(9000)]
    seed(outdir, "two_idat", big, 0, 24, 128, 60)


main()
