#!/usr/bin/env python3
"""Writes a text file as the Windows profile API reads Unicode: UTF-16LE with a byte-order
mark and CRLF line ends. Usage: to_utf16.py SOURCE(UTF-8) TARGET"""
import sys


def write_utf16(path, text):
    """Writes text (any line ends) to path as UTF-16LE with a byte-order mark and CRLF line ends."""
    with open(path, "wb") as target:
        target.write(b"\xff\xfe" + text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-16-le"))


if __name__ == "__main__":
    with open(sys.argv[1], encoding="utf-8") as source:
        write_utf16(sys.argv[2], source.read())
