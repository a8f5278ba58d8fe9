"""The PCs earlier administrators' runs left, kept in the build's cache: what names an entry (a
change of anything the earlier run starts from makes another), when an entry found is not used,
what of a PC the image's programs wrote into is kept and how (links never followed, no FIFO, no
file that a later run could write into the entry through), and the order the matrix starts its
cells in so that a limited user's cell finds its administrator's entry. The prefixes are small
and made here; the copies, links, locks and files are real."""
import os
import tempfile
import threading
import unittest
import unittest.mock

from plugin import cache, earlier_runs, pc, pc_matrix, prepared, snapshot
from scratch import read, write

DLL = os.path.join('drive_c', 'windows', 'system32', 'kernel32.dll')


class Fixture:
    """A base prefix, the prepared PC copied from it (a stamp beside it), a presented CD, the
    harness's code and simulated programs."""

    def __init__(self, folder):
        self.folder = folder
        self.cache = os.path.join(folder, 'cache')
        base = os.path.join(self.cache, 'base-win32')
        write(os.path.join(base, 'system.reg'), 'WINE REGISTRY Version 2\n[Software\\\\Base]\n"A"="1"\n')
        write(os.path.join(base, 'user.reg'), '')
        write(os.path.join(base, DLL), 'MZ library')
        write(os.path.join(base, 'drive_c', 'windows', 'win.ini'), '[windows]\n')
        os.makedirs(os.path.join(base, 'dosdevices'))
        os.symlink('../drive_c', os.path.join(base, 'dosdevices', 'c:'))
        path = os.path.join(self.cache, 'prepared-win32-7')
        pc.copy_prefix(base, path)
        cache.write_stamp(path + '.stamp', 'prepared-stamp-1')
        self.prepared = prepared.PreparedPC(path, {'reported_version': 'Microsoft Windows 7',
                                                   'registry': snapshot.read_registry(path), 'files': {}})
        self.cd = os.path.join(folder, 'cd')
        write(os.path.join(self.cd, 'autorun.inf'), '[AutoRun]\nopen=Plugstart.exe\n')
        write(os.path.join(self.cd, 'config.ini'), '[DRIVER]\ndriver_type=QCT\n')
        self.code = os.path.join(folder, 'code')
        write(os.path.join(self.code, 'run.py'), 'print("run")\n')
        self.sim = os.path.join(folder, 'sim')
        write(os.path.join(self.sim, 'PlugRobot.exe'), 'MZ robot')
        write(os.path.join(self.sim, 'bin', 'SimDriverSetup.exe'), 'MZ setup')
        self.facts = {'state': 'installed', 'answers': ['ok', []], 'locale': None}

    def key(self, facts=None):
        return earlier_runs.key_of(self.prepared, {'R': self.cd}, facts or self.facts, self.code, self.sim)

    def run_prefix(self, name='run'):
        """A run's PC after its earlier run: the prepared PC copied, a driver installed, a
        setting written."""
        path = os.path.join(self.folder, name, 'prefix')
        pc.copy_prefix(self.prepared.path, path)
        write(os.path.join(path, 'drive_c', 'windows', 'system32', 'drivers', 'modem.sys'), 'driver 1.0')
        with open(os.path.join(path, 'system.reg'), 'a') as f:
            f.write('[Software\\\\Modem]\n"Version"="1.0"\n')
        return path

    def store(self, path, key=None):
        return earlier_runs.store(self.cache, key or self.key(), path, self.prepared, [{'label': 'earlier'}],
                                  ['installed earlier'], snapshot.read_registry(path),
                                  snapshot.read_files(os.path.join(path, 'drive_c')))


class KeyTests(unittest.TestCase):
    def test_the_key_changes_with_anything_the_earlier_run_starts_from_and_only_then(self):
        with tempfile.TemporaryDirectory() as folder:
            f = Fixture(folder)
            key = f.key()
            os.utime(os.path.join(f.cd, 'config.ini'), (1, 1))  # a copy's new time is no change
            self.assertEqual(f.key(), key)
            changes = [
                ('a byte of a file of the CD', lambda: write(os.path.join(f.cd, 'config.ini'),
                                                              '[DRIVER]\ndriver_type=QCV\n')),
                ('a file more on the CD', lambda: write(os.path.join(f.cd, 'tools', 'x.opt'), '')),
                ('a file of the CD renamed', lambda: os.rename(os.path.join(f.cd, 'autorun.inf'),
                                                               os.path.join(f.cd, 'autorun.in_'))),
                ('the harness\'s code', lambda: write(os.path.join(f.code, 'run.py'), 'print("ran")\n')),
                ('the robot', lambda: write(os.path.join(f.sim, 'PlugRobot.exe'), 'MZ robot 2')),
                ('a stand-in', lambda: write(os.path.join(f.sim, 'bin', 'SimDriverSetup.exe'), 'MZ setup 2')),
                ('the prepared PC', lambda: cache.write_stamp(f.prepared.path + '.stamp', 'prepared-stamp-2')),
                ('the state', lambda: f.facts.update(state='outdated-driver')),
                ('the answers', lambda: f.facts.update(answers=['cancel', []])),
            ]
            seen = {key}
            for what, change in changes:
                with self.subTest(what):
                    change()
                    changed = f.key()
                    self.assertNotIn(changed, seen)
                    seen.add(changed)


