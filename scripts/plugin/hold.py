"""The setups' hold (--hold): each setup stand-in waits before its work so that the program's
status of that step can be seen; with screenshots on the run's own display, which nobody watches,
it waits only until the run has photographed that status and written the stand-in's release file
into the PC's own folder."""

# The stand-in's release file, in the run's own folder of the PC: this name, "-" and its process
# id (C:\plugstart_sim\shown-1234).
RELEASE_NAME = 'shown'
RELEASE_STEM = 'C:\\plugstart_sim\\' + RELEASE_NAME


def hold_script(hold_ms, until_shown):
    """The stand-ins' script that holds each setup hold_ms before its work; until_shown: no longer
    than it takes the run to photograph its status."""
    if not hold_ms:
        return {}
    keys = {'delay_ms': str(hold_ms)}
    if until_shown:
        keys['delay_release'] = RELEASE_STEM
    return {'driver_setup': dict(keys), 'kit_setup': dict(keys)}


def release_name(action):
    """The name, in the PC's own folder, of the release file a "holding" line of the stand-ins'
    log waits for, or None. Only the release the run scripts counts: the log is the PC's own
    account, and any program could write a line that names another file."""
    pid = action.get('pid') or ''
    if not (pid.isdigit() and len(pid) <= 10):
        return None
    if (action.get('detail') or '').lower() != ('%s-%s' % (RELEASE_STEM, pid)).lower():
        return None
    return '%s-%s' % (RELEASE_NAME, pid)
