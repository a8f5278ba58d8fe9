"""The report's top: the verdict in words, the timeline picture and its text form, the product's
changes apart from the run's own files, and the run folders of two runs at once. Each case
replays a recording (the lines the robot, the simulated device and the stand-ins wrote, at the
moments the run read them) through the run's own recording code, then checks what the report
makes of it."""
import json
import os
import struct
import subprocess
import sys
import tempfile
import textwrap
import time
import types
import unittest
import zlib
from xml.etree import ElementTree

from plugin import cli, logs, observed, record, report, result as result_mod, timeline, verdict

STAGED = 'C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Templates\\R\\'
KIT = '"C:\\Program Files\\NorvoInternetKit\\InternetKit.exe" -aik'
PROFILE = {'driver_name': 'DriverSetup.exe', 'itk_setup': 'InternetKitSetup.exe', 'itk_run_file': 'InternetKit.exe'}


def robot(t, event, **fields):
    return (t, 'robot', dict(event=event, **fields))


def device(t, cdb, result, process='Plugstart.exe', drive='R'):
    return (t, 'device', dict(drive=drive, cdb=cdb, length='3', process=process, result=result))


def stand_in(t, program, pid, action, detail='', command=None):
    return (t, 'programs', dict(program=program, pid=pid, action=action, detail=detail,
                                command=command or '"%s%s"' % (STAGED, program)))


def trace(t, line):
    return (t, 'trace', line)


def started(t, pid, name, command, parent='0'):
    return robot(t, 'process-start', pid=pid, parent=parent, process=name, command=command)


def ended(t, pid, name, code='0'):
    return robot(t, 'process-exit', pid=pid, process=name, code=code)


QUERY, SWITCH = 'F1 02 20 00 00 00', 'F1 01 01 00 00 00'
CD_START = [started(0.26, '272', 'Plugstart.exe', '"R:\\Plugstart.exe" '),
            device(0.36, QUERY, '3'),
            robot(0.41, 'window', hwnd='2006a', pid='272', process='Plugstart.exe', kind='window',
                  **{'class': '#32770'}, title='', owner='', rect='342,265,682,503'),
            started(0.53, '284', 'Plugstart.exe', '"%sPlugstart.exe" -l R' % STAGED, parent='272'),
            device(0.53, QUERY, '3')]
MAIN_WINDOW = robot(0.58, 'window', hwnd='10086', pid='284', process='Plugstart.exe', kind='window',
                    **{'class': '#32770'}, title='Norvo Mobile Installer', owner='', rect='342,265,682,503')

# A clean PC: the driver and the kit installed, the device switched, the kit started (as a real
# run of the test image on Windows XP recorded it).
CLEAN = CD_START + [
    started(0.58, '296', 'DriverSetup.exe', '"%sDriverSetup.exe"' % STAGED, parent='284'),
    ended(0.58, '272', 'Plugstart.exe'), MAIN_WINDOW,
    robot(0.64, 'window-gone', hwnd='2006a', title=''),
    stand_in(0.64, 'DriverSetup.exe', '296', 'start'),
    started(3.64, '304', 'InternetKitSetup.exe', '"%sInternetKitSetup.exe"' % STAGED, parent='284'),
    ended(3.64, '296', 'DriverSetup.exe'),
    stand_in(3.64, 'DriverSetup.exe', '296', 'installed', 'QCT 2.1.0.4'),
    stand_in(3.64, 'DriverSetup.exe', '296', 'exit', '0'),
    stand_in(3.69, 'InternetKitSetup.exe', '304', 'start'),
    device(6.67, SWITCH, '0'),
    stand_in(6.67, 'InternetKitSetup.exe', '304', 'installed', 'kit 1 3.0.2.1'),
    stand_in(6.67, 'InternetKitSetup.exe', '304', 'exit', '0'),
    ended(6.72, '304', 'InternetKitSetup.exe'),
    started(7.69, '312', 'InternetKit.exe', KIT, parent='284'),
    stand_in(7.69, 'InternetKit.exe', '312', 'start', command=KIT),
    stand_in(7.69, 'InternetKit.exe', '312', 'exit', '0', command=KIT),
    ended(7.74, '284', 'Plugstart.exe'), ended(7.74, '312', 'InternetKit.exe'),
    robot(7.74, 'window-gone', hwnd='10086', title='Norvo Mobile Installer')]

