#!/usr/bin/env python3
"""Checks a device image before it goes onto the modem's virtual CD.

    check-image.py [--without-installers] IMAGE [IMAGE ...]

IMAGE is the image folder (build/<preset>/image) or an ISO 9660 image with Joliet names
(build/<preset>/device.iso). The check reads config.ini, autorun.inf and the language files as
the program and Windows read them (an ISO by its Joliet tree) and reports every problem on a line
of its own, with the file and the key:

    build/release/device.iso:config.ini: [FILES] file03: 'DriverSetup.exe' is not in the image

An ISO whose Rock Ridge tree (what Linux shows) differs from its Joliet tree (what Windows shows)
has a problem for each difference. It exits 0 when an image has no problem, 1 when one has, 2 when
an image cannot be read: an ISO that passes a bound of the reading (entries, bytes, depth; see
scripts/iso9660.py), or a folder that holds a link, a FIFO, a device or a socket.

--without-installers: the device maker's installers (the driver setup, the kit setup, the
removers) are added to the image later; their absence is noted, not reported as a problem.
Everything else is checked as usual. The release build checks its image so unless it was given
the maker's files (PLUGSTART_MAKER_FILES_DIR).

Python 3 standard library only.
"""
import os
import re
import stat
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import iso9660  # noqa: E402  (beside this script)
import pe_flags  # noqa: E402

# No device CD holds anything near this many files and folders: an ISO whose directories hold
# more (or point at one another so that they would be read again and again) is not read further.
MAX_ISO_ENTRIES = iso9660.MAX_ENTRIES
MAX_VALUE = 259            # characters the program reads of a configuration value
MAX_LANGUAGE_VALUE = 2047  # characters it reads of a language text

# The language files the program selects from the user's language, in tools\.
LANGUAGES = [
    "eng", "bulgarian", "chi_hk", "chi_sim", "chi_tai", "croatian", "czech", "danish", "dutch",
    "finnish", "french", "german", "greek", "hungarian", "italian", "japan", "kor", "norwegian",
    "polish", "portuguese", "portuguese_br", "russian", "serbian", "slovakia", "slovene", "spanish",
    "spanish_la", "spanish_mx", "swedish", "turkish",
]

