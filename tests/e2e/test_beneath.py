"""What the host reads and writes in a PC's prefix after the PC's programs ran there: a program of
an image can make symbolic links and FIFOs in its prefix (Wine does not stop it calling the
kernel), so each place the run reads or writes is tried with a link to a host canary, a folder
that is a link, and a FIFO: the canary is neither read nor changed, and nothing waits for ever.
The links and FIFOs are real; the prefix is a folder made here (no Wine)."""
import os
import shutil
import tempfile
import threading
import types
import unittest

from plugin import beneath, faults, image, logs, result, snapshot
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

    def test_the_file_snapshot_walks_no_drive_c_that_is_a_link(self):
        drive_c = self.prefix.drive_c()
        shutil.rmtree(drive_c)
        os.symlink(self.host, drive_c)
        outcome = within(5, lambda: snapshot.read_files(drive_c))
        self.assertIsInstance(outcome, beneath.Refused)
        self.assertNotIn('canary', repr(outcome))

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


class FaultFiles(PlantedPrefix):
    """What a fault writes into the PC while and after its programs ran (a fault's run may plug in
    any image: --fault with --image)."""

    def fault_run(self):
        run = self.run_of()
        cd = os.path.join(self.prefix.path, 'cdrom-r')
        os.makedirs(cd, exist_ok=True)
        write(os.path.join(cd, 'plugstart_sim.ini'), '[device]\nmode=cdrom\n')
        dosdevices = os.path.join(self.prefix.path, 'dosdevices')
        os.makedirs(dosdevices, exist_ok=True)
        for letter, target in (('r:', cd), ('c:', '../drive_c')):
            if not os.path.lexists(os.path.join(dosdevices, letter)):
                os.symlink(target, os.path.join(dosdevices, letter))
        run.images = {'R': types.SimpleNamespace(folder=cd)}
        return run

    def test_the_release_and_stop_files_take_the_place_of_a_planted_link(self):
        run = self.fault_run()
        for name, write_it in (('fault-release', lambda: faults.Fault().release(run)),
                               ('fault-stop', lambda: self.let_go(run))):
            with self.subTest(name):
                path = os.path.join(self.sim, name)
                self.plant(path, 'link')
                self.assert_canary_untouched(within(5, write_it))
                self.assertFalse(os.path.islink(path))
                self.assertTrue(os.path.isfile(path))

    def test_drive_c_of_a_fault_is_the_pcs_own_even_when_its_drive_letter_names_a_host_folder(self):
        run = self.fault_run()
        os.remove(os.path.join(self.prefix.path, 'dosdevices', 'c:'))
        os.symlink(self.host, os.path.join(self.prefix.path, 'dosdevices', 'c:'))
        within(5, lambda: faults.Fault().release(run))
        within(5, lambda: self.let_go(run))
        self.assertEqual(os.listdir(self.host), ['canary.txt'])
        self.assertEqual(sorted(os.listdir(self.sim)), ['fault-release', 'fault-stop'])

    @staticmethod
    def let_go(run):
        held = faults.make('staging-file-locked')
        held.popen = types.SimpleNamespace(wait=lambda timeout: 0, poll=lambda: 0)
        held.let_go(run)

    def test_the_unplug_writes_the_device_state_in_place_of_a_link_and_waits_on_no_fifo(self):
        for kind in ('link', 'fifo'):
            with self.subTest(kind):
                run = self.fault_run()
                self.plant(os.path.join(self.sim, 'R.ini'), kind)
                self.assert_canary_untouched(within(5, lambda: faults.make('unplug-in-driver-setup').unplug(run)))
                self.assertIn('fail = -1', read(os.path.join(self.sim, 'R.ini')).replace('fail=-1', 'fail = -1'))
                self.assertFalse(os.path.lexists(os.path.join(self.prefix.path, 'dosdevices', 'r:')))

    def test_the_drive_is_taken_away_and_given_back_only_in_the_pcs_own_folder(self):
        run = self.fault_run()
        # The PC's folder of drive letters is a link to a host folder with a file named r:.
        shutil.rmtree(os.path.join(self.prefix.path, 'dosdevices'))
        os.symlink(self.host, os.path.join(self.prefix.path, 'dosdevices'))
        write(os.path.join(self.host, 'r:'), 'a host file of that name\n')
        fault = faults.make('unplug-in-driver-setup')
        within(5, lambda: fault.unplug(run))
        within(5, lambda: fault.clear(run))
        self.assertEqual(read(os.path.join(self.host, 'r:')), 'a host file of that name\n')
        self.assertEqual(sorted(os.listdir(self.host)), ['canary.txt', 'r:'])

    def test_the_users_files_are_read_back_without_following_a_link_or_waiting_on_a_fifo(self):
        folder = os.path.join(self.prefix.drive_c('users', 'root', 'Documents', 'Modem notes'))
        for kind in ('link', 'fifo'):
            with self.subTest(kind):
                # The user's file holds what the canary holds: read through a link, it would seem unchanged.
                users = faults.UsersFiles(folder, {'notes.txt': CANARY}, root=self.prefix.path)
                users.write()
                self.plant(os.path.join(folder, 'notes.txt'), kind)
                outcome = within(5, users.problems)
                self.assertEqual(outcome, ['notes.txt is no longer a file (%s)' % (
                    'a symbolic link' if kind == 'link' else 'not a regular file')])
                self.assertEqual(read(self.canary), CANARY)

    def test_a_users_folder_made_a_link_is_said_so_and_no_host_file_is_named(self):
        folder = os.path.join(self.prefix.drive_c('users', 'root', 'Documents', 'Modem notes'))
        users = faults.UsersFiles(folder, {'notes.txt': 'the user\'s own'}, root=self.prefix.path)
        users.write()
        shutil.rmtree(folder)
        os.symlink(self.host, folder)
        outcome = within(5, users.problems)
        self.assertEqual(outcome, ['the folder of the user\'s files is no longer a folder (a link?)',
                                   'notes.txt is gone'])
        self.assertNotIn('canary', repr(outcome))


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


