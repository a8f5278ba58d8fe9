"""The plug-in run's command line: the options a device maker needs and their checks."""
import argparse
import re

from . import faults

USAGE = """scripts/run.sh [options]

Plugs a device image into a simulated PC: a fresh Wine prefix made to look like a real Windows,
the image presented as CD-ROM drive R:, and the program that the image's autorun.inf names
started from it, as Windows auto-run starts it. A robot answers the message boxes. The run ends
with a report in build/<preset>/plugin-report/ (report.html with the screenshots, report.md,
report.json) and a short summary here."""


class OptionError(Exception):
    pass


def parse_answer_policy(text):
    """'ok', 'cancel' or a comma-separated list of entries, each 'ok', 'cancel' (the default)
    or 'TEXT=ok|cancel' (a box whose caption or text holds TEXT, ignoring case). Returns
    (default, [(text, answer)]). The last '=' of an entry separates text and answer."""
    default = 'ok'
    rules = []
    if not text or not text.strip():
        raise OptionError('--answer needs ok, cancel or TEXT=ok|cancel entries')
    for entry in text.split(','):
        entry = entry.strip()
        if not entry:
            continue
        if '=' in entry:
            part, answer = entry.rsplit('=', 1)
            answer = answer.strip().lower()
            if not part.strip() or answer not in ('ok', 'cancel'):
                raise OptionError('--answer entry "%s" is not TEXT=ok or TEXT=cancel' % entry)
            rules.append((part.strip(), answer))
        elif entry.lower() in ('ok', 'cancel'):
            default = entry.lower()
        else:
            raise OptionError('--answer entry "%s" is neither ok, cancel nor TEXT=ok|cancel' % entry)
    return default, rules


def parse_reply(text):
    """The device's answer to the phone-setting query: the result, then the three bytes in
    hexadecimal, e.g. '3,4C 07 D0', '3:4C07D0' or '-3'. Missing bytes are 00."""
    match = re.fullmatch(r'\s*(-?\d+)\s*(?:[,:; ]\s*(.*))?', text or '')
    if not match:
        raise OptionError('--reply "%s": expected RESULT[,B0 B1 B2] (bytes in hexadecimal)' % text)
    result = int(match.group(1))
    digits = re.sub(r'[\s,:;]', '', match.group(2) or '')
    if digits.lower().startswith('0x'):
        digits = digits[2:]
    if len(digits) % 2 or len(digits) > 6 or not re.fullmatch(r'[0-9A-Fa-f]*', digits):
        raise OptionError('--reply "%s": at most three bytes, two hexadecimal digits each' % text)
    data = [int(digits[i:i + 2], 16) for i in range(0, len(digits), 2)]
    data += [0] * (3 - len(data))
    if not -2147483648 <= result <= 2147483647:
        raise OptionError('--reply "%s": the result is no 32-bit number' % text)
    return result, data