# The keys the program looks up in section STRING of every language file.
LANGUAGE_KEYS = [
    "STR_STRING_TITLE",
    "STR_STRING_APP_INIT_FAILED_000", "STR_STRING_APP_INIT_FAILED_001", "STR_STRING_APP_INIT_FAILED_002",
    "STR_STRING_APP_INIT_FAILED_003", "STR_STRING_APP_INIT_FAILED_004", "STR_STRING_APP_INIT_FAILED_005",
    "STR_STRING_INITDLG_STRING", "STR_STRING_DONOT_UNPLUG_USB", "STR_STRING_BTN_CANCEL",
    "STR_STRING_ERROR_CANNOT_FIND_CONFIG", "STR_STRING_ERROR_CANNOT_FIND_SCSIDLL",
] + ["STR_STRING_ERROR_SCSI_%d_%d" % (n, form) for form in (0, 1) for n in range(7)] + [
    "STR_STRING_NON_ADMIN_NOTI",
    "STR_STRING_DRV_NOT_INSTALL_NOTIFY", "STR_STRING_CANNOT_START_ITK", "STR_STRING_NOT_FOUND_PCSUITE",
    "STR_STRING_PCSUITE_NOT_INSTALL",
    "STR_STRING_ERROR_DRV_SETUP_NAME_EMPTY", "STR_STRING_ERROR_ITK_FILENAME_EMPTY",
    "STR_STRING_STATUS_TOP_STRING_1_0", "STR_STRING_STATUS_TOP_STRING_1_0_0", "STR_STRING_STATUS_TOP_STRING_2_0",
    "STR_STRING_STATUS_TOP_STRING_3_0", "STR_STRING_STATUS_TOP_STRING_3_0_0",
    "STR_STRING_ERROR_CANNOT_OPEN_SCM_0", "STR_STRING_ERROR_SVC_FILE_NOT_FOUND",
    "STR_STRING_ERROR_CANNOT_INSTALL_SERVICE", "STR_STRING_ERROR_CANNOT_START_SERVICE",
    "STR_STRING_CDROM_AUTO_OPTION_1", "STR_STRING_CDROM_AUTO_OPTION_4",
    "STR_STRING_BTN_OK", "STR_STRING_INSERT_CD", "STR_STRING_INSTALL_GUIDE_TITLE",
    "STR_STRING_INSTALL_GUIDE_DOWNLOAD", "STR_STRING_ERROR_CANNOT_DOWN_PCSUITE",
    "STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_0", "STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_2",
    "STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_3", "STR_STRING_ERROR_CANNOT_DOWN_PCSUITE_4",
    "STR_STEING_INSTALL_GUIDE_TXT_TOP", "STR_STEING_INSTALL_GUIDE_TXT_MAIN_TOP",
    "STR_STEING_INSTALL_GUIDE_TXT_MAIN_CONTENTS_1", "STR_STEING_INSTALL_GUIDE_TXT_MAIN_CONTENTS_2",
    "STR_STEING_INSTALL_GUIDE_TXT_MAIN_CONTENTS_3", "STR_STEING_INSTALL_GUIDE_TXT_MAIN_CONTENTS_4",
]
# Read only with the Japanese file (the DCM connection manager's texts).
JAPANESE_ONLY_KEYS = [
    "STR_STRING_NOT_FOUND_PCSUITE_CM", "STR_STRING_PCSUITE_NOT_INSTALL_CM",
    "STR_STRING_STATUS_TOP_STRING_1_0_CM", "STR_STRING_STATUS_TOP_STRING_3_0_CM",
]

PROGRAM = "Plugstart.exe"
LIBRARY = "Devpoke.dll"
CONFIG = "config.ini"
QCT_REMOVER = "UninstallMSI.exe"
SERVICE_EXECUTABLE = "tools\\NorvoAutorunService.exe"
AUTOPLAY_TOOL = "tools\\NorvoSetCDROMAutoRun.exe"

# How the program reads each key: "text", "file" (a name joined to the program's folder),
# "integer" (leading digits), "version" (dotted numbers), or the texts it compares the value with.
# FILES and SERVICE also have "file%02d" keys.
CONFIG_KEYS = {
    "INSTALL": {"install_type": ("0", "1")},
    "DRIVER": {
        "driver_type": ("QCT", "EMP", "FOMA_K21C"),
        "driver_name": "file",
        "driver_version": "version",
        "driver_autouninstall": ("0", "1"),
        "emp_uninstall_linkfile": "file",
        "cdrom_autoset": ("0", "1"),
    },
    "ITK": {
        "itk_type": ("0", "1", "2", "3"),
        "itk_setup": "file",
        "itk_run_file": "file",
        "itk_version": "version",
    },
    "FILES": {"filecount": "integer"},
    "SERVICE": {"filecount": "integer", "svcdel_fname": "file"},
    "WEB": {
        "norvopcsuite_test_ver": "text",
        "cd_include": ("0", "1"),
        "norvopcsuite_def_downurl": "text",
    },
}
# Compared without regard to case; the others are digits, where case does not arise.
CASELESS_CHOICES = {"driver_type"}
LISTED_FILE_KEY = re.compile(r"^file(\d{2,})$", re.IGNORECASE)


class Problems:
    """The problems of one image, each with its file and key."""

    def __init__(self, image_name):
        self.image_name = image_name
        self.items = []
        self.notes = []

    def add(self, file, key, text):
        self.items.append((file, key, text))

    def note(self, file, key, text):
        self.notes.append((file, key, text))

    def lines(self):
        return ["%s:%s: %s: %s" % (self.image_name, f, k, t) for f, k, t in self.items]

    def note_lines(self):
        return ["%s:%s: %s: note: %s" % (self.image_name, f, k, t) for f, k, t in self.notes]


