#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_gemxchg: small GEM IMG files of every image
class (1 plane, 2..8 planes with 8- and 9-word headers, 24 planes, 24-bit
chunky, the extended "XIMG" header with pens or true colour), with solid,
pattern and literal runs and replication prefixes, each with an import
parameter block appended.

usage: make_gem_seeds.py [OUTDIR]   (default fuzz/corpus/fuzz_gemxchg)
"""
import os
import random
import struct
import sys

from seedlib import import_tail, write_seed


def header(planes, width, height, words=8, kind=0, pattern=1, microns=(85, 85)):
    h = struct.pack(">8H", 1, words, planes, pattern, microns[0], microns[1], width, height)
    return h + (struct.pack(">H", kind) if words == 9 else b"")


def ximg_header(planes, width, height, rng, pattern=1, model=0, extra=0):
    """The extended header: pens (levels 0..1000) for 1..8 planes, none for 24."""
    pens = [rng.randrange(1001) for _ in range(3 << planes)] if planes <= 8 else []
    words = 11 + len(pens) + extra
    h = struct.pack(">8H", 1, words, planes, pattern, 85, 85, width, height)
    return h + b"XIMG" + struct.pack(f">{1 + len(pens)}H", model, *pens) + bytes(2 * extra)


def encode_units(data, unit):
    """Run-length encodes one plane line (unit 1) or chunky pixels (unit 3)."""
    units = [data[i:i + unit] for i in range(0, len(data), unit)]
    out, i = bytearray(), 0
    while i < len(units):
        u = units[i]
        r = 1
        while i + r < len(units) and units[i + r] == u and r < 127:
            r += 1
        if u in (b"\x00" * unit, b"\xff" * unit):
            out.append((0x80 if u[0] else 0) | r)
        elif r >= 2:
            out += bytes([0, r]) + u
        else:
            n = 1
            while i + n < len(units) and n < 255 and units[i + n] != units[min(i + n + 1, len(units) - 1)]:
                n += 1
            out += bytes([0x80, n]) + b"".join(units[i:i + n])
            r = n
        i += r
    return bytes(out)


def image(planes, width, height, rng, words=8, kind=0, chunky=False, groups=True, head=None):
    """A file whose lines mix runs; equal neighbouring lines go into groups.
    With an extended header of 24 planes the lines are red, green, blue bytes
    of a width padded to 16 pixels, encoded byte by byte."""
    unit = 3 if chunky else 1
    line_bytes = width * 3 if chunky else planes * ((width + 7) // 8)
    if head and planes == 24:
        chunky, line_bytes = True, 3 * ((width + 15) // 16 * 16)
    data = bytearray(head or header(planes, width, height, words, kind, 3 if chunky else 1))
    y = 0
    while y < height:
        style = rng.randrange(4)
        if style == 0:
            raw = bytes([0xFF]) * line_bytes
        elif style == 1:
            raw = bytes([rng.choice((0x00, 0x55, 0xAA))]) * line_bytes
        else:
            raw = bytes(rng.choice((0, 0xFF, rng.randrange(256))) for _ in range(line_bytes))
        scan = b""
        plane = (width + 7) // 8
        for p in range(0, line_bytes, line_bytes if chunky else plane):
            scan += encode_units(raw[p:p + (line_bytes if chunky else plane)], unit)
        n = min(rng.randrange(1, 5), height - y) if groups else 1
        if n > 1:
            data += bytes([0, 0, 0xFF, n])
        data += scan
        y += n
    return bytes(data)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__),
                                                             "corpus", "fuzz_gemxchg")
    rng = random.Random(7)
    files = {
        "mono": image(1, 37, 23, rng),
        "mono_wide": image(1, 300, 4, rng),
        "two_grey": image(2, 20, 9, rng, words=9, kind=1),
        "two_plain": image(2, 20, 9, rng),
        "three": image(3, 13, 7, rng),
        "four_intensity": image(4, 21, 10, rng),
        "four_sixteen": image(4, 21, 10, rng, words=9, kind=2),
        "four_grey": image(4, 16, 6, rng, words=9, kind=1),
        "five": image(5, 11, 5, rng),
        "eight": image(8, 17, 9, rng, words=9, kind=1),
        "planar24": image(24, 9, 5, rng),
        "chunky": image(1, 14, 8, rng, words=9, kind=3, chunky=True),
        "ximg_mono": image(1, 19, 6, rng, head=ximg_header(1, 19, 6, rng)),
        "ximg_two": image(2, 12, 5, rng, head=ximg_header(2, 12, 5, rng)),
        "ximg_four": image(4, 21, 7, rng, head=ximg_header(4, 21, 7, rng)),
        "ximg_eight": image(8, 9, 5, rng, head=ximg_header(8, 9, 5, rng)),
        "ximg_true": image(24, 11, 5, rng, head=ximg_header(24, 11, 5, rng)),
        "ximg_model1": image(4, 10, 3, rng, head=ximg_header(4, 10, 3, rng, model=1)),
        "long_header": image(1, 10, 3, rng, head=header(1, 10, 3)[:2] + b"\x00\x0c" +
                             header(1, 10, 3)[4:] + bytes(8)),
    }
    # Pattern length 4: a pattern run of 2, a literal of 3 and a solid run of 2
    # fill each 13-byte plane line, 2 planes, 2 lines.
    plane = b"\x00\x02\x12\x34\x56\x78" + b"\x80\x03\xab\xcd\xef" + b"\x82"
    files["ximg_pattern4"] = ximg_header(2, 104, 2, rng, pattern=4) + plane * 4
    tails = {
        "whole": import_tail(),
        "crop": import_tail(region=(3, 2, 12, 5)),
        "fit": import_tail(fit=True, region=(0, 0, 30, 40)),
        "fit800_small": import_tail(fit800=True, region=(2, 2, 5, 3)),
        "refuse_row": import_tail(refuse_row=3, cancel=True),
    }
    for name, data in files.items():
        write_seed(out, name, data + tails["whole"])
    for tail in ("crop", "fit", "fit800_small"):
        for name in ("mono", "four_intensity", "eight", "chunky", "planar24", "ximg_four",
                     "ximg_true"):
            write_seed(out, f"{name}_{tail}", files[name] + tails[tail])
    write_seed(out, "mono_refuse_row", files["mono"] + tails["refuse_row"])
    write_seed(out, "mono_refuse_header", files["mono"] + import_tail(refuse_header=True))
    write_seed(out, "mono_cut", files["mono"][:40] + tails["whole"])
    write_seed(out, "chunky_cut", files["chunky"][:30] + tails["crop"])
    write_seed(out, "header_only", files["eight"][:18] + tails["whole"])
    # A group of three reaching past the last of four lines.
    over = header(1, 8, 4) + b"\x80\x01\x5a" * 2 + b"\x00\x00\xff\x03\x81"
    write_seed(out, "group_past_end", over + tails["whole"])
    write_seed(out, "group_past_end_crop", over + import_tail(region=(0, 2, 7, 3)))


main()
