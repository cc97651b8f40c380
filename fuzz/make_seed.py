#!/usr/bin/env python3
"""Appends an import parameter block to a file, making a seed for a fuzz target.

usage: make_seed.py FILE OUT [--fit] [--fit800] [--no-identify] [--cancel]
                    [--refuse-header] [--zero-region] [--index N] [--refuse-row K]
                    [--refuse-progress K] [--region L T R B] [--cut N]
The block layout is the one fuzz/fuzz_host.h describes (13 bytes).
"""
import argparse
import struct

p = argparse.ArgumentParser()
p.add_argument("file")
p.add_argument("out")
for flag in ("fit", "fit800", "no_identify", "cancel", "refuse_header", "zero_region"):
    p.add_argument("--" + flag.replace("_", "-"), action="store_true")
p.add_argument("--index", type=int, default=1)
p.add_argument("--refuse-row", type=int, default=0)
p.add_argument("--refuse-progress", type=int, default=0)
p.add_argument("--region", type=int, nargs=4, default=[0, 0, 0, 0])
p.add_argument("--cut", type=int, default=None, help="keep only the first N bytes")
a = p.parse_args()

data = open(a.file, "rb").read()
if a.cut is not None:
    data = data[: a.cut]
flags = 0
if a.fit or a.fit800:
    flags |= 0x01
if a.fit800:
    flags |= 0x02
flags |= 0x04 if a.no_identify else 0
flags |= 0x08 if a.cancel else 0
flags |= 0x10 if a.refuse_header else 0
flags |= 0x20 if a.zero_region else 0
block = struct.pack("<BbBB4hB", flags, a.index, a.refuse_row, a.refuse_progress, *a.region, 0)
open(a.out, "wb").write(data + block)
