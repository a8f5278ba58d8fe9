#!/usr/bin/env python3
"""End-to-end tests of the plug-in run: the program from a CD-ROM drive in simulated PCs (Windows
XP, 7 and 10 prefixes, 32-bit and, for 7 and 10, 64-bit), with the robot, the simulated device and the installer stand-ins. Every
check reads the outside: the device's command log, the stand-ins' log, the robot's record of
windows, boxes and processes, the registry and files the run added. Never the program's trace.

    scripts/e2e.py --build-dir build/test64 [--full] [--jobs N] [--only TEXT]

By default the scenarios and a pairwise choice of the matrix (Windows x PC state x kit type x
driver family) run; --full or PLUGSTART_E2E_FULL=1 runs every cell of the matrix."""
import argparse
import base64
import hashlib
import html
import html.parser
import json
import os
import re
import shutil
import subprocess
import sys
import time
import traceback
from xml.etree import ElementTree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from plugin import browser, expectation, hostile, matrix, observed, parallel, report, sandbox, stops, wine  # noqa: E402
from plugin import beneath, installers, packages, snapshot  # noqa: E402
from plugin.hold import hold_script  # noqa: E402
from plugin import cli, hostile_images, languages, markup, matrix_page, pc_matrix  # noqa: E402
from plugin.fault_rows import FAULT_ROWS  # noqa: E402
from plugin.hostile_rows import HOSTILE_ROWS  # noqa: E402
from plugin.run import PlugInRun, Settings  # noqa: E402
from plugin.texts import ENGLISH  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RUN_TIMEOUT = 420
RELEASE_FILE = 'C:\\plugstart_sim\\release-setup'


class Checks:
    """The assertions of one run over its result data; each failure is kept with its text."""

    def __init__(self, result):
        self.result = result
        self.run = result.get('run') or {}
        self.failures = []

    def check(self, condition, text):
        if not condition:
            self.failures.append(text)
        return condition

    # what the run saw
    def boxes(self, kind=None):
        return [b for b in self.run.get('boxes', []) if kind is None or b['kind'] == kind]

    def commands(self, drive=None, meaning=None, process=None):
        return [c for c in self.run.get('commands', [])
                if (drive is None or c['drive'].upper() == drive)
                and (meaning is None or c['meaning'].startswith(meaning))
                and (process is None or c['process'].lower() == process.lower())]

    def actions(self, program=None, action=None):
        return [a for a in self.run.get('programs', [])
                if (program is None or a['program'].lower() == program.lower())
                and (action is None or a['action'] == action)]

    def processes(self, name):
        return [p for p in self.run.get('processes', []) if p['name'].lower() == name.lower()]

    def program_windows(self):
        return [e for e in self.run.get('events', []) if e['source'] == 'window' and 'Plugstart.exe' in e['text']]

    def device_mode(self, letter):
        return (self.result.get('device_state') or {}).get(letter, {}).get('mode')

    def registry_added(self, part):
        registry = self.result.get('registry') or {'added': []}
        return [a for a in registry['added'] if part.lower() in a['key'].lower()]

    def verdict(self, pattern):
        """The verdict sentence matches pattern (a regular expression over the whole sentence)."""
        self.check(re.fullmatch(pattern, self.result.get('verdict') or ''),
                   'the verdict "%s" does not match %s' % (self.result.get('verdict'), pattern))

    # common expectations
    def finished(self):
        self.check(self.result['outcome'] == 'finished',
                   'the run did not finish: %s %s' % (self.result['outcome'], self.result.get('error') or ''))
        for process in self.processes('Plugstart.exe'):
            self.check(process['code'] == '0', 'Plugstart.exe (%s) ended with %s' % (process['command'],
                                                                                    process['code']))

    def switched(self, letter='R'):
        changes = self.commands(drive=letter, meaning='mode change')
        self.check(any(c['result'] == '0' for c in changes),
                   'no mode change to %s: succeeded (%s)' % (letter, [(c['cdb'], c['result']) for c in changes]))
        self.check(self.device_mode(letter) == 'modem', 'device %s ends in mode %s' % (letter,
                                                                                      self.device_mode(letter)))

    def no_boxes(self, except_kinds=()):
        boxes = [b for b in self.boxes() if b['kind'] not in except_kinds]
        self.check(not boxes, 'message boxes shown: %s' % [(b['caption'], b['text']) for b in boxes])

    def box_with(self, key):
        # The robot's record keeps a box's text on one line: line breaks became blanks.
        text = ' '.join(ENGLISH[key].split())
        found = [b for b in self.boxes('messagebox') if ' '.join(b['text'].split()) == text]
        self.check(found, 'no box "%s"; boxes: %s' % (key, [b['text'] for b in self.boxes()]))
        for box in found:
            self.check(box['caption'] == ENGLISH['STR_STRING_TITLE'], 'box "%s" has caption %s' % (key,
                                                                                              box['caption']))
            self.check(box['answers'] and box['answers'][-1]['button'] == 'OK', 'box "%s" not answered OK' % key)
        return found

    def installed(self, role_program, detail_part):
        done = self.actions(role_program, 'installed')
        self.check(any(detail_part in a['detail'] for a in done),
                   '%s did not install %s (%s)' % (role_program, detail_part, [a['detail'] for a in done]))

    def not_started(self, program):
        self.check(not self.actions(program, 'start'), '%s was started' % program)

    def kit_launched(self, kit):
        starts = self.actions(action='start')
        kit_starts = [a for a in starts if a['program'].lower() not in ('driversetup.exe', 'internetkitsetup.exe',
                                                                       'uninstallmsi.exe', 'uninstallemp.exe')]
        if kit == 3:
            self.check(not kit_starts, 'the connection manager was started: %s' % kit_starts)
            return
        if not self.check(len(kit_starts) == 1, 'kit program starts: %s' % [a['command'] for a in kit_starts]):
            return
        command = kit_starts[0]['command']
        if kit == 1:
            self.check(command.rstrip().endswith('-aik'), 'the Internet Kit was started without -aik: %s' % command)
        else:
            self.check('-aik' not in command, 'kit %d started with -aik: %s' % (kit, command))

    def staged(self):
        staging = self.result.get('staging')
        if not self.check(staging, 'no copy of the program ran on the PC'):
            return
        self.check(staging['folder'].upper().endswith('\\R'), 'staged into %s' % staging['folder'])
        files = [f.lower() for f in staging['files']]
        for name in ('plugstart.exe', 'config.ini', 'devpoke.dll', 'driversetup.exe', 'tools/lang_autorun_eng.opt'):
            self.check(name in files, 'the staging folder lacks %s' % name)
        pc_copies = [p for p in self.processes('Plugstart.exe') if p['command'].rstrip().endswith('-l R')]
        self.check(len(pc_copies) == 1, 'PC copies started with "-l R": %s' % [p['command'] for p in pc_copies])


def cell_settings(cell):
    """The config.ini of a matrix cell: kit type, driver family, and the EMP remover named."""
    config = {'ITK': {'itk_type': str(cell['kit'])}, 'DRIVER': {'driver_type': cell['family']}}
    extra = {}
    if cell['family'] == 'EMP':
        config['DRIVER']['emp_uninstall_linkfile'] = 'UninstallEMP.exe'
        config['FILES'] = {'filecount': '10', 'file09': 'UninstallEMP.exe'}
        extra['UninstallEMP.exe'] = 'SimEmpRemover.exe'
    return config, extra


SECONDS = r'(\d+\.\d s|\d+ min( \d+ s)?)'
KIT_PROGRAMS = {0: 'InternetKit.exe', 1: 'InternetKit.exe -aik', 2: 'Norvo_PCSuiteIII.exe'}


def box_pattern(key, answer):
    """A message box of the verdict: the start of its English text and the answer."""
    return "message box '%s.*' \\(answered %s\\)" % (re.escape(' '.join(ENGLISH[key].split())[:60]), answer)


def cell_verdict(cell):
    """The verdict of a matrix cell's run, as a pattern."""
    kit, clean = cell['kit'], cell['state'] == 'clean'
    done = []
    if clean and cell['windows'] == 'xp' and kit == 0:
        done.append('set up the command service')
    if clean:
        done.append(r'installed the driver \(%s 2\.1\.0\.4\)%s' % (cell['family'],
                                                                  r' and the kit \(3\.0\.2\.1\)' if kit != 2 else ''))
    done.append('switched R: to modem mode')
    if kit in KIT_PROGRAMS and not (kit == 2 and clean):
        done.append(r'started the kit \(%s\)' % re.escape(KIT_PROGRAMS[kit]))
    if kit == 2 and clean:
        done.append(r'showed the PC-suite guide \(closed with OK\)')
    last = ', and ' if len(done) > 1 and ' and ' in done[-2] else ' and '  # 'the kit, and switched R:'
    head = ', '.join(done[:-1]) + last + done[-1] if len(done) > 1 else done[0]
    return '; '.join([head[0].upper() + head[1:] + ', in ' + SECONDS] + ([] if clean else ['nothing installed'])
                     + ['no message box'])