# Everything installed already: no window, the device switched and the kit started within a second.
QUICK = [started(0.12, '272', 'Plugstart.exe', '"R:\\Plugstart.exe" '), device(0.2, QUERY, '3'),
         device(0.45, SWITCH, '0'), started(0.8, '280', 'InternetKit.exe', KIT, parent='272'),
         stand_in(0.81, 'InternetKit.exe', '280', 'start', command=KIT),
         stand_in(0.83, 'InternetKit.exe', '280', 'exit', '0', command=KIT),
         ended(0.85, '280', 'InternetKit.exe'), ended(0.93, '272', 'Plugstart.exe')]

WARNING = 'The device driver was not installed.\nThe device cannot be used until its driver is installed.'


def box(t, number, text, hwnd, caption='Norvo Mobile Installer', buttons='OK'):
    return robot(t, 'window', hwnd=hwnd, pid='284', process='Plugstart.exe', kind='messagebox',
                 **{'class': '#32770'}, title=caption, owner='Norvo Mobile Installer', rect='300,300,700,420',
                 number=str(number), text=' '.join(text.split()), buttons=buttons)


def answer(t, hwnd, button='OK', reason='default'):
    return robot(t, 'answer', hwnd=hwnd, answer=button.lower(), button=button, reason=reason, note='')


# A driver setup that fails: the warning, answered OK, then the device is switched all the same.
# The program's trace claims the opposite of what happened: the verdict must not believe it.
SETUP_FAILS = CD_START + [
    started(0.58, '296', 'DriverSetup.exe', '"%sDriverSetup.exe"' % STAGED, parent='284'), MAIN_WINDOW,
    stand_in(0.64, 'DriverSetup.exe', '296', 'start'),
    stand_in(0.7, 'DriverSetup.exe', '296', 'failed', 'as scripted'),
    stand_in(0.7, 'DriverSetup.exe', '296', 'exit', '1603'),
    ended(0.72, '296', 'DriverSetup.exe', '1603'),
    trace(0.75, 'End : [CPlugstartDlg::InstallDriver()] driver installed'),
    box(0.8, 1, WARNING, 'b0x'), answer(2.1, 'b0x'), robot(2.15, 'window-gone', hwnd='b0x', title=''),
    device(2.3, SWITCH, '0'),
    ended(2.6, '284', 'Plugstart.exe'), robot(2.6, 'window-gone', hwnd='10086', title='Norvo Mobile Installer'),
    ended(2.6, '272', 'Plugstart.exe')]

# The same with a driver setup that crashes: its last line tells so, and it logs no exit.
SETUP_CRASHES = SETUP_FAILS[:7] + [stand_in(0.7, 'DriverSetup.exe', '296', 'crashing', 'access violation, as scripted'),
                                   ended(0.72, '296', 'DriverSetup.exe', 'c0000005')] + SETUP_FAILS[10:]

COPY_FAILED = 'A file could not be copied from the device to this computer: R:\\DriverSetup.exe'
# The copy to the PC fails: the program stops at its message and nothing else happens.
STOPPED = [started(0.26, '272', 'Plugstart.exe', '"R:\\Plugstart.exe" '), device(0.36, QUERY, '3'),
           box(1.2, 1, COPY_FAILED, 'c0py'), answer(1.9, 'c0py'), robot(1.95, 'window-gone', hwnd='c0py', title=''),
           ended(2.05, '272', 'Plugstart.exe', '1')]

