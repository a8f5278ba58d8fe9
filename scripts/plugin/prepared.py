"""The prepared PCs: for each architecture, Windows version and kind of window frames, a copy of
the base prefix with the PC's settings applied once, kept in the build's cache with what it
reports itself to be and its registry and files as they are. A run then only copies it (the
Windows folder's libraries and programs as hard links) and starts Wine once, for the plug-in.

A prepared PC is used only when its stamp matches the digest of everything it came from: the
base prefix's own stamp (Wine's version and the script that makes it), the settings, the code
that prepares and reads it, and what of the environment Wine writes into the registry when it
starts (the language and the time zone: a PC prepared for each). Anything else, a missing stamp, a folder
left half made, registry files changed since (a program run in it by hand), and it is made
anew, under a lock, so that runs side by side wait for one making instead of each making
their own or using one half made."""
import hashlib
import json
import os

from . import cache
from . import pc
from . import snapshot
from . import stops
from .sandbox import Sandbox
from .wine import HostCannot, Prefix, wow64_problem

# Raised when what a prepared PC holds changes, so that older ones are made anew.
PREPARED_LAYOUT = '1'
# The code whose changes make every prepared PC stale: how it is made, run and read.
CODE_FILES = ('pc.py', 'prepared.py', 'wine.py', 'snapshot.py', 'sandbox.py', 'sandbox_agent.py')
REGISTRY_FILES = ('system.reg', 'user.reg', 'userdef.reg')
# What of the host's environment Wine writes into the registry when it starts (the user's
# language and formats, the time zone): a prepared PC is made for each, as a run would have found
# its PC after its own start of Wine.
ENVIRONMENT = ('LC_ALL', 'LC_MESSAGES', 'LC_CTYPE', 'LANG', 'LANGUAGE', 'TZ')


def environment_key(env=None):
    env = os.environ if env is None else env
    return '\0'.join('%s=%s' % (name, env.get(name, '')) for name in ENVIRONMENT)


def name_of(arch, windows, managed_frames, check_wow64, environment=''):
    return 'prepared-%s-%s%s%s-%s' % (arch, windows, '-frames' if managed_frames else '',
                                     '-wow64' if check_wow64 else '',
                                     hashlib.sha256(environment.encode('utf-8')).hexdigest()[:8])


def sources_digest(base_stamp, settings_text, code_dir, check_wow64, environment=''):
    """The digest of what a prepared PC comes from (see the module's text)."""
    digest = hashlib.sha256(('%s\0%s\0%s\0%s\0%s\0' % (PREPARED_LAYOUT, base_stamp, settings_text,
                                                        check_wow64, environment)).encode('utf-8'))
    for name in CODE_FILES:
        path = os.path.join(code_dir, name)
        digest.update(name.encode('utf-8') + b'\0')
        if os.path.exists(path):
            with open(path, 'rb') as f:
                digest.update(f.read())
    return digest.hexdigest()


def registry_stamps(path):
    """{registry file: [size, modification time]} of a prefix: what a later start of Wine in it
    changes."""
    stamps = {}
    for name in REGISTRY_FILES:
        try:
            st = os.stat(os.path.join(path, name))
        except OSError:
            continue
        stamps[name] = [st.st_size, st.st_mtime_ns]
    return stamps


class PreparedPC:
    """A prepared PC in the cache: its folder and what was learned of it when it was made."""

    # Which of its files a copy links to (relative path -> bool); None: the Windows folder's
    # programs and libraries (pc.is_shared), which the base prefix gave to nobody.
    shared = None

    def __init__(self, path, info):
        self.path = path
        self.reported_version = info['reported_version']
        self.version_output = info.get('version_output', '')  # how "ver" ended, when it printed no version
        self.registry = info['registry']
        self.files = {name: tuple(value) for name, value in info['files'].items()}

    def files_of_copy(self, drive_c, written=()):
        """The files of a copy of this PC's drive C: (snapshot.read_files) in which the run has
        written only below the folders written (relative to drive C:): those are read anew."""
        files = dict(self.files)
        for folder in written:
            prefix = folder.rstrip('/') + '/'
            for name in [n for n in files if n.startswith(prefix)]:
                del files[name]
            full = os.path.join(drive_c, folder)
            if os.path.isdir(full):
                files[prefix] = (-1, 0)
                files.update({prefix + name: value for name, value in snapshot.read_files(full).items()})
            else:
                files.pop(prefix, None)
        return files


