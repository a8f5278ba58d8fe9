"""What runs keep for later runs in the build's cache (the base prefixes, the prepared PCs, the
real installers): each thing is made under its own lock, so that runs side by side make it once,
and counts only when its stamp, written last and whole, names what it was made from."""
import contextlib
import fcntl
import json
import os
import shutil


@contextlib.contextmanager
def locked(lock_path):
    """The lock at lock_path held for the block (a second run waits here)."""
    with open(lock_path, 'w') as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        yield


def held_unless_taken(lock_path):
    """The lock file at lock_path, opened and held until it is closed (or the process ends), or
    None when another process holds it (nothing waits)."""
    lock = open(lock_path, 'a')
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        lock.close()
        return None
    return lock


def read_stamp(path):
    """The stamp at path, or None when there is none."""
    try:
        with open(path, encoding='utf-8') as f:
            return f.read().strip()
    except OSError:
        return None


def write_stamp(path, stamp):
    """Writes the stamp whole or not at all: a making that breaks off leaves no stamp that counts."""
    write_whole(path, stamp)


def write_json(path, data):
    """Writes data as JSON at path, whole or not at all."""
    write_whole(path, json.dumps(data))


def write_whole(path, text):
    with open(path + '.partial', 'w', encoding='utf-8') as f:
        f.write(text)
    os.replace(path + '.partial', path)


def remove(*paths):
    """Removes each path: a folder with all it holds, a file or a link (what a link names stays);
    a path that is not there is no error."""
    for path in paths:
        if os.path.isdir(path) and not os.path.islink(path):
            shutil.rmtree(path)
        elif os.path.lexists(path):
            os.remove(path)
