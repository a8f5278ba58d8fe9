"""The language sheet's own parts, without Wine: the demo's pictures turned into PNG files, the
language files found in an image, and the pages made from what the demo measured (a text that
does not fit listed once, marked in red in its rows and framed in red on each picture where it
is drawn; nothing marked when everything fits)."""
import json
import os
import struct
import tempfile
import unittest
import zlib
from html.parser import HTMLParser

from plugin import bitmap, languages, sheet_page


def bmp_bytes(rows, top_down=False):
    """A 24-bit BMP of rows (top to bottom, each a list of (r, g, b))."""
    width, height = len(rows[0]), len(rows)
    stride = (width * 3 + 3) // 4 * 4
    stored = rows if top_down else list(reversed(rows))
    pixels = b''.join(bytes(v for r, g, b in row for v in (b, g, r)).ljust(stride, b'\0') for row in stored)
    header = struct.pack('<IiiHHIIiiII', 40, width, -height if top_down else height, 1, 24, 0, len(pixels), 0, 0, 0, 0)
    return b'BM' + struct.pack('<IHHI', 14 + len(header) + len(pixels), 0, 0, 14 + len(header)) + header + pixels


def png_rows(data):
    """(width, height, rows of RGB bytes) of a PNG without filters, as png_bytes writes it."""
    width, height = struct.unpack('>II', data[16:24])
    at, idat = 8, b''
    while at < len(data):
        length, kind = struct.unpack('>I4s', data[at:at + 8])
        if kind == b'IDAT':
            idat += data[at + 8:at + 8 + length]
        at += 12 + length
    raw = zlib.decompress(idat)
    line = 1 + width * 3
    return width, height, [raw[i * line + 1:(i + 1) * line] for i in range(height)]


class BitmapTests(unittest.TestCase):
    ROWS = [[(255, 0, 0), (0, 255, 0), (0, 0, 255)],
            [(10, 20, 30), (40, 50, 60), (70, 80, 90)]]  # three pixels wide: every row is padded

    def test_a_picture_keeps_its_pixels_and_rows_in_either_order_of_storage(self):
        for top_down in (False, True):
            with tempfile.TemporaryDirectory() as folder:
                bmp, png = os.path.join(folder, 'a.bmp'), os.path.join(folder, 'a.png')
                with open(bmp, 'wb') as f:
                    f.write(bmp_bytes(self.ROWS, top_down))
                self.assertEqual(bitmap.bmp_to_png(bmp, png), (3, 2))
                with open(png, 'rb') as f:
                    width, height, rows = png_rows(f.read())
            self.assertEqual((width, height), (3, 2))
            self.assertEqual(rows, [bytes(v for pixel in row for v in pixel) for row in self.ROWS], top_down)

    def test_what_is_no_24_bit_picture_is_refused(self):
        with tempfile.TemporaryDirectory() as folder:
            for name, data in (('text', b'not a picture at all, not a single pixel of one....................'),
                               ('8-bit', bmp_bytes(self.ROWS)[:28] + struct.pack('<H', 8) + bmp_bytes(self.ROWS)[30:]),
                               ('cut', bmp_bytes(self.ROWS)[:-6])):
                path = os.path.join(folder, name + '.bmp')
                with open(path, 'wb') as f:
                    f.write(data)
                with self.assertRaises(bitmap.BitmapError, msg=name):
                    bitmap.bmp_to_png(path, os.path.join(folder, name + '.png'))


def write(path, data=b''):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)


