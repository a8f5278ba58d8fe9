"""Images made to deceive the maker's tools, for the end-to-end suite and the image check's tests:
a CD whose Joliet tree (what Windows reads) and Rock Ridge tree (what Linux reads) differ. The
trees are made to differ by changing an honest ISO's root directories in place: a Joliet record
pointed at another file's data, a Joliet name changed, a Rock Ridge name changed (each new name as
long as the old one, so nothing else moves)."""
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
