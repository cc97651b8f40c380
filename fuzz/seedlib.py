"""Shared pieces of the seed scripts: the import parameter block of
fuzz/fuzz_host.h and writing a seed file."""
import os
import struct


def import_tail(fit=False, fit800=False, no_identify=False, cancel=False, refuse_header=False,
                zero_region=False, index=1, refuse_row=0, refuse_progress=0,
                region=(0, 0, 0, 0)):
    flags = 0
    if fit or fit800:
        flags |= 0x01
    flags |= 0x02 if fit800 else 0
    flags |= 0x04 if no_identify else 0
    flags |= 0x08 if cancel else 0
    flags |= 0x10 if refuse_header else 0
    flags |= 0x20 if zero_region else 0
    return struct.pack("<BbBB4hB", flags, index, refuse_row, refuse_progress, *region, 0)


def write_seed(directory, name, data):
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, name), "wb") as f:
        f.write(data)
