"""Stops end to end (ctest plugin_stops): a plug-in run with a fault's mount, the PC matrix, the
language sheet and the end-to-end suite, each started as its command and stopped by a signal while
it works. Each must end within 10 s with the shell's exit code (128 + the signal), leave no process
it started (its X servers, its sandboxes and every Wine process in them) and no mount it made,
start none of its queued cells, and say "stopped" in what it wrote."""
import json
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest

BUILD_DIR = os.environ.get('PLUGSTART_BUILD_DIR', '')
STOP_SECONDS = 10


def scripts_dir():
    import plugin
    return os.path.dirname(os.path.dirname(os.path.abspath(plugin.__file__)))


def children():
    """{pid: parent pid} of the host's processes (zombies left out)."""
    found = {}
    for name in os.listdir('/proc'):
        if not name.isdigit():
            continue
        try:
            with open('/proc/%s/stat' % name) as f:
                fields = f.read().rsplit(')', 1)[1].split()
        except OSError:
            continue
        if fields[0] != 'Z':
            found[int(name)] = int(fields[1])
    return found


def descendants(pid):
    parents = children()
    found, queue = set(), [pid]
    while queue:
        parent = queue.pop()
        for child, its_parent in parents.items():
            if its_parent == parent and child not in found:
                found.add(child)
                queue.append(child)
    return found


def fault_mounts():
    """The file systems a fault mounted in a run of scripts/run.sh of this build (its run folders,
    plugin-run...): the end-to-end suite, which ctest may run beside this test, mounts its faults'
    in folders of its own."""
    runs = os.path.join(os.path.abspath(BUILD_DIR), 'plugin-run')
    with open('/proc/mounts') as f:
        return [line.split()[1] for line in f
                if line.startswith('plugstart-fault ') and line.split()[1].startswith(runs)]