class EntryTests(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)
        self.f = Fixture(self.folder.name)

    def test_a_kept_pc_is_found_and_copied_beside_the_drives_presented_with_its_record(self):
        f = self.f
        kept = f.store(f.run_prefix())
        entry = earlier_runs.find(f.cache, f.key(), f.prepared)
        self.assertIsNotNone(entry)
        self.assertEqual((kept.path, kept.registry, kept.files), (entry.path, entry.registry, entry.files))
        self.assertEqual((entry.runs, entry.notes), ([{'label': 'earlier'}], ['installed earlier']))
        cell = os.path.join(f.folder, 'cell', 'prefix')
        write(os.path.join(cell, 'cdrom-r', 'autorun.inf'), 'presented')
        pc.copy_prefix(entry.path, cell, shared=entry.shared, keep_drives=True)
        self.assertEqual(read(os.path.join(cell, 'cdrom-r', 'autorun.inf')), 'presented')
        self.assertIn('Modem', read(os.path.join(cell, 'system.reg')))
        # The library is still the base's; the driver the earlier run installed is the cell's own.
        self.assertTrue(os.path.samefile(os.path.join(cell, DLL), os.path.join(f.prepared.path, DLL)))
        driver = os.path.join('drive_c', 'windows', 'system32', 'drivers', 'modem.sys')
        self.assertFalse(os.path.samefile(os.path.join(cell, driver), os.path.join(entry.path, driver)))
        drive_c = os.path.join(cell, 'drive_c')
        self.assertEqual(entry.files_of_copy(drive_c), snapshot.read_files(drive_c))
        self.assertEqual(entry.registry, snapshot.read_registry(cell))

    def test_an_entry_not_current_is_not_used(self):
        f = self.f
        key = f.key()
        cases = [
            ('no entry', lambda entry: None),
            ('half made: no stamp', lambda entry: os.remove(entry + '.stamp')),
            ('the stamp of another key', lambda entry: cache.write_stamp(entry + '.stamp', 'x' * 64)),
            ('its registry changed since', lambda entry: write(os.path.join(entry, 'user.reg'), 'changed')),
            ('its record broken', lambda entry: write(entry + '.json', '{')),
            ('the prepared PC made anew', lambda entry: (os.remove(os.path.join(f.prepared.path, DLL)),
                                                         write(os.path.join(f.prepared.path, DLL), 'MZ library'))),
        ]
        for what, spoil in cases:
            with self.subTest(what):
                if what != 'no entry':
                    f.store(f.run_prefix(what))
                spoil(os.path.join(f.cache, earlier_runs.PREFIX + key[:24]))
                self.assertIsNone(earlier_runs.find(f.cache, key, f.prepared))

    def test_a_pc_that_cannot_be_kept_leaves_nothing_that_counts(self):
        f = self.f
        path = f.run_prefix()
        os.mkfifo(os.path.join(path, 'drive_c', 'pipe'))
        outcome = []
        storing = threading.Thread(target=lambda: outcome.append(self.store_or_reason(path)), daemon=True)
        storing.start()
        storing.join(20)
        self.assertFalse(storing.is_alive(), 'the copy of a PC with a FIFO hangs')
        self.assertIn('drive_c/pipe', outcome[0])
        with unittest.mock.patch.object(earlier_runs, 'MAX_BYTES', 8):
            os.remove(os.path.join(path, 'drive_c', 'pipe'))
            self.assertIn('more than', self.store_or_reason(path))
        self.assertIsNone(earlier_runs.find(f.cache, f.key(), f.prepared))
        self.assertEqual([n for n in os.listdir(f.cache) if n.startswith(earlier_runs.PREFIX)
                          and not n.endswith('.lock')], [])

    def store_or_reason(self, path):
        try:
            self.f.store(path)
        except earlier_runs.NotKept as e:
            return str(e)
        return 'kept'

    def test_what_the_images_programs_wrote_cannot_reach_the_host_or_the_entry_through_a_later_copy(self):
        f = self.f
        path = f.run_prefix()
        secret = os.path.join(f.folder, 'host-secret.txt')
        write(secret, 'the host\'s')
        os.symlink(secret, os.path.join(path, 'drive_c', 'secret.txt'))
        os.symlink(f.folder, os.path.join(path, 'drive_c', 'host'))
        # A library of the Windows folder replaced by a file of the PC's own.
        os.remove(os.path.join(path, DLL))
        write(os.path.join(path, DLL), 'MZ planted')
        f.store(path)
        entry = earlier_runs.find(f.cache, f.key(), f.prepared)
        self.assertEqual(os.readlink(os.path.join(entry.path, 'drive_c', 'secret.txt')), secret)
        self.assertFalse(os.path.exists(os.path.join(entry.path, 'drive_c', 'host', 'host-secret.txt'))
                         and not os.path.islink(os.path.join(entry.path, 'drive_c', 'host')))
        self.assertNotIn(DLL, entry.linked)
        cell = os.path.join(f.folder, 'cell', 'prefix')
        pc.copy_prefix(entry.path, cell, shared=entry.shared)
        drive_c = os.path.join(cell, 'drive_c')
        self.assertEqual(entry.files_of_copy(drive_c), snapshot.read_files(drive_c), 'a link\'s time changed')
        with open(os.path.join(cell, DLL), 'w') as planted:
            planted.write('MZ written by a later run')
        self.assertEqual(read(os.path.join(entry.path, DLL)), 'MZ planted')
        self.assertEqual(read(os.path.join(f.prepared.path, DLL)), 'MZ library')
        self.assertEqual(read(secret), 'the host\'s')

    def test_the_entries_used_longest_ago_go_but_one_in_use_stays(self):
        f = self.f
        keys = [str(n) * 64 for n in range(5)]
        for number, key in enumerate(keys):
            f.store(f.run_prefix('run%d' % number), key=key)
            os.utime(os.path.join(f.cache, earlier_runs.PREFIX + key[:24] + '.stamp'), (number, number))
        with cache.locked(os.path.join(f.cache, earlier_runs.PREFIX + keys[0][:24] + '.lock')):
            holder = threading.Thread(target=earlier_runs.prune, args=(f.cache, 2))
            holder.start()
            holder.join(20)
        self.assertEqual([key for key in keys if earlier_runs.find(f.cache, key, f.prepared)],
                         [keys[0], keys[3], keys[4]])