class ImageLanguagesTests(unittest.TestCase):
    def test_the_language_files_beside_the_program_that_autorun_names(self):
        with tempfile.TemporaryDirectory() as image:
            write(os.path.join(image, 'AUTORUN.INF'), b'[autorun]\r\nopen="setup\\Plugstart.exe"\r\n')
            for name in ('TOOLS/lang_AutoRun_german.opt', 'TOOLS/LANG_AUTORUN_eng.OPT',
                         'TOOLS/lang_AutoRun_chi_sim.opt', 'TOOLS/other.opt', 'TOOLS/lang_AutoRun_german.bak',
                         'lang_AutoRun_root.opt'):
                write(os.path.join(image, 'setup', name))
            write(os.path.join(image, 'tools', 'lang_AutoRun_beside_the_cd_root.opt'))
            folder = languages.program_folder(image, image)
            self.assertEqual(folder, os.path.join(image, 'setup'))
            found = languages.language_files(folder)
        self.assertEqual([(stem, relative) for stem, relative, _ in found],
                         [('chi_sim', 'tools\\lang_AutoRun_chi_sim.opt'), ('eng', 'tools\\LANG_AUTORUN_eng.OPT'),
                          ('german', 'tools\\lang_AutoRun_german.opt')])

    def test_the_kit_type_is_the_program_s_reading_of_itk_type(self):
        for config, kit in ((b'[ITK]\r\nitk_type=2\r\n', 2), (b'[itk]\r\nITK_TYPE = 3\r\n', 3),
                            (b'[ITK]\r\nitk_type=7\r\n', 0), (b'[ITK]\r\nitk_type=one\r\n', 0), (None, 0)):
            with tempfile.TemporaryDirectory() as folder:
                if config is not None:
                    write(os.path.join(folder, 'Config.ini'), config)
                self.assertEqual(languages.kit_type(folder), kit, config)


def text(keys, words, room, needed, too_wide=False, too_tall=False, missing_glyphs=False):
    return {'keys': keys, 'text': words, 'box': room, 'room': room, 'needed': needed, 'control': 0, 'format': 36,
            'font': 'MS Sans Serif', 'drawn_font': 'Liberation Sans', 'font_height': 12, 'font_weight': 400,
            'too_wide': too_wide, 'too_tall': too_tall, 'missing_glyphs': missing_glyphs,
            'fits': not (too_wide or too_tall or missing_glyphs)}


def dialog(name, kind, state, texts):
    return {'name': name, 'dialog': kind, 'state': state, 'picture': 'pictures/x/%s.png' % name,
            'size': [340, 238], 'texts': texts}


def language(stem, title, dialogs, problems=()):
    return {'stem': stem, 'file': 'tools\\lang_AutoRun_%s.opt' % stem, 'title': title, 'locale': 'de_DE.UTF-8',
            'user_language': '0407', 'dialogs': dialogs, 'problems': list(problems)}


CANCEL_TOO_WIDE = text(['STR_STRING_BTN_CANCEL'], 'Vorgang vollständig abbrechen', [123, 193, 217, 217], [150, 12],
                       too_wide=True)
CANCEL_FITS = text(['STR_STRING_BTN_CANCEL'], 'Cancel', [143, 193, 217, 217], [34, 12])
STATUS_TOO_TALL = text(['STR_STRING_STATUS_TOP_STRING_2_0'], 'Der Treiber ... drei Zeilen', [85, 80, 324, 113],
                       [238, 36], too_tall=True)
UNPLUG = text(['STR_STRING_DONOT_UNPLUG_USB'], 'Bitte nicht trennen.', [50, 147, 300, 188], [120, 12])
GREEK_BOXES = text(['STR_STRING_INITDLG_STRING'], 'Προετοιμασία', [85, 85, 340, 238], [120, 17], missing_glyphs=True)


class ElementsByClass(HTMLParser):
    """Every element of a page with its classes, and the text inside the elements of one class."""

    def __init__(self, page):
        super().__init__()
        self.classes = []
        self.figcaptions = []
        self._in_caption = False
        self.feed(page)

    def handle_starttag(self, tag, attrs):
        self.classes.append((tag, (dict(attrs).get('class') or '').split(), dict(attrs)))
        if tag == 'figcaption':
            self._in_caption = True
            self.figcaptions.append('')

    def handle_endtag(self, tag):
        if tag == 'figcaption':
            self._in_caption = False

    def handle_data(self, data):
        if self._in_caption:
            self.figcaptions[-1] += data

    def count(self, tag, css):
        return sum(1 for t, classes, _ in self.classes if t == tag and css in classes)


