"""Files of a folder that a PC's programs can write (its prefix), as the host reads and writes
them. A program of an image can make symbolic links and FIFOs there (Wine is no sandbox: it may
call the kernel itself), so the host follows no link, on the way or at the end, opens nothing but
a regular file (a FIFO would hold the reader for ever), and a file it writes there takes the
place of whatever stood at its name instead of being written through it."""
import errno
import os
import stat

_FOLDER = os.O_RDONLY | os.O_DIRECTORY | os.O_NOFOLLOW | os.O_CLOEXEC


class Refused(OSError):
    """A link, a FIFO, a device or a socket where the host expected a file or a folder."""


# A folder listed (files_below) is listed this far at most.
LIST_LIMIT = 10000
LIST_DEPTH = 32


def refused(path, what):
    """The Refused of path, which is what (a symbolic link, not a regular file, ...)."""
    return Refused('%s is %s: not followed, read or written through' % (path, what))


def _open_folder(name, dir_fd, path):
    """A descriptor of the folder name in dir_fd (path: its whole path, for the error), not
    followed when it is a link."""
    try:
        return os.open(name, _FOLDER, dir_fd=dir_fd)
    except OSError as e:
        if e.errno in (errno.ELOOP, errno.ENOTDIR):
            raise refused(path, 'not a folder (a link?)') from None
        raise


def _folder_of(root, path):
    """(a descriptor of path's folder, reached from root without following a link, its name)."""
    rel = os.path.relpath(path, root)
    if rel == '.' or rel.startswith('..' + os.sep) or rel == '..' or os.path.isabs(rel):
        raise ValueError('%s is not beneath %s' % (path, root))
    parts = rel.split(os.sep)
    fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY | os.O_CLOEXEC)
    try:
        for number, part in enumerate(parts[:-1]):
            inner = _open_folder(part, fd, os.path.join(root, *parts[:number + 1]))
            os.close(fd)
            fd = inner
    except BaseException:
        os.close(fd)
        raise
    return fd, parts[-1]


def _open_file(root, path, flags, mode=0o644):
    folder, name = _folder_of(root, path)
    try:
        fd = os.open(name, flags | os.O_NOFOLLOW | os.O_CLOEXEC, mode, dir_fd=folder)
    except OSError as e:
        if e.errno == errno.ELOOP:
            raise refused(path, 'a symbolic link') from None
        raise
    finally:
        os.close(folder)
    if not stat.S_ISREG(os.fstat(fd).st_mode):
        os.close(fd)
        raise refused(path, 'not a regular file')
    return fd


def read_bytes(root, path, offset=0, limit=None):
    """The bytes of the file at path from offset on (at most limit). FileNotFoundError when there
    is none; Refused for a link or anything but a file."""
    with os.fdopen(_open_file(root, path, os.O_RDONLY | os.O_NONBLOCK), 'rb') as f:
        f.seek(offset)
        return f.read() if limit is None else f.read(limit)


def size_of(root, path):
    """The size of the file at path, or None when there is no such file (or it is not one)."""
    try:
        fd = _open_file(root, path, os.O_RDONLY | os.O_NONBLOCK)
    except (OSError, ValueError):
        return None
    try:
        return os.fstat(fd).st_size
    finally:
        os.close(fd)


def remove(root, path):
    """Removes the file or link at path (what a link names stays); nothing there is no error."""
    folder, name = _folder_of(root, path)
    try:
        os.unlink(name, dir_fd=folder)
    except FileNotFoundError:
        pass
    finally:
        os.close(folder)


def write_new(root, path, data):
    """Writes data as a new file at path, in the place of the file or link that stood there."""
    remove(root, path)
    with os.fdopen(_open_file(root, path, os.O_WRONLY | os.O_CREAT | os.O_EXCL), 'wb') as f:
        f.write(data)


def link_new(root, path, target):
    """Makes path a symbolic link to target, in the place of the file or link that stood there."""
    remove(root, path)
    folder, name = _folder_of(root, path)
    try:
        os.symlink(target, name, dir_fd=folder)
    finally:
        os.close(folder)


def kind_of(root, path):
    """What stands at path, its last part not followed: 'file', 'folder', 'link', 'other' or None."""
    folder, name = _folder_of(root, path)
    try:
        mode = os.stat(name, dir_fd=folder, follow_symlinks=False).st_mode
    except FileNotFoundError:
        return None
    finally:
        os.close(folder)
    return ('file' if stat.S_ISREG(mode) else 'folder' if stat.S_ISDIR(mode) else
            'link' if stat.S_ISLNK(mode) else 'other')


def files_below(root, folder, limit=LIST_LIMIT, depth=LIST_DEPTH):
    """(the relative paths of what lies below folder but its folders, sorted: files, and links,
    FIFOs and the like by their names; whether that is all of it). Nothing is followed or
    entered but a folder: not a link on the way to folder, nor one below it. The walk stops at
    limit names or depth folders down (all: False). Refused when folder, or a folder on the way,
    is a link or no folder."""
    parent, name = _folder_of(root, folder)
    try:
        fd = _open_folder(name, parent, folder)
    finally:
        os.close(parent)
    found = []
    complete = _walk(fd, '', found, limit, depth)
    return sorted(found), complete


def _walk(fd, above, found, limit, depth):
    """Adds the names below the open folder fd (closed here) to found; False when it stopped short."""
    try:
        folders = []
        with os.scandir(fd) as entries:
            for entry in entries:
                if entry.is_dir(follow_symlinks=False):
                    folders.append(entry.name)
                elif len(found) < limit:
                    found.append(above + entry.name)
                else:
                    return False
        if folders and depth <= 1:
            return False
        for name in sorted(folders):
            try:
                inner = os.open(name, _FOLDER, dir_fd=fd)
            except OSError:
                continue  # gone, or made a link, since it was seen
            if not _walk(inner, above + name + os.sep, found, limit, depth - 1):
                return False
        return True
    finally:
        os.close(fd)


def copy_out(root, path, target, limit=None):
    """Copies the file at path to target, a host path out of the PC's reach (at most limit bytes)."""
    data = read_bytes(root, path, limit=limit)
    with open(target, 'wb') as f:
        f.write(data)
