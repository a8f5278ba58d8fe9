"""The logs a run reads while it goes on: new lines of growing files, and the tab-separated
name=value lines that the simulated device, the stand-ins and the robot write."""
import os


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
    anew: it is read from its start again."""

    def __init__(self, path):
        self.path = path
        self.offset = 0
        self.rest = b''

    def set_path(self, path):
        if path != self.path:
            self.path, self.offset, self.rest = path, 0, b''

    def read(self):
        if not self.path:
            return []
        try:
            size = os.path.getsize(self.path)
        except OSError:
            return []
        if size < self.offset:
            self.offset, self.rest = 0, b''
        if size == self.offset:
            return []
        with open(self.path, 'rb') as f:
            f.seek(self.offset)
            data = f.read(size - self.offset)
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
