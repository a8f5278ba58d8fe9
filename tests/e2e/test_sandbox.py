"""The sandbox around a PC (scripts/plugin/sandbox.py), with plain host programs in place of Wine's:
what a program inside sees and may do, that the programs of one instance meet and two instances
do not, that an instance's end or kill takes every process of it along, and what is said when the
sandbox cannot be made. Needs bubblewrap; skipped with the reason where it is missing."""
import os
import shutil
import subprocess
import tempfile
import time
import unittest
import unittest.mock

from plugin import sandbox

HAVE_BWRAP = os.access(sandbox.BWRAP, os.X_OK)


def host_processes_with(text):
    """Host processes (not zombies) whose command line holds text."""
    found = []
    for name in os.listdir('/proc'):
        if not name.isdigit():
            continue
        try:
            with open('/proc/%s/cmdline' % name, 'rb') as f:
                command = f.read().replace(b'\0', b' ').decode('utf-8', 'replace')
            with open('/proc/%s/stat' % name) as f:
                state = f.read().rsplit(')', 1)[1].split()[0]
        except OSError:
            continue
        if text in command and state != 'Z' and int(name) != os.getpid():
            found.append(command)
    return found


def wait_until_gone(text, seconds=10):
    deadline = time.monotonic() + seconds
    while host_processes_with(text) and time.monotonic() < deadline:
        time.sleep(0.05)
    return host_processes_with(text)


