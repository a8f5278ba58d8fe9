"""The language sheet end to end (ctest language_sheet): a copy of the test image with three
language files, in which the German Cancel text is made too wide for its button and the German
driver-setup status too long for the status box, goes through scripts/run.sh --languages' own
code under Wine. Every language of the copy is on the sheet with its five dialog states and their
pictures, measured in its users' locale; the two German texts, and no other, are found and marked
in red; the page shows in headless Chromium, and a copy of it that lost a picture does not."""
import json
import os
import re
import shutil
import struct
import sys
import tempfile
import unittest

from plugin import browser, languages, wine

BUILD_DIR = os.environ.get('PLUGSTART_BUILD_DIR', '')
SCRIPTS_DIR = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), 'scripts')
KEPT = ('eng', 'german', 'japan')
TOO_WIDE_CANCEL = 'Vorgang vollständig abbrechen und beenden'
TOO_LONG_STATUS = ('Der Gerätetreiber wird jetzt installiert; das kann einige Minuten dauern. Bitte warten Sie '
                   'und trennen Sie das Gerät in dieser Zeit nicht vom Computer.')

# The keys each dialog state draws, with the image's config.ini (a kit to install, the guide with
# its CD text), and those it must not draw.
DRAWN = [
    ('main-driver', ['STR_STRING_STATUS_TOP_STRING_2_0', 'STR_STRING_DONOT_UNPLUG_USB', 'STR_STRING_BTN_CANCEL'], []),
    ('main-kit', ['STR_STRING_STATUS_TOP_STRING_1_0', 'STR_STRING_DONOT_UNPLUG_USB', 'STR_STRING_BTN_CANCEL'], []),
    ('staging', ['STR_STRING_INITDLG_STRING', 'STR_STRING_DONOT_UNPLUG_USB', 'STR_STRING_BTN_CANCEL'], []),
    ('guide', ['STR_STRING_INSTALL_GUIDE_TITLE', 'STR_STEING_INSTALL_GUIDE_TXT_TOP',
               'STR_STEING_INSTALL_GUIDE_TXT_MAIN_TOP', 'STR_STEING_INSTALL_GUIDE_TXT_MAIN_CONTENTS_1',
               'STR_STRING_BTN_OK', 'STR_STRING_INSTALL_GUIDE_DOWNLOAD'], []),
    ('guide-no-download', ['STR_STEING_INSTALL_GUIDE_TXT_MAIN_CONTENTS_2', 'STR_STRING_BTN_OK'],
     ['STR_STRING_INSTALL_GUIDE_DOWNLOAD', 'STR_STEING_INSTALL_GUIDE_TXT_MAIN_CONTENTS_1']),
]
SIZES = {'main-driver': [340, 238], 'main-kit': [340, 238], 'staging': [340, 238], 'guide': [450, 290],
         'guide-no-download': [450, 290]}
USER_LANGUAGES = {'eng': '0409', 'german': '0407', 'japan': '0411'}


def set_language_text(path, key, text):
    with open(path, 'rb') as f:
        content = f.read()[2:].decode('utf-16-le')
    changed, count = re.subn(r'(?m)^%s=.*$' % re.escape(key), lambda _: '%s=%s' % (key, text.replace('\\', '\\\\')),
                             content.replace('\r\n', '\n'))
    assert count == 1, key
    with open(path, 'wb') as f:
        f.write(b'\xff\xfe' + changed.replace('\n', '\r\n').encode('utf-16-le'))


def png_size(path):
    with open(path, 'rb') as f:
        head = f.read(24)
    if head[:8] != b'\x89PNG\r\n\x1a\n':
        return None
    return list(struct.unpack('>II', head[16:24]))


@unittest.skipUnless(os.path.isfile(os.path.join(BUILD_DIR, 'sim', 'LookDemo.exe')),
                     'skipped: PLUGSTART_BUILD_DIR names no Windows build with the look demo')
