"""The plug-in run's benchmark (scripts/bench.sh --plugin): plug-in runs as a user starts them
(scripts/run.sh --hold 0 --no-screenshots), each Windows version and architecture in turn, the
order turning each round; for each, where its time went (the phases the run records, see
phases.py) and the figures it is judged by, as medians over the rounds:

- ready: from the command's start to the program's start from R: (the run asks Wine to start it);
- the job: from that start to the end of the last program the product started (the robot's
  record);
- the wall time of the command, and its ratio to the job.

    python3 -m plugin.bench --root CHECKOUT --preset test [--rounds 5] [--pcs xp-32,7-64,...]
                            [--matrix] [--run-args '...']

Each PC is run once first, not counted: that run makes the cached prefixes when none is current
(a new Wine, changed scripts or settings), as a user's first run does. --matrix also times the
default PC matrix (scripts/run.sh --matrix --jobs 2) twice: first as for a new image (the cache
of earlier administrators' runs emptied, so each is run once), then again (each from the cache)."""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

from . import earlier_runs
from . import phases

ALL_PCS = ('xp-32', '7-32', '10-32', '7-64', '10-64')
# The phases in the order a run goes through them (others, if any, follow in the order seen).
BEFORE_CLOCK = 'before the run\'s clock: shell, build check, Python'
ORDER = (BEFORE_CLOCK, 'display', 'prepared PC', 'image', 'prefix', 'settings', 'earlier run', 'keep earlier run',
         'snapshot before',
         'wine start', 'robot', 'job and end', 'stop robot', 'stop', 'snapshot after', 'result', 'report',
         'sandbox (within others)')
READY_GOAL = 1.5
RATIO_GOAL = 2.0
# The default matrix's time when its goal was set (5 min 24 s on this kind of host), and the goal.
MATRIX_BEFORE = 324.0
MATRIX_GOAL = MATRIX_BEFORE / 4


def median(values):
    return statistics.median(values) if values else None


def figures(clock_data, result, command_started, command_ended):
    """The figures of one run from its phases and its result data (report.json): {'ready', 'job',
    'wall', 'ratio', 'phases': {name: seconds}}; None for what the run did not reach."""
    offset = clock_data['started'] - command_started  # the run's clock began this long after the command
    moments = clock_data['moments']
    run = result.get('run') or {}
    started = moments.get('program started')
    ended = moments.get('last program ended')
    wall = command_ended - command_started
    data = {'wall': wall, 'ready': None, 'job': None, 'ratio': None, 'end wait': None, 'phases': {},
            'outcome': result.get('outcome')}
    if started is not None:
        data['ready'] = offset + started
    if started is not None and ended is not None and run:
        data['job'] = max(0.0, ended - started)
        data['ratio'] = wall / data['job'] if data['job'] > 0 else None
    if ended is not None and moments.get('end seen') is not None:
        data['end wait'] = moments['end seen'] - ended
    for phase in clock_data['phases']:
        data['phases'][phase['name']] = data['phases'].get(phase['name'], 0.0) + phase['seconds']
    data['phases'][BEFORE_CLOCK] = offset
    return data


def run_once(root, pc, work, run_args):
    """One plug-in run of the command: its figures."""
    windows, bits = pc.split('-')
    report_dir = os.path.join(work, 'report-' + pc)
    phase_file = os.path.join(work, 'phases-%s.json' % pc)
    if os.path.exists(phase_file):
        os.remove(phase_file)
    env = dict(os.environ, **{phases.VARIABLE: phase_file})
    command = [os.path.join(root, 'scripts', 'run.sh'), '--windows', windows, '--arch', bits, '--hold', '0',
               '--no-screenshots', '--quiet', '--report-dir', report_dir] + run_args
    started = time.time()
    done = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    ended = time.time()
    try:
        with open(phase_file, encoding='utf-8') as f:
            clock_data = json.load(f)
        with open(os.path.join(report_dir, 'report.json'), encoding='utf-8') as f:
            result = json.load(f)
    except (OSError, ValueError) as e:
        tail = done.stdout.decode('utf-8', 'replace').strip()[-600:]
        raise RuntimeError('the run of %s left no figures (%s): %s' % (pc, e, tail))
    return figures(clock_data, result, started, ended)


def seconds_text(value):
    return '%7.2f s' % value if value is not None else '      - '


def print_phases(pcs, runs):
    names = [name for name in ORDER if any(name in r['phases'] for pc in pcs for r in runs[pc])]
    for pc in pcs:
        for r in runs[pc]:
            names += [name for name in r['phases'] if name not in names]
    print('  %-52s %s' % ('phase (median seconds of a run)', ' '.join('%9s' % pc for pc in pcs)))
    for name in names:
        cells = []
        for pc in pcs:
            values = [r['phases'][name] for r in runs[pc] if name in r['phases']]
            cells.append(seconds_text(median(values)) if values else '      - ')
        print('  %-52s %s' % (name, ' '.join(cells)))


