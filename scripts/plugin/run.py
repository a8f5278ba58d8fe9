"""One plug-in run: a simulated PC, the device image on its CD-ROM drive, the program that
autorun.inf names started from it, a robot that answers message boxes, and everything the run
did, collected from the outside (the device's log, the stand-ins' log, the robot's log, the
trace, the registry and the files of drive C:)."""
import copy
import os
import shutil
import subprocess
import time

from . import image as image_mod
from . import logs
from . import pc
from . import snapshot
from .wine import Prefix

# Processes of Wine itself and of the run's own tools: not part of what the program started.
INFRASTRUCTURE = {'services.exe', 'winedevice.exe', 'plugplay.exe', 'explorer.exe', 'svchost.exe',
                  'rpcss.exe', 'conhost.exe', 'start.exe', 'wineboot.exe', 'winemenubuilder.exe',
                  'tabtip.exe', 'rundll32.exe', 'regedit.exe', 'reg.exe', 'cmd.exe', 'plugrobot.exe',
                  'mscorsvw.exe', 'iexplore.exe', 'wmic.exe', 'sc.exe'}
SETUP_ROLES = ('driver_setup', 'kit_setup', 'qct_remover', 'emp_remover', 'k21c_remover')
TRACE_STEP_PREFIXES = ('Start :', 'End :', '[', '====', 'Get Phone Info', 'Uninstall', 'Install Driver',
                       'InstallITK()')
QUIET_SECONDS = 2.0
SCREEN = (1024, 768)
EMPTY_SCREENSHOT_BYTES = 1500
SERVICE_KEY_TEXT = 'Services\\\\Norvo SCSI Commander]'
SERVICE_PROCESS = 'norvoautorunservice.exe'


class Settings:
    """What a run is asked to do. Paths are host paths."""

    def __init__(self, **values):
        self.image = None              # device image folder or .iso
        self.build_dir = None          # build/<preset>
        self.scripts_dir = None
        self.cache_dir = None          # base prefixes and prepared PC states
        self.run_dir = None            # the run's prefix, logs and screenshots
        self.arch = 'win64'
        self.windows = 'xp'
        self.state = 'clean'           # clean, installed, outdated-driver, outdated-kit
        self.limited_user = False
        self.reply = None              # (result, [three bytes]) or None
        self.answer_default = 'ok'
        self.answer_rules = []         # [(text, 'ok'|'cancel')]
        self.timeout = 300.0
        self.display = None            # the user's display, or None for an own Xvfb
        self.xvfb_display = ':90'
        self.screenshots = True
        self.config = {}               # {section: {key: value}} for the presented config.ini
        self.programs = {}             # {section: {key: value}}: the stand-ins' script
        self.second_drive = False      # a second device with the same image on S:
        self.extra_files = {}          # {name: host path}: more files beside the program on the CD
        self.registry = ''             # more settings of the PC (REGEDIT4 text without its header)
        self.locale = None
        self.no_language = False
        self.hooks = []                # callables (run, event) for each robot event
        self.log = print
        self.verbose = True
        self.__dict__.update(values)

    def device_state(self, for_admin_run=False):
        state = {}
        if self.reply:
            state['reply_result'] = str(self.reply[0])
            state['reply_bytes'] = ' '.join('%02X' % b for b in self.reply[1])
        state['deny_direct'] = '1' if (self.limited_user and not for_admin_run) else '0'
        return state


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
        self.commands = []      # device commands
        self.programs = []      # stand-ins' actions
        self.processes = {}     # pid -> {'name', 'command', 'parent', 'start', 'end', 'code'}
        self.trace = []         # (t, line)
        self.screenshots = []   # {'t', 'file', 'reason'}
        self.launchers = []     # [{'drive', 'popen', 'code', 'end'}]
        self.outcome = None     # finished, timed-out
        self.robot_error = None
        self.hostile = []       # lines of a hostile sender's report, if a test ran one

    def now(self):
        return time.monotonic() - self.t0 if self.t0 is not None else 0.0


