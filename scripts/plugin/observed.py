"""Facts read out of a run's record from the outside: which stand-in is an installer and for
what, which program is the kit, when the product's programs ended, how a device ended. The
verdict and the timeline picture both rest on these; none of them reads the program's trace.

With real installers (scripts/run.sh --installers real) nothing logs what it did: what was installed
is read from the uninstall entries Windows Installer wrote (the PC's registry files), the kit's
start and the setups' exit codes from the robot's record of the processes."""
import re

from .packages import PRODUCTS, PC_SUITE_PROGRAM

# The remover that the program starts for an installed QCT package, under this fixed name.
QCT_REMOVER = 'uninstallmsi.exe'
# What a setup or remover logs once it has done (or failed) its work; a kit program never does.
INSTALLER_OUTCOMES = ('installed', 'removed', 'failed', 'cancelled')
SERVICE_KEY = 'services\\norvo scsi commander'
AUTOPLAY_VALUES = ('nodrivetypeautorun', 'autorun', 'disableautoplay')
AUTOPLAY_KEYS = ('\\autoplayhandlers', '\\services\\cdrom', '\\services\\shellhwdetection',
                 '\\policies\\explorer')


def format_seconds(seconds):
    """'8.2 s' below a minute, '5 min 12 s' above."""
    if seconds < 59.95:
        return '%.1f s' % seconds
    minutes, rest = divmod(int(round(seconds)), 60)
    return '%d min %d s' % (minutes, rest) if rest else '%d min' % minutes


def file_name(path):
    return path.replace('/', '\\').rsplit('\\', 1)[-1]


def split_command(command):
    """(program path, arguments) of a Windows command line."""
    command = command.strip()
    if command.startswith('"'):
        end = command.find('"', 1)
        if end > 0:
            return command[1:end], command[end + 1:].strip()
        return command[1:], ''
    program, _, arguments = command.partition(' ')
    return program, arguments.strip()


def profile_names(result):
    """{lower-case file name: role} of the programs the device's profile names."""
    profile = (result.get('program') or {}).get('profile') or {}
    names = {QCT_REMOVER: 'driver remover'}
    for key, role in (('emp_uninstall_linkfile', 'driver remover'), ('driver_name', 'driver setup'),
                      ('itk_setup', 'kit setup')):
        if profile.get(key):
            names[file_name(profile[key]).lower()] = role
    return names


def stand_in_runs(run):
    """One entry per stand-in process, in start order: {'program', 'pid', 'start', 'end', 'actions'
    {action: detail}, 'command'}."""
    runs, order = {}, []
    for action in run.get('programs', []):
        key = (action['program'], action['pid'])
        if key not in runs:
            runs[key] = {'program': action['program'], 'pid': action['pid'], 'start': action['t'], 'end': None,
                         'actions': {}, 'command': action.get('command', '')}
            order.append(key)
        entry = runs[key]
        entry['actions'].setdefault(action['action'], action['detail'])
        if action['action'] == 'exit':
            entry['end'] = action['t']
    return [runs[key] for key in order]


def role_of(stand_in, names):
    """'driver setup', 'driver remover', 'kit setup' or 'kit program'. What a stand-in logged
    decides; a setup that never got that far (held at a time-out) is known by its profile name."""
    actions = stand_in['actions']
    if 'removed' in actions:
        return 'driver remover'
    if 'installed' in actions:
        return 'kit setup' if actions['installed'].startswith('kit ') else 'driver setup'
    named = names.get(stand_in['program'].lower())
    if named:
        return named
    return 'driver setup' if any(a in actions for a in INSTALLER_OUTCOMES) else 'kit program'


def stand_ins_with_roles(result):
    run = result.get('run') or {}
    names = profile_names(result)
    return [dict(s, role=role_of(s, names)) for s in stand_in_runs(run)]


def product_end(run):
    """When the product's last program ended (the run's length when none did)."""
    ends = [p['end'] for p in run.get('processes', []) if p.get('end') is not None]
    return max(ends) if ends else run.get('duration', 0.0)


def still_running(run):
    return [p for p in run.get('processes', []) if p.get('end') is None and not p.get('running_at_start')]


def successful_mode_changes(run, letter):
    return [c for c in run.get('commands', [])
            if c['drive'].upper() == letter and c['meaning'].startswith('mode change') and c['result'] == '0']


