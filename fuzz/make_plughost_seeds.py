#!/usr/bin/env python3
"""Writes the seeds of fuzz_plughost into a directory (default fuzz/corpus/fuzz_plughost).

usage: make_plughost_seeds.py [DIR]

Each seed is the flag byte, the heap-failure position, the host's block and
the plug-in's script, one step per selector call, as fuzz/fuzz_plughost.cpp
reads them. The well-behaved seeds describe one image of each mode and hand
over its rows; the others fail at chosen places.
"""
import os
import struct
import sys

EXPORT, NO_PATH, TWICE, OPTIONS_FIRST, NO_DIALOG, HEAP_FAILURE, STORE_CANCEL = (
    0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40)
CANNOT_READ, BAD_PARAMETERS, USER_CANCELED = 4, 5, 6  # result kinds


def step(result=0, *ops):
    """One selector call: result kind (0 success) and ops."""
    return bytes([result | len(ops) << 3]) + b"".join(ops)


def describe(mode, width, height, depth, planes, res=72 << 16):
    return bytes([0x00]) + struct.pack("<5h2i", mode, width, height, depth, planes, res, res)


def rect(top, left, bottom, right, row_bytes):
    return bytes([0x01]) + struct.pack("<4hi", top, left, bottom, right, row_bytes)


def advance(source=1, pass_error=True, twice=False):
    return bytes([0x02 | (source | (4 if pass_error else 0) | (8 if twice else 0)) << 4])


def no_data():
    return bytes([0x03])


def give_data(source=1):
    return bytes([0x03 | (1 | source << 1) << 4])


def progress(done, total, stop_on_abort=True):
    return bytes([0x04 | (1 if stop_on_abort else 0) << 4]) + struct.pack("<2i", done, total)


def buffer(kind, size=0):
    return bytes([0x05 | kind << 4]) + (struct.pack("<i", size) if kind == 0 else b"")


def handle(kind, size=0):
    return bytes([0x06 | kind << 4]) + (struct.pack("<i", size) if kind in (0, 1, 5, 7) else b"")


def basic(kind, size=0, name=0):
    """The basic suite: 0 acquire (name choice), 1 allocate, 2 reallocate, 3 free."""
    return bytes([0x0A | (kind | name << 2) << 4]) + (struct.pack("<i", size) if kind in (1, 2) else b"")


def descriptor_write(items):
    """Writes a descriptor in the record's place: (key, kind, value) items; kind 0
    integer, 1 float, 2 unit float, 3 boolean, 4 string, 5 enumerated, 6 count,
    7 object (refused)."""
    out = bytes([0x0B | 1 << 4, len(items)])  # at most 15 items
    for key, kind, value in items:
        out += struct.pack("<iiB", key, value, kind)
        if kind in (0, 6):
            out += struct.pack("<i", value)
        elif kind == 3:
            out += bytes([value & 1])
    return out


def descriptor_read(getters, key=0, plain=False):
    """Reads the record's descriptor (or the newest plain handle), one getter per
    key produced: 0 integer ... 6 enumerated, 7 none."""
    return bytes([0x0B | ((4 if plain else 0) | (8 if key else 0)) << 4]) + struct.pack(
        "<i", key) + bytes(getters)


def port(arg, top, left, rows, cols, row_bits, col_bits, offset, depth=None):
    """A channel read through documentInfo's ports (arg: channel, depth given, suite)."""
    tail = bytes([depth]) if depth is not None else b""
    return bytes([0x0C | arg << 4]) + struct.pack("<4B2hB", top & 0xFF, left & 0xFF, rows, cols,
                                                  row_bits, col_bits, offset) + tail


def descriptor_junk():
    return bytes([0x0B | 2 << 4])


def descriptor_dispose():
    return bytes([0x0B | 3 << 4])


