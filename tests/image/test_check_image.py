#!/usr/bin/env python3
"""The image check (scripts/check-image.py) on an image made from device/ (config.ini,
autorun.inf, the language sources, empty files for the binaries): the sample image passes, and
each broken copy is refused with the file and the key of its fault. Python 3 standard library.
"""
import importlib.util
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CHECK = os.path.join(ROOT, "scripts", "check-image.py")
DEVICE = os.path.join(ROOT, "device")

module_found = importlib.util.spec_from_file_location("check_image", CHECK)
check_image = importlib.util.module_from_spec(module_found)
module_found.loader.exec_module(check_image)

# The language files are written as the build writes them.
sys.path.insert(0, os.path.join(ROOT, "scripts"))
from to_utf16 import write_utf16  # noqa: E402


def iso_directory_record(name, extent, size, directory):
    """One ISO 9660 directory record; name is bytes (b"\\x00" for ".", b"\\x01" for "..")."""
    length = 33 + len(name) + (1 - len(name) % 2)  # padded to an even length
    record = bytearray(length)
    record[0] = length
    record[2:10] = extent.to_bytes(4, "little") + extent.to_bytes(4, "big")
    record[10:18] = size.to_bytes(4, "little") + size.to_bytes(4, "big")
    record[25] = 0x02 if directory else 0
    record[28:32] = (1).to_bytes(2, "little") + (1).to_bytes(2, "big")
    record[32] = len(name)
    record[33:33 + len(name)] = name
    return bytes(record)


def volume_descriptor(kind, label, root):
    """A volume descriptor of an ISO 9660 image: primary (1), Joliet (2) or the end of the set (255),
    the root directory at sector root (one sector)."""
    data = bytearray(2048)
    data[0] = kind
    data[1:7] = b"CD001\x01"
    if kind in (1, 2):
        data[40:72] = label.ljust(32)
        if kind == 2:
            data[88:91] = b"%/E"
        data[156:190] = iso_directory_record(b"\x00", root, 2048, True)
    return data


def write_looping_iso(path, levels=15, records=50):
    """A 68 KB ISO 9660 image with Joliet names whose directories are read again and again: the
    root and each directory below it hold, besides "." and "..", records records that all point at
    one and the same directory of the next level, levels deep. Its tree has records ** levels
    paths in 15 directories of one sector each."""
    sector = 2048
    first = 19  # the root directory's sector; the next level follows it

    image = bytearray((first + levels) * sector)
    for number, kind in enumerate((1, 2, 255)):
        image[(16 + number) * sector:(17 + number) * sector] = volume_descriptor(kind, b"LOOP", first)
    for level in range(levels):
        here = first + level
        directory = iso_directory_record(b"\x00", here, sector, True) + iso_directory_record(b"\x01", here, sector,
                                                                                          True)
        if level + 1 < levels:
            for number in range(records):  # one-character names: they all fit one sector
                directory += iso_directory_record(chr(0x4E00 + number).encode("utf-16-be"), here + 1, sector, True)
        assert len(directory) <= sector
        image[here * sector:here * sector + len(directory)] = directory
    with open(path, "wb") as iso:
        iso.write(image)


