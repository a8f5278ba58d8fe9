"""One plug-in run: a simulated PC, the device image on its CD-ROM drive, the program that
autorun.inf names started from it, a robot that answers message boxes, and everything the run
did, collected from the outside (the device's log, the stand-ins' log, the robot's log, the
trace, the registry and the files of drive C:)."""
import os
import shutil
import subprocess
import time

from . import faults as faults_mod
from . import image as image_mod
from . import logs
from . import pc
from . import snapshot
from . import verdict
from .camera import SCREEN, Screenshots
from .record import Launch, LaunchRecording
from .wine import HostCannot, pe_machine, wow64_problem

QUIET_SECONDS = 2.0
SERVICE_KEY_TEXT = 'Services\\\\Norvo SCSI Commander]'
SERVICE_PROCESS = 'norvoautorunservice.exe'


def with_fields(handle):
    """A handler of a log line that hands handle the line's fields."""
    return lambda line: handle(logs.parse_fields(line))


class Settings:
    """What a run is asked to do. Paths are host paths."""

    def __init__(self, **values):
        self.image = None              # device image folder or .iso
        self.build_dir = None          # build/<preset>
        self.scripts_dir = None
        self.cache_dir = None          # base prefixes and prepared PC states
        self.run_dir = None            # the run's prefix, logs and screenshots
        self.arch = 'win64'            # the PC's Windows: win32, or win64 (which runs 32-bit builds under WOW64)
        self.windows = 'xp'
        self.state = 'clean'           # clean, installed, outdated-driver, outdated-kit
        self.limited_user = False
        self.reply = None              # (result, [three bytes]) or None
        self.answer_default = 'ok'
        self.answer_rules = []         # [(text, 'ok'|'cancel')]
        self.timeout = 300.0
        self.display = None            # the user's display, or None for an own Xvfb
        self.xvfb_display = None       # an Xvfb display such as ':90', or None for a free one
        self.screenshots = True
        self.config = {}               # {section: {key: value}} for the presented config.ini
        self.programs = {}             # {section: {key: value}}: the stand-ins' script
        self.second_drive = False      # a second device with the same image on S:
        self.extra_files = {}          # {name: host path}: more files beside the program on the CD
        self.registry = ''             # more settings of the PC (REGEDIT4 text without its header)
        self.locale = None
        self.no_language = False
        self.hooks = []                # callables (run, event) for each robot event
        self.fault = None              # a fault's name (faults.py): the run ends with a second plug-in
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

