"""Stops (scripts/plugin/stops.py, parallel.py): after SIGINT, SIGTERM or SIGHUP nothing new starts,
what was registered is killed or unmounted, and a command that runs programs in sandboxes side by
side ends within seconds with every one of them gone and the shell's exit code."""
import os
import signal
import subprocess
import sys
import tempfile
import textwrap
import threading
import time
import unittest

from plugin import parallel, sandbox, stops
from test_sandbox import HAVE_BWRAP, host_processes_with, wait_until_gone

SCRIPTS = os.path.dirname(os.path.dirname(os.path.abspath(parallel.__file__)))


class Killable:
    def __init__(self):
        self.killed = 0

    def kill(self):
        self.killed += 1


class StopTests(unittest.TestCase):
    def tearDown(self):
        stops.reset()

    def test_after_a_stop_no_queued_item_starts_and_the_running_ones_end_as_they_do(self):
        running = threading.Event()
        release = threading.Event()
        done = []

        def work(item):
            if item == 'first':
                running.set()
                release.wait(10)
            return item.upper()

        def stop_once_running():
            running.wait(10)
            stops.request(signal.SIGINT)
            release.set()
        threading.Thread(target=stop_once_running).start()
        not_started = parallel.each_in_parallel(['first', 'second', 'third', 'fourth'], 1, work,
                                                lambda item, result: done.append((item, result)))
        self.assertEqual(done, [('first', 'FIRST')])
        self.assertEqual(not_started, ['second', 'third', 'fourth'])

    def test_without_a_stop_every_item_runs(self):
        done = []
        self.assertEqual(parallel.each_in_parallel(range(5), 2, lambda i: i * i, lambda i, r: done.append(r)), [])
        self.assertEqual(sorted(done), [0, 1, 4, 9, 16])

    def test_what_is_registered_is_killed_at_the_stop_and_what_comes_after_it_at_once(self):
        before, after, gone = Killable(), Killable(), Killable()
        stops.register(before)
        stops.register(gone)
        stops.unregister(gone)
        stops.request(signal.SIGTERM)
        stops.register(after)
        self.assertEqual((before.killed, after.killed, gone.killed), (1, 1, 0))
        with self.assertRaises(stops.Stopped):
            stops.check()
        self.assertEqual(stops.reason(), 'stopped by SIGTERM')
        self.assertEqual(stops.exit_code(0), 128 + signal.SIGTERM)

    def test_the_first_signal_is_the_one_told(self):
        stops.request(signal.SIGHUP)
        stops.request(signal.SIGINT)
        self.assertEqual((stops.reason(), stops.exit_code(1)), ('stopped by SIGHUP', 129))

    def test_without_a_stop_the_exit_code_is_the_command_s(self):
        self.assertEqual(stops.exit_code(1), 1)
        stops.check()

    @unittest.skipUnless(os.geteuid() == 0, 'skipped: mounting a file system needs root')
    def test_a_mount_left_registered_is_unmounted_at_the_end(self):
        folder = tempfile.mkdtemp(prefix='stops-mount-')
        self.addCleanup(os.rmdir, folder)
        done = subprocess.run(['mount', '-t', 'tmpfs', '-o', 'size=1m', 'stops-test', folder])
        if done.returncode != 0:
            self.skipTest('skipped: the host refused to mount a tmpfs')
        stops.register_mount(folder)
        busy = open(os.path.join(folder, 'held'), 'w')  # still held: unmounted lazily
        self.addCleanup(busy.close)
        stops.request()
        stops.finish()
        self.assertFalse(os.path.ismount(folder))


# A command in miniature: programs in two sandboxes side by side (one of them leaving a child
# behind it), a third item queued; it says "waiting" when both programs run.
COMMAND = textwrap.dedent('''
    import os, sys, time
    sys.path.insert(0, %r)
    from plugin import parallel, sandbox, stops
    stops.install()
    folder = sys.argv[1]

    def say(text):
        # One write of the whole line: print() writes its words and the line's end apart, and the
        # lines of two threads could mix into one.
        sys.stdout.write(text + '\\n')
        sys.stdout.flush()

    def work(mark):
        box = sandbox.Sandbox([folder])
        try:
            box.run(['/bin/sh', '-c', '(/bin/sleep %%s1 </dev/null >/dev/null 2>&1 &); exit 0' %% mark], {})
            process = box.start(['/bin/sleep', mark], {})
            say('started ' + mark)
            process.wait()
            stops.check()
            return mark
        finally:
            box.end()

    not_started = parallel.each_in_parallel(['4747.5', '4848.5', '4949.5'], 2, work,
                                            lambda mark, result: say('done ' + mark))
    say('not started: ' + ' '.join(not_started))
    sys.exit(stops.exit_code(0))
''')


@unittest.skipUnless(HAVE_BWRAP, 'skipped: bubblewrap (%s) is not installed' % sandbox.BWRAP)
class StoppedCommandTests(unittest.TestCase):
    def run_and_stop(self, number):
        folder = tempfile.mkdtemp(prefix='stops-command-', dir='/var/tmp')
        self.addCleanup(os.rmdir, folder)
        command = subprocess.Popen([sys.executable, '-c', COMMAND % SCRIPTS, folder], stdout=subprocess.PIPE,
                                   stderr=subprocess.STDOUT)
        lines = []
        while len([line for line in lines if line.startswith('started')]) < 2:
            line = command.stdout.readline().decode()
            self.assertTrue(line, 'the command ended early: %s' % lines)
            lines.append(line)
        self.assertTrue(host_processes_with('sleep 4747.51'))
        sent = time.monotonic()
        command.send_signal(number)
        lines += command.stdout.read().decode().splitlines(True)
        code = command.wait(timeout=30)
        command.stdout.close()
        return code, time.monotonic() - sent, lines

    def test_each_signal_ends_the_command_its_programs_and_their_children_and_starts_nothing_queued(self):
        for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            with self.subTest(signal=stops.NAMES[number]):
                code, seconds, lines = self.run_and_stop(number)
                self.assertEqual(code, 128 + number, lines)
                self.assertLess(seconds, 10)
                self.assertIn('not started: 4949.5\n', lines)
                self.assertFalse([line for line in lines if line.startswith('done')], lines)
                for mark in ('4747.5', '4848.5', '4949.5'):
                    self.assertEqual(wait_until_gone('sleep ' + mark, 1), [])


if __name__ == '__main__':
    unittest.main()