def device_modes(result):
    """{drive letter: 'modem' or 'cdrom'} of the devices at the end."""
    return {letter: 'modem' if (state or {}).get('mode') == 'modem' else 'cdrom'
            for letter, state in (result.get('device_state') or {}).items()}


def service_change(result):
    """'installed', 'removed' or None: what the run did to the command service's key."""
    registry = result.get('registry') or {}
    if any(a['key'].lower().endswith(SERVICE_KEY) for a in registry.get('added', [])):
        return 'installed'
    if any(k.lower().endswith(SERVICE_KEY) for k in registry.get('removed', [])):
        return 'removed'
    return None


def autoplay_changes(result):
    """[(value name, old, new)] of the autoplay settings the run changed."""
    changes = []
    for change in (result.get('registry') or {}).get('changed', []):
        key, name = change['key'].lower(), change['name'].lower()
        if name in AUTOPLAY_VALUES and any(part in key for part in AUTOPLAY_KEYS):
            changes.append((change['name'], change['old'], change['new']))
    return changes


def registry_value_text(value):
    """A registry file's value as a reader writes it: dword:00000095 is 0x95."""
    if value is None:
        return 'none'
    if value.startswith('dword:'):
        return '0x%x' % int(value[6:], 16)
    return value.strip('"')


def box_text(box, limit=140):
    """A box's text on one line (the caption for the PC-suite guide), cut at limit characters."""
    text = ' '.join((box.get('text') or box.get('caption') or '').split())
    return text if len(text) <= limit else text[:limit - 1].rstrip() + '\u2026'


def box_answer(box):
    answers = box.get('answers') or []
    return 'answered %s' % answers[-1]['button'] if answers else 'not answered'


# -- real installers -----------------------------------------------------------------------
UNINSTALL_ENTRY = re.compile(r'machine\\software\\(wow6432node\\)?microsoft\\windows\\currentversion\\uninstall'
                             r'\\(\{[0-9a-f-]{36}\})', re.IGNORECASE)


def uses_real_installers(result):
    return (result.get('settings') or {}).get('installers', 'stand-ins') != 'stand-ins'


def uninstall_entry(key):
    """(product code in capitals, whether in the 32-bit view) of an uninstall entry's key, or None."""
    match = UNINSTALL_ENTRY.fullmatch(key)
    return (match.group(2).upper(), bool(match.group(1))) if match else None


def package_changes(result):
    """What Windows Installer recorded, read from the uninstall entries of the maker's products that
    the run added, changed or removed: [{'role' ('driver' or 'kit'), 'what' ('QCT', 'kit 1', ...),
    'code', 'wow6432node', 'version', 'before', 'change' ('installed', 'replaced' or 'removed')}]."""
    registry = result.get('registry') or {}
    changes = []

    def add(key, change, version, before=None):
        entry = uninstall_entry(key)
        if entry and entry[0] in PRODUCTS:
            role, what = PRODUCTS[entry[0]]
            changes.append({'role': role, 'what': what, 'code': entry[0], 'wow6432node': entry[1],
                            'version': version, 'before': before, 'change': change})
    for added in registry.get('added', []):
        add(added['key'], 'installed', registry_value_text(added['values'].get('DisplayVersion')))
    for changed in registry.get('changed', []):
        if changed['name'] == 'DisplayVersion':
            add(changed['key'], 'replaced', registry_value_text(changed['new']), registry_value_text(changed['old']))
    for key in registry.get('removed', []):
        add(key, 'removed', None)
    return changes


def kit_program_names(result):
    """The lower-case file names the kit's program may have: the profile's itk_run_file, and the
    PC suite's program."""
    profile = (result.get('program') or {}).get('profile') or {}
    names = {PC_SUITE_PROGRAM.lower()}
    if profile.get('itk_run_file'):
        names.add(file_name(profile['itk_run_file']).lower())
    return names


def kit_processes(result):
    """The starts of the kit's program that the robot saw."""
    names = kit_program_names(result)
    return [p for p in (result.get('run') or {}).get('processes', []) if p['name'].lower() in names]


def setup_processes(result):
    """The robot's record of each start of a driver or kit setup or remover, with its role."""
    names = profile_names(result)
    return [dict(p, role=names[p['name'].lower()]) for p in (result.get('run') or {}).get('processes', [])
            if p['name'].lower() in names]
