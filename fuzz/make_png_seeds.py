#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_pngxchg: small PNG files of every colour type
and bit depth, sequential and interlaced, with the ancillary chunks the reader
knows, each followed by the import parameter block of fuzz/make_seed.py and
one heap-failure byte (see fuzz/fuzz_pngxchg.cpp).

usage: make_png_seeds.py OUTDIR [PNGSUITE_DIR]
"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SIGNATURE = b"\x89PNG\r\n\x1a\n"
CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}
# Adam7: first column, first row, column step, row step.
ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2),
         (0, 1, 1, 2)]


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def sample(x, y, c, depth):
    return (x * 7 + y * 13 + c * 5 + 3) % (1 << depth)


def pack_row(samples, depth):
    """Packs samples of `depth` bits, first sample in the high bits."""
    if depth == 16:
        return b"".join(struct.pack(">H", s) for s in samples)
    if depth == 8:
        return bytes(samples)
    out, acc, bits = bytearray(), 0, 0
    for s in samples:
        acc, bits = acc << depth | s, bits + depth
        if bits == 8:
            out.append(acc)
            acc, bits = 0, 0
    if bits:
        out.append(acc << (8 - bits))
    return bytes(out)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else (b if pb <= pc else c)


def filter_rows(rows, bpp):
    """Filters each row with type (row index mod 5), so every filter occurs."""
    out, prior = bytearray(), bytes(len(rows[0])) if rows else b""
    for n, row in enumerate(rows):
        f = n % 5
        line = bytearray()
        for i, v in enumerate(row):
            a = row[i - bpp] if i >= bpp else 0
            b = prior[i]
            c = prior[i - bpp] if i >= bpp else 0
            pred = [0, a, b, (a + b) // 2, paeth(a, b, c)][f]
            line.append((v - pred) & 0xFF)
        out += bytes([f]) + line
        prior = row
    return bytes(out)


def image_rows(w, h, ctype, depth, x0=0, y0=0, xs=1, ys=1):
    ch = CHANNELS[ctype]
    limit = depth if ctype != 3 else min(depth, 3)  # stay inside a small PLTE
    rows = []
    for y in range(y0, h, ys):
        samples = [sample(x, y, c, limit) for x in range(x0, w, xs) for c in range(ch)]
        if samples:
            rows.append(pack_row(samples, depth))
    return rows


def idat_data(w, h, ctype, depth, interlace):
    bpp = max(1, CHANNELS[ctype] * depth // 8)
    if not interlace:
        return zlib.compress(filter_rows(image_rows(w, h, ctype, depth), bpp), 9)
    raw = b""
    for x0, y0, xs, ys in ADAM7:
        rows = image_rows(w, h, ctype, depth, x0, y0, xs, ys)
        if rows and rows[0]:
            raw += filter_rows(rows, bpp)
    return zlib.compress(raw, 9)


def png(w, h, ctype, depth, interlace=0, extras=(), split=1, plte_entries=None):
    if plte_entries is None:
        plte_entries = min(8, 1 << depth)
    out = SIGNATURE + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, depth, ctype, 0, 0, interlace))
    if ctype == 3:
        out += chunk(b"PLTE", bytes((i * 40) % 256 for i in range(3 * plte_entries)))
    for kind, data in extras:
        out += chunk(kind, data)
    data = idat_data(w, h, ctype, depth, interlace)
    step = max(1, (len(data) + split - 1) // split)
    for i in range(0, len(data), step):
        out += chunk(b"IDAT", data[i:i + step])
    return out + chunk(b"IEND", b"")


def write_seed(outdir, name, data, heap_fail=0, **request):
    args = []
    for key, value in request.items():
        flag = "--" + key.replace("_", "-")
        if value is True:
            args.append(flag)
        elif isinstance(value, (list, tuple)):
            args += [flag] + [str(v) for v in value]
        else:
            args += [flag, str(value)]
    with tempfile.NamedTemporaryFile(delete=False) as f:
        f.write(data)
    target = os.path.join(outdir, name)
    subprocess.run([sys.executable, os.path.join(HERE, "make_seed.py"), f.name, target] + args,
                   check=True)
    os.unlink(f.name)
    with open(target, "ab") as f:
        f.write(bytes([heap_fail]))


PHYS = (b"pHYs", struct.pack(">IIB", 2835, 2835, 1))
TEXT = (b"tEXt", b"Comment\0seed comment")
AUTHOR = (b"tEXt", b"Author\0someone")
ZTXT = (b"zTXt", b"Comment\0\0" + zlib.compress(b"packed"))
TIME = (b"tIME", struct.pack(">HBBBBB", 2020, 1, 2, 3, 4, 5))
UNKNOWN = (b"prVt", b"private data")


def main():
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    kinds = [(0, 1), (0, 2), (0, 4), (0, 8), (0, 16), (2, 8), (2, 16), (3, 1), (3, 2), (3, 4),
             (3, 8), (4, 8), (4, 16), (6, 8), (6, 16)]
    for ctype, depth in kinds:
        for interlace in (0, 1):
            extras = [PHYS, AUTHOR, TEXT, ZTXT]
            if ctype in (0, 2, 3):
                trns = {0: b"\0\1", 2: b"\0\1\0\2\0\3", 3: b"\x80\x40"}[ctype]
                extras.append((b"tRNS", trns))
            if interlace:
                extras += [TIME, UNKNOWN]
            base = "c%dd%d%s" % (ctype, depth, "i" if interlace else "")
            data = png(11, 9, ctype, depth, interlace, extras, split=1 + interlace * 2)
            write_seed(outdir, base + "_whole", data)
            write_seed(outdir, base + "_crop", data, region=[3, 2, 9, 6])
            write_seed(outdir, base + "_fit", data, fit=True, region=[0, 0, 4, 12])
            if ctype in (4, 6):
                write_seed(outdir, base + "_alpha", data, index=2)
                write_seed(outdir, base + "_alpha_crop", data, index=2, region=[1, 1, 5, 7])
    small = png(1, 1, 0, 8)
    write_seed(outdir, "tiny", small)
    write_seed(outdir, "tiny_i", png(1, 1, 2, 8, 1))
    write_seed(outdir, "wide_i", png(17, 3, 3, 1, 1, plte_entries=300), fit800=True, region=[0, 0, 2, 5])
    write_seed(outdir, "cut", png(11, 9, 2, 8), cut=120)
    write_seed(outdir, "short_plte", png(6, 4, 3, 2, plte_entries=3))
    write_seed(outdir, "refuse_row", png(5, 5, 0, 8), refuse_row=2, cancel=True)
    write_seed(outdir, "refuse_header", png(5, 5, 0, 8), refuse_header=True)
    write_seed(outdir, "no_identify", png(5, 5, 6, 8), no_identify=True, index=2)
    write_seed(outdir, "outside", png(5, 5, 0, 8), region=[10, 10, 20, 20])
    write_seed(outdir, "heap_fail", png(7, 7, 6, 8, 1), heap_fail=5)
    write_seed(outdir, "heap_fail_sticky", png(7, 7, 3, 4), heap_fail=0x83, region=[1, 1, 5, 5])
    # Ancillary chunks with a wrong CRC (dropped, the image reads on); an
    # interlaced image whose stream holds no data.
    bad = chunk(b"cLLI", struct.pack(">II", 1000, 500))[:-1] + b"\x00"
    bad += chunk(b"tEXt", b"Comment\0damaged")[:-1] + b"\x01"
    plain = png(11, 9, 2, 8)
    write_seed(outdir, "ancillary_bad_crc", plain[:33] + bad + plain[33:], region=[2, 2, 6, 6])
    empty_i = SIGNATURE + chunk(b"IHDR", struct.pack(">IIBBBBB", 6, 5, 8, 0, 0, 0, 1))
    write_seed(outdir, "empty_i", empty_i + chunk(b"IDAT", zlib.compress(b"")) + chunk(b"IEND", b""))
    if len(sys.argv) > 2:
        suite = sys.argv[2]
        for name in ("basn0g02", "basi0g16", "basn3p04", "basi6a08", "s01i3p01", "s09n3p02",
                     "tbbn3p08", "z00n2c08", "xcrn0g04", "xd0n2c08", "ps1n0g08", "cs5n2c08"):
            path = os.path.join(suite, name + ".png")
            if os.path.exists(path):
                write_seed(outdir, "suite_" + name, open(path, "rb").read())


main()
