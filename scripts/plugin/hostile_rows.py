"""What a hostile image's program tries, one thing a row, and what must hold of each from the
outside: the rows of the end-to-end suite's hostile-image cases (scripts/e2e.py runs each with the
test program PlugHostile.exe as the program that autorun.inf starts; sim/hostile/).

A row's steps are lines of the program's script (sim/hostile/HostileScript.h) with these names
filled in for each run: {marker} a text unique to the run, which every forged line and every file
written carries; {secret} the canaries' contents; {tmp_canary}, {checkout_canary}, {home_canary}
the canaries' host paths, and the places written, as Windows paths through Z: ({z:...}) or through
\\\\?\\unix\\ ({unix:...}); {tmp_target}, {checkout_target}, {home_target} files the program tries
to make outside the run; {shared_file} a file of C:\\windows that every run's PC shares with the
cached base prefix.

What is asserted (contained):
- unread: the canaries' contents appear nowhere in the run's folder nor in its report;
- unchanged: the canaries and the base prefix's shared file are as they were;
- nothing outside: none of the targets exists, no new entry of the host's /tmp carries the
  marker in its name or its contents;
- no forged line: the marker appears nowhere in report.json, report.md and report.html;
- no script: every report page passes the browser check, no script of the page having run."""

ROBOT_LINES = ('event=window\\thwnd=dead\\tpid=4\\tprocess=Plugstart.exe\\tkind=messagebox\\tclass=#32770'
               '\\ttitle={marker} forged box\\towner=\\trect=0,0,9,9\\tnumber=77\\ttext={marker} forged text'
               '\\tbuttons=OK\\n'
               'event=answer\\thwnd=dead\\tanswer=ok\\tbutton=OK\\treason={marker} forged answer\\tnote=\\tpress=1\\n'
               'event=process-start\\tpid=4242\\tprocess={marker}.exe\\tcommand={marker}.exe -forged\\tparent=4\\n'
               'event=title\\thwnd=dead\\ttitle=</title><svg onload="window.__pwned=1">{marker}\\n')
# Markup of the kinds that ran in an unescaped page: a script, a picture's handler, a title that
# ends its element and opens one with a handler.
MARKUP_TITLE = '<script>window.__pwned=1</script><img src=x onerror="window.__pwned=1">{marker}'
MARKUP_CAPTION = '</title><svg onload="document.title=\'owned\'"><title>{marker}'
MARKUP_TEXT = '<img src=x onerror="console.log(1)"><script>window.__pwned=1</script>{marker}'


class HostileRow:
    """name: the row's name; what: what the program tries, in words; steps: its script lines
    (templates); contained: what must hold ('unread', 'unchanged', 'nothing outside', 'no forged
    line', 'no script'); sandbox: whether the run makes its sandbox (False only for the control
    row, which proves that the checks see a leak where there is one); settings: more settings of
    the run (run.Settings)."""

    def __init__(self, name, what, steps, contained, sandbox=True, settings=None):
        self.name, self.what, self.steps, self.contained, self.sandbox = name, what, steps, contained, sandbox
        self.settings = settings or {}


READ_Z = ['list\t{z:/}', 'read\t{z:tmp_canary}', 'read\t{z:checkout_canary}', 'read\t{z:home_canary}']
READ_UNIX = ['read\t{unix:tmp_canary}', 'read\t{unix:checkout_canary}', 'read\t{unix:home_canary}']
WRITES = ['write\t{z:tmp_target}\t{marker} through Z:', 'write\t{unix:tmp_target}\t{marker} through unix',
          'write\t{z:checkout_target}\t{marker}', 'write\t{z:home_target}\t{marker}',
          'write\t{unix:home_target}\t{marker}', 'write\t{z:tmp_canary}\t{marker}',
          'write\t{unix:checkout_canary}\t{marker}', 'write\t{shared_file}\t{marker}']