def build_parser():
    parser = argparse.ArgumentParser(prog='scripts/run.sh', usage=USAGE, add_help=True,
                                     formatter_class=argparse.RawDescriptionHelpFormatter,
                                     epilog='faults (--fault NAME):\n' + '\n'.join(faults.help_lines()))
    parser.add_argument('--windows', metavar='xp|7|10',
                        help='the Windows version the PC reports (default xp); with --matrix a list such as xp,10 '
                             '(default all three)')
    parser.add_argument('--state', metavar='STATE',
                        help='the PC before the device is plugged in: clean (default); installed (an earlier '
                             'administrator\'s run of the same image installed everything); outdated-driver, '
                             'outdated-kit (that run installed an older driver or kit); with --matrix a list '
                             '(default all four)')
    parser.add_argument('--arch', metavar='32|64',
                        help='a 32-bit (default) or a 64-bit Windows; a 64-bit one runs the 32-bit programs of the '
                             'image and of the simulation under WOW64 (a host whose Wine cannot is reported, and '
                             'the run skipped); with --matrix a list (default 32,64: 64-bit for 7 and 10 only)')
    parser.add_argument('--limited-user', action='store_true',
                        help='the user may not open the device (it refuses direct access): on XP the program '
                             'goes through its service, which needs an earlier administrator\'s run, so the PC '
                             'is prepared by one (clean counts as installed); on 7 and 10 the program says '
                             'that administrator rights are needed')
    parser.add_argument('--reply', metavar='RESULT[,B0 B1 B2]',
                        help='the device\'s answer to the phone-setting query: result and three bytes in '
                             'hexadecimal (default: the image\'s plugstart_sim.ini, else 3,3F 03 E8)')
    parser.add_argument('--image', metavar='DIR|ISO',
                        help='another device image: a folder or an ISO 9660 image (default: this build\'s '
                             'build/<preset>/image). An image with the real Devpoke.dll is presented with the '
                             'simulated device in its place; the original stays untouched')
    parser.add_argument('--answer', metavar='POLICY', default='ok',
                        help='how the robot answers message boxes: ok (default), cancel, or a comma-separated '
                             'list of TEXT=ok|cancel (TEXT a part of the caption or text, ignoring case) with an '
                             'optional plain ok|cancel as the default, e.g. "cancel,autoplay=ok"')
    parser.add_argument('--timeout', metavar='SECONDS', type=float, default=300,
                        help='stop a run that has not ended by then and report what was seen (default 300)')
    parser.add_argument('--display', nargs='?', const='', default=None, metavar='DISPLAY',
                        help='run on an X display (default $DISPLAY) instead of a headless Xvfb')
    parser.add_argument('--xvfb', metavar=':N', default=None,
                        help='the Xvfb display when headless (default: a free one that Xvfb picks)')
    parser.add_argument('--hold', metavar='MS', type=int, default=3000,
                        help='hold each setup stand-in this long, so the status of each step can be seen; '
                             'on the run\'s own display with screenshots, only until its status is photographed '
                             '(default 3000, 0 for none)')
    parser.add_argument('--no-screenshots', action='store_true', help='take no screenshots')
    parser.add_argument('--no-language', action='store_true',
                        help='leave the language files off the CD (shows the missing-file message)')
    parser.add_argument('--locale', metavar='NAME',
                        help='the user\'s locale, e.g. ja_JP.UTF-8 (one that scripts/setup.sh makes)')
    parser.add_argument('--fault', metavar='NAME', choices=faults.names(),
                        help='make the run meet a fault (the list below); the device is then unplugged and '
                             'plugged in again without the fault, and the report shows both plug-ins')
    parser.add_argument('--languages', nargs='?', const='all', metavar='NAME,...',
                        help='instead of a plug-in run, the language sheet: every dialog in every language of the '
                             'image (or in those named, e.g. german,japan), measured and pictured, in '
                             'build/<preset>/plugin-languages/languages.html')
    parser.add_argument('--matrix', action='store_true',
                        help='instead of one plug-in run, the maker\'s PC matrix: the image on every Windows, PC '
                             'state and user (narrowed by --windows, --arch, --state, --users), each cell with '
                             'what that PC should get, on one page in build/<preset>/plugin-matrix/matrix.html')
    parser.add_argument('--users', metavar='admin,limited',
                        help='with --matrix: the users of the cells (default both)')
    parser.add_argument('--faults', nargs='?', const='all', metavar='NAME,...',
                        help='with --matrix: add the faults (all, or those named) as cells, each on a clean PC '
                             'of an administrator on each Windows of the matrix')
    parser.add_argument('--stand-ins', action='store_true',
                        help='with --matrix: an image that lacks installers its config.ini names is run with the '
                             'project\'s stand-ins in their place (the page says so)')
    parser.add_argument('--installers', choices=('stand-ins', 'real', 'real-nowait'), default='stand-ins',
                        help='the installers on the CD: the project\'s stand-ins (default); real: Windows '
                             'Installer packages made from the image\'s config.ini (wixl) with setups and removers '
                             '(makensis) that msiexec runs inside the PC, in the stand-ins\' place (a maker\'s own '
                             'installers stay); real-nowait: the same with setups that start msiexec and end at once')
    parser.add_argument('--jobs', type=int, default=2, help='with --matrix: runs at a time (default 2)')
    parser.add_argument('--seconds', type=float, help=argparse.SUPPRESS)  # older option: now the time-out
    parser.add_argument('--no-sandbox', action='store_true',
                        help='run the PC\'s programs on the host, without the sandbox that otherwise keeps them from '
                             'every file and process of this host outside the run (for a host that cannot make it: '
                             'only for images you trust; the report says so)')
    parser.add_argument('--report-dir', metavar='DIR', help='where the report goes')
    parser.add_argument('--quiet', action='store_true', help='no progress lines')
    return parser


