"""What a PC should get when the device is plugged in, and how a run's outcome differs from it.

The expectation follows from the PC's settings alone (its Windows, the state an earlier run left,
whether the user may open the device, a fault the run meets) and the image's kit type; what the
run did is read from the outside, as the verdict reads it (the stand-ins' log, the device's state,
the robot's boxes), never from the program's trace."""
from . import observed
from .fault_rows import JOB, row_of
from .texts import box_text

NON_ADMIN = box_text('STR_STRING_NON_ADMIN_NOTI')
SERVICE_NEEDS_CURRENT = box_text('STR_STRING_ERROR_SCSI_3_0')
# What the outcome lacks or has too much of, part by part of the job.
MISSING = {'driver': 'the driver was not installed', 'kit': 'the kit was not installed',
           'switched': 'the device was left in CD mode', 'launched': 'the kit was not started'}
SURPLUS = {'driver': 'a driver setup installed although this PC needed none',
           'kit': 'a kit setup installed although this PC needed none',
           'switched': 'the device was switched although this PC should have kept it a CD',
           'launched': 'the kit was started although this PC should not have started it'}


class Expectation:
    """done: the sets of the job's parts of which the run must have done one exactly; boxes:
    the message boxes the user must see, in order, as (text, start of the file after it) pairs,
    or None where they are not fixed; what: the expectation in words; second: the expectation of
    a second plug-in (after a fault), or None."""

    def __init__(self, done, boxes, what, second=None):
        self.done, self.boxes, self.what, self.second = done, boxes, what, second


def job_words(parts):
    words = {'driver': 'driver installed', 'kit': 'kit installed', 'switched': 'switched', 'launched': 'kit started'}
    return ', '.join(words[p] for p in JOB if p in parts) or 'nothing done'


def completes_the_job():
    """A plug-in that must leave the job done: switched and the kit started, whatever of the
    setups the first plug-in left to it."""
    return [{'switched', 'launched'} | extra for extra in (set(), {'driver'}, {'kit'}, {'driver', 'kit'})]


def limited_user_outcome(windows, state, kit_type):
    if windows != 'xp' or kit_type != 0:
        # Vista and later never use the command service; on XP only kit type 0 does.
        return Expectation([set()], [NON_ADMIN], 'administrator rights needed: that message, nothing installed, '
                                                 'the device left a CD')
    if state in ('outdated-driver', 'outdated-kit'):
        return Expectation([set()], [SERVICE_NEEDS_CURRENT], 'the command service may not serve a PC with '
                                                             'something to update: that message, the device left a CD')
    return Expectation([{'switched', 'launched'}], [], 'switched through the command service, kit started')


def administrator_outcome(state, kit_type):
    """None where the kit type leaves it open (the PC suite and the connection manager on an
    outdated PC)."""
    launches = kit_type in (0, 1) or (kit_type == 2 and state == 'installed')
    if kit_type in (2, 3) and state.startswith('outdated'):
        return None
    done = {'switched'} | ({'launched'} if launches else set())
    if state == 'clean':
        done |= {'driver'} | ({'kit'} if kit_type != 2 else set())
    elif state == 'outdated-driver':
        done |= {'driver'}
    elif state == 'outdated-kit':
        done |= {'kit'}
    guide = '; the PC-suite guide' if kit_type == 2 and state == 'clean' else ''
    return Expectation([done], [], job_words(done) + guide)


def expected_outcome(cell, kit_type=1):
    """The Expectation of a cell ({'windows': 'xp'|'7'|'10', 'bits': 32|64, 'state', 'limited',
    'fault'}) for an image of that kit type; None where it is not fixed. A 64-bit Windows expects
    what its 32-bit self does: the program and its helpers run under WOW64."""
    if cell.get('fault'):
        row = row_of(cell['fault'])
        return Expectation(row.done, row.boxes, 'as the fault\'s row says: ' + ' or '.join(
            job_words(d) for d in row.done) + '; then a second plug-in completes the job',
            second=Expectation(completes_the_job(), [], 'the job completed, no box'))
    if cell.get('limited'):
        return limited_user_outcome(cell['windows'], cell['state'], kit_type)
    return administrator_outcome(cell['state'], kit_type)


