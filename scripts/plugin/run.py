"""One plug-in run: a simulated PC, the device image on its CD-ROM drive, the program that
autorun.inf names started from it, a robot that answers message boxes, and everything the run
did. Seen from the outside: the robot's record, which reaches the run through the robot's own
sockets (no program of the PC can add to it by writing a file), the registry and the files of drive
C: read from the stopped PC, the screenshots. The PC's own account, which any program of the PC
could write: the device's log (the simulated device runs inside the program's process), the
stand-ins' log and the program's trace."""
import contextlib
import os
import shutil
import socket
import subprocess
import time

from . import faults as faults_mod
from . import beneath
from . import image as image_mod
from . import installers as installers_mod
from . import logs
from . import phases
from . import pc
from . import prepared
from . import result as result_mod
from . import snapshot
from . import stops
from . import verdict
from .sandbox import Sandbox, SandboxUnavailable, display_socket
from .admin_run import NOT_WORKED_OUT, EarlierAdminRun, EarlierRunFirst
from .camera import SCREEN, Screenshots
from .end_watch import EndWatch
from .record import Launch, LaunchRecording
from .wine import HostCannot, pe_machine

QUIET_SECONDS = 2.0
SECOND_DEVICE_LATEST_S = 30.0  # the second device is plugged in by then, whatever the first shows
PROVENANCE = ('seen from the outside: the robot\'s record (through its own socket to the run), the registry and the '
              'files of drive C: (read from the stopped PC) and the screenshots; the PC\'s own account, which any '
              'program of the PC could write: the device\'s log (the simulated device runs inside the program), '
              'the stand-ins\' log and the program\'s trace')
SERVICE_KEY_TEXT = 'Services\\\\Norvo SCSI Commander]'
SERVICE_PROCESS = 'norvoautorunservice.exe'
# The run's own folder on drive C: (the simulated device's state and logs, the stand-ins' script).
SIM_FOLDER = 'plugstart_sim'


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
        self.sandbox = True            # the PC in a sandbox (sandbox.py); False: on the host, said so
        self.installers = 'stand-ins'  # or real, real-nowait: real installers in their place (installers.py)
        self.keep_installed = False    # a clean PC's administrator's plug-in kept as the installed state's earlier run
        self.clock = None              # a phases.PhaseClock started by the command, or None for a new one
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

