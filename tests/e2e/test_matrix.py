"""The PC matrix without Wine: what each PC should get, how a replayed run's outcome is judged
against it, the cells the options make, and the page written from the matrix's data."""
import json
import os
import re
import tempfile
import threading
import unittest
import unittest.mock

from plugin import expectation, matrix_page, options, pc_matrix, wine
from plugin.texts import ENGLISH
from test_report import CLEAN, QUICK, SETUP_FAILS, WARNING, box, answer, device, replayed

NON_ADMIN = ' '.join(ENGLISH['STR_STRING_NON_ADMIN_NOTI'].split())
DENIED = [device(0.2, 'F1 02 20 00 00 00', '-20'), box(0.3, 1, NON_ADMIN, '3003a'), answer(0.9, '3003a'),
          device(1.0, 'F1 01 01 00 00 00', '-20')]


def cell(windows='7', bits=32, state='clean', limited=False, fault=None):
    return {'windows': windows, 'bits': bits, 'state': state, 'limited': limited, 'fault': fault}


class ExpectationTests(unittest.TestCase):
    def test_a_limited_user_is_told_to_ask_an_administrator_except_where_the_service_serves_him(self):
        for windows, state, kit in (('7', 'clean', 1), ('10', 'installed', 0), ('xp', 'installed', 1)):
            expect = expectation.expected_outcome(cell(windows, state=state, limited=True), kit)
            self.assertEqual((expect.done, expect.boxes), ([set()], [expectation.NON_ADMIN]), (windows, state, kit))
        # XP with kit type 0: the command service of the earlier administrator's run switches the
        # device, on a PC with nothing to update; with something to update it may not.
        served = expectation.expected_outcome(cell('xp', state='clean', limited=True), 0)
        self.assertEqual((served.done, served.boxes), ([{'switched', 'launched'}], []))
        refused = expectation.expected_outcome(cell('xp', state='outdated-kit', limited=True), 0)
        self.assertEqual((refused.done, refused.boxes), ([set()], [expectation.SERVICE_NEEDS_CURRENT]))

    def test_an_administrator_gets_what_the_pc_lacks_and_64_bits_change_nothing(self):
        wants = {'clean': {'driver', 'kit', 'switched', 'launched'}, 'installed': {'switched', 'launched'},
                 'outdated-driver': {'driver', 'switched', 'launched'},
                 'outdated-kit': {'kit', 'switched', 'launched'}}
        for state, done in wants.items():
            for bits in (32, 64):
                expect = expectation.expected_outcome(cell('10', bits, state), 1)
                self.assertEqual((expect.done, expect.boxes), ([done], []), (state, bits))

    def test_the_pc_suite_is_not_installed_by_the_program_and_the_connection_manager_starts_nothing(self):
        self.assertEqual(expectation.expected_outcome(cell(state='clean'), 2).done, [{'driver', 'switched'}])
        self.assertEqual(expectation.expected_outcome(cell(state='installed'), 2).done, [{'switched', 'launched'}])
        self.assertEqual(expectation.expected_outcome(cell(state='clean'), 3).done, [{'driver', 'kit', 'switched'}])
        self.assertIsNone(expectation.expected_outcome(cell(state='outdated-kit'), 3))

    def test_a_fault_expects_its_row_and_a_second_plug_in_that_completes_the_job(self):
        expect = expectation.expected_outcome(cell('10', fault='driver-setup-fails'), 1)
        self.assertEqual(expect.done, [{'switched'}])
        self.assertEqual([text for text, _ in expect.boxes], [' '.join(WARNING.split())])
        self.assertIn({'driver', 'kit', 'switched', 'launched'}, expect.second.done)
        self.assertNotIn({'driver', 'kit'}, expect.second.done)


