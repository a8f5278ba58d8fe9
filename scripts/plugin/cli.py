"""scripts/run.sh: one plug-in run from the command line, its report and its summary."""
import os
import sys

from . import cache
from . import options as options_mod
from . import pc
from . import phases
from . import report
from . import stops
from .hold import hold_script
from .run import PlugInRun, Settings


def claim_folder(build_dir, name, most=99):
    """(folder, lock) of the first folder of that name that no other command holds: build_dir/name
    when free, else name-2, name-3 and so on. The folder stays this command's while the lock file
    is open (until the process ends, however it ends)."""
    os.makedirs(build_dir, exist_ok=True)
    for number in range(1, most + 1):
        folder = os.path.join(build_dir, name if number == 1 else '%s-%d' % (name, number))
        lock = cache.held_unless_taken(folder + '.lock')
        if lock:
            return folder, lock
    raise RuntimeError('%d commands hold the folders %s of this build already' % (most, name))


def claim_run_folders(build_dir, most=99):
    """(run folder, report folder, lock) of the first run folder no other run holds:
    plugin-run with its report in plugin-report when free, else plugin-run-2 and plugin-report-2,
    and so on (see claim_folder)."""
    run_dir, lock = claim_folder(build_dir, 'plugin-run', most)
    report_name = 'plugin-report' + os.path.basename(run_dir)[len('plugin-run'):]
    return run_dir, os.path.join(build_dir, report_name), lock


def pc_arch(preset, bits):
    """The Wine prefix of a PC of that many bits: the test64 build's programs need a 64-bit one
    whatever was asked (its host runs no 32-bit programs)."""
    return 'win64' if preset == 'test64' or bits == '64' else 'win32'


def main(argv):
    """The command; a stop (SIGINT, SIGTERM, SIGHUP) ends it within seconds, with what was seen
    written, and the exit code 128 + the signal's number."""
    stops.install()
    try:
        code = command(argv)
        if not stops.requested():
            pc.removals_done()  # an earlier run's prefix, moved aside: gone before the command ends
        return stops.exit_code(code)
    finally:
        stops.finish()


def command(argv):
    clock = phases.PhaseClock()
    root = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
    preset = os.environ.get('PLUGSTART_PRESET', 'test64')
    options = options_mod.parse(argv)
    build_dir = os.path.join(root, 'build', preset)
    display = None
    if options.display is not None:
        display = options.display or os.environ.get('DISPLAY')
        if not display:
            print('--display: no display given and DISPLAY is not set', file=sys.stderr)
            return 2
    if options.matrix:
        return matrix_command(options, build_dir, os.path.join(root, 'scripts'), preset)
    if options.languages is not None:
        from . import languages
        return languages.command(options, build_dir, os.path.join(root, 'scripts'), display,
                                 'win64' if preset == 'test64' else 'win32')
    programs = hold_script(options.hold, until_shown=not options.no_screenshots and display is None)
    timeout = options.timeout if options.seconds is None else max(options.timeout, options.seconds)
    run_dir, own_report_dir, lock = claim_run_folders(build_dir)
    if not run_dir.endswith('plugin-run'):
        print('another plug-in run holds build/%s/plugin-run: this one runs in %s' % (preset, run_dir))
    settings = Settings(
        image=options.image or os.path.join(build_dir, 'image'),
        build_dir=build_dir, scripts_dir=os.path.join(root, 'scripts'),
        cache_dir=os.path.join(build_dir, 'plugin-cache'), run_dir=run_dir,
        arch=pc_arch(preset, options.arch), windows=options.windows, state=options.state,
        limited_user=options.limited_user, reply=options.reply_value, answer_default=options.answer_default,
        answer_rules=options.answer_rules, timeout=timeout, display=display, xvfb_display=options.xvfb,
        screenshots=not options.no_screenshots, programs=programs, locale=options.locale, fault=options.fault,
        no_language=options.no_language, verbose=not options.quiet, sandbox=not options.no_sandbox,
        installers=options.installers, clock=clock)
    report_dir = options.report_dir or own_report_dir
    print('plug-in run: %s into a simulated Windows %s PC' % (settings.image, settings.windows))
    result = PlugInRun(settings).execute()
    with clock.phase('report'):
        path = report.write_report(result, report_dir)
    lock.close()
    phases.write(clock)
    print('---')
    for line in report.terminal_lines(result, path):
        print(line)
    if options.fault:
        return fault_summary(result, report_dir)
    return 0 if result['outcome'] == 'finished' else 1


def matrix_command(options, build_dir, scripts_dir, preset):
    """scripts/run.sh --matrix: the cells, the page, the page in the browser; 1 when a cell's
    outcome is not what its PC should get or the page does not show as it should."""
    from . import browser, image, matrix_page, pc_matrix, report_files
    if preset == 'test64' and '64' in options.arch_list:
        # Its PCs are all 64-bit already (the host runs no 32-bit programs): nothing runs under WOW64.
        options.arch_list = ['32']
        print('this build\'s programs are 64-bit, and so is every PC of its matrix: no WOW64 cells')
    matrix = pc_matrix.MatrixRun(options, build_dir, scripts_dir, lambda bits: pc_arch(preset, str(bits)),
                                 log=(lambda text: None) if options.quiet else print)
    try:
        data = matrix.execute()
    except image.ImageError as e:
        print('the image cannot be used: %s' % e, file=sys.stderr)
        return 1
    if data is None:
        return 1
    page = os.path.join(matrix.page_dir, 'matrix.html')
    print('---')
    for cell in data['cells']:
        if cell['unexpected']:
            print('UNEXPECTED %s: %s' % (cell['name'], '; '.join(cell['unexpected'])))
        elif cell['outcome'] == 'skipped':
            print('skipped %s: %s' % (cell['name'], cell['skipped']))
    print('page: %s (and matrix.md, matrix.json beside it)' % page)
    if stops.requested():  # a stop ends the command now: the page is not opened in the browser
        print(matrix_page.headline(data))
        return 1
    shown = True
    try:
        seen = browser.check_page(page)
        if seen.screenshot:
            os.replace(seen.screenshot, os.path.join(matrix.page_dir, 'matrix.png'))
            report_files.list_also(matrix.page_dir, 'matrix.png')
        print('the page in headless Chromium: %d pictures decoded, %d links resolved%s; screenshot matrix.png' % (
            seen.pictures, seen.links, ''.join('\n  problem: ' + p for p in seen.problems)))
        shown = seen.ok
    except browser.BrowserError as e:
        print('the page could not be opened in headless Chromium: %s' % e)
        shown = False
    print(matrix_page.headline(data))
    return 0 if shown and not data['counts']['unexpected'] else 1


def fault_summary(result, report_dir):
    """The fault and the second plug-in: its summary and its own report beside the first."""
    fault = result.get('fault') or {}
    print('--- fault %s: %s' % (fault.get('name'), fault.get('what')))
    for note in fault.get('notes') or []:
        print('  ' + note)
    if result['outcome'] == 'skipped':
        print('skipped: %s' % result.get('skipped'))
        return 1
    second = result.get('second_plugin')
    if not second:
        return 1
    print('--- the second plug-in, without the fault')
    path = report.write_report(second, os.path.join(report_dir, 'second-plugin'))
    for line in report.terminal_lines(second, path):
        print(line)
    return 0 if result['outcome'] == 'finished' and second['outcome'] == 'finished' else 1


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