# A limited user on XP: the device refuses the program, the command service does the work.
SERVICE = [robot(0.0, 'process-running', pid='40', process='NorvoAutorunService.exe',
                 command='C:\\windows\\system32\\NorvoAutorunService.exe'),
           started(0.3, '272', 'Plugstart.exe', '"R:\\Plugstart.exe" '), device(0.4, QUERY, '-20'),
           device(0.5, QUERY, '3', process='NorvoAutorunService.exe'),
           device(1.5, SWITCH, '0', process='NorvoAutorunService.exe'),
           started(2.6, '280', 'InternetKit.exe', '"C:\\Program Files\\Vodafone\\Via The Phone\\InternetKit.exe"'),
           stand_in(2.6, 'InternetKit.exe', '280', 'start',
                    command='"C:\\Program Files\\Vodafone\\Via The Phone\\InternetKit.exe"'),
           ended(2.7, '280', 'InternetKit.exe'), ended(2.8, '272', 'Plugstart.exe')]

# A driver setup that holds for almost five minutes, then everything goes on.
LONG = CD_START + [
    started(0.58, '296', 'DriverSetup.exe', '"%sDriverSetup.exe"' % STAGED, parent='284'), MAIN_WINDOW,
    stand_in(0.64, 'DriverSetup.exe', '296', 'start'),
    stand_in(0.66, 'DriverSetup.exe', '296', 'waiting', 'C:\\plugstart_sim\\release-setup'),
    stand_in(290.0, 'DriverSetup.exe', '296', 'installed', 'QCT 2.1.0.4'),
    stand_in(290.0, 'DriverSetup.exe', '296', 'exit', '0'), ended(290.05, '296', 'DriverSetup.exe'),
    device(295.5, SWITCH, '0'),
    ended(301.2, '284', 'Plugstart.exe'), robot(301.2, 'window-gone', hwnd='10086', title='Norvo Mobile Installer'),
    ended(301.2, '272', 'Plugstart.exe')]

# The same setup never let go: at the time-out it and the program still run.
TIMED_OUT = CD_START + [
    started(0.58, '296', 'DriverSetup.exe', '"%sDriverSetup.exe"' % STAGED, parent='284'), MAIN_WINDOW,
    ended(0.6, '272', 'Plugstart.exe'),
    stand_in(0.64, 'DriverSetup.exe', '296', 'start'),
    stand_in(0.66, 'DriverSetup.exe', '296', 'waiting', 'C:\\plugstart_sim\\release-setup')]


class FixedClockLaunch(record.Launch):
    def __init__(self, label):
        super().__init__(label)
        self.clock = 0.0

    def now(self):
        return self.clock


class Replay(record.LaunchRecording):
    """The run's recording code fed from a recording instead of the logs of a running prefix."""

    def __init__(self, folder):
        self.s = types.SimpleNamespace(verbose=False, screenshots=False, hooks=[], log=print)
        self.launch = FixedClockLaunch('the plug-in')
        self.launch.t0 = 0.0
        self.folder = folder
        self.acknowledged = []

    def acknowledge_box(self, number):
        self.acknowledged.append(number)

    def sim_folder(self, *parts):
        return os.path.join(self.folder, *parts)

    def take_shot(self, reason):
        return None

    def schedule_shot(self, reason, delay, shows=None):
        pass

    def play(self, recording):
        handlers = {'robot': self.on_robot, 'device': self.on_command, 'programs': self.on_program}
        for t, log, fields in recording:
            self.launch.clock = t
            if log == 'trace':
                self.on_trace(fields)
            else:  # through the parser of the log lines, as a run reads them
                handlers[log](logs.parse_fields('\t'.join('%s=%s' % kv for kv in fields.items())))


def replayed(recording, outcome='finished', duration=None, modes=None, registry=None, timeout=300,
             screenshots=()):
    """The result data of a run that saw recording."""
    with tempfile.TemporaryDirectory() as folder:
        run = Replay(folder)
        run.play(recording)
    run.launch.outcome = outcome
    run.launch.clock = duration if duration is not None else recording[-1][0] + 2.0
    run.launch.screenshots = [{'t': t, 'file': path, 'reason': reason} for t, path, reason in screenshots]
    result = {'settings': {'timeout': timeout, 'windows': 'xp'}, 'outcome': outcome, 'error': None,
              'program': {'name': 'Plugstart.exe', 'profile': PROFILE},
              'run': result_mod.launch_data(run, run.launch), 'registry': registry,
              'device_state': {letter: {'mode': mode} for letter, mode in (modes or {'R': 'modem'}).items()}}
    result['verdict'] = verdict.sentence(result)
    return result


