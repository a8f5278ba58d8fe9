"""The language sheet's pages: languages.json (the data, for tests), languages.md and
languages.html, where each language's dialogs stand side by side as the program painted them,
each picture labelled with its language, and every text that does not fit (too wide or too tall
for the room its dialog gives it, or drawn with missing characters) is marked in red on its
picture and in the tables, and listed at the top."""
import json
import os

from . import report_files
from .markup import Markup, attributes, element, join, md_cell, md_picture, md_text

DIALOG_NAMES = {'main': 'main dialog', 'staging': 'staging dialog', 'guide': 'PC-suite guide'}

STYLE = """
body{font-family:sans-serif;margin:1.5em 2em;color:#222}
h1{margin:0 0 .2em}.subtitle{color:#666;margin:0 0 1em}
.verdict{font-size:1.15em;padding:.5em .8em;border-left:6px solid #2e7d32;background:#eef6ee}
.verdict.bad{border-color:#c62828;background:#fdf0f0}
nav a{margin-right:.7em;white-space:nowrap}
section.language{border-top:2px solid #ccd;margin-top:1.5em;padding-top:.3em}
h2 small{font-weight:normal;color:#666;font-size:.65em}
.dialogs{display:flex;flex-wrap:wrap;gap:1em;align-items:flex-start}
figure{margin:0}figcaption{font-size:.9em;margin-top:.2em}
.shot{position:relative}.shot img{display:block;border:1px solid #888}
.room{position:absolute;outline:2px solid #e00000;outline-offset:1px}
.needed{position:absolute;outline:2px dashed #e00000;outline-offset:1px}
table{border-collapse:collapse;margin:.6em 0}
td,th{border:1px solid #bbb;padding:2px 6px;text-align:left;vertical-align:top;font-size:90%}
th{background:#eee}
tr.misfit td,li.misfit{color:#b00000;background:#fde8e8}.misfit .why{font-weight:bold}
.problem{color:#b00000}
"""


def dialog_title(dialog):
    return '%s, %s' % (DIALOG_NAMES.get(dialog['dialog'], dialog['dialog']), dialog['state'])


def why(text):
    """Why a text does not fit, in words ('' when it fits)."""
    room_width = text['room'][2] - text['room'][0]
    room_height = text['room'][3] - text['room'][1]
    reasons = []
    if text['too_wide']:
        reasons.append('needs %d px of width, has %d' % (text['needed'][0], room_width))
    if text['too_tall']:
        reasons.append('needs %d px of height, has %d' % (text['needed'][1], room_height))
    if text['missing_glyphs']:
        reasons.append('the font drawn with (%s) lacks some of its characters' % text['drawn_font'])
    return '; '.join(reasons)


def key_text(text):
    return ', '.join(text['keys']) or '(no key of the language file)'


def text_rows(entry):
    """(text, the dialogs where it is drawn) of a language, each text once (a text that fits in one
    dialog and not in another counts once for each), in the order drawn."""
    rows = {}
    for dialog in entry['dialogs']:
        for text in dialog['texts']:
            rows.setdefault((text['text'], why(text)), (text, []))[1].append(dialog['name'])
    return list(rows.values())


def misfits_of(entry):
    """The texts of a language that do not fit, each once, with the dialogs where it is drawn."""
    return [{'language': entry['stem'], 'title': entry['title'], 'dialogs': dialogs, 'keys': text['keys'],
             'text': text['text'], 'why': why(text)} for text, dialogs in text_rows(entry) if not text['fits']]


def sheet_data(image, kit, entries, seconds):
    """The sheet's data: the languages as measured, and apart from them the texts that do not fit
    and every problem."""
    misfits = []
    problems = []
    for entry in entries:
        problems += ['%s: %s' % (entry['title'], problem) for problem in entry['problems']]
        if not entry['dialogs']:
            problems.append('%s: no dialog was measured' % entry['title'])
        misfits += misfits_of(entry)
    return {'image': os.path.abspath(image), 'kit_type': kit, 'seconds': round(seconds, 1), 'languages': entries,
            'misfits': misfits, 'problems': problems}


