#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_rsrcxchg: small NE and PE files holding
bitmap resources of every accepted kind (1, 4, 8, 24 and 32 bits plain, RLE8,
RLE4, 16- and 32-bit bit fields), each with an import parameter block.

usage: make_rsrc_seeds.py [OUTDIR]   (default fuzz/corpus/fuzz_rsrcxchg)
"""
import os
import random
import struct
import sys

from seedlib import import_tail, write_seed


def dib(width, height, bits, pixels, compression=0, colours=0, masks=None, ppm=(0, 0)):
    """A packed DIB: 40-byte header, colour table (or masks), pixel bytes."""
    table = b""
    if bits <= 8:
        n = colours or (1 << bits)
        table = b"".join(bytes([(17 * i) & 255, (91 * i) & 255, (203 * i) & 255, 0])
                         for i in range(n))
    if masks:
        table = struct.pack("<3I", *masks)
    head = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, len(pixels),
                       ppm[0], ppm[1], colours, 0)
    return head + table + pixels


def core_dib(width, height, bits, pixels):
    """A packed DIB with the old 12-byte header and 3-byte colour entries."""
    table = b"".join(bytes([(29 * i) & 255, (7 * i) & 255, (151 * i) & 255])
                     for i in range(1 << bits))
    return struct.pack("<IHHHH", 12, width, height, 1, bits) + table + pixels


def long_dib(width, height, pixels, masks):
    """A 32-bit bit-field DIB with a 124-byte header: the masks sit in the
    header, the pixels follow it."""
    head = bytearray(124)
    head[0:40] = struct.pack("<IiiHHIIiiII", 124, width, height, 1, 32, 3, len(pixels), 0, 0,
                             0, 0)
    head[40:52] = struct.pack("<3I", *masks)
    return bytes(head) + pixels


def plain_rows(width, height, bits, rng):
    stride = (width * bits + 31) // 32 * 4
    return bytes(rng.randrange(256) for _ in range(stride * abs(height)))


def rle8(width, height, rng):
    out = bytearray()
    for y in range(height):
        if y == 2:
            out += bytes([0, 2, 1, 1])  # delta: one row down
            continue
        x = 0
        while x < width:
            n = min(rng.randrange(1, 6), width - x)
            if n >= 3 and rng.randrange(2):
                out += bytes([0, n]) + bytes(rng.randrange(256) for _ in range(n))
                out += b"\x00" * (n & 1)
            else:
                out += bytes([n, rng.randrange(256)])
            x += n
        out += b"\x00\x00"
    return bytes(out + b"\x00\x01")


def rle4(width, height, rng):
    out = bytearray()
    for y in range(height):
        x = 0
        while x < width:
            n = min(rng.randrange(1, 7), width - x)
            if n >= 3 and rng.randrange(2):
                body = bytes(rng.randrange(256) for _ in range((n + 1) // 2))
                out += bytes([0, n]) + body + b"\x00" * (len(body) & 1)
            else:
                out += bytes([n, rng.randrange(256)])
            x += n
        if y == 1:
            out += bytes([0, 2, 2, 0])  # delta within the row
        out += b"\x00\x00"
    return bytes(out + b"\x00\x01")


def ne(bitmaps, shift=4):
    """DOS stub, NE header, a resource table with a string type first, then
    the bitmap type, and the resources aligned to 1 << shift."""
    lfanew, table_at = 0x40, 0x40
    resources = [(0x8006, [b"strings!"])] + [(0x8002, bitmaps)]
    table = bytearray(struct.pack("<H", shift))
    size = 2 + sum(8 + 12 * len(r) for _, r in resources) + 2
    data_at = (lfanew + table_at + size + (1 << shift) - 1) >> shift << shift
    blobs = bytearray()
    for type_id, items in resources:
        table += struct.pack("<HHI", type_id, len(items), 0)
        for i, item in enumerate(items):
            offset = data_at + len(blobs)
            length = (len(item) + (1 << shift) - 1) >> shift
            table += struct.pack("<HHHHI", offset >> shift, length, 0x30, 0x8001 + i, 0)
            blobs += item + b"\x00" * ((-len(item)) % (1 << shift))
    table += b"\x00\x00"
    stub = bytearray(lfanew)
    stub[0:2] = b"MZ"
    stub[0x3C:0x40] = struct.pack("<I", lfanew)
    head = bytearray(0x40)
    head[0:2] = b"NE"
    head[0x24:0x26] = struct.pack("<H", table_at)
    head[0x36] = 2
    head[0x3E:0x40] = struct.pack("<H", 0x030A)
    file = stub + head + table
    return bytes(file + b"\x00" * (data_at - len(file)) + blobs)


def pe(named, numbered, section=b".rsrc"):
    """A PE file with one section holding the resource tree: an icon type
    before the bitmap type; bitmaps under names and ids, several languages."""
    sig_at, raw_at, rva = 0x80, 0x200, 0x1000
    names = list(named.items()) + list(numbered.items())  # name or id -> [languages]
    # Layout: root, type directory for bitmaps, one directory per name, data
    # entries, name strings, then the bitmaps.
    root = 16 + 8 * 2
    types = 16 + 8 * len(names)
    leaf_dirs = sum(16 + 8 * len(langs) for _, langs in names)
    n_data = sum(len(langs) for _, langs in names)
    strings_at = root + types + leaf_dirs + 16 * n_data
    strings = bytearray()
    name_offsets = {}
    for key, _ in names:
        if isinstance(key, str):
            name_offsets[key] = strings_at + len(strings)
            strings += struct.pack("<H", len(key)) + key.encode("utf-16-le")
    blobs_at = (strings_at + len(strings) + 15) & ~15
    tree = bytearray()

    def directory(named_count, id_count):
        return struct.pack("<IIHHHH", 0, 0, 0, 0, named_count, id_count)

    # The icon type comes first, so that the walk passes over it; its
    # directory is never entered.
    tree += directory(0, 2)
    tree += struct.pack("<II", 3, 0x80000000 | root)
    tree += struct.pack("<II", 2, 0x80000000 | root)
    n_named = sum(1 for k, _ in names if isinstance(k, str))
    tree += directory(n_named, len(names) - n_named)
    leaf_at = root + types
    data_at = root + types + leaf_dirs
    blobs = bytearray()
    leaves = bytearray()
    entries = bytearray()
    for key, langs in names:
        name = (0x80000000 | name_offsets[key]) if isinstance(key, str) else key
        tree += struct.pack("<II", name, 0x80000000 | leaf_at + len(leaves))
        leaves += directory(0, len(langs))
        for lang, bitmap in langs:
            leaves += struct.pack("<II", lang, data_at + len(entries))
            entries += struct.pack("<IIII", rva + blobs_at + len(blobs), len(bitmap), 0, 0)
            blobs += bitmap + b"\x00" * ((-len(bitmap)) % 4)
    resources = tree + leaves + entries + strings
    resources += b"\x00" * (blobs_at - len(resources)) + blobs
    stub = bytearray(sig_at)
    stub[0:2] = b"MZ"
    stub[0x3C:0x40] = struct.pack("<I", sig_at)
    head = bytearray(248 + 40)
    head[0:4] = b"PE\x00\x00"
    head[4:6] = struct.pack("<H", 0x14C)
    head[6:8] = struct.pack("<H", 1)
    head[20:22] = struct.pack("<H", 224)
    head[24:26] = struct.pack("<H", 0x10B)
    head[136:144] = struct.pack("<II", rva, len(resources))
    head[248:256] = section.ljust(8, b"\x00")
    head[248 + 8:248 + 24] = struct.pack("<IIII", len(resources), rva, len(resources), raw_at)
    file = stub + head
    return bytes(file + b"\x00" * (raw_at - len(file)) + resources)


def variants(out, rng):
    """32-bit bitmaps without bit fields, both ways up; run-length streams
    whose codes follow a full row, and one coded out to the 32-bit padding;
    a header whose row bytes times height pass 2^63."""
    padded = bytes([5, 1, 3, 0, 0, 0]) * 3 + bytes([0, 1])
    bitmaps = [
        dib(6, 3, 32, plain_rows(6, 3, 32, rng)),
        dib(5, -4, 32, plain_rows(5, 4, 32, rng)),
        dib(3, 2, 8, bytes([3, 1, 1, 2, 0, 1]), compression=1, colours=4),
        dib(1, 2, 4, bytes([1, 0x10, 1, 0x20, 0, 1]), compression=2, colours=4),
        dib(9, 2, 4, bytes([9, 0x11, 5, 0x22, 0, 0, 0, 1]), compression=2),
        dib(5, 3, 8, padded, compression=1, colours=4),
        dib(2122973190, 1636827176, 24, b"\x00" * 16),
    ]
    file = ne(bitmaps)
    for index in range(1, len(bitmaps) + 1):
        write_seed(out, f"ne_variant{index}", file + import_tail(index=index))
    for index in (1, 2):
        write_seed(out, f"ne_variant{index}_crop",
                   file + import_tail(index=index, region=(1, 1, 3, 2)))
        write_seed(out, f"ne_variant{index}_fit",
                   file + import_tail(index=index, fit=True, region=(0, 0, 8, 6)))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__),
                                                             "corpus", "fuzz_rsrcxchg")
    rng = random.Random(11)
    b1 = dib(13, 5, 1, plain_rows(13, 5, 1, rng), ppm=(3780, 2835))
    b4 = dib(10, 5, 4, plain_rows(10, 5, 4, rng), colours=7)
    b8 = dib(9, 4, 8, plain_rows(9, 4, 8, rng), colours=20)
    b24 = dib(7, -3, 24, plain_rows(7, 3, 24, rng))
    r8 = dib(11, 6, 8, rle8(11, 6, rng), compression=1, colours=16)
    r4 = dib(10, 5, 4, rle4(10, 5, rng), compression=2)
    f16 = dib(6, 4, 16, plain_rows(6, 4, 16, rng), 3, masks=(0xF800, 0x07E0, 0x001F))
    f32 = dib(5, 3, 32, plain_rows(5, 3, 32, rng), 3, masks=(0xFF0000, 0xFF00, 0xFF))
    core8 = core_dib(6, 3, 8, plain_rows(6, 3, 8, rng))
    long32 = long_dib(4, 3, plain_rows(4, 3, 32, rng), (0xFF0000, 0xFF00, 0xFF))
    everything = [b1, b4, b8, b24, r8, r4, f16, f32, core8, long32]
    files = {
        "ne": ne(everything),
        "ne_rle": ne([r8, r4], shift=0),
        "pe": pe({"ALPHA": [(1031, r8), (1033, b8)], "B": [(1033, r4)]},
                 {1: [(1033, b1)], 2: [(1033, b4)], 3: [(1033, b24)], 4: [(1033, f16)],
                  5: [(1033, f32)]}),
        "pe_other_section": pe({}, {1: [(1033, b1)]}, section=b".data"),
    }
    for name, data in files.items():
        write_seed(out, name, data + import_tail())
    for index in range(2, 11):
        write_seed(out, f"ne_index{index}", files["ne"] + import_tail(index=index))
        write_seed(out, f"pe_index{index}_crop",
                   files["pe"] + import_tail(index=index, region=(2, 1, 5, 3)))
        write_seed(out, f"pe_index{index}_fit",
                   files["pe"] + import_tail(index=index, fit=True, region=(0, 0, 9, 1)))
    write_seed(out, "ne_rle_fit800", files["ne_rle"] + import_tail(fit800=True, index=2,
                                                                    region=(3, 3, 20, 12)))
    write_seed(out, "ne_index_past", files["ne"] + import_tail(index=11))
    write_seed(out, "pe_refuse_row", files["pe"] + import_tail(index=3, refuse_row=2, cancel=True))
    write_seed(out, "pe_cut", files["pe"][:700] + import_tail(index=6))
    variants(out, rng)
    real = os.environ.get("RSRC_REAL_DLL")
    if real:  # a resource DLL made by windres (tests/bitmapres/make_fixtures.sh)
        data = open(real, "rb").read()
        write_seed(out, "windres_rle4_crop", data + import_tail(index=10, region=(2, 1, 30, 20)))
        write_seed(out, "windres_fields_fit", data + import_tail(index=11, fit=True,
                                                                 region=(0, 0, 50, 9)))


main()
