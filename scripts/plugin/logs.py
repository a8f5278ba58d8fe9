"""The logs a run reads while it goes on: new lines of growing files (the simulated device's and
the stand-ins' logs, the trace), the lines of a pipe (the robot's events), and the tab-separated
name=value lines that the simulated device, the stand-ins and the robot write."""
import os
import threading

from . import beneath


def parse_fields(line):
    """{name: value} of a tab-separated line of name=value fields (a field without = is skipped)."""
    fields = {}
    for part in line.rstrip('\r\n').split('\t'):
        if '=' in part:
            name, value = part.split('=', 1)
            fields[name] = value
    return fields


class LogTail:
    """The complete lines added to a file since the last read. A file that shrinks was written
    anew: it is read from its start again. root: the folder of a PC the file lies in, which the
    PC's programs write (no link is followed there and no FIFO read; see beneath.py); by default
    the file's own folder."""

    def __init__(self, path, root=None):
        self.path = path
        self.root = root
        self.offset = 0
        self.rest = b''

    def set_path(self, path):
        if path != self.path:
            self.path, self.offset, self.rest = path, 0, b''

    def read(self):
        if not self.path:
            return []
        root = self.root or os.path.dirname(os.path.abspath(self.path))
        size = beneath.size_of(root, self.path)
        if size is None:
            return []
        if size < self.offset:
            self.offset, self.rest = 0, b''
        if size == self.offset:
            return []
        try:
            data = beneath.read_bytes(root, self.path, self.offset, size - self.offset)
        except OSError:
            return []
        self.offset += len(data)
        data = self.rest + data
        lines = data.split(b'\n')
        self.rest = lines.pop()
        return [line.rstrip(b'\r').decode('utf-8', 'replace') for line in lines]

    def read_rest(self):
        """Every line still unread, the last one also without its line end."""
        lines = self.read()
        if self.rest:
            lines.append(self.rest.rstrip(b'\r').decode('utf-8', 'replace'))
            self.rest = b''
        return lines


class PipeLines:
    """The lines of a pipe or socket that a program writes (the robot's standard output), read on a thread
    of their own as they come; read() hands over the complete lines that came since the last call.
    Every line is kept for the run's own copy (lines())."""

    def __init__(self, fd):
        self.fd = fd
        self.lock = threading.Lock()
        self.new = []
        self.seen = []
        self.ended = threading.Event()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _take(self, raw):
        line = raw.rstrip(b'\r').decode('utf-8', 'replace')
        with self.lock:
            self.new.append(line)
            self.seen.append(line)

    def _read(self):
        pending = b''
        try:
            while True:
                chunk = os.read(self.fd, 1 << 16)
                if not chunk:
                    break
                pending += chunk
                *complete, pending = pending.split(b'\n')
                for raw in complete:
                    self._take(raw)
        except OSError:
            pass
        finally:
            if pending:
                self._take(pending)
            os.close(self.fd)
            self.ended.set()

    def read(self):
        with self.lock:
            lines, self.new = self.new, []
        return lines

    def read_rest(self, timeout=5.0):
        """Every line still unread, once the writer has closed the pipe (at most timeout seconds)."""
        self.ended.wait(timeout)
        return self.read()

    def lines(self):
        with self.lock:
            return list(self.seen)