class DifferenceTests(unittest.TestCase):
    def test_the_run_that_does_what_its_pc_should_get_differs_in_nothing(self):
        self.assertEqual(expectation.differences(expectation.expected_outcome(cell(), 1), replayed(CLEAN)), [])
        self.assertEqual(expectation.differences(expectation.expected_outcome(cell(state='installed'), 1),
                                                 replayed(QUICK)), [])
        limited = expectation.expected_outcome(cell('10', limited=True), 1)
        self.assertEqual(expectation.differences(limited, replayed(DENIED, modes={'R': 'cdrom'})), [])

    def test_a_setup_on_a_pc_that_needed_none_is_named(self):
        problems = expectation.differences(expectation.expected_outcome(cell(state='installed'), 1), replayed(CLEAN))
        self.assertEqual(problems, ['a driver setup installed although this PC needed none',
                                    'a kit setup installed although this PC needed none'])

    def test_a_failed_setup_a_device_left_a_cd_and_a_box_nobody_expected(self):
        problems = expectation.differences(expectation.expected_outcome(cell(), 1),
                                           replayed(SETUP_FAILS, modes={'R': 'cdrom'}))
        self.assertIn('the driver was not installed', problems)
        self.assertIn('the device was left in CD mode', problems)
        self.assertTrue(any(p.startswith('a box "The device driver was not installed.') for p in problems), problems)

    def test_a_missing_expected_box_and_a_time_out_are_named(self):
        limited = expectation.expected_outcome(cell('7', limited=True), 1)
        quiet = replayed(DENIED[:1], modes={'R': 'cdrom'})
        self.assertEqual(expectation.differences(limited, quiet), ['the box "%s" was not shown' % expectation.short(
            NON_ADMIN)])
        stopped = replayed(CLEAN[:12], outcome='timed-out', timeout=60)
        self.assertEqual(expectation.differences(expectation.expected_outcome(cell(), 1), stopped)[0],
                         'no end within 1 min')

    def test_a_crash_of_the_program_is_named_whatever_was_expected_and_a_skipped_run_differs_in_nothing(self):
        crashed = replayed(CLEAN[:-3] + [CLEAN[-3][:2] + (dict(CLEAN[-3][2], code='c0000005'),)] + CLEAN[-2:])
        problems = expectation.differences(None, crashed)
        self.assertEqual(len(problems), 1)
        self.assertTrue(problems[0].startswith('Plugstart.exe ended with c0000005'), problems)
        self.assertEqual(expectation.differences(None, {'outcome': 'skipped', 'skipped': 'no wine64'}), [])

    def test_a_fault_whose_second_plug_in_did_not_complete_the_job_is_marked(self):
        expect = expectation.expected_outcome(cell(fault='driver-setup-fails'), 1)
        first = replayed(SETUP_FAILS)
        first['second_plugin'] = replayed(SETUP_FAILS)
        problems = expectation.differences(expect, first)
        self.assertEqual([p for p in problems if not p.startswith('the second plug-in: ')], [])
        self.assertIn('the second plug-in: the kit was not started', problems)


class CellTests(unittest.TestCase):
    def test_64_bit_cells_only_for_7_and_10_and_faults_on_a_clean_administrator_s_pc(self):
        cells = pc_matrix.make_cells(['xp', '10'], ['32', '64'], ['clean'], ['admin', 'limited'], ['post-ok'])
        self.assertEqual([pc_matrix.cell_name(c) for c in cells],
                         ['winxp-clean-admin', 'winxp-clean-limited', 'win10-clean-admin', 'win10-clean-limited',
                          'win10-64bit-clean-admin', 'win10-64bit-clean-limited', 'winxp-fault-post-ok',
                          'win10-fault-post-ok'])

    def test_lists_for_a_matrix_one_value_for_a_run(self):
        matrix = options.parse(['--matrix', '--windows', '10,xp', '--users', 'limited'])
        self.assertEqual((matrix.windows_list, matrix.users_list, matrix.arch_list),
                         (['xp', '10'], ['limited'], ['32', '64']))
        single = options.parse(['--windows', '10', '--arch', '64'])
        self.assertEqual((single.windows, single.arch, single.state), ('10', '64', 'clean'))
        for bad in (['--windows', 'xp,7'], ['--windows', '8'], ['--users', 'admin'], ['--matrix', '--state', 'dirty'],
                    ['--matrix', '--faults', 'no-such-fault'], ['--stand-ins']):
            with self.assertRaises(SystemExit, msg=bad):
                options.parse(bad)

    def test_missing_installers_are_found_by_the_names_config_ini_gives(self):
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, 'autorun.inf'), 'w') as f:
                f.write('[autorun]\r\nopen=bin\\Plugstart.exe\r\n')
            os.makedirs(os.path.join(folder, 'bin'))
            with open(os.path.join(folder, 'bin', 'config.ini'), 'w') as f:
                f.write('[DRIVER]\r\ndriver_name=Drv.exe\r\ndriver_type=QCT\r\n[ITK]\r\nitk_type=1\r\n'
                        'itk_setup=KitSetup.exe\r\n')
            open(os.path.join(folder, 'bin', 'kitsetup.EXE'), 'w').close()
            self.assertEqual(pc_matrix.missing_installers(folder), [('Drv.exe', 'SimDriverSetup.exe'),
                                                                     ('UninstallMSI.exe', 'SimQctRemover.exe')])
            self.assertEqual(pc_matrix.kit_type_of(folder), 1)


