"""The maker's PC matrix (scripts/run.sh --matrix): one device image plugged into every PC a modem
will meet (each Windows, 32 or 64 bits, each state an earlier run left, an administrator or a
limited user, and optionally each fault), two runs at a time, each cell judged against what that
PC should get (expectation.py), on one page (matrix_page.py)."""
import os
import shutil
import subprocess
import time
import traceback

from . import cache
from . import expectation
from . import faults as faults_mod
from . import image as image_mod
from . import matrix_page
from . import parallel
from . import observed
from . import report
from . import report_files
from . import stops
from .hold import hold_script
from .run import PlugInRun, Settings

# The stand-ins of the test build for the maker's installers, by the profile key that names them.
STAND_INS = (('DRIVER', 'driver_name', 'SimDriverSetup.exe'), ('ITK', 'itk_setup', 'SimKitSetup.exe'),
             ('DRIVER', 'emp_uninstall_linkfile', 'SimEmpRemover.exe'))
QCT_REMOVER = ('UninstallMSI.exe', 'SimQctRemover.exe')


def cell_name(cell):
    bits = '-64bit' if cell['bits'] == 64 else ''
    if cell.get('fault'):
        return 'win%s%s-fault-%s' % (cell['windows'], bits, cell['fault'])
    return 'win%s%s-%s-%s' % (cell['windows'], bits, cell['state'], 'limited' if cell['limited'] else 'admin')


def make_cells(windows, arches, states, users, fault_names):
    """The cells in the order they run: each Windows, 32 then 64 bits (64-bit XP is left out: the
    device's users met XP as a 32-bit system), each state, the administrator then the limited
    user; then the faults, each on a clean PC of an administrator on each Windows (32-bit)."""
    cells = []
    for version in windows:
        for bits in [int(a) for a in arches if not (a == '64' and version == 'xp')]:
            for state in states:
                for user in users:
                    cells.append({'windows': version, 'bits': bits, 'state': state, 'limited': user == 'limited',
                                  'fault': None})
    for fault in fault_names:
        for version in windows:
            cells.append({'windows': version, 'bits': 32, 'state': 'clean', 'limited': False, 'fault': fault})
    return cells


def config_of(folder):
    """The [section][key] values of the image's config.ini beside its program (lower case)."""
    autorun = image_mod.find_case_insensitive(folder, 'autorun.inf')
    opened = image_mod.autorun_open(image_mod.read_text(autorun)) if autorun else None
    program_folder = os.path.dirname(os.path.join(folder, opened[0].replace('\\', '/'))) if opened else folder
    config = image_mod.find_case_insensitive(program_folder, 'config.ini')
    return (image_mod.read_ini(image_mod.read_text(config)) if config else {}), program_folder


def missing_installers(folder):
    """[(name, stand-in program)] of the installers the image's config.ini names that the image
    lacks (where the program would look for them: beside itself)."""
    config, program_folder = config_of(folder)
    wanted = []
    for section, key, stand_in in STAND_INS:
        name = config.get(section.lower(), {}).get(key, '')
        if name:
            wanted.append((name, stand_in))
    if (config.get('driver', {}).get('driver_type', 'QCT').upper() == 'QCT'
            and config.get('driver', {}).get('driver_autouninstall', '0') != '1'):
        wanted.append(QCT_REMOVER)
    return [(name, stand_in) for name, stand_in in wanted
            if not os.path.isfile(os.path.join(program_folder, name.replace('\\', '/')))
            and not image_mod.find_case_insensitive(program_folder, name)]


def kit_type_of(folder):
    """The image's kit type (the program's default, 0, when config.ini names none)."""
    text = config_of(folder)[0].get('itk', {}).get('itk_type', '0').strip()
    return int(text) if text.isdigit() else 0


def run_order(cells):
    """The order the cells start in (the page keeps make_cells' order): the longest first, so
    that the last to start are short ones (a fault's cell plugs the device in twice; on a clean
    PC an administrator installs both, on an outdated one one), and the limited users' cells after
    every administrator's, so that each finds in the cache the earlier administrator's run that
    the administrator's cell of its PC and state made, instead of running the same beside it."""
    def length(cell):
        if cell['fault']:
            return 3
        if cell['limited']:
            return -1
        return {'clean': 2, 'outdated-driver': 1, 'outdated-kit': 1}.get(cell['state'], 0)
    return sorted(cells, key=length, reverse=True)