def _load(folder, info_file):
    try:
        with open(info_file, encoding='utf-8') as f:
            info = json.load(f)
    except (OSError, ValueError):
        return None
    if not os.path.isdir(folder) or info.get('registry_stamps') != registry_stamps(folder):
        return None
    if not info.get('reported_version'):
        return None  # "ver" printed nothing when it was made (a busy host): asked anew, not kept

    return PreparedPC(folder, info)


def prepared_pc(cache_dir, base, base_stamp, arch, windows, display, managed_frames=False, check_wow64=False,
                sandbox_maker=None, log=print):
    """The prepared PC of these settings, made when the cache holds none that is current.
    sandbox_maker(folder) gives the sandbox its making runs in (None: on the host); check_wow64:
    the PC must run 32-bit programs under WOW64 (a host that cannot raises HostCannot, and
    nothing is kept)."""
    environment = environment_key()
    name = name_of(arch, windows, managed_frames, check_wow64, environment)
    folder = os.path.join(cache_dir, name)
    info_file = folder + '.json'
    stamp_file = folder + '.stamp'
    settings_text = pc.pc_settings(windows, managed_frames)
    digest = sources_digest(base_stamp, settings_text, os.path.dirname(os.path.abspath(__file__)), check_wow64,
                            environment)
    with cache.locked(folder + '.lock'):
        stops.check()
        if cache.read_stamp(stamp_file) == digest:
            ready = _load(folder, info_file)
            if ready:
                return ready
        log('preparing the PC (%s, Windows %s), once: %s' % (arch, windows, folder))
        partial = folder + '.partial'
        cache.remove(stamp_file, info_file, folder, partial)
        info = _make(base, partial, arch, windows, display, settings_text, check_wow64,
                     sandbox_maker(partial) if sandbox_maker else None)
        os.rename(partial, folder)
        info['registry_stamps'] = registry_stamps(folder)
        cache.write_json(info_file, info)
        cache.write_stamp(stamp_file, digest)
        return PreparedPC(folder, info)


def _make(base, path, arch, windows, display, settings_text, check_wow64, sandbox):
    """Makes the prepared PC at path: its settings, what it reports, then Wine stopped and its
    registry and files read."""
    pc.copy_prefix(base, path)
    prefix = Prefix(path, arch, display, sandbox)
    try:
        if not prefix.import_reg(settings_text):
            raise RuntimeError('could not write the PC settings into %s: %s' % (path, prefix.last_output.strip()))
        if check_wow64:
            problem = wow64_problem(prefix)
            if problem:
                raise HostCannot('a 64-bit Windows running 32-bit programs: ' + problem)
        reported = prefix.reported_version()
        version_output = '' if reported else prefix.last_output
    except BaseException:
        prefix.kill()
        cache.remove(path)
        raise
    prefix.kill()
    stops.check()
    return {'reported_version': reported, 'version_output': version_output, 'registry': snapshot.read_registry(path),
            'files': snapshot.read_files(prefix.drive_c())}


def ready_pc(cache_dir, scripts_dir, arch, windows, display, managed_frames=False, check_wow64=False, sandboxed=True,
             xauthority=None, log=print):
    """The prepared PC a run copies: the base prefix first (made when none is current), then the
    prepared PC of these settings (made, in a sandbox of its own folder unless sandboxed is
    false, when none is current)."""
    base = pc.base_prefix(cache_dir, arch, scripts_dir, log=log, sandboxed=sandboxed)
    maker = (lambda folder: Sandbox([folder], (), display, xauthority)) if sandboxed else None
    return prepared_pc(cache_dir, base, pc.base_stamp_of(cache_dir, arch), arch, windows, display,
                       managed_frames=managed_frames, check_wow64=check_wow64, sandbox_maker=maker, log=log)
