"""The report of a run: report.md and report.html (screenshots inline) and report.json (the
data the end-to-end tests read), and the short summary for the terminal."""
import base64
import json
import os
import subprocess

from . import observed
from . import report_files
from . import timeline
from .markup import Markup, element, join, md_code_block, md_picture, md_table, md_text, one_line

# The device's log is written by the simulated device inside the program's process: what the PC
# says it sent, not what a device outside saw.
COMMANDS_TITLE = 'Commands the device received (its log, written inside the PC: the PC\'s own account)'
OUTCOME_TEXT = {'finished': 'finished', 'timed-out': 'stopped at the time-out', 'error': 'could not run',
                'skipped': 'skipped', 'stopped': 'stopped (by a signal)'}


def exit_text(code):
    return 'still running at the end' if code is None else 'exit %s' % code


def summary_lines(result):
    run = result.get('run') or {}
    lines = ['outcome: %s' % OUTCOME_TEXT.get(result['outcome'], result['outcome'])]
    if 'sandbox' in result.get('settings', {}):
        lines.append('sandbox: %s' % ('yes (bubblewrap)' if result['settings']['sandbox'] else
                                      'NONE: the PC ran on the host (--no-sandbox)'))
    if result.get('error'):
        lines.append('error: %s' % result['error'])
    if run:
        lines.append('duration: %.1f s watched (the last program ended at %s)' % (
            run['duration'], observed.format_seconds(observed.product_end(run))))
        # Texts of the PC on one line each: the line ends below are the summary's own.
        lines.append('message boxes: %d%s' % (len(run['boxes']), ''.join(
            '\n  - "%s": %s -> %s' % (one_line(b['caption']), one_line(b['text'][:100]),
                                      (b['answers'] or [{}])[-1].get('button'))
            for b in run['boxes'])))
        lines.append('device commands: %d (%s)' % (len(run['commands']), ', '.join(
            one_line('%s %s->%s' % (c['drive'], c['meaning'], c['result'])) for c in run['commands'])))
        started = [p for p in run['processes']]
        lines.append('programs started: %d%s' % (len(started), ''.join(
            '\n  - %s (%s): %s' % (one_line(p['name']), exit_text(p['code']), one_line(p['command']))
            for p in started)))
    for letter, state in sorted((result.get('device_state') or {}).items()):
        lines.append('device %s: %s' % (letter, state.get('mode', '?')))
    if result.get('registry'):
        lines.append('registry: %d keys added, %d values changed, %d keys removed' % (
            len(result['registry']['added']), len(result['registry']['changed']), len(result['registry']['removed'])))
    if result.get('files'):
        lines.append('drive C: %d files and folders added, %d changed, %d removed' % (
            len(result['files']['added']), len(result['files']['changed']), len(result['files']['removed'])))
    if result.get('own_files'):
        own = result['own_files']
        lines.append('the run\'s own files (simulation, robot, trace): %d' % (
            len(own['added']) + len(own['changed']) + len(own['removed'])))
    return lines


def terminal_lines(result, report_path):
    """What the terminal shows at the end of a run: the summary, where the report is, and last
    the verdict."""
    return summary_lines(result) + ['report: %s (and report.md, report.json beside it)' % report_path,
                                    '', result.get('verdict', '')]


def windows_text(settings):
    """'10 (64-bit, the 32-bit programs under WOW64; reports Microsoft Windows 10.0.19043)'."""
    notes = []
    if settings.get('arch') == 'win64':
        notes.append('64-bit, the 32-bit programs under WOW64' if settings.get('wow64') else '64-bit')
    if settings.get('reported_version'):
        notes.append('reports ' + settings['reported_version'])
    return settings['windows'] + (' (%s)' % '; '.join(notes) if notes else '')


def _setting_rows(result):
    """(setting, value) rows of the run's table."""
    s = result['settings']
    program = result.get('program') or {}
    rows = [('image', s['image']),
            ('program (autorun.inf)', '%s (%s)' % (program['name'], program['entry']) if program.get('entry')
             else program.get('name', '-')),
            ('Windows', windows_text(s)), ('PC state', s['state']),
            ('limited user', 'yes' if s['limited_user'] else 'no'),
            ('device reply', ' '.join([str(s['reply'][0])] + s['reply'][1]) if s['reply'] else 'the image\'s'),
            ('message-box answers', ', '.join([s['answer']['default']] + ['%s=%s' % tuple(r)
                                                                          for r in s['answer']['rules']])),
            ('time-out', '%d s' % s['timeout'])]
    if s.get('config'):
        rows.append(('config.ini changes', ', '.join('%s/%s=%s' % (sec, k, v) for sec, keys in
                                                     s['config'].items() for k, v in keys.items())))
    if s.get('programs_script'):
        rows.append(('stand-ins script', ', '.join('[%s] %s=%s' % (sec, k, v) for sec, keys in
                                                   s['programs_script'].items() for k, v in keys.items())))
    return rows


