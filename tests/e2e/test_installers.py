"""The real installers of the plug-in run without Wine: what config.ini may ask of them, the
package sources made from it, where they are placed on the CD, and how the verdict reads what
Windows Installer recorded."""
import os
import shutil
import tempfile
import unittest
import unittest.mock
from xml.etree import ElementTree

from plugin import faults, image, installers, observed, options, package_sources, packages, pc_matrix, verdict

CONFIG = {'driver': {'driver_name': 'DriverSetup.exe', 'driver_version': '2.1.0.4', 'driver_type': 'QCT'},
          'itk': {'itk_setup': 'InternetKitSetup.exe', 'itk_type': '1', 'itk_version': '3.0.2.1',
                  'itk_run_file': 'InternetKit.exe'}}


def packages_of(config, older=()):
    """The installers config.ini names, each setup's package made."""
    found = packages.installers_of(config, False, older)
    return found, [i.package for i in found]


def config_with(section, key, value):
    config = {name: dict(values) for name, values in CONFIG.items()}
    config[section][key] = value
    return config


class ConfigValueTests(unittest.TestCase):
    """Every value of config.ini that goes into a package source or onto the CD is checked first."""

    HOSTILE = {
        ('driver', 'driver_version'): ('2.1"/><File Source="/etc/passwd"/>', '$(env.HOME)', '256.0', '1.2.3.65536',
                                       '1.2.3.4.5', '', '-1'),
        ('itk', 'itk_version'): ('3.0;!system id', '3..0', 'x'),
        ('itk', 'itk_run_file'): ('$(env.HOME).exe', '..\\x.exe', 'C:\\x.exe', 'a/b.exe', '<x>.exe', '!(loc.X)',
                                  '[INSTALLDIR].exe', '${X}.exe', 'x.exe.', '.', 'a' * 101, 'tools\\x.exe'),
        ('driver', 'driver_name'): ('..\\Setup.exe', 'tools\\..\\..\\Setup.exe', '\\\\server\\Setup.exe', '/x.exe',
                                    'tools\\\\Setup.exe', 'tools\\ .\\Setup.exe'),
        ('itk', 'itk_setup'): ('C:Setup.exe', '"Setup.exe"', 'Setup.exe|x'),
        ('itk', 'itk_type'): ('4', '-1', '1x'),
        ('driver', 'driver_type'): ('QCTX', '$(env.HOME)'),
    }

    def test_hostile_values_are_refused_naming_the_key(self):
        for (section, key), values in self.HOSTILE.items():
            for value in values:
                with self.assertRaises(packages.PackageError, msg='%s=%r' % (key, value)) as raised:
                    packages_of(config_with(section, key, value))
                self.assertIn(key.split('_')[0], str(raised.exception), '%s=%r' % (key, value))

    def test_the_usual_values_are_taken(self):
        for section, key, value in (('driver', 'driver_version', '2.1'), ('driver', 'driver_version', '255.255.65535.1'),
                                    ('driver', 'driver_name', 'drivers\\Setup (1).exe'),
                                    ('itk', 'itk_run_file', 'Norvo_PCSuiteIII.exe'), ('itk', 'itk_run_file', ''),
                                    ('driver', 'driver_type', ' emp ')):
            found, _ = packages_of(config_with(section, key, value))
            self.assertEqual([i.kind for i in found][:2], ['setup', 'setup'], '%s=%r' % (key, value))

    def test_one_file_for_two_installers_is_refused(self):
        with self.assertRaises(packages.PackageError):
            packages.installers_of(config_with('itk', 'itk_setup', 'driversetup.EXE'), False)

    def test_the_outdated_role_gets_the_old_version_and_the_remover_its_family(self):
        found = {i.name: i for i in packages.installers_of(CONFIG, False, older=('driver',))}
        self.assertEqual(found['DriverSetup.exe'].package.version, packages.OUTDATED_VERSION)
        self.assertEqual(found['InternetKitSetup.exe'].package.version, '3.0.2.1')
        self.assertEqual(found['UninstallMSI.exe'].codes, packages.QCT_CODES)
        emp = config_with('driver', 'driver_type', 'EMP')
        emp['driver']['emp_uninstall_linkfile'] = 'tools\\UninstallEMP.exe'
        names = {i.name: i for i in packages.installers_of(emp, True)}
        self.assertNotIn('UninstallMSI.exe', names)
        self.assertEqual(names['tools\\UninstallEMP.exe'].codes, (packages.EMP_CODE,))
        self.assertIn('Norvo64', names['DriverSetup.exe'].package.folder)


