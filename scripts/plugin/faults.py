"""Faults a plug-in run can be made to meet (scripts/run.sh --fault NAME): the device unplugged
mid-run, a setup that crashes or fails, a staging folder that cannot take the files, a broken
config.ini or language file, another process that posts the main window the messages that end
a dialog. Each fault is made for real where the host allows it (a tmpfs mounted as root, a
second process holding a file, the drive taken away); where it does not, the run is skipped
with the reason. A run with a fault ends with a second plug-in of the same device without it."""
import os
import random
import shutil
import subprocess
import textwrap
import time

from . import beneath
from . import image as image_mod
from . import stops

# Files in the simulated PC through which the run and the fault's helpers meet.
RELEASE = 'C:\\plugstart_sim\\fault-release'  # a held setup goes on once it exists
READY = 'C:\\plugstart_sim\\fault-ready'      # a helper holds its file
STOP = 'C:\\plugstart_sim\\fault-stop'        # a helper lets its file go
HOLD_LIMIT_MS = '120000'                      # a held setup that is never released gives up then
NOT_FOUND = '-1'                              # what a device that has gone answers
FULL_MARGIN_PAGES = 4                         # room left on the full file system after the first files
ROOMY = 256 * 1024 * 1024                     # the file system once the user has made room


class FaultSkipped(Exception):
    """The host does not allow a step of the fault (mounting a file system, say)."""


def _merge_script(settings, role, values):
    programs = {section: dict(keys) for section, keys in (settings.programs or {}).items()}
    programs.setdefault(role, {}).update(values)
    settings.programs = programs


# The files of the PC that a fault reads and writes while and after the image's programs ran go
# through beneath: those programs can plant links and FIFOs there.
def _write_in_pc(run, windows_path, data=b''):
    beneath.write_new(run.prefix.path, run.prefix.unix_path(windows_path), data)


def _drive_r(run):
    return os.path.join(run.prefix.path, 'dosdevices', 'r:')


class Fault:
    """One fault: what the run does before the plug-in, while it runs, before the second plug-in
    and at its very end."""
    name = ''
    what = ''       # one line: what goes wrong

    def __init__(self):
        self.notes = []
        self.helper = None      # {'code', 'output'} of a helper program, when the fault starts one

    def configure(self, settings):
        """Changes the run's settings (the stand-ins' script) before anything is made."""

    def prepare(self, run):
        """The PC is made and stopped, the image presented: changes before the first snapshot."""

    def arm(self, run):
        """Just before the plug-in (after the snapshot): starts what must run beside the program."""

    def on_action(self, run, fields):
        """A line of the stand-ins' log."""

    def on_robot(self, run, fields):
        """An event of the robot."""

    def tick(self, run):
        """Called while the run watches (every 50 ms)."""

    def leave(self, run):
        """The first plug-in has ended and the PC still runs: helpers are told to end now."""

    def clear(self, run):
        """The PC is stopped: the fault goes before the second plug-in."""

    def cleanup(self, run):
        """At the end of the run, whatever happened (the PC is stopped)."""

    def note(self, run, text):
        self.notes.append(text)
        if run.launch is not None and run.launch.t0 is not None:
            run.event('fault', text)

    def release(self, run):
        _write_in_pc(run, RELEASE)

    def data(self):
        return {'name': self.name, 'what': self.what, 'notes': list(self.notes), 'helper': self.helper}


# -- the device unplugged --------------------------------------------------------------------
class Unplug(Fault):
    """A setup is held (before its work, or after it and before its exit); while it is held the
    device goes: its drive R: disappears and the device answers "not found" to every command."""

    def __init__(self, name, what, role, hold_key):
        super().__init__()
        self.name, self.what, self.role, self.hold_key = name, what, role, hold_key
        self.done = False

    def configure(self, settings):
        _merge_script(settings, self.role, {self.hold_key: RELEASE, 'wait_limit_ms': HOLD_LIMIT_MS})

    def on_action(self, run, fields):
        if self.done or fields.get('action') != 'waiting' or fields.get('detail', '').lower() != RELEASE.lower():
            return
        self.done = True
        self.unplug(run)
        self.release(run)

    def unplug(self, run):
        root = run.prefix.path
        beneath.remove(root, _drive_r(run))
        state_path = run.sim_folder('R.ini')
        text = ''
        # The device's state as it last wrote it, else as the CD started it (a link or a FIFO
        # planted at either counts as none).
        for source in (state_path, os.path.join(run.images['R'].folder, 'plugstart_sim.ini')):
            try:
                text = image_mod.decode_text(beneath.read_bytes(root, source))
                break
            except OSError:
                continue
        changed = image_mod.set_ini_values(text, {'device': {'fail': NOT_FOUND, 'fail_on': ''}})
        beneath.write_new(root, state_path, changed.encode('ascii', 'replace'))
        self.note(run, 'the device was unplugged while %s was held: drive R: is gone and the device answers %s '
                       '(not found)' % (role_text(self.role), NOT_FOUND))

    def clear(self, run):
        if beneath.kind_of(run.prefix.path, _drive_r(run)) is None:
            beneath.link_new(run.prefix.path, _drive_r(run), os.path.join(run.prefix.path, 'cdrom-r'))


