"""The simulated PC: a Wine prefix made to look like a real Windows of a given version, copied
from a prepared base prefix so that a run does not wait for a new prefix to be made."""
import hashlib
import os
import shutil
import subprocess
import threading

from . import cache
from . import phases
from . import stops
from .sandbox import Sandbox
from .wine import Prefix

WINDOWS_VERSIONS = {'xp': 'winxp', '7': 'win7', '10': 'win10'}
# Raised when what a base prefix holds changes, so that older cached bases are made anew.
BASE_LAYOUT = '3'
# The owner of the files every run's PC shares with the base prefix (see protect_shared_files).
NOBODY = 65534


def _base_stamp(scripts_dir):
    digest = hashlib.sha256(BASE_LAYOUT.encode())
    with open(os.path.join(scripts_dir, 'wine-prefix.sh'), 'rb') as f:
        digest.update(f.read())
    version = subprocess.run(['wine', '--version'], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL).stdout
    digest.update(version)
    return digest.hexdigest()


def base_stamp_of(cache_dir, arch):
    """The stamp of the base prefix of arch that base_prefix last made ('' when none)."""
    try:
        with open(os.path.join(cache_dir, 'base-' + arch + '.stamp'), encoding='utf-8') as f:
            return f.read().strip()
    except OSError:
        return ''


def base_prefix(cache_dir, arch, scripts_dir, log=print, sandboxed=True):
    """The fresh prefix every run starts from (made once per architecture and kept; in a sandbox
    of the cache folder, which a stop ends with everything it started)."""
    os.makedirs(cache_dir, exist_ok=True)
    base = os.path.join(cache_dir, 'base-' + arch)
    stamp_file = os.path.join(cache_dir, 'base-' + arch + '.stamp')
    stamp = _base_stamp(scripts_dir)
    with cache.locked(os.path.join(cache_dir, 'base-' + arch + '.lock')):
        stops.check()
        if os.path.isdir(base) and cache.read_stamp(stamp_file) == stamp:
            return base
        log('making the base prefix (%s), once: %s' % (arch, base))
        if os.path.exists(stamp_file):
            os.remove(stamp_file)
        command = [os.path.join(scripts_dir, 'wine-prefix.sh'), base, arch, 'display']
        box = Sandbox([cache_dir], [scripts_dir]) if sandboxed else None
        prefix = Prefix(base, arch, sandbox=box)
        try:
            code, output = prefix.run_native(command, timeout=600)
        finally:
            prefix.kill()
        stops.check()
        if code != 0:
            raise RuntimeError('could not make the Wine prefix %s: %s' % (base, output.strip()[-500:]))
        protect_shared_files(base)
        cache.write_stamp(stamp_file, stamp)
    return base


# Files of the Windows folder that nothing in a run writes over: shared with the base prefix
# through hard links instead of copied (a prefix holds some 700 MB of them).
SHARED_EXTENSIONS = ('.dll', '.exe', '.drv', '.sys', '.ocx', '.cpl', '.acm', '.ax', '.tlb', '.nls', '.ttf',
                     '.fon', '.ds', '.msstyles', '.vxd', '.com', '.mui')


def is_shared(root, name, windows):
    return (root + os.sep).startswith(windows) and name.lower().endswith(SHARED_EXTENSIONS)


def protect_shared_files(base):
    """The files of the Windows folder that every run's PC shares with the base prefix (hard links)
    are given to nobody and made read-only: a program of a PC, which runs without the host's
    capabilities, can then neither write into them nor change their mode, and so cannot change
    the base and every later run's PC through its own. (Deleting or replacing its own link stays
    possible and touches no other PC.) A host user other than root cannot give files away: the
    files stay theirs."""
    if os.geteuid() != 0:
        return
    windows = os.path.join(base, 'drive_c', 'windows') + os.sep
    for root, _, files in os.walk(os.path.join(base, 'drive_c', 'windows')):
        for name in files:
            path = os.path.join(root, name)
            if is_shared(root, name, windows) and not os.path.islink(path):
                os.chown(path, NOBODY, NOBODY)
                os.chmod(path, 0o444)


# Folders moved aside by clear_away and being removed: {path: thread}.
_REMOVALS = {}
ASIDE_MARK = '.old-'


