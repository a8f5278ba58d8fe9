"""The page of a PC matrix, from its data alone: matrix.json (the data), matrix.md and matrix.html
(a row per cell: the outcome in one sentence, what the user saw, what was installed, the device at
the end, the time, a thumbnail of the key screenshot and a link to the cell's own report). Cells
whose outcome is not what that PC should get are marked and counted at the top."""
import json

from . import observed
from . import report_files
from .markup import Markup, code_span, element, join, md_cell, md_link, md_text, one_line

STYLE = """
body{font-family:sans-serif;margin:1.5em 2em;color:#222}
h1{font-size:1.35em;margin:0 0 .3em}
.summary{font-size:1.1em;padding:.5em .9em;border-left:6px solid #3a7d44;background:#f0f7f1;margin:.4em 0 1em}
.summary.marked{border-color:#c62828;background:#fdf0f0}
table{border-collapse:collapse}td,th{border:1px solid #bbb;padding:3px 6px;text-align:left;vertical-align:top;
  font-size:88%}th{background:#eee}tr.unexpected td{background:#fdecea}tr.skipped td{background:#f4f4f4;color:#666}
td.mark{font-weight:bold;white-space:nowrap}tr.unexpected td.mark{color:#b71c1c}tr.expected td.mark{color:#2e7d32}
ul{margin:0;padding-left:1.1em}img{border:1px solid #888;max-width:160px}
td{min-width:5em}td.outcome{min-width:22em}td.mark,td.time{min-width:0}td.name,td.time{white-space:nowrap}
"""


def counts(data):
    cells = data['cells']
    skipped = [c for c in cells if c['outcome'] == 'skipped']
    unexpected = [c for c in cells if c['unexpected'] and c['outcome'] != 'skipped']
    return {'cells': len(cells), 'unexpected': len(unexpected), 'skipped': len(skipped),
            'as_expected': len(cells) - len(unexpected) - len(skipped)}


def headline(data):
    """'12 cells: 11 as expected, 1 unexpected, 0 skipped'."""
    n = data['counts']
    text = '%d cells: %d as expected, %d unexpected, %d skipped' % (n['cells'], n['as_expected'], n['unexpected'],
                                                                     n['skipped'])
    if data.get('stopped'):
        text += '; %s, %d not started' % (data['stopped'], len(data.get('not_started', [])))
    return text


def mark_of(cell):
    if cell['outcome'] == 'skipped':
        return 'skipped'
    return 'UNEXPECTED' if cell['unexpected'] else 'as expected'


def pc_text(cell):
    """'Windows 7, 64-bit, installed, limited user' or 'Windows 10, fault post-ok'."""
    c = cell['cell']
    parts = ['Windows %s' % c['windows']] + (['64-bit'] if c['bits'] == 64 else [])
    if c.get('fault'):
        parts.append('fault ' + c['fault'])
    else:
        parts += [c['state'], 'limited user' if c['limited'] else 'administrator']
    return ', '.join(parts)


def time_text(cell):
    if cell.get('product_seconds') is None:
        return '-'
    return '%s (cell %s)' % (observed.format_seconds(cell['product_seconds']), observed.format_seconds(cell['seconds']))


def outcome_text(cell):
    if cell['outcome'] == 'skipped':
        return 'Skipped: %s' % cell.get('skipped')
    return cell['verdict']


def markdown(data):
    lines = ['# PC matrix: %s' % md_text(headline(data)), '', 'Image: %s (kit type %s), %s in all.' % (
        code_span(one_line(data['image'])), md_text(data['kit_type']), observed.format_seconds(data['seconds'])), '']
    lines += ['- ' + md_text(note) for note in data['notes']] + ([''] if data['notes'] else [])
    marked = [c for c in data['cells'] if mark_of(c) == 'UNEXPECTED']
    if marked:
        lines += ['## Unexpected', '']
        lines += ['- **%s** (%s): %s' % (md_text(c['name']), md_text(pc_text(c)), md_text('; '.join(c['unexpected'])))
                  for c in marked]
        lines.append('')
    lines += ['## Cells', '', '| cell | PC | should get | outcome | the user saw | last status | installed | device '
              '| time | report |', '|' + '---|' * 10]
    for c in data['cells']:
        outcome = md_cell(outcome_text(c))
        if c['unexpected']:
            outcome += ' **(%s)**' % md_cell('; '.join(c['unexpected']))
        cells = [md_cell(mark_of(c) + ': ' + c['name']), md_cell(pc_text(c)), md_cell(c['expected']), outcome,
                 md_cell('; '.join(c['boxes']) or 'no box'), md_cell(c['last_status']), md_cell(c['installed']),
                 md_cell(c['device']), md_cell(time_text(c)), md_link('report', c['report']) if c.get('report') else '-']
        lines.append('| ' + ' | '.join(cells) + ' |')
    return '\n'.join(lines) + '\n'


def html_page(data):
    n = data['counts']
    head = element('head', Markup('<meta charset="utf-8">'), element('title', 'PC matrix: ' + headline(data)),
                   element('style', Markup(STYLE)))
    page = ['<!DOCTYPE html><html>' + head + '<body>',
            element('h1', 'PC matrix'),
            element('p', headline(data), class_='summary marked' if n['unexpected'] else 'summary', id='summary'),
            element('p', 'Image: ', element('code', data['image']), ' (kit type %s), %s in all.' % (
                data['kit_type'], observed.format_seconds(data['seconds'])))]
    if data['notes']:
        page.append(element('ul', *[element('li', note) for note in data['notes']], class_='notes'))
    header = element('tr', *[element('th', h) for h in (
        '', 'cell', 'PC', 'should get', 'outcome', 'the user saw', 'last status', 'installed', 'device', 'time',
        'key screenshot')])
    rows = []
    for c in data['cells']:
        mark = mark_of(c)
        css = {'UNEXPECTED': 'unexpected', 'skipped': 'skipped'}.get(mark, 'expected')
        outcome = [outcome_text(c)]
        if c['unexpected']:
            outcome.append(element('ul', *[element('li', p) for p in c['unexpected']], class_='why'))
        name = element('a', c['name'], href=c['report']) if c.get('report') else c['name']
        picture = (element('a', element('img', src=c['thumbnail'], alt='the key screenshot of ' + c['name']),
                           href=c['report']) if c.get('thumbnail') else 'no window shown')
        boxes = element('ul', *[element('li', b) for b in c['boxes']]) if c['boxes'] else 'no box'
        rows.append(element('tr', element('td', mark, class_='mark'), element('td', name, class_='name'),
                            element('td', pc_text(c)), element('td', c['expected']),
                            element('td', *outcome, class_='outcome'), element('td', boxes),
                            element('td', c['last_status']), element('td', c['installed']), element('td', c['device']),
                            element('td', time_text(c), class_='time'), element('td', picture),
                            class_=css, id=c['name']))
    page.append(element('table', join([header] + rows, '\n')) + Markup('</body></html>'))
    return '\n'.join(page) + '\n'


def write_page(data, folder):
    """Writes matrix.json, matrix.md and matrix.html into folder (a report folder, or a path of one);
    returns the data with its counts."""
    data = dict(data, counts=counts(data))
    if not isinstance(folder, report_files.ReportFolder):
        folder = report_files.ReportFolder(folder)
    for name, text in (('matrix.json', json.dumps(data, indent=1, ensure_ascii=False)), ('matrix.md', markdown(data)),
                       ('matrix.html', html_page(data))):
        folder.write(name, text)
    return data
