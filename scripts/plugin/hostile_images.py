"""Images made to deceive the maker's tools, for the end-to-end suite and the image check's tests:
texts that are markup, a FIFO where a file should be, a CD whose Joliet tree (what Windows reads)
and Rock Ridge tree (what Linux reads) differ. The trees are made to differ by changing an honest ISO's root directories in place: a Joliet record
pointed at another file's data, a Joliet name changed, a Rock Ridge name changed (each new name as
long as the old one, so nothing else moves)."""
import os
import shutil
import struct
import subprocess

SECTOR = 2048
JOLIET_ESCAPES = (b'%/@', b'%/C', b'%/E')

# The folder's files and what the crafted CD makes of them.
WINDOWS_AUTORUN = 'autorun.win'          # its data becomes autorun.inf in the Joliet tree
RENAMED_FOR_WINDOWS = ('readme-rr.txt', 'readme-jo.txt')
MARKUP_NAME = ('hostile-name-placeholder-000.txt', '<img src=x onerror=alert(7)>.txt')


def _root(data, joliet):
    """(extent, size) of the root directory of the Joliet tree, or of the ISO 9660 one."""
    for sector in range(16, 64):
        descriptor = data[sector * SECTOR:(sector + 1) * SECTOR]
        if descriptor[1:6] != b'CD001' or descriptor[0] == 255:
            break
        if (descriptor[0] == 2 and descriptor[88:91] in JOLIET_ESCAPES) if joliet else descriptor[0] == 1:
            return struct.unpack_from('<I', descriptor, 158)[0], struct.unpack_from('<I', descriptor, 166)[0]
    raise ValueError('no %s tree' % ('Joliet' if joliet else 'ISO 9660'))


