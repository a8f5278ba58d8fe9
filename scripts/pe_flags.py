#!/usr/bin/env python3
"""The characteristics of Windows executables (PE images), read and set.

    pe_flags.py --set-run-from-swap FILE [FILE ...]

marks each file so that Windows copies it to the page file before it runs it from removable
media (IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP): the program, its library and its tools run from the
device's CD, which goes away at the mode change while they still run. GNU ld has no option for
this flag, so the build sets it after linking. A file's PE checksum, where it has one, is
computed anew. Exits 1 when a file is not a PE image.

Python 3 standard library only.
"""
import struct
import sys

REMOVABLE_RUN_FROM_SWAP = 0x0400

_SIGNATURE_OFFSET = 0x3C       # where the DOS header keeps the offset of the PE signature
_CHARACTERISTICS = 4 + 18      # from the signature: past it, to the COFF header's last field
_CHECKSUM = 4 + 20 + 64        # from the signature: the optional header's CheckSum


def _signature(data):
    """The offset of the PE signature, or None when data is not a PE image."""
    if len(data) < 0x40 or data[:2] != b"MZ":
        return None
    offset = struct.unpack_from("<I", data, _SIGNATURE_OFFSET)[0]
    if offset + _CHECKSUM + 4 > len(data) or data[offset:offset + 4] != b"PE\0\0":
        return None
    return offset


def is_pe(data):
    return _signature(data) is not None


def characteristics(data):
    """The COFF characteristics of a PE image (None when data is not one)."""
    offset = _signature(data)
    return None if offset is None else struct.unpack_from("<H", data, offset + _CHARACTERISTICS)[0]


def checksum(data):
    """The PE checksum of data as Windows computes it: 16-bit words summed with their carries
    folded in, the checksum field itself left out, plus the file's length."""
    skip = _signature(data) + _CHECKSUM
    padded = bytes(data) + (b"\0" if len(data) % 2 else b"")
    total = 0
    for (word,) in struct.iter_unpack("<H", padded):
        total += word
    for (word,) in struct.iter_unpack("<H", padded[skip:skip + 4]):
        total -= word
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def set_run_from_swap(data):
    """Sets the flag in data (a bytearray of a PE image); a checksum it has is made to fit."""
    offset = _signature(data)
    value = struct.unpack_from("<H", data, offset + _CHARACTERISTICS)[0]
    struct.pack_into("<H", data, offset + _CHARACTERISTICS, value | REMOVABLE_RUN_FROM_SWAP)
    if struct.unpack_from("<I", data, offset + _CHECKSUM)[0] != 0:
        struct.pack_into("<I", data, offset + _CHECKSUM, checksum(data))


def main(arguments):
    if len(arguments) < 2 or arguments[0] != "--set-run-from-swap":
        print(__doc__.strip(), file=sys.stderr)
        return 2
    status = 0
    for path in arguments[1:]:
        with open(path, "rb") as source:
            data = bytearray(source.read())
        if not is_pe(data):
            print("%s: not a PE image" % path, file=sys.stderr)
            status = 1
            continue
        set_run_from_swap(data)
        with open(path, "wb") as target:
            target.write(data)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