class PackageSourceTests(unittest.TestCase):
    def components(self, x64):
        package = packages.installers_of(CONFIG, False)[0].package
        root = ElementTree.fromstring(package_sources.wix_source(package, x64).split('\n', 1)[1])
        return root, root.findall('.//{%s}Component' % package_sources.WIX)

    def test_a_64_bit_package_puts_everything_in_the_64_bit_places(self):
        root, components = self.components(True)
        self.assertTrue(components and all(c.get('Win64') == 'yes' for c in components))
        ids = {d.get('Id') for d in root.iter('{%s}Directory' % package_sources.WIX)}
        self.assertTrue({'ProgramFiles64Folder', 'System64Folder'} <= ids, ids)
        self.assertFalse({'ProgramFilesFolder', 'SystemFolder'} & ids, ids)

    def test_a_32_bit_package_does_not(self):
        root, components = self.components(False)
        self.assertFalse([c for c in components if c.get('Win64')])
        ids = {d.get('Id') for d in root.iter('{%s}Directory' % package_sources.WIX)}
        self.assertTrue({'ProgramFilesFolder', 'SystemFolder'} <= ids, ids)

    def test_component_codes_stay_from_one_version_to_the_next(self):
        # Windows Installer matches the components of an upgrade by their codes.
        old = packages.installers_of(CONFIG, False, older=('driver',))[0].package
        new = packages.installers_of(CONFIG, False)[0].package
        codes = [[c.get('Guid') for c in ElementTree.fromstring(package_sources.wix_source(p, False).split('\n', 1)[1])
                  .iter('{%s}Component' % package_sources.WIX)] for p in (old, new)]
        self.assertEqual(codes[0], codes[1])
        self.assertEqual(len(set(codes[0])), len(codes[0]))


