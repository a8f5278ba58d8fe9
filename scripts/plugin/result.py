"""The data of a finished run, as the report shows it and the end-to-end tests read it
(report.json)."""
import os

from . import beneath
from . import snapshot
from . import verdict

# What the profile names that the verdict needs to know a program's role by.
PROFILE_KEYS = (('DRIVER', 'driver_name'), ('DRIVER', 'driver_type'), ('DRIVER', 'emp_uninstall_linkfile'),
                ('ITK', 'itk_type'), ('ITK', 'itk_setup'), ('ITK', 'itk_run_file'))
# The run's own files on drive C:: the simulated device's state and log, the stand-ins' log and
# script, the robot's folder, and the program's trace.
OWN_FOLDERS = ('plugstart_sim/',)
OWN_FILE_NAMES = ('plugstart_trace.log',)


def launch_data(run, launch):
    if launch is None:
        return None
    interesting = {pid: p for pid, p in launch.processes.items() if run.interesting(p['name'])}
    return {
        'label': launch.label,
        'outcome': launch.outcome,
        'duration': round(launch.now(), 2),
        'events': launch.events,
        'boxes': launch.boxes,
        'windows': launch.window_spans,
        'commands': launch.commands,
        'programs': launch.programs,
        'processes': [dict(p, pid=pid) for pid, p in sorted(interesting.items(), key=lambda i: i[1]['start'])],
        'launchers': [{'drive': l['drive'], 'code': l['code'], 'end': l['end']} for l in launch.launchers],
        'trace': [{'t': t, 'line': line} for t, line in launch.trace],
        'screenshots': launch.screenshots,
        'robot_error': launch.robot_error,
    }


def is_own_file(path):
    """Whether a path of drive C: belongs to the run itself rather than to what the product did."""
    lower = path.lower()
    return lower.startswith(OWN_FOLDERS) or lower.rstrip('/').rsplit('/', 1)[-1] in OWN_FILE_NAMES


def split_own_files(files):
    """(the product's changes, the run's own) of a drive C: difference."""
    def part(own):
        return {'added': [f for f in files['added'] if is_own_file(f['path']) == own],
                'removed': [p for p in files['removed'] if is_own_file(p) == own],
                'changed': [f for f in files['changed'] if is_own_file(f['path']) == own]}
    return part(False), part(True)


def collect_result(run, error):
    s = run.s
    launch = run.launch
    result = {
        'settings': {
            'image': os.path.abspath(s.image) if s.image else None,
            'windows': s.windows,
            'arch': s.arch,
            'wow64': run.runs_under_wow64(),
            'reported_version': run.reported_version,
            'state': s.state,
            'limited_user': s.limited_user,
            'reply': [s.reply[0], ['%02X' % b for b in s.reply[1]]] if s.reply else None,
            'answer': {'default': s.answer_default, 'rules': [list(r) for r in s.answer_rules]},
            'timeout': s.timeout,
            'config': s.config,
            'programs_script': s.programs,
            'second_drive': s.second_drive,
            'locale': s.locale,
            'sandbox': bool(getattr(s, 'sandbox', True)),
        },
        'error': error,
        'notes': list(run.notes),
        'program': None,
        'prepared_by': list(run.earlier_runs),
        'run': launch_data(run, launch) if (launch and launch.t0 is not None) else None,
        'outcome': 'error' if error else (launch.outcome if launch else 'error'),
        'registry': None,
        'files': None,
        'own_files': None,
        'staging': None,
        'device_state': {},
    }
    if getattr(s, 'installers', 'stand-ins') != 'stand-ins':
        result['settings']['installers'] = s.installers
    image = run.images.get('R')
    if image:
        result['program'] = {'name': image.program, 'arguments': image.arguments, 'entry': image.entry,
                             'machine': image.machine,
                             'profile': {key: run.config_value(section, key) for section, key in PROFILE_KEYS}}
    if run.registry_after is not None:
        diff = snapshot.registry_diff(run.registry_before, run.registry_after)
        result['registry'] = {
            'added': [{'key': k, 'values': v} for k, v in diff['added']],
            'removed': diff['removed'],
            'changed': [{'key': k, 'name': n, 'old': o, 'new': v} for k, n, o, v in diff['changed']],
        }
    if run.files_after is not None:
        diff = snapshot.files_diff(run.files_before, run.files_after)
        result['files'], result['own_files'] = split_own_files({
            'added': [{'path': p, 'size': size} for p, size in diff['added']],
            'removed': diff['removed'],
            'changed': [{'path': p, 'old_size': a, 'new_size': b} for p, a, b in diff['changed']],
        })
    if launch is not None and run.prefix is not None:
        staging = staging_of(run)
        if staging:
            result['staging'] = staging
        for letter in run.images:
            state = run.device_state_of(letter)
            result['device_state'][letter] = state or {'mode': 'cdrom (unchanged)'}
    result['verdict'] = verdict.sentence(result)
    return result


def staging_of(run):
    """The staging folder the PC copy ran from and the files it holds, or None. The folder is
    named by a process's command line (any program of the PC can choose one), so only a folder of
    the PC's own drive C: is listed, read beneath the prefix; why another was not is said."""
    windows_folder, host_folder = run.staging_folder()
    if not windows_folder:
        return None
    staging = {'folder': windows_folder, 'files': []}
    if not host_folder:
        staging['unlisted'] = 'not listed: the folder is not on the PC\'s drive C:'
        return staging
    try:
        staging['files'], complete = beneath.files_below(run.prefix.path, host_folder)
    except FileNotFoundError:
        return staging  # gone by the run's end
    except (OSError, ValueError) as e:
        staging['unlisted'] = 'not listed: %s' % e
        return staging
    if not complete:
        staging['unlisted'] = 'the rest is not listed: the listing stops at %d names or %d folders down' % (
            beneath.LIST_LIMIT, beneath.LIST_DEPTH)
    return staging
