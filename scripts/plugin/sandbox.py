"""The sandbox around a simulated PC: Wine and everything it starts run inside bubblewrap
(/usr/bin/bwrap), which shows them only

- the run's own folder, writable (the prefix, the CD-ROM drives' folders, the logs),
- the system's programs and libraries (/usr), the few files of /etc that Wine and its libraries
  read, and the run's tools (the robot, the stand-ins, the simulated device library), read-only,
- a private /tmp (where Wine's server socket lives), the X display's socket, /proc of its own
  processes, and a minimal /dev,

no network, and nothing else: not the maker's home, not the checkout beyond the tools bound, not
the host's /tmp, not another run. Wine's Z: drive and its \\\\?\\unix\\ paths then reach only
that. Its programs keep no capability of the host.

All the programs of one PC must meet one Wine server: they run in one sandbox instance, started
by the starter inside it (sandbox_agent.py), which the run asks over a socket. The instance is
made on the PC's first program and ends when the PC is stopped (Wine's server and all its
programs gone); the next program makes a new one. A mount made in the run's folder meanwhile (a
fault's file system) is seen by the next instance. Two runs have two instances and never meet.

Stops: every instance is listed (stops.py); killing its bubblewrap process ends every process in
it at once (its processes live in a process namespace of its own, which ends with its first)."""
import json
import os
import shutil
import signal
import socket
import subprocess
import threading
import time

from . import stops
from .program_output import run_to_end

BWRAP = '/usr/bin/bwrap'
AGENT = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'sandbox_agent.py')
# What of /etc the programs read: the dynamic linker's cache, the alternatives that Debian's wine
# commands are links through, the user database (Wine names the user's folder after it), name
# service and locale settings, time zone, fonts. Nothing secret (no shadow file, no keys).
ETC_FILES = ('ld.so.cache', 'ld.so.conf', 'ld.so.conf.d', 'alternatives', 'passwd', 'group', 'nsswitch.conf',
             'locale.alias', 'localtime', 'timezone', 'fonts')
# Read-only besides /usr: the fonts' cache, so that no program builds it anew in each instance.
SYSTEM_FOLDERS = ('/var/cache/fontconfig',)
# The host's variables a program of the PC is given (the rest, such as the maker's tokens, stay out).
PASSED_VARIABLES = ('LANG', 'LANGUAGE', 'TZ', 'USER', 'LOGNAME')
READY_SECONDS = 20
PATH = '/usr/local/bin:/usr/bin:/bin'


class SandboxUnavailable(Exception):
    """This host cannot make the sandbox (no bubblewrap, namespaces refused): the run refuses to
    start an image's programs without it, unless it was asked to run without a sandbox."""


def display_socket(display):
    """The host path of an X display's socket (':1' -> /tmp/.X11-unix/X1), or None for a display
    over the network, which the sandbox (no network) cannot reach."""
    if not display or not display.startswith(':'):
        return None
    number = display[1:].split('.')[0]
    return '/tmp/.X11-unix/X' + number if number.isdigit() else None


def sandbox_environment(env):
    """The environment of a program of the PC: the run's variables for Wine and the display, the
    host's locale and user names, a search path of system folders, and HOME in the private /tmp."""
    kept = {name: value for name, value in env.items()
            if name in PASSED_VARIABLES or name.startswith(('LC_', 'WINE')) or name in ('DISPLAY', 'XAUTHORITY')}
    kept.update({'PATH': PATH, 'HOME': '/tmp'})
    return kept


def bwrap_arguments(writable, readable, display, xauthority, agent_fd, info_fd):
    """The bubblewrap command line of one instance (the starter as its program); bubblewrap
    names the first process of the instance on info_fd."""
    args = [BWRAP, '--info-fd', str(info_fd), '--unshare-pid', '--unshare-net', '--unshare-ipc', '--unshare-uts', '--die-with-parent',
            '--new-session', '--cap-drop', 'ALL', '--ro-bind', '/usr', '/usr']
    for name in ('bin', 'lib', 'lib32', 'lib64', 'libx32', 'sbin'):
        path = '/' + name
        if os.path.islink(path):
            args += ['--symlink', os.readlink(path), path]
        elif os.path.isdir(path):
            args += ['--ro-bind', path, path]
    for name in ETC_FILES:
        if os.path.exists('/etc/' + name):
            args += ['--ro-bind', '/etc/' + name, '/etc/' + name]
    for path in SYSTEM_FOLDERS:
        if os.path.isdir(path):
            args += ['--ro-bind', path, path]
    # The kernel's settings under /proc/sys answer to the user number, not to capabilities: a
    # program running as root without any could still set one (a core pattern that runs a host
    # program as root, say). Read-only, as the other writable files of /proc are.
    args += ['--proc', '/proc', '--ro-bind', '/proc/sys', '/proc/sys', '--dev', '/dev', '--tmpfs', '/tmp']
    socket_path = display_socket(display)
    if socket_path and os.path.exists(socket_path):
        args += ['--ro-bind', socket_path, socket_path]
    if xauthority:
        args += ['--ro-bind', xauthority, xauthority]
    for path in readable:
        if os.path.exists(path):
            args += ['--ro-bind', path, path]
    for path in writable:
        args += ['--bind', path, path]
    # The folders made on the way to the bound ones stay as they are (the run's folder and /tmp,
    # mounts of their own, stay writable).
    args += ['--remount-ro', '/']
    python = shutil.which('python3', path=PATH) or '/usr/bin/python3'
    with open(AGENT, encoding='utf-8') as f:
        agent = f.read()
    return args + ['--chdir', '/', '--', python, '-I', '-S', '-c', agent, str(agent_fd)]