def write_greedy_iso(path, children=20, claimed=32 << 20, levels=2):
    """An ISO 9660 image with Joliet names, small on disk (sparse), whose directories each claim
    claimed bytes: the root holds children records of folders, each of those as many again, levels
    deep, every folder at a place of its own in the file (so none is read twice) and followed by
    nothing but zeros up to its claimed end."""
    sector = 2048
    spacing = max(claimed // sector, 1) + 1
    first = 19

    with open(path, "wb") as iso:
        for number, kind in enumerate((1, 2, 255)):
            iso.seek((16 + number) * sector)
            iso.write(volume_descriptor(kind, b"GREEDY", first))
        places = iter(range(first + spacing, 1 << 30, spacing))
        pending = [(first, 0)]
        last = first
        while pending:
            here, level = pending.pop()
            directory = iso_directory_record(b"\x00", here, claimed, True) + iso_directory_record(b"\x01", here,
                                                                                                  claimed, True)
            if level < levels:
                for number in range(children):
                    child = last = next(places)
                    record = iso_directory_record(chr(0x4E00 + number).encode("utf-16-be"), child, claimed, True)
                    if len(directory) // sector != (len(directory) + len(record) - 1) // sector:
                        directory += bytes(-len(directory) % sector)  # records never cross a sector
                    directory += record
                    pending.append((child, level + 1))
            iso.seek(here * sector)
            iso.write(directory)
        iso.truncate((last + spacing) * sector)  # every folder's claimed bytes lie within the file


def minimal_pe(run_from_swap=True):
    """The headers of a Windows executable, as far as the check reads them."""
    pe = bytearray(0x200)
    pe[0:2] = b"MZ"
    struct.pack_into("<I", pe, 0x3C, 0x80)
    pe[0x80:0x84] = b"PE\0\0"
    struct.pack_into("<HH", pe, 0x84, 0x14C, 0)  # i386, no sections
    struct.pack_into("<H", pe, 0x84 + 16, 0xE0)  # the size of the optional header
    struct.pack_into("<H", pe, 0x84 + 18, 0x0102 | (0x0400 if run_from_swap else 0))
    struct.pack_into("<H", pe, 0x98, 0x10B)  # PE32
    return bytes(pe)


def make_sample_image(folder):
    """The device image as the build lays it out, with headers alone for the programs."""
    os.makedirs(os.path.join(folder, "tools"))
    for name in ("config.ini", "autorun.inf"):
        shutil.copy(os.path.join(DEVICE, name), folder)
    for source in os.listdir(os.path.join(DEVICE, "lang")):
        if source.endswith(".txt"):
            with open(os.path.join(DEVICE, "lang", source), encoding="utf-8") as text:
                write_utf16(os.path.join(folder, "tools", "lang_AutoRun_" + source[:-4] + ".opt"), text.read())
    with open(os.path.join(DEVICE, "config.ini"), encoding="ascii") as config:
        listed = re.findall(r"^(?:file\d\d|svcdel_fname)=(.+)$", config.read(), re.MULTILINE)
    for name in listed + ["Plugstart.exe", "Devpoke.dll"]:
        path = os.path.join(folder, *name.strip().split("\\"))
        if not os.path.exists(path):  # config.ini is listed too
            with open(path, "wb") as program:
                program.write(minimal_pe() if name.strip().lower().endswith((".exe", ".dll")) else b"")


class Image:
    """A copy of the sample image to break."""

    def __init__(self, folder):
        self.folder = folder

    def path(self, relative):
        return os.path.join(self.folder, *relative.split("\\"))

    def edit(self, relative, section, key, value):
        """Sets key in section (value None: removes it; key None: the whole section goes)."""
        with open(self.path(relative), encoding="latin-1", newline="") as source:
            lines = source.read().splitlines()
        out, inside, done = [], False, False
        for line in lines:
            if line.startswith("["):
                if inside and not done and key and value is not None:
                    out.append("%s=%s" % (key, value))
                    done = True
                inside = line.strip()[1:-1].lower() == section.lower()
                if inside and key is None:
                    continue
            elif inside and (key is None or line.split("=")[0].strip().lower() == key.lower()):
                if key and value is not None and not done:
                    out.append("%s=%s" % (key, value))
                done = True
                continue
            out.append(line)
        if inside and not done and key and value is not None:
            out.append("%s=%s" % (key, value))
        with open(self.path(relative), "w", encoding="latin-1", newline="") as target:
            target.write("\r\n".join(out) + "\r\n")

    def append(self, relative, text):
        with open(self.path(relative), "a", encoding="latin-1", newline="") as target:
            target.write(text)

    def remove(self, relative):
        os.remove(self.path(relative))

    def language(self, name):
        return "tools\\lang_AutoRun_%s.opt" % name

    def edit_language(self, name, key, value):
        path = self.path(self.language(name))
        with open(path, "rb") as source:
            text = source.read()[2:].decode("utf-16-le")
        lines = [line for line in text.split("\r\n") if not line.startswith(key + "=")]
        if value is not None:
            lines.insert(lines.index("[STRING]") + 1, "%s=%s" % (key, value))
        write_utf16(path, "\n".join(lines))


class SampleImageCase(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.mkdtemp(prefix="image-check-")
        self.sample = os.path.join(self.temp, "sample")
        make_sample_image(self.sample)

    def tearDown(self):
        shutil.rmtree(self.temp)

    def copy(self):
        folder = tempfile.mkdtemp(dir=self.temp)
        os.rmdir(folder)
        shutil.copytree(self.sample, folder)
        return Image(folder)

    def problems(self, folder, **options):
        return check_image.check_image(folder, **options).items

    def assertRefused(self, image, file, key, words=""):
        problems = self.problems(image.folder)
        found = [p for p in problems if p[0] == file and p[1] == key and words in p[2]]
        self.assertTrue(found, "no problem for %s %s (%s) among %s" % (file, key, words, problems))


class ImageCheckTest(SampleImageCase):

    def test_sample_image_passes_and_the_command_tells_good_from_bad(self):
        self.assertEqual([], self.problems(self.sample))
        good = subprocess.run([sys.executable, CHECK, self.sample], capture_output=True, text=True)
        self.assertEqual(0, good.returncode, good.stdout + good.stderr)
        broken = self.copy()
        broken.remove("Devpoke.dll")
        bad = subprocess.run([sys.executable, CHECK, broken.folder], capture_output=True, text=True)
        self.assertEqual(1, bad.returncode)
        self.assertIn("config.ini: [FILES] file02: 'Devpoke.dll' is not in the image", bad.stdout)
        unreadable = subprocess.run([sys.executable, CHECK, os.path.join(self.temp, "none.iso")],
                                    capture_output=True, text=True)
        self.assertEqual(2, unreadable.returncode)

    def test_values_not_of_the_form_their_reader_takes(self):
        cases = [
            ("FILES", "filecount", "9abc", "[FILES] filecount", "not a number"),
            ("SERVICE", "filecount", "two", "[SERVICE] filecount", "not a number"),
            ("INSTALL", "install_type", "yes", "[INSTALL] install_type", "none of the values"),
            ("DRIVER", "driver_type", "QTC", "[DRIVER] driver_type", "none of the values"),
            ("DRIVER", "driver_autouninstall", "01", "[DRIVER] driver_autouninstall", "none of the values"),
            ("DRIVER", "cdrom_autoset", "true", "[DRIVER] cdrom_autoset", "none of the values"),
            ("ITK", "itk_type", "4", "[ITK] itk_type", "none of the values"),
            ("WEB", "cd_include", "on", "[WEB] cd_include", "none of the values"),
            ("DRIVER", "driver_version", "2.1.0.4 beta", "[DRIVER] driver_version", "not a version"),
            ("ITK", "itk_version", "1.2.3.4.5", "[ITK] itk_version", "not a version"),
            ("WEB", "norvopcsuite_test_ver", "1.0.0.0-preview-build", "[WEB] norvopcsuite_test_ver", "19 bytes"),
            ("DRIVER", "driver_name", "x" * 260 + ".exe", "[DRIVER] driver_name", "259"),
            ("DRIVER", "drivre_name", "DriverSetup.exe", "[DRIVER] drivre_name", "not read"),
            ("ITK", "itk_run_file", "InternetKit.EXE", "[ITK] itk_run_file", ".exe"),
        ]
        for section, key, value, label, words in cases:
            with self.subTest(key=key, value=value):
                image = self.copy()
                image.edit("config.ini", section, key, value)
                self.assertRefused(image, "config.ini", label, words)
        # Compared without regard to case; blanks around a value are dropped by the reader.
        image = self.copy()
        image.edit("config.ini", "DRIVER", "driver_type", " qct ")
        image.edit("config.ini", "DRIVER", "driver_autouninstall", "\"1\"")
        self.assertEqual([], self.problems(image.folder))

    def test_file_names_that_leave_the_program_folder(self):
        cases = [
            ("DRIVER", "driver_name", "..\\DriverSetup.exe", "[DRIVER] driver_name"),
            ("ITK", "itk_setup", "C:\\InternetKitSetup.exe", "[ITK] itk_setup"),
            ("FILES", "file03", "\\DriverSetup.exe", "[FILES] file03"),
            ("SERVICE", "svcdel_fname", "tools\\. .\\..\\NorvoServiceRemover.exe", "[SERVICE] svcdel_fname"),
            ("FILES", "file04", "tools\\NorvoAutorunService.exe:stream", "[FILES] file04"),
        ]
        for section, key, value, label in cases:
            with self.subTest(value=value):
                image = self.copy()
                image.edit("config.ini", section, key, value)
                self.assertRefused(image, "config.ini", label)
        image = self.copy()
        os.makedirs(image.path("setup\\driver"))
        shutil.move(image.path("DriverSetup.exe"), image.path("setup\\driver\\DriverSetup.exe"))
        image.edit("config.ini", "DRIVER", "driver_name", "setup\\driver\\DriverSetup.exe")
        image.edit("config.ini", "FILES", "file03", "setup\\driver\\DriverSetup.exe")
        self.assertRefused(image, "config.ini", "[FILES] file03", "folder the staging does not create")

    def test_keys_and_sections_the_profile_reader_would_shadow(self):
        image = self.copy()
        image.append("config.ini", "[ITK]\r\nitk_type=2\r\n")
        self.assertRefused(image, "config.ini", "[ITK]", "appears again")
        image = self.copy()
        image.edit("config.ini", "FILES", "file09", "DriverSetup.exe")  # beyond filecount
        self.assertRefused(image, "config.ini", "[FILES] file09", "beyond filecount")
        image = self.copy()
        with open(image.path("config.ini"), encoding="ascii") as config:
            text = config.read().replace("itk_type=1\n", "itk_type=1\nITK_TYPE = 3\n")
        with open(image.path("config.ini"), "w", encoding="ascii") as config:
            config.write(text)
        self.assertRefused(image, "config.ini", "[ITK] ITK_TYPE", "takes the first value")

    def test_listed_files_must_be_in_the_image_as_windows_finds_them(self):
        for key, relative in (("[FILES] file05", "tools\\NorvoServiceRemover.exe"), ("[FILES] file06",
                                                                                      "InternetKitSetup.exe")):
            with self.subTest(missing=relative):
                image = self.copy()
                image.remove(relative)
                self.assertRefused(image, "config.ini", key, "not in the image")
        image = self.copy()
        image.edit("config.ini", "SERVICE", "file01", "tools\\Missing.dll")
        self.assertRefused(image, "config.ini", "[SERVICE] file01", "not in the image")
        image = self.copy()
        image.edit("config.ini", "FILES", "filecount", "10")
        self.assertRefused(image, "config.ini", "[FILES] file09", "missing")
        # Another letter case is the same file to Windows.
        image = self.copy()
        shutil.move(image.path("tools\\NorvoServiceRemover.exe"), image.path("tools\\NORVOSERVICEREMOVER.EXE"))
        self.assertEqual([], self.problems(image.folder))
        # The maker's installers may be added later; nothing else may be missing then.
        image = self.copy()
        image.remove("DriverSetup.exe")
        image.remove("tools\\NorvoSetCDROMAutoRun.exe")
        problems = self.problems(image.folder, without_installers=True)
        self.assertEqual(["[DRIVER] cdrom_autoset", "[FILES] file08"], sorted(p[1] for p in problems))

    def test_what_the_pc_copy_starts_or_reads_must_be_staged(self):
        def without_listed(image, name):
            config = check_image.parse_profile(open(image.path("config.ini"), encoding="ascii").read(), "",
                                               check_image.Problems(""))
            names = [v[1] for k, v in sorted(config.section("FILES").items()) if k.startswith("file0")]
            names.remove(name)
            image.edit("config.ini", "FILES", None, None)
            image.append("config.ini", "[FILES]\r\nfilecount=%d\r\n" % len(names) +
                         "".join("file%02d=%s\r\n" % (i, n) for i, n in enumerate(names)))

        cases = [
            ("Plugstart.exe", [], "Plugstart.exe is not listed"),
            ("config.ini", [], "config.ini is not listed"),
            ("Devpoke.dll", [], "Devpoke.dll is not listed"),
            ("DriverSetup.exe", [], "the driver setup"),
            ("InternetKitSetup.exe", [], "the kit setup"),
            ("UninstallMSI.exe", [], "QCT driver package"),
            ("tools\\NorvoServiceRemover.exe", [("ITK", "itk_type", "0")], "service is removed"),
            ("tools\\NorvoAutorunService.exe", [("ITK", "itk_type", "0")], "decides whether the service"),
        ]
        for name, edits, words in cases:
            with self.subTest(unlisted=name):
                image = self.copy()
                for edit in edits:
                    image.edit("config.ini", *edit)
                without_listed(image, name)
                problems = self.problems(image.folder)
                self.assertTrue([p for p in problems if p[0] == "config.ini" and words in p[2]], problems)
        # Not needed where the program never uses them.
        for name, edits in (("UninstallMSI.exe", [("DRIVER", "driver_autouninstall", "1")]),
                            ("InternetKitSetup.exe", [("ITK", "itk_type", "2")]),
                            ("tools\\NorvoServiceRemover.exe", [])):
            with self.subTest(unneeded=name):
                image = self.copy()
                for edit in edits:
                    image.edit("config.ini", *edit)
                without_listed(image, name)
                self.assertEqual([], self.problems(image.folder))
        # A connection manager (kit type 3) is installed from the CD: nothing need be staged, but
        # what it starts must be on the CD.
        image = self.copy()
        image.edit("config.ini", "ITK", "itk_type", "3")
        without_listed(image, "Plugstart.exe")
        without_listed(image, "DriverSetup.exe")
        self.assertEqual([], self.problems(image.folder))
        image.remove("DriverSetup.exe")
        self.assertRefused(image, "config.ini", "[DRIVER] driver_name", "not in the image")
        # The staging finds the program in any case of its name.
        image = self.copy()
        image.edit("config.ini", "FILES", "file00", "plugstart.exe")
        self.assertEqual([], self.problems(image.folder))
        image = self.copy()
        image.edit("config.ini", "DRIVER", "driver_type", "EMP")
        self.assertRefused(image, "config.ini", "[DRIVER] emp_uninstall_linkfile", "empty")
        image = self.copy()
        image.edit("config.ini", "ITK", "itk_type", "2")
        image.edit("config.ini", "ITK", "itk_setup", "Setup.exe")
        self.assertRefused(image, "config.ini", "[FILES] file03", "skips it")
        image = self.copy()
        image.remove("tools\\NorvoSetCDROMAutoRun.exe")
        image.edit("config.ini", "FILES", "filecount", "8")
        self.assertRefused(image, "config.ini", "[DRIVER] cdrom_autoset", "not in the image")

    def test_language_files(self):
        image = self.copy()
        image.remove(image.language("greek"))
        self.assertRefused(image, image.language("greek"), "-", "missing")
        image = self.copy()
        with open(image.path(image.language("czech")), "rb") as source:
            text = source.read()[2:].decode("utf-16-le")
        with open(image.path(image.language("czech")), "wb") as target:
            target.write(text.encode("utf-8"))
        self.assertRefused(image, image.language("czech"), "encoding", "byte-order mark")
        for language, key, value, words in (("french", "STR_STRING_BTN_OK", None, "missing"),
                                            ("kor", "STR_STRING_TITLE", "  ", "empty"),
                                            ("japan", "STR_STRING_PCSUITE_NOT_INSTALL_CM", None, "missing")):
            with self.subTest(language=language, key=key):
                image = self.copy()
                image.edit_language(language, key, value)
                self.assertRefused(image, image.language(language), "[STRING] " + key, words)
        image = self.copy()
        image.edit_language("eng", "STR_STRING_TITLE", "Another title")  # a second value, shadowed
        with open(image.path(image.language("eng")), "rb") as source:
            text = source.read()[2:].decode("utf-16-le")
        write_utf16(image.path(image.language("eng")), text + "STR_STRING_TITLE=Shadowed\r\n")
        self.assertRefused(image, image.language("eng"), "[STRING] STR_STRING_TITLE", "appears again")

    def test_autorun_inf_starts_the_program(self):
        for value, words in (("Setup.exe", "not in the image"), ("DriverSetup.exe", "not the program"),
                             ("Plugstart.exe -l R", "a CD start has none"), (None, "missing")):
            with self.subTest(open=value):
                image = self.copy()
                image.edit("autorun.inf", "autorun", "open", value)
                self.assertRefused(image, "autorun.inf", "open", words)
        image = self.copy()
        image.remove("autorun.inf")
        self.assertRefused(image, "autorun.inf", "-", "missing")

    def test_every_executable_runs_from_the_page_file(self):
        image = self.copy()
        for name in ("Plugstart.exe", "tools\\NorvoAutorunService.exe"):
            with open(image.path(name), "wb") as program:
                program.write(minimal_pe(run_from_swap=False))
        with open(image.path("tools\\Extra.DLL"), "wb") as library:  # any executable, in any letter case
            library.write(minimal_pe(run_from_swap=False))
        with open(image.path("Devpoke.dll"), "wb") as library:
            library.write(b"MZ not an executable")
        problems = self.problems(image.folder)
        for name in ("Plugstart.exe", "tools\\NorvoAutorunService.exe", "tools\\Extra.DLL"):
            self.assertRefused(image, name, "PE header", "IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP")
        self.assertRefused(image, "Devpoke.dll", "PE header", "not a Windows executable")
        self.assertEqual(4, len([p for p in problems if p[1] == "PE header"]), problems)

    def test_a_makers_installer_without_the_page_file_mark_is_only_noted(self):
        image = self.copy()
        with open(image.path("DriverSetup.exe"), "wb") as setup:  # signed by its maker: cannot be marked
            setup.write(minimal_pe(run_from_swap=False))
        checked = check_image.check_image(image.folder)
        self.assertEqual([], [p for p in checked.items if p[1] == "PE header"])
        self.assertIn("DriverSetup.exe: PE header: note: the device maker's installer",
                      "\n".join(checked.note_lines()))

    @unittest.skipUnless(shutil.which("xorriso"), "xorriso writes the test CDs")
    def test_cd_images_are_read_by_their_joliet_names(self):
        def write_iso(folder, *options):
            iso = folder + ".iso"
            subprocess.run(["xorriso", "-report_about", "SORRY", "-as", "mkisofs", "-quiet", *options, "-V",
                            "Norvo Mobile", "-o", iso, folder], check=True)
            return iso

        self.assertEqual([], self.problems(write_iso(self.sample, "-J")))
        broken = self.copy()
        broken.remove("tools\\lang_AutoRun_turkish.opt")
        problems = self.problems(write_iso(broken.folder, "-J"))
        self.assertEqual([("tools\\lang_AutoRun_turkish.opt", "-", "missing from the image")], problems)
        short_names = self.problems(write_iso(self.copy().folder))  # no Joliet tree
        self.assertIn("Joliet", [p[1] for p in short_names])

    def test_a_crafted_iso_whose_directories_are_read_again_and_again_is_refused_in_bounded_time(self):
        iso = os.path.join(self.temp, "loop.iso")
        write_looping_iso(iso)
        self.assertLess(os.path.getsize(iso), 70 * 1024)
        try:
            done = subprocess.run([sys.executable, CHECK, iso], capture_output=True, text=True, timeout=120)
        except subprocess.TimeoutExpired:
            self.fail("the check of a 68 KB ISO whose directories are read again and again did not end within 120 s")
        self.assertEqual(2, done.returncode, done.stdout + done.stderr)
        self.assertIn("unreadable", done.stderr)
        self.assertIn("points at a directory read already", done.stderr)

    @unittest.skipUnless(shutil.which("xorriso"), "xorriso writes the test CDs")
    def test_an_iso_with_more_entries_than_the_check_visits_is_refused(self):
        iso = self.sample + ".iso"
        subprocess.run(["xorriso", "-report_about", "SORRY", "-as", "mkisofs", "-quiet", "-J", "-o", iso,
                        self.sample], check=True)
        saved = check_image.MAX_ISO_ENTRIES
        check_image.MAX_ISO_ENTRIES = 20  # the sample holds some 45 files
        try:
            with self.assertRaisesRegex(ValueError, "more than 20 directory entries"):
                check_image.check_image(iso)
        finally:
            check_image.MAX_ISO_ENTRIES = saved


class ReadingBoundsTest(unittest.TestCase):
    """Images that would keep the check reading: directories that claim far more bytes than they
    hold, a FIFO or a link where a file should be. Each is refused as unreadable (exit 2) with the
    reason, in bounded time."""

    def setUp(self):
        self.temp = tempfile.mkdtemp(prefix="image-bounds-")

    def tearDown(self):
        shutil.rmtree(self.temp)

    def check(self, path, seconds=60):
        try:
            return subprocess.run([sys.executable, CHECK, path], capture_output=True, text=True, timeout=seconds)
        except subprocess.TimeoutExpired:
            self.fail("the check of %s did not end within %d s" % (path, seconds))

    def test_directories_that_claim_32_mb_each_are_refused_at_once(self):
        iso = os.path.join(self.temp, "greedy.iso")
        write_greedy_iso(iso)
        self.assertLess(os.stat(iso).st_blocks * 512, 4 << 20, "the crafted image is small on disk")
        done = self.check(iso)
        self.assertEqual(2, done.returncode, done.stdout + done.stderr)
        self.assertIn("unreadable: the directory '\u4e00' claims 33554432 bytes", done.stderr)

    def test_directories_within_the_bound_of_one_are_refused_at_the_bound_of_all(self):
        iso = os.path.join(self.temp, "many.iso")
        write_greedy_iso(iso, children=100, claimed=4 << 20, levels=1)
        done = self.check(iso)
        self.assertEqual(2, done.returncode, done.stdout + done.stderr)
        self.assertIn("would pass the 256 MB that one look at an image reads", done.stderr)

    def test_a_fifo_or_a_link_in_an_image_folder_is_refused_without_reading_it(self):
        for kind in ("fifo", "link"):
            with self.subTest(kind):
                folder = os.path.join(self.temp, kind)
                make_sample_image(folder)
                os.remove(os.path.join(folder, "config.ini"))
                if kind == "fifo":
                    os.mkfifo(os.path.join(folder, "config.ini"))
                else:
                    os.symlink("/etc/hostname", os.path.join(folder, "config.ini"))
                done = self.check(folder, seconds=30)
                self.assertEqual(2, done.returncode, done.stdout + done.stderr)
                self.assertIn("config.ini is %s" % ("a FIFO (named pipe)" if kind == "fifo" else "a symbolic link"),
                              done.stderr)


class AutorunSectionsTest(SampleImageCase):
    """The start lines a 64-bit Windows reads ([AutoRun.Amd64] in place of [AutoRun]) and
    shellexecute=, which Windows starts before open=: each must name the image's program, without
    arguments, inside the image."""

    def test_every_start_line_names_the_program_without_arguments(self):
        for section, key, value, label, words in (
                ("autorun", "shellexecute", "Setup.exe", "shellexecute", "not in the image"),
                ("autorun", "shellexecute", "Plugstart.exe /x", "shellexecute", "a CD start has none"),
                ("autorun", "shellexecute", "..\\Plugstart.exe", "shellexecute", "climbs out"),
                ("autorun", "open", "C:\\Windows\\Plugstart.exe", "open", "names a drive"),
                ("autorun.amd64", "open", "Setup64.exe", "[autorun.amd64] open", "not in the image"),
                ("autorun.amd64", "shellexecute", "\\Plugstart.exe", "[autorun.amd64] shellexecute", "absolute"),
                ("autorun.amd64", "icon", "Plugstart.exe", "[autorun.amd64] open", "a 64-bit Windows starts nothing")):
            with self.subTest(section=section, key=key, value=value):
                image = self.copy()
                image.append("autorun.inf", "[%s]\r\n" % section if section != "autorun" else "")
                image.edit("autorun.inf", section, key, value)
                self.assertRefused(image, "autorun.inf", label, words)

    def test_a_64_bit_section_and_shellexecute_that_start_the_program_pass(self):
        image = self.copy()
        image.edit("autorun.inf", "autorun", "shellexecute", "Plugstart.exe")
        image.append("autorun.inf", "[AutoRun.Amd64]\r\nshellexecute=\"Plugstart.exe\"\r\nopen=Plugstart.exe\r\n")
        self.assertEqual([], self.problems(image.folder))


@unittest.skipUnless(shutil.which("xorriso"), "xorriso writes the test CDs")
class DifferingTreesTest(SampleImageCase):
    def test_a_cd_whose_rock_ridge_tree_differs_from_its_joliet_tree_has_a_problem_for_each_difference(self):
        from plugin import hostile_images
        image = self.copy()
        with open(image.path("autorun.inf"), encoding="latin-1", newline="") as f:
            honest = f.read()
        iso = os.path.join(self.temp, "two-trees.iso")
        hostile_images.write_differing_iso(image.folder, iso, honest, "[autorun]\r\nopen=Setup.exe\r\n")
        problems = [p for p in self.problems(iso) if p[1] == "Rock Ridge"]
        self.assertEqual(sorted(p[0] for p in problems), sorted([
            "autorun.inf", hostile_images.RENAMED_FOR_WINDOWS[0], hostile_images.RENAMED_FOR_WINDOWS[1],
            hostile_images.MARKUP_NAME[0], hostile_images.MARKUP_NAME[1]]))
        self.assertIn("other data in each tree", dict((p[0], p[2]) for p in problems)["autorun.inf"])
        # What Windows reads is checked: its autorun.inf starts the program.
        self.assertEqual([], [p for p in self.problems(iso) if p[0] == "autorun.inf" and p[1] != "Rock Ridge"])


class ContainedNames(unittest.TestCase):
    """The image check refuses a file name exactly when the program does: both read one table."""

    def test_refuses_the_names_the_program_refuses(self):
        with open(os.path.join(ROOT, "tests", "data", "relative_names.inc"), encoding="ascii") as source:
            text = source.read()
        table = text[text.index('R"NAMES(') + len('R"NAMES('):text.index(')NAMES"')]
        rows = [line.split(" ", 1) for line in table.splitlines() if " " in line]
        self.assertGreaterEqual(len(rows), 20)
        for verdict, name in rows:
            with self.subTest(name=name):
                self.assertEqual(verdict == "outside", check_image.contained_name_problem(name) is not None)
        self.assertIsNotNone(check_image.contained_name_problem(""))


if __name__ == "__main__":
    unittest.main()