class VerdictTests(unittest.TestCase):
    def test_the_verdict_of_each_kind_of_run(self):
        autoplay = {'added': [], 'removed': [], 'changed': [
            {'key': 'machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer',
             'name': 'NoDriveTypeAutoRun', 'old': 'dword:000000b5', 'new': 'dword:00000095'}]}
        service = {'added': [{'key': 'machine\\System\\CurrentControlSet\\Services\\Norvo SCSI Commander',
                              'values': {}}], 'removed': [], 'changed': []}
        cases = [
            ('a clean PC', replayed(CLEAN),
             'Installed the driver (QCT 2.1.0.4) and the kit (3.0.2.1), switched R: to modem mode and started the '
             'kit (InternetKit.exe -aik), in 7.7 s; no message box'),
            ('everything installed, within a second', replayed(QUICK),
             'Switched R: to modem mode and started the kit (InternetKit.exe -aik), in 0.9 s; nothing installed; '
             'no message box'),
            ('a failing driver setup, whatever the trace says', replayed(SETUP_FAILS),
             'Switched R: to modem mode, in 2.6 s; nothing installed; DriverSetup.exe failed (exit code 1603); '
             "message box 'The device driver was not installed. The device cannot be used until its driver is "
             "installed.' (answered OK)"),
            ('a driver setup that crashes', replayed(SETUP_CRASHES),
             'Switched R: to modem mode, in 2.6 s; nothing installed; DriverSetup.exe crashed (an access violation); '
             "message box 'The device driver was not installed. The device cannot be used until its driver is "
             "installed.' (answered OK)"),
            ('stopped at a message', replayed(STOPPED, modes={'R': 'cdrom (unchanged)'}),
             "Stopped after 2.0 s at '%s' (answered OK); nothing installed; R: still a CD" % COPY_FAILED),
            ('through the command service', replayed(SERVICE),
             'Switched R: to modem mode through the command service and started the kit (InternetKit.exe), in 2.8 s; '
             'nothing installed; no message box'),
            ('the kit installed and not started',
             replayed(CLEAN[:-6] + [ended(7.74, '284', 'Plugstart.exe'), CLEAN[-1]]),
             'Installed the driver (QCT 2.1.0.4) and the kit (3.0.2.1), and switched R: to modem mode, in 7.7 s; '
             'no message box'),
            ('five minutes', replayed(LONG),
             'Installed the driver (QCT 2.1.0.4) and switched R: to modem mode, in 5 min 1 s; no message box'),
            ('the time-out', replayed(TIMED_OUT, 'timed-out', 300.0, modes={'R': 'cdrom'}),
             'No end within 5 min (DriverSetup.exe, Plugstart.exe still running); nothing installed; R: still a CD; '
             'no message box'),
            ('the autoplay setting and the service', replayed(CLEAN, registry=dict(
                autoplay, added=service['added'])),
             'Changed the autoplay setting NoDriveTypeAutoRun (0xb5 -> 0x95), set up the command service, installed '
             'the driver (QCT 2.1.0.4) and the kit (3.0.2.1), switched R: to modem mode and started the kit '
             '(InternetKit.exe -aik), in 7.7 s; no message box'),
        ]
        for name, result, expected in cases:
            self.assertEqual(result['verdict'], expected, name)

    def test_a_stopped_run_says_by_what_after_how_long_and_what_still_ran(self):
        result = replayed(TIMED_OUT, 'stopped', 4.2, modes={'R': 'cdrom'})
        result['stopped'] = 'stopped by SIGTERM'
        self.assertEqual(verdict.sentence(result), 'Stopped by SIGTERM after 4.2 s (DriverSetup.exe, Plugstart.exe '
                                                   'still running); nothing installed; R: still a CD; no message box')
        self.assertEqual(verdict.sentence({'outcome': 'stopped', 'stopped': 'stopped by SIGINT', 'run': None}),
                         'Stopped by SIGINT before the device was plugged in')

    def test_a_run_that_could_not_start_says_why(self):
        self.assertEqual(verdict.sentence({'outcome': 'error', 'error': 'Xvfb could not start', 'run': None}),
                         'Could not run: Xvfb could not start')

    def test_a_box_before_the_work_is_no_stop(self):
        # The autoplay question comes first; the run goes on after it: the run did not stop there.
        question = [box(0.3, 1, 'Windows is set not to start programs from CD-ROM drives', 'q1'),
                    answer(0.9, 'q1', 'Cancel')]
        result = replayed(CD_START[:1] + question + CLEAN[1:])
        self.assertTrue(result['verdict'].startswith('Installed the driver'), result['verdict'])
        self.assertTrue(result['verdict'].endswith("; message box 'Windows is set not to start programs from CD-ROM "
                                                   "drives' (answered Cancel)"), result['verdict'])

    def test_a_setup_held_at_the_time_out_is_known_by_its_profile_name(self):
        stand_ins = observed.stand_ins_with_roles(replayed(TIMED_OUT, 'timed-out', 300.0))
        self.assertEqual([(s['program'], s['role']) for s in stand_ins], [('DriverSetup.exe', 'driver setup')])