class PlugInRun(LaunchRecording, Screenshots):
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
        self.reported_version = ''
        self._shot_queue = []
        self._last_event = 0.0
        self.fault = faults_mod.make(settings.fault) if settings.fault else None
        self.base_programs = dict(settings.programs or {})  # the stand-ins' script without the fault
        if self.fault:
            self.s.hooks = list(self.s.hooks) + [lambda run, fields: run.fault.on_robot(run, fields)]

    # -- the simulated PC ------------------------------------------------------------------
    def log(self, text):
        if self.s.verbose:
            self.s.log(text)

    def sim_devpokes(self):
        """{machine: the simulated device of this build}: the build's programs are 32-bit or 64-bit
        whatever Windows the PC is (a 64-bit one runs a 32-bit build under WOW64)."""
        own = os.path.join(self.s.build_dir, 'sim', 'Devpoke.dll')
        return {pe_machine(own) or ('x64' if self.s.arch == 'win64' else 'x86'): own}

    def runs_under_wow64(self):
        return self.s.arch == 'win64' and 'x86' in self.sim_devpokes()

    def check_pc(self):
        """The PC is what the run asked for: a 64-bit one runs the build's 32-bit programs (else
        the run is skipped with the reason); what it reports itself to be goes into the notes."""
        if self.runs_under_wow64():
            problem = wow64_problem(self.prefix)
            if problem:
                raise HostCannot('a 64-bit Windows running 32-bit programs: ' + problem)
        self.reported_version = self.prefix.reported_version()
        self.notes.append('the PC reports itself as %s (%s)' % (
            self.reported_version or 'nothing ("ver" printed no version; %s)' % self.prefix.last_output[-300:],
            '64-bit Windows, the 32-bit programs under WOW64' if self.runs_under_wow64()
            else '64-bit Windows' if self.s.arch == 'win64' else '32-bit Windows'))

    def start_display(self):
        if self.s.display:
            self.display = self.s.display
            return
        if self.s.xvfb_display:
            self.start_xvfb_on(self.s.xvfb_display)
        else:
            self.start_xvfb_on_free_display()

    def start_xvfb_on_free_display(self):
        """Xvfb picks a display that no other server holds and names it when it is ready, so two
        runs at once never meet on one display."""
        read_end, write_end = os.pipe()
        try:
            self.xvfb = subprocess.Popen(['Xvfb', '-displayfd', str(write_end), '-screen', '0',
                                          '%dx%dx24' % SCREEN, '-nolisten', 'tcp'],
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                         pass_fds=(write_end,), start_new_session=True)
        finally:
            os.close(write_end)
        with os.fdopen(read_end) as named:
            number = named.readline().strip()  # empty when the server ended without a display
        if not number.isdigit():
            if self.xvfb.poll() is None:
                self.xvfb.kill()
            raise RuntimeError('Xvfb could not start on a free display')
        self.display = ':' + number

    def start_xvfb_on(self, display):
        self.display = display
        self.xvfb = subprocess.Popen(['Xvfb', self.display, '-screen', '0', '%dx%dx24' % SCREEN, '-nolisten', 'tcp'],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                     start_new_session=True)
        # Ready when the display's lock file names this server (a stale socket of an earlier server
        # of the same number must not count).
        lock = '/tmp/.X%s-lock' % self.display.lstrip(':')
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline and self.xvfb.poll() is None:
            try:
                with open(lock) as f:
                    ours = int(f.read().strip() or 0) == self.xvfb.pid
            except (OSError, ValueError):
                ours = False
            if ours and subprocess.run(['xdpyinfo', '-display', self.display], stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL).returncode == 0:
                return
            time.sleep(0.05)
        if self.xvfb.poll() is None:
            self.xvfb.kill()
        raise RuntimeError('Xvfb could not start on display %s (in use?)' % self.display)

    def present(self, letter, device_state):
        folder = os.path.join(self.prefix.path, 'cdrom-' + letter.lower())
        presented = image_mod.present_image(self.s.image, folder, self.sim_devpokes(), device_state, self.s.config,
                                            arch=self.s.arch)
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
        if self.fault:
            self.fault.configure(s)
        os.makedirs(s.run_dir, exist_ok=True)
        self.start_display()
        base = pc.base_prefix(s.cache_dir, s.arch, s.scripts_dir, log=self.log)
        self.log('simulated PC: Windows %s%s, %s' % (s.windows, ' (64-bit)' if s.arch == 'win64' else '',
                                                      s.state + (', limited user' if s.limited_user else '')))
        self.prefix = pc.make_pc(base, os.path.join(s.run_dir, 'prefix'), s.arch, s.windows, self.display,
                                 managed_frames=bool(s.display))
        self.check_pc()
        if s.registry and not self.prefix.import_reg(s.registry, 'extra.reg'):
            raise RuntimeError('could not write the extra settings into the PC')
        admin_state = s.device_state(for_admin_run=True)
        for letter in ['R', 'S'] if s.second_drive else ['R']:
            self.present(letter, admin_state)
        self.notes.extend(self.images['R'].notes)
        if s.state != 'clean' or self.limited_user_needs_service():
            self.prepare_state()
        # The user's device may differ from the administrator's (it refuses direct access).
        user_state = s.device_state()
        if user_state != admin_state:
            for image in self.images.values():
                image_mod.write_device_state(image.folder, user_state)
        self.write_programs_script(s.programs)
        self.prefix.kill()
        self.prefix.wait_server()
        if self.fault:
            self.fault.prepare(self)
        self.registry_before = snapshot.read_registry(self.prefix.path)
        self.files_before = snapshot.read_files(self.prefix.drive_c())

    def limited_user_needs_service(self):
        """A limited user on XP is served by the command service, which only an earlier
        administrator's run can have installed; on Vista and later the service is never used, and
        a clean PC stays clean."""
        return self.s.limited_user and self.s.windows == 'xp'

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
        return image_mod.read_ini(image_mod.read_text(config)).get(section.lower(), {}).get(key.lower(), '')

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

    def service_registered(self):
        path = os.path.join(self.prefix.path, 'system.reg')
        try:
            with open(path, encoding='utf-8', errors='replace') as f:
                return SERVICE_KEY_TEXT in f.read()
        except OSError:
            return False

    @staticmethod
    def drain(tails, rest=False):
        """Hands each new line of the (tail, handler) pairs to its handler; rest: the last
        unfinished lines too."""
        for tail, handle in tails:
            for line in tail.read_rest() if rest else tail.read():
                handle(line)

    def wait_for_service(self, robot):
        """A PC starts its automatic services before anyone plugs a device in: when the command
        service is registered, the plug-in waits (at most 30 s) until it runs."""
        if not self.service_registered():
            return
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            self.drain([robot])
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
        trace_tail = logs.LogTail(None)
        tails = [(robot_tail, with_fields(self.on_robot)),
                 (logs.LogTail(self.sim_folder('commands.log')), with_fields(self.on_command)),
                 (logs.LogTail(self.sim_folder('programs.log')), with_fields(self.on_stand_in)),
                 (trace_tail, self.on_trace)]
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
        self.wait_for_service(tails[0])
        self.log('%s: starting the program from the CD-ROM drive' % label)
        self.start_program('R')
        if self.s.second_drive:
            time.sleep(0.5)
            self.start_program('S')
        while True:
            if trace_tail.path is None:
                trace_tail.set_path(self.trace_path())
            self.drain(tails)
            if self.fault:
                self.fault.tick(self)
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
        self.drain(tails, rest=True)
        self.launchers_done()
        self.s.screenshots = saved_screenshots
        return self.launch

    def on_stand_in(self, fields):
        self.on_program(fields)
        if self.fault:
            self.fault.on_action(self, fields)

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

    def second_plugin(self):
        """The device is unplugged and plugged in again, without the fault: the PC as the first
        plug-in left it, the device back in CD-ROM mode with the image as it came."""
        self.unplug()
        self.fault.clear(self)
        for letter in list(self.images):
            self.present(letter, self.s.device_state())
        self.write_programs_script(self.base_programs)
        self.log('the second plug-in, without the fault')
        self.watch_launch('the second plug-in')
        self.finish()
        earlier, self.prep_launches = self.prep_launches, []
        result = self.collect(None)
        self.prep_launches = earlier
        return result

    def execute(self):
        error = skipped = None
        first = second = None
        try:
            self.prepare()
            if self.fault:
                self.fault.arm(self)
                self.notes.append('the fault of this run, %s: %s; then the device is unplugged and plugged in '
                                  'again without it (the second plug-in\'s report is in second-plugin/)' % (
                                      self.fault.name, self.fault.what))
                self.notes.extend(self.fault.notes)
            self.watch_launch('the plug-in')
            if self.fault:
                self.fault.leave(self)
            self.finish()
            if self.fault:
                first = self.collect(None)
                second = self.second_plugin()
        except (faults_mod.FaultSkipped, HostCannot) as e:
            skipped = str(e)
            self.log('skipped: %s' % skipped)
        except (image_mod.ImageError, RuntimeError, OSError, subprocess.SubprocessError) as e:
            error = str(e)
            self.log('error: %s' % error)
        finally:
            # Whatever happened, nothing of the run stays behind: its prefix's processes, what the
            # fault mounted or started, and its X server.
            if self.prefix:
                self.prefix.kill()
                self.prefix.wait_server()
            if self.fault:
                self.fault.cleanup(self)
            self.stop_display()
        if first is None:
            first = self.collect(error)
        elif error:
            first['error'] = 'the second plug-in could not run: %s' % error
        if self.fault:
            first['fault'] = self.fault.data()
            first['second_plugin'] = second
        if skipped:
            first['outcome'], first['skipped'] = 'skipped', skipped
            first['verdict'] = verdict.sentence(first)
        self.result = first
        return self.result

    def collect(self, error):
        from .result import collect_result
        return collect_result(self, error)
