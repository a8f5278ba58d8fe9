"""The earlier administrator's run that a PC's state needs (a mixin of PlugInRun): an installed or
outdated PC, and a limited user's on XP, first has the image's program install as an
administrator, then the device unplugged. The PC that run leaves is kept in the build's cache
(earlier_runs.py) and taken from there when a later run starts from the same."""
import contextlib
import os

from . import earlier_runs
from . import pc
from . import result as result_mod
from . import snapshot

EARLIER_RUN = 'earlier administrator\'s run'
NOT_WORKED_OUT = object()


class EarlierRunFirst(Exception):
    """Ahead of the run's turn: the run's PC needs an earlier administrator's run that is not in
    the cache."""


class EarlierAdminRun:
    """Uses the run's settings (s), notes, clock, images and prefix; sets prefix and earlier_runs."""

    def make_prefix(self, ready, admin_state):
        """The run's PC: a copy of the prepared PC, with the extra settings and the earlier
        administrator's run its state needs, or a copy of the PC such a run left, from the cache.
        Returns what the PC's registry and files are known to be (a PreparedPC), or None when they
        must be read. Ahead of the run's turn it raises EarlierRunFirst where it would run the
        earlier run (start_for_earlier_run then readies the PC for it); at the turn, with the PC
        so readied, the earlier run runs in it, unless the cache has its PC by then."""
        s = self.s
        # (Worked out once: the digest reads every file of the drives and of the harness, and the
        # run comes here twice where its PC was started ahead for the earlier run.)
        if self.own_earlier_key is NOT_WORKED_OUT:
            self.own_earlier_key = self.earlier_run_key(ready, admin_state)
        key = self.own_earlier_key
        if s.keep_installed and s.state == 'clean' and not s.limited_user:
            self.installed_key = self.earlier_run_key(ready, admin_state, state='installed')
            self.ready = ready
        with earlier_runs.lock_of(s.cache_dir, key) if key else contextlib.nullcontext():
            entry = earlier_runs.find(s.cache_dir, key, ready) if key else None
            if not entry and self.needs_earlier_run() and self.readying_ahead:
                raise EarlierRunFirst()
            if self.needs_earlier_run() and s.state == 'clean':
                self.notes.append('a limited user\'s PC has had an earlier administrator\'s run: the PC was '
                                  'prepared as "installed"')
            # A PC started ahead for the earlier run runs it, unless the cache has its PC by now.
            in_pc_started_ahead = self.started_for_earlier_run and not entry
            if self.started_for_earlier_run and entry:
                self.notes.append('the PC started ahead for its earlier administrator\'s run was set aside: by this '
                                  'run\'s turn the cache had the PC that run leaves')
                self.stop_pc()
            if not in_pc_started_ahead:
                self.copy_pc(entry or ready, ready)
            if entry:
                self.take_earlier_run(entry)
                return entry
            if not in_pc_started_ahead:
                self.apply_extra_settings()
            if not self.needs_earlier_run():
                return ready if not (s.registry or self.fault) else None
            with self.clock.phase('earlier run'):
                notes_before = len(self.notes)
                self.prepare_state()
            if key:
                with self.clock.phase('keep earlier run'):
                    return self.keep_earlier_run(key, ready, self.earlier_runs, self.notes[notes_before:])
            return None

    def copy_pc(self, source, ready):
        """The run's PC made anew as a copy of source (the prepared PC, or a cache entry), beside
        the CD-ROM drives presented."""
        sandbox = self.prefix.sandbox if self.prefix else self.make_sandbox()
        self.prefix = pc.make_pc(source, self.prefix_path(), self.s.arch, self.display, sandbox=sandbox,
                                 clock=self.clock, keep_drives=True)
        self.note_pc(ready)

    def apply_extra_settings(self):
        with self.clock.phase('settings'):
            if self.s.registry and not self.prefix.import_reg(self.s.registry, 'extra.reg'):
                raise RuntimeError('could not write the extra settings into the PC')

    def start_for_earlier_run(self, ready):
        """Ahead of the run's turn, where the earlier administrator's run is not in the cache: the
        prepared PC copied, with the extra settings, and started with the robot watching for that
        run (make_prefix runs it at the turn)."""
        self.copy_pc(ready, ready)
        self.apply_extra_settings()
        self.start_watch(EARLIER_RUN, screenshots=False)
        self.started_for_earlier_run = True

    def needs_earlier_run(self):
        return self.s.state != 'clean' or self.limited_user_needs_service()

    def earlier_state(self):
        """The state the earlier administrator's run leaves the PC in (a limited user's clean PC
        on XP has had one that installed everything)."""
        return 'installed' if self.s.state == 'clean' else self.s.state

    def earlier_run_key(self, ready, admin_state, state=None):
        """The name of the earlier run's entry in the cache (of the state given, else of this run's
        own earlier run), or None when the run needs no earlier run or its earlier run cannot be
        told by what it starts from (a fault, or code of a caller that watches the robot)."""
        s = self.s
        if not (state or self.needs_earlier_run()) or self.fault or s.hooks:
            return None
        facts = {'state': state or self.earlier_state(), 'windows': s.windows, 'arch': s.arch,
                 'device': admin_state, 'registry': s.registry, 'answers': [s.answer_default, s.answer_rules],
                 'locale': s.locale, 'sandbox': s.sandbox, 'installers': s.installers,
                 'environment': self.program_env()}
        drives = {letter: image.folder for letter, image in self.images.items()}
        return earlier_runs.key_of(ready, drives, facts, os.path.dirname(os.path.abspath(__file__)),
                                   os.path.join(s.build_dir, 'sim'))

    def take_earlier_run(self, entry):
        self.earlier_runs = list(entry.runs)
        self.notes.extend(entry.notes)
        self.notes.append('the PC as that earlier run left it came from the build\'s cache (made %s by a run from the '
                          'same PC, CD-ROM drives, settings and harness)' % entry.made)
        self.log('the PC as an earlier administrator\'s run left it: from the cache')

    def keep_earlier_run(self, key, ready, runs, notes, registry=None):
        """Keeps the stopped PC as the earlier run (runs: its record) left it for later runs of
        the same key; returns it (its registry, when not given, and files read), or None when it
        could not be kept (said in the notes)."""
        registry = registry if registry is not None else snapshot.read_registry(self.prefix.path)
        files = snapshot.read_files(self.prefix.drive_c())
        try:
            return earlier_runs.store(self.s.cache_dir, key, self.prefix.path, ready, runs, notes, registry, files)
        except (earlier_runs.NotKept, OSError) as e:
            self.notes.append('the PC as the earlier run left it was not kept for later runs: %s' % e)
            return None

    def keep_as_installed(self, result):
        """After an administrator's plug-in into a clean PC (the PC stopped, the result taken): the
        PC, once the device is unplugged, is what an earlier administrator's run leaves for the
        installed state, the same run from the same PC, CD-ROM drives, settings and harness (its
        setups held until seen, which changes only when they act). It is kept as that run's entry,
        so that the installed PC's cells take it instead of running the same again."""
        if not self.installed_key or result['outcome'] != 'finished' or result.get('error'):
            return
        if self.config_value('ITK', 'itk_type') == '2':
            return  # that earlier run also has the user install the PC suite
        with self.clock.phase('keep earlier run'):
            self.unplug_files()
            with earlier_runs.lock_of(self.s.cache_dir, self.installed_key):
                if earlier_runs.find(self.s.cache_dir, self.installed_key, self.ready):
                    return  # kept already
                record = dict(result_mod.launch_data(self, self.launch), screenshots=[],
                              label='earlier administrator\'s run (an administrator\'s plug-in into the clean PC)')
                notes_before = len(self.notes)
                kept = self.keep_earlier_run(self.installed_key, self.ready, [record], [
                    'PC prepared by an earlier administrator\'s run of the same image (installed): the plug-in of '
                    'an administrator into the clean PC, kept from that run'], self.registry_after)
        result['notes'] += self.notes[notes_before:]
        if kept:
            result['notes'].append('the PC this run left, the device unplugged, was kept in the build\'s cache as the '
                                   'earlier administrator\'s run of the installed PC')

    def limited_user_needs_service(self):
        """A limited user on XP is served by the command service, which only an earlier
        administrator's run can have installed; on Vista and later the service is never used, and
        a clean PC stays clean."""
        return self.s.limited_user and self.s.windows == 'xp'

    def prepare_state(self):
        """The PC as an earlier administrator's run with this device left it (older versions for
        the outdated states); then the device is unplugged and plugged in again."""
        s = self.s
        state = self.earlier_state()
        script = {}
        if state == 'outdated-driver':
            script = {'driver_setup': {'version': '0.1.0.0'}}
        elif state == 'outdated-kit':
            script = {'kit_setup': {'version': '0.1.0.0'}}
        self.write_programs_script(script)
        older = (state.split('-')[1],) if self.real_installers and state.startswith('outdated') else ()
        if older:
            self.place_real_installers(older)
        self.log('preparing the PC (%s): an earlier administrator\'s run with this device' % state)
        launch = self.watch_launch(EARLIER_RUN, screenshots=False)
        if older:
            self.place_real_installers()
        self.earlier_runs.append(result_mod.launch_data(self, launch))
        if launch.outcome != 'finished':
            raise RuntimeError('the earlier administrator\'s run did not end within %d s' % s.timeout)
        kit_type = self.config_value('ITK', 'itk_type')
        if kit_type == '2':
            # The program never installs the PC suite itself (it shows the guide): the user has.
            setup = self.config_value('ITK', 'itk_setup')
            if setup:
                self.prefix.run(['R:\\' + setup], timeout=120)
                self.notes.append('the PC suite was installed by its own setup (%s), as its user would have' % setup)
        self.unplug(quick=True)  # nothing of it runs on: the plug-in starts from a PC at rest
        self.notes.append('PC prepared by an earlier administrator\'s run of the same image (%s)' % state)

    def place_real_installers(self, older=()):
        """The real installers on every CD-ROM drive anew (older: the roles whose outdated package an
        earlier run installed)."""
        for image in self.images.values():
            notes = self.real_installers.place(os.path.dirname(image.program_path()), image.machine, older)
            self.notes += notes if older else []