def svg_of(result, thumbnails=None):
    return ElementTree.fromstring(timeline.timeline_svg(result, thumbnails))


def with_class(svg, css):
    return [e for e in svg.iter() if css in (e.get('class') or '').split()]


def numbers_of(svg, attribute):
    return [float(e.get(attribute)) for e in svg.iter() if e.get(attribute) not in (None, '')]


class PictureTests(unittest.TestCase):
    def test_one_bar_per_program_and_one_mark_per_device_command_at_every_scale(self):
        runs = [('1 s', replayed(QUICK)), ('8 s', replayed(CLEAN)), ('5 minutes', replayed(LONG)),
                ('a time-out', replayed(TIMED_OUT, 'timed-out', 300.0)), ('a box', replayed(SETUP_FAILS)),
                ('no device command', replayed(STOPPED[:1] + STOPPED[2:], modes={'R': 'cdrom (unchanged)'}))]
        for name, result in runs:
            svg = svg_of(result)
            run = result['run']
            self.assertEqual(len(with_class(svg, 'program-bar')), len(run['processes']), name)
            self.assertEqual(len(with_class(svg, 'device-mark')), len(run['commands']), name)
            self.assertEqual(len(with_class(svg, 'box-flag')), len(run['boxes']), name)
            self.assertEqual(len(with_class(svg, 'device-line')), len(result['device_state']), name)
            # Everything lies on the picture, and the time axis has a handful of ticks.
            width = float(svg.get('width'))
            for x in numbers_of(svg, 'x') + numbers_of(svg, 'x1') + numbers_of(svg, 'x2') + numbers_of(svg, 'cx'):
                self.assertTrue(0 <= x <= width, '%s: x=%s' % (name, x))
            ticks = with_class(svg, 'tick')
            self.assertTrue(3 <= len(ticks) <= 12, '%s: %d ticks' % (name, len(ticks)))

    def test_a_long_run_counts_in_minutes_and_a_time_out_shows_what_still_ran(self):
        long_ticks = [t.text for t in with_class(svg_of(replayed(LONG)), 'tick')]
        self.assertIn('1:00', long_ticks)
        self.assertIn('5:00', long_ticks)
        timed_out = svg_of(replayed(TIMED_OUT, 'timed-out', 300.0))
        self.assertEqual(len(with_class(timed_out, 'timeout-line')), 1)
        running = [bar for bar in with_class(timed_out, 'program-bar')
                   if 'still running' in bar.find('{http://www.w3.org/2000/svg}title').text]
        self.assertEqual(len(running), 2)  # the PC copy of the program and its driver setup
        for bar in running:
            self.assertAlmostEqual(float(bar.get('x')) + float(bar.get('width')), timeline.PLOT_RIGHT, delta=1)

    def test_the_main_window_goes_through_the_steps_the_outside_saw(self):
        result = replayed(CLEAN)
        main = [s for s in result['run']['windows'] if s['title'] == 'Norvo Mobile Installer']
        self.assertEqual(len(main), 1)
        steps = timeline.window_steps(main[0]['start'], main[0]['end'], result)
        self.assertEqual([step for _, _, step in steps],
                         ['preparing', 'installing the driver', 'installing the kit', 'in modem mode'])
        self.assertEqual((steps[0][0], steps[-1][1]), (0.58, 7.74))
        svg = svg_of(result)
        self.assertEqual(len(with_class(svg, 'window-step')), 4)
        self.assertEqual(len(with_class(svg, 'window-band')), 1)  # the untitled staging dialog

    def test_thumbnails_lie_side_by_side_and_link_to_their_picture(self):
        shots = [(0.4 + i * 0.05, '/nowhere/%02d.png' % i, 'shot %d' % i) for i in range(12)]
        result = replayed(CLEAN, screenshots=shots)
        size = timeline.thumb_size(len(shots))
        placed = timeline.shot_rows(result['run']['screenshots'], timeline.Scale(timeline.time_span(result)), size)
        boxes = [(x, row) for _, x, row in placed]
        for i, (x, row) in enumerate(boxes):
            self.assertTrue(0 <= x <= timeline.WIDTH - size[0], x)
            for other_x, other_row in boxes[:i]:
                self.assertFalse(row == other_row and abs(x - other_x) < size[0], (x, row, other_x))
        links = [a.get('href') for a in with_class(svg_of(result, {1: 'data:image/png;base64,AA=='}), 'thumb')]
        self.assertEqual(links, ['#shot-%d' % n for n in range(1, 13)])

    def test_the_text_timeline_has_a_row_per_program_and_marks_each_command(self):
        for recording, outcome, duration in ((QUICK, 'finished', None), (LONG, 'finished', None),
                                             (TIMED_OUT, 'timed-out', 300.0)):
            result = replayed(recording, outcome, duration)
            lines = timeline.text_timeline(result)
            rows = [line for line in lines if '|' in line]
            widths = {line.index('|', timeline.TEXT_NAME) for line in rows}
            self.assertEqual(widths, {timeline.TEXT_NAME})
            for process in result['run']['processes']:
                self.assertTrue(any(line.startswith(process['name']) for line in rows), process['name'])
            # Commands close in time may share a column; the note beside the lane names each.
            device = [line for line in rows if line.startswith('device R:')][0]
            self.assertEqual(device.split('|')[2].count('\u2192'), len(result['run']['commands']))
            for command in result['run']['commands']:
                self.assertIn('M' if command['meaning'].startswith('mode') else 'q', device.split('|')[1])
        running = [line for line in timeline.text_timeline(replayed(TIMED_OUT, 'timed-out', 300.0))
                   if line.endswith('still running')]
        self.assertEqual(len(running), 2)
        self.assertTrue(all(line.split('|')[1].rstrip().endswith('>') for line in running))


