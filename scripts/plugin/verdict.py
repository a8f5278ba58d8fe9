"""The verdict of a run in one sentence, from what was seen from the outside: the stand-ins' log
(what was installed or removed, what failed, the kit started), the device's log and its state at
the end, the robot's record (programs, message boxes and their answers) and the registry the run
changed. Never from the program's trace: the verdict says what happened, not what the program
believes happened. For example:

    Installed the driver (QCT 2.1.0.4) and the kit (3.0.2.1), switched R: to modem mode and
    started the kit (InternetKit.exe -aik), in 7.7 s; no message box"""
from . import observed


def join_and(parts):
    """'a, b and c'; 'a and b, and c' where a part holds an 'and' of its own."""
    if len(parts) < 2:
        return ''.join(parts)
    return ', '.join(parts[:-1]) + (', and ' if ' and ' in parts[-2] else ' and ') + parts[-1]


def capitalized(text):
    return text[:1].upper() + text[1:]


def _quoted_box(box):
    return "'%s' (%s)" % (observed.box_text(box), observed.box_answer(box))


def installs_clause(stand_ins):
    """'installed the driver (QCT 2.1.0.4) and the kit (3.0.2.1)', or None."""
    done = []
    for stand_in in stand_ins:
        detail = stand_in['actions'].get('installed')
        if detail is None:
            continue
        if stand_in['role'] == 'kit setup':
            done.append('the kit (%s)' % detail.split()[-1])
        else:
            done.append('the driver (%s)' % detail)
    return 'installed ' + join_and(done) if done else None


def removals_clause(stand_ins):
    removed = [s['actions']['removed'] for s in stand_ins
               if 'removed' in s['actions'] and 'nothing was installed' not in s['actions']['removed']]
    return 'removed the driver (%s)' % ', '.join(removed) if removed else None


def setup_failures(stand_ins):
    """'DriverSetup.exe failed (exit code 1603)' for each installer that did not do its work (a
    crashed one logs no exit)."""
    failures = []
    for stand_in in stand_ins:
        if stand_in['role'] == 'kit program':
            continue
        actions = stand_in['actions']
        code = ' (exit code %s)' % actions['exit'] if 'exit' in actions else ''
        for action, words in (('failed', 'failed'), ('cancelled', 'was cancelled'),
                              ('timed-out', 'gave up waiting'), ('crashing', 'crashed (an access violation)')):
            if action in actions:
                failures.append('%s %s%s' % (stand_in['program'], words, code))
    return failures


def device_clauses(result):
    """(what was done, what stayed) for the devices: 'switched R: to modem mode' and 'S: still a CD'."""
    run = result.get('run') or {}
    modes = observed.device_modes(result)
    switched = sorted(letter for letter, mode in modes.items() if mode == 'modem')
    unswitched = sorted(letter for letter, mode in modes.items() if mode != 'modem')
    done = []
    if switched:
        by_service = all(c['process'].lower() == 'norvoautorunservice.exe'
                         for letter in switched for c in observed.successful_mode_changes(run, letter))
        done.append('switched %s to modem mode%s' % (join_and([l + ':' for l in switched]),
                                                       ' through the command service' if by_service else ''))
    stayed = []
    for letter in unswitched:
        refused = [c['result'] for c in run.get('commands', []) if c['drive'].upper() == letter
                   and c['meaning'].startswith('mode change')]
        gave = ' (the mode change gave %s)' % ', '.join(refused) if refused else ''
        stayed.append('%s: still a CD%s' % (letter, gave))
    return done, stayed


def kit_clause(stand_ins):
    started = []
    for stand_in in stand_ins:
        if stand_in['role'] == 'kit program' and 'start' in stand_in['actions']:
            program, arguments = observed.split_command(stand_in['command'])
            text = ' '.join(filter(None, [observed.file_name(program) or stand_in['program'], arguments]))
            if text not in started:
                started.append(text)
    return 'started the kit (%s)' % ', '.join(started) if started else None


def package_clauses(result):
    """With real installers: (what was installed, what removed, the kit started, the setups that
    failed), from the uninstall entries and the robot's record of the processes."""
    changes = sorted(observed.package_changes(result), key=lambda c: (c['role'] != 'driver', c['code']))

    def product(change):
        version = ' '.join(filter(None, [change['version'], change['before'] and 'in place of ' + change['before']]))
        if change['role'] == 'kit':
            return 'the kit (%s)' % version if version else 'the kit'
        return 'the driver (%s)' % ' '.join(filter(None, [change['what'], version]))
    installed = [product(c) for c in changes if c['change'] != 'removed']
    removed = [product(c) for c in changes if c['change'] == 'removed']
    started = []
    for process in observed.kit_processes(result):
        program, arguments = observed.split_command(process['command'])
        text = ' '.join(filter(None, [observed.file_name(program) or process['name'], arguments]))
        if text not in started:
            started.append(text)
    failures = ['%s failed (exit code %s)' % (p['name'], p['code']) for p in observed.setup_processes(result)
                if p.get('code') not in ('0', None)]
    return ('installed ' + join_and(installed) if installed else None,
            'removed ' + join_and(removed) if removed else None,
            'started the kit (%s)' % ', '.join(started) if started else None, failures)