def check_cell(c, cell):
    """What every cell of the matrix must show."""
    c.verdict(cell_verdict(cell))
    c.finished()
    c.switched('R')
    kit, clean = cell['kit'], cell['state'] == 'clean'
    if kit == 3:  # the connection manager's kind runs without a window
        c.check(not c.program_windows(), 'windows shown: %s' % [e['text'] for e in c.program_windows()])
    if clean:
        if kit != 3:
            c.staged()
        c.installed('DriverSetup.exe', cell['family'])
        if kit == 2:
            c.not_started('InternetKitSetup.exe')
            c.check(len(c.boxes('guide')) == 1, 'the PC-suite guide was not shown once: %s' % c.boxes())
            c.no_boxes(except_kinds=('guide',))
            c.kit_launched(3)  # the suite is not there to start
        else:
            c.installed('InternetKitSetup.exe', 'kit %d' % kit)
            c.no_boxes()
            c.kit_launched(kit)
        service = c.processes('NorvoAutorunService.exe')
        wants_service = cell['windows'] == 'xp' and kit == 0
        c.check(bool(service) == wants_service, 'command service processes: %s' % service)
        c.check(bool(c.registry_added('Services\\Norvo SCSI Commander')) == wants_service,
                'the service key was%s added' % ('' if not wants_service else ' not'))
    else:
        c.no_boxes()
        c.check(not c.program_windows(), 'windows shown: %s' % [e['text'] for e in c.program_windows()])
        c.check(not c.actions(action='installed'), 'installed: %s' % c.actions(action='installed'))
        c.check(not c.result.get('staging'), 'a PC copy was started')
        c.kit_launched(kit)
    queries = c.commands(drive='R', meaning='phone-setting')
    if cell['family'] == 'EMP':
        c.check(not queries, 'the EMP device was queried: %s' % queries)
    else:
        c.check(queries and all(q['result'] == '3' for q in queries), 'phone-setting queries: %s' % queries)


# -- the scenarios --------------------------------------------------------------------------
class Case:
    """needs: a function of the build folder that gives the reason the case cannot run on this
    host's build, or None."""

    def __init__(self, name, settings, check, cell=None, extra_files=None, hooks=None, screenshots=False,
                 image=None, needs=None, before_report=None, attempt=None):
        self.needs = needs
        self.before_report = before_report  # a function of the report folder, called before the report is written
        self.attempt = attempt  # a hostile program's attempt (plugin/hostile.py): its image and its checks
        self.name = name
        self.settings = settings
        self.check = check
        self.cell = cell
        self.extra_files = extra_files or {}
        self.hooks = hooks or []
        self.screenshots = screenshots
        self.image = image


def matrix_case(cell):
    config, extra = cell_settings(cell)
    return Case('matrix ' + matrix.cell_name(cell), dict(windows=cell['windows'], state=cell['state'], config=config),
                lambda c, cell=cell: check_cell(c, cell), cell=cell, extra_files=extra)


class HoldSetup:
    """Holds the driver setup until the case's action on the program's main window is done."""

    def __init__(self, action):
        self.action = action
        self.started = False
        self.done = False
        self.data = {}

    def __call__(self, run, fields):
        if not self.started and fields.get('event') == 'window' and fields.get('process') == 'Plugstart.exe' \
                and fields.get('kind') == 'window' and fields.get('title') == ENGLISH['STR_STRING_TITLE']:
            self.started = True
            self.data['window'] = fields
            self.action.start(run, fields, self.data)
        elif self.started and not self.done and self.action.finished(run, self.data):
            self.done = True
            beneath.write_new(run.prefix.path, run.prefix.unix_path(RELEASE_FILE), b'')


class SecondInstance:
    def start(self, run, window, data):
        data['launcher'] = run.start_program('R')

    def finished(self, run, data):
        return data['launcher'].poll() is not None


def held_settings(windows):
    return dict(windows=windows, programs={'driver_setup': {'wait_for_file': RELEASE_FILE,
                                                            'wait_limit_ms': '300000'}})


def check_clean_start(c):
    check_cell(c, dict(windows=c.result['settings']['windows'], state='clean', kit=1, family='QCT'))
    # The program's own steps, as the device and the stand-ins saw them, in order.
    order = [c.commands(meaning='phone-setting')[0]['t'] if c.commands(meaning='phone-setting') else None,
             (c.actions('DriverSetup.exe', 'start') or [{}])[0].get('t'),
             (c.actions('InternetKitSetup.exe', 'start') or [{}])[0].get('t'),
             (c.commands(meaning='mode change') or [{}])[0].get('t'),
             (c.actions(action='start')[-1:] or [{}])[0].get('t')]
    c.check(None not in order and order == sorted(order),
            'query, driver setup, kit setup, mode change and launch out of order: %s' % order)
    c.check(c.registry_added('Uninstall\\{2D71E8A5'), 'no uninstall entry of the Internet Kit was added')
    files = [f['path'] for f in (c.result.get('files') or {}).get('added', [])]
    c.check(any(p.lower().endswith('norvointernetkit/internetkit.exe') for p in files),
            'the kit program is not among the files added')


# A hold far longer than a run: only the release the run writes once it has photographed the
# setup's status lets the setup go on in time.
HELD_MS = 120000


def check_held_until_shown(c):
    check_clean_start(c)
    start = (c.actions('DriverSetup.exe', 'start') or [{}])[0].get('t')
    installed = (c.actions('DriverSetup.exe', 'installed') or [{}])[0].get('t')
    shown = [shot['t'] for shot in c.run.get('screenshots', []) if 'DriverSetup.exe started' in shot['reason']]
    c.check(c.actions('DriverSetup.exe', 'holding'), 'the driver setup did not hold until its status was shown')
    c.check(shown and installed is not None and installed >= shown[0],
            'the driver setup went on at %s s, before its status was photographed (%s)' % (installed, shown))
    c.check(None not in (start, installed) and installed - start < HELD_MS / 4000,
            'the driver setup held from %s s to %s s: its release did not end its hold' % (start, installed))


def markdown_table_rows(markdown, title):
    """The rows of the table under '## title' in a report.md (0 for '(none)'); None when the
    section is missing."""
    lines = markdown.split('\n')
    if '## ' + title not in lines:
        return None
    rows = 0
    for line in lines[lines.index('## ' + title) + 1:]:
        if line.startswith('## '):
            break
        rows += line.startswith('| ')
    return max(rows - 1, 0)  # less the heading row


def check_report(c, run_dir):
    """The report's three files hold what the run saw: every screenshot inline in report.html,
    the result data in report.json, the message boxes and device commands as tables in report.md."""
    shots = c.run.get('screenshots', [])
    c.check(len(shots) >= 3, 'only %d screenshots' % len(shots))
    report_dir = os.path.join(run_dir, 'report')
    texts = {}
    for name in ('report.html', 'report.md', 'report.json'):
        try:
            with open(os.path.join(report_dir, name), encoding='utf-8') as f:
                texts[name] = f.read()
        except OSError as e:
            c.check(False, 'cannot read %s: %s' % (name, e))
            texts[name] = ''
    images = re.findall(r'src="data:image/png;base64,([A-Za-z0-9+/=]*)"', texts['report.html'])
    c.check(len(images) == len(shots), '%d inline images in report.html for %d screenshots' % (len(images),
                                                                                                len(shots)))
    c.check(all(base64.b64decode(data).startswith(b'\x89PNG\r\n\x1a\n') for data in images),
            'an inline image of report.html is no PNG')
    try:
        data = json.loads(texts['report.json'])
    except ValueError as e:
        data = 'unreadable: %s' % e
    c.check(data == json.loads(json.dumps(c.result)), 'report.json does not hold the run\'s result')
    for title, seen in (('Message boxes', c.run.get('boxes', [])),
                        (report.COMMANDS_TITLE, c.run.get('commands', []))):
        rows = markdown_table_rows(texts['report.md'], title)
        c.check(rows == len(seen), 'report.md: %s rows under "%s" for %d seen' % (rows, title, len(seen)))
    check_report_glance(c, texts)
    check_in_browser(c, os.path.join(report_dir, 'report.html'), len(shots))