def leaves_installed_pc(cell, cells):
    """Whether the cell's plug-in (an administrator's, into a clean PC) leaves the PC that another
    cell of the same PC needs an earlier administrator's run for: an installed PC, or a limited
    user's on XP (whose clean PC has had one)."""
    def same_pc(other):
        return other['windows'] == cell['windows'] and other['bits'] == cell['bits'] and not other['fault']
    if cell['fault'] or cell['limited'] or cell['state'] != 'clean':
        return False
    return any(same_pc(other) and (other['state'] == 'installed' or
                                   (other['limited'] and other['windows'] == 'xp' and other['state'] == 'clean'))
               for other in cells)


class MatrixRun:
    """One matrix: its cells, the runs two at a time, the progress in the terminal, the page."""

    def __init__(self, options, build_dir, scripts_dir, arch_of, log=print):
        self.options = options
        self.build_dir = build_dir
        self.scripts_dir = scripts_dir
        self.arch_of = arch_of          # bits -> the Wine prefix of such a PC ('win32'/'win64')
        self.log = log
        self.page_dir = os.path.abspath(options.report_dir or os.path.join(build_dir, 'plugin-matrix'))
        self.work_dir = os.path.join(build_dir, 'plugin-matrix-run')
        self.notes = []
        self.rows = []
        self.folder = None  # the page folder (report_files.ReportFolder) while the matrix runs

    # -- the image and its cells -------------------------------------------------------------
    def image_folder(self):
        """The image as a folder (an ISO extracted once for every cell)."""
        source = os.path.abspath(self.options.image or os.path.join(self.build_dir, 'image'))
        if os.path.isdir(source):
            return image_mod.image_folder(source)
        if not source.lower().endswith('.iso') or not os.path.isfile(source):
            raise image_mod.ImageError('%s is neither a folder nor an .iso file' % source)
        folder = os.path.join(self.work_dir, 'image')
        shutil.rmtree(folder, ignore_errors=True)
        self.notes += image_mod.extract_iso(source, folder)
        self.notes.append('the ISO image %s was extracted once with xorriso, as Windows reads it (its Joliet tree), '
                          'for every cell' % source)
        return folder

    def stand_ins_for(self, folder):
        missing = missing_installers(folder)
        if self.options.installers != 'stand-ins':
            self.notes.append('real installers (--installers %s) in the place of the stand-ins in every cell: Windows '
                              'Installer packages made from config.ini, run by the PC\'s msiexec' % self.options.installers)
            return {}  # each cell's run puts them in place
        if not missing:
            return {}
        names = ', '.join(name for name, _ in missing)
        if not self.options.stand_ins:
            self.notes.append('the image lacks installers its config.ini names (%s): the cells show what happens '
                              'without them (--stand-ins puts the project\'s stand-ins in their place)' % names)
            return {}
        programs = os.path.join(self.build_dir, 'sim', 'bin')
        self.notes.append('the image lacks installers its config.ini names; the project\'s stand-ins took their '
                          'place on the CD: %s' % ', '.join('%s (%s)' % pair for pair in missing))
        return {name: os.path.join(programs, stand_in) for name, stand_in in missing}

    def cells(self):
        o = self.options
        names = []
        if o.faults:
            names = faults_mod.names() if o.faults == 'all' else o.faults.split(',')
        return make_cells(o.windows_list, o.arch_list, o.state_list, o.users_list, names)

    # -- one cell ----------------------------------------------------------------------------
    def settings(self, cell, image, extra_files):
        o = self.options
        programs = hold_script(o.hold, until_shown=not o.no_screenshots)
        return Settings(
            image=image, build_dir=self.build_dir, scripts_dir=self.scripts_dir,
            cache_dir=os.path.join(self.build_dir, 'plugin-cache'),
            run_dir=os.path.join(self.work_dir, cell_name(cell)), arch=self.arch_of(cell['bits']),
            windows=cell['windows'], state=cell['state'], limited_user=cell['limited'], reply=o.reply_value,
            answer_default=o.answer_default, answer_rules=o.answer_rules, timeout=o.timeout,
            screenshots=not o.no_screenshots, programs=programs, fault=cell['fault'], extra_files=extra_files,
            locale=o.locale, verbose=False, sandbox=not o.no_sandbox, installers=o.installers,
            keep_installed=leaves_installed_pc(cell, self.cells()))

    def ready_cell(self, cell, image, extra_files):
        """The cell's run readied ahead of its turn (its PC started, the robot watching), or None
        where it cannot be (PlugInRun.start_ahead)."""
        run = PlugInRun(self.settings(cell, image, extra_files))
        return run if run.start_ahead() else None

    def run_cell(self, cell, image, extra_files, kit_type, readied=None):
        name = cell_name(cell)
        started = time.monotonic() - (readied.ahead[0] if readied else 0.0)
        result = (readied or PlugInRun(self.settings(cell, image, extra_files))).execute()
        cell_dir = self.folder.folder(name)
        report.write_report(result, cell_dir)
        if result.get('second_plugin'):
            report.write_report(result['second_plugin'], os.path.join(cell_dir, 'second-plugin'))
        expect = expectation.expected_outcome(cell, kit_type)
        row = cell_row(name, cell, expect, result, time.monotonic() - started)
        row['report'] = name + '/report.html'
        row['thumbnail'] = self.thumbnail(result, cell_dir, name)
        return row

    def thumbnail(self, result, cell_dir, name):
        """A small copy of the cell's key screenshot (the first message box's, else the last one),
        beside its report; None when the run showed no window."""
        shot = key_screenshot(result)
        if not shot:
            return None

        def make(target):
            subprocess.run(['convert', os.path.join(cell_dir, shot), '-thumbnail', '240x180', '-strip', target],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60, check=True)
        try:
            self.folder.produce(name + '/thumbnail.png', make)
        except (OSError, subprocess.SubprocessError):
            return None
        return name + '/thumbnail.png'

    # -- all of them -------------------------------------------------------------------------
    def execute(self):
        os.makedirs(self.work_dir, exist_ok=True)
        lock = cache.held_unless_taken(os.path.join(self.work_dir, 'matrix.lock'))
        if lock is None:
            self.log('another matrix of this build is running (%s)' % self.work_dir)
            return None
        with lock:
            # What an earlier matrix wrote goes (its cells' folders with their reports); anything
            # else in the folder stays.
            self.folder = report_files.open_cleared(self.page_dir)
            return self.run_all()

    def run_all(self):
        started = time.monotonic()
        image = self.image_folder()
        extra_files = self.stand_ins_for(image)
        kit_type = kit_type_of(image)
        cells = self.cells()
        jobs = max(1, self.options.jobs)
        self.log('PC matrix: %d cells of %s, %d at a time (the PCs next in line started meanwhile)' % (
            len(cells), self.options.image or image, jobs))
        seconds = []

        readied_cells = []

        def run(cell, readied):
            if readied:
                readied_cells.append(cell)
            try:
                return self.run_cell(cell, image, extra_files, kit_type, readied)
            except Exception:  # a cell that breaks is a marked cell, not a lost one
                return broken_row(cell, traceback.format_exc())

        def report_cell(_cell, row):
            self.rows.append(row)
            seconds.append(row['seconds'])
            left = len(cells) - len(self.rows)
            self.log(progress_line(len(self.rows), len(cells), row, estimate(seconds, left, jobs)))

        not_started = parallel.each_in_parallel(run_order(cells), jobs, run, report_cell,
                                                lambda cell: self.ready_cell(cell, image, extra_files),
                                                lambda readied: readied.abandon())
        self.notes.append('%d of the %d cells started had their PC made and started, with the robot watching, '
                          'while the cells before them ran (where their earlier administrator\'s run was not in the '
                          'cache, for that run); the others at their turn (the first %d start at once, and a fault\'s '
                          'cell is not readied)' % (
                              len(readied_cells), len(cells) - len(not_started), jobs))
        order = [cell_name(c) for c in cells]
        self.rows.sort(key=lambda row: order.index(row['name']))
        data = {'image': os.path.abspath(self.options.image or image), 'kit_type': kit_type, 'notes': self.notes,
                'seconds': round(time.monotonic() - started, 1), 'cells': self.rows}
        if stops.requested():
            data['stopped'] = stops.reason()
            data['not_started'] = [cell_name(c) for c in cells if c in not_started]
            self.notes.insert(0, '%s: %d of %d cells were not started%s' % (
                stops.reason(), len(not_started), len(cells),
                ' (%s)' % ', '.join(data['not_started']) if not_started else ''))
        written = matrix_page.write_page(data, self.folder)
        self.folder.record()
        return written