def tiny_png():
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    pixels = zlib.compress(b''.join(b'\0' + b'\x80\x20\x20' * 4 for _ in range(3)))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 4, 3, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', pixels) + chunk(b'IEND', b''))


def written_report(folder):
    """(result, path of report.html) of a run whose driver setup failed, its message box
    photographed, with the report written into folder/report."""
    shot = os.path.join(folder, '01.png')
    with open(shot, 'wb') as f:
        f.write(tiny_png())
    result = replayed(SETUP_FAILS, screenshots=[(0.9, shot, 'message box 1')])
    result['run']['boxes'][0]['screenshot'] = shot
    result.update(settings=dict(result['settings'], image='/image', state='clean', limited_user=False,
                                reply=None, answer={'default': 'ok', 'rules': []}),
                  notes=[], prepared_by=[], files=None, own_files=None, staging=None)
    return result, report.write_report(result, os.path.join(folder, 'report'))


class ReportTests(unittest.TestCase):
    def test_both_reports_and_the_terminal_put_the_verdict_first_or_last(self):
        with tempfile.TemporaryDirectory() as folder:
            result, path = written_report(folder)
            with open(path, encoding='utf-8') as f:
                page = f.read()
            with open(os.path.join(folder, 'report', 'report.md'), encoding='utf-8') as f:
                markdown = f.read()
        self.assertEqual(markdown.split('\n', 1)[0], '# ' + result['verdict'])
        self.assertLess(markdown.index('```text'), markdown.index('## The run'))
        body = page[page.index('<body>') + len('<body>'):].lstrip()
        self.assertTrue(body.startswith('<h1 class="verdict ended-finished">Switched R: to modem mode, in 2.6 s;'),
                        body[:200])
        svg = ElementTree.fromstring(page[page.index('<svg'):page.index('</svg>') + 6])
        # The box's flag and the thumbnail link to the screenshot further down.
        self.assertEqual([a.get('href') for a in with_class(svg, 'box-flag')], ['#shot-1'])
        self.assertEqual([a.get('href') for a in with_class(svg, 'thumb')], ['#shot-1'])
        self.assertIn('<figure id="shot-1">', page)
        lines = report.terminal_lines(result, path)
        self.assertEqual(lines[-1], result['verdict'])

    def test_the_run_s_own_files_stand_apart_from_the_product_s(self):
        files = {'added': [{'path': p, 'size': 1} for p in (
                     'plugstart_sim/commands.log', 'plugstart_sim/robot/events.log',
                     'users/root/Temp/Plugstart_trace.log',
                     'users/root/AppData/Roaming/Microsoft/Windows/Templates/R/Plugstart.exe',
                     'Program Files/NorvoInternetKit/InternetKit.exe', 'windows/system32/NorvoAutorunService.exe')],
                 'changed': [{'path': 'plugstart_sim/R.ini', 'old_size': 1, 'new_size': 2}],
                 'removed': ['plugstart_sim/programs.ini', 'Program Files/Old/old.exe']}
        product, own = result_mod.split_own_files(files)
        self.assertEqual([f['path'] for f in product['added']],
                         ['users/root/AppData/Roaming/Microsoft/Windows/Templates/R/Plugstart.exe',
                          'Program Files/NorvoInternetKit/InternetKit.exe', 'windows/system32/NorvoAutorunService.exe'])
        self.assertEqual(product['changed'], [])
        self.assertEqual(product['removed'], ['Program Files/Old/old.exe'])
        self.assertEqual(len(own['added']) + len(own['changed']) + len(own['removed']), 5)

    def test_the_staging_folder_s_files_stand_in_one_row(self):
        staging = 'users/root/Templates/R/'
        files = {'added': [{'path': staging, 'size': -1}, {'path': staging + 'a.exe', 'size': 10},
                           {'path': staging + 'tools/', 'size': -1}, {'path': staging + 'tools/b.opt', 'size': 5},
                           {'path': 'windows/system32/drivers/x.sys', 'size': 3}], 'changed': [], 'removed': []}
        rows = report.file_rows(files, staging)
        self.assertEqual(rows, [('added', staging, 'the staging folder: 2 files, 15 bytes (listed above)'),
                                ('added', 'windows/system32/drivers/x.sys', 3)])
        self.assertEqual(report.staging_path({'staging': {'folder': 'C:\\users\\root\\Templates\\R'}}), staging)