def page_row(name, unexpected=(), outcome='finished', thumbnail=True):
    return {'name': name, 'cell': cell(), 'expected': 'switched, kit started', 'outcome': outcome,
            'verdict': 'Switched R: to modem mode', 'skipped': 'no wine64' if outcome == 'skipped' else None,
            'boxes': ['Some <box> (answered OK)'], 'last_status': 'no window', 'installed': 'nothing',
            'device': 'modem', 'product_seconds': 1.5, 'seconds': 12.0, 'unexpected': list(unexpected),
            'report': name + '/report.html', 'thumbnail': name + '/thumbnail.png' if thumbnail else None,
            'reported_version': ''}


class PageTests(unittest.TestCase):
    def test_marked_cells_are_counted_at_the_top_and_every_cell_links_its_report(self):
        data = {'image': '/img', 'kit_type': 1, 'notes': ['stand-ins & more'], 'seconds': 80.0, 'cells': [
            page_row('a'), page_row('b', ['the device was left in CD mode']), page_row('c', outcome='skipped'),
            page_row('d', thumbnail=False)]}
        with tempfile.TemporaryDirectory() as folder:
            written = matrix_page.write_page(data, folder)
            with open(os.path.join(folder, 'matrix.json'), encoding='utf-8') as f:
                self.assertEqual(json.load(f), written)
            with open(os.path.join(folder, 'matrix.html'), encoding='utf-8') as f:
                page = f.read()
            with open(os.path.join(folder, 'matrix.md'), encoding='utf-8') as f:
                md = f.read()
        self.assertEqual(written['counts'], {'cells': 4, 'as_expected': 2, 'unexpected': 1, 'skipped': 1})
        self.assertIn('<p class="summary marked" id="summary">4 cells: 2 as expected, 1 unexpected, 1 skipped</p>',
                      page)
        self.assertEqual(re.findall(r'<tr class="(\w+)" id="(\w)"', page),
                         [('expected', 'a'), ('unexpected', 'b'), ('skipped', 'c'), ('expected', 'd')])
        self.assertEqual(sorted(set(re.findall(r'href="([^"]+)"', page))), ['%s/report.html' % n for n in 'abcd'])
        self.assertEqual(re.findall(r'<img src="([^"]+)"', page), ['%s/thumbnail.png' % n for n in 'abc'])
        self.assertIn('Some &lt;box&gt;', page)
        self.assertTrue(md.startswith('# PC matrix: 4 cells: 2 as expected, 1 unexpected, 1 skipped\n'))
        self.assertIn('- **b** (Windows 7, clean, administrator): the device was left in CD mode', md)
        self.assertIn('Skipped: no wine64', md)

    def test_a_matrix_without_a_marked_cell_says_so_unmarked(self):
        data = {'image': '/img', 'kit_type': 1, 'notes': [], 'seconds': 10.0, 'cells': [page_row('a')]}
        page = matrix_page.html_page(dict(data, counts=matrix_page.counts(data)))
        self.assertIn('<p class="summary" id="summary">1 cells: 1 as expected, 0 unexpected, 0 skipped</p>', page)
        self.assertNotIn('## Unexpected', matrix_page.markdown(dict(data, counts=matrix_page.counts(data))))


class BrokenCellMatrix(pc_matrix.MatrixRun):
    """A matrix whose runs are replaced: the limited users' cells raise, the others are as
    expected; what each cell's run got readied ahead is kept."""

    def ready_cell(self, cell, image, extra_files):
        self.readying[pc_matrix.cell_name(cell)].set()
        return 'readied for ' + pc_matrix.cell_name(cell)

    def run_cell(self, cell, image, extra_files, kit_type, readied=None):
        name = pc_matrix.cell_name(cell)
        self.readied[name] = readied
        if not cell['limited']:  # the cell runs until the limited user's cell of its Windows is being readied
            self.readying[name.replace('admin', 'limited')].wait(10)
        if cell['limited']:
            raise ValueError('the prefix could not be copied')
        return dict(page_row(pc_matrix.cell_name(cell)), cell=cell)


