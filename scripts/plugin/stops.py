"""Stops: SIGINT (Ctrl-C), SIGTERM (a CI cancel) and SIGHUP (a closed terminal) end a plug-in run,
the PC matrix, the language sheet and the end-to-end suite within seconds, whatever they wait for.

A command installs the handlers (install()). What a run starts that must not outlive a stop
registers here: the PCs' sandboxes and X servers (anything with a kill()), and the file systems a
fault mounts. At the signal, everything registered is killed at once (a sandbox with every
process in it), so that every wait of the run returns; the runs see requested() at their next
step, raise Stopped and clean up (a mount is unmounted, the report of what was seen so far says
"stopped"); parallel.py starts no queued item. finish() is the last resort after the command has
written its pages: whatever is still registered is killed or unmounted."""
import os
import signal
import subprocess
import threading

SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)
NAMES = {signal.SIGINT: 'SIGINT', signal.SIGTERM: 'SIGTERM', signal.SIGHUP: 'SIGHUP'}

_requested = threading.Event()
_signal = [None]
_lock = threading.Lock()
_killable = []   # objects with kill()
_mounts = []     # host paths of mounted file systems


class Stopped(Exception):
    """The command was told to stop (a signal): what runs ends, nothing new starts."""


def requested():
    return _requested.is_set()


def reason():
    return 'stopped by %s' % NAMES.get(_signal[0], 'a signal') if requested() else ''


def check():
    """Raises Stopped once a stop was requested: called before each new step."""
    if requested():
        raise Stopped(reason())


def exit_code(otherwise):
    """128 + the signal's number after a stop (the shell's way), else otherwise."""
    return 128 + int(_signal[0]) if requested() and _signal[0] else otherwise


def register(thing):
    """Lists thing (with kill()) to be killed at a stop; killed at once when the stop came already."""
    with _lock:
        _killable.append(thing)
    if requested():
        _kill(thing)


def unregister(thing):
    with _lock:
        if thing in _killable:
            _killable.remove(thing)


def register_mount(path):
    with _lock:
        _mounts.append(path)


def unregister_mount(path):
    with _lock:
        if path in _mounts:
            _mounts.remove(path)


def _kill(thing):
    try:
        thing.kill()
    except (OSError, ValueError):
        pass


def request(number=signal.SIGTERM):
    """A stop: remembered, and everything registered killed. Safe in a signal handler (it takes no
    lock that the interrupted code may hold: the lists are copied)."""
    if _signal[0] is None:
        _signal[0] = number
    _requested.set()
    for thing in list(_killable):
        _kill(thing)


def _handler(number, frame):
    if requested():  # told twice: the command ends at once, as it would have without the handlers
        signal.signal(number, signal.SIG_DFL)
        os.kill(os.getpid(), number)
    request(number)


def install():
    """The handlers of the command's main thread. A second signal ends the command at once, as
    one would without them (what the first one killed stays killed)."""
    for number in SIGNALS:
        signal.signal(number, _handler)


def finish():
    """After a stop, once the command has written what it saw: whatever is still registered goes
    (processes killed, file systems unmounted, lazily when still busy)."""
    for thing in list(_killable):
        _kill(thing)
    for path in list(_mounts):
        done = subprocess.run(['umount', path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if done.returncode != 0 and os.path.ismount(path):
            subprocess.run(['umount', '-l', path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        unregister_mount(path)


def reset():
    """Forgets a stop (for tests in one process)."""
    _requested.clear()
    _signal[0] = None