@unittest.skipUnless(HAVE_BWRAP, 'skipped: bubblewrap (%s) is not installed' % sandbox.BWRAP)
class SandboxViewTests(unittest.TestCase):
    """One instance over a run folder, with a read-only tools folder beside it; a canary outside."""

    @classmethod
    def setUpClass(cls):
        # Not under /tmp, which the sandbox has of its own.
        cls.top = tempfile.mkdtemp(prefix='sandbox-test-', dir='/var/tmp')
        cls.run_dir = os.path.join(cls.top, 'run')
        cls.tools = os.path.join(cls.top, 'tools')
        cls.outside = os.path.join(cls.top, 'outside')
        for folder in (cls.run_dir, cls.tools, cls.outside):
            os.makedirs(folder)
        with open(os.path.join(cls.tools, 'tool.txt'), 'w') as f:
            f.write('a tool')
        cls.canary = os.path.join(cls.outside, 'canary.txt')
        with open(cls.canary, 'w') as f:
            f.write('secret')
        cls.host_tmp = tempfile.NamedTemporaryFile(prefix='sandbox-test-host-', dir='/tmp', delete=False)
        cls.host_tmp.close()
        cls.box = sandbox.Sandbox([cls.run_dir], [cls.tools])

    @classmethod
    def tearDownClass(cls):
        cls.box.end()
        os.remove(cls.host_tmp.name)
        shutil.rmtree(cls.top, ignore_errors=True)

    def sh(self, script, env=None):
        return self.box.run(['/bin/sh', '-c', script], env or {}, timeout=30)

    def test_the_run_folder_is_writable_and_what_is_written_there_is_the_host_s(self):
        code, output = self.sh('echo inside > %s/made.txt' % self.run_dir)
        self.assertEqual(code, 0, output)
        with open(os.path.join(self.run_dir, 'made.txt')) as f:
            self.assertEqual(f.read(), 'inside\n')

    def test_nothing_outside_the_bound_folders_is_there(self):
        for path in (self.canary, self.outside, os.path.expanduser('~'), self.host_tmp.name):
            code, output = self.sh('cat %s || ls %s' % (path, path))
            self.assertNotEqual(code, 0, '%s is visible: %s' % (path, output))
            self.assertNotIn('secret', output)

    def test_the_tools_are_read_only_and_so_is_everything_on_the_way(self):
        code, output = self.sh('cat %s/tool.txt' % self.tools)
        self.assertEqual((code, output), (0, 'a tool'))
        for path in (os.path.join(self.tools, 'new.txt'), os.path.join(self.tools, 'tool.txt'),
                     os.path.join(self.top, 'new.txt'), '/usr/new.txt', '/new.txt'):
            code, output = self.sh('echo x >> %s' % path)
            self.assertNotEqual(code, 0, 'wrote %s' % path)
        self.assertFalse(os.path.exists(os.path.join(self.tools, 'new.txt')))

    def test_tmp_is_its_own_and_the_programs_of_one_instance_share_it(self):
        code, output = self.sh('echo one > /tmp/shared.txt')
        self.assertEqual(code, 0, output)
        self.assertEqual(self.sh('cat /tmp/shared.txt'), (0, 'one\n'))
        self.assertFalse(os.path.exists('/tmp/shared.txt') and open('/tmp/shared.txt').read() == 'one\n')

    def test_the_kernel_s_settings_cannot_be_changed(self):
        # Opened for writing only, never written: on a failure nothing of the host changes.
        for path in ('/proc/sys/kernel/core_pattern', '/proc/sys/vm/swappiness'):
            code, output = self.box.run(['/usr/bin/python3', '-c', 'import os; os.close(os.open(%r, os.O_WRONLY | '
                                         'os.O_APPEND))' % path], {}, timeout=30)
            self.assertNotEqual(code, 0, '%s could be opened for writing' % path)
            self.assertIn('Read-only file system', output)

    def test_no_network_and_no_capability(self):
        code, output = self.sh('cat /sys/class/net/*/operstate 2>/dev/null; ls /sys/class/net 2>/dev/null; '
                               'grep CapEff /proc/self/status')
        self.assertIn('CapEff:\t0000000000000000', output)
        code, output = self.box.run(['/usr/bin/python3', '-c', 'import socket; '
                                     'socket.create_connection(("127.0.0.1", 22), timeout=3)'], {}, timeout=30)
        self.assertNotEqual(code, 0)
        self.assertIn('Error', output)

    def test_the_host_s_variables_stay_out_but_the_wine_and_locale_ones_pass(self):
        env = {'WINEPREFIX': '/p', 'LANG': 'de_DE.UTF-8', 'LC_ALL': 'C', 'DISPLAY': ':5', 'API_TOKEN': 'hush',
               'HOME': '/root', 'PATH': '/root/bin:/usr/bin'}
        code, output = self.sh('env', env)
        seen = dict(line.split('=', 1) for line in output.splitlines() if '=' in line)
        for name in ('WINEPREFIX', 'LANG', 'LC_ALL', 'DISPLAY'):
            self.assertEqual(seen.get(name), env[name])
        self.assertNotIn('API_TOKEN', seen)
        self.assertEqual((seen.get('HOME'), seen.get('PATH')), ('/tmp', sandbox.PATH))


