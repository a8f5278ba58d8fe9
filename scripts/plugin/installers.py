"""Real installers on the presented CD (scripts/run.sh --installers real|real-nowait): in the place of
the stand-ins, under the names config.ini gives them, the programs a maker ships: a setup program
per setup that carries a Windows Installer package (made with wixl from packages.py) and has
msiexec install it, the removers that have msiexec remove the installed package (both made with
makensis from sim/packages/). They run inside the PC like every other of its programs. wixl and
makensis run when the run is prepared, in a sandbox of their own (the run's bubblewrap one: they
see the folder they make the installer in, the scripts and the system, nothing else), unless the
run goes without a sandbox. Made once per what they are made of, and kept in the build's cache.

A maker's own installer on the image (one that is no stand-in of this project) runs as it is."""
import hashlib
import os
import shutil
import subprocess
import tempfile

from . import cache
from . import image as image_mod
from . import package_sources
from . import packages
from . import sandbox as sandbox_mod
from .packages import PackageError

KINDS = ('stand-ins', 'real', 'real-nowait')
SOURCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'sim', 'packages')
# Raised when what a made installer holds changes without its sources changing.
LAYOUT = '1'
# How long a program of a package stays when started (the kit's program): long enough for the
# robot, which looks at the processes every 50 ms, on a busy host.
PROGRAM_HOLD_MS = 1500
TOOL_SECONDS = 120


def tool_versions():
    versions = []
    for command in (['wixl', '--version'], ['makensis', '-VERSION']):
        try:
            done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=30)
        except OSError:
            raise PackageError('%s is needed to make real installers (Debian %s; scripts/setup.sh installs it)' % (
                command[0], 'wixl' if command[0] == 'wixl' else 'nsis'))
        versions.append(done.stdout.decode('utf-8', 'replace').strip())
    return versions


def source_texts():
    """The texts every installer is made of: the package sources' makers and the NSIS scripts."""
    here = os.path.dirname(os.path.abspath(__file__))
    paths = [os.path.join(here, name) for name in ('packages.py', 'package_sources.py', 'installers.py')]
    paths += [os.path.join(SOURCES, name) for name in sorted(os.listdir(SOURCES)) if name.endswith('.nsi')]
    texts = []
    for path in paths:
        with open(path, 'rb') as f:
            texts.append(f.read())
    return texts


def run_on_host(command, cwd):
    """(exit code, output) of a tool run here; (None, why) at the time-out."""
    try:
        done = subprocess.run(command, cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=TOOL_SECONDS)
    except subprocess.TimeoutExpired:
        return None, 'did not end within %d s' % TOOL_SECONDS
    return done.returncode, done.stdout.decode('utf-8', 'replace')


def run_in_sandbox(command, cwd):
    """(exit code, output) of a tool run in a sandbox that sees cwd (writable) and the scripts."""
    cwd = os.path.abspath(cwd)
    box = sandbox_mod.Sandbox([cwd], readable=[os.path.abspath(SOURCES)])
    try:
        code, output = box.run(command, {'LANG': 'C.UTF-8'}, cwd=cwd, timeout=TOOL_SECONDS)
    except (sandbox_mod.SandboxUnavailable, OSError) as e:
        raise PackageError('%s could not run in the sandbox: %s' % (command[0], e))
    finally:
        box.end()
    return (None, output) if code == -1 else (code, output)


def run_tool(command, cwd, sandboxed):
    code, output = (run_in_sandbox if sandboxed else run_on_host)(command, cwd)
    if code is None:
        raise PackageError('%s %s' % (command[0], output))
    if code != 0:
        raise PackageError('%s failed (exit code %d): %s' % (command[0], code, output.strip()[-600:]))
    return output


def makensis(script, work, defines, sandboxed):
    """Runs makensis on one of sim/packages' scripts in work. Every define is made here (known
    names, checked versions and codes), never taken from an image as it stands."""
    command = ['makensis', '-V2', '-NOCD'] + ['-D%s=%s' % pair for pair in sorted(defines.items())]
    run_tool(command + [os.path.join(os.path.abspath(SOURCES), script)], work, sandboxed)


