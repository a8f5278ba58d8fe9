"""The PC matrix end to end (ctest plugin_matrix): scripts/run.sh --matrix's own code under Wine,
with a maker's image (the real device library, none of the installers its config.ini names) in
three cells. Without --stand-ins the clean PC of Windows 10 cannot get its driver: the cell is
marked, counted at the top, and the command fails. With --stand-ins the installed PCs of a 64-bit
Windows 7 (an administrator, a limited user) get what they should. Both pages show in headless
Chromium: every thumbnail decodes, every link to a cell's report resolves."""
import contextlib
import io
import json
import os
import shutil
import tempfile
import unittest
import uuid

from plugin import browser, cli

BUILD_DIR = os.environ.get('PLUGSTART_BUILD_DIR', '')
INSTALLERS = ('DriverSetup.exe', 'InternetKitSetup.exe', 'UninstallMSI.exe')


def run_matrix(arguments):
    """(exit code, terminal output, matrix.json) of scripts/run.sh --matrix with these arguments."""
    output = io.StringIO()
    with contextlib.redirect_stdout(output):
        code = cli.main(['--matrix', '--hold', '0'] + arguments)
    folder = arguments[arguments.index('--report-dir') + 1]
    with open(os.path.join(folder, 'matrix.json'), encoding='utf-8') as f:
        return code, output.getvalue(), json.load(f)


@unittest.skipUnless(os.path.isfile(os.path.join(BUILD_DIR, 'sim', 'PlugRobot.exe')),
                     'skipped: PLUGSTART_BUILD_DIR names no Windows build with the robot')