class LanguageSheetTests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix='language-sheet-')
        image = os.path.join(cls.folder, 'image')
        shutil.copytree(os.path.join(BUILD_DIR, 'image'), image)
        tools = os.path.join(image, 'tools')
        for name in os.listdir(tools):
            stem = name[len('lang_AutoRun_'):-len('.opt')]
            if name.startswith('lang_AutoRun_') and stem not in KEPT:
                os.remove(os.path.join(tools, name))
        german = os.path.join(tools, 'lang_AutoRun_german.opt')
        set_language_text(german, 'STR_STRING_BTN_CANCEL', TOO_WIDE_CANCEL)
        set_language_text(german, 'STR_STRING_STATUS_TOP_STRING_2_0', TOO_LONG_STATUS)
        cls.sheet_dir = os.path.join(cls.folder, 'sheet')
        demo = os.path.join(BUILD_DIR, 'sim', 'LookDemo.exe')
        arch = 'win64' if wine.pe_machine(demo) == 'x64' else 'win32'
        cls.lines = []
        languages.make_sheet(image, BUILD_DIR, SCRIPTS_DIR, cls.sheet_dir, os.path.join(cls.folder, 'work'), arch,
                             log=cls.lines.append)
        with open(os.path.join(cls.sheet_dir, 'languages.json'), encoding='utf-8') as f:
            cls.data = json.load(f)
        cls.by_stem = {entry['stem']: entry for entry in cls.data['languages']}

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def test_every_language_of_the_image_with_its_dialogs_and_pictures_in_its_users_locale(self):
        self.assertEqual(sorted(self.by_stem), sorted(KEPT), '\n'.join(self.lines))
        for stem, entry in self.by_stem.items():
            with self.subTest(stem):
                self.assertEqual(entry['problems'], [])
                self.assertEqual(entry['user_language'], USER_LANGUAGES[stem])
                self.assertEqual([d['name'] for d in entry['dialogs']], [name for name, _, _ in DRAWN])
                for dialog in entry['dialogs']:
                    self.assertEqual(png_size(os.path.join(self.sheet_dir, dialog['picture'])), SIZES[dialog['name']])
                    self.assertEqual(dialog['size'], SIZES[dialog['name']])

    def test_each_dialog_state_draws_its_own_texts(self):
        for stem, entry in self.by_stem.items():
            dialogs = {d['name']: {key for t in d['texts'] for key in t['keys']} for d in entry['dialogs']}
            for name, drawn, not_drawn in DRAWN:
                with self.subTest(stem=stem, dialog=name):
                    self.assertEqual(set(drawn) - dialogs[name], set())
                    self.assertEqual(set(not_drawn) & dialogs[name], set())

    def test_the_texts_made_too_wide_and_too_long_are_found_and_no_other(self):
        found = [(m['language'], m['keys'], m['dialogs'], m['text']) for m in self.data['misfits']]
        self.assertEqual(sorted(found), sorted([
            ('german', ['STR_STRING_BTN_CANCEL'], ['main-driver', 'main-kit', 'staging'], TOO_WIDE_CANCEL),
            ('german', ['STR_STRING_STATUS_TOP_STRING_2_0'], ['main-driver'], TOO_LONG_STATUS)]))
        cancel = [t for d in self.by_stem['german']['dialogs'] for t in d['texts'] if t['text'] == TOO_WIDE_CANCEL]
        for text in cancel:  # the button's own width is the room; the text needs more
            self.assertTrue(text['too_wide'])
            self.assertEqual(text['room'][2] - text['room'][0], 94)
            self.assertGreater(text['needed'][0], 94)
        status = [t for d in self.by_stem['german']['dialogs'] for t in d['texts'] if t['text'] == TOO_LONG_STATUS]
        self.assertEqual([(t['too_wide'], t['too_tall'], t['room']) for t in status],
                         [(False, True, [85, 80, 324, 113])])  # wrapped in the small font, a line too many

    def test_the_page_marks_them_in_red_and_shows_in_the_browser(self):
        with open(os.path.join(self.sheet_dir, 'languages.html'), encoding='utf-8') as f:
            page = f.read()
        self.assertEqual(page.count('<tr class="misfit">'), 2 + 2)  # the list at the top, the German table
        self.assertEqual(page.count('<div class="room"'), 4)  # the button on three pictures, the status on one
        if browser.chromium_path() is None:
            self.skipTest('skipped: Chromium is not installed (scripts/setup.sh installs it)')
        broken = os.path.join(self.folder, 'broken-sheet')
        shutil.copytree(self.sheet_dir, broken)
        os.remove(os.path.join(broken, 'pictures', 'japan', 'staging.png'))
        seen, lost = browser.check_pages([os.path.join(self.sheet_dir, 'languages.html'),
                                          os.path.join(broken, 'languages.html')])
        self.assertEqual(seen.problems, [])
        self.assertEqual(seen.pictures, 3 * len(DRAWN))
        self.assertEqual(png_size(seen.screenshot)[0], browser.WINDOW[0])
        self.assertTrue(any('pictures/japan/staging.png' in p for p in lost.problems), lost.problems)


if __name__ == '__main__':
    sys.exit(unittest.main())
