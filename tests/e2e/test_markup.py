"""Texts of a hostile image or PC in the pages: every page builder (report.html with its timeline
picture, report.md, matrix.html and .md, languages.html and .md) is fed texts made to run or to make
markup (scripts, event handlers, a title closed early, CDATA ends, quotes that leave an attribute,
backticks and pipes in a table, Markdown links to scripts, line ends that start a heading) in every
place a text of the run goes. The HTML must hold no element or attribute that the page's own code
did not make, its timeline must stay well-formed SVG, and each text must still show as it was. The
Markdown is rendered by GitHub's renderer (cmark-gfm, with raw HTML let through as the most lenient
viewer does) and must come out with no link, picture, raw HTML or other markup made from a text."""
import html.parser
import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest
from xml.etree import ElementTree

from plugin import browser, markup, matrix_page, report, sheet_page
import test_report as recorded
import test_sheet

MARKER = 'plugstart-injected'
HOSTILE = [
    '<script>alert("script")</script>',
    '<img src=x onerror=alert("img")>',
    '</title><svg onload=alert("title")>',
    ']]><%s>cdata</%s>' % (MARKER, MARKER),
    '" onmouseover="alert(1)" x="',
    "' onfocus='alert(2)' '",
    '`code` | cell ```three``` |',
    '[x](javascript:alert("link")) ![i](javascript:alert("picture"))',
    'first line\n# heading\n- item\r\n<%s>' % MARKER,
    'mail a@b.example http://evil.example/ www.evil.example',
    '&lt;b&gt;entity&lt;/b&gt; &#60;%s&#62;' % MARKER,
    '<![CDATA[<%s>]]>' % MARKER,
    '\x01\x1b[31m control \\`',
]
ONE_LINE = [h for h in HOSTILE if '\n' not in h and '\r' not in h]


def text_of(index):
    return ONE_LINE[index % len(ONE_LINE)]


def hostile_recording():
    """A run's record in which every text the PC writes is hostile: window titles, box captions
    and texts, the button a forged answer names, process names and command lines, the device's log,
    the stand-ins' log, the trace."""
    h = text_of
    window = recorded.robot(0.58, 'window', hwnd='10086', pid='284', process='Plugstart.exe', kind='window',
                            **{'class': h(1)}, title=h(6), owner='', rect='342,265,682,503')
    return recorded.CD_START + [
        recorded.started(0.58, '296', h(0), '"C:\\x\\%s" %s' % (h(0), h(3)), parent='284'), window,
        recorded.robot(0.6, 'title', hwnd='10086', title=h(4)),
        recorded.stand_in(0.64, 'DriverSetup.exe', '296', 'start', command=h(5)),
        recorded.stand_in(0.7, 'DriverSetup.exe', '296', 'failed', h(6)),
        recorded.stand_in(0.7, 'DriverSetup.exe', '296', 'exit', '1603'),
        recorded.ended(0.72, '296', h(0), '1603'),
        recorded.trace(0.75, '[%s]' % h(7)),
        recorded.box(0.8, 1, h(8), 'b0x', caption=h(9)), recorded.answer(2.1, 'b0x', button=h(2), reason=h(10)),
        recorded.robot(2.15, 'window-gone', hwnd='b0x', title=h(11)),
        recorded.device(2.3, h(3), h(5), process=h(1)),
        recorded.ended(2.6, '284', 'Plugstart.exe'),
        recorded.robot(2.6, 'window-gone', hwnd='10086', title=h(2)),
        recorded.ended(2.6, '272', 'Plugstart.exe')]