class MatrixRunTests(unittest.TestCase):
    def test_a_cell_that_breaks_is_marked_not_lost_and_the_rows_keep_the_cells_order(self):
        with tempfile.TemporaryDirectory() as folder:
            image = os.path.join(folder, 'image')
            os.makedirs(image)
            with open(os.path.join(image, 'autorun.inf'), 'w') as f:
                f.write('[autorun]\r\nopen=Plugstart.exe\r\n')
            with open(os.path.join(image, 'config.ini'), 'w') as f:
                f.write('[ITK]\r\nitk_type=1\r\n')
            parsed = options.parse(['--matrix', '--image', image, '--windows', '7,10', '--arch', '32',
                                    '--state', 'clean', '--report-dir', os.path.join(folder, 'page')])
            lines = []
            matrix = BrokenCellMatrix(parsed, folder, folder, lambda bits: 'win32', log=lines.append)
            matrix.readied = {}
            matrix.readying = {name: threading.Event() for name in ('win7-clean-limited', 'win10-clean-limited')}
            data = matrix.execute()
        self.assertEqual([c['name'] for c in data['cells']], ['win7-clean-admin', 'win7-clean-limited',
                                                              'win10-clean-admin', 'win10-clean-limited'])
        self.assertEqual(data['counts'], {'cells': 4, 'as_expected': 2, 'unexpected': 2, 'skipped': 0})
        broken = data['cells'][1]
        self.assertEqual(broken['verdict'], 'Could not run: ValueError: the prefix could not be copied')
        self.assertTrue(broken['unexpected'][-1].startswith('the matrix could not run the cell:'), broken)
        self.assertEqual(len([line for line in lines if line.startswith('[')]), 4)
        self.assertTrue(lines[-1].startswith('[4/4] '), lines)
        # The two administrators' cells start first, two at a time; each cell after them got its
        # own run readied ahead.
        self.assertEqual(matrix.readied, {'win7-clean-admin': None, 'win10-clean-admin': None,
                                          'win7-clean-limited': 'readied for win7-clean-limited',
                                          'win10-clean-limited': 'readied for win10-clean-limited'})


class Wow64SkipTests(unittest.TestCase):
    """Where a 64-bit PC cannot run the 32-bit programs, the reason (the run then says skipped)."""

    def problem(self, which, runs_32bit, syswow64, ran):
        with tempfile.TemporaryDirectory() as folder:
            prefix = wine.Prefix(folder, 'win64')
            if syswow64:
                os.makedirs(prefix.drive_c('windows', 'syswow64'))
            with unittest.mock.patch.object(wine.shutil, 'which', lambda name: which.get(name)), \
                    unittest.mock.patch.object(wine.os.path, 'exists', lambda path: False), \
                    unittest.mock.patch.object(wine, 'host_runs_32bit', lambda: runs_32bit), \
                    unittest.mock.patch.object(wine.Prefix, 'run', lambda self, args, timeout=0: ran):
                return wine.wow64_problem(prefix)

    def test_each_missing_piece_is_named_and_a_prefix_that_runs_them_has_none(self):
        loaders = {'wine64': '/usr/bin/wine64'}
        self.assertIn('no 64-bit Wine', self.problem({}, True, True, (7, '')))
        self.assertIn('runs no 32-bit programs', self.problem(loaders, False, True, (7, '')))
        self.assertIn('no SysWOW64', self.problem(loaders, True, False, (7, '')))
        self.assertIn('did not run (exit code 53', self.problem(loaders, True, True, (53, 'cannot start')))
        self.assertIsNone(self.problem(loaders, True, True, (7, '')))


class EstimateTests(unittest.TestCase):
    def test_the_time_left_counts_the_cells_left_two_at_a_time(self):
        self.assertEqual(pc_matrix.estimate([10.0, 20.0], 3, 2), 30.0)
        self.assertEqual(pc_matrix.estimate([10.0], 0, 2), 0.0)
        self.assertEqual(pc_matrix.estimate([], 5, 2), 0.0)


if __name__ == '__main__':
    unittest.main()
