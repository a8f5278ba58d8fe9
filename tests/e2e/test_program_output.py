"""What a run reads of a program it runs to its end, and what Wine's first program of a PC is given,
with host shell scripts in place of Wine's loader: programs left behind that hold the output
(as Wine's server and services do) neither hold the run up nor cut the output short, and the
first program, whose output they inherit, is given none of the run's pipes. In the sandbox and
without it; the sandbox's cases are skipped with the reason where bubblewrap is missing."""
import os
import shutil
import subprocess
import tempfile
import threading
import unittest

from plugin import program_output, sandbox, wine

HAVE_BWRAP = os.access(sandbox.BWRAP, os.X_OK)
BIG = 300000  # bytes of output: several times a pipe's buffer


class ScriptPrefix(wine.Prefix):
    """A prefix whose loader is a shell script: run(['x']) runs the script with 'x' as its argument."""

    def __init__(self, path, script, sandbox_=None):
        super().__init__(path, 'win32', sandbox=sandbox_)
        self.script = script

    def loader(self):
        return self.script


def still_running(mark):
    for name in os.listdir('/proc'):
        try:
            with open('/proc/%s/cmdline' % name, 'rb') as f:
                if ('sleep ' + mark).encode() in f.read().replace(b'\0', b' '):
                    return True
        except OSError:
            continue
    return False


class OutputCases:
    """The cases, for a prefix made by make_prefix (with or without the sandbox)."""

    def setUp(self):
        # Not under /tmp, which the sandbox has of its own.
        self.top = tempfile.mkdtemp(prefix='program-output-', dir='/var/tmp')
        self.addCleanup(shutil.rmtree, self.top, True)
        self.script = os.path.join(self.top, 'loader.sh')
        with open(self.script, 'w') as f:
            # Writes where its output goes, then BIG bytes and a last line, and leaves a program
            # behind (sleeping for its argument's seconds) that holds its output, as Wine's server
            # does.
            f.write('#!/bin/sh\n'
                    'output=$(readlink /proc/$$/fd/1); echo "$output" > "%s/output-of-first.txt"\n'
                    'head -c %d /dev/zero | tr "\\0" x\n'
                    'echo; echo last line\n'
                    '/bin/sleep "$1" &\n'
                    # (on until the program left behind is sleep, not the shell's copy before it)
                    'while [ -e /proc/$! ] && [ "$(cat /proc/$!/comm 2>/dev/null)" != sleep ]; do :; done\n'
                    'exit 5\n' % (self.top, BIG))
        os.chmod(self.script, 0o755)
        self.mark = '4646.%d' % os.getpid()
        self.prefix = self.make_prefix()
        self.addCleanup(self.end_programs)

    def end_programs(self):
        if self.prefix.sandbox:
            self.prefix.sandbox.end()
        subprocess.run(['pkill', '-f', 'sleep ' + self.mark])

    def test_a_program_that_leaves_a_holder_of_its_output_is_read_whole_at_its_end(self):
        code, output = self.prefix.run([self.mark], timeout=60)
        self.assertEqual(code, 5)
        self.assertEqual(output.count('x'), BIG)
        self.assertTrue(output.endswith('last line\n'), output[-100:])
        # The run did not wait for the program left behind.
        self.assertTrue(still_running(self.mark), 'the program left behind had ended before the run returned')

    def test_the_first_program_of_a_pc_gets_no_pipe_of_the_run(self):
        self.prefix.wake()
        with open(os.path.join(self.top, 'output-of-first.txt')) as f:
            self.assertEqual(f.read().strip(), '/dev/null')


class WithoutSandbox(OutputCases, unittest.TestCase):
    def make_prefix(self):
        return ScriptPrefix(os.path.join(self.top, 'prefix'), self.script)


@unittest.skipUnless(HAVE_BWRAP, 'skipped: bubblewrap (%s) is not installed' % sandbox.BWRAP)
class InSandbox(OutputCases, unittest.TestCase):
    def make_prefix(self):
        folder = os.path.join(self.top, 'prefix')
        return ScriptPrefix(folder, self.script, sandbox.Sandbox([folder, self.top]))


class TimeOut(unittest.TestCase):
    def test_a_program_that_does_not_end_is_killed_at_the_time_out_without_a_sandbox(self):
        prefix = ScriptPrefix('/var/tmp', '/bin/sleep')
        code, output = prefix.run(['5151.5'], timeout=1)
        self.assertEqual((code, output), (-1, 'timed out after 1 s'))
        self.assertFalse(still_running('5151.5'))


class Floods(unittest.TestCase):
    """A program of an image may write without end, or leave a program behind that does: the run
    still returns (at the time-out, or soon after the program's end), and keeps a bounded part."""

    def run_bounded(self, script, timeout):
        """(exit code, output) of the script run through a prefix, or a failure when the run does
        not return within a minute."""
        top = tempfile.mkdtemp(prefix='program-output-', dir='/var/tmp')
        self.addCleanup(shutil.rmtree, top, True)
        path = os.path.join(top, 'loader.sh')
        with open(path, 'w') as f:
            f.write('#!/bin/sh\n' + script)
        os.chmod(path, 0o755)
        result = []
        worker = threading.Thread(target=lambda: result.append(ScriptPrefix(top, path).run(['x'], timeout=timeout)),
                                  daemon=True)
        worker.start()
        worker.join(60)
        subprocess.run(['pkill', '-f', 'loader.sh'])
        subprocess.run(['pkill', '-f', 'yes 5252'])
        self.assertFalse(worker.is_alive(), 'the run did not return')
        return result[0]

    def test_a_program_that_writes_without_end_is_killed_at_the_time_out(self):
        code, output = self.run_bounded('exec yes 5252\n', timeout=2)
        self.assertEqual((code, output), (-1, 'timed out after 2 s'))

    def test_a_program_that_leaves_a_writer_without_end_behind_returns_at_its_end(self):
        code, output = self.run_bounded('echo first line\n(yes 5252 &)\nsleep 0.5\nexit 4\n', timeout=60)
        self.assertEqual(code, 4)
        self.assertTrue(output.startswith('first line\n'), output[:100])
        self.assertLessEqual(len(output), program_output.MOST_KEPT + len('first line\n'))


if __name__ == '__main__':
    unittest.main()
