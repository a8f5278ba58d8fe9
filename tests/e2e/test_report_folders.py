"""Report folders that are not what they seem: a --report-dir whose report.md, screenshots or list
of earlier files is a link to a folder outside, a matrix page folder whose cell folder is such a
link, a language sheet's folder that holds the maker's own files. With real links and real files
outside: nothing outside is replaced or removed, every link is replaced rather than written
through, and no file or folder that a run did not write or make is removed."""
import hashlib
import os
import shutil
import tempfile
import types
import unittest
import unittest.mock

from plugin import languages, options, pc_matrix, report, report_files
import test_report as recorded
from test_matrix import page_row


def tree(folder):
    """{relative path: sha256 of the file, or 'folder' or 'link -> target'} of everything under folder."""
    found = {}
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(root, name)
            relative = os.path.relpath(path, folder)
            if os.path.islink(path):
                found[relative] = 'link -> ' + os.readlink(path)
            elif os.path.isdir(path):
                found[relative] = 'folder'
            else:
                with open(path, 'rb') as f:
                    found[relative] = hashlib.sha256(f.read()).hexdigest()
    return found


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)


class Folders(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.mkdtemp(prefix='report-folders-')
        self.outside = os.path.join(self.temp, 'outside')
        for name in ('secret.md', 'shots/01.png', 'shots/mine.png', 'list.txt', 'cell/report.html',
                     'cell/thumbnail.png', 'cell/.plugin-report-files'):
            write(os.path.join(self.outside, name), b'the maker\'s own ' + name.encode())
        self.before = tree(self.outside)

    def tearDown(self):
        shutil.rmtree(self.temp, ignore_errors=True)

    def assert_outside_untouched(self):
        self.assertEqual(tree(self.outside), self.before)

    def assert_plain(self, *paths):
        for path in paths:
            self.assertFalse(os.path.islink(path), path)
            self.assertTrue(os.path.exists(path), path)

    def report_result(self):
        shot = os.path.join(self.temp, 'run', '01.png')
        write(shot, recorded.tiny_png())
        result = recorded.replayed(recorded.SETUP_FAILS, screenshots=[(0.9, shot, 'message box 1')])
        result.update(settings=dict(result['settings'], image='/image', state='clean', limited_user=False,
                                    reply=None, answer={'default': 'ok', 'rules': []}),
                      notes=[], prepared_by=[], files=None, own_files=None, staging=None)
        return result


class ReportDirTests(Folders):
    def test_a_linked_report_md_and_screenshots_are_replaced_not_written_through(self):
        folder = os.path.join(self.temp, 'reports')
        os.makedirs(folder)
        os.symlink(os.path.join(self.outside, 'secret.md'), os.path.join(folder, 'report.md'))
        os.symlink(os.path.join(self.outside, 'shots'), os.path.join(folder, 'screenshots'))
        # As an earlier run would have listed them.
        write(os.path.join(folder, report_files.LIST_NAME), b'report.md\nscreenshots/01.png\nscreenshots/mine.png\n')
        report.write_report(self.report_result(), folder)
        self.assert_outside_untouched()
        self.assert_plain(os.path.join(folder, 'report.md'), os.path.join(folder, 'screenshots'),
                          os.path.join(folder, 'screenshots', '01.png'))
        with open(os.path.join(folder, 'report.md'), encoding='utf-8') as f:
            self.assertTrue(f.read().startswith('# Switched R: to modem mode'))

    def test_a_linked_list_is_neither_read_nor_written_through(self):
        folder = os.path.join(self.temp, 'reports')
        write(os.path.join(folder, 'notes.txt'), b'the maker\'s notes')
        write(os.path.join(self.outside, 'list.txt'), b'notes.txt\n')
        self.before = tree(self.outside)
        os.symlink(os.path.join(self.outside, 'list.txt'), os.path.join(folder, report_files.LIST_NAME))
        report.write_report(self.report_result(), folder)
        self.assert_outside_untouched()
        self.assertTrue(os.path.exists(os.path.join(folder, 'notes.txt')))
        self.assert_plain(os.path.join(folder, report_files.LIST_NAME))

    def test_a_link_put_at_a_file_of_the_last_run_is_removed_not_what_it_points_at(self):
        folder = os.path.join(self.temp, 'reports')
        report.write_report(self.report_result(), folder)
        os.remove(os.path.join(folder, 'screenshots', '01.png'))
        os.symlink(os.path.join(self.outside, 'shots', 'mine.png'), os.path.join(folder, 'screenshots', '01.png'))
        result = self.report_result()
        result['run']['screenshots'] = []
        report.write_report(result, folder)
        self.assert_outside_untouched()
        self.assertFalse(os.path.lexists(os.path.join(folder, 'screenshots')), 'the run\'s own empty folder stays')

    def test_a_folder_the_run_did_not_make_stays_and_one_it_made_goes_when_empty(self):
        folder = os.path.join(self.temp, 'reports')
        os.makedirs(os.path.join(folder, 'screenshots'))
        report.write_report(self.report_result(), folder)
        result = self.report_result()
        result['run']['screenshots'] = []
        report.write_report(result, folder)
        self.assertTrue(os.path.isdir(os.path.join(folder, 'screenshots')), 'the maker\'s empty folder was removed')
        shutil.rmtree(folder)
        report.write_report(self.report_result(), folder)
        report.write_report(result, folder)
        self.assertFalse(os.path.exists(os.path.join(folder, 'screenshots')))

    def test_a_file_of_the_maker_where_the_report_needs_a_folder_is_left_and_said(self):
        folder = os.path.join(self.temp, 'reports')
        write(os.path.join(folder, 'screenshots'), b'the maker\'s file')
        with self.assertRaises(report_files.ReportFolderError):
            report.write_report(self.report_result(), folder)
        with open(os.path.join(folder, 'screenshots'), 'rb') as f:
            self.assertEqual(f.read(), b'the maker\'s file')


class ReplayedRun:
    """A plug-in run replaced by a replayed record (the matrix's cells, without Wine)."""

    def __init__(self, settings):
        self.settings = settings

    def execute(self):
        return Folders.report_result(types.SimpleNamespace(temp=self.settings.run_dir))


class MatrixFolderTests(Folders):
    def matrix(self, page):
        image = os.path.join(self.temp, 'image')
        write(os.path.join(image, 'autorun.inf'), b'[autorun]\r\nopen=Plugstart.exe\r\n')
        write(os.path.join(image, 'config.ini'), b'[ITK]\r\nitk_type=1\r\n')
        parsed = options.parse(['--matrix', '--image', image, '--windows', '7', '--arch', '32', '--state', 'clean',
                                '--users', 'admin', '--report-dir', page, '--no-screenshots'])
        return pc_matrix.MatrixRun(parsed, self.temp, self.temp, lambda bits: 'win32', log=lambda line: None)

    def test_a_cell_folder_linked_outside_is_replaced_and_the_maker_s_files_stay(self):
        page = os.path.join(self.temp, 'page')
        write(os.path.join(page, 'notes.txt'), b'the maker\'s notes')
        os.symlink(os.path.join(self.outside, 'cell'), os.path.join(page, 'win7-clean-admin'))
        with unittest.mock.patch.object(pc_matrix, 'PlugInRun', ReplayedRun):
            data = self.matrix(page).execute()
            self.assertEqual(data['cells'][0]['report'], 'win7-clean-admin/report.html')
            self.assert_outside_untouched()
            self.assert_plain(os.path.join(page, 'win7-clean-admin', 'report.html'))
            # The next matrix takes away what this one wrote and made, and nothing else.
            os.rename(os.path.join(page, 'win7-clean-admin'), os.path.join(page, 'win7-clean-admin.old'))
            os.makedirs(os.path.join(page, 'win7-clean-admin'))
            write(os.path.join(page, 'win7-clean-admin', 'mine.txt'), b'the maker\'s')
            self.matrix(page).execute()
        self.assert_outside_untouched()
        self.assertTrue(os.path.exists(os.path.join(page, 'notes.txt')))
        self.assertTrue(os.path.exists(os.path.join(page, 'win7-clean-admin', 'mine.txt')))
        self.assertTrue(os.path.exists(os.path.join(page, 'win7-clean-admin.old', 'report.html')))


class FakeSheet:
    """The language sheet's Wine side replaced: every language is measured as 'not measured'."""

    def __init__(self, build_dir, scripts_dir, work_dir, arch, display=None, log=print, sandboxed=True):
        self.work_dir = work_dir

    def prepare(self, folder, files):
        pass

    def measure(self, stem, relative, kit, locale):
        return None, self.work_dir, 'not measured here'

    def finish(self):
        pass


class SheetFolderTests(Folders):
    def test_the_sheet_removes_only_what_an_earlier_sheet_wrote(self):
        image = os.path.join(self.temp, 'image')
        write(os.path.join(image, 'autorun.inf'), b'[autorun]\r\nopen=Plugstart.exe\r\n')
        write(os.path.join(image, 'tools', 'lang_AutoRun_eng.opt'), b'\xff\xfe')
        sheet_dir = os.path.join(self.temp, 'sheet')
        write(os.path.join(sheet_dir, 'notes.txt'), b'the maker\'s notes')
        os.symlink(os.path.join(self.outside, 'shots'), os.path.join(sheet_dir, 'pictures'))
        with unittest.mock.patch.object(languages, 'Sheet', FakeSheet):
            for _ in range(2):
                languages.make_sheet(image, self.temp, self.temp, sheet_dir, os.path.join(self.temp, 'work'), 'win32',
                                     log=lambda line: None)
        self.assert_outside_untouched()
        self.assertTrue(os.path.exists(os.path.join(sheet_dir, 'notes.txt')), 'the maker\'s file was removed')
        self.assertTrue(os.path.islink(os.path.join(sheet_dir, 'pictures')), 'a link the sheet did not write went')
        self.assert_plain(os.path.join(sheet_dir, 'languages.html'))


if __name__ == '__main__':
    unittest.main()