def _box_rows(run):
    """Rows of the message boxes' table, each with the robot's answers."""
    return [(b['number'], '%.2f' % b['t'], b['caption'], b['text'] or '(the PC-suite guide)', b['owner'] or '(none)',
             b['process'], b['buttons'], '; '.join('%s (%s%s)' % (a['button'], a['reason'],
                                                                   ', ' + a['note'] if a['note'] else '')
                                                   for a in b['answers']) or 'not answered')
            for b in run['boxes']]


def _registry_rows(result):
    """(change, key, values) rows of what the product changed in the registry."""
    registry = result.get('registry') or {'added': [], 'changed': [], 'removed': []}
    rows = []
    for added in registry['added']:
        values = added['values']
        rows.append(('added', added['key'], '; '.join('%s=%s' % kv for kv in sorted(values.items()))[:600]))
    for changed in registry['changed']:
        rows.append(('changed', changed['key'], '%s: %s -> %s' % (changed['name'], changed['old'], changed['new'])))
    for removed in registry['removed']:
        rows.append(('removed', removed, ''))
    return rows


def _sections(result, shots_rel):
    """(title, kind, content) of the report in order; kind: 'text', 'table', 'list', 'code', 'shots'."""
    run = result.get('run') or {}
    sections = [('The run', 'table', (['setting', 'value'], _setting_rows(result)))]
    sections.append(('Summary', 'list', summary_lines(result)))
    if result.get('notes'):
        sections.append(('Notes', 'list', result['notes']))
    for prep in result.get('prepared_by') or []:
        sections.append(('How the PC was prepared: %s' % prep['label'], 'table', (
            ['time (s)', 'source', 'what happened'],
            [('%.2f' % e['t'], e['source'], e['text']) for e in prep['events'] if e['source'] != 'trace'])))
    if not run:
        return sections
    # The program's own steps have a table of their own below.
    sections.append(('Timeline (seconds since the plug-in)', 'table', (
        ['time (s)', 'source', 'what happened'],
        [('%.2f' % e['t'], e['source'], e['text']) for e in run['events'] if e['source'] != 'trace'])))
    sections.append(('Steps of the program (its trace: the PC\'s own account)', 'table',
                     (['time (s)', 'step'], [('%.2f' % t['t'], t['line']) for t in run['trace']
                                             if t['line'].startswith(('Start :', 'End :', '[', '===='))])))
    sections.append(('Message boxes', 'table', (
        ['#', 'time (s)', 'caption', 'text', 'owner', 'process', 'buttons', 'answer'], _box_rows(run))))
    sections.append((COMMANDS_TITLE, 'table', (
        ['time (s)', 'drive', 'command', 'meaning', 'length', 'sent by', 'result'],
        [('%.2f' % c['t'], c['drive'], c['cdb'], c['meaning'], c['length'], c['process'], c['result'])
         for c in run['commands']])))
    device_rows = [(letter, ', '.join('%s=%s' % kv for kv in sorted(state.items())))
                   for letter, state in sorted(result['device_state'].items())]
    sections.append(('Device state at the end', 'table', (['drive', 'state'], device_rows)))
    staging = result.get('staging')
    sections.append(('Staging folder', 'list', staging_lines(staging)))
    sections.append(('Programs started', 'table', (
        ['started (s)', 'ended (s)', 'program', 'command line', 'exit code'],
        [('%.2f' % p['start'], '%.2f' % p['end'] if p['end'] is not None else 'still running at the end',
          p['name'], p['command'], p['code'] if p['code'] is not None else '-') for p in run['processes']])))
    sections.append(('What the stand-ins did (programs.log: the PC\'s own account)', 'table', (
        ['time (s)', 'program', 'action', 'detail'],
        [('%.2f' % a['t'], a['program'], a['action'], a['detail']) for a in run['programs']])))
    sections.append(('Exit codes', 'table', (
        ['what', 'exit code'],
        [('the start from %s: (start /wait of the autorun program)' % l['drive'], l['code']) for l in run['launchers']]
        + [('%s (pid %s)' % (p['name'], p['pid']), exit_text(p['code'])) for p in run['processes']])))
    sections.append(('Registry: what the product changed', 'table',
                     (['change', 'key', 'values'], _registry_rows(result))))
    files = result.get('files') or {'added': [], 'changed': [], 'removed': []}
    sections.append(('Drive C: what the product changed', 'table', (['change', 'path', 'size'],
                                                                file_rows(files, staging_path(result)))))
    own = result.get('own_files')
    if own:
        sections.append(('What the run itself added (the simulation, the robot, the trace)', 'list',
                         own_file_lines(own)))
    sections.append(('Screenshots', 'shots', [(shot['t'], shot['reason'], shots_rel(shot['file']))
                                             for shot in run['screenshots']]))
    return sections


