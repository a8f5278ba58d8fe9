"""The output of a program run to its end, read from the pipe it writes to. Wine's system programs
(its server, services and desktop) inherit the output of the program that started them and
outlive it, so the pipe's end of file may come long after the program ended, or never: its
output is what it wrote by the time it ended, and the reading stops when the pipe holds no more."""
import os
import select
import time

POLL_SECONDS = 0.02
# After the program's end, what the pipe still holds is read for this long at most.
DRAIN_SECONDS = 1.0
# Bytes of a program's output kept (the first ones; the rest is read and dropped).
MOST_KEPT = 1 << 20


def run_to_end(start, timeout):
    """Starts a program with start(fd), which gives it fd as its output and errors and returns the
    process, and reads that output to the program's end: (process, exit code or None at the
    time-out, the output as text)."""
    read_end, write_end = os.pipe()
    try:
        process = start(write_end)
    except BaseException:
        os.close(read_end)
        raise
    finally:
        os.close(write_end)
    code, output = read_until_ended(read_end, process, timeout)
    return process, code, output.decode('utf-8', 'replace')


def read_until_ended(fd, process, timeout):
    """Reads fd while process (with poll() and kill()) runs, then what the pipe still holds, for
    DRAIN_SECONDS at most (a program left behind may write on without end). Returns (exit code,
    output bytes: the first MOST_KEPT); (None, output so far) at the time-out, the program killed.
    Closes fd."""
    output = bytearray()
    deadline = time.monotonic() + timeout
    drained_by = None  # once the program has ended: when the reading stops at the latest
    try:
        while True:
            now = time.monotonic()
            if drained_by is None and process.poll() is not None:
                drained_by = now + DRAIN_SECONDS
            ended = drained_by is not None
            if ended and now > drained_by:
                break
            if not ended and now > deadline:
                process.kill()
                return None, bytes(output)
            if select.select([fd], [], [], 0 if ended else POLL_SECONDS)[0]:
                chunk = os.read(fd, 1 << 16)
                if chunk:
                    output += chunk[:max(0, MOST_KEPT - len(output))]
                    continue
                if ended:
                    break
                # The end of file before the program's end: nothing more can come; wait for the end.
                return _wait(process, deadline), bytes(output)
            if ended:
                break
        return process.poll(), bytes(output)
    finally:
        os.close(fd)


def _wait(process, deadline):
    while process.poll() is None:
        if time.monotonic() > deadline:
            process.kill()
            return None
        time.sleep(POLL_SECONDS)
    return process.poll()
