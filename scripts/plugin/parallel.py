"""Plug-in runs side by side: each run mostly waits, so a few at once take a fraction of the time."""
import concurrent.futures

from . import stops

_NOT_STARTED = object()
_STOPPED = object()


def each_in_parallel(items, jobs, work, done):
    """Calls work(item) for every item, at most jobs at a time, and done(item, result) for each in
    the order they finish, one at a time on the caller's thread. After a stop (stops.py) no item
    starts any more, and an item whose work ended with stops.Stopped has no done(): returns the
    items that were not started (none when all ran). Any other exception of work comes out of this
    call once the runs already started have ended."""
    items = list(items)
    not_started = []

    def guarded(item):
        if stops.requested():
            return _NOT_STARTED
        try:
            return work(item)
        except stops.Stopped:
            return _STOPPED

    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, min(jobs, len(items) or 1))) as pool:
        started = {pool.submit(guarded, item): item for item in items}
        for finished in concurrent.futures.as_completed(started):
            result = finished.result()
            if result is _NOT_STARTED:
                not_started.append(started[finished])
            elif result is not _STOPPED:
                done(started[finished], result)
    order = {id(item): number for number, item in enumerate(items)}
    return sorted(not_started, key=lambda item: order[id(item)])
