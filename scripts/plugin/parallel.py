"""Plug-in runs side by side: each run mostly waits, so a few at once take a fraction of the time.

Even so the cores idle while the runs wait: meanwhile the items next in line can have a first part
of their work done ahead of their turn (a cell's PC made and started, its robot watching), so
that each goes on at once when a run ends (ready_ahead below)."""
import queue
import threading

from . import stops

_STOPPED = object()


class _Line:
    """The items in the order they start: the workers take them one by one, and a readier readies
    the ones next in line (once every worker has an item, at most one per worker ahead) and hands
    them over."""

    def __init__(self, count, jobs):
        self.count = count
        self.jobs = jobs
        self.changed = threading.Condition()
        self.taken = 0           # the items handed to a worker (the first taken ones)
        self.readying = None     # the item being readied (one at a time), until it is handed over
        self.readied = {}        # index -> what was readied for it, until taken
        self.closed = False      # no item is taken any more (the end, a stop or a failure)

    def take(self):
        """(index, what was readied for it or None) of the next item, or None when none is left
        to start. Waits for the item's readying when it is under way."""
        with self.changed:
            if self.closed or self.taken >= self.count or stops.requested():
                return None
            index = self.taken
            self.taken += 1
            self.changed.notify_all()
            while self.readying == index:
                self.changed.wait()
            return index, self.readied.pop(index, None)

    def next_to_ready(self):
        """The first item still to be taken and not readied yet, once every worker has an item
        and fewer items than workers wait readied (waits until then), or None when no item is
        taken any more."""
        with self.changed:
            while not self.closed and not stops.requested():
                index = max(self.taken, self.jobs)
                while index in self.readied:
                    index += 1
                if index >= self.count:
                    return None
                if index < self.taken + self.jobs:
                    self.readying = index
                    return index
                self.changed.wait()
            return None

    def hand_over(self, index, readied):
        """What was readied for index: kept for the worker that takes it; returned when nobody
        will (the line was closed meanwhile), for the readier to drop."""
        with self.changed:
            self.readying = None
            self.changed.notify_all()
            if self.closed or stops.requested():
                return readied
            self.readied[index] = readied
            return None

    def close(self):
        """No item is taken any more."""
        with self.changed:
            self.closed = True
            self.changed.notify_all()

    def left_over(self):
        """What was readied and never taken (once closed)."""
        with self.changed:
            left = [readied for readied in self.readied.values() if readied is not None]
            self.readied.clear()
            return left

    def wait_closed(self):
        with self.changed:
            while not self.closed:
                self.changed.wait()


def each_in_parallel(items, jobs, work, done, ready_ahead=None, drop=None):
    """Calls work(item) for every item, at most jobs at a time, in the items' order, and
    done(item, result) for each in the order they finish, one at a time on the caller's thread.

    ready_ahead(item): the part of an item's work that can be done before its turn. Once every
    worker has an item, one more thread readies the items next in line, one after another and at
    most one per worker ahead, and work(item, readied) gets what it returned (None: nothing was
    readied, or the readying failed: work does it all). What was readied for an item that never
    starts (a stop, a failure) goes to drop(readied). That thread lives until every item's work
    has ended: what it started (a sandbox dies with the thread that made it) must outlive the
    item's work.

    After a stop (stops.py) no item starts any more, and an item whose work ended with
    stops.Stopped has no done(): returns the items that were not started (none when all ran). Any
    other exception of work stops further items from starting and comes out of this call once the
    runs already started have ended."""
    items = list(items)
    line = _Line(len(items), max(1, min(jobs, len(items) or 1)))
    results = queue.Queue()
    failures = []

    def worker():
        while True:
            got = line.take()
            if got is None:
                break
            index, readied = got
            try:
                result = work(items[index], readied) if ready_ahead else work(items[index])
            except stops.Stopped:
                result = _STOPPED
            except Exception as e:  # raised on the caller's thread at the end
                failures.append(e)
                line.close()
                result = _STOPPED
            results.put((index, result))
        results.put(None)

    def readier():
        while True:
            index = line.next_to_ready()
            if index is None:
                break
            try:
                readied = ready_ahead(items[index])
            except Exception:  # readying is optional: the item's work does it all
                readied = None
            unwanted = line.hand_over(index, readied)
            if unwanted is not None and drop:
                drop(unwanted)
        line.wait_closed()

    workers = [threading.Thread(target=worker, daemon=True) for _ in range(line.jobs)]
    ahead = threading.Thread(target=readier, daemon=True) if ready_ahead else None
    for thread in workers + ([ahead] if ahead else []):
        thread.start()
    running = len(workers)
    try:
        while running:
            finished = results.get()
            if finished is None:
                running -= 1
            elif finished[1] is not _STOPPED:
                done(items[finished[0]], finished[1])
    finally:
        # (A done() that raises: nothing more starts, and what runs ends first.)
        line.close()
        for thread in workers:
            thread.join()
        for readied in line.left_over():
            if drop:
                drop(readied)
        if ahead:
            ahead.join()
    if failures:
        raise failures[0]
    return items[line.taken:]