def resource(kind, rtype, index=0):
    """resourceProcs: 0 count, 1 get, 2 add the newest handle, 3 delete."""
    return bytes([0x07 | kind << 4]) + struct.pack("<Ih", rtype, index)


def suite(kind, size=0):
    """By name: 0 buffer v1 (New), 1 handle v2 (New), 2 channel ports v3, 3 one not offered."""
    return bytes([0x0D | kind << 4]) + (struct.pack("<i", size) if kind < 3 else b"")


def lut(index, r, g, b):
    return bytes([0x08, index, r, g, b])


LO_PLANE, HI_PLANE, COL_BYTES, PLANE_BYTES = 5, 6, 7, 8
ROW_BYTES = 12
USES_32BIT, SIZE32_V, SIZE32_H, RECT32_TOP, RECT32_LEFT, RECT32_BOTTOM, RECT32_RIGHT = range(14, 21)
LAYER_DATA, TRANSPARENCY_PLANE = 21, 22


def field(index, value):
    return bytes([0x09, index]) + struct.pack("<i", value)


def layout(lo, hi, col_bytes, plane_bytes):
    """The plane range and steps of the chunks that follow."""
    return [field(LO_PLANE, lo), field(HI_PLANE, hi), field(COL_BYTES, col_bytes),
            field(PLANE_BYTES, plane_bytes)]


def style_read(mode, depth, planes, pieces, left=False):
    """17, 1, 2 (describe a 4 x 3 image), then pieces of (top, left, bottom,
    right, row bytes, lo, hi, col bytes, plane bytes): through advanceState in
    one selector 3, or one piece left in data per selector 3."""
    head = step() + step() + step(0, describe(mode, 4, 3, depth, planes))
    ops = [layout(lo, hi, cb, pb) + [rect(t, l, b, r, rb)] for t, l, b, r, rb, lo, hi, cb, pb in pieces]
    if left:
        return head + b"".join(step(0, *o, give_data()) for o in ops) + step(0, no_data()) + step()
    return head + step(0, *[x for o in ops for x in o + [advance()]], no_data()) + step()


def style_write(pieces):
    """9, 10, 12, then 13, 14 (first piece left for the host to fill), 15 (one
    piece each), 16; pieces as in style_read."""
    ops = [layout(lo, hi, cb, pb) + [rect(t, l, b, r, rb)] for t, l, b, r, rb, lo, hi, cb, pb in pieces]
    body = step(0, *ops[0], give_data())
    for o in ops[1:]:
        body += step(0, *o, give_data())
    return step() * 3 + step() + body + step(0, no_data()) + step()


def import_block(flags=0, index=1, refuse_row=0, refuse_progress=0):
    return struct.pack("<BbBB4hB", flags, index, refuse_row, refuse_progress, 0, 0, 0, 0, 0)


def export_block(width, height, depth_choice, palette=0, kind=0, lab=False,
                 refuse_progress=0):
    return struct.pack("<hhBhBBiiB", width, height, depth_choice, palette, kind,
                       1 if lab else 0, 2834645, 2834645, refuse_progress)


def read_script(mode, width, height, depth, planes, extra_start=(), chunks=None,
                row_bytes=None):
    """17, 1, 2 (describe), 3 (all rows in chunks), 4."""
    bpp = depth * planes
    rb = row_bytes if row_bytes is not None else (width * bpp + 7) // 8
    chunks = chunks or [(0, height)]
    ops = []
    for top, bottom in chunks:
        ops += [rect(top, 0, bottom, width, rb), advance()]
    ops.append(no_data())
    return (step() + step() + step(0, describe(mode, width, height, depth, planes),
                                   *extra_start) +
            step(0, progress(1, 2), *ops) + step())


def write_script(height, width, row_bytes, options=True):
    """5, 6, 8 (unless no dialog), 9, 10, 12, 13, 14 (rows), 15 (exchange, done), 16."""
    s = step() + step() + step() if options else b""
    s += step() + step() + step()
    return (s + step() + step(0, rect(0, 0, height, width, row_bytes), give_data()) +
            step(0, advance(0), progress(1, 1), no_data()) + step())