def key_screenshot(result):
    """The report-relative path of the screenshot that shows a cell best: the first message box,
    else the last screenshot taken."""
    run = result.get('run') or {}
    shots = run.get('screenshots', [])
    if not shots:
        return None
    boxed = [b['screenshot'] for b in run.get('boxes', []) if b.get('screenshot')]
    chosen = boxed[0] if boxed else shots[-1]['file']
    return os.path.join('screenshots', os.path.basename(chosen))


def last_status(result):
    """What the program's main window last showed, as the outside saw it: the step the run was in
    when the window closed (a setup running, in modem mode, ...), or that no window was shown."""
    from . import timeline
    run = result.get('run') or {}
    spans = [s for s in run.get('windows', []) if timeline.is_program_window(s, result)]
    if not spans:
        return 'no window'
    last = max(spans, key=lambda s: s['end'] if s.get('end') is not None else run.get('duration', 0.0))
    end = last['end'] if last.get('end') is not None else run.get('duration', 0.0)
    steps = timeline.window_steps(last['start'], end, result)
    return '"%s": %s' % (last['title'], steps[-1][2] if steps else 'preparing')


def installed_text(result):
    stand_ins = observed.stand_ins_with_roles(result)
    parts = []
    for stand_in in stand_ins:
        detail = stand_in['actions'].get('installed')
        if detail:
            parts.append(('kit ' + detail.split()[-1]) if stand_in['role'] == 'kit setup' else 'driver ' + detail)
        removed = stand_in['actions'].get('removed')
        if removed and 'nothing was installed' not in removed:
            parts.append('removed ' + removed)
    changes = observed.package_changes(result) if observed.uses_real_installers(result) else []
    for change in sorted(changes, key=lambda c: c['role'] != 'driver'):
        what = 'driver ' + change['what'] if change['role'] == 'driver' else 'kit'
        version = ' '.join(filter(None, [change['version'], change['before'] and '(in place of %s)' % change['before']]))
        parts.append('removed ' + what if change['change'] == 'removed' else ' '.join([what, version]))
    if observed.service_change(result) == 'installed':
        parts.append('the command service')
    return ', '.join(parts) or 'nothing'


