"""The device image as the simulated PC sees it: a copy (of a folder, or of an ISO 9660 image's
files as Windows reads them: its Joliet tree) with the simulated device in place of a real device
library, its start state, and the configuration written per run.

What the PC starts from the CD is what Windows auto-run starts: a 64-bit Windows reads the
[AutoRun.Amd64] section of autorun.inf when there is one, in place of [AutoRun] (nothing of [AutoRun]
is read then); every other Windows reads [AutoRun]. In the section read, shellexecute= (Windows XP
SP2 and later) is started when it is there, else open=."""
import os
import shutil
import stat
import subprocess

import iso9660

from . import beneath
from .wine import pe_machine

SIM_MARKER = 'plugstart_sim'.encode('utf-16-le')


class ImageError(Exception):
    pass


def read_ini(text):
    """{section: {key: value}} of an INI file's text, sections and keys in lower case, values
    stripped; the first of a repeated key counts, as for the profile reader. Blank lines,
    comments and lines outside a section are skipped."""
    sections = {}
    current = None
    for raw in text.splitlines():
        line = raw.strip()
        if not line or line.startswith(';'):
            continue
        if line.startswith('['):
            current = sections.setdefault(line.strip('[]').strip().lower(), {})
        elif current is not None and '=' in line:
            key, value = line.split('=', 1)
            current.setdefault(key.strip().lower(), value.strip())
    return sections


def split_start(value):
    """(program, arguments) of a start line's value (a quoted program may hold blanks)."""
    if value.startswith('"'):
        end = value.find('"', 1)
        if end < 0:
            return value[1:], ''
        return value[1:end], value[end + 1:].strip()
    parts = value.split(None, 1)
    return parts[0], parts[1] if len(parts) > 1 else ''


def autorun_start(text, arch='win32'):
    """(program, arguments, the line it comes from) of what Windows auto-run starts from an
    autorun.inf on a PC of arch ('win32' or 'win64'), or None when it starts nothing."""
    sections = read_ini(text)
    name = 'autorun.amd64' if arch == 'win64' and 'autorun.amd64' in sections else 'autorun'
    for key in ('shellexecute', 'open'):
        value = sections.get(name, {}).get(key, '')
        if value.strip('"').strip():
            program, arguments = split_start(value)
            return program, arguments, '[%s] %s=' % ('AutoRun.Amd64' if name == 'autorun.amd64' else 'AutoRun', key)
    return None


def autorun_open(text):
    """(program, arguments) of what a 32-bit Windows starts from an autorun.inf, or None."""
    started = autorun_start(text)
    return started[:2] if started else None


def read_text(path):
    with open(path, 'rb') as f:
        return decode_text(f.read())


def decode_text(data):
    """The text of a file's bytes: UTF-16 with its mark, else UTF-8 (with or without its mark),
    else Windows-1252."""
    if data.startswith(b'\xff\xfe'):
        return data[2:].decode('utf-16-le', 'replace')
    if data.startswith(b'\xef\xbb\xbf'):
        data = data[3:]
    try:
        return data.decode('utf-8')
    except UnicodeDecodeError:
        return data.decode('cp1252', 'replace')


def set_ini_values(text, values):
    """The text of an INI file with values ({section: {key: value}}) set: existing keys are
    replaced in place, missing keys added at their section's end, missing sections appended.
    Sections and keys compare without regard to case; every other line stays as it was."""
    lines = text.splitlines()
    pending = {s.lower(): dict((k.lower(), (k, v)) for k, v in keys.items()) for s, keys in values.items()}
    names = {s.lower(): s for s in values}
    out = []
    section = None

    def flush(name):
        for key, value in pending.get(name, {}).values():
            out.append('%s=%s' % (key, value))
        pending.pop(name, None)

    for line in lines:
        stripped = line.strip()
        if stripped.startswith('[') and stripped.endswith(']'):
            if section is not None:
                flush(section)
            section = stripped[1:-1].strip().lower()
            out.append(line)
            continue
        if section in pending and '=' in stripped and not stripped.startswith(';'):
            key = stripped.split('=', 1)[0].strip().lower()
            if key in pending[section]:
                name, value = pending[section].pop(key)
                out.append('%s=%s' % (name, value))
                continue
        out.append(line)
    if section is not None:
        flush(section)
    for name in list(pending):
        out.append('[%s]' % names[name])
        flush(name)
    return '\r\n'.join(out) + '\r\n'