def check_in_browser(c, page, shots):
    """report.html in headless Chromium: every screenshot decodes (in full and as a thumbnail), every
    link resolves, nothing is logged as an error; its screenshot is kept beside it."""
    try:
        seen = browser.check_page(page)
    except browser.BrowserError as e:
        c.check(False, 'report.html could not be opened in the browser: %s' % e)
        return
    c.check(seen.ok, 'report.html in the browser: %s' % '; '.join(seen.problems))
    c.check(seen.pictures >= 2 * shots, 'report.html in the browser: %d pictures decoded for %d screenshots' % (
        seen.pictures, shots))


def check_report_glance(c, texts):
    """The top of the report: the verdict first in both reports, and the timeline picture with one
    bar per program started, one mark per device command and one linked thumbnail per screenshot."""
    verdict = c.result.get('verdict') or ''
    c.check(verdict and texts['report.md'].split('\n', 1)[0] == '# ' + verdict,
            'report.md does not start with the verdict: %s' % texts['report.md'][:200])
    page = texts['report.html']
    c.check(re.search(r'<body>\s*<h1[^>]*>%s</h1>' % re.escape(html.escape(verdict)), page),
            'report.html does not start with the verdict')
    start, end = page.find('<svg'), page.find('</svg>')
    try:
        svg = ElementTree.fromstring(page[start:end + len('</svg>')])
    except ElementTree.ParseError as e:
        c.check(False, 'the timeline picture is no SVG: %s' % e)
        return

    def count(css):
        return sum(1 for e in svg.iter() if css in (e.get('class') or '').split())
    for css, seen in (('program-bar', c.run.get('processes', [])), ('device-mark', c.run.get('commands', [])),
                      ('thumb', c.run.get('screenshots', []))):
        c.check(count(css) == len(seen), 'the picture has %d %s for %d seen' % (count(css), css, len(seen)))


def check_setup_fails(c):
    c.verdict('Switched R: to modem mode, in %s; nothing installed; DriverSetup\\.exe failed \\(exit code 1603\\); %s'
              % (SECONDS, box_pattern('STR_STRING_DRV_NOT_INSTALL_NOTIFY', 'OK')))
    c.check(c.result['outcome'] == 'finished', 'the run did not finish')
    boxes = c.box_with('STR_STRING_DRV_NOT_INSTALL_NOTIFY')
    c.check(len(c.boxes()) == 1, 'boxes: %s' % [b['text'] for b in c.boxes()])
    c.not_started('InternetKitSetup.exe')
    c.check(c.actions('DriverSetup.exe', 'failed'), 'the driver setup did not fail as scripted')
    c.switched('R')
    changes = c.commands(drive='R', meaning='mode change')
    if boxes and changes:
        c.check(changes[0]['t'] >= boxes[0]['t'], 'the device was switched before the warning was answered')
    c.check(not c.actions(action='start')[2:], 'programs after the failed setup: %s' % c.actions(action='start'))


def check_two_instances(c, hold):
    c.verdict(cell_verdict(dict(windows=c.result['settings']['windows'], state='clean', kit=1, family='QCT')))
    c.finished()
    c.switched('R')
    c.check(hold.done, 'the second instance did not end while the first held its driver setup')
    launchers = c.run.get('launchers', [])
    c.check(len(launchers) == 2 and all(l['code'] == 0 for l in launchers),
            'the starts from the CD: %s' % launchers)
    pc_copies = [p for p in c.processes('Plugstart.exe') if p['command'].rstrip().endswith('-l R')]
    c.check(len(pc_copies) == 1, 'PC copies: %s' % [p['command'] for p in pc_copies])
    c.check(len(c.commands(drive='R', meaning='mode change')) == 1,
            'mode changes: %s' % c.commands(drive='R', meaning='mode change'))
    c.check(len(c.actions('DriverSetup.exe', 'start')) == 1, 'driver setups: %s' % c.actions('DriverSetup.exe'))
    c.no_boxes()
    c.kit_launched(1)


def check_hostile(c, hold):
    # The boxes depend on what Wine lets through (below): the verdict's part before them is fixed.
    c.verdict(cell_verdict(dict(windows=c.result['settings']['windows'], state='clean', kit=1, family='QCT'))
              .replace('; no message box', '; .*'))
    c.finished()
    c.switched('R')
    c.check(hold.done and hold.data.get('code') == 0,
            'the hostile sender: exit code %s (1: the window went)' % hold.data.get('code'))
    output = ''
    if hold.data.get('output') and os.path.exists(hold.data['output']):
        with open(hold.data['output'], errors='replace') as f:
            output = f.read()
    c.check(output.count('alive=1') >= 210, 'the sender\'s record: %s' % output[-500:])
    # The last message asks for the already-running notice with no data and a size of 1, as a
    # second instance does; Wine's marshalling drops such a message, so no box is expected here.
    c.check(all(b['text'].startswith('Norvo Installer is running.') for b in c.boxes()),
            'boxes: %s' % [b['text'] for b in c.boxes()])
    c.installed('InternetKitSetup.exe', 'kit 1')
    c.kit_launched(1)


def check_service_route(c):
    c.verdict(r'Switched R: to modem mode through the command service and started the kit \(InternetKit\.exe\), '
              r'in %s; nothing installed; no message box' % SECONDS)
    c.finished()
    c.switched('R')
    c.no_boxes()
    direct = c.commands(drive='R', meaning='phone-setting', process='Plugstart.exe')
    c.check(direct and all(q['result'] == '-20' for q in direct), 'direct queries: %s' % direct)
    served = c.commands(drive='R', meaning='phone-setting', process='NorvoAutorunService.exe')
    c.check(len(served) == 1 and served[0]['result'] == '3', 'queries through the service: %s' % served)
    changes = c.commands(drive='R', meaning='mode change', process='NorvoAutorunService.exe')
    c.check(len(changes) == 1 and changes[0]['result'] == '0', 'mode changes through the service: %s' % changes)
    c.check(c.processes('NorvoAutorunService.exe'), 'the command service was not running')
    c.check(not c.actions(action='installed'), 'installed: %s' % c.actions(action='installed'))
    c.kit_launched(0)


def check_two_devices(c):
    # The start from S: may come after the first instance has switched both devices (a loaded host
    # starts it late); the simulated S: stays, so its instance finds no device there and says so.
    c.verdict(r'Installed the driver \(QCT 2\.1\.0\.4\) and the kit \(3\.0\.2\.1\), switched R: and S: to modem '
              r'mode, and started the kit \([^)]*\), in %s; (no message box|%s)'
              % (SECONDS, box_pattern('STR_STRING_ERROR_SCSI_1_0', 'OK')))
    c.finished()
    c.switched('R')
    c.switched('S')
    c.installed('DriverSetup.exe', 'QCT')
    c.check(c.actions(action='start'), 'nothing was started')


def check_maker_image(c, original, digest_before):
    check_cell(c, dict(windows='7', state='clean', kit=1, family='QCT'))
    c.check(any('real Devpoke.dll' in n for n in c.result['notes']), 'the report does not say that the device '
                                                                      'library was replaced: %s' % c.result['notes'])
    c.check(any('xorriso' in n for n in c.result['notes']), 'the ISO was not extracted')
    c.check(digest(original) == digest_before, 'the original image changed')


AUTOPLAY_OFF = ('[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer]\r\n'
                '"NoDriveTypeAutoRun"=dword:000000b5\r\n\r\n')
AUTOPLAY_KEY = 'machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer'


def check_autoplay_question(c, answered_ok):
    installed = (r'nstalled the driver \(QCT 2\.1\.0\.4\) and the kit \(3\.0\.2\.1\), switched R: to modem mode and '
                 r'started the kit \(InternetKit\.exe -aik\), in %s; ' % SECONDS
                 + box_pattern('STR_STRING_CDROM_AUTO_OPTION_1', 'OK' if answered_ok else 'Cancel'))
    c.verdict((r'Changed the autoplay setting NoDriveTypeAutoRun \(0xb5 -> 0x95\), i' if answered_ok else 'I')
              + installed)
    c.finished()
    c.switched('R')
    question = ' '.join((ENGLISH['STR_STRING_CDROM_AUTO_OPTION_1'] + ' ' + ENGLISH['STR_STRING_CDROM_AUTO_OPTION_4'])
                        .split())
    boxes = c.boxes('messagebox')
    if not c.check(len(boxes) == 1 and ' '.join(boxes[0]['text'].split()) == question,
                   'the autoplay question: %s' % [b['text'] for b in boxes]):
        return
    box = boxes[0]
    c.check(box['buttons'] == 'OK,Cancel' and box['owner'] == '', 'the question\'s buttons and owner: %s' % box)
    expected = ('OK', 'rule: cannot start by itself') if answered_ok else ('Cancel', 'default')
    c.check(box['answers'] and (box['answers'][0]['button'], box['answers'][0]['reason']) == expected,
            'answered %s' % box['answers'])
    changes = [ch for ch in (c.result.get('registry') or {}).get('changed', [])
               if ch['key'] == AUTOPLAY_KEY and ch['name'] == 'NoDriveTypeAutoRun']
    if answered_ok:
        c.check([ch['new'] for ch in changes] == ['dword:00000095'], 'NoDriveTypeAutoRun after OK: %s' % changes)
    else:
        c.check(not changes, 'NoDriveTypeAutoRun changed although the question was cancelled: %s' % changes)
    c.installed('DriverSetup.exe', 'QCT')