class PlugInRun:
    def __init__(self, settings):
        self.s = settings
        self.prefix = None
        self.images = {}
        self.notes = []
        self.xvfb = None
        self.display = None
        self.launch = None
        self.prep_launches = []
        self.registry_before = self.registry_after = None
        self.files_before = self.files_after = None
        self.result = None
        self._shot_queue = []
        self._last_event = 0.0

    # -- the simulated PC ------------------------------------------------------------------
    def log(self, text):
        if self.s.verbose:
            self.s.log(text)

    def sim_devpokes(self):
        own = os.path.join(self.s.build_dir, 'sim', 'Devpoke.dll')
        machine = 'x64' if self.s.arch == 'win64' else 'x86'
        return {machine: own}

    def start_display(self):
        if self.s.display:
            self.display = self.s.display
            return
        self.display = self.s.xvfb_display
        self.xvfb = subprocess.Popen(['Xvfb', self.display, '-screen', '0', '%dx%dx24' % SCREEN, '-nolisten', 'tcp'],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                     start_new_session=True)
        socket = '/tmp/.X11-unix/X' + self.display.lstrip(':')
        for _ in range(100):
            if os.path.exists(socket) or self.xvfb.poll() is not None:
                break
            time.sleep(0.05)
        if self.xvfb.poll() is not None:
            raise RuntimeError('Xvfb could not start on display %s (in use?)' % self.display)

    def present(self, letter, device_state):
        folder = os.path.join(self.prefix.path, 'cdrom-' + letter.lower())
        presented = image_mod.present_image(self.s.image, folder, self.sim_devpokes(), device_state, self.s.config)
        if self.s.no_language:
            tools = os.path.join(folder, 'tools')
            for name in os.listdir(tools) if os.path.isdir(tools) else []:
                if name.lower().startswith('lang_autorun_') and name.lower().endswith('.opt'):
                    os.remove(os.path.join(tools, name))
            presented.notes.append('the language files were left off the CD')
        for name, source in self.s.extra_files.items():
            shutil.copyfile(source, os.path.join(os.path.dirname(presented.program_path()), name))
        if self.s.extra_files:
            presented.notes.append('added to the CD: ' + ', '.join(sorted(self.s.extra_files)))
        self.images[letter] = presented
        return presented

    def prepare(self):
        s = self.s
        os.makedirs(s.run_dir, exist_ok=True)
        self.start_display()
        base = pc.base_prefix(s.cache_dir, s.arch, s.scripts_dir, log=self.log)
        self.log('simulated PC: Windows %s, %s' % (s.windows, s.state + (', limited user' if s.limited_user else '')))
        self.prefix = pc.make_pc(base, os.path.join(s.run_dir, 'prefix'), s.arch, s.windows, self.display,
                                 managed_frames=bool(s.display))
        if s.registry and not self.prefix.import_reg(s.registry, 'extra.reg'):
            raise RuntimeError('could not write the extra settings into the PC')
        letters = ['R', 'S'] if s.second_drive else ['R']
        admin_state = s.device_state(for_admin_run=True)
        for letter in letters:
            self.present(letter, admin_state)
        self.notes.extend(self.images['R'].notes)
        if s.state != 'clean' or s.limited_user:
            self.prepare_state()
        for letter in letters:
            self.present(letter, s.device_state())
        self.write_programs_script(s.programs)
        self.prefix.kill()
        self.prefix.wait_server()
        self.registry_before = snapshot.read_registry(self.prefix.path)
        self.files_before = snapshot.read_files(self.prefix.drive_c())

    def sim_folder(self, *parts):
        return self.prefix.drive_c('plugstart_sim', *parts)

    def write_programs_script(self, script):
        path = self.sim_folder('programs.ini')
        if not script:
            if os.path.exists(path):
                os.remove(path)
            return
        os.makedirs(self.sim_folder(), exist_ok=True)
        with open(path, 'w', encoding='utf-8', newline='') as f:
            f.write(image_mod.set_ini_values('', script))

    def prepare_state(self):
        """The PC as an earlier administrator's run with this device left it (older versions for
        the outdated states); then the device is unplugged and plugged in again."""
        s = self.s
        state = 'installed' if s.state == 'clean' else s.state
        if s.state == 'clean':
            self.notes.append('a limited user\'s PC has had an earlier administrator\'s run: the PC was prepared '
                              'as "installed"')
        script = {}
        if state == 'outdated-driver':
            script = {'driver_setup': {'version': '0.1.0.0'}}
        elif state == 'outdated-kit':
            script = {'kit_setup': {'version': '0.1.0.0'}}
        self.write_programs_script(script)
        self.log('preparing the PC (%s): an earlier administrator\'s run with this device' % state)
        launch = self.watch_launch('earlier administrator\'s run', screenshots=False)
        self.prep_launches.append(launch)
        if launch.outcome != 'finished':
            raise RuntimeError('the earlier administrator\'s run did not end within %d s' % s.timeout)
        kit_type = self.config_value('ITK', 'itk_type')
        if kit_type == '2':
            # The program never installs the PC suite itself (it shows the guide): the user has.
            setup = self.config_value('ITK', 'itk_setup')
            if setup:
                self.prefix.run(['R:\\' + setup], timeout=120)
                self.notes.append('the PC suite was installed by its own setup (%s), as its user would have' % setup)
        self.unplug()
        self.notes.append('PC prepared by an earlier administrator\'s run of the same image (%s)' % state)

    def config_value(self, section, key):
        image = self.images['R']
        config = image_mod.find_case_insensitive(os.path.dirname(image.program_path()), 'config.ini')
        if not config:
            return ''
        current = None
        for line in image_mod.read_text(config).splitlines():
            line = line.strip()
            if line.startswith('['):
                current = line.strip('[]').strip().lower()
            elif current == section.lower() and '=' in line:
                name, value = line.split('=', 1)
                if name.strip().lower() == key.lower():
                    return value.strip()
        return ''

    def unplug(self):
        """The device goes and comes back: its changed state, the logs and the trace go."""
        self.prefix.kill()
        self.prefix.wait_server()
        for name in ('R.ini', 'S.ini', 'commands.log', 'programs.log', 'programs.ini'):
            path = self.sim_folder(name)
            if os.path.exists(path):
                os.remove(path)
        shutil.rmtree(self.sim_folder('robot'), ignore_errors=True)
        trace = self.trace_path()
        if trace and os.path.exists(trace):
            os.remove(trace)

    def trace_path(self):
        user = self.prefix.user_folder()
        if not user:
            return None
        for parts in (('AppData', 'Local', 'Temp'), ('Temp',), ('Local Settings', 'Temp')):
            path = os.path.join(user, *parts, 'Plugstart_trace.log')
            if os.path.exists(path):
                return path
        return None

    # -- one start of the program ----------------------------------------------------------
    def program_env(self):
        env = {'PLUGSTART_TRACE': '1'}
        if self.s.locale:
            env.update({'LANG': self.s.locale, 'LC_ALL': self.s.locale})
        return env

    def start_program(self, letter='R'):
        """Starts what the image's autorun.inf names, from the CD-ROM drive, as Windows does."""
        image = self.images[letter]
        root = letter + ':\\'
        args = ['start', '/d', root, '/wait', root + image.program.replace('/', '\\')]
        if image.arguments:
            args += image.arguments.split()
        popen = self.prefix.start(args, env=self.program_env(), cwd=image.folder)
        self.launch.launchers.append({'drive': letter, 'popen': popen, 'code': None, 'end': None})
        self.event('run', 'started %s%s%s from the CD-ROM drive %s:' % (
            root, image.program, ' ' + image.arguments if image.arguments else '', letter))
        return popen

    def start_robot(self):
        robot = os.path.join(self.s.build_dir, 'sim', 'PlugRobot.exe')
        if not os.path.isfile(robot):
            raise RuntimeError('the robot %s is not built' % robot)
        args = [robot, '--answer', self.s.answer_default, '--ack-wait-ms', '4000' if self.s.screenshots else '0']
        for text, answer in self.s.answer_rules:
            args += ['--rule', '%s=%s' % (text, answer)]
        shutil.rmtree(self.sim_folder('robot'), ignore_errors=True)
        os.makedirs(self.sim_folder('robot'), exist_ok=True)
        output = open(os.path.join(self.s.run_dir, 'robot-output.txt'), 'ab')
        popen = self.prefix.start(args, env=self.program_env(), output=output)
        output.close()
        return popen

    def event(self, source, text, **fields):
        entry = {'t': round(self.launch.now(), 2), 'source': source, 'text': text}
        entry.update(fields)
        self.launch.events.append(entry)
        self._last_event = time.monotonic()
        if self.s.verbose:
            self.s.log('  %7.2fs  %-8s %s' % (entry['t'], source, text))
        return entry

    def schedule_shot(self, reason, delay):
        if self.s.screenshots and self.display:
            self._shot_queue.append((time.monotonic() + delay, reason))

    def take_shot(self, reason):
        if not (self.s.screenshots and self.display):
            return None
        folder = os.path.join(self.s.run_dir, 'screenshots')
        os.makedirs(folder, exist_ok=True)
        number = len(self.launch.screenshots) + 1
        name = '%02d.png' % number
        path = os.path.join(folder, name)
        command = ['import', '-display', self.display, '-window', 'root']
        area = self.windows_area()
        if area:
            command += ['-crop', '%dx%d+%d+%d' % area, '+repage']
        done = subprocess.run(command + [path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        if done.returncode != 0 or not os.path.exists(path):
            return None
        if os.path.getsize(path) < EMPTY_SCREENSHOT_BYTES:  # one colour: the window had gone already
            os.remove(path)
            return None
        shot = {'t': round(self.launch.now(), 2), 'file': path, 'reason': reason}
        self.launch.screenshots.append(shot)
        return shot

    def windows_area(self):
        """(width, height, left, top) around the program's open windows, with a margin; None for
        the whole screen."""
        rects = []
        for window in self.open_windows():
            try:
                rects.append([int(v) for v in window.get('rect', '').split(',')])
            except ValueError:
                continue
        rects = [r for r in rects if len(r) == 4 and r[2] > r[0] and r[3] > r[1]]
        if not rects or self.s.display:
            return None
        left = max(0, min(r[0] for r in rects) - 24)
        top = max(0, min(r[1] for r in rects) - 24)
        right = min(SCREEN[0], max(r[2] for r in rects) + 24)
        bottom = min(SCREEN[1], max(r[3] for r in rects) + 24)
        if right <= left or bottom <= top:
            return None
        return right - left, bottom - top, left, top

    def open_windows(self):
        return [w for w in self.launch.windows.values() if self.interesting(w.get('process', ''))]

    def due_shots(self):
        now = time.monotonic()
        due = [q for q in self._shot_queue if q[0] <= now]
        if not due:
            return
        self._shot_queue = [q for q in self._shot_queue if q[0] > now]
        if self.open_windows():  # an empty screen shows nothing
            self.take_shot('; '.join(reason for _, reason in due))

    def interesting(self, process):
        return process.lower() not in INFRASTRUCTURE

    def on_robot(self, fields):
        launch = self.launch
        kind = fields.get('event')
        if kind == 'process-running':
            launch.processes[fields.get('pid')] = {
                'name': fields.get('process', ''), 'command': fields.get('command', ''), 'parent': None,
                'start': 0.0, 'end': None, 'code': None, 'running_at_start': True}
            if self.interesting(fields.get('process', '')):
                self.event('process', 'running already: %s: %s' % (fields.get('process'), fields.get('command', '')))
        elif kind == 'process-start':
            pid = fields.get('pid')
            launch.processes[pid] = {'name': fields.get('process', ''), 'command': fields.get('command', ''),
                                     'parent': fields.get('parent'), 'start': round(launch.now(), 2),
                                     'end': None, 'code': None}
            if self.interesting(fields.get('process', '')):
                self.event('process', 'started %s: %s' % (fields.get('process'), fields.get('command', '')))
        elif kind == 'process-exit':
            process = launch.processes.get(fields.get('pid'))
            if process:
                process['end'] = round(launch.now(), 2)
                process['code'] = fields.get('code')
            if self.interesting(fields.get('process', '')):
                self.event('process', 'ended %s (exit code %s)' % (fields.get('process'), fields.get('code')))
        elif kind == 'window':
            launch.windows[fields.get('hwnd')] = fields
            if not self.interesting(fields.get('process', '')):
                return
            window_kind = fields.get('kind')
            if window_kind in ('messagebox', 'guide'):
                box = {'number': int(fields.get('number', '0')), 't': round(launch.now(), 2),
                       'kind': window_kind, 'caption': fields.get('title', ''), 'text': fields.get('text', ''),
                       'owner': fields.get('owner', ''), 'process': fields.get('process', ''),
                       'buttons': fields.get('buttons', ''), 'hwnd': fields.get('hwnd'), 'answers': []}
                launch.boxes.append(box)
                label = 'message box' if window_kind == 'messagebox' else 'PC-suite guide'
                self.event('window', '%s "%s": %s' % (label, box['caption'], box['text']), box=box['number'])
                if self.s.screenshots:
                    time.sleep(0.4)
                    shot = self.take_shot('%s %d' % (label, box['number']))
                    if shot:
                        box['screenshot'] = shot['file']
                open(self.sim_folder('robot', 'ack-%d' % box['number']), 'w').close()
            else:
                self.event('window', 'window "%s" of %s (%s)' % (fields.get('title', ''), fields.get('process'),
                                                                  fields.get('class', '')))
                # The staging dialog of a CD start lives for a moment only: photographed at once.
                self.take_shot('window "%s"' % fields.get('title', ''))
        elif kind == 'title':
            window = launch.windows.get(fields.get('hwnd'))
            if window and self.interesting(window.get('process', '')):
                self.event('window', 'title now "%s"' % fields.get('title', ''))
                self.schedule_shot('title "%s"' % fields.get('title', ''), 0.4)
        elif kind == 'window-gone':
            window = launch.windows.pop(fields.get('hwnd'), None)
            if window and self.interesting(window.get('process', '')):
                self.event('window', 'window "%s" closed' % fields.get('title', ''))
        elif kind == 'answer':
            for box in launch.boxes:
                if box['hwnd'] == fields.get('hwnd'):
                    answer = {'answer': fields.get('answer'), 'button': fields.get('button'),
                              'reason': fields.get('reason'), 'note': fields.get('note', '')}
                    box['answers'].append(answer)
                    self.event('robot', 'pressed %s on box %d (%s%s)' % (
                        answer['button'], box['number'], answer['reason'],
                        ', ' + answer['note'] if answer['note'] else ''))
        elif kind == 'robot-error':
            launch.robot_error = fields.get('detail')
            self.event('robot', 'robot error: %s' % launch.robot_error)
        for hook in self.s.hooks:
            hook(self, fields)

    def on_command(self, fields):
        command = {'t': round(self.launch.now(), 2), 'drive': fields.get('drive', ''), 'cdb': fields.get('cdb', ''),
                   'length': fields.get('length', ''), 'process': fields.get('process', ''),
                   'result': fields.get('result', '')}
        command['meaning'] = describe_command(command['cdb'])
        self.launch.commands.append(command)
        self.event('device', '%s: %s (%s) from %s -> %s' % (command['drive'], command['cdb'], command['meaning'],
                                                          command['process'], command['result']))

    def on_program(self, fields):
        action = {'t': round(self.launch.now(), 2), 'program': fields.get('program', ''), 'pid': fields.get('pid'),
                  'action': fields.get('action', ''), 'detail': fields.get('detail', ''),
                  'command': fields.get('command', '')}
        self.launch.programs.append(action)
        text = '%s %s%s' % (action['program'], action['action'], ': ' + action['detail'] if action['detail'] else '')
        if action['action'] == 'start':
            text += ' (%s)' % action['command']
            self.schedule_shot('%s started' % action['program'], 1.0)
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

    def running_setups(self):
        started, ended = set(), set()
        for action in self.launch.programs:
            key = (action['program'], action['pid'])
            if action['action'] == 'start':
                started.add(key)
            elif action['action'] == 'exit':
                ended.add(key)
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

    def service_registered(self):
        path = os.path.join(self.prefix.path, 'system.reg')
        try:
            with open(path, encoding='utf-8', errors='replace') as f:
                return SERVICE_KEY_TEXT in f.read()
        except OSError:
            return False

    def wait_for_service(self, robot_tail):
        """A PC starts its automatic services before anyone plugs a device in: when the command
        service is registered, the plug-in waits (at most 30 s) until it runs."""
        if not self.service_registered():
            return
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            for line in robot_tail.read():
                self.on_robot(logs.parse_fields(line))
            if any(p['name'].lower() == SERVICE_PROCESS and p['end'] is None for p in self.launch.processes.values()):
                return
            time.sleep(0.1)
        self.event('run', 'the command service is registered but did not run within 30 s')

    def watch_launch(self, label, screenshots=True):
        saved_screenshots = self.s.screenshots
        self.s.screenshots = screenshots and saved_screenshots
        self.launch = Launch(label)
        self._shot_queue = []
        robot_tail = logs.LogTail(self.sim_folder('robot', 'events.log'))
        command_tail = logs.LogTail(self.sim_folder('commands.log'))
        program_tail = logs.LogTail(self.sim_folder('programs.log'))
        trace_tail = logs.LogTail(None)
        robot = self.start_robot()
        deadline = time.monotonic() + 60
        started = False
        while time.monotonic() < deadline and not started:
            for line in robot_tail.read():
                fields = logs.parse_fields(line)
                if fields.get('event') == 'robot-start':
                    started = True
                elif fields.get('event') == 'robot-error':
                    raise RuntimeError('the robot refused its options: %s' % fields.get('detail'))
                else:
                    self.on_robot(fields)
            if robot.poll() is not None and not started:
                raise RuntimeError('the robot ended at once (exit code %s)' % robot.poll())
            time.sleep(0.05)
        if not started:
            raise RuntimeError('the robot did not start within 60 s')
        self.launch.t0 = time.monotonic()
        self.wait_for_service(robot_tail)
        self.log('%s: starting the program from the CD-ROM drive' % label)
        self.start_program('R')
        if self.s.second_drive:
            time.sleep(0.5)
            self.start_program('S')
        while True:
            for line in robot_tail.read():
                self.on_robot(logs.parse_fields(line))
            for line in command_tail.read():
                self.on_command(logs.parse_fields(line))
            for line in program_tail.read():
                self.on_program(logs.parse_fields(line))
            if trace_tail.path is None:
                trace_tail.set_path(self.trace_path())
            for line in trace_tail.read():
                self.on_trace(line)
            self.due_shots()
            quiet = time.monotonic() - self._last_event >= QUIET_SECONDS
            if self.launchers_done() and not self.program_running() and not self.running_setups() and quiet:
                self.launch.outcome = 'finished'
                break
            if self.launch.now() > self.s.timeout:
                self.launch.outcome = 'timed-out'
                self.event('run', 'no end within %d s: the run is stopped' % self.s.timeout)
                self.take_shot('at the time-out')
                break
            time.sleep(0.05)
        open(self.sim_folder('robot', 'stop'), 'w').close()
        try:
            robot.wait(timeout=10)
        except subprocess.TimeoutExpired:
            pass
        for line in robot_tail.read_rest():
            self.on_robot(logs.parse_fields(line))
        for line in command_tail.read_rest():
            self.on_command(logs.parse_fields(line))
        for line in program_tail.read_rest():
            self.on_program(logs.parse_fields(line))
        for line in trace_tail.read_rest():
            self.on_trace(line)
        self.launchers_done()
        self.s.screenshots = saved_screenshots
        return self.launch

    # -- after the run ---------------------------------------------------------------------
    def staging_folder(self):
        """The folder on the PC that the PC copy ran from (a start with -l), as a host path."""
        for process in self.launch.processes.values():
            command = process['command']
            if ' -l ' not in command + ' ':
                continue
            program = command.split('"')[1] if command.startswith('"') else command.split(' -l')[0]
            folder = program.rsplit('\\', 1)[0]
            return folder, self.prefix.unix_path(folder)
        return None, None

    def finish(self):
        self.prefix.kill()
        self.prefix.wait_server()
        self.registry_after = snapshot.read_registry(self.prefix.path)
        self.files_after = snapshot.read_files(self.prefix.drive_c())
        logs_dir = os.path.join(self.s.run_dir, 'logs')
        os.makedirs(logs_dir, exist_ok=True)
        for source in (self.sim_folder('commands.log'), self.sim_folder('programs.log'),
                       self.sim_folder('robot', 'events.log'), self.trace_path()):
            if source and os.path.exists(source):
                shutil.copy(source, logs_dir)

    def stop_display(self):
        if self.xvfb and self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()

    def execute(self):
        error = None
        try:
            self.prepare()
            self.watch_launch('the plug-in')
            self.finish()
        except (image_mod.ImageError, RuntimeError, OSError, subprocess.SubprocessError) as e:
            error = str(e)
            self.log('error: %s' % error)
        finally:
            # Whatever happened, nothing of the run stays behind: its prefix's processes and its X server.
            if self.prefix:
                self.prefix.kill()
            self.stop_display()
        self.result = self.collect(error)
        return self.result

    def collect(self, error):
        from .result import collect_result
        return collect_result(self, error)


def settings_copy(settings, **changes):
    copied = copy.copy(settings)
    copied.__dict__.update(changes)
    return copied