class PlacingTests(unittest.TestCase):
    """Where the made installers go on the presented CD (the making itself is the tools' part)."""

    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.folder)
        with open(os.path.join(self.folder, 'config.ini'), 'w') as f:
            f.write('[DRIVER]\ndriver_name=DriverSetup.exe\ndriver_version=2.1.0.4\n'
                    '[ITK]\nitk_setup=tools\\InternetKitSetup.exe\nitk_type=1\nitk_version=3.0.2.1\n')
        self.made = os.path.join(self.folder, '..', os.path.basename(self.folder) + '-made.exe')
        self.addCleanup(lambda: os.path.exists(self.made) and os.remove(self.made))
        maker = unittest.mock.patch.object(installers.Maker, 'made', lambda maker, installer: self.write_made(installer))
        maker.start()
        self.addCleanup(maker.stop)

    def write_made(self, installer):
        with open(self.made, 'w') as f:
            f.write('made: %s %s\n' % (installer.name, installer.package.version if installer.package else ''))
        return self.made

    def text(self, *parts):
        with open(os.path.join(self.folder, *parts), 'rb') as f:
            return f.read()

    def test_stand_ins_are_replaced_and_a_makers_own_installer_stays(self):
        with open(os.path.join(self.folder, 'DriverSetup.exe'), 'wb') as f:
            f.write(b'MZ' + image.SIM_MARKER)
        with open(os.path.join(self.folder, 'UNINSTALLMSI.EXE'), 'wb') as f:
            f.write(b'MZ the maker\'s own')
        real = installers.RealInstallers('real', 'win32', self.folder)
        notes = real.place(self.folder, 'x86')
        self.assertEqual(self.text('DriverSetup.exe'), b'made: DriverSetup.exe 2.1.0.4\n')
        self.assertEqual(self.text('tools', 'InternetKitSetup.exe'), b'made: tools\\InternetKitSetup.exe 3.0.2.1\n')
        self.assertEqual(self.text('UNINSTALLMSI.EXE'), b'MZ the maker\'s own')
        self.assertEqual(sum('ran as they are: UninstallMSI.exe' in n for n in notes), 1, notes)

    def test_placing_again_replaces_what_the_run_placed_itself(self):
        # The outdated PC: the old package's setup for the earlier run, then the new one.
        real = installers.RealInstallers('real', 'win32', self.folder)
        real.place(self.folder, 'x86', older=('driver',))
        self.assertEqual(self.text('DriverSetup.exe'), b'made: DriverSetup.exe 0.1.0.0\n')
        notes = real.place(self.folder, 'x86')
        self.assertEqual(self.text('DriverSetup.exe'), b'made: DriverSetup.exe 2.1.0.4\n')
        self.assertFalse([n for n in notes if 'ran as they are' in n], notes)

    def test_a_makers_own_setup_needs_no_package_of_its_values(self):
        with open(os.path.join(self.folder, 'config.ini'), 'w') as f:
            f.write('[DRIVER]\ndriver_name=DriverSetup.exe\ndriver_version=2.1.0.4 (build 7)\n'
                    '[ITK]\nitk_setup=tools\\InternetKitSetup.exe\nitk_type=1\nitk_version=3.0.2.1\n')
        with open(os.path.join(self.folder, 'DriverSetup.exe'), 'wb') as f:
            f.write(b'MZ the maker\'s own')
        installers.RealInstallers('real', 'win32', self.folder).place(self.folder, 'x86')
        self.assertEqual(self.text('DriverSetup.exe'), b'MZ the maker\'s own')
        self.assertEqual(self.text('tools', 'InternetKitSetup.exe'), b'made: tools\\InternetKitSetup.exe 3.0.2.1\n')
        os.remove(os.path.join(self.folder, 'DriverSetup.exe'))
        with self.assertRaises(packages.PackageError):
            installers.RealInstallers('real', 'win32', self.folder).place(self.folder, 'x86')

    def test_nothing_is_placed_when_a_later_value_is_refused(self):
        with open(os.path.join(self.folder, 'config.ini'), 'w') as f:
            f.write('[DRIVER]\ndriver_name=DriverSetup.exe\ndriver_version=2.1.0.4\n'
                    '[ITK]\nitk_setup=InternetKitSetup.exe\nitk_type=1\nitk_version=$(env.HOME)\n')
        with self.assertRaises(packages.PackageError):
            installers.RealInstallers('real', 'win32', self.folder).place(self.folder, 'x86')
        self.assertEqual(os.listdir(self.folder), ['config.ini'])

    def test_an_image_without_config_ini_is_refused(self):
        os.remove(os.path.join(self.folder, 'config.ini'))
        with self.assertRaises(packages.PackageError):
            installers.RealInstallers('real', 'win32', self.folder).place(self.folder, 'x86')


ENTRY = 'machine\\Software\\%sMicrosoft\\Windows\\CurrentVersion\\Uninstall\\%s'