def probe_program_view(c, arch):
    """The program's own version query and 64-bit test, run in the PC the case left (VersionProbe
    carries the program's manifest): 'class vista wow64', e.g. '8 1 1'."""
    probe = os.path.join(c.build_dir, 'tests', 'startup_tests', 'VersionProbe.exe')
    prefix = wine.Prefix(os.path.join(c.run_dir, 'prefix'), arch,
                         sandbox=sandbox.Sandbox([os.path.join(c.run_dir, 'prefix')], [os.path.dirname(probe)]))
    code, output = prefix.run([probe], timeout=120)
    prefix.kill()
    return output.strip().splitlines()[-1] if code == 0 and output.strip() else 'exit %s: %s' % (code, output)


def check_windows_10(c):
    """The PC is a Windows 10, and the program, which declares no Windows 10 compatibility, is told
    6.2 as on a real one: the Vista class, so the Vista-and-later ways."""
    check_clean_start(c)
    reported = c.result['settings'].get('reported_version', '')
    c.check(reported.startswith('Microsoft Windows 10.0'), 'the PC reports itself as "%s" (%s)' % (
        reported, [note for note in c.result['notes'] if note.startswith('the PC reports itself')]))
    seen = probe_program_view(c, c.result['settings']['arch'])
    c.check(seen == '8 1 0', 'the program\'s version class, Vista test and 64-bit test in this PC: %s, '
                             'not 8 1 0' % seen)


def check_limited_user_vista(c):
    """A user who may not open the device, on Vista and later: the program says that
    administrator rights are needed (it never uses the command service there), installs nothing
    and leaves the device a CD; the verdict says so."""
    # The mode change is refused in both its forms (F1 01 01 and F1 01 81).
    c.verdict(r"Stopped after %s at '%s.*' \(answered OK\); nothing installed; R: still a CD \(the mode change "
              r"gave -20(, -20)*\)" % (SECONDS, re.escape(' '.join(ENGLISH['STR_STRING_NON_ADMIN_NOTI'].split())[:60])))
    c.finished()
    c.box_with('STR_STRING_NON_ADMIN_NOTI')
    c.check(len(c.boxes()) == 1, 'boxes: %s' % [b['text'] for b in c.boxes()])
    c.check(c.device_mode('R') != 'modem', 'the device ends in mode %s' % c.device_mode('R'))
    direct = c.commands(drive='R', process='Plugstart.exe')
    c.check(direct and all(q['result'] == '-20' for q in direct), 'the program\'s commands: %s' % direct)
    c.check(not c.commands(process='NorvoAutorunService.exe'), 'the command service sent commands')
    c.check(not c.processes('NorvoAutorunService.exe'), 'the command service ran')
    c.check(not c.actions(), 'programs of the job ran: %s' % c.actions())
    c.check(not c.result.get('staging'), 'a copy of the program was staged and started')
    c.check(not c.registry_added('Services\\Norvo SCSI Commander'), 'the command service was set up')


def wow64_build(build_dir):
    if wine.pe_machine(os.path.join(build_dir, 'sim', 'Devpoke.dll')) != 'x86':
        return 'this build\'s programs are 64-bit (its host runs no 32-bit programs): nothing runs under WOW64'
    return None


