"""The setups' hold as the run ends it: a setup that holds until its status is shown goes on
only once the run has photographed that status, only through the file the run scripted (the
stand-ins' log is the PC's own account), and no release outlives the device's unplug (process ids
come again when the PC starts anew). The prefix is a folder made here (no Wine, no display)."""
import os
import tempfile
import time
import unittest

from plugin import hold
from plugin.record import Launch
from plugin.run import PlugInRun, Settings
from plugin.wine import Prefix
from scratch import read, write


class HeldRun(unittest.TestCase):
    def setUp(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        self.prefix = Prefix(os.path.join(folder.name, 'run', 'prefix'), 'win32')
        self.sim = self.prefix.drive_c('plugstart_sim')
        os.makedirs(self.sim)
        self.outside = os.path.join(folder.name, 'outside.txt')
        write(self.outside, 'the user\'s')
        self.run = PlugInRun(Settings(run_dir=os.path.dirname(self.prefix.path), arch='win32', verbose=False,
                                      cache_dir=folder.name, programs=hold.hold_script(3000, until_shown=True)))
        self.run.prefix = self.prefix
        self.run.display = ':99'
        self.run.launch = Launch('the plug-in')
        self.run.launch.t0 = time.monotonic()
        self.shots = []
        self.run.take_shot = lambda reason: self.shots.append((reason, sorted(os.listdir(self.sim))))

    def line(self, pid, action, detail=''):
        self.run.on_stand_in({'program': 'DriverSetup.exe', 'pid': pid, 'action': action, 'detail': detail,
                              'command': 'DriverSetup.exe'})

    def shots_fall_due(self):
        self.run.launch.windows = {'1': {'process': 'Plugstart.exe'}}
        self.run._shot_queue = [(0.0, reason, shows) for _, reason, shows in self.run._shot_queue]
        self.run.due_shots()

    def test_a_held_setup_goes_on_after_its_status_is_photographed_and_not_after_an_unplug(self):
        self.line('316', 'start')
        self.line('316', 'holding', 'C:\\PLUGSTART_SIM\\Shown-316')
        self.run.due_shots()
        self.assertEqual(os.listdir(self.sim), [], 'released before its time')
        self.shots_fall_due()
        self.assertEqual(self.shots, [('DriverSetup.exe started', [])], 'released before the shot')
        self.assertEqual(os.listdir(self.sim), ['shown-316'])

        self.run.unplug_files()
        self.assertEqual(os.listdir(self.sim), [], 'a release outlived the unplug')

    def test_a_shot_that_shows_nothing_lets_the_setup_go_all_the_same(self):
        self.line('316', 'start')
        self.line('316', 'holding', 'C:\\plugstart_sim\\shown-316')
        self.run._shot_queue = [(0.0, reason, shows) for _, reason, shows in self.run._shot_queue]
        self.run.due_shots()  # no window of the program open: no shot
        self.assertEqual((self.shots, os.listdir(self.sim)), ([], ['shown-316']))

    def test_only_the_release_the_run_scripted_is_written(self):
        forged = [('316', 'C:\\plugstart_sim\\programs.ini'),    # another file of the run's
                  ('316', 'C:\\plugstart_sim\\shown-317'),       # another process's
                  ('316', 'C:\\Windows\\shown-316'),             # another folder
                  ('316', 'C:\\plugstart_sim\\..\\shown-316'),
                  ('..\\..\\x', 'C:\\plugstart_sim\\shown-..\\..\\x'),
                  ('', 'C:\\plugstart_sim\\shown-'),
                  ('1' * 11, 'C:\\plugstart_sim\\shown-' + '1' * 11)]
        for pid, detail in forged:
            self.line(pid, 'start')
            self.line(pid, 'holding', detail)
        self.shots_fall_due()
        self.assertEqual(os.listdir(self.sim), [])

    def test_a_link_planted_at_the_release_is_replaced_not_followed(self):
        os.symlink(self.outside, os.path.join(self.sim, 'shown-316'))
        self.line('316', 'start')
        self.line('316', 'holding', 'C:\\plugstart_sim\\shown-316')
        self.shots_fall_due()
        self.assertEqual(read(self.outside), 'the user\'s')
        self.assertFalse(os.path.islink(os.path.join(self.sim, 'shown-316')))


if __name__ == '__main__':
    unittest.main()