# ---------------------------------------------------------------------------------------------
# Images: a folder, or an ISO 9660 image read through its Joliet names.

# What an image folder may hold besides files and folders: nothing (a CD holds no such thing, and
# reading one could follow a link out of the image or wait for ever on a FIFO).
SPECIAL_FILES = ((stat.S_ISLNK, 'a symbolic link'), (stat.S_ISFIFO, 'a FIFO (named pipe)'),
                 (stat.S_ISCHR, 'a character device'), (stat.S_ISBLK, 'a block device'), (stat.S_ISSOCK, 'a socket'))
HEADER_BYTES = 64 * 1024  # what the check reads of an executable: its headers


def special_kind(mode):
    return next((kind for test, kind in SPECIAL_FILES if test(mode)), None)


class FolderImage:
    def __init__(self, path):
        self.files = {}
        self.iso_problems = []
        special = []
        for folder, dirs, names in os.walk(path):
            for name in sorted(dirs + names):
                full = os.path.join(folder, name)
                kind = special_kind(os.lstat(full).st_mode)
                relative = os.path.relpath(full, path).replace(os.sep, "\\")
                if kind:
                    special.append("%s is %s" % (relative, kind))
                elif name in names:
                    self.files.setdefault(relative.lower(), (relative, full))
        if special:
            raise iso9660.IsoError("%s: an image holds only files and folders (such an entry is refused like a "
                                   "link: it could lead out of the image, or never give its data)" % "; ".join(special))

    def has(self, relative):
        return relative.lower() in self.files

    def read(self, relative, limit=None):
        """The data of a file (its first limit bytes), opened without following a link or waiting
        on what is no file."""
        full = self.files[relative.lower()][1]
        handle = os.open(full, os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK)
        with os.fdopen(handle, "rb") as source:
            size = os.fstat(source.fileno()).st_size
            if not stat.S_ISREG(os.fstat(source.fileno()).st_mode):
                raise iso9660.IsoError("%s is no longer a file" % relative)
            wanted = size if limit is None else min(size, limit)
            if wanted > iso9660.MAX_FILE_BYTES:
                raise iso9660.IsoError("%s is %d bytes: more than the %d MB read of one file" % (
                    relative, size, iso9660.MAX_FILE_BYTES >> 20))
            return source.read(wanted)


class IsoImage:
    """The files of an ISO 9660 image as Windows shows them: by their Joliet names (else by their
    ISO 9660 names); where the Rock Ridge tree that Linux shows differs, a problem for each
    difference."""

    def __init__(self, path):
        self.path = path
        self.files = {}
        self.iso_problems = []
        self.iso = iso9660.IsoImage(path, max_entries=MAX_ISO_ENTRIES)
        tree = self.iso.joliet_tree()
        if tree is None:
            self.iso_problems.append(("-", "Joliet", "the image has no Joliet names: Windows would show short "
                                      "upper-case names"))
            tree = self.iso.iso_tree()
        for entry in tree:
            if entry.kind == "file":
                self.files.setdefault(entry.path.lower(), (entry.path, entry))
        for relative, what in iso9660.windows_and_linux_differences(self.iso):
            self.iso_problems.append((relative, "Rock Ridge", "%s: Windows reads the Joliet tree, Linux the Rock "
                                      "Ridge one, and the two differ here" % what))

    def has(self, relative):
        return relative.lower() in self.files

    def read(self, relative, limit=None):
        return self.iso.read(self.files[relative.lower()][1], limit)


def open_image(path):
    if os.path.isdir(path):
        return FolderImage(path)
    return IsoImage(path)


# ---------------------------------------------------------------------------------------------
# Windows profile files, read the way GetPrivateProfileStringW reads them.

class Profile:
    """Sections and keys in file order; names match without regard to case. The reader takes the
    first section of a name and the first key of a name within it."""

    def __init__(self):
        self.sections = {}  # lower name -> (name, {lower key: (key, value, line)})
        self.order = []

    def section(self, name):
        found = self.sections.get(name.lower())
        return found[1] if found else None

    def value(self, section, key):
        keys = self.section(section)
        if keys is None or key.lower() not in keys:
            return None
        return keys[key.lower()][1]