def cell_row(name, cell, expect, result, seconds):
    """The page's row of one cell: its settings, what it should get, what it got, and why the two
    differ."""
    run = result.get('run') or {}
    problems = expectation.differences(expect, result)
    boxes = [observed.box_text(b, 200) + ' (%s)' % observed.box_answer(b) for b in run.get('boxes', [])]
    device = (result.get('device_state') or {}).get('R', {}).get('mode', '-')
    return {
        'name': name, 'cell': cell,
        'expected': expect.what if expect else 'not fixed for this kit type: shown, not judged',
        'outcome': result['outcome'], 'verdict': result.get('verdict', ''), 'skipped': result.get('skipped'),
        'boxes': boxes, 'last_status': last_status(result), 'installed': installed_text(result),
        'device': device, 'product_seconds': round(observed.product_end(run), 1) if run else None,
        'seconds': round(seconds, 1), 'unexpected': problems,
        'reported_version': result['settings'].get('reported_version', ''),
    }


def broken_row(cell, failure):
    result = {'outcome': 'error', 'error': failure.strip().splitlines()[-1], 'settings': {}, 'run': None,
              'verdict': 'Could not run: ' + failure.strip().splitlines()[-1]}
    row = cell_row(cell_name(cell), cell, None, result, 0.0)
    row['unexpected'].append('the matrix could not run the cell:\n' + failure)
    return row


def estimate(seconds, left, jobs):
    """The time still to wait: the mean time of a cell so far, for the cells left, jobs at a time."""
    if not seconds or not left:
        return 0.0
    return sum(seconds) / len(seconds) * -(-left // jobs)


def progress_line(done, total, row, left_seconds):
    word = 'SKIPPED' if row['outcome'] == 'skipped' else 'UNEXPECTED' if row['unexpected'] else 'as expected'
    line = '[%d/%d] %-11s %-36s %6.1f s' % (done, total, word, row['name'], row['seconds'])
    if done < total:
        line += '; about %s left' % observed.format_seconds(left_seconds)
    return line