class StagingListing(PlantedPrefix):
    """The staging folder's files in the report: the folder is named by a process's command line,
    which any program of the PC can choose, and every folder on the way is the PC's to replace."""

    def run_with_copy_in(self, windows_folder):
        run = self.run_of()
        command = '"%s\\Plugstart.exe" -l R' % windows_folder
        run.launch = types.SimpleNamespace(processes={'312': {'name': 'Plugstart.exe', 'command': command}})
        return run

    def test_the_pcs_own_staging_folder_is_listed(self):
        staging = self.prefix.drive_c('users', 'root', 'Templates', 'R')
        write(os.path.join(staging, 'Plugstart.exe'), 'MZ')
        write(os.path.join(staging, 'tools', 'lang.opt'), 'x')
        listed = result.staging_of(self.run_with_copy_in('C:\\users\\root\\Templates\\R'))
        self.assertEqual(listed['files'], ['Plugstart.exe', os.path.join('tools', 'lang.opt')])

    def test_no_host_folder_is_listed_through_a_link_on_the_way_or_another_drive_letter(self):
        templates = self.prefix.drive_c('users', 'root', 'Templates')
        os.makedirs(os.path.dirname(templates))
        os.symlink(self.host, templates)  # the folder on the way: a link to the host
        dosdevices = os.path.join(self.prefix.path, 'dosdevices')
        os.makedirs(dosdevices)
        os.symlink(self.host, os.path.join(dosdevices, 'q:'))  # a drive letter the PC pointed at the host
        os.symlink('/', os.path.join(dosdevices, 'z:'))
        for folder in ('C:\\users\\root\\Templates', 'C:\\users\\root\\Templates\\', 'Q:\\', 'Z:\\proc\\self'):
            with self.subTest(folder):
                listed = within(5, lambda: result.staging_of(self.run_with_copy_in(folder)))
                self.assertNotEqual(listed, 'still waiting')
                self.assertEqual(listed['files'], [])
                self.assertIn('not listed', listed.get('unlisted', ''))

    def test_a_link_in_the_staging_folder_is_listed_by_name_not_followed(self):
        staging = self.prefix.drive_c('users', 'root', 'Templates', 'R')
        write(os.path.join(staging, 'Plugstart.exe'), 'MZ')
        os.symlink(self.host, os.path.join(staging, 'tools'))
        self.plant(os.path.join(staging, 'config.ini'), 'fifo')
        listed = within(5, lambda: result.staging_of(self.run_with_copy_in('C:\\users\\root\\Templates\\R')))
        self.assertEqual(listed['files'], ['Plugstart.exe', 'config.ini', 'tools'])

    def test_a_staging_folder_too_wide_or_too_deep_is_listed_in_part_and_said_so(self):
        staging = self.prefix.drive_c('users', 'root', 'Templates', 'R')
        for number in range(5):
            write(os.path.join(staging, 'file%d' % number), '')
        names, complete = beneath.files_below(self.prefix.path, staging, limit=3)
        self.assertEqual((len(names), complete), (3, False))
        self.assertLess(set(names), {'file%d' % number for number in range(5)})
        deep = os.path.join(staging, *['d'] * 40)
        write(os.path.join(deep, 'bottom'), '')
        names, complete = beneath.files_below(self.prefix.path, staging)
        self.assertFalse(complete)
        self.assertEqual(len(names), 5)
        listed = result.staging_of(self.run_with_copy_in('C:\\users\\root\\Templates\\R'))
        self.assertIn('the rest is not listed', listed['unlisted'])