def verdict(data):
    count = len(data['languages'])
    if data['misfits']:
        return '%d text%s in %d of %d languages do%s not fit where %s drawn (marked in red below)' % (
            len(data['misfits']), '' if len(data['misfits']) == 1 else 's',
            len({m['language'] for m in data['misfits']}), count, 'es' if len(data['misfits']) == 1 else '',
            'it is' if len(data['misfits']) == 1 else 'they are')
    return 'Every text of the %d language%s fits where it is drawn' % (count, '' if count == 1 else 's')


def write_sheet(data, folder):
    """Writes languages.json, languages.md and languages.html into folder (a report folder, or a
    path of one; the pictures are there already); returns the path of languages.html."""
    if not isinstance(folder, report_files.ReportFolder):
        folder = report_files.ReportFolder(folder)
    folder.write('languages.json', json.dumps(data, indent=1, ensure_ascii=False))
    folder.write('languages.md', '\n'.join(markdown_lines(data)) + '\n')
    return folder.write('languages.html', '\n'.join(html_lines(data)) + '\n')


def size_text(rect):
    return '%d × %d' % (rect[2] - rect[0], rect[3] - rect[1])


def font_text(text):
    weight = 'bold' if text['font_weight'] >= 700 else 'normal'
    drawn = ' (drawn with %s)' % text['drawn_font'] if text['drawn_font'] and text['drawn_font'] != text['font'] else ''
    return '%s %d px %s%s' % (text['font'], abs(text['font_height']), weight, drawn)


def markdown_lines(data):
    md = ['# Language sheet', '', '*%s* (%s)' % (md_text(verdict(data)), md_text(data['image'])), '']
    md += ['## Texts that do not fit', '']
    if data['misfits']:
        md += ['| language | where | key | text | why |', '|---|---|---|---|---|']
        md += ['| %s | %s | %s | %s | %s |' % tuple(md_cell(v) for v in (
            m['title'], ', '.join(m['dialogs']), ', '.join(m['keys']), m['text'], m['why'])) for m in data['misfits']]
    else:
        md.append('(none)')
    if data['problems']:
        md += ['', '## Problems', ''] + ['- ' + md_text(p) for p in data['problems']]
    for entry in data['languages']:
        md += ['', '## %s' % md_text('%s (%s, measured in %s)' % (entry['title'], entry['file'], entry['locale'])), '']
        for dialog in entry['dialogs']:
            if dialog['picture']:
                md += [md_picture('%s: %s' % (entry['title'], dialog_title(dialog)),
                                  dialog['picture'].replace(os.sep, '/'))]
        md += ['', '| key | text | where | font | room | needs | fits |', '|---|---|---|---|---|---|---|']
        for text, dialogs in text_rows(entry):
            cells = [md_cell(v) for v in (key_text(text), text['text'], ', '.join(dialogs), font_text(text),
                                          size_text(text['room']), '%d × %d' % tuple(text['needed']))]
            cells.append('yes' if text['fits'] else '**no: %s**' % md_cell(why(text)))
            md.append('| %s |' % ' | '.join(cells))
    return md


def anchor(entry):
    return 'lang-' + entry['stem']


def dialog_links(stem, dialogs):
    """Links to the pictures of a language's dialogs."""
    return join([element('a', d, href='#%s-%s' % (stem, d)) for d in dialogs], ', ')