HOLDER = textwrap.dedent('''
    import sys
    from plugin import cli
    run_dir, report_dir, lock = cli.claim_run_folders(sys.argv[1])
    print(run_dir, flush=True)
    sys.stdin.read()
''')
# An end-to-end suite holding its work folder until its input ends.
SUITE_HOLDER = textwrap.dedent('''
    import sys
    import e2e
    work_dir, lock = e2e.claim_work_dir(sys.argv[1])
    print(work_dir, flush=True)
    sys.stdin.read()
''')


class ClockTests(unittest.TestCase):
    def test_lines_handled_in_one_pass_carry_the_moment_the_pass_began(self):
        launch = record.Launch('the plug-in')
        launch.t0 = time.monotonic() - 5.0
        with launch.hold(1.5):
            time.sleep(0.02)
            self.assertEqual(launch.now(), 1.5)
        self.assertGreaterEqual(launch.now(), 5.0)


class ProvenanceTests(unittest.TestCase):
    def test_a_robot_event_written_into_the_device_s_or_the_stand_ins_log_is_not_read_as_theirs(self):
        forged = {'event': 'window', 'hwnd': 'dead', 'process': 'FORGED.exe', 'kind': 'messagebox',
                  'title': 'FORGED', 'text': 'FORGED', 'number': '9'}
        with tempfile.TemporaryDirectory() as folder:
            run = Replay(folder)
            run.play([(0.1, 'device', forged), (0.2, 'programs', forged), (0.3, 'device', dict(
                drive='R', cdb='F1 01 01', length='0', process='Plugstart.exe', result='0'))])
        self.assertEqual([c['cdb'] for c in run.launch.commands], ['F1 01 01'])
        self.assertEqual(run.launch.programs, [])
        self.assertNotIn('FORGED', json.dumps(run.launch.events))

    def test_the_summary_says_whether_the_pc_ran_in_the_sandbox(self):
        result = replayed(QUICK)
        result['settings']['sandbox'] = True
        self.assertIn('sandbox: yes (bubblewrap)', report.summary_lines(result))
        result['settings']['sandbox'] = False
        self.assertIn('sandbox: NONE: the PC ran on the host (--no-sandbox)', report.summary_lines(result))

    def test_the_device_s_and_the_stand_ins_logs_are_titled_the_pc_s_own_account(self):
        with tempfile.TemporaryDirectory() as folder:
            _, page = written_report(folder)
            with open(os.path.join(os.path.dirname(page), 'report.md'), encoding='utf-8') as f:
                titles = [line[3:] for line in f.read().split('\n') if line.startswith('## ')]
        for part in ('Commands the device received', 'What the stand-ins did', 'Steps of the program'):
            title = [t for t in titles if t.startswith(part)]
            self.assertTrue(title and title[0].endswith('the PC\'s own account)'), titles)