def hostile_result(folder):
    """The result data of a run that saw only hostile texts, with a screenshot; the same texts
    (line ends and all) in the file, registry and staging lists, the notes and the settings."""
    shot = os.path.join(folder, '01.png')
    with open(shot, 'wb') as f:
        f.write(recorded.tiny_png())
    result = recorded.replayed(hostile_recording(), screenshots=[(0.9, shot, 'a new window "%s"' % HOSTILE[1])])
    result['run']['boxes'][0]['screenshot'] = shot
    result.update(
        settings=dict(result['settings'], image=HOSTILE[3], state='clean', limited_user=False, reply=None,
                      answer={'default': 'ok', 'rules': [[HOSTILE[6], 'ok']]}, config={'ITK': {HOSTILE[7]: HOSTILE[0]}}),
        notes=list(HOSTILE), prepared_by=[], error=HOSTILE[8],
        files={'added': [{'path': h, 'size': 1} for h in HOSTILE], 'changed': [], 'removed': list(HOSTILE)},
        own_files={'added': [], 'changed': [{'path': HOSTILE[9]}], 'removed': []},
        staging={'folder': 'C:\\' + HOSTILE[5], 'files': list(HOSTILE)},
        registry={'added': [{'key': HOSTILE[10], 'values': {HOSTILE[11]: HOSTILE[12]}}],
                  'changed': [{'key': HOSTILE[4], 'name': HOSTILE[0], 'old': HOSTILE[1], 'new': HOSTILE[2]}],
                  'removed': list(HOSTILE)},
        device_state={'R': {'mode': HOSTILE[6]}})
    result['program']['name'] = HOSTILE[2]
    return result


class Elements(html.parser.HTMLParser):
    """The elements, attributes and shown text of a page."""

    def __init__(self, page, inside=None):
        super().__init__(convert_charrefs=True)
        self.tags, self.attributes, self.text = [], [], []
        self.inside, self.open = inside, []
        self.feed(page)

    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        self.attributes += [(tag, name, value or '') for name, value in attrs]
        self.open.append(tag)

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        self.open.pop()

    def handle_endtag(self, tag):
        if tag in self.open:
            del self.open[len(self.open) - 1 - self.open[::-1].index(tag):]

    def handle_data(self, data):
        if self.inside is None or self.inside in self.open:
            self.text.append(data)


def cmark_gfm():
    return shutil.which('cmark-gfm')


def rendered(markdown):
    """Markdown as GitHub renders it, raw HTML let through."""
    done = subprocess.run([cmark_gfm(), '--unsafe', '-e', 'table', '-e', 'autolink', '-e', 'strikethrough'],
                          input=markdown.encode('utf-8'), stdout=subprocess.PIPE, check=True)
    return done.stdout.decode('utf-8')


MARKDOWN_ELEMENTS = {'h1', 'h2', 'p', 'em', 'strong', 'table', 'thead', 'tbody', 'tr', 'th', 'td', 'ul', 'li',
                     'code', 'pre', 'img', 'a'}


class InertPage:
    """Assertions over a page that holds hostile texts."""

    def assert_inert_html(self, page, own_addresses):
        seen = Elements(page)
        made = set(seen.tags) - set(browser.PAGE_ELEMENTS)
        self.assertEqual(made, set(), 'elements made from a text')
        self.assertEqual([a for a in seen.attributes if a[1].startswith('on')], [], 'event handlers made from a text')
        addresses = [value for tag, name, value in seen.attributes if name in ('href', 'src')]
        self.assertEqual([a for a in addresses if not own_addresses(a)], [], 'addresses made from a text')
        return seen

    def assert_inert_markdown(self, markdown, own_addresses):
        if not cmark_gfm():
            self.skipTest('skipped: cmark-gfm is not installed (scripts/setup.sh installs it)')
        seen = Elements(rendered(markdown))
        self.assertEqual(set(seen.tags) - MARKDOWN_ELEMENTS, set(), 'markup made from a text in Markdown')
        self.assertEqual([a for a in seen.attributes if a[1].startswith('on')], [])
        addresses = [value for tag, name, value in seen.attributes if name in ('href', 'src')]
        self.assertEqual([a for a in addresses if not own_addresses(a)], [], 'links made from a text in Markdown')
        return seen


