"""A folder that reports are written into (--report-dir, a matrix's page folder, the language
sheet's): a run replaces or removes only what an earlier run listed as written there, and writes
nothing through a link. The folder keeps the list of the files a run wrote and the folders it made
(.plugin-report-files); the next run removes those files, and those folders once they are empty,
and nothing else: a folder given by --report-dir may hold files of its own.

A link inside the folder (at a name the run writes, or at a folder on the way to one) is never
followed: it is replaced by the file or folder the run writes, and removing an earlier file removes
a link at its name, never what the link points at. Every file is written as a new file beside its
name and then renamed over it, so a link at the name is replaced, not written through. The folder
itself is taken as given (a link there is the maker's choice)."""
import os
import shutil
import stat
import tempfile

LIST_NAME = '.plugin-report-files'


class ReportFolderError(Exception):
    pass


def _inside(name):
    """Whether a listed name stays inside the folder (the list is a file like any other there)."""
    parts = name.replace('\\', '/').split('/')
    return bool(name) and not os.path.isabs(name) and '..' not in parts and '' not in parts[:-1]


def _is_real_folder(path):
    try:
        return stat.S_ISDIR(os.lstat(path).st_mode)
    except OSError:
        return False


class ReportFolder:
    """One run's writing into a report folder: what it clears of the run before, what it writes."""

    def __init__(self, path):
        self.path = os.path.abspath(path)
        os.makedirs(self.path, exist_ok=True)
        self.files = []    # the names written, relative to the folder
        self.folders = []  # the folders made

    def host_path(self, relative):
        return os.path.join(self.path, *relative.split('/'))

    # -- what the run before wrote ---------------------------------------------------------
    def listed(self):
        """(files, folders) the last run listed; nothing when the list is not a plain file."""
        path = self.host_path(LIST_NAME)
        try:
            if not stat.S_ISREG(os.lstat(path).st_mode):
                return [], []
            with open(path, encoding='utf-8') as f:
                names = [line.rstrip('\n') for line in f if line.strip()]
        except (OSError, UnicodeDecodeError):
            return [], []
        folders = [n.rstrip('/') for n in names if n.endswith('/') and _inside(n.rstrip('/'))]
        files = [n for n in names if not n.endswith('/') and _inside(n)]
        return files, folders

    def on_real_folders(self, relative):
        """Whether every folder on the way to relative is a folder of this one, no link."""
        parts = relative.split('/')[:-1]
        return all(_is_real_folder(self.host_path('/'.join(parts[:i + 1]))) for i in range(len(parts)))

    def clear_earlier(self):
        """Removes the files the last run listed (a link at such a name: the link), then the
        folders it made, deepest first, with the files their own lists name, once empty."""
        files, folders = self.listed()
        for name in files:
            path = self.host_path(name)
            if self.on_real_folders(name) and os.path.lexists(path) and not _is_real_folder(path):
                os.unlink(path)
        for name in sorted(folders, key=lambda n: n.count('/'), reverse=True):
            path = self.host_path(name)
            if not (self.on_real_folders(name) and _is_real_folder(path)):
                continue
            ReportFolder(path).clear_earlier()  # a report of its own inside (a matrix's cells)
            try:
                os.rmdir(path)
            except OSError:
                pass  # it holds something else
        list_path = self.host_path(LIST_NAME)
        if os.path.lexists(list_path) and not _is_real_folder(list_path):
            os.unlink(list_path)

    # -- what this run writes --------------------------------------------------------------
    def folder(self, relative):
        """The host path of the folder relative ('' for this one), made where missing; a link or a
        file that is no folder on the way is replaced by one when this run wrote it, else refused."""
        path = self.path
        done = []
        for part in [p for p in relative.split('/') if p]:
            done.append(part)
            path = os.path.join(path, part)
            if _is_real_folder(path):
                continue
            if os.path.islink(path):
                os.unlink(path)  # the link, never what it points at
            elif os.path.lexists(path):
                raise ReportFolderError('%s is in the way of a report folder and is not the report\'s: it is left '
                                        'as it is' % path)
            os.mkdir(path)
            self.folders.append('/'.join(done))
        return path

    def produce(self, relative, make):
        """Writes the file relative with make(a new file's path), then puts it in place of whatever
        was at that name; returns its host path."""
        folder = self.folder(os.path.dirname(relative))
        target = os.path.join(folder, os.path.basename(relative))
        if _is_real_folder(target):
            raise ReportFolderError('%s is a folder, not a file of the report: it is left as it is' % target)
        handle, temporary = tempfile.mkstemp(dir=folder, prefix='.new-', suffix='-' + os.path.basename(relative))
        os.close(handle)
        try:
            make(temporary)
            os.chmod(temporary, 0o644)
            os.replace(temporary, target)
        except BaseException:
            if os.path.lexists(temporary):
                os.unlink(temporary)
            raise
        if relative not in self.files:
            self.files.append(relative)
        return target

    def write(self, relative, data):
        """Writes data (bytes, or text in UTF-8) as the file relative; returns its host path."""
        if isinstance(data, str):
            data = data.encode('utf-8')

        def make(path):
            with open(path, 'wb') as f:
                f.write(data)
        return self.produce(relative, make)

    def copy(self, relative, source):
        return self.produce(relative, lambda path: shutil.copyfile(source, path))

    def adopt(self, relative):
        """Lists a file of the report that another program wrote in place (one that replaces, not
        writes through, whatever was at its name)."""
        if relative not in self.files:
            self.files.append(relative)

    def record(self):
        """Lists what this run wrote and made, for the next run to remove."""
        lines = [name for name in self.files if name != LIST_NAME] + [name + '/' for name in self.folders]
        self.write(LIST_NAME, ''.join(line + '\n' for line in lines))


def list_also(path, relative):
    """Adds relative, a file another program put into the report folder at path (by renaming a new
    file over the name), to the folder's list."""
    folder = ReportFolder(path)
    folder.files, folder.folders = folder.listed()
    folder.adopt(relative)
    folder.record()


def open_cleared(path):
    """A report folder at path with what the last run wrote there removed."""
    folder = ReportFolder(path)
    folder.clear_earlier()
    return folder
