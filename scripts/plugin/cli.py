"""scripts/run.sh: one plug-in run from the command line, its report and its summary."""
import fcntl
import os
import sys

from . import options as options_mod
from . import report
from .run import PlugInRun, Settings


def claim_run_folders(build_dir, most=99):
    """(run folder, report folder, lock) of the first run folder no other run holds:
    plugin-run with its report in plugin-report when free, else plugin-run-2 and plugin-report-2,
    and so on. The folder stays this run's while the lock file is open (until the process ends,
    however it ends)."""
    os.makedirs(build_dir, exist_ok=True)
    for number in range(1, most + 1):
        suffix = '' if number == 1 else '-%d' % number
        lock = open(os.path.join(build_dir, 'plugin-run%s.lock' % suffix), 'a')
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            lock.close()
            continue
        return (os.path.join(build_dir, 'plugin-run' + suffix), os.path.join(build_dir, 'plugin-report' + suffix),
                lock)
    raise RuntimeError('%d plug-in runs of this build are running already' % most)


def main(argv):
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
    if options.languages is not None:
        from . import languages
        return languages.command(options, build_dir, os.path.join(root, 'scripts'), display,
                                 'win64' if preset == 'test64' else 'win32')
    programs = {}
    if options.hold:
        programs = {'driver_setup': {'delay_ms': str(options.hold)}, 'kit_setup': {'delay_ms': str(options.hold)}}
    timeout = options.timeout if options.seconds is None else max(options.timeout, options.seconds)
    run_dir, own_report_dir, lock = claim_run_folders(build_dir)
    if not run_dir.endswith('plugin-run'):
        print('another plug-in run holds build/%s/plugin-run: this one runs in %s' % (preset, run_dir))
    settings = Settings(
        image=options.image or os.path.join(build_dir, 'image'),
        build_dir=build_dir, scripts_dir=os.path.join(root, 'scripts'),
        cache_dir=os.path.join(build_dir, 'plugin-cache'), run_dir=run_dir,
        arch='win64' if preset == 'test64' else 'win32', windows=options.windows, state=options.state,
        limited_user=options.limited_user, reply=options.reply_value, answer_default=options.answer_default,
        answer_rules=options.answer_rules, timeout=timeout, display=display, xvfb_display=options.xvfb,
        screenshots=not options.no_screenshots, programs=programs, locale=options.locale, fault=options.fault,
        no_language=options.no_language, verbose=not options.quiet)
    report_dir = options.report_dir or own_report_dir
    print('plug-in run: %s into a simulated Windows %s PC' % (settings.image, settings.windows))
    result = PlugInRun(settings).execute()
    path = report.write_report(result, report_dir)
    lock.close()
    print('---')
    for line in report.terminal_lines(result, path):
        print(line)
    if options.fault:
        return fault_summary(result, report_dir)
    return 0 if result['outcome'] == 'finished' else 1


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