class ReportTests(unittest.TestCase, InertPage):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix='markup-test-')
        cls.result = hostile_result(cls.folder)
        path = report.write_report(cls.result, os.path.join(cls.folder, 'report'))
        with open(path, encoding='utf-8') as f:
            cls.page = f.read()
        with open(os.path.join(cls.folder, 'report', 'report.md'), encoding='utf-8') as f:
            cls.markdown = f.read()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def test_the_html_report_holds_only_its_own_markup_and_shows_every_text(self):
        seen = self.assert_inert_html(self.page, lambda a: a.startswith(('#shot-', 'data:image/png;base64,')))
        shown = '\n'.join(seen.text)
        for text in ONE_LINE:
            self.assertIn(markup.plain(text), shown)

    def test_the_timeline_picture_stays_well_formed_and_a_forged_answer_stays_text(self):
        svg = ElementTree.fromstring(self.page[self.page.index('<svg'):self.page.index('</svg>') + 6])
        flag_titles = [e.find('{http://www.w3.org/2000/svg}title').text for e in svg.iter()
                       if 'box-flag' in (e.get('class') or '')]
        self.assertEqual(len(flag_titles), 1)
        self.assertIn('answered ' + HOSTILE[2], flag_titles[0])
        self.assertEqual([e.tag for e in svg.iter() if MARKER in e.tag or e.tag.endswith('script')], [])

    def test_the_markdown_report_renders_no_markup_from_a_text(self):
        seen = self.assert_inert_markdown(self.markdown, lambda a: a.startswith('screenshots/'))
        shown = ' '.join(' '.join(seen.text).split())
        for text in ONE_LINE[:-1]:
            self.assertIn(' '.join(text.split()), shown)

    def test_the_timeline_as_text_cannot_end_its_block(self):
        fence = re.search(r'^(`{3,})text$', self.markdown, re.M).group(1)
        self.assertGreater(len(fence), 3, 'a fence no longer than the texts\' backtick runs')
        block = self.markdown[self.markdown.index(fence + 'text'):]
        block = block[:block.index('\n' + fence + '\n')]
        self.assertNotIn('\n' + fence, block[len(fence) + 4:])


def hostile_cell(name, index):
    h = text_of
    return {'name': name, 'cell': {'windows': '7', 'bits': 32, 'state': 'clean', 'limited': False, 'fault': None},
            'expected': h(index), 'outcome': 'finished', 'verdict': h(index + 1), 'skipped': None,
            'boxes': [h(index + 2), h(index + 3)], 'last_status': '"%s": preparing' % h(index + 4),
            'installed': h(index + 5), 'device': h(index + 6), 'product_seconds': 1.5, 'seconds': 12.0,
            'unexpected': [h(index + 7), HOSTILE[8]], 'report': name + '/report.html',
            'thumbnail': name + '/thumbnail.png', 'reported_version': h(index + 8)}


class MatrixPageTests(unittest.TestCase, InertPage):
    def setUp(self):
        data = {'image': HOSTILE[6], 'kit_type': 1, 'notes': list(HOSTILE), 'seconds': 80.0,
                'cells': [hostile_cell('win7-clean-admin', 0), hostile_cell('win10-clean-admin', 5)]}
        self.data = dict(data, counts=matrix_page.counts(data))

    def test_the_page_holds_only_its_own_markup_and_shows_every_text(self):
        seen = self.assert_inert_html(matrix_page.html_page(self.data),
                                      lambda a: re.fullmatch(r'win(7|10)-clean-admin/(report\.html|thumbnail\.png)', a))
        shown = '\n'.join(seen.text)
        for text in ONE_LINE:
            self.assertIn(markup.plain(text), shown)

    def test_the_markdown_page_renders_no_markup_from_a_text(self):
        self.assert_inert_markdown(matrix_page.markdown(self.data),
                                   lambda a: re.fullmatch(r'win(7|10)-clean-admin/report\.html', a))