def role_text(role):
    return {'driver_setup': 'the driver setup', 'kit_setup': 'the kit setup'}.get(role, role)


# -- a setup that crashes or fails -----------------------------------------------------------
class ScriptedSetup(Fault):
    def __init__(self, name, what, role, outcome):
        super().__init__()
        self.name, self.what, self.role, self.outcome = name, what, role, outcome

    def configure(self, settings):
        _merge_script(settings, self.role, {'outcome': self.outcome})


# -- the staging folder ----------------------------------------------------------------------
def templates_folder(run):
    """(Windows path, host path) of the user's Templates folder, where the staging goes."""
    user = run.prefix.user_folder()
    if not user:
        raise RuntimeError('the simulated PC has no user folder')
    windows = 'C:\\users\\%s\\AppData\\Roaming\\Microsoft\\Windows\\Templates' % os.path.basename(user)
    host = run.prefix.unix_path(windows)
    if beneath.kind_of(run.prefix.path, host) != 'folder':
        raise RuntimeError('the simulated PC has no Templates folder of its own at %s' % windows)
    return windows, host


def _mount(arguments):
    done = subprocess.run(['mount'] + arguments, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return done.returncode, done.stdout.decode('utf-8', 'replace').strip()


def _pages(size):
    return (size + 4095) // 4096


class MountedTemplates(Fault):
    """The Templates folder (and so the staging folder in it) on a small tmpfs mounted for the
    run: full after the first listed files, or read-only. The second plug-in finds it grown
    (the user made room) or writable again, with whatever the first one left on it."""

    def __init__(self, name, what, read_only):
        super().__init__()
        self.name, self.what, self.read_only = name, what, read_only
        self.mounted = None

    def size_for_first_files(self, run):
        """Room for the first three listed files (the program, config.ini, the device library)
        and a little more: the copy of a later one fills the file system."""
        folder = os.path.dirname(run.images['R'].program_path())
        pages = FULL_MARGIN_PAGES
        for number in range(3):
            name = run.config_value('FILES', 'file%02d' % number)
            path = image_mod.find_case_insensitive(folder, name) if name and '\\' not in name else None
            pages += _pages(os.path.getsize(path)) if path else 0
        return pages * 4096

    def prepare(self, run):
        if os.geteuid() != 0:
            raise FaultSkipped('mounting a file system for the staging folder needs root, and this run is not root')
        _, host = templates_folder(run)
        options = 'size=%d' % (1024 * 1024 if self.read_only else self.size_for_first_files(run))
        if self.read_only:
            options += ',ro'
        code, output = _mount(['-t', 'tmpfs', '-o', options, 'plugstart-fault', host])
        if code != 0:
            raise FaultSkipped('the host refused to mount a tmpfs on the Templates folder (%s)' % (output or code))
        self.mounted = host
        stops.register_mount(host)
        self.notes.append('the Templates folder is a tmpfs mounted with %s' % options)

    def clear(self, run):
        code, output = _mount(['-o', 'remount,rw,size=%d' % ROOMY, self.mounted])
        if code != 0:
            raise RuntimeError('could not make room in the Templates folder for the second plug-in: %s' % output)
        self.notes.append('before the second plug-in the Templates folder was made %s256 MB large, its files kept' %
                          ('writable and ' if self.read_only else ''))

    def cleanup(self, run):
        if not self.mounted:
            return
        done = subprocess.run(['umount', self.mounted], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if done.returncode != 0:  # something still holds it: it goes once that lets go
            subprocess.run(['umount', '-l', self.mounted], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        stops.unregister_mount(self.mounted)
        self.mounted = None


class HeldStagedFile(Fault):
    """Another program holds a file of the staging folder open: without sharing (a program that
    locks it, left over from an earlier staging) or with full sharing (a virus scanner or an
    indexer that opens each new file as soon as it is written)."""

    def __init__(self, name, what, sharing, file_key):
        super().__init__()
        self.name, self.what, self.sharing, self.file_key = name, what, sharing, file_key
        self.popen = None
        self.output = None

    def staged_path(self, run):
        section, key = self.file_key
        name = run.config_value(section, key)
        windows, host = templates_folder(run)
        return windows + '\\R\\' + name, os.path.join(host, 'R', name)

    def prepare(self, run):
        if self.sharing:
            return
        # What an earlier staging left: the folder and the file, which the program locks.
        _, host = self.staged_path(run)
        os.makedirs(os.path.join(os.path.dirname(host), 'tools'), exist_ok=True)
        source = image_mod.find_case_insensitive(os.path.dirname(run.images['R'].program_path()),
                                                 os.path.basename(host))
        shutil.copyfile(source, host)

    def arm(self, run):
        windows, _ = self.staged_path(run)
        os.makedirs(run.sim_folder(), exist_ok=True)
        for path in (READY, STOP):
            beneath.remove(run.prefix.path, run.prefix.unix_path(path))
        helper = os.path.join(run.s.build_dir, 'tests', 'e2e', 'HoldFile.exe')
        self.output = os.path.join(run.s.run_dir, 'holdfile-output.txt')
        with open(self.output, 'wb') as sink:
            self.popen = run.prefix.start([helper, windows, 'share' if self.sharing else 'noshare', READY, STOP],
                                          output=sink)
        if self.sharing:
            self.notes.append('a scanner opens %s with read, write and delete sharing as soon as it is there' % windows)
            return
        deadline = time.monotonic() + 60
        while beneath.kind_of(run.prefix.path, run.prefix.unix_path(READY)) != 'file':
            if self.popen.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError('the helper did not take hold of %s: %s' % (windows, self.read_output()))
            time.sleep(0.05)
        self.notes.append('another program holds %s open without sharing' % windows)

    def read_output(self):
        try:
            with open(self.output, errors='replace') as f:
                return f.read().strip()
        except (OSError, TypeError):
            return ''

    def let_go(self, run):
        if self.popen is None:
            return
        try:
            _write_in_pc(run, STOP)
            self.popen.wait(timeout=15)
        except (OSError, subprocess.TimeoutExpired):
            pass  # the prefix has been stopped, and the helper with it
        self.helper = {'code': self.popen.poll(), 'output': self.read_output()}
        self.popen = None

    def leave(self, run):
        self.let_go(run)

    def cleanup(self, run):
        self.let_go(run)


class UsersFiles:
    """Files of the user's in a folder of the simulated PC (beneath root, its prefix), which a
    fault puts in the staging's way; what became of them is read back from the host."""

    def __init__(self, folder, files, root):
        self.folder, self.files, self.root = folder, dict(files), root

    def write(self):
        for name, text in self.files.items():
            path = os.path.join(self.folder, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            beneath.write_new(self.root, path, text.encode('utf-8'))

    def problems(self):
        """What is no longer as the user left it (files changed, missing, added, or no longer
        files: a link or a FIFO in a file's place is neither followed nor read)."""
        found, not_files, problems = {}, [], []
        try:
            names = beneath.files_below(self.root, self.folder)[0]
        except FileNotFoundError:
            names = []
        except beneath.Refused:
            names = []
            problems.append('the folder of the user\'s files is no longer a folder (a link?)')
        for rel in names:
            try:
                found[rel] = beneath.read_bytes(self.root, os.path.join(self.folder, rel)).decode('utf-8', 'replace')
            except beneath.Refused as e:
                found[rel] = None
                not_files.append('%s is no longer a file (%s)' % (
                    rel, 'a symbolic link' if 'symbolic link' in str(e) else 'not a regular file'))
            except FileNotFoundError:
                continue
        problems += ['%s is gone' % n for n in sorted(self.files) if n not in found]
        problems += not_files
        problems += ['%s was changed' % n for n in sorted(self.files)
                     if found.get(n) is not None and found[n] != self.files[n]]
        return problems + ['%s was added' % n for n in sorted(found) if n not in self.files]


class UsersFilesInTheWay(Fault):
    """A folder or file of the user's stands where the staging goes: what is left of it is read
    after each plug-in ('kept' in the fault's data: a list of problems per plug-in)."""

    def __init__(self, name, what):
        super().__init__()
        self.name, self.what = name, what
        self.users = None
        self.kept = {}

    def users_folder(self, run):
        user = run.prefix.user_folder()
        if not user:
            raise RuntimeError('the simulated PC has no user folder')
        return os.path.join(user, 'Documents', 'Modem notes')

    def leave(self, run):
        self.kept['first'] = self.users.problems()

    def cleanup(self, run):
        if self.users and 'first' in self.kept:
            self.kept['second'] = self.users.problems()

    def data(self):
        data = super().data()
        data['kept'] = self.kept
        return data


class LinkedStagingFolder(UsersFilesInTheWay):
    """The staging folder (Templates\\R) is a symbolic link to a folder of the user's that holds
    files of their own, one under a name the CD lists. The second plug-in finds the link gone (the
    user removed it)."""

    def prepare(self, run):
        _, host = templates_folder(run)
        self.users = UsersFiles(self.users_folder(run), {
            'config.ini': 'the user\'s own config.ini', 'notes.txt': 'notes', os.path.join('tools', 'todo.txt'): 'todo',
            os.path.join('letters', 'letter.doc'): 'a letter'}, run.prefix.path)
        self.users.write()
        self.link = os.path.join(host, 'R')
        os.symlink(self.users.folder, self.link)
        self.notes.append('the staging folder %s\\R is a symbolic link to the user\'s folder Documents\\Modem notes '
                          '(%d files)' % (templates_folder(run)[0], len(self.users.files)))

    def clear(self, run):
        beneath.remove(run.prefix.path, self.link)
        self.notes.append('before the second plug-in the user removed the link')


class HardLinkedStagedFile(UsersFilesInTheWay):
    """A file of the staging folder that an earlier staging left (config.ini) is a hard link to a
    file of the user's outside it."""

    def prepare(self, run):
        _, host = templates_folder(run)
        self.users = UsersFiles(self.users_folder(run), {'settings.ini': 'the user\'s own settings'}, run.prefix.path)
        self.users.write()
        staged = os.path.join(host, 'R', run.config_value('FILES', 'file01'))
        os.makedirs(os.path.join(host, 'R', 'tools'), exist_ok=True)
        os.link(os.path.join(self.users.folder, 'settings.ini'), staged)
        self.notes.append('the staged %s is a hard link to the user\'s Documents\\Modem notes\\settings.ini' %
                          os.path.basename(staged))


class MissingConfig(Fault):
    """The device's CD has no config.ini at all."""

    def __init__(self, name, what):
        super().__init__()
        self.name, self.what = name, what

    def prepare(self, run):
        found = image_mod.find_case_insensitive(os.path.dirname(run.images['R'].program_path()), 'config.ini')
        if not found:
            raise RuntimeError('the image has no config.ini to take away')
        os.remove(found)
        self.notes.append('on the CD: no config.ini')


# -- config.ini and the language files -------------------------------------------------------
def garbage(length, seed=17):
    rng = random.Random(seed)
    return bytes(rng.randrange(256) for _ in range(length))


def padded_config(data, megabytes=10):
    """The device's settings after 10 MB of keys the program does not read."""
    line = b'unread_key_%07d=' + b'x' * 64 + b'\r\n'
    lines, size, number = [b'[PADDING]\r\n'], 0, 0
    while size < megabytes * 1024 * 1024:
        entry = line % number
        lines.append(entry)
        size += len(entry)
        number += 1
    return b''.join(lines) + data


def without_sections(data, names):
    out, skipping = [], False
    for line in data.split(b'\r\n') if b'\r\n' in data else data.split(b'\n'):
        stripped = line.strip()
        if stripped.startswith(b'['):
            skipping = stripped.strip(b'[]').strip().upper() in names
        if not skipping:
            out.append(line)
    return b'\r\n'.join(out)


def utf16_without_mark(data):
    return data.decode('ascii', 'replace').encode('utf-16-le')


def truncated_language(data):
    """The first half of the file, cut in the middle of a UTF-16 character."""
    half = len(data) // 2
    return data[:half | 1]


LANGUAGE_KEYS_LEFT_OUT = (b'STR_STRING_TITLE', b'STR_STRING_STATUS_TOP_STRING', b'STR_STRING_DRV_NOT_INSTALL',
                          b'STR_STRING_ERROR_SCSI')


def language_without_keys(data):
    text = data[2:].decode('utf-16-le')
    kept = [line for line in text.split('\r\n')
            if not line.encode('ascii', 'replace').startswith(LANGUAGE_KEYS_LEFT_OUT)]
    return b'\xff\xfe' + '\r\n'.join(kept).encode('utf-16-le')


def language_in_utf8(data):
    """UTF-8 without a byte-order mark, as an editor may save it."""
    return data[2:].decode('utf-16-le').encode('utf-8') if data.startswith(b'\xff\xfe') else data


def language_without_mark(data):
    return data[2:] if data.startswith(b'\xff\xfe') else data


class BrokenFile(Fault):
    """A file of the device's CD as a careless tool left it: config.ini, or every language file."""

    def __init__(self, name, what, target, change):
        super().__init__()
        self.name, self.what, self.target, self.change = name, what, target, change

    def files(self, run):
        folder = os.path.dirname(run.images['R'].program_path())
        if self.target == 'config':
            found = image_mod.find_case_insensitive(folder, 'config.ini')
            return [found] if found else []
        tools = image_mod.find_case_insensitive(folder, 'tools')
        return [os.path.join(tools, n) for n in sorted(os.listdir(tools))
                if n.lower().startswith('lang_autorun_') and n.lower().endswith('.opt')] if tools else []

    def prepare(self, run):
        files = self.files(run)
        if not files:
            raise RuntimeError('the image has no %s to break' % ('config.ini' if self.target == 'config'
                                                                 else 'language file'))
        for path in files:
            with open(path, 'rb') as f:
                data = f.read()
            with open(path, 'wb') as f:
                f.write(self.change(data))
        self.notes.append('on the CD: %s (%d bytes%s)' % (self.what, os.path.getsize(files[0]),
                                                          ', every language file' if len(files) > 1 else ''))


# -- messages posted to the main window ------------------------------------------------------
class MainWindowHelper(Fault):
    """The driver setup is held; once it waits and the program's main window shows, a helper
    program is started against that window, and the setup goes on when the helper has ended."""

    def __init__(self, name, what, helper, arguments):
        super().__init__()
        self.name, self.what, self.helper_name, self.arguments = name, what, helper, arguments
        self.window = None      # the robot's record of the main window
        self.setup_held = False
        self.popen = None
        self.output = None
        self.released = False

    def configure(self, settings):
        _merge_script(settings, 'driver_setup', {'wait_for_file': RELEASE, 'wait_limit_ms': HOLD_LIMIT_MS})

    def on_robot(self, run, fields):
        # The main window is the program's window with a title (the staging dialog has none).
        if self.window is None and fields.get('event') == 'window' and fields.get('process') == 'Plugstart.exe' \
                and fields.get('kind') == 'window' and fields.get('title'):
            self.window = fields

    def on_action(self, run, fields):
        if fields.get('action') == 'waiting' and fields.get('detail', '').lower() == RELEASE.lower():
            self.setup_held = True

    def tick(self, run):
        if self.popen is None:
            if self.window is not None and self.setup_held:
                self.start_helper(run)
        elif not self.released and self.popen.poll() is not None:
            self.released = True
            with open(self.output, errors='replace') as f:
                self.helper = {'code': self.popen.poll(), 'output': f.read(), 'file': self.output}
            self.note(run, '%s ended with exit code %s: the driver setup goes on' % (self.helper_name,
                                                                                     self.helper['code']))
            self.release(run)

    def start_helper(self, run):
        helper = os.path.join(run.s.build_dir, 'tests', 'e2e', self.helper_name)
        self.output = os.path.join(run.s.run_dir, 'helper-output.txt')
        with open(self.output, 'wb') as sink:
            self.popen = run.prefix.start([helper, self.window.get('hwnd')] + self.arguments, output=sink)
        self.note(run, 'the driver setup is held: started %s %s against the main window "%s"' % (
            self.helper_name, ' '.join(self.arguments), self.window.get('title')))


FAULTS = [
    lambda: Unplug('unplug-in-driver-setup', 'the device is unplugged while the driver setup runs',
                   'driver_setup', 'wait_for_file'),
    lambda: Unplug('unplug-in-kit-setup', 'the device is unplugged while the kit setup runs',
                   'kit_setup', 'wait_for_file'),
    lambda: Unplug('unplug-before-mode-change', 'the device is unplugged just before the mode change (after the '
                   'kit setup\'s work, before it ends)', 'kit_setup', 'exit_wait_for_file'),
    lambda: ScriptedSetup('driver-setup-crash', 'the driver setup crashes (an access violation)',
                          'driver_setup', 'crash'),
    lambda: ScriptedSetup('kit-setup-crash', 'the kit setup crashes (an access violation)', 'kit_setup', 'crash'),
    lambda: ScriptedSetup('driver-setup-fails', 'the driver setup fails (exit code 1603)', 'driver_setup', 'fail'),
    lambda: ScriptedSetup('kit-setup-fails', 'the kit setup fails (exit code 1603)', 'kit_setup', 'fail'),
    lambda: MountedTemplates('staging-disk-full', 'the staging folder is on a full file system (a small tmpfs)',
                             False),
    lambda: MountedTemplates('staging-read-only', 'the staging folder is on a read-only file system', True),
    lambda: HeldStagedFile('staging-file-locked', 'a file of the staging folder (config.ini, left by an earlier '
                           'staging) is held open by another program without sharing', False, ('FILES', 'file01')),
    lambda: HeldStagedFile('staging-file-scanned', 'a virus scanner opens each staged file (the driver setup) with '
                           'full sharing as soon as it is there', True, ('DRIVER', 'driver_name')),
    lambda: LinkedStagingFolder('staging-linked', 'the staging folder is a symbolic link to a folder of the user\'s '
                                'with files of their own'),
    lambda: HardLinkedStagedFile('staging-hard-link', 'a staged file left by an earlier staging (config.ini) is a hard '
                                 'link to a file of the user\'s outside the staging folder'),
    lambda: MissingConfig('config-missing', 'the CD has no config.ini'),
    lambda: BrokenFile('config-empty', 'config.ini is empty', 'config', lambda data: b''),
    lambda: BrokenFile('config-garbage', 'config.ini is 16 KB of binary garbage', 'config',
                       lambda data: garbage(16 * 1024)),
    lambda: BrokenFile('config-10mb', 'config.ini is 10 MB: the settings after 10 MB of keys the program does not '
                       'read', 'config', padded_config),
    lambda: BrokenFile('config-utf16-no-bom', 'config.ini is UTF-16 without a byte-order mark', 'config',
                       utf16_without_mark),
    lambda: BrokenFile('config-sections-missing', 'config.ini lacks its [DRIVER] and [ITK] sections', 'config',
                       lambda data: without_sections(data, (b'DRIVER', b'ITK'))),
    lambda: BrokenFile('language-truncated', 'the language file is cut in half', 'language', truncated_language),
    lambda: BrokenFile('language-missing-keys', 'the language file lacks the title, the status texts and the '
                       'error texts', 'language', language_without_keys),
    lambda: BrokenFile('language-wrong-encoding', 'the language file is UTF-16 without its byte-order mark',
                       'language', language_without_mark),
    lambda: MainWindowHelper('post-ok', 'another program posts the main window WM_COMMAND IDOK during the driver '
                             'setup', 'PostClose.exe', ['ok']),
    lambda: MainWindowHelper('post-close', 'another program posts the main window WM_CLOSE during the driver setup',
                             'PostClose.exe', ['close']),
    lambda: MainWindowHelper('post-sysclose', 'another program posts the main window WM_SYSCOMMAND SC_CLOSE during '
                             'the driver setup', 'PostClose.exe', ['sysclose']),
    lambda: MainWindowHelper('copydata-flood', 'another program sends the main window hostile WM_COPYDATA messages '
                             'and a flood of them during the driver setup', 'HostileCopyData.exe', []),
]


def names():
    return [make().name for make in FAULTS]


def make(name):
    for maker in FAULTS:
        fault = maker()
        if fault.name == name:
            return fault
    raise KeyError(name)


def help_lines(width=100):
    lines = []
    for fault in (maker() for maker in FAULTS):
        lines += textwrap.wrap(fault.what, width, initial_indent='  %-26s ' % fault.name, subsequent_indent=' ' * 29)
    return lines