FORGERIES = ['write\tC:\\plugstart_sim\\robot\\events.log\t' + ROBOT_LINES,
             'write\tC:\\plugstart_sim\\commands.log\t' + ROBOT_LINES,
             'write\tC:\\plugstart_sim\\programs.log\t' + ROBOT_LINES,
             'write\tC:\\events.log\t' + ROBOT_LINES,
             'wait\t1500']

# Links to the canaries where the run writes the device's state after an earlier run (on the CD)
# and where it reads the device's log and state; a FIFO where it reads the stand-ins' log.
PLANTED = ['plant\tlink\tR:\\plugstart_sim.ini\t{home_canary}',
           'plant\tlink\tC:\\plugstart_sim\\commands.log\t{checkout_canary}',
           'plant\tlink\tC:\\plugstart_sim\\R.ini\t{tmp_canary}',
           'plant\tfifo\tC:\\plugstart_sim\\programs.log']

HOSTILE_ROWS = [
    HostileRow('read a host canary through Z:', 'lists Z:\\ and reads canary files of the host\'s /tmp, the '
               'checkout and the home through Z:, showing what it read in a box', READ_Z, ('unread', 'unchanged')),
    HostileRow('read a host canary through \\\\?\\unix\\', 'reads the canaries through \\\\?\\unix\\ paths, which '
               'reach the host even in a prefix without Z:', READ_UNIX, ('unread', 'unchanged')),
    HostileRow('write outside the run', 'writes files into the host\'s /tmp, the checkout and the home, appends to '
               'the canaries and to a file of C:\\windows that the cached base prefix shares', WRITES,
               ('unchanged', 'nothing outside')),
    HostileRow('forge the robot\'s record', 'appends robot events (a box, an answer, a process, a title with '
               'markup) where the robot\'s log used to be and into other logs of C:', FORGERIES,
               ('no forged line', 'no script')),
    HostileRow('forge the robot\'s record through its streams', 'finds the robot\'s process through the host\'s '
               '/proc as the PC sees it and writes robot events into its standard output and input',
               ['forge-streams\tPlugRobot.exe\t' + ROBOT_LINES, 'wait\t1500'], ('no forged line',)),
    HostileRow('plant links and a FIFO where the run reads and writes', 'calls the host\'s kernel itself to put '
               'links to the canaries where the run writes the device\'s state after an earlier run (this row\'s '
               'PC is a limited user\'s on XP, which has had one) and reads the device\'s log and state, and a '
               'FIFO where it reads the stand-ins\' log', PLANTED, ('unread', 'unchanged'),
               settings={'limited_user': True}),
    HostileRow('markup in a window title', 'shows a window whose title holds a script and a picture with a '
               'handler', ['window\t' + MARKUP_TITLE], ('no script',)),
    HostileRow('markup in a message box', 'shows a box whose caption ends the SVG title and whose text holds a '
               'script and a picture with a handler', ['box\t%s\t%s' % (MARKUP_CAPTION, MARKUP_TEXT)],
               ('no script',)),
    HostileRow('control: read a host canary without the sandbox', 'the first row\'s reads in a run without the '
               'sandbox: the checks must find the canary in the run (proof that they see a leak)', READ_Z,
               ('unread',), sandbox=False),
]


def windows_paths(host_path):
    """(through Z:, through \\\\?\\unix\\) of a host path."""
    native = host_path.replace('/', '\\')
    return 'Z:' + native, '\\\\?\\unix' + native


def script(row, names):
    """The program's script for a row: names {name: host path or text}; a step's {z:NAME} and
    {unix:NAME} are the host path NAME as a Windows path (NAME '/' is the root)."""
    lines = []
    for step in row.steps:
        text = step
        for name, value in names.items():
            if '/' in value:
                z, unix = windows_paths(value)
                text = text.replace('{z:%s}' % name, z).replace('{unix:%s}' % name, unix)
            text = text.replace('{%s}' % name, value)
        z_root, unix_root = windows_paths('/')
        text = text.replace('{z:/}', z_root.rstrip('\\')).replace('{unix:/}', unix_root.rstrip('\\'))
        lines.append(text)
    return '\n'.join(lines) + '\n'
