#!/usr/bin/env python3
"""The mark that makes Windows run a program from the page file (scripts/pe_flags.py): set in a
PE32 and a PE32+ image with the checksum made to fit; a file whose headers are not those of such an
image (no optional header, a wrong magic, an optional header cut off) is left byte for byte as it
was, with a message and exit code 1; the marked file replaces the old one instead of being written
into it (a second link to the old file keeps the old bytes). Python 3 standard library."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
import pe_flags  # noqa: E402

TOOL = os.path.join(ROOT, "scripts", "pe_flags.py")


def image(magic=0x10B, optional_size=0xE0, length=0x400, checksum=0x1234):
    """A PE image's headers: signature at 0x80, one section header after the optional header."""
    pe = bytearray(length)
    pe[0:2] = b"MZ"
    struct.pack_into("<I", pe, 0x3C, 0x80)
    pe[0x80:0x84] = b"PE\0\0"
    struct.pack_into("<HH", pe, 0x84, 0x14C if magic == 0x10B else 0x8664, 1)
    struct.pack_into("<HH", pe, 0x84 + 16, optional_size, 0x0102)
    optional = 0x98
    if optional_size:
        struct.pack_into("<H", pe, optional, magic)
        struct.pack_into("<I", pe, optional + 64, checksum)
    section = optional + optional_size
    if section + 40 <= length:
        pe[section:section + 8] = b".text\0\0\0"
        struct.pack_into("<IIII", pe, section + 8, 0x1000, 0x1000, 0x200, 0x200)
    return bytes(pe)


class PeFlagsTest(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.mkdtemp(prefix="pe-flags-")

    def tearDown(self):
        shutil.rmtree(self.temp)

    def mark(self, data, name="program.exe"):
        path = os.path.join(self.temp, name)
        with open(path, "wb") as f:
            f.write(data)
        os.chmod(path, 0o751)
        done = subprocess.run([sys.executable, TOOL, "--set-run-from-swap", path], capture_output=True, text=True)
        with open(path, "rb") as f:
            return done, f.read(), path

    def test_pe32_and_pe32_plus_are_marked_and_their_checksums_fit(self):
        for magic in (0x10B, 0x20B):
            with self.subTest(magic=hex(magic)):
                done, after, path = self.mark(image(magic))
                self.assertEqual((done.returncode, done.stderr), (0, ""))
                self.assertTrue(pe_flags.characteristics(after) & pe_flags.REMOVABLE_RUN_FROM_SWAP)
                self.assertEqual(struct.unpack_from("<I", after, 0x98 + 64)[0], pe_flags.checksum(after))
                self.assertEqual(os.stat(path).st_mode & 0o777, 0o751)
                self.assertEqual(after[0x178:0x180], b".text\0\0\0")

    def test_headers_that_are_no_pe_image_are_left_as_they_are_with_the_reason(self):
        for what, data, words in (
                ("no optional header", image(optional_size=0), "optional header of 0 bytes"),
                ("a ROM image's magic", image(magic=0x107), "neither PE32"),
                ("an optional header cut off", image()[:0x100], "past the end of the file"),
                ("no PE signature", b"MZ" + bytes(0x3A) + struct.pack("<I", 0x80) + bytes(0x100), "no PE signature"),
                ("no MZ header", b"ELF" + bytes(0x200), "no MZ header")):
            with self.subTest(what):
                done, after, _ = self.mark(data)
                self.assertEqual(done.returncode, 1)
                self.assertIn(words, done.stderr)
                self.assertEqual(after, data)
                self.assertFalse(pe_flags.is_pe(data))

    def test_the_marked_file_replaces_the_old_one_and_a_second_link_keeps_the_old_bytes(self):
        data = image()
        path = os.path.join(self.temp, "program.exe")
        with open(path, "wb") as f:
            f.write(data)
        other = os.path.join(self.temp, "elsewhere.exe")
        os.link(path, other)
        subprocess.run([sys.executable, TOOL, "--set-run-from-swap", path], check=True)
        with open(other, "rb") as f:
            self.assertEqual(f.read(), data)
        with open(path, "rb") as f:
            self.assertTrue(pe_flags.characteristics(f.read()) & pe_flags.REMOVABLE_RUN_FROM_SWAP)
        self.assertEqual(sorted(os.listdir(self.temp)), ["elsewhere.exe", "program.exe"])


if __name__ == "__main__":
    unittest.main()