def _records(data, extent, size):
    """(offset in the image, record) of each record of a directory."""
    start, offset = extent * SECTOR, 0
    while offset < size:
        length = data[start + offset]
        if length == 0:
            offset = (offset // SECTOR + 1) * SECTOR
            continue
        yield start + offset, bytes(data[start + offset:start + offset + length])
        offset += length


def _joliet_name(record):
    return record[33:33 + record[32]].decode('utf-16-be', 'replace').split(';')[0]


def _set_both_endian(data, offset, value):
    struct.pack_into('<I', data, offset, value)
    struct.pack_into('>I', data, offset + 4, value)


def patch_iso(path, joliet_data_of=None, joliet_names=None, rock_ridge_names=None):
    """Changes the root directories of the ISO at path: joliet_data_of {name: other name} points a
    Joliet record at the other file's data; joliet_names and rock_ridge_names {name: new name} rename
    (new names as long as the old)."""
    with open(path, 'rb') as f:
        data = bytearray(f.read())
    joliet = {_joliet_name(record): offset for offset, record in _records(data, *_root(data, True))}
    for name, other in (joliet_data_of or {}).items():
        source = joliet[other]
        _set_both_endian(data, joliet[name] + 2, struct.unpack_from('<I', data, source + 2)[0])
        _set_both_endian(data, joliet[name] + 10, struct.unpack_from('<I', data, source + 10)[0])
    for name, new in (joliet_names or {}).items():
        old, wanted = name.encode('utf-16-be'), new.encode('utf-16-be')
        if len(old) != len(wanted):
            raise ValueError('a new Joliet name must be as long as the old one')
        data[joliet[name] + 33:joliet[name] + 33 + len(old)] = wanted
    for name, new in (rock_ridge_names or {}).items():
        old, wanted = b'NM' + bytes([5 + len(name.encode()), 1, 0]) + name.encode(), new.encode('utf-8')
        if len(name.encode()) != len(wanted):
            raise ValueError('a new Rock Ridge name must be as long as the old one')
        root = _root(data, False)
        found = [offset for offset, record in _records(data, *root) if old in record]
        if len(found) != 1:
            raise ValueError('no single Rock Ridge name %r in the root' % name)
        at = data.index(old, found[0]) + len(old) - len(wanted)
        data[at:at + len(wanted)] = wanted
    with open(path, 'wb') as f:
        f.write(data)


def write_differing_iso(folder, iso, honest_autorun, other_autorun, label='NORVO'):
    """An ISO of folder (which it changes: it adds the files it needs) whose two trees differ:
    autorun.inf reads other_autorun on Linux and honest_autorun on Windows, a file is named
    otherwise in each tree, and a file's Rock Ridge name is markup. Returns what differs, as
    (path, Windows's name or None) pairs."""
    with open('%s/autorun.inf' % folder, 'w', newline='') as f:
        f.write(other_autorun)
    with open('%s/%s' % (folder, WINDOWS_AUTORUN), 'w', newline='') as f:
        f.write(honest_autorun)
    for name in (RENAMED_FOR_WINDOWS[0], MARKUP_NAME[0]):
        with open('%s/%s' % (folder, name), 'w') as f:
            f.write('a file of the CD\n')
    if shutil.which('xorriso') is None:
        raise OSError('xorriso is needed to write an ISO image')
    subprocess.run(['xorriso', '-report_about', 'SORRY', '-as', 'mkisofs', '-quiet', '-R', '-J', '-V', label,
                    '-o', iso, folder], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    patch_iso(iso, joliet_data_of={'autorun.inf': WINDOWS_AUTORUN},
              joliet_names={RENAMED_FOR_WINDOWS[0]: RENAMED_FOR_WINDOWS[1]},
              rock_ridge_names={MARKUP_NAME[0]: MARKUP_NAME[1]})


# -- the hostile-image rows of the end-to-end suite ---------------------------------------------
# Texts made to run in a page or to make markup there: a script and handlers in HTML and SVG, a
# title and a CDATA section closed early, a Markdown link to a script, backticks and a table's pipe.
MARKUP = '<img src=x onerror=alert(1)></title><svg onload=alert(2)>]]> [x](javascript:alert(3)) `b` | c'
# A kit program's name (config.ini itk_run_file), which the program's trace names when it is missing.
MARKUP_PROGRAM = '<svg onload=alert(5)>[x](javascript:alert(6)).exe'
# A name Windows lets a file have (no < > : " / \ | ? *), which is markup in Markdown.
MARKUP_FILE = "[x](javascript&#58;alert(4)) 'q' & ``b``.txt"
# A kit program's name made to reach the real installers' sources: a variable of the package
# tool's preprocessor (the host's environment), the package source's markup that would add a host
# file to the package, an installer script's command.
PACKAGE_SOURCE_TEXT = '$(env.HOME)"/><File Source="/etc/passwd"/><!-- !system "id" ${X}.exe'


class ImageRow:
    """One hostile image: its name, the Windows it runs on, what it changes (language: {key: text}
    of the English language file; config: {section: {key: value}}; file: a name on the image that
    config.ini lists; fifo: a name made a FIFO; differing_trees: an ISO whose two trees differ;
    linked_report: the report folder's report.md and screenshots link outside; autorun: the text
    of autorun.inf; arch: the PC's Windows, win64 for a 64-bit one; installers: the run's kind of
    installers), the text the report must show
    (inert), or the words of its refusal."""

    def __init__(self, name, windows, shows=None, refused=None, **change):
        self.name, self.windows, self.shows, self.refused, self.change = name, windows, shows, refused, change


IMAGE_ROWS = [
    ImageRow('markup in a language text', '7', shows=MARKUP,
             language={'STR_STRING_TITLE': MARKUP, 'STR_STRING_DONOT_UNPLUG_USB': MARKUP}),
    ImageRow('markup in a config value', 'xp', shows=MARKUP_PROGRAM, config={'ITK': {'itk_run_file': MARKUP_PROGRAM}}),
    ImageRow('markup in a file name on the image', 'xp', shows=MARKUP_FILE, file=MARKUP_FILE),
    ImageRow('a FIFO as config.ini', 'xp', refused='config.ini (a FIFO (named pipe)): an image holds only files and '
                                                   'folders', fifo='config.ini'),
    ImageRow('package source text in a config value, with real installers', 'xp',
             refused='itk_run_file "%s" is no plain file name' % PACKAGE_SOURCE_TEXT,
             config={'ITK': {'itk_run_file': PACKAGE_SOURCE_TEXT}}, installers='real'),
    ImageRow('a report folder whose report.md and screenshots link outside', 'xp', linked_report=True),
    ImageRow('a CD whose Joliet and Rock Ridge trees differ', '7', shows=MARKUP_NAME[1], differing_trees=True),
    # Only a 64-bit Windows that reads [AutoRun.Amd64] in place of [AutoRun], and shellexecute=
    # before open=, finds the program.
    ImageRow('a 64-bit PC that starts what [AutoRun.Amd64] shellexecute= names', '7', arch='win64',
             autorun='[AutoRun]\r\nopen=Gone.exe\r\n[AutoRun.Amd64]\r\nopen=Gone64.exe\r\nshellexecute=Plugstart.exe\r\n'),
]


def set_language_texts(path, texts):
    """Sets keys of section STRING of a language file (UTF-16LE with its mark)."""
    with open(path, 'rb') as f:
        lines = f.read()[2:].decode('utf-16-le').split('\r\n')
    lines = [line for line in lines if line.split('=', 1)[0] not in texts]
    at = lines.index('[STRING]') + 1
    lines[at:at] = ['%s=%s' % pair for pair in texts.items()]
    with open(path, 'wb') as f:
        f.write(b'\xff\xfe' + '\r\n'.join(lines).encode('utf-16-le'))


def make_row_image(row, image, folder):
    """The image of a row, made from the honest image folder into folder (an ISO beside it for a
    CD): (its path, the run's settings it needs)."""
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(image, folder)
    settings = {'windows': row.windows}
    change = row.change
    for name in ('arch', 'installers'):
        if name in change:
            settings[name] = change[name]
    if 'autorun' in change:
        with open('%s/autorun.inf' % folder, 'w', newline='') as f:
            f.write(change['autorun'])
    if 'language' in change:
        set_language_texts('%s/tools/lang_AutoRun_eng.opt' % folder, change['language'])
    if 'config' in change:
        settings['config'] = change['config']
    if 'file' in change:
        with open('%s/%s' % (folder, change['file']), 'w') as f:
            f.write('a file the staging copies\n')
        settings['config'] = {'FILES': {'filecount': '10', 'file09': change['file']}}
    if 'fifo' in change:
        os.remove('%s/%s' % (folder, change['fifo']))
        os.mkfifo('%s/%s' % (folder, change['fifo']))
    if change.get('differing_trees'):
        with open('%s/autorun.inf' % folder, newline='') as f:
            honest = f.read()
        iso = folder + '.iso'
        write_differing_iso(folder, iso, honest, '[autorun]\r\nopen=Setup.exe\r\n')
        return iso, settings
    return folder, settings