def decode_profile(data, file, problems, unicode_required):
    """The text of a profile file as the profile reader sees it, or None."""
    if data.startswith(b"\xff\xfe"):
        if len(data) % 2:
            problems.add(file, "encoding", "UTF-16LE text of an odd number of bytes")
            return None
        try:
            return data[2:].decode("utf-16-le")
        except UnicodeDecodeError as error:
            problems.add(file, "encoding", "not valid UTF-16LE (%s)" % error.reason)
            return None
    if unicode_required:
        problems.add(file, "encoding", "not UTF-16LE with a byte-order mark: the profile reader would read "
                     "it in the PC's ANSI code page")
        return None
    if data.startswith(b"\xef\xbb\xbf"):
        problems.add(file, "encoding", "UTF-8 byte-order mark: the profile reader reads the file in the PC's "
                     "code page and the mark spoils the first line")
        return None
    if any(byte >= 0x80 for byte in data):
        problems.add(file, "encoding", "text beyond ASCII in a file without a byte-order mark: its meaning "
                     "depends on the PC's code page")
    return data.decode("latin-1")


def parse_profile(text, file, problems):
    profile = Profile()
    current = None
    current_name = ""
    for number, raw in enumerate(re.split(r"\r\n|\n|\r", text), start=1):
        line = raw.strip(" \t")
        if not line or line.startswith(";"):
            continue
        if line.startswith("["):
            name = line[1:line.index("]")] if "]" in line else line[1:]
            name = name.strip(" \t")
            current_name = name
            if name.lower() in profile.sections:
                problems.add(file, "[%s]" % name, "section appears again at line %d: the reader sees only the first"
                             % number)
                current = {}  # keys of a shadowed section are never read
            else:
                current = {}
                profile.sections[name.lower()] = (name, current)
                profile.order.append(name)
            continue
        if current is None:
            problems.add(file, "line %d" % number, "text before the first section is never read")
            continue
        if "=" not in line:
            problems.add(file, "line %d" % number, "neither a section, a key=value line nor a comment: %r" % line)
            continue
        key, value = line.split("=", 1)
        key, value = key.strip(" \t"), value.strip(" \t")
        if len(value) >= 2 and value[0] == value[-1] and value[0] in "\"'":
            value = value[1:-1]  # the reader drops one pair of enclosing quotation marks
        if key.lower() in current:
            problems.add(file, "[%s] %s" % (current_name, key), "key appears again at line %d: the reader takes "
                         "the first value (line %d)" % (number, current[key.lower()][2]))
            continue
        current[key.lower()] = (key, value, number)
    return profile


def load_profile(image, relative, problems, unicode_required=False):
    if not image.has(relative):
        problems.add(relative, "-", "missing from the image")
        return None
    text = decode_profile(image.read(relative), relative, problems, unicode_required)
    if text is None:
        return None
    return parse_profile(text, relative, problems)


# ---------------------------------------------------------------------------------------------
# config.ini

def contained_name_problem(name):
    """Why name, joined to the program's folder, would not stay inside it (the program treats
    such a name as a missing file), or None. The program's IsContainedRelativeName
    (config/RelativeName.h) is the rule, and this follows it name for name: change the two
    together. Beyond it, a character that Windows refuses in file names is reported too."""
    if not name:
        return "empty"
    if name[0] in "\\/":
        return "an absolute path (a leading backslash or slash)"
    if ":" in name:
        return "names a drive or a stream"
    for component in re.split(r"[\\/]", name):
        if set(component) <= {".", " "} and component.count(".") >= 2:
            return "climbs out of the program's folder"
    if re.search(r'[<>"|?*\x00-\x1f]', name):
        return "holds a character Windows refuses in file names"
    return None


def normalised(name):
    return name.replace("/", "\\").lower()


