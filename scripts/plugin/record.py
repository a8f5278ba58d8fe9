"""The record of one start of the program: what the robot, the simulated device, the
stand-ins and the program's trace report while it runs, turned into a timeline with times since
the plug-in, message boxes, device commands, stand-in actions and processes."""
import contextlib
import time

from . import beneath
from .hold import release_name

# Processes of Wine itself and of the run's own tools: not part of what the program started.
INFRASTRUCTURE = {'services.exe', 'winedevice.exe', 'plugplay.exe', 'explorer.exe', 'svchost.exe',
                  'rpcss.exe', 'conhost.exe', 'start.exe', 'wineboot.exe', 'winemenubuilder.exe',
                  'tabtip.exe', 'rundll32.exe', 'regedit.exe', 'reg.exe', 'cmd.exe', 'plugrobot.exe',
                  'mscorsvw.exe', 'iexplore.exe', 'wmic.exe', 'sc.exe'}
TRACE_STEP_PREFIXES = ('Start :', 'End :', '[', '====', 'Get Phone Info', 'Uninstall', 'Install Driver',
                       'InstallITK()')


def describe_command(cdb):
    parts = cdb.split()
    if parts[:3] == ['F1', '02', '20']:
        return 'phone-setting query'
    if parts[:3] in (['F1', '01', '01'], ['F1', '01', '81']):
        return 'mode change (to modem)'
    return 'vendor command'


class Launch:
    """What one start of the program (and everything after it) showed."""

    def __init__(self, label):
        self.label = label
        self.t0 = None
        self.events = []        # timeline: {'t', 'source', 'text', ...}
        self.boxes = []         # message boxes and the guide, with the robot's answers
        self.windows = {}       # hwnd -> window event fields
        # The program's windows (not boxes), one span per title: {'hwnd', 'title', 'class', 'process', 'start', 'end'}
        self.window_spans = []
        self.commands = []      # device commands
        self.programs = []      # stand-ins' actions
        self.processes = {}     # pid -> {'name', 'command', 'parent', 'start', 'end', 'code'}
        self.trace = []         # (t, line)
        self.screenshots = []   # {'t', 'file', 'reason'}
        self.holding = {}       # pid -> the release file of a stand-in held until its status is shown
        self.launchers = []     # [{'drive', 'popen', 'code', 'end'}]
        self.outcome = None     # finished, timed-out
        self.robot_error = None
        self.held = None        # the moment the lines being handled were seen, while they are

    def now(self):
        if self.held is not None:
            return self.held
        return time.monotonic() - self.t0 if self.t0 is not None else 0.0

    @contextlib.contextmanager
    def hold(self, moment):
        """now() is moment meanwhile: lines read in one pass were all there at its start."""
        self.held = moment
        try:
            yield
        finally:
            self.held = None


