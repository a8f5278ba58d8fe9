"""The prepared PCs in the build's cache: when one is made anew (Wine, the settings, the code that
makes it, its registry touched since, a making that broke off), that runs side by side make one
only once, and that the snapshot a run takes from it is the one of its copy. The making itself
(Wine) is replaced by one that writes a small prefix; the copies, locks and files are real."""
import multiprocessing
import os
import tempfile
import time
import unittest
import unittest.mock

from plugin import pc, prepared, snapshot
from scratch import read


def fake_make(base, path, arch, windows, display, settings_text, check_wow64, sandbox):
    """A prefix as the making leaves it: registry files holding the settings, a Windows folder
    whose libraries a copy shares, the user's folders."""
    pc.copy_prefix(base, path)
    with open(os.path.join(path, 'user.reg'), 'w') as f:
        f.write(settings_text)
    counter = os.environ.get('FAKE_MAKE_COUNTER')
    if counter:
        with open(counter, 'a') as f:
            f.write('made\n')
        time.sleep(0.3)  # long enough for a second run to arrive meanwhile
    return {'reported_version': 'Microsoft Windows %s' % windows,
            'registry': snapshot.read_registry(path), 'files': snapshot.read_files(os.path.join(path, 'drive_c'))}


def make_base(folder):
    base = os.path.join(folder, 'base-win32')
    for relative, text in (('system.reg', 'WINE REGISTRY Version 2\n[Software\\\\Base]\n"A"="1"\n'),
                           ('user.reg', ''), ('drive_c/windows/system32/kernel32.dll', 'MZ library'),
                           ('drive_c/windows/win.ini', '[windows]\n'), ('drive_c/users/root/Temp/keep.txt', 'x')):
        path = os.path.join(base, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'w') as f:
            f.write(text)
    os.makedirs(os.path.join(base, 'dosdevices'))
    os.symlink('../drive_c', os.path.join(base, 'dosdevices', 'c:'))
    return base


def ready(cache, base, stamp='wine-8.0', windows='xp', frames=False):
    return prepared.prepared_pc(cache, base, stamp, 'win32', windows, None, managed_frames=frames, log=lambda _: None)


def ready_in_process(cache, base, queue):
    try:
        queue.put(ready(cache, base).reported_version)
    except Exception as e:  # the parent sees what went wrong
        queue.put('error: %r' % e)