CHOICES = {'windows': ('xp', '7', '10'), 'state': ('clean', 'installed', 'outdated-driver', 'outdated-kit'),
           'arch': ('32', '64'), 'users': ('admin', 'limited')}
SINGLE_DEFAULTS = {'windows': 'xp', 'state': 'clean', 'arch': '32'}


def value_list(name, text):
    """The values of a comma-separated option, each one of its choices, in the choices' order."""
    values = [v.strip().lower() for v in (text or '').split(',') if v.strip()]
    wrong = [v for v in values if v not in CHOICES[name]]
    if wrong or not values:
        raise OptionError('--%s %s: expected %s' % (name, text, ', '.join(CHOICES[name]) + (
            ' (a comma-separated list)' if name == 'users' or ',' in (text or '') else '')))
    return [v for v in CHOICES[name] if v in values]


def settle_lists(options):
    """--windows, --state, --arch (and --users): lists for a matrix (default every choice), one
    value for a run."""
    if options.matrix:
        for name in CHOICES:
            text = getattr(options, name)
            setattr(options, name + '_list', value_list(name, text) if text else list(CHOICES[name]))
        if options.faults and options.faults != 'all':
            wrong = [f for f in options.faults.split(',') if f not in faults.names()]
            if wrong:
                raise OptionError('--faults: no fault %s' % ', '.join(wrong))
        if options.jobs < 1:
            raise OptionError('--jobs must be at least 1')
        return
    for name in ('users', 'faults'):
        if getattr(options, name):
            raise OptionError('--%s is an option of --matrix' % name)
    if options.stand_ins:
        raise OptionError('--stand-ins is an option of --matrix')
    for name, default in SINGLE_DEFAULTS.items():
        values = value_list(name, getattr(options, name) or default)
        if len(values) != 1:
            raise OptionError('--%s takes one value (lists are for --matrix)' % name)
        setattr(options, name, values[0])


def parse(argv):
    parser = build_parser()
    options = parser.parse_args(argv)
    try:
        settle_lists(options)
        options.answer_default, options.answer_rules = parse_answer_policy(options.answer)
        options.reply_value = parse_reply(options.reply) if options.reply else None
        if options.timeout <= 0:
            raise OptionError('--timeout must be above 0')
        if options.hold < 0 or options.hold > 600000:
            raise OptionError('--hold must lie between 0 and 600000')
        if options.installers != 'stand-ins' and options.stand_ins:
            raise OptionError('--stand-ins and --installers %s: one kind of installer in the place of the missing ones'
                              % options.installers)
        if options.installers != 'stand-ins' and (options.fault or options.faults):
            raise OptionError('--installers %s: the faults are made through the stand-ins (--fault, --faults need '
                              'them)' % options.installers)
        if options.xvfb is not None and not re.fullmatch(r':\d+', options.xvfb):
            raise OptionError('--xvfb takes a display like :90')
    except OptionError as e:
        parser.error(str(e))
    return options