def picture_html(entry, dialog):
    """A dialog's picture at its own size, labelled with its language, with each text that does
    not fit framed in red: its room solid, the size it needs dashed."""
    width, height = dialog['size']
    label = '%s: %s' % (entry['title'], dialog_title(dialog))
    marks = []
    for text in dialog['texts']:
        if text['fits']:
            continue
        left, top, right, bottom = text['room']
        title = '%s does not fit: %s' % (key_text(text), why(text))
        marks.append(element('div', class_='room', style='left:%dpx;top:%dpx;width:%dpx;height:%dpx' % (
            left, top, right - left, bottom - top), title=title))
        marks.append(element('div', class_='needed', style='left:%dpx;top:%dpx;width:%dpx;height:%dpx' % (
            left, top, text['needed'][0], text['needed'][1]), title=title))
    picture = (element('img', src=dialog['picture'].replace(os.sep, '/'), width=width, height=height, alt=label)
               if dialog['picture'] else element('p', '(no picture)', class_='problem'))
    return element('figure', element('div', picture, *marks, class_='shot', style='width:%dpx;height:%dpx' % (
        width + 2, height + 2)), element('figcaption', element('b', entry['title']), ' · ' + dialog_title(dialog)),
        id='%s-%s' % (entry['stem'], dialog['name']))


def language_html(entry):
    faces = sorted({t['drawn_font'] for d in entry['dialogs'] for t in d['texts'] if t['drawn_font']})
    details = '%s · measured in %s%s%s' % (
        entry['file'], entry['locale'],
        ' (Windows language %s)' % entry['user_language'] if entry['user_language'] else '',
        ' · drawn with %s' % ', '.join(faces) if faces else '')
    page = [Markup('<section%s>' % attributes(class_='language', id=anchor(entry)))
            + element('h2', entry['title'] + ' ', element('small', details))]
    page += [element('p', p, class_='problem') for p in entry['problems']]
    page.append(element('div', *[picture_html(entry, d) for d in entry['dialogs']], class_='dialogs'))
    rows = text_rows(entry)
    if rows:
        page.append(Markup('<table class="texts">') + element('tr', *[element('th', h) for h in (
            'key', 'text', 'where', 'font', 'room', 'needs', 'fits')]))
        for text, dialogs in rows:
            verdict_cell = 'yes' if text['fits'] else element('span', 'no: ' + why(text), class_='why')
            page.append(element('tr', element('td', key_text(text)), element('td', text['text']),
                                element('td', dialog_links(entry['stem'], dialogs)), element('td', font_text(text)),
                                element('td', size_text(text['room'])),
                                element('td', '%d × %d' % (text['needed'][0], text['needed'][1])),
                                element('td', verdict_cell), class_='fits' if text['fits'] else 'misfit'))
        page.append('</table>')
    page.append('</section>')
    return page


def html_lines(data):
    bad = bool(data['misfits'] or data['problems'])
    head = element('head', Markup('<meta charset="utf-8">'), element('title', 'Language sheet: ' + verdict(data)),
                   element('style', Markup(STYLE)))
    page = ['<!DOCTYPE html><html lang="en">' + head + '<body>',
            element('h1', 'Language sheet'),
            element('p', 'The dialogs of %s in each of its %d languages, as the program paints them, every text '
                         'measured against the room its dialog gives it (kit type %d; made in %.0f s).' % (
                             data['image'], len(data['languages']), data['kit_type'], data['seconds']),
                    class_='subtitle'),
            element('p', verdict(data) + '.', class_='verdict bad' if bad else 'verdict'),
            element('h2', 'Texts that do not fit', id='misfits')]
    if data['misfits']:
        page.append(Markup('<table class="misfits">') + element('tr', *[element('th', h) for h in (
            'language', 'where', 'key', 'text', 'why')]))
        for m in data['misfits']:
            page.append(element('tr', element('td', element('a', m['title'], href='#lang-' + m['language'])),
                                element('td', dialog_links(m['language'], m['dialogs'])),
                                element('td', ', '.join(m['keys'])), element('td', m['text']),
                                element('td', m['why'], class_='why'), class_='misfit'))
        page.append('</table>')
    else:
        page.append(element('p', '(none)'))
    if data['problems']:
        page.append(element('h2', 'Problems') + element('ul', *[element('li', p, class_='problem')
                                                                for p in data['problems']]))
    page.append(element('nav', join([element('a', e['title'], href='#' + anchor(e)) for e in data['languages']], ' ')))
    for entry in data['languages']:
        page += language_html(entry)
    page.append('</body></html>')
    return page