class LaunchRecording:
    """The part of a run that records a launch (a mixin of PlugInRun: it uses the run's settings,
    its launch and its camera)."""

    # The method that takes each kind of the robot's events into the record.
    ROBOT_EVENTS = {'process-running': 'on_process_running', 'process-start': 'on_process_start',
                    'process-exit': 'on_process_exit', 'window': 'on_window', 'title': 'on_title',
                    'window-gone': 'on_window_gone', 'answer': 'on_answer', 'robot-error': 'on_robot_error'}

    def event(self, source, text, **fields):
        entry = {'t': round(self.launch.now(), 2), 'source': source, 'text': text}
        entry.update(fields)
        self.launch.events.append(entry)
        self._last_event = time.monotonic()
        if self.s.verbose:
            self.s.log('  %7.2fs  %-8s %s' % (entry['t'], source, text))
        return entry

    def interesting(self, process):
        return process.lower() not in INFRASTRUCTURE

    def on_robot(self, fields):
        """One event of the robot into the launch's record, then to the run's hooks (the answers
        to the run's own syncs and the windows of Wine's own programs are none of theirs)."""
        kind = fields.get('event')
        if kind == 'robot-sync':
            if getattr(self, 'end_watch', None):
                self.end_watch.on_answer(fields)
            return  # the run's own question answered: nothing of the PC
        if kind == 'window':
            self.launch.windows[fields.get('hwnd')] = fields
            if not self.interesting(fields.get('process', '')):
                return
        if kind in self.ROBOT_EVENTS:
            getattr(self, self.ROBOT_EVENTS[kind])(fields)
        for hook in self.s.hooks:
            hook(self, fields)

    def on_process_running(self, fields):
        self.launch.processes[fields.get('pid')] = {
            'name': fields.get('process', ''), 'command': fields.get('command', ''), 'parent': None,
            'start': 0.0, 'end': None, 'code': None, 'running_at_start': True}
        if self.interesting(fields.get('process', '')):
            self.event('process', 'running already: %s: %s' % (fields.get('process'), fields.get('command', '')))

    def on_process_start(self, fields):
        self.launch.processes[fields.get('pid')] = {
            'name': fields.get('process', ''), 'command': fields.get('command', ''), 'parent': fields.get('parent'),
            'start': round(self.launch.now(), 2), 'end': None, 'code': None}
        if self.interesting(fields.get('process', '')):
            self.event('process', 'started %s: %s' % (fields.get('process'), fields.get('command', '')))

    def on_process_exit(self, fields):
        process = self.launch.processes.get(fields.get('pid'))
        if process:
            process['end'] = round(self.launch.now(), 2)
            process['code'] = fields.get('code')
        if self.interesting(fields.get('process', '')):
            self.event('process', 'ended %s (exit code %s)' % (fields.get('process'), fields.get('code')))

    def on_window(self, fields):
        """A window of the program's: a message box or the guide (photographed, then the robot
        may answer it), or another window, whose band begins."""
        if fields.get('kind') in ('messagebox', 'guide'):
            self.on_box(fields)
            return
        self.launch.window_spans.append({'hwnd': fields.get('hwnd'), 'title': fields.get('title', ''),
                                         'class': fields.get('class', ''), 'process': fields.get('process', ''),
                                         'start': round(self.launch.now(), 2), 'end': None})
        self.event('window', 'window "%s" of %s (%s)' % (fields.get('title', ''), fields.get('process'),
                                                          fields.get('class', '')))
        # The staging dialog of a CD start lives for a moment only: photographed at once.
        self.take_shot('window "%s"' % fields.get('title', ''))

    def on_box(self, fields):
        box = {'number': int(fields.get('number', '0')), 't': round(self.launch.now(), 2),
               'kind': fields.get('kind'), 'caption': fields.get('title', ''), 'text': fields.get('text', ''),
               'owner': fields.get('owner', ''), 'process': fields.get('process', ''),
               'buttons': fields.get('buttons', ''), 'hwnd': fields.get('hwnd'), 'answers': []}
        self.launch.boxes.append(box)
        label = 'message box' if box['kind'] == 'messagebox' else 'PC-suite guide'
        self.event('window', '%s "%s": %s' % (label, box['caption'], box['text']), box=box['number'])
        if self.s.screenshots:
            time.sleep(0.4)  # the box painted
            shot = self.take_shot('%s %d' % (label, box['number']))
            if shot:
                box['screenshot'] = shot['file']
        self.acknowledge_box(box['number'])

    def on_title(self, fields):
        window = self.launch.windows.get(fields.get('hwnd'))
        if not (window and self.interesting(window.get('process', ''))):
            return
        # A new title is a new state of the window: its band goes on under the new title.
        for span in self.open_spans(fields.get('hwnd')):
            span['end'] = round(self.launch.now(), 2)
            self.launch.window_spans.append(dict(span, title=fields.get('title', ''), start=span['end'], end=None))
        self.event('window', 'title now "%s"' % fields.get('title', ''))
        self.schedule_shot('title "%s"' % fields.get('title', ''), 0.4)

    def on_window_gone(self, fields):
        launch = self.launch
        window = launch.windows.pop(fields.get('hwnd'), None)
        for span in self.open_spans(fields.get('hwnd')):
            span['end'] = round(launch.now(), 2)
        for box in launch.boxes:
            if box['hwnd'] == fields.get('hwnd') and box.get('closed') is None:
                box['closed'] = round(launch.now(), 2)
        if window and self.interesting(window.get('process', '')):
            self.event('window', 'window "%s" closed' % fields.get('title', ''))

    def on_answer(self, fields):
        for box in self.launch.boxes:
            if box['hwnd'] == fields.get('hwnd'):
                answer = {'answer': fields.get('answer'), 'button': fields.get('button'),
                          'reason': fields.get('reason'), 'note': fields.get('note', '')}
                box['answers'].append(answer)
                self.event('robot', 'pressed %s on box %d (%s%s)' % (
                    answer['button'], box['number'], answer['reason'],
                    ', ' + answer['note'] if answer['note'] else ''))

    def on_robot_error(self, fields):
        self.launch.robot_error = fields.get('detail')
        self.event('robot', 'robot error: %s' % self.launch.robot_error)

    def open_spans(self, hwnd):
        return [span for span in self.launch.window_spans if span['hwnd'] == hwnd and span['end'] is None]

    def on_command(self, fields):
        if 'drive' not in fields or 'cdb' not in fields:  # no line of the device's log
            return
        command = {'t': round(self.launch.now(), 2), 'drive': fields.get('drive', ''), 'cdb': fields.get('cdb', ''),
                   'length': fields.get('length', ''), 'process': fields.get('process', ''),
                   'result': fields.get('result', '')}
        command['meaning'] = describe_command(command['cdb'])
        self.launch.commands.append(command)
        self.event('device', '%s: %s (%s) from %s -> %s' % (command['drive'], command['cdb'], command['meaning'],
                                                          command['process'], command['result']))

    def on_program(self, fields):
        if 'program' not in fields or 'action' not in fields:  # no line of the stand-ins' log
            return
        action = {'t': round(self.launch.now(), 2), 'program': fields.get('program', ''), 'pid': fields.get('pid'),
                  'action': fields.get('action', ''), 'detail': fields.get('detail', ''),
                  'command': fields.get('command', '')}
        self.launch.programs.append(action)
        text = '%s %s%s' % (action['program'], action['action'], ': ' + action['detail'] if action['detail'] else '')
        if action['action'] == 'start':
            text += ' (%s)' % action['command']
            # The program shows the step's status as it starts the setup, before the setup's own
            # start is logged: a moment later the status is on the screen.
            self.schedule_shot('%s started' % action['program'], 0.15, shows=action['pid'])
        elif action['action'] == 'holding':
            self.note_hold(action)
        self.event('programs', text)

    def on_trace(self, line):
        text = line.strip()
        if not text:
            return
        self.launch.trace.append((round(self.launch.now(), 2), text))
        if text.startswith(TRACE_STEP_PREFIXES):
            self.event('trace', text)
            if 'CPlugstartDlg::AutoRun()' in text and text.startswith('Start'):
                self.schedule_shot('auto-run started', 0.6)
            elif text.startswith('Start : VTP Program'):
                self.schedule_shot('launch stage', 0.4)

    def note_hold(self, action):
        """A stand-in holds until its release file exists: the run writes that file once the
        stand-in's status is photographed."""
        name = release_name(action)
        if name:
            self.launch.holding[action['pid']] = self.sim_folder(name)

    def release_hold(self, pid):
        """Lets the stand-in pid go on, when it holds until its status is shown."""
        path = self.launch.holding.pop(pid, None)
        if path:
            self.hold_releases.append(path)
            try:
                beneath.write_new(self.prefix.path, path, b'')
            except OSError as e:  # it holds its whole delay
                self.event('programs', 'could not let the setup %s go on: %s' % (pid, e))

    def running_setups(self):
        """The stand-ins that have started and not ended: neither logged their exit nor were seen
        by the robot to end (a crashed one logs no exit)."""
        started, ended = set(), set()
        for action in self.launch.programs:
            key = (action['program'], action['pid'])
            process = self.launch.processes.get(action['pid'])
            if action['action'] == 'exit' or (process and process['end'] is not None):
                ended.add(key)
            elif action['action'] == 'start':
                started.add(key)
        return started - ended

    def program_running(self):
        names = {image.program.replace('\\', '/').split('/')[-1].lower() for image in self.images.values()}
        return any(p['end'] is None and p['name'].lower() in names for p in self.launch.processes.values())

    def launchers_done(self):
        done = True
        for launcher in self.launch.launchers:
            code = launcher['popen'].poll()
            if code is None:
                done = False
            elif launcher['code'] is None:
                launcher['code'], launcher['end'] = code, round(self.launch.now(), 2)
                self.event('run', 'the start from %s: ended with exit code %d' % (launcher['drive'], code))
        return done