def staging_lines(staging):
    """The staging folder's section: the folder, its files, and what was not listed and why."""
    if not staging:
        return ['no copy of the program was started on the PC']
    return ['folder: %s' % staging['folder']] + staging['files'] + (
        [staging['unlisted']] if staging.get('unlisted') else [])


def staging_path(result):
    """The staging folder as a path of drive C: in the file table ('users/.../R/'), or None."""
    folder = (result.get('staging') or {}).get('folder') or ''
    if not folder[1:3] == ':\\':
        return None
    return folder[3:].replace('\\', '/').rstrip('/') + '/'


def file_rows(files, staging):
    """The rows of the drive C: table. The files of the staging folder stand in one row: the
    staging folder's section lists them."""
    in_staging = [f for f in files['added'] if staging and f['path'].lower().startswith(staging.lower())
                  and f['path'].lower() != staging.lower()]
    rows = []
    for f in files['added']:
        if f in in_staging:
            continue
        size = f['size'] if f['size'] >= 0 else 'folder'
        if in_staging and f['path'].lower() == staging.lower():
            count = sum(1 for g in in_staging if g['size'] >= 0)
            size = 'the staging folder: {} files, {:,} bytes (listed above)'.format(
                count, sum(g['size'] for g in in_staging if g['size'] >= 0))
        rows.append(('added', f['path'], size))
    rows += [('changed', f['path'], '%s -> %s bytes' % (f['old_size'], f['new_size'])) for f in files['changed']]
    rows += [('removed', p, '') for p in files['removed']]
    return rows


def own_file_lines(own):
    lines = ['%s (%s)' % (f['path'], 'folder' if f['size'] < 0 else '%d bytes' % f['size']) for f in own['added']]
    lines += ['%s (changed)' % f['path'] for f in own['changed']]
    lines += ['%s (removed)' % p for p in own['removed']]
    return lines or ['(none)']


def write_report(result, report_dir):
    """Writes report.md, report.html and report.json into report_dir (screenshots copied beside
    them), replacing what the last report wrote there and nothing else (report_files); returns the
    path of report.html."""
    folder = report_files.open_cleared(report_dir)
    run = result.get('run') or {}
    copied = {}
    for shot in run.get('screenshots', []):
        copied[shot['file']] = folder.copy('screenshots/' + os.path.basename(shot['file']), shot['file'])
    for box in run.get('boxes', []):
        if box.get('screenshot') in copied:
            box['screenshot'] = copied[box['screenshot']]
    for shot in run.get('screenshots', []):
        shot['file'] = copied.get(shot['file'], shot['file'])

    def rel(path):
        return os.path.relpath(path, folder.path)

    folder.write('report.json', json.dumps(result, indent=1, ensure_ascii=False))
    sections = _sections(result, rel)
    folder.write('report.md', '\n'.join(markdown_lines(result, sections)))
    path = folder.write('report.html', '\n'.join(html_lines(result, sections, folder.path)))
    folder.record()
    return path


def title_of(result):
    return 'Plug-in run report: %s' % OUTCOME_TEXT.get(result['outcome'], result['outcome'])


def markdown_lines(result, sections):
    """report.md: the verdict first, then the timeline as text, then the sections. Every text of the
    run is inert there (markup.md_text)."""
    md = ['# ' + md_text(result.get('verdict', '')), '', '*%s*' % md_text(title_of(result)), '']
    picture = timeline.text_timeline(result)
    if picture:
        md += ['## At a glance', ''] + md_code_block(picture) + ['']
    for title, kind, content in sections:
        md += ['## ' + md_text(title), '']
        if kind == 'table':
            header, rows = content
            md += md_table(header, rows) if rows else ['(none)']
        elif kind == 'list':
            md += [list_item(line) for line in content]
        elif kind == 'shots':
            for t, reason, path in content:
                md += ['**%.2f s**: %s' % (t, md_text(reason)), '', md_picture(reason, path), '']
            if not content:
                md.append('(none)')
        md.append('')
    return md