def print_goals(pcs, runs):
    print('  %-52s %s' % ('figure (median of the rounds)', ' '.join('%9s' % pc for pc in pcs)))
    rows = (('ready: command start to the program started from R:', 'ready', seconds_text),
            ('the program\'s job: its start to the last program\'s end', 'job', seconds_text),
            ('the wait from the last program\'s end to the run\'s end seen', 'end wait', seconds_text),
            ('wall time of the command', 'wall', seconds_text),
            ('wall time / the job', 'ratio', lambda v: '%9.2f' % v if v is not None else '      - '))
    for title, key, show in rows:
        values = [median([r[key] for r in runs[pc] if r[key] is not None]) for pc in pcs]
        print('  %-52s %s' % (title, ' '.join(show(v) for v in values)))
    ready = [median([r['ready'] for r in runs[pc] if r['ready'] is not None]) for pc in pcs]
    ratios = [median([r['ratio'] for r in runs[pc] if r['ratio'] is not None]) for pc in pcs]
    print('  goal: ready within %.1f s on every PC: %s (worst median %.2f s)' % (
        READY_GOAL, 'reached' if all(v is not None and v <= READY_GOAL for v in ready) else 'NOT reached',
        max(v for v in ready if v is not None) if any(v is not None for v in ready) else float('nan')))
    print('  goal: wall time at most %.0f times the job on every PC: %s (worst median %.2f)' % (
        RATIO_GOAL, 'reached' if all(v is not None and v <= RATIO_GOAL for v in ratios) else 'NOT reached',
        max(v for v in ratios if v is not None) if any(v is not None for v in ratios) else float('nan')))


def time_matrix(root, work, name):
    """The default matrix at --jobs 2, once: (wall seconds, the page's headline, exit code)."""
    report_dir = os.path.join(work, name)
    started = time.time()
    done = subprocess.run([os.path.join(root, 'scripts', 'run.sh'), '--matrix', '--jobs', '2', '--quiet',
                           '--report-dir', report_dir], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    seconds = time.time() - started
    lines = [line for line in done.stdout.decode('utf-8', 'replace').splitlines() if line.strip()]
    return seconds, (lines[-1] if lines else 'no output'), done.returncode


def print_matrix(root, preset, work):
    """The default matrix as for a new image, then again with its earlier runs in the cache."""
    earlier_runs.prune(os.path.join(root, 'build', preset, 'plugin-cache'), keep=0)
    for name, what in (('matrix-new', 'its earlier runs made (as for a new image)'),
                       ('matrix-again', 'again, its earlier runs from the cache')):
        seconds, headline, code = time_matrix(root, work, name)
        print('  %s: %.0f s (%d min %02d s), exit code %d: %s' % (what, seconds, seconds // 60, seconds % 60,
                                                                 code, headline))
        print('    goal %.0f s (a quarter of %.0f s): %s' % (MATRIX_GOAL, MATRIX_BEFORE,
                                                             'reached' if seconds <= MATRIX_GOAL else 'not reached'))
        sys.stdout.flush()


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--root', required=True)
    parser.add_argument('--preset', default='test')
    parser.add_argument('--rounds', type=int, default=5)
    parser.add_argument('--pcs', default=','.join(ALL_PCS))
    parser.add_argument('--matrix', action='store_true')
    parser.add_argument('--run-args', default='', help='more options of every run')
    options = parser.parse_args(argv)
    pcs = [pc for pc in options.pcs.split(',') if pc]
    if options.preset == 'test64':
        pcs = [pc for pc in pcs if pc.endswith('-64')] or ['7-64']
    work = tempfile.mkdtemp(prefix='plugin-bench-', dir=os.path.join(options.root, 'build', options.preset))
    runs = {pc: [] for pc in pcs}
    failed = []
    for pc in pcs:
        # The first run of a PC makes its cached prefixes when none is current: timed, not counted.
        try:
            warm = run_once(options.root, pc, work, options.run_args.split())
            print('  warm-up, %-6s %-9s wall %6.2f s (the caches made or found: not counted)' % (
                pc, warm['outcome'], warm['wall']))
        except RuntimeError as e:
            print('  warm-up, %s: %s' % (pc, e))
        sys.stdout.flush()
    for round_number in range(options.rounds):
        order = pcs[round_number % len(pcs):] + pcs[:round_number % len(pcs)]
        for pc in order:
            try:
                figures_of_run = run_once(options.root, pc, work, options.run_args.split())
            except RuntimeError as e:
                failed.append(str(e))
                print('  round %d, %s: %s' % (round_number + 1, pc, e))
                continue
            runs[pc].append(figures_of_run)
            print('  round %d, %-6s %-9s wall %6.2f s, ready %s, job %s' % (
                round_number + 1, pc, figures_of_run['outcome'], figures_of_run['wall'],
                seconds_text(figures_of_run['ready']).strip(), seconds_text(figures_of_run['job']).strip()))
            sys.stdout.flush()
    print('== where a run\'s time goes (%d rounds, --hold 0 --no-screenshots)' % options.rounds)
    print_phases(pcs, runs)
    print('== the figures')
    print_goals(pcs, runs)
    if options.matrix:
        print('== the default PC matrix, --jobs 2')
        print_matrix(options.root, options.preset, work)
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
