"""One hostile-image case of the end-to-end suite (the rows of hostile_rows.py): the canaries and
targets on the host, the image whose autorun.inf starts the hostile test program with the row's
script, and the assertions from the outside once the run has ended."""
import hashlib
import os
import secrets
import shutil

from . import browser
from . import hostile_rows

PROGRAM = 'PlugHostile.exe'
SCRIPT = 'hostile.txt'
ACCOUNT = ('hostile', 'account.txt')          # the program's own account, on drive C:
SHARED_FILE = ('windows', 'system32', 'write.exe')
LARGEST_SCANNED = 64 * 1024 * 1024
REPORT_FILES = ('report.json', 'report.md', 'report.html')


def digest(path):
    try:
        with open(path, 'rb') as f:
            return hashlib.sha256(f.read()).hexdigest()
    except OSError as e:
        return 'unreadable: %s' % e


def files_holding(folder, text):
    """The files under folder that hold text (UTF-8 or UTF-16LE); files shared through hard links
    with the cached base prefix are left out (they are no file of this run), and so are very
    large ones."""
    needles = (text.encode('utf-8'), text.encode('utf-16-le'))
    found = []
    for root, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(root, name)
            try:
                status = os.lstat(path)
                if not os.path.isfile(path) or os.path.islink(path) or status.st_nlink > 1 \
                        or status.st_size > LARGEST_SCANNED:
                    continue
                with open(path, 'rb') as f:
                    data = f.read()
            except OSError:
                continue
            if any(needle in data for needle in needles):
                found.append(os.path.relpath(path, folder))
    return sorted(found)


def tmp_entries():
    """{name: is a file} of the host's /tmp."""
    try:
        return {entry.name: entry.is_file(follow_symlinks=False) for entry in os.scandir('/tmp')}
    except OSError:
        return {}


def new_tmp_entries_with(before, marker):
    """New entries of the host's /tmp that carry marker in their name or, for a file, in what it
    holds (other programs of the host write /tmp too: only the marker tells ours)."""
    found = []
    for name, is_file in tmp_entries().items():
        if name in before:
            continue
        if marker in name:
            found.append(name)
        elif is_file:
            try:
                with open(os.path.join('/tmp', name), 'rb') as f:
                    if marker.encode('utf-8') in f.read(1 << 20):
                        found.append(name)
            except OSError:
                continue
    return sorted(found)


