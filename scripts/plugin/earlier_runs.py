"""The PCs that an earlier administrator's run left, kept in the build's cache.

A run on a PC that is not clean (and a limited user's run on XP) first has the image's program
install as an administrator, and the device unplugged; only then is the device plugged in for
the run itself. That earlier run comes out the same whenever what it starts from is the same:
the prepared PC, the CD-ROM drives exactly as presented (every file of the image, the stand-ins
beside it, the device's state), the stand-ins' script of the state, the robot's answers, the
language, the sandbox, and the harness itself (its code and the build's simulated programs). The
digest of all of that names an entry; a run that finds a current one copies its PC from the
entry and shows the earlier run's record as it was made, instead of running it again.

An entry is made from a PC that the image's programs have written into, so it is copied as
hostile: symbolic links stay links (never followed); a PC that holds a FIFO, a socket or a
device, or more than MAX_BYTES of its own files, is not kept; and only the files that are still
the prepared PC's own (the same inode: the base prefix's, given to nobody and read-only) are
linked instead of copied, so that no later run can write into the entry through its copy."""
import hashlib
import json
import os
import shutil
import stat
import time

from . import cache
from . import pc
from . import prepared as prepared_mod

# Raised when what an entry holds changes, so that older ones are made anew.
LAYOUT = '1'
# Files of its own that a PC may hold for its entry to be kept.
MAX_BYTES = 1 << 30
# Entries kept; the ones used longest ago go first.
KEEP = 32
PREFIX = 'earlier-'


class NotKept(Exception):
    """The PC an earlier run left cannot be kept (the reason is the text)."""


class Entry(prepared_mod.PreparedPC):
    """A PC as an earlier run left it, in the cache: its snapshot, the earlier run's record and
    notes, and the files it shares with the prepared PC."""

    def __init__(self, path, info):
        super().__init__(path, info)
        self.runs = info['runs']
        self.notes = info['notes']
        self.made = info.get('made', '')
        self.linked = frozenset(info['linked'])

    def shared(self, rel):
        return rel in self.linked


def _add_tree(digest, folder):
    """Every name, kind and content below folder into digest, in a fixed order."""
    for root, dirs, files in os.walk(folder):
        dirs.sort()
        for name in sorted(dirs + files):
            path = os.path.join(root, name)
            info = os.lstat(path)
            digest.update(('\0%s\0' % os.path.relpath(path, folder)).encode('utf-8', 'surrogateescape'))
            if stat.S_ISLNK(info.st_mode):
                digest.update(b'L' + os.fsencode(os.readlink(path)))
            elif stat.S_ISREG(info.st_mode):
                digest.update(b'F%d\0' % info.st_size)
                with open(path, 'rb') as f:
                    for block in iter(lambda: f.read(1 << 20), b''):
                        digest.update(block)
            else:
                digest.update(b'D' if stat.S_ISDIR(info.st_mode) else b'O%o' % info.st_mode)


def _programs_of(folder):
    """The build's simulated programs and libraries in folder (not below it)."""
    if not os.path.isdir(folder):
        return []
    return sorted(os.path.join(folder, name) for name in os.listdir(folder)
                  if name.lower().endswith(('.exe', '.dll')) and os.path.isfile(os.path.join(folder, name)))


def key_of(prepared, drives, facts, code_dir, sim_dir):
    """The digest that names an earlier run's entry. drives: {letter: the drive's folder as
    presented}; facts: what else of the run its earlier run depends on (JSON-able: the state, its
    script, the answers, the language, the sandbox); code_dir: the harness's code; sim_dir: the
    build's simulated programs (the robot, the stand-ins, the simulated device)."""
    digest = hashlib.sha256(('%s\0%s\0%s\0' % (LAYOUT, cache.read_stamp(prepared.path + '.stamp'),
                                               json.dumps(facts, sort_keys=True))).encode('utf-8'))
    for letter in sorted(drives):
        digest.update(('\0drive %s' % letter).encode('ascii'))
        _add_tree(digest, drives[letter])
    code = sorted(os.path.join(code_dir, n) for n in os.listdir(code_dir) if n.endswith('.py'))
    for path in code + _programs_of(sim_dir) + _programs_of(os.path.join(sim_dir, 'bin')):
        digest.update(('\0%s\0' % os.path.basename(path)).encode('utf-8'))
        with open(path, 'rb') as f:
            digest.update(f.read())
    return digest.hexdigest()


def _paths(cache_dir, key):
    folder = os.path.join(cache_dir, PREFIX + key[:24])
    return folder, folder + '.json', folder + '.stamp', folder + '.lock'