class Config:
    """config.ini with every value checked for the form its reader expects."""

    def __init__(self, profile, problems):
        self.profile = profile
        self.problems = problems
        self.files = []    # [FILES] file00.. in order: (key, name)
        self.service = []  # [SERVICE] file00..
        for section_name in profile.order:
            self._check_section(section_name)

    def text(self, section, key):
        value = self.profile.value(section, key)
        return "" if value is None else value

    def _check_section(self, section_name):
        keys = self.profile.section(section_name)
        known = CONFIG_KEYS.get(section_name.upper())
        where = "[%s]" % section_name
        if known is None:
            self.problems.add(CONFIG, where, "section is not read by the program")
            return
        for key_lower, (key, value, _) in keys.items():
            label = "%s %s" % (where, key)
            if len(value) > MAX_VALUE:
                self.problems.add(CONFIG, label, "value of %d characters: the program reads only %d"
                                  % (len(value), MAX_VALUE))
            form = known.get(key_lower)
            if form is None and LISTED_FILE_KEY.match(key) and section_name.upper() in ("FILES", "SERVICE"):
                form = "file"
            if form is None:
                self.problems.add(CONFIG, label, "key is not read by the program")
                continue
            self._check_value(label, key_lower, value, form)
        if section_name.upper() in ("FILES", "SERVICE"):
            listed = self._listed_files(section_name, keys)
            if section_name.upper() == "FILES":
                self.files = listed
            else:
                self.service = listed

    def _check_value(self, label, key, value, form):
        if value == "":
            return  # the reader takes an empty value as an absent one
        if form == "integer":
            if not re.fullmatch(r"[0-9]+", value):
                self.problems.add(CONFIG, label, "%r is not a number: the reader takes its leading digits (%s)"
                                  % (value, re.match(r"[0-9]*", value).group() or "0"))
            elif int(value) > 2147483647:
                self.problems.add(CONFIG, label, "%s is beyond the range of an integer" % value)
        elif form == "version":
            fields = value.split(".")
            if len(fields) > 4 or not all(re.fullmatch(r"[0-9]+", f) and int(f) <= 0xFFFFFFFF for f in fields):
                self.problems.add(CONFIG, label, "%r is not a version of up to four dotted numbers" % value)
        elif form == "file":
            why = contained_name_problem(value)
            if why:
                self.problems.add(CONFIG, label, "%r %s" % (value, why))
        elif form == "text":
            if key == "norvopcsuite_test_ver" and len(value.encode("latin-1", "replace")) > 19:
                self.problems.add(CONFIG, label, "%r is longer than the 19 bytes handed to the download check"
                                  % value)
        else:
            choices = form
            matches = (value.upper() in choices) if key in CASELESS_CHOICES else (value in choices)
            if not matches:
                self.problems.add(CONFIG, label, "%r is none of the values the program knows (%s)"
                                  % (value, ", ".join(choices)))

    def _listed_files(self, section_name, keys):
        value = keys.get("filecount", (None, "", 0))[1]
        count = int(re.match(r"[0-9]*", value).group() or "0")
        listed = []
        numbers = set()
        for key_lower, (key, name, _) in keys.items():
            match = LISTED_FILE_KEY.match(key)
            if not match:
                continue
            number = int(match.group(1))
            numbers.add(number)
            if key_lower != "file%02d" % number:
                self.problems.add(CONFIG, "[%s] %s" % (section_name, key), "the program looks for file%02d"
                                  % number)
            elif number >= count:
                self.problems.add(CONFIG, "[%s] %s" % (section_name, key), "beyond filecount %d: never read"
                                  % count)
        for number in range(count):
            key = "file%02d" % number
            if key not in keys:
                self.problems.add(CONFIG, "[%s] %s" % (section_name, key), "missing (filecount is %d)" % count)
            elif keys[key][1] == "":
                self.problems.add(CONFIG, "[%s] %s" % (section_name, key), "empty")
            else:
                listed.append((keys[key][0], keys[key][1]))
        return listed