def check_wow64(c):
    """The 32-bit programs in a 64-bit Windows: the clean PC job as on a 32-bit one, with the
    uninstall entries in the 32-bit view (Wow6432Node), the files in Program Files (x86), and the
    program seeing a 64-bit Windows."""
    check_clean_start(c)
    c.check(c.result['settings'].get('wow64'), 'the run did not run the programs under WOW64: %s' %
            c.result['settings'])
    for code in ('{F6082B9D', '{2D71E8A5'):
        c.check(c.registry_added('Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\' + code),
                'no uninstall entry %s under Wow6432Node' % code)
        c.check(not c.registry_added('machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\'
                                     + code), 'an uninstall entry %s in the 64-bit view' % code)
    files = [f['path'].lower() for f in (c.result.get('files') or {}).get('added', [])]
    c.check(any(p.startswith('program files (x86)/norvointernetkit/') for p in files),
            'the kit is not in Program Files (x86): %s' % files)
    starts = [a['command'] for a in c.actions('InternetKit.exe', 'start')]
    c.check(starts and all('Program Files (x86)' in command for command in starts), 'the kit started as %s' % starts)
    seen = probe_program_view(c, 'win64')
    c.check(seen == '8 1 1', 'the program\'s version class, Vista test and 64-bit test in this PC: %s, '
                             'not 8 1 1' % seen)


DETACHED_SETUPS = {'driver_setup': 'DriverSetup.exe', 'kit_setup': 'InternetKitSetup.exe'}


def check_detached_setup(c, role):
    """A setup that starts its installer and exits at once (the stand-in's copy of itself does
    the work two seconds later): the whole clean PC job with no box, and the program's next step
    only after the installer has ended."""
    check_clean_start(c)
    program = DETACHED_SETUPS[role]
    runs = [r for r in observed.stand_in_runs(c.run) if r['program'].lower() == program.lower()]
    started = [r for r in runs if '/detached' not in r['command']]
    installer = [r for r in runs if 'installed' in r['actions']]
    if not c.check(len(started) == 1 and 'detached' in started[0]['actions'] and installer,
                   '%s did not hand its work over: %s' % (program, runs)):
        return
    c.check(started[0]['end'] is not None and started[0]['end'] < installer[0]['end'],
            'the setup the program started did not end before its installer: %s' % runs)
    if role == 'driver_setup':
        next_step = (c.actions('InternetKitSetup.exe', 'start') or [{}])[0].get('t')
    else:
        next_step = (c.commands(meaning='mode change') or [{}])[0].get('t')
    c.check(next_step is not None and next_step >= installer[0]['end'],
            'the program went on at %s s, before the installer of %s ended (%s s)' % (
                next_step, program, installer[0]['end']))


def digest(path):
    h = hashlib.sha256()
    with open(path, 'rb') as f:
        h.update(f.read())
    return h.hexdigest()


def scenario_cases(build_dir, work_dir):
    cases = []
    for windows in ('xp', '7', '10'):
        # The XP run also checks its report; its driver setup holds until its status is shown.
        held = dict(programs={'driver_setup': hold_script(HELD_MS, until_shown=True)['driver_setup']})
        cases.append(Case('clean PC start, Windows %s' % windows, dict(windows=windows, **held) if windows == 'xp'
                          else dict(windows=windows),
                          check_windows_10 if windows == '10' else
                          check_held_until_shown if windows == 'xp' else check_clean_start,
                          cell=dict(windows=windows, state='clean', kit=1, family='QCT'),
                          screenshots=windows == 'xp'))
        cases.append(Case('everything installed, Windows %s' % windows, dict(windows=windows, state='installed'),
                          lambda c, w=windows: check_cell(c, dict(windows=w, state='installed', kit=1, family='QCT')),
                          cell=dict(windows=windows, state='installed', kit=1, family='QCT')))
    for windows in ('7', '10'):
        cases.append(Case('a limited user on Windows %s: administrator rights needed' % windows,
                          dict(windows=windows, limited_user=True), check_limited_user_vista))
        cases.append(Case('64-bit Windows %s: the clean PC job under WOW64' % windows,
                          dict(windows=windows, arch='win64'), check_wow64, needs=wow64_build))
    for windows in ('xp', '7'):
        hold = HoldSetup(SecondInstance())
        cases.append(Case('two instances for one drive, Windows %s' % windows, held_settings(windows),
                          lambda c, h=hold: check_two_instances(c, h), hooks=[hold]))
    cases.append(Case('a limited user on XP: access denied, the real command service',
                      dict(windows='xp', limited_user=True, config={'ITK': {'itk_type': '0'}}), check_service_route,
                      cell=dict(windows='xp', state='installed', kit=0, family='QCT')))
    cases.append(Case('the autoplay question answered Cancel, Windows xp',
                      dict(windows='xp', registry=AUTOPLAY_OFF, answer_default='cancel'),
                      lambda c: check_autoplay_question(c, False)))
    cases.append(Case('the autoplay question answered OK by a rule, Windows xp',
                      dict(windows='xp', registry=AUTOPLAY_OFF, answer_default='cancel',
                           answer_rules=[('cannot start by itself', 'ok')]),
                      lambda c: check_autoplay_question(c, True)))
    # Bootstrappers that do not wait for their installer: the driver setup's copy installs, and
    # the kit setup's copy starts another copy that does.
    for role, windows, levels in (('driver_setup', 'xp', '1'), ('kit_setup', '7', '2')):
        cases.append(Case('%s that does not wait for its installer, Windows %s' % (role.replace('_', ' '), windows),
                          dict(windows=windows, programs={role: {'detach': levels, 'delay_ms': '2000'}}),
                          lambda c, r=role: check_detached_setup(c, r)))
    cases.append(Case('two devices plugged in at once (R: and S:)', dict(windows='7', second_drive=True),
                      check_two_devices))
    # A maker's image: the real device library, on an ISO 9660 image.
    maker = os.path.join(work_dir, 'maker-image')
    iso = os.path.join(work_dir, 'maker-image.iso')
    shutil.rmtree(maker, ignore_errors=True)
    shutil.copytree(os.path.join(build_dir, 'image'), maker)
    shutil.copy(os.path.join(build_dir, 'bin', 'Devpoke.dll'), os.path.join(maker, 'Devpoke.dll'))
    os.remove(os.path.join(maker, 'plugstart_sim.ini'))
    if os.path.exists(iso):
        os.remove(iso)
    subprocess.run(['xorriso', '-as', 'mkisofs', '-quiet', '-R', '-J', '-V', 'NORVO', '-o', iso, maker],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    before = digest(iso)
    cases.append(Case('a maker\'s image on an ISO, with the real device library', dict(windows='7'),
                      lambda c: check_maker_image(c, iso, before), image=iso))
    return cases


# -- real installers ------------------------------------------------------------------------
# Real installers in the stand-ins' place (scripts/run.sh --installers real|real-nowait): Windows
# Installer packages made from config.ini, their setups and the removers, run by the PC's msiexec.
# Nothing of them logs what it did: each row reads the uninstall entries Windows Installer wrote
# (the PC's registry files at the end), the robot's record of the processes and boxes, and the
# device's log.
REAL_DRIVER = (packages.QCT_DRIVERS_CODE, '2.1.0.4')
REAL_KIT = (packages.NORVO_KIT_CODE, '3.0.2.1')
# The robot sees a process's end at its next look at the processes (every 50 ms, later on a busy
# host): what the device logged may come a little before the end the robot gives.
ROBOT_LATE = 0.25


def uninstall_entries(c):
    """{product code: its uninstall entry's values} of the maker's products in the PC at the end,
    in the view the programs write (the 32-bit one under WOW64)."""
    view = 'Wow6432Node\\' if c.result['settings'].get('wow64') else ''
    entries = {}
    for key, values in snapshot.read_registry(os.path.join(c.run_dir, 'prefix')).items():
        for code in packages.PRODUCTS:
            if key.lower() == ('machine\\Software\\%sMicrosoft\\Windows\\CurrentVersion\\Uninstall\\%s'
                               % (view, code)).lower():
                entries[code] = values
    return entries


def check_entry(c, entries, code, version):
    """The product's uninstall entry as Windows Installer writes it, with its version."""
    values = entries.get(code) or {}
    c.check(values.get('DisplayVersion') == '"%s"' % version and values.get('WindowsInstaller') == 'dword:00000001'
            and code in values.get('UninstallString', ''),
            'the uninstall entry of %s is not that of Windows Installer with %s: %s' % (code, version, values))


def msiexec_children(c, parent):
    return [p for p in c.processes('msiexec.exe') if p.get('parent') == parent['pid']]


def check_real_setup(c, name, waits, then):
    """A setup that carries its package: it ran once, had msiexec install the package, both ended
    with 0, and it ended after msiexec (waits) or before it. then: when the program took its next
    step, which comes only after msiexec has ended."""
    setups = c.processes(name)
    if not c.check(len(setups) == 1, '%s started %d times' % (name, len(setups))):
        return
    setup = setups[0]
    installs = [p for p in msiexec_children(c, setup) if ' /i ' in p['command']]
    if not c.check(len(installs) == 1, '%s had msiexec run %s' % (name, [p['command'] for p in installs])):
        return
    install = installs[0]
    c.check(setup['code'] == '0' and install['code'] == '0', '%s ended with %s, its msiexec with %s' % (
        name, setup['code'], install['code']))
    ends = (setup['end'], install['end'])
    if None in ends:
        c.check(False, '%s or its msiexec did not end: %s' % (name, ends))
        return
    # Two ends the robot saw in one look come in the order of their process numbers, the setup's
    # first, and the run may read them in two passes: a setup's end within ROBOT_LATE before its
    # msiexec's is no sign that it did not wait.
    c.check(ends[0] >= ends[1] - ROBOT_LATE if waits else ends[0] < ends[1],
            '%s ended at %s s, its msiexec at %s s: the setup %s' % (name, ends[0], ends[1],
                                                                  'did not wait' if waits else 'waited'))
    c.check(then is not None and then >= ends[1] - ROBOT_LATE, 'the program went on at %s s, before the msiexec of %s ended '
                                                  '(%s s)' % (then, name, ends[1]))


def kit_starts(c):
    return [p for p in c.processes('InternetKit.exe') if p['command'].rstrip().endswith('-aik')]


def check_real_common(c, verdict):
    """What every row with real installers shows: the run ended by itself, no stand-in ran, the
    device switched, no box, the kit's program started once from where its package put it, the
    driver's and the kit's uninstall entries of this image's versions, and the verdict (a pattern
    up to its last clause, the boxes)."""
    c.verdict(verdict + '; no message box')
    entries = uninstall_entries(c)
    check_entry(c, entries, *REAL_DRIVER)
    check_entry(c, entries, *REAL_KIT)
    c.finished()
    c.switched('R')
    c.no_boxes()
    c.check(not c.actions(), 'a stand-in ran: %s' % c.actions()[:3])
    c.check(c.result['settings'].get('installers', '').startswith('real'), 'the run had no real installers')
    starts = kit_starts(c)
    folder = 'Program Files (x86)' if c.result['settings'].get('wow64') else 'Program Files'
    c.check(len(starts) == 1 and ('C:\\%s\\NorvoInternetKit\\' % folder) in starts[0]['command'],
            'the kit started as %s' % [p['command'] for p in c.processes('InternetKit.exe')])


def check_real_clean(c, waits=True):
    check_real_common(c, r'Installed the driver \(QCT 2\.1\.0\.4\) and the kit \(3\.0\.2\.1\), switched R: to '
                         r'modem mode and started the kit \(InternetKit\.exe -aik\), in ' + SECONDS)
    kit_setup = (c.processes('InternetKitSetup.exe') or [{}])[0].get('start')
    mode_change = (c.commands(meaning='mode change') or [{}])[0].get('t')
    check_real_setup(c, 'DriverSetup.exe', waits, kit_setup)
    check_real_setup(c, 'InternetKitSetup.exe', waits, mode_change)
    c.check(not c.processes('UninstallMSI.exe'), 'the remover ran on a clean PC')
    kit = kit_starts(c)
    c.check(kit and mode_change is not None and kit[0]['start'] >= mode_change, 'the kit started before R: switched')


def check_real_second_plugin(c):
    """A PC the same image's real installers have set up: nothing is installed again."""
    check_real_common(c, r'Switched R: to modem mode and started the kit \(InternetKit\.exe -aik\), in %s; nothing '
                         r'installed' % SECONDS)
    ran = [p['name'] for p in c.run.get('processes', []) if p['name'].lower() in
           ('driversetup.exe', 'internetkitsetup.exe', 'uninstallmsi.exe', 'msiexec.exe')]
    c.check(not ran, 'run again: %s' % ran)
    c.check(not observed.package_changes(c.result), 'the products changed: %s' % observed.package_changes(c.result))


def check_real_remover_first(c):
    """An outdated driver package: the remover has msiexec remove it, then the driver setup
    installs the new one."""
    check_real_common(c, r'Installed the driver \(QCT 2\.1\.0\.4 in place of 0\.1\.0\.0\), switched R: to modem mode '
                         r'and started the kit \(InternetKit\.exe -aik\), in ' + SECONDS)
    removers = c.processes('UninstallMSI.exe')
    setups = c.processes('DriverSetup.exe')
    if not c.check(len(removers) == 1 and len(setups) == 1, 'remover and driver setup runs: %s %s' % (
            removers, setups)):
        return
    removals = [p for p in msiexec_children(c, removers[0]) if REAL_DRIVER[0] in p['command']]
    c.check(removers[0]['code'] == '0' and removals and ' /x ' in removals[0]['command'] and removals[0]['code'] == '0',
            'the remover did not have msiexec remove the driver: %s %s' % (removers[0], removals))
    c.check(removers[0]['end'] is not None and removers[0]['end'] <= setups[0]['start'],
            'the driver setup started before the remover ended')
    check_real_setup(c, 'DriverSetup.exe', True, (c.commands(meaning='mode change') or [{}])[0].get('t'))
    c.check(not c.processes('InternetKitSetup.exe'), 'the kit setup ran for an installed kit')


def check_real_refused_upgrade(c):
    """An outdated driver package and a remover of the maker's that removes another edition: the
    new package is refused by Windows Installer with 1638 (another version of the product is
    installed), and the old one stays."""
    c.finished()
    c.check(any(n.startswith('the maker\'s own installers on the image ran as they are: UninstallMSI.exe')
                for n in c.result['notes']), 'the maker\'s remover was not kept: %s' % c.result['notes'])
    removers = c.processes('UninstallMSI.exe')
    c.check(len(removers) == 1 and removers[0]['code'] == '0', 'the remover ran as %s' % removers)
    setups = c.processes('DriverSetup.exe')
    if not c.check(len(setups) == 1, 'driver setup runs: %s' % setups):
        return
    # The refusing msiexec lives about 0.1 s: a robot whose look at the processes comes late on a
    # busy host may not see it at all. The setup hands its code on; when msiexec was seen, its own.
    installs = msiexec_children(c, setups[0])
    c.check(setups[0]['code'] == '1638' and [p['code'] for p in installs] in (['1638'], []),
            'the driver setup ended with %s, its msiexec with %s, not 1638' % (
                setups[0]['code'], [p['code'] for p in installs]))
    check_entry(c, uninstall_entries(c), REAL_DRIVER[0], packages.OUTDATED_VERSION)
    c.verdict(r'Switched R: to modem mode and started the kit \(InternetKit\.exe -aik\), in %s; nothing installed; '
              r'DriverSetup\.exe failed \(exit code 1638\); no message box' % SECONDS)


class WrongRemover:
    """The image with a remover of the maker's own in UninstallMSI.exe's place, made with the
    project's remover script: it removes only the driver's second edition, which is not there."""

    def __init__(self, build_dir):
        self.build_dir = build_dir

    def prepare(self, run_dir, arch):
        image = run_dir + '-image'
        shutil.rmtree(image, ignore_errors=True)
        shutil.copytree(os.path.join(self.build_dir, 'image'), image)
        machine = wine.pe_machine(os.path.join(self.build_dir, 'bin', 'Plugstart.exe'))
        maker = installers.Maker(machine, True, os.path.join(self.build_dir, 'plugin-cache', 'installers'))
        remover = packages.Installer('UninstallMSI.exe', 'remover', codes=(packages.QCT_DRIVERS_SECOND_CODE,),
                                     title='Norvo USB Modem Drivers')
        shutil.copyfile(maker.made(remover), os.path.join(image, 'UninstallMSI.exe'))
        return image

    def cleanup(self):
        pass


def package_tools(build_dir):
    missing = [tool for tool in ('wixl', 'makensis') if not shutil.which(tool)]
    return ('%s not installed (Debian wixl, nsis; scripts/setup.sh installs them)' % ', '.join(missing)
            if missing else None)


def wow64_package_tools(build_dir):
    return wow64_build(build_dir) or package_tools(build_dir)


def real_installer_cases(build_dir):
    cases = [Case('real installers: clean PC, Windows xp', dict(windows='xp', installers='real'), check_real_clean),
             Case('real installers: setups that do not wait for msiexec, Windows 7',
                  dict(windows='7', installers='real-nowait'), lambda c: check_real_clean(c, waits=False)),
             Case('real installers: second plug-in, Windows 10', dict(windows='10', state='installed',
                                                                      installers='real'), check_real_second_plugin),
             Case('real installers: outdated driver, the remover first, Windows 7',
                  dict(windows='7', state='outdated-driver', installers='real'), check_real_remover_first),
             Case('real installers: outdated driver and a remover that misses it (1638), Windows xp',
                  dict(windows='xp', state='outdated-driver', installers='real'), check_real_refused_upgrade,
                  attempt=WrongRemover(build_dir))]
    for case in cases:
        case.needs = package_tools
    return cases + [Case('real installers: 64-bit Windows 7, 32-bit packages under WOW64',
                         dict(windows='7', arch='win64', installers='real'), check_real_clean,
                         needs=wow64_package_tools)]


# -- the fault suite ------------------------------------------------------------------------
# Each fault of the plug-in run (scripts/plugin/faults.py) meets the program on a clean PC; the
# row says what the user then sees (the message boxes, in order) and what of the job was done
# (the driver and the kit installed, the device switched, the kit started). Every row also asks:
# the run ended by itself, no copy of the program crashed, and a second plug-in of the same
# device without the fault completes the job.
FAULT_TIMEOUT = 240


def check_program_outlives_setup(c):
    """The main dialog ends only by its own paths: the program that ran the driver setup ended
    after it, and switched the device only once it had ended. The setup's end is the time its
    last log line was seen: the device's log and the stand-ins' log are read in the same pass, the
    robot sees a process end a pass later."""
    exits = c.actions('DriverSetup.exe', 'exit')
    if not c.check(exits, 'the driver setup did not run to its end: %s' % c.actions('DriverSetup.exe')):
        return
    setup_end = exits[0]['t']
    pc_copies = [p for p in c.processes('Plugstart.exe') if ' -l ' in p['command'] + ' ']
    c.check(pc_copies and all(p['end'] is not None and p['end'] >= setup_end for p in pc_copies),
            'the program ended before its driver setup (%s s): %s' % (setup_end, pc_copies))
    early = [m for m in c.commands(meaning='mode change') if m['t'] < setup_end]
    c.check(not early, 'the device was switched while the driver setup still ran: %s' % early)


def check_flood_survived(c):
    helper = (c.result.get('fault') or {}).get('helper') or {}
    hold = argparse.Namespace(done=helper.get('code') is not None, data={'code': helper.get('code'),
                                                                          'output': helper.get('file')})
    check_hostile(c, hold)
    check_program_outlives_setup(c)


def check_locked_file_survives(c):
    helper = (c.result.get('fault') or {}).get('helper') or {}
    c.check(helper.get('code') == 0 and 'holding' in helper.get('output', ''),
            'the program that held the file: %s' % helper)


def check_users_files_kept(c):
    """The user's files that the fault put in the staging's way are as the user left them, after
    each plug-in (read from the PC's files by the fault)."""
    kept = (c.result.get('fault') or {}).get('kept') or {}
    for plugin in ('first', 'second'):
        c.check(kept.get(plugin) == [], 'after the %s plug-in the user\'s files: %s' % (plugin, kept.get(plugin)))


def check_linked_staging_folder(c):
    check_users_files_kept(c)
    named = [b['text'] for b in c.boxes('messagebox') if b['text'].rstrip().endswith('\\Templates\\R')]
    c.check(len(named) == 1, 'no box names the linked staging folder: %s' % [b['text'] for b in c.boxes()])


# A further check of a fault's first plug-in, beside its row (plugin/fault_rows.py).
FAULT_EXTRA = {
    'staging-linked': check_linked_staging_folder,
    'staging-hard-link': check_users_files_kept,
    'driver-setup-fails': check_setup_fails,
    'staging-file-locked': check_locked_file_survives,
    'post-ok': check_program_outlives_setup,
    'post-close': check_program_outlives_setup,
    'post-sysclose': check_program_outlives_setup,
    'copydata-flood': check_flood_survived,
}


def job_done(c):
    """What of the job this plug-in did."""
    return expectation.job_done(c.result)


def check_boxes_seen(c, expected):
    c.check(len(c.boxes()) == len(c.boxes('messagebox')), 'windows other than message boxes: %s' % c.boxes())
    c.failures += ['the user saw otherwise: ' + p for p in expectation.box_problems(expected, c.boxes())]
    for box in c.boxes():
        c.check(box['caption'] == ENGLISH['STR_STRING_TITLE'], 'a box of caption "%s"' % box['caption'])


def check_fault(c, row):
    c.check(c.result.get('fault') and c.result['fault']['name'] == row.fault, 'the run met no fault %s' % row.fault)
    c.finished()  # by itself, and no copy of the program crashed
    if row.boxes is not None:
        check_boxes_seen(c, row.boxes)
    done = job_done(c)
    c.check(done in row.done, 'the first plug-in did %s; expected %s' % (sorted(done), ' or '.join(
        str(sorted(d)) for d in row.done)))
    if row.fault in FAULT_EXTRA:
        FAULT_EXTRA[row.fault](c)
    second = c.result.get('second_plugin')
    if not c.check(second, 'no second plug-in ran'):
        return
    after = Checks(second)
    after.finished()
    after.no_boxes()
    after.switched('R')
    after.kit_launched(1)
    for part in ('Uninstall\\{F6082B9D', 'Uninstall\\{2D71E8A5'):  # the driver's and the kit's entries
        after.check(after.registry_added(part), 'after the second plug-in the PC lacks %s' % part)
    c.failures += ['the second plug-in: ' + f for f in after.failures]


def fault_cases(full):
    cases = []
    for row in FAULT_ROWS:
        for windows in ('xp', '7'):
            if full or row.windows in ('both', windows):
                cases.append(Case('fault %s, Windows %s' % (row.fault, windows),
                                  dict(windows=windows, fault=row.fault, timeout=FAULT_TIMEOUT),
                                  lambda c, r=row: check_fault(c, r)))
    return cases


# -- the hostile programs -------------------------------------------------------------------
# Each row of plugin/hostile_rows.py: the hostile test program as the image's program, trying one
# thing against the host or the run's record; asserted from the outside (the canaries, the host's
# /tmp, the base prefix, the report, the browser).
def check_contained(c, attempt):
    c.check(c.result['outcome'] == 'finished', 'the run did not finish: %s %s' % (c.result['outcome'],
                                                                                c.result.get('error') or ''))
    c.failures += attempt.failures(c.result, c.run_dir)


def hostile_cases(build_dir, work_dir):
    cases = []
    for row in HOSTILE_ROWS:
        attempt = hostile.HostileAttempt(row, build_dir, work_dir, ROOT)
        settings = dict(windows='xp', sandbox=row.sandbox, **row.settings)
        cases.append(Case('hostile image: program: ' + row.name, settings,
                          lambda c, a=attempt: check_contained(c, a), attempt=attempt))
    return cases


# -- the hostile images ----------------------------------------------------------------------
# Each row of hostile_images.IMAGE_ROWS is an image that tries one thing against the maker's tools:
# markup in a text that reaches the report, a FIFO where a file should be, a report folder linked
# outside, a CD whose two trees differ. Asserted from outside: the run ends by itself (or is
# refused at once, with the reason), the text shows in the report as text, the pages pass the
# browser check with no script run, nothing outside the run is written.
ROW_REFUSED_WITHIN = 60
OUTSIDE = ('report.md', 'screenshots/01.png')


def check_pages_inert(c, pages):
    """Each page in headless Chromium: no script runs, no element is made from a text."""
    try:
        seen = browser.check_pages(pages, screenshots=False)
    except browser.BrowserError as e:
        c.check(False, 'the pages could not be opened in the browser: %s' % e)
        return
    for check in seen:
        c.check(check.ok, '%s in the browser: %s' % (os.path.basename(check.path), '; '.join(check.problems)))


def check_text_shown(c, text, report_dir):
    """text reached the report's data and shows in report.html as text; report.md holds it inert."""
    c.check(text in json.dumps(c.result, ensure_ascii=False), 'the text never reached the report: %s' % text)
    with open(os.path.join(report_dir, 'report.html'), encoding='utf-8') as f:
        c.check(html.escape(markup.plain(text)) in f.read(), 'report.html does not show the text as text: %s' % text)
    if shutil.which('cmark-gfm'):  # as GitHub renders it, raw HTML let through
        with open(os.path.join(report_dir, 'report.md'), 'rb') as f:
            page = subprocess.run(['cmark-gfm', '--unsafe', '-e', 'table', '-e', 'autolink'], stdin=f,
                                  stdout=subprocess.PIPE, check=True).stdout.decode('utf-8')
        c.check(not live_markup(page), 'report.md renders live markup: %s' % live_markup(page))


class LiveMarkup(html.parser.HTMLParser):
    """What of a rendered page could run or lead away: script and SVG elements, event handlers,
    links, and pictures other than the report's screenshots."""

    def __init__(self, page):
        super().__init__()
        self.found = []
        self.feed(page)

    def handle_starttag(self, tag, attrs):
        if tag in ('script', 'svg', 'iframe', 'object', 'a'):
            self.found.append('<%s>' % tag)
        for name, value in attrs:
            if name.startswith('on') or (name == 'src' and not (value or '').startswith('screenshots/')):
                self.found.append('%s=%s on <%s>' % (name, value, tag))


def live_markup(page):
    return LiveMarkup(page).found


def check_sheet_and_matrix(c, row, image):
    """The language sheet of the image (English only) and a matrix page of this run's cell, in the
    browser."""
    folder = os.path.join(c.run_dir, 'pages')
    cell = {'windows': row.windows, 'bits': 32, 'state': 'clean', 'limited': False, 'fault': None}
    cell_row = pc_matrix.cell_row(pc_matrix.cell_name(cell), cell, None, c.result, c.seconds)
    cell_row['report'] = os.path.relpath(os.path.join(c.run_dir, 'report', 'report.html'), folder)
    data = {'image': image, 'kit_type': 1, 'notes': [], 'seconds': c.seconds, 'cells': [cell_row]}
    matrix_page.write_page(data, folder)
    try:
        sheet = languages.make_sheet(image, c.build_dir, os.path.join(ROOT, 'scripts'), os.path.join(folder, 'sheet'),
                                     os.path.join(c.run_dir, 'sheet-run'),
                                     'win64' if os.path.basename(c.build_dir) == 'test64' else 'win32', only=['eng'],
                                     log=lambda line: None)
    except (languages.SheetError, RuntimeError, OSError) as e:
        c.check(False, 'the language sheet could not be made: %s' % e)
        return
    shown = [t['text'] for entry in sheet['languages'] for d in entry['dialogs'] for t in d['texts']]
    c.check(any(markup.plain(row.shows) in text for text in shown), 'the sheet did not draw the text: %s' % shown)
    check_pages_inert(c, [os.path.join(folder, 'matrix.html'), os.path.join(folder, 'sheet', 'languages.html')])


def link_report_outside(outside):
    """Before the report: its report.md and screenshots link to files of the maker outside the run."""
    def prepare(report_dir):
        shutil.rmtree(outside, ignore_errors=True)
        for name in OUTSIDE:
            os.makedirs(os.path.dirname(os.path.join(outside, name)), exist_ok=True)
            with open(os.path.join(outside, name), 'w') as f:
                f.write('the maker\'s own %s\n' % name)
        os.makedirs(report_dir, exist_ok=True)
        os.symlink(os.path.join(outside, 'report.md'), os.path.join(report_dir, 'report.md'))
        os.symlink(os.path.join(outside, 'screenshots'), os.path.join(report_dir, 'screenshots'))
        with open(os.path.join(report_dir, '.plugin-report-files'), 'w') as f:
            f.write('report.md\nscreenshots/01.png\n')  # as an earlier run would have listed them
    return prepare


def check_image_row(c, row, image, outside):
    report_dir = os.path.join(c.run_dir, 'report')
    if row.refused:
        c.check(c.result['outcome'] == 'error' and row.refused in (c.result.get('error') or ''),
                'the image was not refused as it should be: %s %s' % (c.result['outcome'], c.result.get('error')))
        c.check(c.seconds < ROW_REFUSED_WITHIN, 'refused only after %.0f s' % c.seconds)
        c.check(not c.run.get('processes'), 'programs ran in the PC: %s' % c.run.get('processes'))
        if 'fifo' not in row.change:
            return
        try:
            done = subprocess.run([sys.executable, os.path.join(ROOT, 'scripts', 'check-image.py'), image],
                                  capture_output=True, text=True, timeout=ROW_REFUSED_WITHIN)
            c.check(done.returncode == 2 and 'FIFO' in done.stderr, 'check-image: %s' % (done.stdout + done.stderr))
        except subprocess.TimeoutExpired:
            c.check(False, 'check-image did not end within %d s' % ROW_REFUSED_WITHIN)
        return
    c.finished()
    c.switched('R')
    if row.shows:
        check_text_shown(c, row.shows, report_dir)
    if row.change.get('language'):
        check_sheet_and_matrix(c, row, image)
    if row.change.get('differing_trees'):
        check_cell(c, dict(windows=row.windows, state='clean', kit=1, family='QCT'))
        c.check(any(n.startswith('the CD\'s two trees differ') and 'autorun.inf: other data' in n
                    for n in c.result['notes']), 'the report does not say the trees differ: %s' % c.result['notes'])
        done = subprocess.run([sys.executable, os.path.join(ROOT, 'scripts', 'check-image.py'), image],
                              capture_output=True, text=True, timeout=120)
        c.check(done.returncode == 1 and 'autorun.inf: Rock Ridge: other data in each tree' in done.stdout,
                'check-image does not report the trees: %s' % done.stdout[-800:])
    if row.change.get('autorun'):
        check_cell(c, dict(windows=row.windows, state='clean', kit=1, family='QCT'))
        c.check((c.result.get('program') or {}).get('entry') == '[AutoRun.Amd64] shellexecute=',
                'the program was started from %s' % c.result.get('program'))
    if row.change.get('linked_report'):
        for name in OUTSIDE:
            with open(os.path.join(outside, name)) as f:
                c.check(f.read() == 'the maker\'s own %s\n' % name, 'the file outside, %s, was changed' % name)
        c.check(not os.path.islink(os.path.join(report_dir, 'report.md')), 'report.md is still a link')
        c.check(sorted(os.listdir(outside)) == ['report.md', 'screenshots'], 'files outside: %s' % os.listdir(outside))
    check_pages_inert(c, [os.path.join(report_dir, 'report.html')])


def image_row_cases(build_dir, work_dir):
    cases = []
    for number, row in enumerate(hostile_images.IMAGE_ROWS):
        folder = os.path.join(work_dir, 'hostile-image-%d' % number)
        image, settings = hostile_images.make_row_image(row, os.path.join(build_dir, 'image'), folder)
        outside = os.path.join(work_dir, 'hostile-outside-%d' % number)
        cases.append(Case('hostile image: %s, Windows %s' % (row.name, row.windows), settings,
                          lambda c, r=row, i=image, o=outside: check_image_row(c, r, i, o), image=image,
                          screenshots=bool(row.change.get('linked_report')),
                          before_report=link_report_outside(outside) if row.change.get('linked_report') else None))
    return cases


# -- running them ---------------------------------------------------------------------------
def run_case(case, build_dir, work_dir, arch):
    run_dir = os.path.join(work_dir, case.name.replace(' ', '_').replace(':', '').replace(',', '')
                           .replace('(', '').replace(')', '').replace('\'', '')
                           .replace('\\', '').replace('?', ''))
    shutil.rmtree(run_dir, ignore_errors=True)
    lines = []
    settings = Settings(image=case.image or os.path.join(build_dir, 'image'), build_dir=build_dir,
                        scripts_dir=os.path.join(ROOT, 'scripts'), cache_dir=os.path.join(build_dir, 'plugin-cache'),
                        run_dir=run_dir, arch=arch, timeout=RUN_TIMEOUT,
                        screenshots=case.screenshots, hooks=case.hooks, log=lines.append, verbose=True)
    settings.__dict__.update(case.settings)
    if case.extra_files:
        settings.extra_files = {name: os.path.join(build_dir, 'sim', 'bin', source)
                                for name, source in case.extra_files.items()}
    started = time.monotonic()
    skip = case.needs(build_dir) if case.needs else None
    if skip:
        return ['SKIPPED: ' + skip], 0.0, run_dir
    try:
        if case.attempt:
            settings.image = case.attempt.prepare(run_dir, arch)
        run = PlugInRun(settings)
        result = run.execute()
        if case.before_report:
            case.before_report(os.path.join(run_dir, 'report'))
        report.write_report(result, os.path.join(run_dir, 'report'))
        if result.get('second_plugin'):
            report.write_report(result['second_plugin'], os.path.join(run_dir, 'report', 'second-plugin'))
        checks = Checks(result)
        checks.build_dir, checks.run_dir, checks.seconds = build_dir, run_dir, time.monotonic() - started
        if case.screenshots:
            check_report(checks, run_dir)
        try:
            case.check(checks)
        except Exception:  # a check that breaks is a failure of the case, not of the suite
            checks.failures.append('the check broke:\n' + traceback.format_exc())
    finally:
        if case.attempt:
            case.attempt.cleanup()
    with open(os.path.join(run_dir, 'progress.txt'), 'w', encoding='utf-8') as f:
        f.write('\n'.join(lines))
    if result['outcome'] == 'stopped':  # the suite was stopped: neither passed nor failed
        return ['STOPPED: ' + result['stopped']], time.monotonic() - started, run_dir
    if result['outcome'] == 'skipped':  # the host forbids a step: said so, never passed
        return ['SKIPPED: ' + result['skipped']], time.monotonic() - started, run_dir
    return checks.failures, time.monotonic() - started, run_dir


def claim_work_dir(build_dir):
    """(work folder, lock): build_dir/e2e, or e2e-2 and so on while other suites hold the first; the
    runs' folders, the maker's image and the hostile images of one suite never meet another's."""
    return cli.claim_folder(build_dir, 'e2e')


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--build-dir', required=True)
    parser.add_argument('--full', action='store_true', default=os.environ.get('PLUGSTART_E2E_FULL') == '1')
    # A plug-in run mostly waits (for the setups' holds, the robot's polls, the programs'
    # time-outs): four at a time keep a 2-core machine about half busy and take half the time of two.
    parser.add_argument('--jobs', type=int, default=4)
    parser.add_argument('--only', help='run only the cases whose name holds this text')
    options = parser.parse_args(argv)
    build_dir = os.path.abspath(options.build_dir)
    arch = 'win64' if os.path.basename(build_dir) == 'test64' else 'win32'
    work_dir, work_lock = claim_work_dir(build_dir)  # held until the suite ends
    if os.path.basename(work_dir) != 'e2e':
        print('another end-to-end suite holds %s: this one runs in %s' % (os.path.join(build_dir, 'e2e'), work_dir))
    os.makedirs(work_dir, exist_ok=True)

    cases = scenario_cases(build_dir, work_dir)
    covered = [case.cell for case in cases if case.cell]
    cells = matrix.all_cells() if options.full else matrix.pairwise_cells(covered)
    if options.full:
        cells = [cell for cell in cells if cell not in covered]
    cases += [matrix_case(cell) for cell in cells]
    cases += fault_cases(options.full)
    cases += image_row_cases(build_dir, work_dir)
    cases += hostile_cases(build_dir, work_dir)
    cases += real_installer_cases(build_dir)
    if options.only:
        cases = [case for case in cases if options.only in case.name]
    print('%d runs (%s matrix), %d at a time' % (len(cases), 'full' if options.full else 'pairwise', options.jobs))
    sys.stdout.flush()

    started = time.monotonic()
    outcomes = []

    def run(case):
        try:
            return run_case(case, build_dir, work_dir, arch)
        except Exception:
            return ['the run broke:\n' + traceback.format_exc()], 0.0, ''

    def report_case(case, result):
        failures, seconds, run_dir = result
        outcomes.append((case.name, failures))
        print('%s  %5.1f s  %s' % (verdict_word(failures), seconds, case.name))
        for failure in failures:
            print('      - ' + failure.replace('\n', '\n        '))
        if failures:
            print('      (run folder: %s)' % run_dir)
        sys.stdout.flush()

    not_run = parallel.each_in_parallel(cases, options.jobs, run, report_case)
    if stops.requested():
        print('%s: %d runs not started' % (stops.reason(), len(not_run)))
    words = [verdict_word(failures) for _, failures in outcomes]
    print('end-to-end wall time: %.1f s' % (time.monotonic() - started))
    print('%d passed, %d failed, %d skipped' % (words.count('PASS'), words.count('FAIL'), words.count('SKIP')))
    fault_words = [verdict_word(failures) for name, failures in outcomes if name.startswith('fault ')]
    if fault_words:
        print('faults: %d run, %d survived, %d failed, %d skipped (%d kinds of fault)' % (
            len(fault_words) - fault_words.count('SKIP'), fault_words.count('PASS'), fault_words.count('FAIL'),
            fault_words.count('SKIP'), len({n.split(',')[0] for n, _ in outcomes if n.startswith('fault ')})))
    image_words = [verdict_word(failures) for name, failures in outcomes if name.startswith('hostile image: ')]
    if image_words:
        print('hostile images: %d run, %d contained, %d failed, %d skipped' % (
            len(image_words) - image_words.count('SKIP'), image_words.count('PASS'), image_words.count('FAIL'),
            image_words.count('SKIP')))
    return 1 if 'FAIL' in words or stops.requested() else 0


def verdict_word(failures):
    if not failures:
        return 'PASS'
    if failures[0].startswith('STOPPED: '):
        return 'STOP'
    return 'SKIP' if failures[0].startswith('SKIPPED: ') else 'FAIL'


if __name__ == '__main__':
    stops.install()
    try:
        code = stops.exit_code(main(sys.argv[1:]))
    finally:
        stops.finish()
    sys.exit(code)