class SandboxedProcess:
    """A program started inside a sandbox, with the ways of a subprocess.Popen the run uses."""

    def __init__(self, sandbox, ident, argv):
        self.sandbox = sandbox
        self.ident = ident
        self.args = argv
        self.instance = None
        self.pid = None
        self.returncode = None
        self.error = None
        self.changed = threading.Condition()

    def _set(self, **values):
        with self.changed:
            self.__dict__.update(values)
            self.changed.notify_all()

    def poll(self):
        return self.returncode

    def wait(self, timeout=None):
        deadline = None if timeout is None else time.monotonic() + timeout
        with self.changed:
            while self.returncode is None:
                left = None if deadline is None else deadline - time.monotonic()
                if left is not None and left <= 0:
                    raise subprocess.TimeoutExpired(self.args, timeout)
                self.changed.wait(left if left is not None else 1.0)
        return self.returncode

    def send_signal(self, number):
        self.sandbox.signal(self, number)

    def kill(self):
        self.send_signal(signal.SIGKILL)

    def terminate(self):
        self.send_signal(signal.SIGTERM)


class Instance:
    """One instance of a sandbox: bubblewrap with the starter inside, the socket to the starter and
    the programs started in it."""

    def __init__(self, sandbox):
        self.processes = {}
        self.ready = threading.Event()     # the starter answered, or the instance ended first
        self.answered = False
        ours, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
        info_read, info_write = os.pipe()
        try:
            self.bwrap = subprocess.Popen(
                bwrap_arguments(sandbox.writable, sandbox.readable, sandbox.display, sandbox.xauthority,
                                theirs.fileno(), info_write),
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                pass_fds=(theirs.fileno(), info_write), start_new_session=True)
        except BaseException:
            ours.close()
            os.close(info_read)
            raise
        finally:
            theirs.close()
            os.close(info_write)
        self.first_pid = first_process(info_read)  # the host's number of its first process
        self.channel = ours
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def running(self):
        return self.bwrap.poll() is None

    def _read(self):
        while True:
            try:
                data = self.channel.recv(1 << 16)
            except OSError:
                data = b''
            if not data:
                break
            message = json.loads(data.decode('utf-8'))
            if message['op'] == 'ready':
                self.answered = True
                self.ready.set()
                continue
            process = self.processes.get(message.get('id'))
            if process is None:
                continue
            if message['op'] == 'started':
                process._set(pid=message['pid'])
            elif message['op'] == 'failed':
                process._set(error=message['error'], returncode=-1)
            elif message['op'] == 'exit':
                process._set(returncode=message['code'])
        # The instance has ended: whatever still waits for a program of it learns so.
        for process in list(self.processes.values()):
            if process.returncode is None:
                process._set(returncode=-signal.SIGKILL)
        self.ready.set()

    def kill(self):
        """Everything of the instance goes at once (called from a signal handler too): its first
        process is killed, which ends every other of its process namespace; bubblewrap then ends
        by itself, and the run collects it."""
        if self.bwrap.poll() is None:
            try:
                os.kill(self.first_pid or self.bwrap.pid, signal.SIGKILL)
            except OSError:
                pass

    def end(self, timeout):
        """The starter is told to end (it kills what it started), then the rest is killed; returns
        what bubblewrap said, if anything."""
        try:
            self.channel.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        try:
            self.bwrap.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            pass
        self.kill()
        try:
            self.bwrap.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.bwrap.kill()
            self.bwrap.wait()
        said = ''
        try:
            said = self.bwrap.stderr.read().decode('utf-8', 'replace').strip()
        except (OSError, ValueError):
            pass
        self.bwrap.stderr.close()
        self.channel.close()
        return said