def list_item(line):
    """A Markdown list item of a list line; the line's own further lines ('  - ...') are its items."""
    first, *more = line.split('\n')
    out = ['- ' + md_text(first)]
    for part in more:
        nested = part.startswith('  - ')
        out.append(('    - ' if nested else '  ') + md_text(part[4:] if nested else part))
    return '\n'.join(out)


def thumbnail_uri(path):
    """A small copy of a screenshot as a data URI (ImageMagick makes it, twice the size it is shown
    at, in few colours without dithering: smaller, as clear on a dialog's flat colours, and made in a
    fifth of the time); the picture itself when that is not smaller."""
    with open(path, 'rb') as f:
        data = f.read()
    try:
        done = subprocess.run(['convert', path, '-thumbnail', '224x168', '-strip', '+dither', '-colors', '96',
                               'png:-'], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60)
        if done.returncode == 0 and done.stdout.startswith(b'\x89PNG') and len(done.stdout) < len(data):
            data = done.stdout
    except (OSError, subprocess.SubprocessError):
        pass
    return 'data:image/png;base64,' + base64.b64encode(data).decode('ascii')


STYLE = """
body{font-family:sans-serif;margin:1.5em 2em;max-width:1200px;color:#222}
h1.verdict{font-size:1.3em;line-height:1.45;font-weight:600;margin:0 0 .2em;padding:.55em .9em;
  border-left:6px solid #4f6f9f;background:#f2f5fa;color:#1d2533}
h1.verdict.ended-timed-out,h1.verdict.ended-error{border-color:#c62828;background:#fdf0f0}
.subtitle{color:#666;margin:0 0 1.2em}
.timeline{max-width:100%;height:auto;border:1px solid #ddd;background:#fff}
table{border-collapse:collapse;margin:.5em 0}
td,th{border:1px solid #bbb;padding:2px 6px;text-align:left;vertical-align:top;font-size:90%}
th{background:#eee}.outcome-finished{color:#070}.outcome-timed-out,.outcome-error{color:#a00}
figure{display:inline-block;margin:.5em;vertical-align:top}img{border:1px solid #888;max-width:520px}
figure:target img{outline:3px solid #1a5fb4}
"""


def html_lines(result, sections, report_dir):
    """report.html: the verdict as its first line, the timeline picture, then the sections. Every
    text of the run goes in escaped (markup.element)."""
    run = result.get('run') or {}
    thumbnails = {n: thumbnail_uri(os.path.join(report_dir, shot['file']))
                  for n, shot in enumerate(run.get('screenshots', []), 1)}
    head = element('head', Markup('<meta charset="utf-8">'),
                   element('title', result.get('verdict', '') or title_of(result)), element('style', Markup(STYLE)))
    page = ['<!DOCTYPE html><html>' + head + '<body>',
            element('h1', result.get('verdict', ''), class_='verdict ended-%s' % result['outcome']),
            element('p', title_of(result), class_='subtitle')]
    picture = timeline.timeline_svg(result, thumbnails)
    if picture:
        page += [element('h2', 'At a glance'), picture]
    number = 0
    for title, kind, content in sections:
        page.append(element('h2', title))
        if kind == 'table':
            header, rows = content
            if not rows:
                page.append(element('p', '(none)'))
                continue
            lines = [element('tr', *[element('th', h) for h in header])]
            lines += [element('tr', *[element('td', str(v)) for v in row]) for row in rows]
            page.append(element('table', join(lines + [''], '\n')))
        elif kind == 'list':
            page.append(element('ul', *[element('li', element('pre', line, style='margin:0;white-space:pre-wrap'))
                                        for line in content]))
        elif kind == 'shots':
            for t, reason, path in content:
                number += 1
                with open(os.path.join(report_dir, path), 'rb') as f:
                    data = base64.b64encode(f.read()).decode('ascii')
                page.append(element('figure', element('img', src='data:image/png;base64,' + data, alt=reason),
                                    element('figcaption', '%.2f s: %s' % (t, reason)), id='shot-%d' % number))
            if not content:
                page.append(element('p', '(none)'))
    page.append('</body></html>')
    return page