def clear_away(path):
    """Moves path aside at once and removes it on a thread of its own (an earlier run's prefix
    need not be gone before the next run starts; removals_done waits for it). Leftovers of a run
    that ended before its removal did are removed too."""
    folder, name = os.path.split(path)
    leftovers = [os.path.join(folder, n) for n in os.listdir(folder) if n.startswith(name + ASIDE_MARK)] \
        if os.path.isdir(folder) else []
    if os.path.lexists(path):
        aside = '%s%s%d-%d' % (path, ASIDE_MARK, os.getpid(), len(_REMOVALS))
        os.rename(path, aside)
        leftovers.append(aside)
    for old in leftovers:
        if old not in _REMOVALS:
            thread = threading.Thread(target=shutil.rmtree, args=(old, True), daemon=True)
            thread.start()
            _REMOVALS[old] = thread


def removals_done():
    for path, thread in list(_REMOVALS.items()):
        thread.join()
        del _REMOVALS[path]


CD_FOLDERS = ('cdrom-r', 'cdrom-s')


def copy_prefix(source, target, shared=None, keep_drives=False):
    """Copies a stopped prefix; its CD-ROM drives R: and S: point into the copy. shared(relative
    path) tells the files that the copy links to instead of copying (default: the Windows
    folder's programs and libraries, is_shared); keep_drives: the CD-ROM drives' folders already
    in target stay, as they are, and the source's are not copied."""
    kept = _move_drives_aside(target) if keep_drives else {}
    clear_away(target)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    windows = os.path.join(source, 'drive_c', 'windows') + os.sep
    if shared is None:
        shared = lambda rel: is_shared(os.path.dirname(os.path.join(source, rel)), os.path.basename(rel), windows)
    for root, dirs, files in os.walk(source):
        rel = os.path.relpath(root, source)
        destination = os.path.join(target, rel) if rel != '.' else target
        os.makedirs(destination, exist_ok=True)
        shutil.copystat(root, destination)
        if rel == '.' and keep_drives:
            dirs[:] = [name for name in dirs if name not in CD_FOLDERS]
        for name in dirs + files:
            path = os.path.join(root, name)
            copy = os.path.join(destination, name)
            if os.path.islink(path):
                copy_link(path, copy)
                if name in dirs:
                    dirs.remove(name)
            elif name in files:
                if shared(os.path.relpath(path, source)):
                    os.link(path, copy)
                else:
                    shutil.copy2(path, copy)
    for letter in 'rs':
        folder = os.path.join(target, 'cdrom-' + letter)
        if folder in kept:
            os.rename(kept[folder], folder)
        os.makedirs(folder, exist_ok=True)
        link = os.path.join(target, 'dosdevices', letter + ':')
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(folder, link)


def copy_link(path, copy):
    """A symbolic link copied as a link (never followed), with its own time, which the snapshot
    of the files reads."""
    os.symlink(os.readlink(path), copy)
    info = os.lstat(path)
    os.utime(copy, ns=(info.st_atime_ns, info.st_mtime_ns), follow_symlinks=False)


def _move_drives_aside(target):
    """{CD-ROM drive folder of target: where it waits beside target while target is copied anew}."""
    kept = {}
    for name in CD_FOLDERS:
        folder = os.path.join(target, name)
        if os.path.isdir(folder) and not os.path.islink(folder):
            aside = '%s.%s-%d' % (target, name, os.getpid())
            clear_away(aside)
            os.rename(folder, aside)
            kept[folder] = aside
    return kept


def pc_settings(windows, managed_frames):
    """Registry settings (REGEDIT4 body) that make the prefix look like a real Windows."""
    text = ('[HKEY_CURRENT_USER\\Software\\Wine]\r\n"Version"="%s"\r\n\r\n' % WINDOWS_VERSIONS[windows])
    # Every real Windows has the Shell Hardware Detection service (a fresh prefix has not).
    text += ('[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\ShellHWDetection]\r\n'
             '"Start"=dword:00000002\r\n"Type"=dword:00000020\r\n'
             '"DisplayName"="Shell Hardware Detection"\r\n\r\n')
    if not managed_frames:
        # Xvfb has no window manager: Wine draws the title bars and frames itself.
        text += '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n\r\n'
    return text


def make_pc(prepared, path, arch, display, sandbox=None, clock=None, keep_drives=False):
    """A new simulated PC at path: a copy of a prepared PC (prepared.py) or of a PC an earlier run
    left (earlier_runs.py), its programs run in sandbox, when given; clock: a phases.PhaseClock
    that times the copy; keep_drives: the CD-ROM drives already presented at path stay."""
    clock = clock or phases.PhaseClock()
    with clock.phase('prefix'):
        copy_prefix(prepared.path, path, shared=prepared.shared, keep_drives=keep_drives)
    return Prefix(path, arch, display, sandbox)
