"""Running Windows programs in one Wine prefix: the loader that fits a program, the prefix's
server, registry files to import."""
import os
import shutil
import signal
import struct
import subprocess
import time

from . import stops
from .program_output import run_to_end


def pe_machine(path):
    """'x64', 'x86' or '' for a file that is no Windows program."""
    try:
        with open(path, 'rb') as f:
            head = f.read(4096)
    except OSError:
        return ''
    if len(head) < 64 or head[:2] != b'MZ':
        return ''
    offset = struct.unpack_from('<I', head, 60)[0]
    with open(path, 'rb') as f:
        f.seek(offset)
        signature = f.read(6)
    if len(signature) < 6 or signature[:4] != b'PE\0\0':
        return ''
    machine = struct.unpack_from('<H', signature, 4)[0]
    return {0x8664: 'x64', 0x14c: 'x86'}.get(machine, '')


def host_runs_32bit():
    """Whether this host's Wine can start 32-bit programs (its kernel runs 32-bit code)."""
    loader = '/usr/lib/wine/wine'
    if not os.path.exists(loader):
        return False
    try:
        return subprocess.run([loader, '--version'], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=30).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        return False


def _alive(pid):
    """Whether a process runs (a zombie, ended and not yet collected by its parent, does not)."""
    try:
        with open('/proc/%d/stat' % pid) as f:
            return f.read().rsplit(')', 1)[1].split()[0] != 'Z'
    except (OSError, IndexError):
        return False


class HostCannot(Exception):
    """The host cannot make the PC a run asks for (no 64-bit Wine, no 32-bit programs in a 64-bit
    prefix): the run says it was skipped and why."""


def wow64_problem(prefix):
    """Why the 64-bit prefix cannot run 32-bit programs, or None: it needs the 64-bit loader, the
    32-bit one (a kernel that runs 32-bit code), and the prefix's 32-bit system folder, where a
    32-bit program it starts must end with the exit code it chose."""
    if not (shutil.which('wine64') or os.path.exists('/usr/lib/wine/wine64')):
        return 'this host has no 64-bit Wine (wine64): it cannot make a 64-bit Windows'
    if not host_runs_32bit():
        return 'this host\'s Wine runs no 32-bit programs (no wine32, or a kernel without 32-bit support)'
    if not os.path.isdir(prefix.drive_c('windows', 'syswow64')):
        return 'the 64-bit prefix has no SysWOW64 folder: it was made without 32-bit support'
    code, output = prefix.run(['C:\\windows\\syswow64\\cmd.exe', '/c', 'exit 7'], timeout=120)
    if code != 7:
        return 'a 32-bit program in the 64-bit prefix did not run (exit code %s: %s)' % (code, output.strip()[:200])
    return None