class FileCheck:
    """The files that config.ini names: in the image, and listed for staging where the copy on
    the PC starts or reads them. A connection manager (kit type 3) is installed from the CD
    itself: nothing is staged, and everything it uses must be in the image."""

    def __init__(self, image, config, problems, without_installers):
        self.image = image
        self.config = config
        self.problems = problems
        self.without_installers = without_installers
        kit_text = config.text("ITK", "itk_type")
        self.kit_type = int(kit_text) if kit_text in ("0", "1", "2", "3") else 0  # the reader's default is 0
        self.listed = {normalised(name) for _, name in config.files}
        self.installers = set()  # the device maker's installers among the names

    def run(self):
        self.check_needed_files()
        if self.kit_type != 3:
            self.check_program_listing()
        self.check_listed_files()
        if not self.image.has(LIBRARY):
            self.problems.add(LIBRARY, "-", "missing beside the program: it does not load without it")

    def need(self, file_key, name, why, staged=True, installer=False):
        """name (from file_key) must be in the image and, when staged, listed under [FILES]."""
        if not name:
            self.problems.add(CONFIG, file_key, "empty, but %s" % why)
            return
        if contained_name_problem(name):
            return  # reported with its key
        if installer:
            self.installers.add(normalised(name))
        if not staged or self.kit_type == 3:
            self.present(file_key, name)
        elif normalised(name) not in self.listed:
            self.problems.add(CONFIG, file_key, "%r is not listed under [FILES]: %s, and the staging does not "
                              "copy it" % (name, why))
        # a listed name is looked for in the image with the listed files

    def present(self, file_key, name):
        if self.image.has(name.replace("/", "\\")):
            return
        if self.without_installers and normalised(name) in self.installers:
            self.problems.note(CONFIG, file_key, "%r is not in the image yet (the device maker's installer)"
                               % name)
        else:
            self.problems.add(CONFIG, file_key, "%r is not in the image" % name)

    def check_needed_files(self):
        config, kit_type = self.config, self.kit_type
        driver_type = config.text("DRIVER", "driver_type").upper()
        self.need("[DRIVER] driver_name", config.text("DRIVER", "driver_name"), "the driver setup is started to "
                  "install the driver", installer=True)
        if kit_type != 2:
            self.need("[ITK] itk_setup", config.text("ITK", "itk_setup"), "the kit setup is started to install "
                      "the kit", installer=True)
        run_file = config.text("ITK", "itk_run_file")
        if kit_type in (0, 1, 3) and not run_file:
            self.problems.add(CONFIG, "[ITK] itk_run_file", "empty, but the kit's program is started by this name")
        elif kit_type in (0, 1) and ".exe" not in run_file:
            self.problems.add(CONFIG, "[ITK] itk_run_file", "%r holds no \".exe\" (written in small letters): the "
                              "program does not start it" % run_file)
        if driver_type == "EMP":
            self.need("[DRIVER] emp_uninstall_linkfile", config.text("DRIVER", "emp_uninstall_linkfile"),
                      "the EMP driver's remover runs before every EMP driver setup", installer=True)
        elif driver_type != "FOMA_K21C" and config.text("DRIVER", "driver_autouninstall") != "1":
            self.need("[DRIVER] driver_autouninstall", QCT_REMOVER, "an installed QCT driver package is removed "
                      "by it before the setup (driver_autouninstall is not 1)", installer=True)
        if kit_type == 0:
            self.need("[SERVICE] svcdel_fname", config.text("SERVICE", "svcdel_fname"), "the service is removed "
                      "by it before it is deployed (kit type 0)")
            self.need("[FILES]", SERVICE_EXECUTABLE, "its version decides whether the service is deployed "
                      "(kit type 0)")
            for key, name in config.service:
                self.need("[SERVICE] %s" % key, name, "the service files are copied from the program's folder "
                          "(kit type 0)")
        if config.text("DRIVER", "cdrom_autoset") == "1" and kit_type in (1, 2):
            self.need("[DRIVER] cdrom_autoset", AUTOPLAY_TOOL, "the autoplay check at a CD start runs it, from "
                      "the CD", staged=False)

    def check_program_listing(self):
        # The staging starts the last listed name that holds the program's name, in any case.
        names = [name.lower() for _, name in self.config.files]
        if PROGRAM.lower() not in names:
            self.problems.add(CONFIG, "[FILES]", "%s is not listed: the staging starts the copy of it" % PROGRAM)
        else:
            program_at = len(names) - 1 - names[::-1].index(PROGRAM.lower())
            for _, name in self.config.files[program_at + 1:]:
                if PROGRAM.lower() in name.lower():
                    self.problems.add(CONFIG, "[FILES]", "%r also holds %s: the staging would start it instead"
                                      % (name, PROGRAM))
        for name, why in ((CONFIG, "the copy on the PC reads its configuration beside it"),
                          (LIBRARY, "the program does not load without it")):
            if name.lower() not in self.listed:
                self.problems.add(CONFIG, "[FILES]", "%s is not listed: %s" % (name, why))

    def check_listed_files(self):
        setup = self.config.text("ITK", "itk_setup")
        for key, name in self.config.files:
            if contained_name_problem(name):
                continue
            parts = re.split(r"[\\/]", name)
            if len(parts) > 2 or (len(parts) == 2 and parts[0].lower() != "tools"):
                self.problems.add(CONFIG, "[FILES] %s" % key, "%r lies in a folder the staging does not create "
                                  "(only the program's folder and tools\\)" % name)
            if self.kit_type == 2 and setup and setup.lower() in name.lower() and \
                    normalised(name) != normalised(setup):
                self.problems.add(CONFIG, "[FILES] %s" % key, "%r holds the PC-suite setup's name %r: the staging "
                                  "skips it" % (name, setup))
            self.present("[FILES] %s" % key, name)
        service_files = self.config.service + [("svcdel_fname", self.config.text("SERVICE", "svcdel_fname"))]
        for key, name in service_files:
            if name and not contained_name_problem(name):
                self.present("[SERVICE] %s" % key, name)