class SheetPageTests(unittest.TestCase):
    def make(self, entries):
        data = sheet_page.sheet_data('/images/maker', 1, entries, 12.0)
        with tempfile.TemporaryDirectory() as folder:
            sheet_page.write_sheet(data, folder)
            pages = {}
            for name in ('languages.html', 'languages.md', 'languages.json'):
                with open(os.path.join(folder, name), encoding='utf-8') as f:
                    pages[name] = f.read()
        return data, pages

    def test_a_text_too_wide_in_three_dialogs_is_listed_once_and_framed_on_each_picture(self):
        german = language('german', 'German', [
            dialog('main-driver', 'main', 'driver setup', [STATUS_TOO_TALL, UNPLUG, CANCEL_TOO_WIDE]),
            dialog('main-kit', 'main', 'kit setup', [UNPLUG, CANCEL_TOO_WIDE]),
            dialog('staging', 'staging', 'copying to the PC', [UNPLUG, CANCEL_TOO_WIDE])])
        english = language('eng', 'English', [dialog('main-driver', 'main', 'driver setup', [UNPLUG, CANCEL_FITS])])
        data, pages = self.make([english, german])
        self.assertEqual([(m['title'], m['keys'], m['dialogs'], m['why']) for m in data['misfits']], [
            ('German', ['STR_STRING_STATUS_TOP_STRING_2_0'], ['main-driver'], 'needs 36 px of height, has 33'),
            ('German', ['STR_STRING_BTN_CANCEL'], ['main-driver', 'main-kit', 'staging'],
             'needs 150 px of width, has 94')])
        self.assertEqual(json.loads(pages['languages.json'])['misfits'], data['misfits'])
        page = ElementsByClass(pages['languages.html'])
        self.assertEqual(page.count('tr', 'misfit'), 2 + 2)  # the list at the top, and the German table
        self.assertEqual(page.count('div', 'room'), 4)         # the Cancel button on 3 pictures, the status on 1
        self.assertEqual(page.count('div', 'needed'), 4)
        self.assertEqual(page.count('p', 'bad'), 1)
        framed = [a['style'] for t, classes, a in page.classes if t == 'div' and 'room' in classes]
        self.assertIn('left:123px;top:193px;width:94px;height:24px', framed)
        # Each picture is labelled with its language.
        self.assertEqual(sorted(page.figcaptions), sorted(
            ['English · main dialog, driver setup', 'German · main dialog, driver setup',
             'German · main dialog, kit setup', 'German · staging dialog, copying to the PC']))
        self.assertIn('| German | main-driver, main-kit, staging | STR_STRING_BTN_CANCEL | Vorgang vollständig '
                      'abbrechen | needs 150 px of width, has 94 |', pages['languages.md'])

    def test_everything_fits_nothing_is_red(self):
        data, pages = self.make([language('eng', 'English', [
            dialog('main-driver', 'main', 'driver setup', [UNPLUG, CANCEL_FITS])])])
        page = ElementsByClass(pages['languages.html'])
        self.assertEqual((data['misfits'], data['problems']), ([], []))
        self.assertEqual([page.count('tr', 'misfit'), page.count('div', 'room'), page.count('p', 'bad')], [0, 0, 0])
        self.assertIn('Every text of the 1 language fits where it is drawn', pages['languages.html'])

    def test_missing_characters_and_a_language_that_could_not_be_measured_are_problems_of_the_page(self):
        greek = language('greek', 'Greek', [dialog('staging', 'staging', 'copying to the PC', [GREEK_BOXES])])
        bulgarian = language('bulgarian', 'Bulgarian', [], ['the demo wrote no measures (stopped after 180 s)'])
        data, pages = self.make([bulgarian, greek])
        self.assertEqual([m['why'] for m in data['misfits']],
                         ['the font drawn with (Liberation Sans) lacks some of its characters'])
        self.assertEqual(data['problems'], ['Bulgarian: the demo wrote no measures (stopped after 180 s)',
                                            'Bulgarian: no dialog was measured'])
        page = ElementsByClass(pages['languages.html'])
        self.assertEqual(page.count('li', 'problem'), 2)
        self.assertEqual(page.count('p', 'bad'), 1)


if __name__ == '__main__':
    unittest.main()
