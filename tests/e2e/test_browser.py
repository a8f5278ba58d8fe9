"""Pages seen in a real browser (headless Chromium, scripts/plugin/browser.py): the plug-in report
as the report code writes it passes, with every picture decoded and every link resolved, and a
screenshot beside it; copies broken in one way each (a picture that does not decode, a missing
picture file, a link to no anchor, to no file, to no anchor of another page, an error in the
console, a script that runs, an element made from a text) fail, each with its problem named. The
report, the matrix page and the language sheet of a hostile run (test_markup) pass: no script runs
on them."""
import os
import shutil
import tempfile
import unittest

from plugin import browser, matrix_page, report, sheet_page
import test_markup
from test_report import tiny_png, written_report

# (what is broken, text to replace in report.html, what it becomes, the problem expected)
BROKEN = [
    ('a picture that does not decode', 'src="data:image/png;base64,iVBOR', 'src="data:image/png;base64,AAAA',
     'does not decode'),
    ('a picture whose file is missing', '</body>', '<img src="screenshots/gone.png" alt="gone"></body>',
     'gone.png ("gone") does not decode'),
    ('a link to an anchor that is not there', 'href="#shot-1"', 'href="#shot-9"', 'link "#shot-9": no such anchor'),
    ('a link to a file that is not there', '</body>', '<a href="cells/win7/report.html">cell</a></body>',
     'cells/win7/report.html does not exist'),
    ('a link to an anchor of another page that is not there', '</body>',
     '<a href="other.html#shot-4">cell</a></body>', 'has no anchor "shot-4"'),
    ('an error in the console', '</body>', '<script>console.error("the page broke")</script></body>',
     'console error: the page broke'),
    # What a text of the image that went in unescaped would do.
    ('a script that sets a global', '</body>', '<script>window.owned = 1</script></body>', 'a script ran on the page'),
    ('a handler that changes the title', '</body>', '<img src="data:image/png;base64,AAAA" onerror="document.title=1">'
                                                    '</body>', 'an event handler onerror on <img>'),
    ('a dialog opened by a handler', '<title>', '<title></title><svg onload="alert(1)"></svg><title>',
     'a script on the page did this: alert(1)'),
    ('a script address', '</body>', '<a href="javascript:void(0)">x</a></body>', 'a script address in href of <a>'),
    ('an element made from a text', '</body>', '<plugstart-injected>x</plugstart-injected></body>',
     'an element <plugstart-injected>'),
    ('a script that waits in the debugger and then changes the page', '</body>',
     '<script>debugger; setTimeout(() => document.body.append("x"), 0)</script></body>', 'a script ran on the page'),
]


@unittest.skipIf(browser.chromium_path() is None, 'skipped: Chromium is not installed (scripts/setup.sh installs it)')
class BrowserTests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix='browser-test-')
        result, cls.report = written_report(cls.folder)
        with open(cls.report, encoding='utf-8') as f:
            page = f.read()
        report_dir = os.path.dirname(cls.report)
        with open(os.path.join(report_dir, 'other.html'), 'w', encoding='utf-8') as f:
            f.write('<!DOCTYPE html><html><body><p id="shot-1">the other page</p></body></html>')
        cls.broken = []
        for number, (what, old, new, problem) in enumerate(BROKEN):
            path = os.path.join(report_dir, 'broken-%d.html' % number)
            cls.assert_holds(page, old, what)
            with open(path, 'w', encoding='utf-8') as f:
                f.write(page.replace(old, new, 1))
            cls.broken.append((what, path, problem))
        working = os.path.join(report_dir, 'linked.html')
        with open(working, 'w', encoding='utf-8') as f:
            f.write(page.replace('</body>', '<a href="other.html#shot-1">the other page</a>'
                                            '<a href="report.md">as text</a><a href="https://example.com/">web</a>'
                                            '</body>'))
        # One browser for every page, as a maker's matrix would open its pages.
        cls.checks = browser.check_pages([cls.report, working] + [path for _, path, _ in cls.broken])

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    @staticmethod
    def assert_holds(page, text, what):
        if text not in page:
            raise AssertionError('the report no longer holds %r, which the case "%s" breaks' % (text, what))

    def test_the_report_shows_in_the_browser_with_its_pictures_and_links_and_a_screenshot_beside_it(self):
        check = self.checks[0]
        self.assertEqual(check.problems, [])
        # The screenshot at its moment in the timeline picture and in full below; the box's flag
        # and the thumbnail link to it.
        self.assertEqual((check.pictures, check.links), (2, 2))
        self.assertEqual(check.screenshot, os.path.join(os.path.dirname(self.report), 'report-page.png'))
        with open(check.screenshot, 'rb') as f:
            self.assertEqual(f.read(8), b'\x89PNG\r\n\x1a\n')

    def test_links_to_another_page_s_anchor_and_to_a_file_resolve_and_web_addresses_are_not_followed(self):
        check = self.checks[1]
        self.assertEqual(check.problems, [])
        self.assertEqual(check.links, 4)
        self.assertEqual(check.external, ['https://example.com/'])

    def test_each_broken_copy_fails_with_its_problem_named(self):
        for (what, path, problem), check in zip(self.broken, self.checks[2:]):
            with self.subTest(what):
                self.assertFalse(check.ok)
                self.assertTrue(any(problem in p for p in check.problems), check.problems)

    def test_the_pages_of_a_hostile_run_show_with_no_script_run(self):
        folder = os.path.join(self.folder, 'hostile')
        os.makedirs(folder)
        matrix = test_markup.MatrixPageTests()
        matrix.setUp()
        for cell in matrix.data['cells']:  # the cells' reports and thumbnails the page links
            os.makedirs(os.path.join(folder, cell['name']))
            report.write_report(test_markup.hostile_result(os.path.join(folder, cell['name'])),
                                os.path.join(folder, cell['name']))
            os.rename(os.path.join(folder, cell['name'], '01.png'), os.path.join(folder, cell['thumbnail']))
        matrix_page.write_page(matrix.data, folder)
        sheet = test_markup.SheetPageTests()
        sheet.setUp()
        os.makedirs(os.path.join(folder, 'pictures', 'x'))
        with open(os.path.join(folder, 'pictures', 'x', 'main-driver.png'), 'wb') as f:
            f.write(tiny_png())
        pages = [os.path.join(folder, cell['report']) for cell in matrix.data['cells']]
        pages += [os.path.join(folder, 'matrix.html'), sheet_page.write_sheet(sheet.data, folder)]
        for check in browser.check_pages(pages, screenshots=False):
            with self.subTest(page=check.path):
                self.assertEqual(check.problems, [])
                self.assertGreater(check.links, 0)

    def test_a_page_that_is_not_there_fails(self):
        check = browser.check_page(os.path.join(self.folder, 'nowhere.html'), screenshot=False)
        self.assertEqual(check.problems, ['the page does not exist'])


if __name__ == '__main__':
    unittest.main()