def job_done(result):
    """The parts of the job a run did: each setup that logged its install (with real installers:
    each product whose uninstall entry Windows Installer wrote, the kit's program the robot saw
    start), the device R: switched
    (a mode change that succeeded and the device in modem mode at the end), the kit's program
    started."""
    stand_ins = observed.stand_ins_with_roles(result)
    done = set()
    if observed.uses_real_installers(result):
        done |= {c['role'] for c in observed.package_changes(result) if c['change'] != 'removed'}
        done |= {'launched'} if observed.kit_processes(result) else set()
    for stand_in in stand_ins:
        if 'installed' in stand_in['actions']:
            done.add('kit' if stand_in['role'] == 'kit setup' else 'driver')
        if stand_in['role'] == 'kit program' and 'start' in stand_in['actions']:
            done.add('launched')
    if observed.successful_mode_changes(result.get('run') or {}, 'R') and \
            observed.device_modes(result).get('R') == 'modem':
        done.add('switched')
    return done


def box_problems(expected, boxes):
    """What differs between the boxes the user must see (Expectation.boxes) and the message boxes
    seen, in order."""
    seen = [' '.join(b['text'].split()) for b in boxes if b['kind'] == 'messagebox']

    def matches(text, want):
        return text == want[0] if want[1] is None else text.startswith(want[0] + ' ' + want[1])
    if len(seen) == len(expected) and all(matches(t, w) for t, w in zip(seen, expected)):
        return []
    problems = ['the box "%s" was not shown' % short(w[0] + (' ' + w[1] if w[1] else ''))
                for w in expected if not any(matches(t, w) for t in seen)]
    problems += ['a box "%s" was shown' % short(t) for t in seen if not any(matches(t, w) for w in expected)]
    return problems or ['the boxes came in another order: %s' % '; '.join(short(t) for t in seen)]


def short(text, limit=90):
    return text if len(text) <= limit else text[:limit - 1].rstrip() + '\u2026'


def run_problems(result):
    """What went wrong whatever the PC: no end, no run, a copy of the program that crashed."""
    if result['outcome'] == 'timed-out':
        return ['no end within %s' % observed.format_seconds(result['settings']['timeout'])]
    if result['outcome'] == 'stopped':
        return [result.get('stopped') or 'stopped']
    if result['outcome'] == 'error':
        return ['the run broke: %s' % (result.get('error') or 'unknown error')]
    run = result.get('run') or {}
    return ['%s ended with %s (%s)' % (p['name'], p['code'], p['command']) for p in run.get('processes', [])
            if p['name'].lower() == 'plugstart.exe' and p.get('code') not in ('0', None)]


def job_problems(allowed, done):
    if done in allowed:
        return []
    nearest = min(allowed, key=lambda parts: (len(parts ^ done), sorted(parts)))
    return [MISSING[p] for p in JOB if p in nearest - done] + [SURPLUS[p] for p in JOB if p in done - nearest]


def differences(expect, result):
    """Why a run's outcome is not what its PC should get ([] when it is). A skipped run differs
    in nothing: it did not run."""
    if result['outcome'] == 'skipped':
        return []
    problems = run_problems(result)
    if expect is None or result['outcome'] in ('error', 'stopped'):
        return problems
    problems += job_problems(expect.done, job_done(result))
    if expect.boxes is not None:
        problems += box_problems(expect.boxes, (result.get('run') or {}).get('boxes', []))
    if expect.second is not None:
        second = result.get('second_plugin')
        if second is None:
            problems.append('no second plug-in ran')
        else:
            problems += ['the second plug-in: ' + p for p in differences(expect.second, second)]
    return problems