class RecordedPackagesTests(unittest.TestCase):
    """What the verdict makes of the uninstall entries a run added, changed and removed."""

    def result(self, registry, processes=()):
        return {'settings': {'installers': 'real'}, 'registry': registry,
                'program': {'profile': {'driver_name': 'DriverSetup.exe', 'itk_setup': 'InternetKitSetup.exe',
                                        'itk_run_file': 'InternetKit.exe'}},
                'run': {'processes': list(processes)}}

    def test_installed_replaced_and_removed_products_in_either_view(self):
        registry = {'added': [{'key': ENTRY % ('Wow6432Node\\', packages.NORVO_KIT_CODE.lower()),
                               'values': {'DisplayVersion': '"3.0.2.1"'}},
                              {'key': ENTRY % ('', '{00000000-0000-0000-0000-000000000000}'),
                               'values': {'DisplayVersion': '"9"'}}],
                    'changed': [{'key': ENTRY % ('', packages.QCT_DRIVERS_CODE), 'name': 'DisplayVersion',
                                 'old': '"0.1.0.0"', 'new': '"2.1.0.4"'},
                                {'key': ENTRY % ('', packages.EMP_CODE), 'name': 'InstallDate', 'old': '"1"',
                                 'new': '"2"'}],
                    'removed': [ENTRY % ('', packages.QCT_DRIVER_CODE)]}
        changes = observed.package_changes(self.result(registry))
        self.assertEqual(sorted((c['role'], c['code'], c['wow6432node'], c['version'], c['before'], c['change'])
                                for c in changes),
                         [('driver', packages.QCT_DRIVER_CODE, False, None, None, 'removed'),
                          ('driver', packages.QCT_DRIVERS_CODE, False, '2.1.0.4', '0.1.0.0', 'replaced'),
                          ('kit', packages.NORVO_KIT_CODE, True, '3.0.2.1', None, 'installed')])
        installed, removed, kit, failures = verdict.package_clauses(self.result(registry))
        self.assertEqual(installed, 'installed the driver (QCT 2.1.0.4 in place of 0.1.0.0) and the kit (3.0.2.1)')
        self.assertEqual(removed, 'removed the driver (QCT)')
        self.assertEqual((kit, failures), (None, []))
        self.assertEqual(pc_matrix.installed_text(self.result(registry)),
                         'driver QCT 2.1.0.4 (in place of 0.1.0.0), removed driver QCT, kit 3.0.2.1')

    def test_failed_setups_and_the_kits_start_come_from_the_robots_record(self):
        processes = [{'name': 'DriverSetup.exe', 'command': '"R:\\DriverSetup.exe"', 'code': '1638', 'start': 1,
                      'end': 2},
                     {'name': 'msiexec.exe', 'command': 'msiexec /i x.msi', 'code': '1638', 'start': 1, 'end': 2},
                     {'name': 'InternetKitSetup.exe', 'command': '"R:\\InternetKitSetup.exe"', 'code': None,
                      'start': 2, 'end': None},
                     {'name': 'InternetKit.exe', 'command': '"C:\\Program Files\\K\\InternetKit.exe" -aik',
                      'code': '0', 'start': 3, 'end': 4}]
        installed, removed, kit, failures = verdict.package_clauses(
            self.result({'added': [], 'changed': [], 'removed': []}, processes))
        self.assertEqual((installed, removed), (None, None))
        self.assertEqual(kit, 'started the kit (InternetKit.exe -aik)')
        self.assertEqual(failures, ['DriverSetup.exe failed (exit code 1638)'])


class InstallerOptionTests(unittest.TestCase):
    def test_real_installers_refuse_what_needs_the_stand_ins(self):
        for argv in (['--installers', 'real', '--fault', faults.names()[0]], ['--installers', 'real-nowait', '--stand-ins',
                                                                        '--matrix']):
            with self.assertRaises(SystemExit, msg=argv):
                with unittest.mock.patch('sys.stderr'):
                    options.parse(argv)
        self.assertEqual(options.parse(['--installers', 'real-nowait']).installers, 'real-nowait')
        self.assertEqual(options.parse([]).installers, 'stand-ins')


class SetupWaitCheckTests(unittest.TestCase):
    """The end-to-end check that a real setup waited for its msiexec, over records as the robot
    gives them: it sees ends at its looks at the processes, and two ends seen in one look come in
    the order of their process numbers (the setup's first), which the run may read in two passes."""

    @staticmethod
    def failures(setup_end, msiexec_end, waits):
        import e2e
        processes = [{'name': 'DriverSetup.exe', 'pid': '10', 'parent': '5', 'command': 'DriverSetup.exe',
                      'code': '0', 'start': 1.0, 'end': setup_end},
                     {'name': 'msiexec.exe', 'pid': '11', 'parent': '10', 'command': 'msiexec.exe /i driver.msi /qn',
                      'code': '0', 'start': 1.1, 'end': msiexec_end}]
        checks = e2e.Checks({'run': {'processes': processes}})
        e2e.check_real_setup(checks, 'DriverSetup.exe', waits, then=max(setup_end, msiexec_end))
        return checks.failures

    def test_a_waiting_setup_passes_when_the_robot_saw_both_ends_in_one_look(self):
        for setup_end, msiexec_end in ((1.74, 1.80), (1.80, 1.80), (2.5, 1.8)):
            with self.subTest(setup=setup_end, msiexec=msiexec_end):
                self.assertEqual(self.failures(setup_end, msiexec_end, waits=True), [])

    def test_a_setup_that_ended_long_before_its_msiexec_did_not_wait(self):
        self.assertTrue(self.failures(0.9, 1.8, waits=True))
        self.assertEqual(self.failures(0.9, 1.8, waits=False), [])
        self.assertTrue(self.failures(1.8, 1.8, waits=False))


if __name__ == '__main__':
    unittest.main()