def is_simulated_device(path):
    with open(path, 'rb') as f:
        return SIM_MARKER in f.read()


LINKS_REFUSED = ('an image with symbolic links is refused: a link may lead out of the image, and the run '
                 'would read or write the host\'s files through it')
SPECIAL_REFUSED = ('an image holds only files and folders: a link may lead out of the image (the run would read or '
                   'write the host\'s files through it), and a FIFO, a device or a socket may never give its data '
                   '(the run would wait for ever)')
SPECIAL_KINDS = ((stat.S_ISLNK, 'a symbolic link'), (stat.S_ISFIFO, 'a FIFO (named pipe)'),
                 (stat.S_ISCHR, 'a character device'), (stat.S_ISBLK, 'a block device'), (stat.S_ISSOCK, 'a socket'))
# More than any CD holds: an ISO whose files claim more is refused before anything is extracted.
MOST_CD_BYTES = 1 << 30


def special_entries(folder):
    """What under folder is no file or folder (links, to folders too, are not followed), each as
    'relative path (what it is)'; nothing of them is opened."""
    found = []
    for root, dirs, files in os.walk(folder):
        for name in sorted(dirs + files):
            path = os.path.join(root, name)
            mode = os.lstat(path).st_mode
            kind = next((what for test, what in SPECIAL_KINDS if test(mode)), None)
            if kind:
                found.append('%s (%s)' % (os.path.relpath(path, folder), kind))
    return found


def links_in_folder(folder):
    """The symbolic links under folder (files and folders; links to folders are not followed),
    as paths relative to it."""
    return [entry.rsplit(' (', 1)[0] for entry in special_entries(folder) if entry.endswith('(a symbolic link)')]