class Prefix:
    """One Wine prefix: its folder, architecture ('win32'/'win64') and X display. With a sandbox
    (sandbox.py), every program of the prefix runs inside it; without one, on the host."""

    def __init__(self, path, arch, display=None, sandbox=None):
        self.path = os.path.abspath(path)
        self.arch = arch
        self.display = display
        self.sandbox = sandbox

    def env(self, extra=None):
        env = dict(os.environ)
        env.update({'WINEPREFIX': self.path, 'WINEARCH': self.arch, 'WINEDEBUG': '-all',
                    'WINEDLLOVERRIDES': 'mscoree,mshtml='})
        if self.display:
            env['DISPLAY'] = self.display
        else:
            env.pop('DISPLAY', None)
        if extra:
            env.update(extra)
        return env

    def loader(self):
        if self.arch == 'win64':
            return shutil.which('wine64') or '/usr/lib/wine/wine64'
        return shutil.which('wine') or '/usr/bin/wine'

    def wineserver(self):
        return shutil.which('wineserver') or '/usr/lib/wine/wineserver'

    def run(self, args, timeout=120, env=None, cwd=None):
        """Runs a Windows command to its end; returns (exit code, output)."""
        return self.run_native([self.loader()] + list(args), timeout, env, cwd)

    def run_native(self, argv, timeout=120, env=None, cwd=None):
        """Runs a host program of the prefix (Wine's server, say) to its end: (exit code, output)."""
        if self.sandbox:
            return self.sandbox.run(argv, self.env(env), cwd, timeout)
        process, code, output = run_to_end(
            lambda fd: subprocess.Popen(argv, env=self.env(env), cwd=cwd, stdin=subprocess.DEVNULL, stdout=fd,
                                        stderr=fd), timeout)
        if code is None:
            process.wait()
            return -1, 'timed out after %d s' % timeout
        return code, output

    def start(self, args, env=None, cwd=None, output=None, stdin=None, errors=None):
        """Starts a Windows command; returns the Popen (or its sandboxed like). output, stdin and
        errors (default: where output goes): files or descriptors (None: nothing)."""
        return self.start_native([self.loader()] + list(args), env, cwd, output, stdin, errors)

    def start_native(self, argv, env=None, cwd=None, output=None, stdin=None, errors=None):
        """Starts a host program of the prefix (see start)."""
        errors = output if errors is None else errors
        if self.sandbox:
            return self.sandbox.start(argv, self.env(env), cwd, stdin=stdin, stdout=output, stderr=errors)
        return subprocess.Popen(argv, env=self.env(env), cwd=cwd,
                                stdin=stdin if stdin is not None else subprocess.DEVNULL,
                                stdout=output if output is not None else subprocess.DEVNULL,
                                stderr=errors if errors is not None else subprocess.DEVNULL,
                                start_new_session=True)

    def wake(self, timeout=120):
        """Starts the prefix's server and system programs with a program whose output goes nowhere:
        they inherit the output of the first program of a session and outlive it, and must not
        hold on to a pipe of the run (the robot's, or one the run reads to its end)."""
        first = self.start(['cmd.exe', '/c', 'exit'])
        try:
            first.wait(timeout)
        except subprocess.TimeoutExpired:
            first.kill()
            first.wait()

    def import_reg(self, text, name='settings.reg'):
        """Imports registry settings (REGEDIT4 text) in one go."""
        path = os.path.join(self.path, name)
        with open(path, 'w', encoding='utf-8') as f:
            f.write('REGEDIT4\r\n\r\n' + text)
        code, out = self.run(['regedit', '/S', 'Z:' + path.replace('/', '\\')])
        os.remove(path)
        self.last_output = out
        return code == 0

    def kill(self, quick=True):
        """Ends every process of this prefix (its own server and what runs under it) and returns
        once its server has gone; a sandbox's instance ends with them. quick: by ending the
        server (end_server); else, as before the PC is started again in a run (an unplug), by
        "wineserver -k"."""
        if self.sandbox:
            # (After a stop there is nothing left to end: the stop killed the instance.)
            if self.sandbox.running() and not stops.requested() and not (quick and self.end_server()):
                self.run_native([self.wineserver(), '-k'], timeout=60)
                self.run_native([self.wineserver(), '-w'], timeout=60)
            self.sandbox.end()
            return
        subprocess.run([self.wineserver(), '-k'], env=self.env(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        try:
            subprocess.run([self.wineserver(), '-w'], env=self.env(), stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60)
        except subprocess.TimeoutExpired:
            pass

    def end_server(self, timeout=10):
        """Ends the sandbox's Wine server as a terminal's Ctrl-C would: it writes the registry
        files and exits at once (where "wineserver -k" takes most of a second), and its programs,
        cut off from it, end with the sandbox. True when no server is left running."""
        servers = self.sandbox.processes_named('wineserver')
        for pid in servers:
            try:
                os.kill(pid, signal.SIGTERM)
            except OSError:
                pass
        deadline = time.monotonic() + timeout
        while any(_alive(pid) for pid in servers):
            if time.monotonic() > deadline:
                return False
            time.sleep(0.01)
        return True

    def reported_version(self):
        """What the PC says it is, as "ver" prints it (e.g. "Microsoft Windows 10.0.19043"), or ''."""
        code, output = self.run(['cmd.exe', '/c', 'ver'], timeout=120)
        lines = [line.strip() for line in output.splitlines() if 'windows' in line.lower()]
        self.last_output = 'exit %s: %s' % (code, output.strip())
        return lines[-1] if code == 0 and lines else ''

    def drive_c(self, *parts):
        return os.path.join(self.path, 'drive_c', *parts)

    def unix_path(self, windows_path):
        """The host path of a path on drive C: of this prefix: its own drive_c folder, whatever the
        drive letter names now (a program of the PC can point a letter at any host folder); None
        for a path on another drive, or on none."""
        if len(windows_path) < 3 or windows_path[1] != ':' or windows_path[0].lower() != 'c':
            return None
        parts = [part for part in windows_path[3:].split('\\') if part]
        if any(part in ('.', '..') for part in parts):
            return None
        return self.drive_c(*parts)

    def user_folder(self):
        users = self.drive_c('users')
        for name in sorted(os.listdir(users)) if os.path.isdir(users) else []:
            if name.lower() not in ('public', 'default'):
                return os.path.join(users, name)
        return None