def check_config(image, problems, without_installers):
    """Checks config.ini and the files it names; returns the device maker's installers it names."""
    profile = load_profile(image, CONFIG, problems)
    if profile is None:
        return set()
    files = FileCheck(image, Config(profile, problems), problems, without_installers)
    files.run()
    return files.installers


# ---------------------------------------------------------------------------------------------
# Language files and autorun.inf

def check_languages(image, problems):
    for language in LANGUAGES:
        relative = "tools\\lang_AutoRun_%s.opt" % language
        profile = load_profile(image, relative, problems, unicode_required=True)
        if profile is None:
            continue
        strings = profile.section("STRING")
        if strings is None:
            problems.add(relative, "[STRING]", "section missing")
            continue
        keys = LANGUAGE_KEYS + (JAPANESE_ONLY_KEYS if language == "japan" else [])
        for key in keys:
            entry = strings.get(key.lower())
            label = "[STRING] %s" % key
            if entry is None:
                problems.add(relative, label, "missing")
            elif not entry[1].strip():
                problems.add(relative, label, "empty")
            elif len(entry[1]) > MAX_LANGUAGE_VALUE:
                problems.add(relative, label, "text of %d characters: the program reads only %d"
                             % (len(entry[1]), MAX_LANGUAGE_VALUE))


# How Windows auto-run reads autorun.inf: a 64-bit Windows reads [AutoRun.Amd64] when the file has
# that section, in place of [AutoRun] (none of [AutoRun] is read then); every other Windows reads
# [AutoRun]. Within the section read, shellexecute= (Windows XP SP2 and later) is started when it is
# there, else open=. A CD start passes no arguments.
AUTORUN_SECTIONS = (("autorun", "Windows"), ("autorun.amd64", "a 64-bit Windows"))
START_KEYS = ("shellexecute", "open")