class PlugInRun(LaunchRecording, Screenshots, EarlierAdminRun):
    def __init__(self, settings):
        self.s = settings
        self.prefix = None
        self.images = {}
        self.notes = []
        self.xvfb = None
        self.display = None
        self.launch = None
        self.watch_label = None      # the launch the robot watches for, started ahead of it (start_watch)
        self.saved_screenshots = settings.screenshots
        self.readying_ahead = False  # start_ahead is under way
        self.ahead = None            # (seconds it took, the moment it ended) once the run was readied ahead
        self.started_for_earlier_run = False  # readied ahead: the PC started for its earlier run (make_prefix)
        self.drives_ready = None     # (the prepared PC, the administrator's device state) once presented
        self.own_earlier_key = NOT_WORKED_OUT  # the cache's name of this run's earlier run (make_prefix)
        self.earlier_runs = []       # the records of the earlier administrator's runs (result.launch_data)
        self.installed_key = None    # the cache's name for the PC this run leaves, when kept (keep_installed)
        self.ready = None            # the prepared PC, then
        self.registry_before = self.registry_after = None
        self.files_before = self.files_after = None
        self.result = None
        self.reported_version = ''
        self.robot = None          # the robot's process, its events (a PipeLines) and its input
        self.robot_events = None
        self.robot_input = None
        self._shot_queue = []
        self.hold_releases = []      # the release files the run wrote into the PC (hold_script)
        self._last_event = 0.0
        self.end_watch = None
        self.clock = settings.clock or phases.PhaseClock()
        self.fault = faults_mod.make(settings.fault) if settings.fault else None
        self.real_installers = installers_mod.for_kind(settings.installers, settings.arch, settings.cache_dir,
                                                          settings.sandbox)
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

    def note_pc(self, ready):
        """What the PC reports itself to be goes into the notes (the prepared PC asked it, and,
        for a 64-bit one running the build's 32-bit programs, checked that it can)."""
        self.reported_version = ready.reported_version
        self.notes.append('the PC reports itself as %s (%s)' % (
            self.reported_version or 'nothing ("ver" printed no version; %s)' % ready.version_output[-300:],
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
        stops.check()
        read_end, write_end = os.pipe()
        try:
            self.xvfb = subprocess.Popen(['Xvfb', '-displayfd', str(write_end), '-screen', '0',
                                          '%dx%dx24' % SCREEN, '-nolisten', 'tcp'],
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                         pass_fds=(write_end,), start_new_session=True)
            stops.register(self.xvfb)
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
        stops.check()
        self.xvfb = subprocess.Popen(['Xvfb', self.display, '-screen', '0', '%dx%dx24' % SCREEN, '-nolisten', 'tcp'],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                     start_new_session=True)
        stops.register(self.xvfb)
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

    def make_sandbox(self):
        """The sandbox of the PC's programs, or None when the run was told to go without one (the
        report says so). Its instance is made with the PC's first program; a host that cannot
        make it stops the run there."""
        if not self.s.sandbox:
            self.notes.append('the PC ran WITHOUT a sandbox (--no-sandbox): the image\'s programs could read and '
                              'write every file of this host that the user may')
            return None
        if self.display and not display_socket(self.display):
            raise SandboxUnavailable('the display %s is reached over the network, and the sandbox has none: use a '
                                     'local display' % self.display)
        tools = [os.path.join(self.s.build_dir, 'sim'), os.path.join(self.s.build_dir, 'tests', 'e2e')]
        self.notes.append('the PC ran in a sandbox (bubblewrap): its programs saw the run\'s folder, the Wine '
                          'installation and the run\'s tools, a /tmp of their own and the X display; no network, '
                          'nothing else of this host')
        # Of the run's folder the PC sees its prefix (with the CD-ROM drives' folders) only: the
        # logs, screenshots and report of the run stay out of its reach.
        return Sandbox([os.path.join(self.s.run_dir, 'prefix')], tools, self.display,
                       os.environ.get('XAUTHORITY') if self.s.display else None)

    def note_sandbox_cost(self):
        box = self.prefix.sandbox if self.prefix else None
        if box and box.start_seconds:
            self.notes.append('the sandbox was made %d time%s (once each time the PC was started), in %.0f ms '
                              'all told (at most %.0f ms)' % (
                                  len(box.start_seconds), '' if len(box.start_seconds) == 1 else 's',
                                  1000 * sum(box.start_seconds), 1000 * max(box.start_seconds)))

    def present(self, letter, device_state):
        folder = os.path.join(self.prefix_path(), 'cdrom-' + letter.lower())
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
        if self.real_installers:
            presented.notes += self.real_installers.place(os.path.dirname(presented.program_path()),
                                                          presented.machine)
        self.images[letter] = presented
        return presented

    def prepare(self):
        s = self.s
        if self.fault:
            self.fault.configure(s)
        os.makedirs(s.run_dir, exist_ok=True)
        self.notes.append(PROVENANCE)
        with self.clock.phase('display'):
            self.start_display()
        with self.clock.phase('prepared PC'):
            ready = prepared.ready_pc(s.cache_dir, s.scripts_dir, s.arch, s.windows, self.display,
                                      managed_frames=bool(s.display), check_wow64=self.runs_under_wow64(),
                                      sandboxed=s.sandbox, xauthority=os.environ.get('XAUTHORITY') if s.display else None,
                                      log=self.log)
        self.log('simulated PC: Windows %s%s, %s' % (s.windows, ' (64-bit)' if s.arch == 'win64' else '',
                                                      s.state + (', limited user' if s.limited_user else '')))
        admin_state = s.device_state(for_admin_run=True)
        # The CD-ROM drives are presented first: what they hold names the earlier run's entry.
        pc.clear_away(self.prefix_path())
        with self.clock.phase('image'):
            for letter in ['R', 'S'] if s.second_drive else ['R']:
                self.present(letter, admin_state)
        self.notes.extend(self.images['R'].notes)
        self.drives_ready = (ready, admin_state)
        self.finish_preparing(self.make_prefix(ready, admin_state))

    def finish_preparing(self, known):
        """The PC made (known: what its registry and files are known to be, or None): the user's
        device and the stand-ins' script in place, the PC stopped, the snapshot before."""
        s = self.s
        admin_state = self.drives_ready[1]
        # The user's device may differ from the administrator's (it refuses direct access).
        user_state = s.device_state()
        if user_state != admin_state:
            for image in self.images.values():
                image_mod.write_device_state(image.folder, user_state, root=self.prefix.path)
        self.write_programs_script(s.programs)
        with self.clock.phase('stop'):
            self.prefix.kill()
        if self.fault:
            self.fault.prepare(self)
        with self.clock.phase('snapshot before'):
            if known:
                # Nothing has run in the copy since: its registry and files are those of the PC it
                # was copied from, but for the run's own folder.
                self.registry_before = known.registry
                self.files_before = known.files_of_copy(self.prefix.drive_c(), written=[SIM_FOLDER])
            else:
                self.registry_before = snapshot.read_registry(self.prefix.path)
                self.files_before = snapshot.read_files(self.prefix.drive_c())

    def prefix_path(self):
        return os.path.join(self.s.run_dir, 'prefix')

    def sim_folder(self, *parts):
        return self.prefix.drive_c(SIM_FOLDER, *parts)

    def write_programs_script(self, script):
        path = self.sim_folder('programs.ini')
        if not script:
            self.remove_from_pc(path)
            return
        if not os.path.lexists(self.sim_folder()):
            os.makedirs(self.sim_folder())
        beneath.write_new(self.prefix.path, path, image_mod.set_ini_values('', script).encode('utf-8'))

    def config_value(self, section, key):
        image = self.images['R']
        config = image_mod.find_case_insensitive(os.path.dirname(image.program_path()), 'config.ini')
        try:
            text = image_mod.decode_text(beneath.read_bytes(self.prefix.path, config)) if config else ''
        except OSError:
            return ''
        return image_mod.read_ini(text).get(section.lower(), {}).get(key.lower(), '')

    def unplug(self, quick=False):
        """The device goes and comes back: its changed state, the logs and the trace go. The PC
        is started again after it: stopped the slower way that waits for its programs, or quick
        (its server ends, the sandbox ends what ran under it)."""
        self.prefix.kill(quick=quick)
        self.unplug_files()

    def unplug_files(self):
        """Removes the device's changed state, the logs and the trace."""
        for name in ('R.ini', 'S.ini', 'commands.log', 'programs.log', 'programs.ini'):
            self.remove_from_pc(self.sim_folder(name))
        # Process ids come again after a restart: a release left would let a later setup go unseen.
        for path in self.hold_releases:
            self.remove_from_pc(path)
        self.hold_releases = []
        trace = self.trace_path()
        if trace:
            self.remove_from_pc(trace)

    def remove_from_pc(self, path):
        """Removes a file the run wrote into the PC; what stands in the way (a folder of the PC
        that is a link) is left, and said."""
        try:
            beneath.remove(self.prefix.path, path)
        except beneath.Refused as e:
            self.notes.append('left in the PC: %s' % e)
        except OSError:
            pass

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

    def main_window_shown(self):
        """A window of the program with a title is up (the main dialog; the staging dialog has none)."""
        return any(span['title'] and self.interesting(span['process']) for span in self.launch.window_spans)

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
        """Starts the robot with its events on a socket to the run and the run's answers on another
        (its standard output and input). Sockets, not pipes: a pipe of a process can be opened
        anew through /proc by any program of the same user, a socket cannot. The PC is woken
        first, so that no program of the PC that outlives the robot holds them."""
        robot = os.path.join(self.s.build_dir, 'sim', 'PlugRobot.exe')
        if not os.path.isfile(robot):
            raise RuntimeError('the robot %s is not built' % robot)
        args = [robot, '--answer', self.s.answer_default, '--ack-wait-ms', '4000' if self.s.screenshots else '0']
        for text, answer in self.s.answer_rules:
            args += ['--rule', '%s=%s' % (text, answer)]
        with self.clock.phase('wine start'):
            self.prefix.wake()
        events, robot_output = socket.socketpair()
        answers, robot_input = socket.socketpair()
        try:
            robot_output.shutdown(socket.SHUT_RD)
            robot_input.shutdown(socket.SHUT_WR)
            with open(os.path.join(self.s.run_dir, 'robot-output.txt'), 'ab') as errors:
                self.robot = self.prefix.start(args, env=self.program_env(), output=robot_output.fileno(),
                                               stdin=robot_input.fileno(), errors=errors)
        except BaseException:
            events.close()
            answers.close()
            raise
        finally:
            robot_output.close()
            robot_input.close()
        self.robot_events = logs.PipeLines(events.detach())
        self.robot_input = answers
        return self.robot

    def tell_robot(self, line):
        """A line to the robot ("ack 3", "stop"); a robot that has gone is not told."""
        try:
            self.robot_input.sendall(line.encode('ascii') + b'\n')
        except (OSError, AttributeError):
            pass

    def acknowledge_box(self, number):
        self.tell_robot('ack %d' % number)

    def stop_robot(self):
        self.tell_robot('stop')
        if self.robot_input:
            self.robot_input.close()  # the end of its input: a robot that missed the line stops too
            self.robot_input = None
        try:
            self.robot.wait(timeout=10)
        except subprocess.TimeoutExpired:
            pass

    def service_registered(self):
        try:
            text = beneath.read_bytes(self.prefix.path, os.path.join(self.prefix.path, 'system.reg'))
        except OSError:
            return False
        return SERVICE_KEY_TEXT in text.decode('utf-8', 'replace')

    def drain(self, tails, rest=False):
        """Hands each new line of the (tail, handler) pairs to its handler; rest: the last
        unfinished lines too. The lines of the PC's logs read in one pass carry the pass's start
        as their time: they were all there then, and a pass slowed down by a busy host must not
        put a later line of the device's log (read first) before an earlier one of the stand-ins'.
        The robot's events keep their own moments (a box is photographed while it is handled)."""
        seen = self.launch.now()
        for tail, handle in tails:
            lines = tail.read_rest() if rest else tail.read()
            with contextlib.nullcontext() if tail is self.robot_events else self.launch.hold(seen):
                for line in lines:
                    handle(line)

    def wait_for_service(self, robot):
        """A PC starts its automatic services before anyone plugs a device in: when the command
        service is registered, the plug-in waits (at most 30 s) until it runs."""
        if not self.service_registered():
            return
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            stops.check()
            self.drain([robot])
            if any(p['name'].lower() == SERVICE_PROCESS and p['end'] is None for p in self.launch.processes.values()):
                return
            time.sleep(0.1)
        self.event('run', 'the command service is registered but did not run within 30 s')

    def start_watch(self, label, screenshots=True):
        """What comes before the device is plugged in: the PC started (Wine woken), and the robot
        started in it and watching (what runs already is recorded)."""
        self.watch_label, self.saved_screenshots = label, self.s.screenshots
        self.s.screenshots = screenshots and self.s.screenshots
        self.launch = Launch(label)
        self._shot_queue = []
        # A fault's helpers may act on their own after the program's end: its runs keep the fixed wait.
        self.end_watch = EndWatch(lambda number: self.tell_robot('sync %d' % number), QUIET_SECONDS,
                                  use_sync=not self.fault)
        robot = self.start_robot()
        robot_begun = time.time()
        self.wait_for_robot(robot)
        self.clock.add('robot', robot_begun, time.time())

    def watch_launch(self, label, screenshots=True):
        """Starts the robot (unless it watches already, started ahead for this launch), then the
        program from R:, and records what the PC shows until the program and all it started have
        ended (or the run's time-out); returns the launch."""
        if self.watch_label != label:
            self.start_watch(label, screenshots)
        self.watch_label = None
        trace_tail = logs.LogTail(None, self.prefix.path)
        tails = [(self.robot_events, with_fields(self.on_robot)),
                 (logs.LogTail(self.sim_folder('commands.log'), self.prefix.path), with_fields(self.on_command)),
                 (logs.LogTail(self.sim_folder('programs.log'), self.prefix.path), with_fields(self.on_stand_in)),
                 (trace_tail, self.on_trace)]
        self.launch.t0 = time.monotonic()
        plugin = label == 'the plug-in'
        plugged_in = time.time()
        if plugin:
            self.clock.mark('plug-in', plugged_in)
        self.wait_for_service(tails[0])
        self.log('%s: starting the program from the CD-ROM drive' % label)
        self.start_program('R')
        if plugin:
            self.clock.mark('program started')
        watched = time.time()
        self.watch_until_end(tails, trace_tail)
        self.clock.add('job and end' if plugin else 'job and end (%s)' % label, watched, time.time())
        if plugin:
            self.mark_end(plugged_in)
        with self.clock.phase('stop robot'):
            self.stop_robot()
            self.drain(tails, rest=True)
            self.launchers_done()
        self.s.screenshots = self.saved_screenshots
        return self.launch

    def wait_for_robot(self, robot, seconds=60):
        """Reads the robot's events until it says it has started (what it saw running before is
        recorded); RuntimeError when it refuses its options, ends, or does not start in time."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            stops.check()
            started = False
            for line in self.robot_events.read():
                fields = logs.parse_fields(line)
                if fields.get('event') == 'robot-start':
                    started = True
                elif fields.get('event') == 'robot-error':
                    raise RuntimeError('the robot refused its options: %s' % fields.get('detail'))
                else:
                    self.on_robot(fields)
            if started:
                return
            if robot.poll() is not None:
                raise RuntimeError('the robot ended at once (exit code %s)' % robot.poll())
            time.sleep(0.05)
        raise RuntimeError('the robot did not start within %d s' % seconds)

    def watch_until_end(self, tails, trace_tail):
        """Records the logs as they grow until the launch has ended (launch.outcome 'finished') or
        the run's time-out has passed ('timed-out'). The second device is plugged in once the first
        instance's window shows (30 s at most): an instance started before that window is visible
        cannot find it, and runs as if alone."""
        second_pending = self.s.second_drive
        watched = time.time()
        while True:
            stops.check()
            if trace_tail.path is None:
                trace_tail.set_path(self.trace_path())
            self.drain(tails)
            if second_pending and (self.main_window_shown() or time.time() - watched > SECOND_DEVICE_LATEST_S):
                self.start_program('S')
                second_pending = False
            if self.fault:
                self.fault.tick(self)
            self.due_shots()
            settled = (self.launchers_done() and not self.program_running() and not self.running_setups()
                       and not second_pending)
            others = any(p['end'] is None and self.interesting(p['name']) for p in self.launch.processes.values())
            if self.end_watch.ended(time.monotonic(), settled, self._last_event, others):
                self.launch.outcome = 'finished'
                return
            if self.launch.now() > self.s.timeout:
                self.launch.outcome = 'timed-out'
                self.event('run', 'no end within %d s: the run is stopped' % self.s.timeout)
                self.take_shot('at the time-out')
                return
            time.sleep(0.05)

    def mark_end(self, plugged_in):
        """The plug-in's marks for the benchmark: the end seen, and the last program's end."""
        self.clock.mark('end seen')
        ends = [p['end'] for p in self.launch.processes.values()
                if p['end'] is not None and self.interesting(p['name'])]
        if ends:
            self.clock.mark('last program ended', plugged_in + max(ends))

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
        with self.clock.phase('stop'):
            self.prefix.kill()
        with self.clock.phase('snapshot after'):
            self.registry_after = snapshot.read_registry(self.prefix.path)
            self.files_after = snapshot.read_files(self.prefix.drive_c())
        logs_dir = self.copy_logs()
        if self.robot_events:
            with open(os.path.join(logs_dir, 'robot-events.log'), 'w', encoding='utf-8') as f:
                f.write(''.join(line + '\n' for line in self.robot_events.lines()))

    def copy_logs(self):
        """Copies the device's and the stand-ins' logs and the trace into the run's logs folder;
        returns the folder."""
        logs_dir = os.path.join(self.s.run_dir, 'logs')
        os.makedirs(logs_dir, exist_ok=True)
        for source in (self.sim_folder('commands.log'), self.sim_folder('programs.log'), self.trace_path()):
            if not source:
                continue
            try:
                beneath.copy_out(self.prefix.path, source, os.path.join(logs_dir, os.path.basename(source)))
            except beneath.Refused as e:
                self.notes.append('a log of the PC was not copied: %s' % e)
            except OSError:
                pass  # not written by this run
        return logs_dir

    def device_state_of(self, letter):
        """The [device] section the simulated device of a drive last wrote, or None."""
        try:
            text = beneath.read_bytes(self.prefix.path, self.sim_folder(letter + '.ini'))
        except OSError:
            return None
        return image_mod.read_ini(image_mod.decode_text(text)).get('device')

    def stop_display(self):
        if self.xvfb and self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
        if self.xvfb:
            self.xvfb.wait()
            stops.unregister(self.xvfb)

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
        earlier, self.earlier_runs = self.earlier_runs, []
        result = self.collect(None)
        self.earlier_runs = earlier
        return result

    def start_ahead(self):
        """Readies the run before its turn (the matrix does so for its next cells while the cells
        before them run): the PC made and started, the robot watching, the device about to be
        plugged in (where the PC needs an earlier administrator's run that is not in the cache, the
        PC started for that run: it runs at the turn); execute() goes on from there. True when
        done; False, with nothing of it left running, when the run has a fault or code that
        watches the robot, and when a step failed (the run does it all again at its turn, and
        reports what fails then)."""
        if self.fault or self.s.hooks:
            return False
        started = time.monotonic()
        self.readying_ahead = True
        try:
            stops.check()
            try:
                self.prepare()
            except EarlierRunFirst:
                self.start_for_earlier_run(self.drives_ready[0])
            else:
                self.start_watch('the plug-in')
        except Exception:  # (a stop too)
            self.abandon()
            return False
        finally:
            self.readying_ahead = False
        self.ahead = (time.monotonic() - started, time.monotonic())
        return True

    def go_on_from_ahead(self):
        """At the run's turn, after start_ahead: the rest of the preparation where the PC was
        started for its earlier administrator's run (the plug-in's robot watches already else)."""
        self.notes.append('the PC was made and started, and the robot watched it, while the runs before this one '
                          'ran (%.1f s); the device was plugged in %.1f s later, at this run\'s turn%s' % (
                              self.ahead[0], time.monotonic() - self.ahead[1],
                              ' (for the earlier administrator\'s run)' if self.started_for_earlier_run else ''))
        if self.started_for_earlier_run:
            self.finish_preparing(self.make_prefix(*self.drives_ready))

    def stop_pc(self):
        """Stops the PC with what runs in it (the robot too: a watch started ahead ends)."""
        if self.prefix:
            self.prefix.kill()
        if self.robot_input:
            self.robot_input.close()
            self.robot_input = None
        if self.watch_label is not None:
            self.s.screenshots = self.saved_screenshots
            self.watch_label = None

    def abandon(self):
        """Ends what a run readied ahead started (its PC with the robot, its X server), when it
        will not go on."""
        self.stop_pc()
        self.stop_display()

    def execute(self):
        error = skipped = None
        first = second = None
        try:
            stops.check()
            if self.ahead:
                self.go_on_from_ahead()
            else:
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
        except SandboxUnavailable as e:
            skipped = ('this host cannot make the sandbox around the PC (%s): the run starts no program of an image '
                       'without it (--no-sandbox runs it on the host, with every file the user may reach)' % e)
            self.log('skipped: %s' % skipped)
        except stops.Stopped:
            pass
        except (image_mod.ImageError, installers_mod.PackageError, RuntimeError, OSError,
                subprocess.SubprocessError) as e:
            error = str(e)
            self.log('error: %s' % error)
        except Exception:
            if not stops.requested():  # else: a step broken by the stop's kill
                raise
        finally:
            # Whatever happened, nothing of the run stays behind: its prefix's processes, what the
            # fault mounted or started, and its X server.
            if self.prefix:
                self.prefix.kill()
            if self.fault:
                self.fault.cleanup(self)
            self.stop_display()
        self.note_sandbox_cost()
        self.time_sandbox()
        if first is None:
            with self.clock.phase('result'):
                first = self.collect(stops.reason() if stops.requested() else error)
            if not (skipped or stops.requested()):
                self.keep_as_installed(first)
        elif error:
            first['error'] = 'the second plug-in could not run: %s' % error
        if self.fault:
            first['fault'] = self.fault.data()
            first['second_plugin'] = second
        if skipped:
            first['outcome'], first['skipped'] = 'skipped', skipped
            first['verdict'] = verdict.sentence(first)
        if stops.requested():
            # What was seen until the stop; the PC was not stopped in order, so no snapshot.
            first.update(outcome='stopped', stopped=stops.reason(), error=None)
            first['verdict'] = verdict.sentence(first)
            self.log(stops.reason())
        self.result = first
        return self.result

    def time_sandbox(self):
        """The sandbox's starts as phases of their own (they lie within the phases that started a
        program of the PC)."""
        box = self.prefix.sandbox if self.prefix else None
        for seconds in box.start_seconds if box else []:
            self.clock.add('sandbox (within others)', self.clock.started, self.clock.started + seconds)

    def collect(self, error):
        return result_mod.collect_result(self, error)