class HostileAttempt:
    """One row run once: prepare() before the run, failures() after it, cleanup() at the end."""

    def __init__(self, row, build_dir, work_dir, checkout):
        self.row = row
        self.build_dir = build_dir
        self.work_dir = work_dir
        self.checkout = checkout
        self.marker = 'HOSTILE' + secrets.token_hex(6).upper()
        self.secret = 'CANARY-' + secrets.token_hex(16)
        home = os.path.expanduser('~')
        self.canaries = {'tmp_canary': '/tmp/plugstart-canary-%s.txt' % self.marker,
                         'checkout_canary': os.path.join(work_dir, 'canary-%s.txt' % self.marker),
                         'home_canary': os.path.join(home, 'plugstart-canary-%s.txt' % self.marker)}
        self.targets = {'tmp_target': '/tmp/plugstart-hostile-%s.txt' % self.marker,
                        'checkout_target': os.path.join(checkout, 'hostile-%s.txt' % self.marker),
                        'home_target': os.path.join(home, 'plugstart-hostile-%s.txt' % self.marker)}
        self.tmp_before = {}
        self.shared_before = None

    def shared_file(self, arch):
        """The base prefix's copy of the file of C:\\windows that every run's PC shares."""
        return os.path.join(self.build_dir, 'plugin-cache', 'base-' + arch, 'drive_c', *SHARED_FILE)

    def prepare(self, run_dir, arch):
        """Writes the canaries and the image; returns the image's folder."""
        for path in self.canaries.values():
            with open(path, 'w') as f:
                f.write(self.secret)
        self.arch = arch
        self.shared_before = digest(self.shared_file(arch))
        self.tmp_before = tmp_entries()
        image = os.path.join(run_dir + '-image')
        shutil.rmtree(image, ignore_errors=True)
        shutil.copytree(os.path.join(self.build_dir, 'image'), image)
        shutil.copy(os.path.join(self.build_dir, 'sim', PROGRAM), os.path.join(image, PROGRAM))
        names = dict(self.canaries, **self.targets)
        names.update({'marker': self.marker, 'secret': self.secret,
                      'shared_file': 'C:\\' + '\\'.join(SHARED_FILE)})
        with open(os.path.join(image, SCRIPT), 'w', encoding='utf-8', newline='\n') as f:
            f.write(hostile_rows.script(self.row, names))
        with open(os.path.join(image, 'autorun.inf'), 'w', encoding='ascii', newline='\r\n') as f:
            f.write('[autorun]\nopen=%s\nlabel=Hostile\n' % PROGRAM)
        return image

    def account(self, run_dir):
        path = os.path.join(run_dir, 'prefix', 'drive_c', *ACCOUNT)
        try:
            with open(path, encoding='utf-8', errors='replace') as f:
                return [line.rstrip('\r\n') for line in f if line.strip()]
        except OSError:
            return []

    def failures(self, result, run_dir):
        """What was not contained, one sentence each (the control row: what it did not show)."""
        failures = []
        account = self.account(run_dir)
        steps = [s for s in self.row.steps if s.strip()]
        if len(account) < len(steps):
            failures.append('the hostile program did not take every step (%d of %d): %s' % (
                len(account), len(steps), account))
        unplanted = [line for line in account if line.startswith('plant ') and not line.endswith(': planted')]
        if unplanted:  # else the row would prove nothing
            failures.append('the hostile program could not plant what it should: %s' % unplanted)
        checks = {'unread': self.unread, 'unchanged': self.unchanged, 'nothing outside': self.nothing_outside,
                  'no forged line': self.no_forged_line, 'no script': self.no_script}
        for name in self.row.contained:
            failures += checks[name](result, run_dir)
        return failures

    def unread(self, result, run_dir):
        holding = files_holding(run_dir, self.secret)
        if not self.row.sandbox:  # the control: the leak must be seen
            return [] if holding else ['without the sandbox the canary was read, yet no file of the run holds it']
        return ['the canary\'s contents are in %s' % ', '.join(holding[:6])] if holding else []

    def unchanged(self, result, run_dir):
        failures = []
        for name, path in self.canaries.items():
            try:
                with open(path) as f:
                    if f.read() != self.secret:
                        failures.append('the canary %s was changed' % path)
            except OSError as e:
                failures.append('the canary %s is gone: %s' % (path, e))
        after = digest(self.shared_file(self.arch))
        if after != self.shared_before:
            failures.append('the base prefix\'s shared file %s was changed' % self.shared_file(self.arch))
        return failures

    def nothing_outside(self, result, run_dir):
        failures = ['written outside the run: %s' % path for path in self.targets.values() if os.path.lexists(path)]
        failures += ['a new entry of the host\'s /tmp carries the run\'s marker: /tmp/%s' % name
                     for name in new_tmp_entries_with(self.tmp_before, self.marker)]
        return failures

    def no_forged_line(self, result, run_dir):
        failures = []
        for folder in report_folders(run_dir):
            for name in REPORT_FILES:
                path = os.path.join(folder, name)
                try:
                    with open(path, encoding='utf-8', errors='replace') as f:
                        if self.marker in f.read():
                            failures.append('a forged line reached %s' % os.path.relpath(path, run_dir))
                except OSError as e:
                    failures.append('cannot read %s: %s' % (path, e))
        return failures

    def no_script(self, result, run_dir):
        pages = [os.path.join(folder, 'report.html') for folder in report_folders(run_dir)]
        try:
            checks = browser.check_pages(pages, screenshots=False)
        except browser.BrowserError as e:
            return ['the report could not be opened in the browser: %s' % e]
        return ['%s in the browser: %s' % (os.path.relpath(check.path, run_dir), problem)
                for check in checks for problem in check.problems]

    def cleanup(self):
        for path in list(self.canaries.values()) + list(self.targets.values()):
            if os.path.lexists(path):
                os.remove(path)


def report_folders(run_dir):
    folder = os.path.join(run_dir, 'report')
    second = os.path.join(folder, 'second-plugin')
    return [folder] + ([second] if os.path.isdir(second) else [])