def lock_of(cache_dir, key):
    """The lock to hold from the look for an entry to its making: a second run of the same key
    waits for the first's entry instead of running the same earlier run beside it."""
    os.makedirs(cache_dir, exist_ok=True)
    return cache.locked(_paths(cache_dir, key)[3])


def find(cache_dir, key, prepared):
    """The current entry of key, or None. An entry whose stamp is not key, whose registry files
    changed since it was made, or whose linked files are no longer the prepared PC's, is not."""
    folder, info_file, stamp_file, _ = _paths(cache_dir, key)
    if cache.read_stamp(stamp_file) != key:
        return None
    try:
        with open(info_file, encoding='utf-8') as f:
            info = json.load(f)
    except (OSError, ValueError):
        return None
    if not os.path.isdir(folder) or info.get('registry_stamps') != prepared_mod.registry_stamps(folder):
        return None
    for rel in info.get('linked', []):
        try:
            if not os.path.samestat(os.lstat(os.path.join(folder, rel)), os.lstat(os.path.join(prepared.path, rel))):
                return None
        except OSError:
            return None
    try:
        os.utime(stamp_file)  # used now: the last to go when the cache is pruned
        return Entry(folder, info)
    except (OSError, KeyError):
        return None


def store(cache_dir, key, pc_path, prepared, runs, notes, registry, files):
    """Keeps the stopped PC at pc_path (without its CD-ROM drives) as the entry of key, with the
    earlier run's record (runs), its notes, and the PC's registry and files as read; returns the
    entry. Raises NotKept when the PC cannot be kept."""
    folder, info_file, stamp_file, _ = _paths(cache_dir, key)
    partial = folder + '.partial'
    cache.remove(stamp_file, info_file, folder, partial)
    try:
        linked = copy_hostile(pc_path, partial, prepared.path)
    except BaseException:
        cache.remove(partial)
        raise
    os.rename(partial, folder)
    info = {'reported_version': prepared.reported_version, 'registry': registry, 'files': files, 'runs': runs,
            'notes': notes, 'linked': linked, 'made': time.strftime('%Y-%m-%d %H:%M:%S'),
            'registry_stamps': prepared_mod.registry_stamps(folder)}
    cache.write_json(info_file, info)
    cache.write_stamp(stamp_file, key)
    prune(cache_dir)
    return Entry(folder, info)


def copy_hostile(source, target, reference):
    """Copies the stopped PC at source to target, its CD-ROM drives' folders left out, as the
    module's text says; returns the files linked to the PC at reference (relative paths)."""
    linked = []
    copied_bytes = 0
    for root, dirs, files in os.walk(source):
        rel_root = os.path.relpath(root, source)
        destination = target if rel_root == '.' else os.path.join(target, rel_root)
        os.makedirs(destination, exist_ok=True)
        if rel_root == '.':
            dirs[:] = [name for name in dirs if name not in ('cdrom-r', 'cdrom-s')]
        for name in list(dirs) + files:
            path = os.path.join(root, name)
            rel = os.path.relpath(path, source)
            info = os.lstat(path)
            if stat.S_ISLNK(info.st_mode):
                pc.copy_link(path, os.path.join(destination, name))
                if name in dirs:
                    dirs.remove(name)
            elif stat.S_ISDIR(info.st_mode):
                continue
            elif not stat.S_ISREG(info.st_mode):
                raise NotKept('the PC holds %s, which is neither a file, a folder nor a link' % rel)
            elif _same_file(info, os.path.join(reference, rel)):
                os.link(path, os.path.join(destination, name))
                linked.append(rel)
            else:
                copied_bytes += info.st_size
                if copied_bytes > MAX_BYTES:
                    raise NotKept('the PC holds more than %d MB of files of its own' % (MAX_BYTES >> 20))
                shutil.copy2(path, os.path.join(destination, name), follow_symlinks=False)
        shutil.copystat(root, destination, follow_symlinks=False)
    return linked


def _same_file(info, other):
    try:
        return os.path.samestat(info, os.lstat(other))
    except OSError:
        return False


def prune(cache_dir, keep=KEEP):
    """Removes the entries beyond the keep used last (an entry another run holds stays)."""
    if not os.path.isdir(cache_dir):
        return
    used = {}
    for name in os.listdir(cache_dir):
        if name.startswith(PREFIX) and name.endswith('.stamp'):
            try:
                used[os.path.join(cache_dir, name)] = os.stat(os.path.join(cache_dir, name)).st_mtime
            except OSError:
                continue  # pruned by another run just now
    for stamp_file in sorted(used, key=used.get, reverse=True)[keep:]:
        folder = stamp_file[:-len('.stamp')]
        lock = cache.held_unless_taken(folder + '.lock')
        if lock is None:
            continue
        with lock:
            cache.remove(stamp_file, folder + '.json', folder)
