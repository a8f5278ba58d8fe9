"""Where a plug-in run's time goes: each phase (the display, the PC's files, Wine's start, the
robot, the program's job, the wait for the end, the snapshots, the report) with its start and
length, and the moments between them (the program started, its last program ended), on the
host's wall clock so that a benchmark outside the run can set them against its own start.

A run writes them to the file named by PLUGSTART_PHASES when that is set (scripts/bench.sh
--plugin reads them); nothing else of the run depends on them."""
import contextlib
import json
import os
import threading
import time

VARIABLE = 'PLUGSTART_PHASES'


class PhaseClock:
    """The phases and moments of one run. Phases may repeat (a fault's second plug-in) and may run
    beside each other (threads): each is kept with its own start."""

    def __init__(self, started=None):
        self.started = time.time() if started is None else started
        self.phases = []      # {'name', 'start' (seconds since started), 'seconds'}
        self.moments = {}     # name -> seconds since started (the first time it was marked)
        self.lock = threading.Lock()

    @contextlib.contextmanager
    def phase(self, name):
        begun = time.time()
        try:
            yield
        finally:
            self.add(name, begun, time.time())

    def add(self, name, begun, ended):
        """A phase measured elsewhere: from begun to ended (wall-clock seconds)."""
        with self.lock:
            self.phases.append({'name': name, 'start': round(begun - self.started, 4),
                                'seconds': round(max(0.0, ended - begun), 4)})

    def mark(self, name, moment=None):
        """A moment of the run (now, or the wall-clock moment given); the first mark of a name stays."""
        moment = time.time() if moment is None else moment
        with self.lock:
            self.moments.setdefault(name, round(moment - self.started, 4))

    def total(self, name):
        return sum(p['seconds'] for p in self.phases if p['name'] == name)

    def data(self):
        with self.lock:
            return {'started': self.started, 'phases': list(self.phases), 'moments': dict(self.moments)}


def write(clock, path=None):
    """Writes the clock's data to path (default: the file PLUGSTART_PHASES names; nothing when
    neither is given). Written anew beside and renamed over, so that a reader never sees half."""
    path = path or os.environ.get(VARIABLE)
    if not path:
        return None
    partial = path + '.partial'
    with open(partial, 'w', encoding='utf-8') as f:
        json.dump(clock.data(), f, indent=1)
    os.replace(partial, path)
    return path