class PreparedCacheTests(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.cache = self.folder.name
        self.base = make_base(self.cache)
        self.made = []

        def counting_make(*args):
            self.made.append(args[3])
            return fake_make(*args)
        patcher = unittest.mock.patch.object(prepared, '_make', counting_make)
        patcher.start()
        self.addCleanup(patcher.stop)
        self.addCleanup(self.folder.cleanup)

    def test_made_once_then_found_and_made_anew_when_wine_or_the_settings_change(self):
        first = ready(self.cache, self.base)
        self.assertEqual(first.reported_version, 'Microsoft Windows xp')
        self.assertIn('Version"="winxp', read(os.path.join(first.path, 'user.reg')))
        ready(self.cache, self.base)
        self.assertEqual(self.made, ['xp'])
        # Another Wine (the base prefix's stamp changes with its version): made anew.
        ready(self.cache, self.base, stamp='wine-9.0')
        self.assertEqual(self.made, ['xp', 'xp'])
        # Other settings are another prepared PC, and each is kept beside the others.
        seven = ready(self.cache, self.base, windows='7')
        framed = ready(self.cache, self.base, windows='7', frames=True)
        self.assertNotEqual(seven.path, framed.path)
        ready(self.cache, self.base, windows='7')
        ready(self.cache, self.base, stamp='wine-9.0')
        self.assertEqual(self.made, ['xp', 'xp', '7', '7'])
        # Wine writes the user's language and time zone into the registry: another environment,
        # another prepared PC, and the first one is still found afterwards.
        with unittest.mock.patch.dict(os.environ, {'LANG': 'ja_JP.UTF-8', 'TZ': 'Asia/Tokyo'}):
            japanese = ready(self.cache, self.base, stamp='wine-9.0')
        self.assertNotEqual(japanese.path, first.path)
        ready(self.cache, self.base, stamp='wine-9.0')
        self.assertEqual(self.made, ['xp', 'xp', '7', '7', 'xp'])

    def test_the_digest_follows_the_code_that_makes_it_and_the_settings(self):
        with tempfile.TemporaryDirectory() as code:
            for name in prepared.CODE_FILES:
                with open(os.path.join(code, name), 'w') as f:
                    f.write('# %s\n' % name)
            digest = prepared.sources_digest('stamp', 'settings', code, False)
            self.assertEqual(digest, prepared.sources_digest('stamp', 'settings', code, False))
            self.assertNotEqual(digest, prepared.sources_digest('stamp', 'other settings', code, False))
            self.assertNotEqual(digest, prepared.sources_digest('stamp', 'settings', code, True))
            with open(os.path.join(code, 'wine.py'), 'a') as f:
                f.write('changed = True\n')
            self.assertNotEqual(digest, prepared.sources_digest('stamp', 'settings', code, False))

    def test_a_prepared_pc_touched_since_or_half_made_is_made_anew(self):
        first = ready(self.cache, self.base)
        # Wine run in it by hand: its registry changed.
        with open(os.path.join(first.path, 'system.reg'), 'a') as f:
            f.write('[Software\\\\Touched]\n')
        ready(self.cache, self.base)
        self.assertEqual(len(self.made), 2)
        # Its folder gone, the stamp left.
        import shutil
        shutil.rmtree(first.path)
        again = ready(self.cache, self.base)
        self.assertEqual(len(self.made), 3)
        self.assertNotIn('Touched', read(os.path.join(again.path, 'system.reg')))

    def test_a_pc_that_printed_no_version_is_used_once_and_never_kept(self):
        # "ver" printing nothing (a busy host) is a passing failure: the run that met it says so,
        # and the next run asks a new PC instead of reading the empty answer from the cache.
        with unittest.mock.patch.object(prepared, '_make', lambda *args: dict(
                fake_make(*args), reported_version='', version_output='exit 1: (nothing)')):
            first = ready(self.cache, self.base)
        self.assertEqual((first.reported_version, first.version_output), ('', 'exit 1: (nothing)'))
        again = ready(self.cache, self.base)
        self.assertEqual(len(self.made), 1)
        self.assertEqual(again.reported_version, 'Microsoft Windows xp')

    def test_a_making_that_breaks_off_leaves_nothing_that_counts(self):
        def broken(base, path, *rest):
            pc.copy_prefix(base, path)
            raise RuntimeError('Wine broke off')
        ready(self.cache, self.base, stamp='old')
        with unittest.mock.patch.object(prepared, '_make', broken):
            with self.assertRaises(RuntimeError):
                ready(self.cache, self.base, stamp='new')
        name = prepared.name_of('win32', 'xp', False, False, prepared.environment_key())
        # The old one is gone and no stamp claims the half-made one.
        self.assertFalse(os.path.exists(os.path.join(self.cache, name + '.stamp')))
        self.assertFalse(os.path.exists(os.path.join(self.cache, name)))
        ready(self.cache, self.base, stamp='new')
        self.assertEqual(len(self.made), 2)

    def test_runs_side_by_side_make_it_once(self):
        counter = os.path.join(self.cache, 'made.txt')
        context = multiprocessing.get_context('fork')
        queue = context.Queue()
        with unittest.mock.patch.dict(os.environ, {'FAKE_MAKE_COUNTER': counter}), \
                unittest.mock.patch.object(prepared, '_make', fake_make):
            runs = [context.Process(target=ready_in_process, args=(self.cache, self.base, queue)) for _ in range(3)]
            for run in runs:
                run.start()
            for run in runs:
                run.join(60)
        self.assertEqual(sorted(queue.get(timeout=5) for _ in runs), ['Microsoft Windows xp'] * 3)
        with open(counter) as f:
            self.assertEqual(f.read().splitlines(), ['made'])


class CopySnapshotTests(unittest.TestCase):
    def test_the_snapshot_of_a_fresh_copy_is_the_prepared_one_but_for_the_runs_own_folder(self):
        with tempfile.TemporaryDirectory() as folder:
            base = make_base(folder)
            with unittest.mock.patch.object(prepared, '_make', fake_make):
                prepared_pc = ready(folder, base)
            copy = os.path.join(folder, 'run', 'prefix')
            pc.copy_prefix(prepared_pc.path, copy)
            drive_c = os.path.join(copy, 'drive_c')
            os.makedirs(os.path.join(drive_c, 'plugstart_sim'))
            with open(os.path.join(drive_c, 'plugstart_sim', 'programs.ini'), 'w') as f:
                f.write('[driver_setup]\nhold=0\n')
            self.assertEqual(prepared_pc.files_of_copy(drive_c, written=['plugstart_sim']),
                             snapshot.read_files(drive_c))
            self.assertEqual(prepared_pc.registry, snapshot.read_registry(copy))
            # A library shared with the base is the same file, not a copy.
            self.assertTrue(os.path.samefile(os.path.join(drive_c, 'windows', 'system32', 'kernel32.dll'),
                                             os.path.join(base, 'drive_c', 'windows', 'system32', 'kernel32.dll')))

    def test_an_earlier_runs_prefix_is_moved_aside_and_removed_with_older_leftovers(self):
        with tempfile.TemporaryDirectory() as folder:
            base = make_base(folder)
            target = os.path.join(folder, 'run', 'prefix')
            pc.copy_prefix(base, target)
            with open(os.path.join(target, 'drive_c', 'left-by-the-last-run.txt'), 'w') as f:
                f.write('x')
            leftover = target + pc.ASIDE_MARK + '1-0'
            os.makedirs(os.path.join(leftover, 'drive_c'))
            pc.copy_prefix(base, target)
            self.assertFalse(os.path.exists(os.path.join(target, 'drive_c', 'left-by-the-last-run.txt')))
            pc.removals_done()
            self.assertEqual(sorted(os.listdir(os.path.join(folder, 'run'))), ['prefix'])


if __name__ == '__main__':
    unittest.main()