def split_command(command):
    """(program, arguments) of a start line's value."""
    if command.startswith('"'):
        program, _, arguments = command[1:].partition('"')
    else:
        program, _, arguments = command.partition(" ")
    return program, arguments.strip()


def check_start_line(image, problems, label, command):
    """A start line of autorun.inf names the image's program, without arguments."""
    program, arguments = split_command(command)
    outside = contained_name_problem(program)
    if outside:
        problems.add("autorun.inf", label, "%r %s: Windows would start a program from outside the image" % (
            program, outside))
    elif not image.has(program):
        problems.add("autorun.inf", label, "%r is not in the image" % program)
    elif normalised(program) != PROGRAM.lower():
        problems.add("autorun.inf", label, "%r is not the program (%s)" % (program, PROGRAM))
    if arguments:
        problems.add("autorun.inf", label, "arguments %r: a CD start has none" % arguments)


def check_autorun(image, problems):
    profile = load_profile(image, "autorun.inf", problems)
    if profile is None:
        return
    if profile.section("autorun") is None:
        problems.add("autorun.inf", "[autorun]", "section missing: Windows starts nothing")
    for section, reader in AUTORUN_SECTIONS:
        if profile.section(section) is None:
            continue
        prefix = "" if section == "autorun" else "[%s] " % section
        lines = [(key, (profile.value(section, key) or "").strip()) for key in START_KEYS]
        if not any(command for _, command in lines):
            problems.add("autorun.inf", prefix + "open", "missing (and no shellexecute=): %s starts nothing" % reader)
        for key, command in lines:
            if command:
                check_start_line(image, problems, prefix + key, command)
    icon = (profile.value("autorun", "icon") or "").split(",")[0].strip().strip('"')
    if icon and not image.has(icon):
        problems.add("autorun.inf", "icon", "%r is not in the image" % icon)


# ---------------------------------------------------------------------------------------------
# Executables

EXECUTABLE_SUFFIXES = (".exe", ".dll")


def check_executables(image, problems, installers):
    """The program, its library and its tools run from the CD, which goes away at the mode change
    while they still run: every executable of the image must be copied to the page file before
    it runs from removable media. The device maker's installers (installers: their normalised
    names) are only noted: they have ended before the device switches, and a signed one cannot be
    marked afterwards."""
    for relative in sorted(entry[0] for entry in image.files.values()):
        if not relative.lower().endswith(EXECUTABLE_SUFFIXES):
            continue
        flags = pe_flags.characteristics(image.read(relative, HEADER_BYTES))
        if flags is None:
            problems.add(relative, "PE header", "not a Windows executable")
        elif flags & pe_flags.REMOVABLE_RUN_FROM_SWAP:
            continue
        elif normalised(relative) in installers:
            problems.note(relative, "PE header", "the device maker's installer is not marked "
                          "IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP (it has ended before the device switches)")
        else:
            problems.add(relative, "PE header", "not marked IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP: Windows would "
                         "read it from the CD while it runs, and the CD goes away at the mode change")


def check_image(path, without_installers=False):
    image = open_image(path)
    problems = Problems(path)
    for item in image.iso_problems:
        problems.add(*item)
    installers = check_config(image, problems, without_installers)
    check_languages(image, problems)
    check_autorun(image, problems)
    check_executables(image, problems, installers)
    return problems


def main(arguments):
    without_installers = "--without-installers" in arguments
    paths = [a for a in arguments if a != "--without-installers"]
    if not paths or any(p.startswith("-") for p in paths):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    status = 0
    for path in paths:
        try:
            problems = check_image(path, without_installers)
        except (OSError, ValueError, IndexError, struct.error) as error:
            print("%s: unreadable: %s" % (path, error), file=sys.stderr)
            status = 2
            continue
        for line in problems.note_lines():
            print(line)
        for line in problems.lines():
            print(line)
        if problems.items:
            print("%s: %d problem(s)" % (path, len(problems.items)))
            status = max(status, 1)
        else:
            print("%s: no problems" % path)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