class RunOrderTests(unittest.TestCase):
    def test_a_limited_users_cell_starts_after_the_administrators_that_makes_its_pc(self):
        cells = pc_matrix.make_cells(['xp', '7'], ['32', '64'], ['clean', 'installed', 'outdated-driver'],
                                     ['admin', 'limited'], ['kill-setup'])
        order = pc_matrix.run_order(cells)
        self.assertEqual(sorted(map(pc_matrix.cell_name, order)), sorted(map(pc_matrix.cell_name, cells)))
        place = {pc_matrix.cell_name(c): n for n, c in enumerate(order)}
        for cell in cells:
            if cell['limited']:
                admin = dict(cell, limited=False, state='installed' if cell['state'] == 'clean' else cell['state'])
                self.assertLess(place[pc_matrix.cell_name(admin)], place[pc_matrix.cell_name(cell)])
        # The longest start first: the faults' cells, then the clean administrators'.
        self.assertTrue(all(c['fault'] for c in order[:2]))
        self.assertEqual([c['state'] for c in order[2:5]], ['clean'] * 3)

    def test_the_installed_pc_is_left_by_the_clean_pcs_administrator_who_starts_before_its_users(self):
        def needs_installed(cell):
            return not cell['fault'] and (cell['state'] == 'installed' or
                                          (cell['limited'] and cell['windows'] == 'xp' and cell['state'] == 'clean'))
        for states, users in ((['clean', 'installed'], ['admin', 'limited']), (['clean'], ['admin', 'limited']),
                              (['clean', 'outdated-kit'], ['admin'])):
            with self.subTest(states=states, users=users):
                cells = pc_matrix.make_cells(['xp', '7'], ['32', '64'], states, users, ['kill-setup'])
                order = pc_matrix.run_order(cells)
                leaving = [c for c in order if pc_matrix.leaves_installed_pc(c, cells)]
                self.assertTrue(all(c['state'] == 'clean' and not c['limited'] and not c['fault'] for c in leaving))
                for cell in cells:
                    same_pc = [c for c in leaving if (c['windows'], c['bits']) == (cell['windows'], cell['bits'])]
                    if needs_installed(cell):
                        self.assertEqual(len(same_pc), 1, pc_matrix.cell_name(cell))
                        self.assertLess(order.index(same_pc[0]), order.index(cell))
                # A clean PC's administrator whom no cell needs keeps nothing.
                wanted = {(c['windows'], c['bits']) for c in cells if needs_installed(c)}
                self.assertEqual({(c['windows'], c['bits']) for c in leaving}, wanted)


if __name__ == '__main__':
    unittest.main()
