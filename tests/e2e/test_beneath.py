"""What the host reads and writes in a PC's prefix after the PC's programs ran there: a program of
an image can make symbolic links and FIFOs in its prefix (Wine does not stop it calling the
kernel), so each place the run reads or writes is tried with a link to a host canary, a folder
that is a link, and a FIFO: the canary is neither read nor changed, and nothing waits for ever.
The links and FIFOs are real; the prefix is a folder made here (no Wine)."""
import os
import tempfile
import threading
import unittest

from plugin import beneath, image, logs, snapshot
from plugin.run import PlugInRun, Settings
from plugin.wine import Prefix
from scratch import read, write

CANARY = 'WINE REGISTRY Version 2\n[Software\\\\Canary]\n"Secret"="the host\'s"\n'


def within(seconds, work):
    """work()'s result, or 'still waiting' when it has not returned within seconds."""
    outcome = ['still waiting']

    def call():
        try:
            outcome[0] = work()
        except Exception as e:  # what it raised is its outcome here
            outcome[0] = e
    thread = threading.Thread(target=call, daemon=True)
    thread.start()
    thread.join(seconds)
    return outcome[0]


class PlantedPrefix(unittest.TestCase):
    def setUp(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        self.host = os.path.join(folder.name, 'host')
        self.canary = os.path.join(self.host, 'canary.txt')
        write(self.canary, CANARY)
        self.prefix = Prefix(os.path.join(folder.name, 'run', 'prefix'), 'win32')
        self.sim = self.prefix.drive_c('plugstart_sim')
        os.makedirs(self.sim)
        write(os.path.join(self.prefix.path, 'system.reg'), 'WINE REGISTRY Version 2\n')
        self.fifos = []

    def tearDown(self):
        for fifo in self.fifos:  # a reader still waiting on a FIFO is let go
            try:
                os.close(os.open(fifo, os.O_WRONLY | os.O_NONBLOCK))
            except OSError:
                pass

    def plant(self, path, kind):
        if os.path.lexists(path):
            os.remove(path)
        if kind == 'link':
            os.symlink(self.canary, path)
        elif kind == 'fifo':
            os.mkfifo(path)
            self.fifos.append(path)

    def run_of(self):
        run = PlugInRun(Settings(run_dir=os.path.dirname(self.prefix.path), arch='win32', cache_dir=self.host))
        run.prefix = self.prefix
        return run

    def assert_canary_untouched(self, outcome):
        self.assertEqual(read(self.canary), CANARY)
        self.assertNotIn('Canary', repr(outcome))
        self.assertNotEqual(outcome, 'still waiting')

    def test_the_registry_snapshot_reads_no_planted_link_or_fifo(self):
        for kind in ('link', 'fifo'):
            with self.subTest(kind):
                self.plant(os.path.join(self.prefix.path, 'user.reg'), kind)
                outcome = within(5, lambda: snapshot.read_registry(self.prefix.path))
                self.assert_canary_untouched(outcome)
                self.assertIsInstance(outcome, beneath.Refused)
                self.assertFalse(self.run_of().service_registered())

    def test_the_stand_ins_script_and_the_device_state_are_written_in_place_of_a_link(self):
        run = self.run_of()
        self.plant(os.path.join(self.sim, 'programs.ini'), 'link')
        run.write_programs_script({'driver_setup': {'delay_ms': '0'}})
        self.assert_canary_untouched(read(os.path.join(self.sim, 'programs.ini')))
        self.assertIn('delay_ms=0', read(os.path.join(self.sim, 'programs.ini')))
        self.plant(os.path.join(self.sim, 'programs.ini'), 'link')
        run.write_programs_script({})
        self.assertFalse(os.path.lexists(os.path.join(self.sim, 'programs.ini')))
        cd = os.path.join(self.prefix.path, 'cdrom-r')
        os.makedirs(cd)
        self.plant(os.path.join(cd, 'plugstart_sim.ini'), 'link')
        image.write_device_state(cd, {'deny_direct': '1'}, root=self.prefix.path)
        self.assert_canary_untouched(read(os.path.join(cd, 'plugstart_sim.ini')))

    def test_nothing_is_written_or_removed_through_a_folder_that_is_a_link(self):
        os.rmdir(self.sim)
        os.symlink(self.host, self.sim)
        write(os.path.join(self.host, 'commands.log'), 'a host file of that name\n')
        run = self.run_of()
        outcome = within(5, lambda: run.write_programs_script({'driver_setup': {'delay_ms': '0'}}))
        self.assertIsInstance(outcome, beneath.Refused)
        self.assertFalse(os.path.exists(os.path.join(self.host, 'programs.ini')))
        within(5, run.unplug_files)
        self.assertEqual(read(os.path.join(self.host, 'commands.log')), 'a host file of that name\n')

    def test_the_logs_read_during_and_after_a_run_follow_no_link_and_wait_on_no_fifo(self):
        for kind in ('link', 'fifo'):
            with self.subTest(kind):
                log = os.path.join(self.sim, 'commands.log')
                self.plant(log, kind)
                tail = logs.LogTail(log, root=self.prefix.path)
                self.assert_canary_untouched(within(5, tail.read_rest))
                logs_dir = os.path.join(os.path.dirname(self.prefix.path), 'logs')
                run = self.run_of()
                self.assert_canary_untouched(within(5, run.copy_logs))
                self.assertFalse(os.path.exists(os.path.join(logs_dir, 'commands.log')))
                self.plant(os.path.join(self.sim, 'R.ini'), kind)
                self.assert_canary_untouched(within(5, lambda: run.device_state_of('R')))


class BeneathTests(unittest.TestCase):
    def test_a_file_is_read_and_written_beneath_its_folder_only(self):
        with tempfile.TemporaryDirectory() as folder:
            write(os.path.join(folder, 'pc', 'a', 'b.txt'), 'b')
            self.assertEqual(beneath.read_bytes(os.path.join(folder, 'pc'), os.path.join(folder, 'pc', 'a', 'b.txt'),
                                                offset=0), b'b')
            with self.assertRaises(FileNotFoundError):
                beneath.read_bytes(os.path.join(folder, 'pc'), os.path.join(folder, 'pc', 'a', 'none.txt'))
            with self.assertRaises(ValueError):
                beneath.read_bytes(os.path.join(folder, 'pc'), os.path.join(folder, 'elsewhere.txt'))
            beneath.write_new(os.path.join(folder, 'pc'), os.path.join(folder, 'pc', 'a', 'b.txt'), b'new')
            self.assertEqual(read(os.path.join(folder, 'pc', 'a', 'b.txt')), 'new')


if __name__ == '__main__':
    unittest.main()
