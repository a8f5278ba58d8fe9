#!/usr/bin/env python3
"""Writes the bytes of a version resource (RT_VERSION) without a fixed version block.

    make_version_resource.py OUTPUT LANG:CODEPAGE:FILEVERSION...

Each argument adds a string table for that translation (hexadecimal language and code page)
with the one string "FileVersion", and an entry of the translation table, in the order given.
Resource compilers always write a fixed block; files of some makers carry only string tables.
"""
import struct
import sys


def pad4(data):
    return data + b"\0" * (-len(data) % 4)


def text(value):
    return (value + "\0").encode("utf-16-le")


def node(key, value=b"", value_length=0, is_text=False, children=()):
    """One block: length, value length, type, key, padding, value, padding, children."""
    body = pad4(struct.pack("<HHH", 0, value_length, 1 if is_text else 0) + text(key))
    body += value
    for child in children:
        body = pad4(body) + child
    return struct.pack("<H", len(body)) + body[2:]


def version_resource(translations):
    tables = []
    for language, codepage, file_version in translations:
        entry = node("FileVersion", text(file_version), len(file_version) + 1, is_text=True)
        tables.append(node("%04X%04X" % (language, codepage), is_text=True, children=[entry]))
    string_info = node("StringFileInfo", is_text=True, children=tables)
    table = b"".join(struct.pack("<HH", language, codepage) for language, codepage, _ in translations)
    var_info = node("VarFileInfo", is_text=True, children=[node("Translation", table, len(table))])
    return node("VS_VERSION_INFO", children=[string_info, var_info])


def main():
    output = sys.argv[1]
    translations = []
    for argument in sys.argv[2:]:
        language, codepage, file_version = argument.split(":", 2)
        translations.append((int(language, 16), int(codepage, 16), file_version))
    with open(output, "wb") as out:
        out.write(version_resource(translations))


if __name__ == "__main__":
    main()