@unittest.skipUnless(HAVE_BWRAP, 'skipped: bubblewrap (%s) is not installed' % sandbox.BWRAP)
class SandboxLifeTests(unittest.TestCase):
    def setUp(self):
        self.run_dir = tempfile.mkdtemp(prefix='sandbox-life-')
        self.box = sandbox.Sandbox([self.run_dir])
        self.addCleanup(shutil.rmtree, self.run_dir, True)
        self.addCleanup(self.box.end)

    def daemon(self, mark):
        """A program that leaves a child behind it (as Wine's server outlives the program that
        started it): its grandchild sleeps with mark as its argument."""
        code, output = self.box.run(['/bin/sh', '-c', '(/bin/sleep %s </dev/null >/dev/null 2>&1 &) ; exit 0' % mark],
                                    {}, timeout=30)
        self.assertEqual(code, 0, output)
        self.assertTrue(host_processes_with('sleep ' + mark), 'the daemon did not start')

    def test_an_ended_instance_takes_the_programs_that_outlived_their_parents_along(self):
        self.daemon('4141.5')
        self.box.end()
        self.assertFalse(self.box.running())
        self.assertEqual(wait_until_gone('sleep 4141.5'), [])

    def test_a_killed_instance_takes_every_program_along_and_a_waiter_learns_it(self):
        self.daemon('4242.5')
        waiting = self.box.start(['/bin/sleep', '4343.5'], {})
        self.box.kill()
        self.assertEqual(waiting.wait(timeout=10), -9)
        self.assertEqual(wait_until_gone('sleep 4242.5') + wait_until_gone('sleep 4343.5'), [])

    def test_the_next_program_after_an_end_gets_a_new_instance_with_a_new_tmp(self):
        self.box.run(['/bin/sh', '-c', 'echo one > /tmp/x'], {})
        self.box.end()
        self.assertEqual(self.box.run(['/bin/sh', '-c', 'cat /tmp/x || echo none'], {})[1].strip()[-4:], 'none')
        self.assertTrue(self.box.running())

    def test_two_instances_never_meet(self):
        other = sandbox.Sandbox([self.run_dir])
        self.addCleanup(other.end)
        self.box.run(['/bin/sh', '-c', 'echo mine > /tmp/x'], {})
        self.assertNotEqual(other.run(['/bin/cat', '/tmp/x'], {})[0], 0)

    def test_a_program_that_does_not_end_is_killed_at_the_time_out(self):
        started = time.monotonic()
        code, output = self.box.run(['/bin/sleep', '4444.5'], {}, timeout=1)
        self.assertEqual(code, -1)
        self.assertIn('timed out', output)
        self.assertLess(time.monotonic() - started, 5)
        self.assertEqual(wait_until_gone('sleep 4444.5'), [])

    def test_exit_codes_signals_and_descriptors_reach_the_run(self):
        in_read, in_write = os.pipe()
        out_read, out_write = os.pipe()
        process = self.box.start(['/bin/sh', '-c', 'read line; echo "got $line"; exit 3'], {},
                                 stdin=in_read, stdout=out_write)
        os.close(in_read)
        os.close(out_write)
        time.sleep(0.3)
        self.assertIsNone(process.poll())  # it waits for its input
        os.write(in_write, b'hello\n')
        os.close(in_write)
        self.assertEqual(process.wait(timeout=10), 3)
        with os.fdopen(out_read, 'rb') as f:
            self.assertEqual(f.read(), b'got hello\n')
        waiting = self.box.start(['/bin/sleep', '4545.5'], {})
        waiting.terminate()
        self.assertEqual(waiting.wait(timeout=10), -15)

    def test_a_program_that_cannot_be_started_is_an_error(self):
        with self.assertRaises(OSError):
            self.box.start(['/no/such/program'], {})


class SandboxUnavailableTests(unittest.TestCase):
    def test_a_host_without_bubblewrap_is_told_so(self):
        with unittest.mock.patch.object(sandbox, 'BWRAP', '/no/such/bwrap'):
            problem = sandbox.probe(tempfile.gettempdir())
        self.assertIn('bubblewrap (/no/such/bwrap) is not installed', problem)

    @unittest.skipUnless(HAVE_BWRAP, 'skipped: bubblewrap is not installed')
    def test_a_sandbox_that_bubblewrap_refuses_says_what_bubblewrap_said(self):
        with unittest.mock.patch.object(sandbox, 'ETC_FILES', ('no-such-file',)), \
                unittest.mock.patch.object(sandbox, 'bwrap_arguments',
                                           lambda *a: [sandbox.BWRAP, '--bind', '/no/such/folder', '/x', '--', 'true']):
            problem = sandbox.probe(tempfile.gettempdir())
        self.assertIn('the sandbox did not start', problem)
        self.assertIn('/no/such/folder', problem)

    def test_the_display_socket_of_a_local_display_only(self):
        self.assertEqual(sandbox.display_socket(':7'), '/tmp/.X11-unix/X7')
        self.assertEqual(sandbox.display_socket(':7.0'), '/tmp/.X11-unix/X7')
        self.assertIsNone(sandbox.display_socket('localhost:10.0'))
        self.assertIsNone(sandbox.display_socket(None))


if __name__ == '__main__':
    unittest.main()