def links_in_iso(iso):
    """The symbolic links (Rock Ridge) of an ISO image, as xorriso lists them."""
    done = subprocess.run(['xorriso', '-report_about', 'SORRY', '-indev', iso, '-find', '/', '-type', 'l'],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if done.returncode != 0:
        raise ImageError('xorriso could not read %s:\n%s' % (iso, done.stdout.decode('utf-8', 'replace')))
    lines = done.stdout.decode('utf-8', 'replace').splitlines()
    return [line.strip()[1:-1].lstrip('/') for line in lines if line.startswith("'") and line.rstrip().endswith("'")]


def refuse_links(links, where):
    if links:
        raise ImageError('%s holds symbolic links (%s): %s' % (where, ', '.join(links[:5]) +
                                                               (', ...' if len(links) > 5 else ''), LINKS_REFUSED))


def refuse_special(folder, where=None):
    """Refuses a folder that holds anything but files and folders, before anything opens it."""
    found = special_entries(folder)
    if found:
        raise ImageError('%s holds %s: %s' % (where or folder, ', '.join(found[:5]) + (', ...' if len(found) > 5 else ''),
                                              SPECIAL_REFUSED))


def trees_note(differences, most=8):
    """The note of a CD whose two trees differ."""
    shown = ['%s: %s' % pair for pair in differences[:most]]
    if len(differences) > most:
        shown.append('and %d more' % (len(differences) - most))
    return ('the CD\'s two trees differ: Windows reads its Joliet tree, which the run presents, Linux its Rock Ridge '
            'tree (%s)' % '; '.join(shown))


def look_at_iso(iso):
    """Reads an ISO's trees within bounds before anything is extracted: the notes on it (its two
    trees differ), or ImageError when it cannot be read or its files claim more than a CD holds."""
    try:
        with iso9660.IsoImage(iso) as cd:
            claimed = sum(entry.size for entry in cd.windows_tree() if entry.kind == 'file')
            if claimed > MOST_CD_BYTES:
                raise ImageError('%s: its files claim %d bytes, more than a CD holds' % (iso, claimed))
            differences = iso9660.windows_and_linux_differences(cd)
    except (OSError, iso9660.IsoError) as e:
        raise ImageError('%s cannot be read: %s' % (iso, e))
    return [trees_note(differences)] if differences else []


def extract_iso(iso, target):
    """Extracts the files of an ISO as Windows reads them (its Joliet tree, else its ISO 9660
    names) into target; returns the notes on it (its two trees differ)."""
    if shutil.which('xorriso') is None:
        raise ImageError('xorriso is needed to read an ISO image (scripts/setup.sh installs it)')
    notes = look_at_iso(iso)
    refuse_links(links_in_iso(iso), iso)
    os.makedirs(target, exist_ok=True)
    done = subprocess.run(['xorriso', '-osirrox', 'on', '-read_fs', 'norock', '-indev', iso, '-extract', '/', target],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if done.returncode != 0:
        raise ImageError('xorriso could not read %s:\n%s' % (iso, done.stdout.decode('utf-8', 'replace')))
    refuse_special(target, iso)
    # Files of a CD are read-only; the presented copy is ours to change.
    for root, dirs, files in os.walk(target):
        for name in dirs + files:
            path = os.path.join(root, name)
            os.chmod(path, os.stat(path).st_mode | 0o200)
    return notes


def image_folder(source):
    """A folder image, refused when it holds anything but files and folders."""
    refuse_special(source)
    return source


def program_outside_image(program):
    """Why the program that an open= line names lies outside the image (an absolute path, a
    drive, a climb out by ".."), or None."""
    parts = program.replace('\\', '/').split('/')
    if program.startswith(('\\', '/')):
        return 'an absolute path'
    if ':' in program:
        return 'a drive or a stream'
    if '..' in (part.strip() for part in parts):
        return 'a path that climbs out by ".."'
    return None


def find_case_insensitive(folder, name):
    if not os.path.isdir(folder):
        return None
    for entry in os.listdir(folder):
        if entry.lower() == name.lower():
            return os.path.join(folder, entry)
    return None


class PresentedImage:
    """The copy of the image on one CD-ROM drive, and what was changed in it."""

    def __init__(self, source, folder):
        self.source = os.path.abspath(source)
        self.folder = folder
        self.notes = []
        self.program = None
        self.arguments = ''
        self.entry = ''  # the line of autorun.inf it comes from, such as '[AutoRun] open='
        self.machine = ''

    def program_path(self):
        return os.path.join(self.folder, self.program.replace('\\', '/'))


def present_image(source, folder, sim_devpokes, device_state, config_values, arch='win32'):
    """Copies the image at source (folder or .iso) into folder and prepares it.
    sim_devpokes: {'x64'|'x86': path of the simulated Devpoke.dll}; device_state: {key: value}
    for plugstart_sim.ini (None leaves the image's own); config_values: {section: {key: value}};
    arch: the PC's Windows ('win32' or 'win64'), whose auto-run reads its own lines of autorun.inf."""
    if not os.path.exists(source):
        raise ImageError('no device image at %s' % source)
    if os.path.exists(folder):
        shutil.rmtree(folder)
    image = PresentedImage(source, folder)
    if os.path.isdir(source):
        image_folder(source)
        shutil.copytree(source, folder, symlinks=True)
    elif source.lower().endswith('.iso'):
        image.notes += extract_iso(source, folder)
        image.notes.append('the ISO image was extracted with xorriso, as Windows reads it (its Joliet tree)')
    else:
        raise ImageError('%s is neither a folder nor an .iso file' % source)

    autorun = find_case_insensitive(folder, 'autorun.inf')
    if autorun is None:
        raise ImageError('the image has no autorun.inf: Windows would start nothing from it')
    started = autorun_start(read_text(autorun), arch)
    if not started:
        raise ImageError('autorun.inf names no program (no shellexecute= or open= line in [AutoRun]%s)' % (
            ' or [AutoRun.Amd64]' if arch == 'win64' else ''))
    image.program, image.arguments, image.entry = started
    if image.entry != '[AutoRun] open=':
        image.notes.append('Windows starts the program that autorun.inf names in %s' % image.entry)
    outside = program_outside_image(image.program)
    if outside:
        raise ImageError('autorun.inf names %s, %s: a program that leaves the image is refused' % (image.program,
                                                                                                 outside))
    if not os.path.isfile(image.program_path()):
        raise ImageError('autorun.inf names %s, which the image does not hold' % image.program)
    image.machine = pe_machine(image.program_path())
    if image.machine not in sim_devpokes:
        bits = {'x86': '32-bit', 'x64': '64-bit'}
        raise ImageError('%s is %s; the simulated PC of this build runs %s programs only%s' % (
            image.program, 'a ' + bits[image.machine] + ' Windows program' if image.machine in bits else 'no Windows program',
            ' and '.join(bits[m] for m in sim_devpokes),
            ' (this host\'s kernel runs no 32-bit programs, so its Wine cannot start them: use a host that '
            'builds the "test" preset)' if image.machine == 'x86' else ''))
    program_folder = os.path.dirname(image.program_path())

    devpoke = find_case_insensitive(program_folder, 'Devpoke.dll')
    if devpoke is None:
        image.notes.append('the image holds no Devpoke.dll beside the program')
    elif not is_simulated_device(devpoke):
        sim = sim_devpokes.get(image.machine)
        if not sim or not os.path.isfile(sim):
            raise ImageError('the image carries a real Devpoke.dll (%s program), and no simulated device '
                             'of that architecture was built' % (image.machine or 'unknown'))
        shutil.copyfile(sim, devpoke)
        image.notes.append('the image carries the real Devpoke.dll, which reaches no device under Wine: the '
                           'presented copy has the simulated device in its place (the original image is '
                           'untouched: %s)' % image.source)

    state = os.path.join(folder, 'plugstart_sim.ini')
    if device_state is not None or not os.path.exists(state):
        if not write_device_state(folder, device_state):
            image.notes.append('the simulated device starts from plugstart_sim.ini written by the run')

    if config_values:
        config = find_case_insensitive(program_folder, 'config.ini')
        if config is None:
            raise ImageError('the image has no config.ini to change')
        changed_text = set_ini_values(read_text(config), config_values)
        with open(config, 'w', encoding='cp1252', newline='') as f:
            f.write(changed_text)
        changed = ', '.join('%s/%s=%s' % (s, k, v) for s, keys in config_values.items() for k, v in keys.items())
        image.notes.append('config.ini of the presented copy changed: ' + changed)
    return image


DEFAULT_DEVICE_STATE = {'mode': 'cdrom', 'reply_result': '3', 'reply_bytes': '3F 03 E8', 'fail': '0',
                        'fail_on': '', 'deny_direct': '0'}


def write_device_state(folder, device_state, root=None):
    """Sets the [device] section of plugstart_sim.ini at the root of a presented image to the
    default state with device_state ({key: value}) over it; every other line stays. Returns
    whether the file was there with some text before. root: the folder above it that the PC's
    programs may have written into (a link or a FIFO at the file's name is replaced, not read or
    written through; see beneath.py)."""
    state = os.path.join(folder, 'plugstart_sim.ini')
    root = root or folder
    try:
        current = decode_text(beneath.read_bytes(root, state))
    except (FileNotFoundError, beneath.Refused):
        current = ''
    values = dict(DEFAULT_DEVICE_STATE)
    values.update(device_state or {})
    beneath.write_new(root, state, set_ini_values(current, {'device': values}).encode('ascii'))
    return bool(current)