class RunFolderTests(unittest.TestCase):
    def held(self, script, build):
        env = dict(os.environ, PYTHONPATH=os.path.dirname(os.path.dirname(os.path.abspath(cli.__file__))))
        holder = subprocess.Popen([sys.executable, '-c', script, build], stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, env=env, text=True)
        self.addCleanup(holder.stdout.close)
        self.addCleanup(holder.wait, 30)
        self.addCleanup(holder.stdin.close)
        return holder

    def test_two_end_to_end_suites_at_once_work_in_folders_of_their_own(self):
        import e2e
        with tempfile.TemporaryDirectory() as build:
            holder = self.held(SUITE_HOLDER, build)
            self.assertEqual(holder.stdout.readline().strip(), os.path.join(build, 'e2e'))
            work_dir, lock = e2e.claim_work_dir(build)
            lock.close()
            self.assertEqual(work_dir, os.path.join(build, 'e2e-2'))

    def test_a_second_run_at_once_gets_folders_of_its_own_and_the_first_are_free_again_after(self):
        with tempfile.TemporaryDirectory() as build:
            env = dict(os.environ, PYTHONPATH=os.path.dirname(os.path.dirname(os.path.abspath(cli.__file__))))
            holder = subprocess.Popen([sys.executable, '-c', HOLDER, build], stdin=subprocess.PIPE,
                                      stdout=subprocess.PIPE, env=env, text=True)
            try:
                self.assertEqual(holder.stdout.readline().strip(), os.path.join(build, 'plugin-run'))
                run_dir, report_dir, lock = cli.claim_run_folders(build)
                self.assertEqual((run_dir, report_dir), (os.path.join(build, 'plugin-run-2'),
                                                         os.path.join(build, 'plugin-report-2')))
                lock.close()
            finally:
                holder.stdin.close()
                holder.wait(timeout=30)
                holder.stdout.close()
            run_dir, report_dir, lock = cli.claim_run_folders(build)
            lock.close()
            self.assertEqual((run_dir, report_dir), (os.path.join(build, 'plugin-run'),
                                                     os.path.join(build, 'plugin-report')))


if __name__ == '__main__':
    unittest.main()