class Command:
    """A command started as a maker starts it, read line by line until it is time to stop it."""

    def __init__(self, argv):
        env = dict(os.environ, PYTHONPATH=scripts_dir(), PLUGSTART_PRESET=os.path.basename(BUILD_DIR))
        self.process = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env,
                                        cwd=os.path.dirname(scripts_dir()))
        self.lines = []

    def read_until(self, wanted, seconds=600):
        """Reads lines until one for which wanted(line, lines so far) holds."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            line = self.process.stdout.readline().decode('utf-8', 'replace')
            if not line:
                raise AssertionError('the command ended before its stop: %s' % ''.join(self.lines[-30:]))
            self.lines.append(line)
            if wanted(line, self.lines):
                return
        raise AssertionError('no moment to stop within %d s: %s' % (seconds, ''.join(self.lines[-30:])))

    def stop(self, number):
        """(exit code, seconds to end, processes it had started that are still there)."""
        started = descendants(self.process.pid)
        sent = time.monotonic()
        self.process.send_signal(number)
        rest = self.process.stdout.read()
        try:
            code = self.process.wait(timeout=60)
        finally:
            self.process.stdout.close()
        seconds = time.monotonic() - sent
        self.lines += rest.decode('utf-8', 'replace').splitlines(True)
        time.sleep(0.5)
        left = sorted(pid for pid in started if pid in children())
        return code, seconds, left

    def output(self):
        return ''.join(self.lines)


def cli(*arguments):
    return [sys.executable, '-m', 'plugin.cli'] + list(arguments)


@unittest.skipUnless(os.path.isfile(os.path.join(BUILD_DIR, 'sim', 'PlugRobot.exe')),
                     'skipped: PLUGSTART_BUILD_DIR names no Windows build with the robot')
class StopTests(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix='stops-')

    def tearDown(self):
        subprocess.run(['rm', '-rf', self.folder])

    def assert_stopped(self, command, number, result):
        code, seconds, left = result
        output = command.output()
        self.assertEqual(code, 128 + number, output[-3000:])
        self.assertLess(seconds, STOP_SECONDS, output[-3000:])
        self.assertEqual(left, [], 'processes the command started are still there')

    @unittest.skipUnless(os.geteuid() == 0, 'skipped: the fault mounts a file system, which needs root')
    def test_a_run_with_a_fault_s_mount_stopped_by_sigterm(self):
        before = fault_mounts()
        report_dir = os.path.join(self.folder, 'report')
        command = Command(cli('--fault', 'staging-disk-full', '--hold', '6000', '--no-screenshots',
                              '--report-dir', report_dir))
        # The second plug-in's driver setup holds: the mount is there, the PC busy.
        command.read_until(lambda line, lines: 'DriverSetup.exe start' in line
                           and any('the second plug-in' in seen for seen in lines))
        self.assertTrue(set(fault_mounts()) - set(before), 'the fault mounted nothing')
        self.assert_stopped(command, signal.SIGTERM, command.stop(signal.SIGTERM))
        self.assertEqual(fault_mounts(), before)
        with open(os.path.join(report_dir, 'report.json'), encoding='utf-8') as f:
            result = json.load(f)
        self.assertEqual((result['outcome'], result['stopped']), ('stopped', 'stopped by SIGTERM'))
        self.assertTrue(result['verdict'].startswith('Stopped by SIGTERM after '), result['verdict'])
        self.assertIn('outcome: stopped', command.output())

    def test_the_matrix_stopped_by_sigint_starts_no_queued_cell(self):
        page_dir = os.path.join(self.folder, 'matrix')
        command = Command(cli('--matrix', '--windows', 'xp,7,10', '--state', 'clean', '--users', 'admin',
                              '--arch', '32', '--jobs', '1', '--hold', '3000', '--no-screenshots',
                              '--report-dir', page_dir))
        command.read_until(lambda line, lines: line.startswith('[1/3]'))
        time.sleep(3)  # the second cell's PC at work
        self.assert_stopped(command, signal.SIGINT, command.stop(signal.SIGINT))
        with open(os.path.join(page_dir, 'matrix.json'), encoding='utf-8') as f:
            data = json.load(f)
        self.assertEqual(data['stopped'], 'stopped by SIGINT')
        self.assertEqual(data['not_started'], ['win10-clean-admin'])
        self.assertEqual([(c['name'], c['outcome']) for c in data['cells']],
                         [('winxp-clean-admin', 'finished'), ('win7-clean-admin', 'stopped')])
        self.assertIn('stopped by SIGINT, 1 not started', command.output())

    def test_the_language_sheet_stopped_by_sighup_measures_no_queued_language(self):
        sheet_dir = os.path.join(self.folder, 'sheet')
        command = Command(cli('--languages', 'eng,german,japan,french,italian', '--report-dir', sheet_dir))
        command.read_until(lambda line, lines: line.startswith('  ') and 'dialogs' in line)
        self.assert_stopped(command, signal.SIGHUP, command.stop(signal.SIGHUP))
        with open(os.path.join(sheet_dir, 'languages.json'), encoding='utf-8') as f:
            data = json.load(f)
        self.assertEqual(data['stopped'], 'stopped by SIGHUP')
        self.assertTrue(data['problems'][0].startswith('stopped by SIGHUP: '), data['problems'])
        self.assertLess(len(data['languages']), 5)

    def test_the_end_to_end_suite_stopped_by_sigint_runs_no_queued_case(self):
        command = Command([sys.executable, os.path.join(scripts_dir(), 'e2e.py'), '--build-dir', BUILD_DIR,
                           '--only', 'Windows xp', '--jobs', '1'])
        command.read_until(lambda line, lines: line.startswith(('PASS', 'FAIL')))
        time.sleep(3)
        self.assert_stopped(command, signal.SIGINT, command.stop(signal.SIGINT))
        self.assertRegex(command.output(), r'stopped by SIGINT: \d+ runs not started')


if __name__ == '__main__':
    unittest.main()