def seeds():
    gray_lut = [lut(i, 255 - i, i, i // 2) for i in (0, 1, 255)]
    yield "read_bitmap", b"\0\0" + import_block() + read_script(0, 13, 3, 1, 1)
    yield "read_gray", b"\0\0" + import_block() + read_script(1, 5, 4, 8, 1, chunks=[(0, 2), (2, 4)])
    yield "read_indexed", b"\0\0" + import_block() + read_script(2, 6, 2, 8, 1, gray_lut)
    yield "read_indexed4", b"\0\0" + import_block() + read_script(2, 7, 2, 4, 1, gray_lut)
    yield "read_rgb", b"\0\0" + import_block() + read_script(3, 4, 3, 8, 3, row_bytes=16)
    yield "read_lab", b"\0\0" + import_block() + read_script(9, 3, 2, 8, 3)
    yield "read_cmyk", b"\0\0" + import_block() + read_script(4, 3, 2, 8, 4)
    yield "read_rgb16", b"\0\0" + import_block() + read_script(3, 2, 2, 16, 3)
    yield "read_no_identify", b"\0\0" + import_block(0x04) + read_script(1, 3, 3, 8, 1)
    yield "read_twice", bytes([TWICE, 0]) + import_block() + read_script(1, 3, 3, 8, 1)
    yield "read_cannot_read", b"\0\0" + import_block() + step(CANNOT_READ)
    yield "read_start_fails", b"\0\0" + import_block() + step() + step() + step(
        BAD_PARAMETERS, buffer(0, 100), handle(0, 50))
    yield "read_refuse_header", b"\0\0" + import_block(0x18) + read_script(1, 3, 3, 8, 1)
    yield "read_refuse_row", b"\0\0" + import_block(0x00, refuse_row=2) + read_script(
        1, 3, 3, 8, 1)
    yield "read_cancel_progress", b"\0\0" + import_block(0x08, refuse_progress=1) + read_script(
        1, 3, 3, 8, 1)
    yield "read_memory", b"\0\0" + import_block() + step(0, handle(0, 8), handle(1, 64),
                                                         handle(2), handle(3)) + step(
        0, buffer(0, 32), buffer(2), buffer(3)) + read_script(1, 2, 2, 8, 1)[2:]
    yield "read_no_plugin", bytes([NO_PATH, 0]) + import_block() + read_script(1, 3, 3, 8, 1)
    yield "read_heap_3", bytes([HEAP_FAILURE, 3]) + import_block() + read_script(1, 3, 3, 8, 1)

    items = [(0x77727400 + k, k, 100 - k) for k in range(8)]
    yield "write_settings", bytes([EXPORT, 0]) + export_block(4, 2, 2, 256) + (
        step() + step(0, descriptor_write(items), descriptor_read(range(7)), descriptor_junk(),
                      handle(0, 8), descriptor_read([], plain=True)) + step() +
        step() + step(0, descriptor_read([0], key=0x77727400), descriptor_dispose()) + step() +
        step() + step(0, rect(0, 0, 2, 4, 4), give_data()) +
        step(0, advance(0), progress(1, 1), no_data()) + step(0, descriptor_write(items[:2])))
    yield "write_ports", bytes([EXPORT, 0]) + export_block(3, 2, 3) + (
        step() * 7 + step(0, port(8, 0, 0, 2, 3, 96, 32, 2), port(1, -1, -1, 4, 5, 40, 8, 0),
                          port(4 | 8 | 2, 0, 0, 2, 3, 24, 8, 0, 16), port(3, 0, 0, 1, 1, 8, 8, 0),
                          port(0, 0, 0, 2, 3, 16, 8, 0)) + step() + step())
    yield "write_bitmap", bytes([EXPORT, 0]) + export_block(9, 3, 0) + write_script(3, 9, 2)
    yield "write_indexed4", bytes([EXPORT, 0]) + export_block(5, 2, 1, 16, 3) + write_script(2, 5, 3)
    yield "write_gray", bytes([EXPORT, 0]) + export_block(4, 4, 2, 256) + write_script(4, 4, 4)
    yield "write_indexed8", bytes([EXPORT, 0]) + export_block(4, 2, 2, 16, 7) + write_script(2, 4, 4)
    yield "write_rgb", bytes([EXPORT, 0]) + export_block(3, 2, 3) + write_script(2, 3, 12)
    yield "write_lab", bytes([EXPORT, 0]) + export_block(3, 2, 3, lab=True) + write_script(2, 3, 9)
    yield "write_cmyk", bytes([EXPORT, 0]) + export_block(2, 2, 4) + write_script(2, 2, 8)
    yield "write_options_twice", bytes([EXPORT | OPTIONS_FIRST | TWICE, 0]) + export_block(
        3, 2, 3) + write_script(2, 3, 9) + write_script(2, 3, 9, options=False)
    yield "write_no_dialog", bytes([EXPORT | NO_DIALOG, 0]) + export_block(3, 2, 2) + write_script(
        2, 3, 3, options=False)
    yield "write_depth16", bytes([EXPORT, 0]) + export_block(3, 2, 5) + write_script(2, 3, 6)
    yield "write_continue_fails", bytes([EXPORT, 0]) + export_block(3, 2, 2) + step() * 7 + step(
        0, rect(0, 0, 2, 3, 3), give_data()) + step(BAD_PARAMETERS, advance(0)) + step()
    yield "write_cancel_progress", bytes([EXPORT | STORE_CANCEL, 0]) + export_block(
        3, 2, 2, refuse_progress=1) + step() * 7 + step(0, rect(0, 0, 2, 3, 3), give_data()) + step(
        0, advance(0), progress(1, 2), no_data()) + step()
    # Chunks asked for by the options and estimate phases, filled by the host
    # before their continues; a continue that fails still gets its finish.
    yield "write_options_chunk", bytes([EXPORT, 0]) + export_block(3, 2, 2) + step() + step(
        0, rect(0, 0, 1, 3, 3), give_data()) + step(0, rect(1, 0, 2, 3, 3), give_data()) + step(
        0, no_data()) + step() + write_script(2, 3, 3, options=False)
    yield "write_estimate_chunk", bytes([EXPORT | NO_DIALOG, 0]) + export_block(4, 3, 3) + step(
        0, basic(1, 40)) + step(0, rect(0, 0, 3, 4, 12), give_data(), basic(2, 4000)) + step(
        BAD_PARAMETERS) + step(0, basic(3))
    # A plug-in built for later versions: it asks the basic suite for a suite
    # it needs on its first call, and stops when the host has none.
    yield "read_later_plugin", b"\0\0" + import_block() + bytes([7 | 3 << 3]) + struct.pack(
        "<h", -30900) + basic(0) + basic(1, 64) + basic(3)
    yield "read_basic_blocks", b"\0\0" + import_block() + step(0, basic(1, 16), basic(2, 100000),
                                                               basic(0, name=1)) + step(
        0, basic(1, -1)) + read_script(1, 2, 2, 8, 1)[2:]
    # Suites by name on the first call, and a resource added at the read's
    # finish from a handle of the handle suite, then read back.
    hist = 0x68697374
    yield "read_suites", b"\0\0" + import_block() + step(
        0, suite(0, 64), suite(1, 8), suite(2), suite(3)) + step() + read_script(
        1, 2, 2, 8, 1)[2:-1] + step(0, suite(1, 4), resource(2, hist), resource(1, hist, 1),
                                    resource(0, hist), resource(3, hist, 1))

    planes = [(0, 0, 3, 4, 4, p, p, 1, 0) for p in range(3)]
    tiles = [(0, 0, 3, 2, 6, 0, 2, 3, 1), (0, 2, 3, 4, 6, 0, 2, 3, 1)]
    imp = b"\0\0" + import_block()
    yield "style_per_plane", imp + style_read(3, 8, 3, planes)
    yield "style_padded", imp + style_read(3, 8, 3, [(0, 0, 3, 4, 17, 0, 2, 4, 1)])
    yield "style_planar", imp + style_read(3, 8, 3, [(0, 0, 3, 4, 4, 0, 2, 1, 12)])
    yield "style_tiles", imp + style_read(3, 8, 3, tiles)
    yield "style_left_rows", imp + style_read(1, 8, 1, [(y, 0, y + 1, 4, 4, 0, 0, 1, 0)
                                                        for y in range(3)], left=True)
    yield "style_left_tiles_cmyk", imp + style_read(
        4, 8, 4, [(0, 0, 3, 2, 8, 0, 3, 4, 1), (0, 2, 3, 4, 8, 0, 3, 4, 1)], left=True)
    yield "style_rgb48", imp + style_read(11, 16, 3, [(0, 0, 3, 4, 24, 0, 2, 6, 2)])
    yield "style_rgba", imp + style_read(3, 8, 4, [(0, 0, 3, 4, 16, 0, 3, 4, 1)])
    yield "style_bitmap_tiles", imp + style_read(0, 1, 1, [(0, 0, 3, 3, 1, 0, 0, 0, 0),
                                                           (0, 3, 3, 4, 1, 0, 0, 0, 0)])
    yield "style_overlap", imp + style_read(3, 8, 3, [(0, 0, 3, 4, 12, 0, 2, 2, 1)])
    yield "style_tiles_heap", bytes([HEAP_FAILURE, 6]) + import_block() + style_read(3, 8, 3, tiles)
    yield "style_refuse_tile_row", b"\0\0" + import_block(refuse_row=2) + style_read(3, 8, 3, tiles)
    # 32-bit coordinates, the layered read, a transparency plane.
    wide = 40000
    yield "read_wide", b"\0\0" + import_block() + step() + step() + step(
        0, describe(1, 1, 1, 8, 1), field(USES_32BIT, 1), field(SIZE32_V, 2),
        field(SIZE32_H, wide)) + step(
        0, *layout(0, 0, 1, 0), field(RECT32_TOP, 0), field(RECT32_LEFT, 0), field(RECT32_BOTTOM, 2),
        field(RECT32_RIGHT, wide), field(ROW_BYTES, wide), advance(), no_data()) + step()
    layer = step() + step(0, rect(0, 0, 2, 3, 3), advance(), no_data()) + step()
    yield "read_layers", b"\0\0" + import_block(index=2) + step() + step() + step(
        0, describe(1, 3, 2, 8, 1), field(LAYER_DATA, 3)) + layer * 2 + step()
    yield "read_alpha", b"\0\0" + import_block(index=2) + step() + step() + step(
        0, describe(3, 2, 2, 8, 4), field(TRANSPARENCY_PLANE, 3)) + step(
        0, *layout(0, 3, 4, 1), rect(0, 0, 2, 2, 8), advance(), no_data()) + step()
    exp = bytes([EXPORT | NO_DIALOG, 0])
    yield "style_write_per_plane", exp + export_block(4, 3, 3) + style_write(planes)
    yield "style_write_tiles", exp + export_block(4, 3, 3) + style_write(tiles)
    yield "style_write_bitmap", exp + export_block(9, 3, 0) + style_write(
        [(0, 0, 3, 9, 2, 0, 0, 0, 0)])
    yield "style_write_indexed4", exp + export_block(4, 3, 1, 16, 3) + style_write(
        [(0, 1, 3, 4, 3, 0, 0, 1, 0)])


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus",
                                                              "fuzz_plughost")
    os.makedirs(out, exist_ok=True)
    for name, data in seeds():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