def guide_clause(run):
    guides = [b for b in run.get('boxes', []) if b['kind'] == 'guide']
    if not guides:
        return None
    return 'showed the PC-suite guide (%s)' % observed.box_answer(guides[-1]).replace('answered', 'closed with')


def done_and_stayed(result):
    """The run's effects in the order they happen in a run: ([things done], [things not done])."""
    run = result.get('run') or {}
    stand_ins = observed.stand_ins_with_roles(result)
    done = []
    autoplay = observed.autoplay_changes(result)
    if autoplay:
        done.append('changed the autoplay setting%s %s' % ('s' if len(autoplay) > 1 else '', ', '.join(
            '%s (%s -> %s)' % (name, observed.registry_value_text(old), observed.registry_value_text(new))
            for name, old, new in autoplay)))
    service = observed.service_change(result)
    if service:
        done.append('%s the command service' % ('set up' if service == 'installed' else 'removed'))
    if observed.uses_real_installers(result):
        installs, removals, kit, failures = package_clauses(result)
    else:
        installs, removals = installs_clause(stand_ins), removals_clause(stand_ins)
        kit, failures = kit_clause(stand_ins), setup_failures(stand_ins)
    done += [c for c in (removals, installs) if c]
    switched, stayed = device_clauses(result)
    done += switched
    done += [c for c in (kit, guide_clause(run)) if c]
    not_done = ([] if installs else ['nothing installed']) + failures + stayed
    return done, not_done


def effect_times(result):
    """When the effects that have a moment happened: installs, removals, mode changes, kit starts."""
    run = result.get('run') or {}
    times = [a['t'] for a in run.get('programs', []) if a['action'] in ('installed', 'removed')]
    times += [c['t'] for c in run.get('commands', []) if c['meaning'].startswith('mode change') and c['result'] == '0']
    times += [s['start'] for s in observed.stand_ins_with_roles(result) if s['role'] == 'kit program']
    if observed.uses_real_installers(result):
        times += [p['start'] for p in observed.kit_processes(result)]
        times += [p['end'] for p in observed.setup_processes(result) if p.get('end') is not None and p['code'] == '0']
    return times


def stopping_box(result):
    """The message box the run stopped at: the last one, when nothing took effect after it and
    R: was not switched; else None."""
    run = result.get('run') or {}
    boxes = [b for b in run.get('boxes', []) if b['kind'] == 'messagebox']
    if not boxes or observed.device_modes(result).get('R') == 'modem':
        return None
    last = boxes[-1]
    return last if all(t <= last['t'] for t in effect_times(result)) else None


def boxes_clause(boxes):
    if not boxes:
        return 'no message box'
    if len(boxes) == 1:
        return 'message box ' + _quoted_box(boxes[0])
    return '%d message boxes: %s' % (len(boxes), ', '.join(_quoted_box(b) for b in boxes))


def sentence(result):
    """The verdict of a run in words."""
    run = result.get('run')
    if result['outcome'] == 'skipped':
        return 'Skipped: %s' % (result.get('skipped') or 'the host cannot make this PC')
    if result['outcome'] == 'error' and not run:
        return 'Could not run: %s' % (result.get('error') or 'unknown error')
    if result['outcome'] == 'stopped' and not run:
        return '%s before the device was plugged in' % capitalized(result.get('stopped') or 'stopped')
    done, not_done = done_and_stayed(result)
    boxes = [b for b in run.get('boxes', []) if b['kind'] == 'messagebox']
    if result['outcome'] in ('timed-out', 'stopped'):
        running = sorted({p['name'] for p in observed.still_running(run)})
        if result['outcome'] == 'timed-out':
            head = 'No end within %s' % observed.format_seconds(result['settings']['timeout'])
        else:
            head = '%s after %s' % (capitalized(result.get('stopped') or 'stopped'),
                                    observed.format_seconds(run.get('duration', 0.0)))
        head += ' (%s still running)' % ', '.join(running) if running else ''
        return '; '.join([head] + ([join_and(done)] if done else []) + not_done + [boxes_clause(boxes)])
    ended = observed.format_seconds(observed.product_end(run))
    stop = stopping_box(result) if result['outcome'] == 'finished' else None
    if stop:
        head = 'Stopped after %s at %s' % (ended, _quoted_box(stop))
        earlier = [b for b in boxes if b is not stop]
        tail = ['before it: ' + boxes_clause(earlier)] if earlier else []
        return '; '.join([head] + ([join_and(done)] if done else []) + not_done + tail)
    head = capitalized(join_and(done)) + ', in ' + ended if done else 'Ended after ' + ended
    parts = [head] + not_done + [boxes_clause(boxes)]
    if result['outcome'] == 'error':
        parts.append('then the run broke: %s' % result.get('error'))
    return capitalized('; '.join(parts))