class PcMatrixTests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.environ['PLUGSTART_PRESET'] = os.path.basename(BUILD_DIR)
        cls.folder = tempfile.mkdtemp(prefix='pc-matrix-')
        cls.image = os.path.join(cls.folder, 'maker-image')
        shutil.copytree(os.path.join(BUILD_DIR, 'image'), cls.image)
        for name in INSTALLERS + ('plugstart_sim.ini',):
            os.remove(os.path.join(cls.image, name))
        shutil.copy(os.path.join(BUILD_DIR, 'bin', 'Devpoke.dll'), os.path.join(cls.image, 'Devpoke.dll'))
        # An image no earlier test has plugged in: its earlier runs are not in the build's cache yet.
        with open(os.path.join(cls.image, 'readme.txt'), 'w') as f:
            f.write('made for this test only: %s\n' % uuid.uuid4())
        cls.bare = run_matrix(['--image', cls.image, '--windows', '10', '--arch', '32', '--state', 'clean',
                               '--users', 'admin', '--report-dir', os.path.join(cls.folder, 'bare')])
        cls.stood_in = run_matrix(['--image', cls.image, '--stand-ins', '--windows', '7', '--arch', '64', '--state',
                                   'installed', '--report-dir', os.path.join(cls.folder, 'stand-ins')])
        # Another new image: on a host whose PCs are all 64-bit, the run above made its installed PC already.
        cls.second_image = os.path.join(cls.folder, 'second-image')
        shutil.copytree(cls.image, cls.second_image)
        with open(os.path.join(cls.second_image, 'readme.txt'), 'a') as f:
            f.write('the second image\n')
        cls.one_after_another = run_matrix(['--image', cls.second_image, '--stand-ins', '--windows', '7',
                                            '--arch', '32', '--state', 'clean,installed', '--jobs', '1',
                                            '--report-dir', os.path.join(cls.folder, 'clean-then-installed')])
        # The outdated PC's earlier administrator's run is in nobody's cache: its PC is started ahead for it.
        cls.outdated_after_clean = run_matrix(['--image', cls.second_image, '--stand-ins', '--windows', '7',
                                               '--arch', '32', '--state', 'clean,outdated-driver', '--users',
                                               'admin', '--jobs', '1',
                                               '--report-dir', os.path.join(cls.folder, 'clean-then-outdated')])

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def test_a_pc_left_without_its_driver_is_marked_counted_and_fails_the_command(self):
        code, output, data = self.bare
        self.assertEqual(code, 1, output)
        self.assertEqual(data['counts'], {'cells': 1, 'as_expected': 0, 'unexpected': 1, 'skipped': 0}, output)
        cell = data['cells'][0]
        self.assertEqual(cell['name'], 'win10-clean-admin')
        self.assertIn('the driver was not installed', cell['unexpected'])
        self.assertIn('the kit was not started', cell['unexpected'])
        self.assertTrue(any('lacks installers' in note and 'DriverSetup.exe' in note for note in data['notes']),
                        data['notes'])
        self.assertIn('UNEXPECTED win10-clean-admin: ', output)
        self.assertIn('1 cells: 0 as expected, 1 unexpected, 0 skipped', output.splitlines()[-1])

    def test_with_the_stand_ins_each_pc_gets_what_it_should(self):
        code, output, data = self.stood_in
        names = [c['name'] for c in data['cells']]
        wow64 = data['cells'][0]['cell']['bits'] == 64
        self.assertEqual(names, ['win7-64bit-installed-admin', 'win7-64bit-installed-limited'] if wow64 else
                         ['win7-installed-admin', 'win7-installed-limited'])
        skipped = [c for c in data['cells'] if c['outcome'] == 'skipped']
        if skipped:  # a host whose Wine cannot run 32-bit programs in a 64-bit prefix says so
            self.assertTrue(all('64-bit' in c['skipped'] for c in skipped), skipped)
            self.skipTest('skipped: %s' % skipped[0]['skipped'])
        self.assertEqual(code, 0, output)
        self.assertEqual(data['counts']['as_expected'], 2, output)
        admin, limited = data['cells']
        self.assertEqual((admin['installed'], admin['device'], admin['boxes']), ('nothing', 'modem', []))
        self.assertEqual((limited['installed'], limited['device']), ('nothing', 'cdrom (unchanged)'))
        self.assertEqual(len(limited['boxes']), 1)
        self.assertTrue(limited['boxes'][0].startswith('Administrator rights are needed'), limited['boxes'])
        self.assertTrue(any('stand-ins took their place' in note for note in data['notes']), data['notes'])
        self.assertRegex(output, r'\[1/2\] as expected .*; about .* left')

    def test_the_two_users_of_one_pc_share_one_earlier_administrators_run(self):
        _, output, data = self.stood_in
        reports = []
        for cell in data['cells']:
            with open(os.path.join(self.folder, 'stand-ins', cell['report'][:-5] + '.json'), encoding='utf-8') as f:
                reports.append(json.load(f))
        if any(r['outcome'] == 'skipped' for r in reports):
            self.skipTest('skipped: the cells were skipped (see the test above)')
        from_cache = [any('came from the build\'s cache' in note for note in r['notes']) for r in reports]
        self.assertEqual(sorted(from_cache), [False, True], output)
        made, taken = reports if from_cache[1] else reversed(reports)
        self.assertEqual(len(made['prepared_by']), 1)
        self.assertEqual(made['prepared_by'], taken['prepared_by'])
        self.assertEqual(made['prepared_by'][0]['outcome'], 'finished')

    def test_the_installed_pc_is_the_one_the_clean_pcs_administrator_left(self):
        code, output, data = self.one_after_another
        self.assertEqual(code, 0, output)
        reports = {}
        for cell in data['cells']:
            with open(os.path.join(self.folder, 'clean-then-installed', cell['report'][:-5] + '.json'),
                      encoding='utf-8') as f:
                reports[cell['name']] = json.load(f)
        clean, installed = reports['win7-clean-admin'], reports['win7-installed-admin']
        self.assertTrue(any('was kept in the build\'s cache' in note for note in clean['notes']), clean['notes'])
        self.assertTrue(any('came from the build\'s cache' in note for note in installed['notes']), installed['notes'])
        self.assertEqual(len(installed['prepared_by']), 1)
        earlier = installed['prepared_by'][0]
        self.assertIn('plug-in into the clean PC', earlier['label'])
        self.assertEqual(earlier['programs'], clean['run']['programs'])
        self.assertEqual(earlier['screenshots'], [])
        # Everything was there already: the installed PC's plug-in added nothing to the registry.
        self.assertEqual(installed['registry']['added'], [])

    def reports_of(self, folder, data):
        reports = {}
        for cell in data['cells']:
            with open(os.path.join(self.folder, folder, cell['report'][:-5] + '.json'), encoding='utf-8') as f:
                reports[cell['name']] = json.load(f)
        return reports

    def test_the_next_cells_pcs_are_started_while_the_cells_before_them_run(self):
        code, output, data = self.one_after_another
        self.assertEqual(code, 0, output)
        self.assertEqual(data['counts']['as_expected'], 4, output)
        notes = {name: ' '.join(report['notes']) for name, report in
                 self.reports_of('clean-then-installed', data).items()}
        readied = {name: 'robot watched it, while the runs before this one ran' in text for name, text in notes.items()}
        # One at a time: the clean administrator's cell starts first, every other one is readied
        # while the one before it runs.
        self.assertEqual(readied, {'win7-clean-admin': False, 'win7-installed-admin': True,
                                   'win7-clean-limited': True, 'win7-installed-limited': True})
        self.assertIn('3 of the 4 cells started had their PC made and started', ' '.join(data['notes']))
        # The installed PC's administrator's PC was started for its earlier run while the clean
        # PC's cell ran; that cell kept the PC its plug-in left at its end, so at his turn the
        # PC started ahead was set aside for that one (the test above: his report shows it).
        self.assertIn('(for the earlier administrator\'s run)', notes['win7-installed-admin'])
        self.assertIn('was set aside: by this run\'s turn the cache had the PC', notes['win7-installed-admin'])
        self.assertNotIn('set aside', notes['win7-installed-limited'])

    def test_an_earlier_run_not_in_the_cache_runs_in_the_pc_started_ahead_for_it(self):
        code, output, data = self.outdated_after_clean
        self.assertEqual(code, 0, output)
        self.assertEqual(data['counts']['as_expected'], 2, output)
        outdated = self.reports_of('clean-then-outdated', data)['win7-outdated-driver-admin']
        notes = ' '.join(outdated['notes'])
        self.assertIn('while the runs before this one ran', notes)
        self.assertIn('(for the earlier administrator\'s run)', notes)
        self.assertNotIn('set aside', notes)
        self.assertNotIn('came from the build\'s cache', notes)
        self.assertEqual([run['outcome'] for run in outdated['prepared_by']], ['finished'])
        self.assertIn('0.1.0.0', json.dumps(outdated['prepared_by'][0]['programs']))

    def test_both_pages_show_with_every_thumbnail_and_every_cell_s_report(self):
        for _, output, data in (self.bare, self.stood_in):
            folder = os.path.join(self.folder, 'bare' if len(data['cells']) == 1 else 'stand-ins')
            for cell in data['cells']:
                self.assertTrue(os.path.isfile(os.path.join(folder, cell['report'])), cell['report'])
            self.assertTrue(os.path.isfile(os.path.join(folder, 'matrix.png')), output)
            seen = browser.check_page(os.path.join(folder, 'matrix.html'), screenshot=False)
            self.assertEqual(seen.problems, [])
            thumbnails = [c for c in data['cells'] if c.get('thumbnail')]
            self.assertEqual(seen.pictures, len(thumbnails))
            self.assertGreaterEqual(seen.links, 2 * len(thumbnails) + len(data['cells']) - len(thumbnails))
            self.assertIn('pictures decoded', output)


if __name__ == '__main__':
    unittest.main()