class Maker:
    """Makes the real installers for a PC: machine 'x86' or 'x64' (the program's, which the
    packages and their programs follow), wait: the setups wait for msiexec; cache: the folder that
    keeps what was made; sandboxed: the tools run in a sandbox."""

    def __init__(self, machine, wait, cache, sandboxed=True):
        self.machine, self.wait, self.cache, self.sandboxed = machine, wait, cache, sandboxed
        self.target = 'amd64-unicode' if machine == 'x64' else 'x86-unicode'
        self._inputs = None

    def cache_key(self, installer):
        if self._inputs is None:
            self._inputs = [LAYOUT.encode()] + [v.encode() for v in tool_versions()] + source_texts()
        digest = hashlib.sha256()
        for part in self._inputs + [repr((installer.kind, installer.codes, installer.title, self.machine,
                                          self.wait)).encode(),
                                    (installer.package.key() if installer.package else '').encode()]:
            digest.update(hashlib.sha256(part).digest())
        return digest.hexdigest()[:32]

    def made(self, installer):
        """The host path of the installer, made now or earlier (two runs that need the same one at
        once make it once)."""
        os.makedirs(self.cache, exist_ok=True)
        key = self.cache_key(installer)
        folder = os.path.join(self.cache, key)
        program = os.path.join(folder, 'program.exe')
        with cache.locked(os.path.join(self.cache, key + '.lock')):
            if not os.path.isfile(program):
                work = tempfile.mkdtemp(prefix='making-', dir=self.cache)
                try:
                    self.make(installer, work)
                    shutil.rmtree(folder, ignore_errors=True)
                    os.replace(work, folder)
                finally:
                    shutil.rmtree(work, ignore_errors=True)
        return program

    def make(self, installer, work):
        if installer.kind == 'remover':
            defines = {'TARGET': self.target, 'OUTFILE': 'program.exe', 'TITLE': installer.title,
                       'VERSION': '1.0.0.0'}
            defines.update(('CODE%d' % (n + 1), code) for n, code in enumerate(installer.codes))
            makensis('remover.nsi', work, defines, self.sandboxed)
            return
        package = installer.package
        version = packages.four_numbers(package.version)
        makensis('version_carrier.nsi', work, {'TARGET': self.target, 'OUTFILE': package_sources.CARRIER,
                                               'TITLE': package.title, 'VERSION': version,
                                               'HOLD_MS': str(PROGRAM_HOLD_MS)}, self.sandboxed)
        with open(os.path.join(work, 'package.wxs'), 'w', encoding='utf-8') as f:
            f.write(package_sources.wix_source(package, self.machine == 'x64'))
        run_tool(['wixl', '-a', 'x64' if self.machine == 'x64' else 'x86', '-o', 'package.msi', 'package.wxs'], work,
                 self.sandboxed)
        makensis('bootstrapper.nsi', work, {'TARGET': self.target, 'OUTFILE': 'program.exe', 'PACKAGE': 'package.msi',
                                            'PACKAGE_NAME': 'Norvo %s %s.msi' % (package.role, package.code),
                                            'TITLE': package.title, 'VERSION': version,
                                            'WAIT': '1' if self.wait else '0'}, self.sandboxed)


def describe(installer):
    if installer.kind == 'remover':
        return '%s (removes %s)' % (installer.name, ', '.join(installer.codes))
    package = installer.package
    what = 'the %s driver' % package.what if package.role == 'driver' else 'the kit of type %s' % package.what[-1]
    return '%s (%s %s, %s)' % (installer.name, what, package.version, package.code)


class RealInstallers:
    """The real installers of one run: kind 'real' or 'real-nowait'; arch: the PC's ('win32' or
    'win64'); cache: the build's folder for them; sandboxed: their tools run in a sandbox."""

    def __init__(self, kind, arch, cache, sandboxed=True):
        self.kind, self.arch, self.cache, self.sandboxed = kind, arch, cache, sandboxed
        self.placed = set()  # the host paths of the installers placed by the run
        self.kept = set()  # the host paths of the maker's own installers, noted once

    def place(self, program_folder, machine, older=()):
        """Puts the installers config.ini names beside the program (program_folder, a presented
        image's copy), in the place of the stand-ins or where none is; a maker's own stays. older:
        the roles whose package is the outdated one. Returns the notes on what was done."""
        config_file = image_mod.find_case_insensitive(program_folder, 'config.ini')
        if config_file is None:
            raise PackageError('the image has no config.ini to make real installers from')
        config = image_mod.read_ini(image_mod.read_text(config_file))
        sees_64bit = self.arch == 'win64' and machine == 'x86'
        maker = Maker(machine, self.kind == 'real', os.path.join(self.cache, 'installers'), self.sandboxed)
        to_place, kept = [], []
        for installer in packages.installers_of(config, sees_64bit, older):
            parts = installer.name.split('\\')
            folder = os.path.join(program_folder, *parts[:-1])
            existing = image_mod.find_case_insensitive(folder, parts[-1])
            if existing and existing not in self.placed and not image_mod.is_simulated_device(existing):
                kept += [] if existing in self.kept else [installer.name]
                self.kept.add(existing)
                continue
            installer.package  # its values checked before anything is made
            to_place.append((installer, folder, existing or os.path.join(folder, parts[-1])))
        placed = []
        for installer, folder, target in to_place:
            if os.path.exists(target):
                os.remove(target)
            os.makedirs(folder, exist_ok=True)
            shutil.copyfile(maker.made(installer), target)
            self.placed.add(target)
            placed.append(describe(installer))
        notes = []
        if placed:
            notes.append('real installers on the CD%s: %s-bit Windows Installer packages made from config.ini with wixl, '
                         'setups %s and removers made with makensis, run by the PC\'s msiexec: %s' % (
                             ' (the outdated %s of an earlier run)' % ' and '.join(older) if older else '',
                             '64' if machine == 'x64' else '32',
                             'that wait for msiexec' if self.kind == 'real' else
                             'that start msiexec and end at once', '; '.join(placed)))
        if kept:
            notes.append('the maker\'s own installers on the image ran as they are: %s' % ', '.join(kept))
        return notes


def for_kind(kind, arch, cache_dir, sandboxed=True):
    """The real installers of a run, or None for the stand-ins."""
    if kind in (None, 'stand-ins'):
        return None
    if kind not in KINDS:
        raise PackageError('no installers "%s" (%s)' % (kind, ', '.join(KINDS)))
    return RealInstallers(kind, arch, cache_dir, sandboxed)