class Sandbox:
    """The sandbox of one run: the folders it binds and its instance while one runs."""

    def __init__(self, writable, readable=(), display=None, xauthority=None):
        self.writable = [os.path.abspath(p) for p in writable]
        self.readable = [os.path.abspath(p) for p in readable]
        self.display = display
        self.xauthority = xauthority if xauthority and os.path.isfile(xauthority) else None
        self.lock = threading.Lock()
        self.instance = None
        self.next_id = 0
        self.start_seconds = []  # how long each instance took to be ready

    # -- the instance ------------------------------------------------------------------------
    def running(self):
        return self.instance is not None and self.instance.running()

    def _start(self):
        if not os.access(BWRAP, os.X_OK):
            raise SandboxUnavailable('bubblewrap (%s) is not installed (Debian package bubblewrap)' % BWRAP)
        for path in self.writable:
            os.makedirs(path, exist_ok=True)
        begun = time.monotonic()
        self.instance = Instance(self)
        stops.register(self)
        if not self.instance.ready.wait(READY_SECONDS) or not self.instance.answered:
            said = self._end_instance(0)
            raise SandboxUnavailable('the sandbox did not start: %s' % (said or 'no answer within %d s'
                                                                          % READY_SECONDS))
        self.start_seconds.append(time.monotonic() - begun)

    def _end_instance(self, timeout):
        instance, self.instance = self.instance, None
        stops.unregister(self)
        return instance.end(timeout) if instance else ''

    def end(self, timeout=10):
        """Ends the instance: the starter kills what is left and ends, and with it every process of
        the instance (those that outlived their parents too)."""
        with self.lock:
            self._end_instance(timeout)

    def processes_named(self, name_start):
        """The host's numbers of the running instance's processes whose program's file name starts
        with name_start (all of them share the instance's process namespace)."""
        instance = self.instance
        if instance is None or not instance.running() or not instance.first_pid:
            return []
        try:
            namespace = os.readlink('/proc/%d/ns/pid' % instance.first_pid)
        except OSError:
            return []
        found = []
        for entry in os.listdir('/proc'):
            if not entry.isdigit():
                continue
            try:
                if os.readlink('/proc/%s/ns/pid' % entry) != namespace:
                    continue
                with open('/proc/%s/cmdline' % entry, 'rb') as f:
                    program = f.read().split(b'\0')[0].decode('utf-8', 'replace')
            except OSError:
                continue
            if os.path.basename(program).startswith(name_start):
                found.append(int(entry))
        return found

    def kill(self):
        """At a stop: everything of the instance goes at once (called from a signal handler too)."""
        instance = self.instance
        if instance is not None:
            instance.kill()

    # -- its programs ------------------------------------------------------------------------
    def start(self, argv, env, cwd=None, stdin=None, stdout=None, stderr=None):
        """Starts argv inside the instance (made first when none runs); stdin, stdout, stderr: file
        descriptors or file objects (None: nothing). Returns a SandboxedProcess."""
        stops.check()
        null = os.open(os.devnull, os.O_RDWR)
        try:
            fds = [null if stream is None else stream if isinstance(stream, int) else stream.fileno()
                   for stream in (stdin, stdout, stderr)]
            with self.lock:
                if not self.running():
                    self._end_instance(0)
                    self._start()
                self.next_id += 1
                process = SandboxedProcess(self, self.next_id, argv)
                self.instance.processes[process.ident] = process
                process.instance = self.instance
                message = {'op': 'start', 'id': process.ident, 'argv': list(argv),
                           'env': sandbox_environment(env), 'cwd': cwd}
                try:
                    socket.send_fds(self.instance.channel, [json.dumps(message).encode('utf-8')], fds)
                except OSError as e:
                    raise SandboxUnavailable('the sandbox went away: %s' % e)
        finally:
            os.close(null)
        with process.changed:
            while process.pid is None and process.returncode is None:
                process.changed.wait(1.0)
        if process.error:
            raise OSError('could not start %s in the sandbox: %s' % (argv[0], process.error))
        return process

    def signal(self, process, number):
        with self.lock:
            if process.instance is not self.instance or process.returncode is not None:
                return  # its instance has ended, and it with it
            try:
                self.instance.channel.send(json.dumps({'op': 'signal', 'id': process.ident, 'signal': int(number)})
                                           .encode('utf-8'))
            except OSError:
                pass

    def run(self, argv, env, cwd=None, timeout=120):
        """Runs argv to its end: (exit code, its output and errors as text); (-1, why) at the
        time-out, the program killed."""
        _, code, output = run_to_end(lambda fd: self.start(argv, env, cwd, stdout=fd, stderr=fd), timeout)
        return (-1, 'timed out after %d s' % timeout) if code is None else (code, output)


def first_process(info_fd):
    """The host's number of an instance's first process, as bubblewrap tells it (None when it
    ended before telling)."""
    with os.fdopen(info_fd, 'rb') as info:
        text = info.read()
    try:
        return int(json.loads(text.decode('utf-8'))['child-pid'])
    except (ValueError, KeyError, TypeError):
        return None


def probe(folder):
    """Why this host cannot make a sandbox around a folder, or None: a sandbox is made, a
    program run in it and the sandbox ended."""
    sandbox = Sandbox([folder])
    try:
        code, output = sandbox.run(['/bin/true'], {}, timeout=30)
        return None if code == 0 else 'a program in the sandbox failed (exit code %s: %s)' % (code, output.strip())
    except (SandboxUnavailable, OSError) as e:
        return str(e)
    finally:
        sandbox.end()
