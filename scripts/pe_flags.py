#!/usr/bin/env python3
"""The characteristics of Windows executables (PE images), read and set.

    pe_flags.py --set-run-from-swap FILE [FILE ...]

marks each file so that Windows copies it to the page file before it runs it from removable
media (IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP): the program, its library and its tools run from the
device's CD, which goes away at the mode change while they still run. GNU ld has no option for
this flag, so the build sets it after linking. A file's PE checksum, where it has one, is
computed anew. The headers are checked first (the MZ header, the PE signature, an optional header
of PE32 or PE32+ large enough to hold the checksum, within the file): a file that is not such an
image is left as it is, with a message, and the exit code is 1. The marked file is written as a
new file beside the old one, which it then replaces (a link to the old file keeps the old data).

Python 3 standard library only.
"""
import os
import shutil
import struct
import sys
import tempfile

REMOVABLE_RUN_FROM_SWAP = 0x0400

_SIGNATURE_OFFSET = 0x3C       # where the DOS header keeps the offset of the PE signature
_OPTIONAL_SIZE = 4 + 16        # from the signature: the COFF header's SizeOfOptionalHeader
_CHARACTERISTICS = 4 + 18      # from the signature: past it, to the COFF header's last field
_OPTIONAL = 4 + 20             # from the signature: the optional header
_CHECKSUM = _OPTIONAL + 64     # the optional header's CheckSum, in PE32 and PE32+ alike
PE32, PE32_PLUS = 0x10B, 0x20B


class NotPe(Exception):
    pass


def headers(data):
    """The offset of the PE signature of data; NotPe with the reason when data is not a PE image
    whose optional header (PE32 or PE32+) holds the checksum within the file."""
    if len(data) < 0x40 or data[:2] != b"MZ":
        raise NotPe("no MZ header")
    offset = struct.unpack_from("<I", data, _SIGNATURE_OFFSET)[0]
    if offset + _OPTIONAL > len(data) or data[offset:offset + 4] != b"PE\0\0":
        raise NotPe("no PE signature where the MZ header points (0x%x)" % offset)
    size = struct.unpack_from("<H", data, offset + _OPTIONAL_SIZE)[0]
    if size < _CHECKSUM + 4 - _OPTIONAL:
        raise NotPe("an optional header of %d bytes, too small to hold the checksum (a file without one is "
                    "no program)" % size)
    if offset + _OPTIONAL + size > len(data):
        raise NotPe("the optional header (%d bytes at 0x%x) goes past the end of the file" % (size, offset + _OPTIONAL))
    magic = struct.unpack_from("<H", data, offset + _OPTIONAL)[0]
    if magic not in (PE32, PE32_PLUS):
        raise NotPe("optional header magic 0x%x is neither PE32 (0x10b) nor PE32+ (0x20b)" % magic)
    return offset


def _signature(data):
    """The offset of the PE signature, or None when data is not a PE image."""
    try:
        return headers(data)
    except NotPe:
        return None


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


def replace_file(path, data):
    """Writes data as a new file beside path (its mode kept) and renames it over path."""
    folder = os.path.dirname(os.path.abspath(path))
    handle, temporary = tempfile.mkstemp(dir=folder, prefix=".pe-flags-")
    try:
        with os.fdopen(handle, "wb") as target:
            target.write(data)
        shutil.copymode(path, temporary)
        os.replace(temporary, path)
    except BaseException:
        if os.path.exists(temporary):
            os.unlink(temporary)
        raise


def main(arguments):
    if len(arguments) < 2 or arguments[0] != "--set-run-from-swap":
        print(__doc__.strip(), file=sys.stderr)
        return 2
    status = 0
    for path in arguments[1:]:
        with open(path, "rb") as source:
            data = bytearray(source.read())
        try:
            headers(data)
        except NotPe as reason:
            print("%s: not a PE image that can be marked: %s; left as it is" % (path, reason), file=sys.stderr)
            status = 1
            continue
        set_run_from_swap(data)
        replace_file(path, data)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
