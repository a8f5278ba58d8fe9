#!/usr/bin/env python3
"""Writes a text file as the Windows profile API reads Unicode: UTF-16LE with a byte-order
mark and CRLF line ends. Usage: to_utf16.py SOURCE(UTF-8) TARGET"""
import sys

text = open(sys.argv[1], encoding="utf-8").read().replace("\r\n", "\n").replace("\n", "\r\n")
with open(sys.argv[2], "wb") as target:
    target.write(b"\xff\xfe" + text.encode("utf-16-le"))