class SheetPageTests(unittest.TestCase, InertPage):
    def setUp(self):
        texts = [test_sheet.text([text_of(i)], HOSTILE[i % len(HOSTILE)], [10, 10, 50, 30], [80, 12], too_wide=i % 2 == 0)
                 for i in range(len(HOSTILE))]
        entry = test_sheet.language(HOSTILE[1], HOSTILE[2], [test_sheet.dialog('main-driver', 'main', HOSTILE[3], texts)],
                                    problems=list(HOSTILE))
        entry['file'] = 'tools\\lang_AutoRun_%s.opt' % HOSTILE[1]
        self.data = sheet_page.sheet_data(HOSTILE[4], 1, [entry], 12.0)

    def own(self, address):
        return address == 'pictures/x/main-driver.png' or address.startswith('#')

    def test_the_page_holds_only_its_own_markup_and_shows_every_text(self):
        seen = self.assert_inert_html('\n'.join(sheet_page.html_lines(self.data)), self.own)
        shown = '\n'.join(seen.text)
        for text in HOSTILE:
            self.assertIn(markup.plain(text), shown)
        self.assertEqual(json.loads(json.dumps(self.data))['misfits'][0]['text'], HOSTILE[0])

    def test_the_markdown_page_renders_no_markup_from_a_text(self):
        self.assert_inert_markdown('\n'.join(sheet_page.markdown_lines(self.data)), self.own)


class MarkdownTextTests(unittest.TestCase):
    def test_each_text_shows_as_it_is_in_a_cell_a_list_and_a_heading(self):
        if not cmark_gfm():
            self.skipTest('skipped: cmark-gfm is not installed (scripts/setup.sh installs it)')
        texts = HOSTILE + ['R:\\config.ini \\| end\\', '1. item', '> quote', 'lang_AutoRun_eng.opt _x_', '`', ' ` ',
                           '[foo]: http://x', '<http://x.example>', 'x #', '100) x', 'a\\|b|c', '---']
        for text in texts:
            want = ' '.join(markup.one_line(text).split())
            for inside, md in (('td', '| a |\n|---|\n| %s |\n' % markup.md_cell(text)),
                               ('li', '- %s\n' % markup.md_text(text)), ('h1', '# %s\n' % markup.md_text(text))):
                with self.subTest(text=text, form=inside):
                    seen = Elements(rendered(md), inside=inside)
                    self.assertLessEqual(set(seen.tags), {'table', 'thead', 'tbody', 'tr', 'th', 'td', 'ul', 'li',
                                                          'h1', 'code'})
                    self.assertEqual(' '.join(''.join(seen.text).split()), want)


class BuilderTests(unittest.TestCase):
    def test_no_event_handler_attribute_and_no_script_address_can_be_made(self):
        with self.assertRaises(ValueError):
            markup.element('img', src='x.png', onerror='alert(1)')
        for address in ('javascript:alert(1)', ' JavaScript:alert(1)', 'data:text/html,<script>', 'vbscript:x'):
            with self.subTest(address=address), self.assertRaises(ValueError):
                markup.element('a', 'x', href=address)
        self.assertEqual(markup.element('a', '<b>', href='cell/report.html#shot-1', class_='x y'),
                         '<a href="cell/report.html#shot-1" class="x y">&lt;b&gt;</a>')

    def test_markup_stays_as_it_is_and_text_added_to_it_is_escaped(self):
        built = markup.element('b', 'x') + '<i>'
        self.assertEqual(built, '<b>x</b>&lt;i&gt;')
        self.assertEqual(markup.join([built, '&']), '<b>x</b>&lt;i&gt;&amp;')
        self.assertEqual(markup.escape('a\x00b\udc80'), 'a\ufffdb\ufffd')


if __name__ == '__main__':
    unittest.main()
