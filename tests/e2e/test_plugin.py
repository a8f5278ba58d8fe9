"""The plug-in run's decisions that need no Wine: its options, the files it reads and writes,
the registry and file differences, and the pairwise choice of the end-to-end matrix."""
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import unittest.mock

from plugin import faults, image, logs, matrix, options, report, snapshot


class AnswerPolicyTests(unittest.TestCase):
    def test_a_plain_answer_is_the_default_for_every_box(self):
        self.assertEqual(options.parse_answer_policy('cancel'), ('cancel', []))
        self.assertEqual(options.parse_answer_policy(' OK '), ('ok', []))

    def test_rules_keep_their_order_and_the_default_may_stand_anywhere(self):
        self.assertEqual(options.parse_answer_policy('autoplay=ok,cancel,not installed=ok'),
                         ('cancel', [('autoplay', 'ok'), ('not installed', 'ok')]))

    def test_the_last_equals_sign_separates_text_and_answer(self):
        self.assertEqual(options.parse_answer_policy('a=b=cancel'), ('ok', [('a=b', 'cancel')]))

    def test_anything_else_is_refused(self):
        for bad in ('', 'yes', 'text=maybe', '=ok', 'ok,text='):
            with self.assertRaises(options.OptionError, msg=bad):
                options.parse_answer_policy(bad)


class ReplyTests(unittest.TestCase):
    def test_result_and_bytes_in_the_usual_spellings(self):
        for text in ('3,4C 07 D0', '3:4C07D0', '3 4c 07 d0', '3,0x4C07D0'):
            self.assertEqual(options.parse_reply(text), (3, [0x4C, 0x07, 0xD0]), text)

    def test_missing_bytes_are_zero_and_results_may_be_negative(self):
        self.assertEqual(options.parse_reply('-3'), (-3, [0, 0, 0]))
        self.assertEqual(options.parse_reply('2,4C'), (2, [0x4C, 0, 0]))

    def test_more_than_three_bytes_odd_digits_and_non_hex_are_refused(self):
        for bad in ('3,01020304', '3,4C0', '3,GG', 'x', '99999999999'):
            with self.assertRaises(options.OptionError, msg=bad):
                options.parse_reply(bad)


class AutorunTests(unittest.TestCase):
    def test_the_open_line_of_the_autorun_section(self):
        text = '[other]\r\nopen=wrong.exe\r\n[AutoRun]\r\n; comment\r\nicon=x.ico\r\nOPEN = setup\\Start.exe -q\r\n'
        self.assertEqual(image.autorun_open(text), ('setup\\Start.exe', '-q'))

    def test_a_quoted_program_keeps_its_blanks(self):
        self.assertEqual(image.autorun_open('[autorun]\nopen="My Setup.exe" /x'), ('My Setup.exe', '/x'))

    def test_no_open_line_names_nothing(self):
        self.assertIsNone(image.autorun_open('[autorun]\nicon=a.ico\n'))
        self.assertIsNone(image.autorun_open('open=Plugstart.exe\n'))

    def test_a_64_bit_windows_reads_its_own_section_in_place_of_the_common_one(self):
        both = '[AutoRun]\r\nopen=Plugstart.exe\r\n[AutoRun.Amd64]\r\nopen=x64\\Plugstart.exe /64\r\n'
        self.assertEqual(image.autorun_start(both, 'win64'), ('x64\\Plugstart.exe', '/64', '[AutoRun.Amd64] open='))
        self.assertEqual(image.autorun_start(both, 'win32'), ('Plugstart.exe', '', '[AutoRun] open='))
        # The 64-bit section is read whole: an icon alone there starts nothing, [AutoRun] or not.
        self.assertIsNone(image.autorun_start('[AutoRun]\nopen=Plugstart.exe\n[autorun.amd64]\nicon=a.ico\n', 'win64'))

    def test_shellexecute_is_started_before_open(self):
        text = '[AutoRun]\r\nopen=Old.exe\r\nshellexecute="New Setup.exe" -a\r\n'
        for arch in ('win32', 'win64'):
            self.assertEqual(image.autorun_start(text, arch), ('New Setup.exe', '-a', '[AutoRun] shellexecute='))
        self.assertEqual(image.autorun_start('[AutoRun]\nshellexecute=\nopen=Plugstart.exe\n'),
                         ('Plugstart.exe', '', '[AutoRun] open='))


class IniTests(unittest.TestCase):
    def test_values_are_replaced_in_place_added_to_their_section_or_in_a_new_one(self):
        text = '; head\r\n[ITK]\r\nitk_type=1\r\nitk_setup=Kit.exe\r\n; note\r\n[FILES]\r\nfilecount=2\r\n'
        changed = image.set_ini_values(text, {'itk': {'ITK_TYPE': '3'}, 'FILES': {'file02': 'x.exe'},
                                              'NEW': {'k': 'v'}})
        self.assertEqual(changed.split('\r\n'), ['; head', '[ITK]', 'ITK_TYPE=3', 'itk_setup=Kit.exe', '; note',
                                                 '[FILES]', 'filecount=2', 'file02=x.exe', '[NEW]', 'k=v', ''])

    def test_commented_keys_stay_comments(self):
        changed = image.set_ini_values('[device]\r\n;mode=modem\r\n', {'device': {'mode': 'cdrom'}})
        self.assertEqual(changed, '[device]\r\n;mode=modem\r\nmode=cdrom\r\n')

    def test_sections_and_keys_are_read_in_lower_case_and_the_first_of_a_key_counts(self):
        text = ('stray=1\r\n[Device]\r\nMode = modem \r\nmode=cdrom\r\n ;fail=1\r\n[other]\r\nk=a=b\r\n'
                '[DEVICE]\r\nfail=2\r\n')
        self.assertEqual(image.read_ini(text), {'device': {'mode': 'modem', 'fail': '2'}, 'other': {'k': 'a=b'}})

    def test_the_device_state_written_over_an_earlier_one_is_the_state_written_once(self):
        own = '; the image\'s own\r\n[device]\r\nreply_bytes=4C 07 D0\r\nextra=1\r\n'
        written = []
        for states in ([{'deny_direct': '0', 'reply_result': '2'}, {'deny_direct': '1'}], [{'deny_direct': '1'}]):
            with tempfile.TemporaryDirectory() as folder:
                with open(os.path.join(folder, 'plugstart_sim.ini'), 'w', newline='') as f:
                    f.write(own)
                for state in states:
                    self.assertTrue(image.write_device_state(folder, state))
                written.append(image.read_text(os.path.join(folder, 'plugstart_sim.ini')))
        self.assertEqual(written[0], written[1])
        self.assertEqual(written[0].split('\r\n')[:4], ['; the image\'s own', '[device]', 'reply_bytes=3F 03 E8',
                                                        'extra=1'])
        self.assertEqual(image.read_ini(written[0])['device']['deny_direct'], '1')

    def test_text_files_in_utf16_and_with_a_bom_are_read(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, 'a.ini')
            with open(path, 'wb') as f:
                f.write(b'\xff\xfe' + '[a]\r\nk=\u00e9\r\n'.encode('utf-16-le'))
            self.assertEqual(image.read_text(path), '[a]\r\nk=\u00e9\r\n')


class DeviceLibraryTests(unittest.TestCase):
    def test_the_simulated_device_is_told_by_its_state_folder_name(self):
        with tempfile.TemporaryDirectory() as folder:
            real, sim = os.path.join(folder, 'real.dll'), os.path.join(folder, 'sim.dll')
            with open(real, 'wb') as f:
                f.write(b'MZ' + b'plugstart_sim' + b'\0' * 100)  # 8-bit text: not the marker
            with open(sim, 'wb') as f:
                f.write(b'MZ' + 'C:\\plugstart_sim\\'.encode('utf-16-le'))
            self.assertFalse(image.is_simulated_device(real))
            self.assertTrue(image.is_simulated_device(sim))


def write_program(path, machine=0x14c):
    """A file that reads as a Windows program of machine (the loader's headers only)."""
    head = bytearray(0x80)
    head[:2] = b'MZ'
    struct.pack_into('<I', head, 60, 0x40)
    head[0x40:0x46] = b'PE\0\0' + struct.pack('<H', machine)
    write_file(path, bytes(head))


def write_file(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)


def read_file(path):
    with open(path, 'rb') as f:
        return f.read()


class ImageRefusalTests(unittest.TestCase):
    """A user's image or ISO is presented as a copy inside the run's folder: an image with
    symbolic links, or whose autorun.inf starts a program outside it, is refused before anything
    is written, and nothing outside the run's folder changes."""

    HOST_TEXT = b'[host]\r\nthe host\'s own file\r\n'
    REAL_LIBRARY = b'MZ a real device library'

    def setUp(self):
        self.temp = tempfile.mkdtemp(prefix='image-refusal-')
        self.addCleanup(shutil.rmtree, self.temp)
        self.sim = os.path.join(self.temp, 'sim', 'Devpoke.dll')
        write_file(self.sim, b'MZ' + 'C:\\plugstart_sim\\'.encode('utf-16-le'))
        self.run_dir = os.path.join(self.temp, 'run')
        self.target = os.path.join(self.run_dir, 'cdrom-r')
        self.host = os.path.join(self.temp, 'host.ini')
        write_file(self.host, self.HOST_TEXT)

    def image(self, open_line='Plugstart.exe'):
        folder = os.path.join(self.temp, 'image')
        shutil.rmtree(folder, ignore_errors=True)
        write_file(os.path.join(folder, 'autorun.inf'), ('[autorun]\r\nopen=%s\r\n' % open_line).encode())
        write_program(os.path.join(folder, 'Plugstart.exe'))
        write_file(os.path.join(folder, 'Devpoke.dll'), self.REAL_LIBRARY)
        write_file(os.path.join(folder, 'config.ini'), b'[ITK]\r\nitk_type=1\r\n')
        return folder

    def present(self, source):
        return image.present_image(source, self.target, {'x86': self.sim}, {}, {'ITK': {'itk_type': '2'}})

    def assertRefused(self, source, words):
        with self.assertRaises(image.ImageError) as raised:
            self.present(source)
        self.assertIn(words, str(raised.exception))
        self.assertEqual(self.HOST_TEXT, read_file(self.host), 'the host\'s file was written through a link')

    def test_a_folder_with_a_symbolic_link_is_refused(self):
        for name in ('config.ini', os.path.join('tools', 'lang_AutoRun_eng.opt')):
            with self.subTest(link=name):
                folder = self.image()
                link = os.path.join(folder, name)
                os.makedirs(os.path.dirname(link), exist_ok=True)
                if os.path.exists(link):
                    os.remove(link)
                os.symlink(self.host, link)
                self.assertRefused(folder, 'symbolic link')
        folder = self.image()
        os.symlink(self.temp, os.path.join(folder, 'tools'))  # a folder link
        self.assertRefused(folder, 'symbolic link')

    @unittest.skipUnless(shutil.which('xorriso'), 'xorriso writes the test CD')
    def test_an_iso_with_a_symbolic_link_is_refused_and_nothing_is_written_through_it(self):
        folder = self.image()
        os.remove(os.path.join(folder, 'config.ini'))
        os.symlink(self.host, os.path.join(folder, 'config.ini'))
        iso = os.path.join(self.temp, 'linked.iso')
        subprocess.run(['xorriso', '-as', 'mkisofs', '-quiet', '-R', '-J', '-o', iso, folder], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.assertRefused(iso, 'symbolic link')

    def test_an_open_line_that_leaves_the_image_is_refused(self):
        # A program and a device library beside the run's folder, where such a line leads.
        outside = os.path.join(self.run_dir, 'outside')
        write_program(os.path.join(outside, 'Plugstart.exe'))
        write_file(os.path.join(outside, 'Devpoke.dll'), self.REAL_LIBRARY)
        write_file(os.path.join(outside, 'config.ini'), b'[ITK]\r\nitk_type=1\r\n')
        absolute = outside.replace('/', '\\') + '\\Plugstart.exe'
        for line in ('..\\outside\\Plugstart.exe', '"tools\\..\\..\\outside\\Plugstart.exe"', absolute,
                     'C:\\outside\\Plugstart.exe', '/' + os.path.relpath(os.path.join(outside, 'Plugstart.exe'), '/')):
            with self.subTest(open=line):
                folder = self.image(line)
                with self.assertRaises(image.ImageError) as raised:
                    self.present(folder)
                self.assertIn('leaves the image', str(raised.exception))
                self.assertEqual(self.REAL_LIBRARY, read_file(os.path.join(outside, 'Devpoke.dll')))
                self.assertEqual(b'[ITK]\r\nitk_type=1\r\n', read_file(os.path.join(outside, 'config.ini')))

    def test_a_fifo_a_device_or_a_socket_in_an_image_folder_is_refused_before_anything_opens_it(self):
        # In a process of its own: the run as it was waited for ever on the FIFO.
        code = ('import sys; sys.path[:0] = %r\n'
                'from plugin import image, pc_matrix\n'
                'for refuse in (lambda: image.present_image(sys.argv[1], sys.argv[2], {}, {}, {}),\n'
                '               lambda: pc_matrix.kit_type_of(image.image_folder(sys.argv[1]))):\n'
                '    try:\n'
                '        refuse()\n'
                '    except image.ImageError as e:\n'
                '        print(e)\n' % [os.path.dirname(os.path.dirname(image.__file__))])
        folder = self.image()
        os.remove(os.path.join(folder, 'config.ini'))
        os.mkfifo(os.path.join(folder, 'config.ini'))
        try:
            done = subprocess.run([sys.executable, '-c', code, folder, self.target], capture_output=True, text=True,
                                  timeout=30)
        except subprocess.TimeoutExpired:
            self.fail('a FIFO named config.ini held the run for 30 s')
        self.assertEqual(done.stdout.count('config.ini (a FIFO (named pipe)): an image holds only files and folders'),
                         2, done.stdout + done.stderr)
        self.assertFalse(os.path.exists(self.target))

    @unittest.skipUnless(shutil.which('xorriso'), 'xorriso writes the test CD')
    def test_an_iso_is_presented_as_windows_reads_it_and_where_linux_reads_another_cd_the_notes_say_so(self):
        from plugin import hostile_images
        folder = self.image()
        iso = os.path.join(self.temp, 'two-trees.iso')
        hostile_images.write_differing_iso(folder, iso, '[autorun]\r\nopen=Plugstart.exe\r\n',
                                           '[autorun]\r\nopen=Setup.exe\r\n')
        presented = self.present(iso)
        self.assertEqual((presented.program, presented.entry), ('Plugstart.exe', '[AutoRun] open='))
        self.assertEqual(read_file(os.path.join(self.target, 'autorun.inf')), b'[autorun]\r\nopen=Plugstart.exe\r\n')
        self.assertTrue(os.path.exists(os.path.join(self.target, hostile_images.RENAMED_FOR_WINDOWS[1])))
        differ = [n for n in presented.notes if n.startswith('the CD\'s two trees differ')]
        self.assertEqual(len(differ), 1, presented.notes)
        for name in ('autorun.inf: other data in each tree', hostile_images.MARKUP_NAME[1]):
            self.assertIn(name, differ[0])

    def test_a_64_bit_pc_starts_what_the_64_bit_section_names(self):
        folder = self.image()
        write_program(os.path.join(folder, 'x64', 'Plugstart.exe'))
        write_file(os.path.join(folder, 'autorun.inf'), b'[autorun]\r\nopen=Plugstart.exe\r\n'
                                                        b'[AutoRun.Amd64]\r\nshellexecute=x64\\Plugstart.exe\r\n')
        presented = image.present_image(folder, self.target, {'x86': self.sim}, {}, {}, arch='win64')
        self.assertEqual((presented.program, presented.entry), ('x64\\Plugstart.exe', '[AutoRun.Amd64] shellexecute='))
        self.assertIn('Windows starts the program that autorun.inf names in [AutoRun.Amd64] shellexecute=',
                      presented.notes)
        write_file(os.path.join(folder, 'autorun.inf'), b'[autorun]\r\nopen=Plugstart.exe\r\n'
                                                        b'[AutoRun.Amd64]\r\nopen=..\\Plugstart.exe\r\n')
        with self.assertRaises(image.ImageError) as raised:
            image.present_image(folder, self.target, {'x86': self.sim}, {}, {}, arch='win64')
        self.assertIn('leaves the image', str(raised.exception))

    def test_a_plain_image_is_presented_with_the_simulated_device(self):
        presented = self.present(self.image('"Plugstart.exe"'))
        self.assertEqual('Plugstart.exe', presented.program)
        self.assertEqual(read_file(self.sim), read_file(os.path.join(self.target, 'Devpoke.dll')))
        self.assertIn('itk_type=2', image.read_text(os.path.join(self.target, 'config.ini')))


class ReportFolderTests(unittest.TestCase):
    """--report-dir DIR: a run replaces what an earlier run wrote there and nothing else."""

    def result(self, shots_dir, count):
        shots = []
        for number in range(1, count + 1):
            path = os.path.join(shots_dir, '%02d.png' % number)
            write_file(path, b'\x89PNG\r\n\x1a\n' + bytes([number]))
            shots.append({'t': float(number), 'file': path, 'reason': 'shot %d' % number})
        return {'outcome': 'finished', 'error': None, 'notes': [], 'prepared_by': [],
                'settings': {'image': 'image', 'windows': 'xp', 'arch': 'win32', 'state': 'clean',
                             'limited_user': False, 'reply': None, 'answer': {'default': 'ok', 'rules': []},
                             'timeout': 60, 'config': {}, 'programs_script': {}, 'second_drive': False,
                             'locale': None},
                'run': {'label': 'the plug-in', 'outcome': 'finished', 'duration': 1.0, 'events': [], 'boxes': [],
                        'commands': [], 'programs': [], 'processes': [], 'launchers': [], 'trace': [],
                        'screenshots': shots, 'robot_error': None},
                'registry': None, 'files': None, 'staging': None, 'device_state': {}, 'program': None}

    def test_files_of_others_in_the_folder_survive_and_an_earlier_runs_are_replaced(self):
        with tempfile.TemporaryDirectory() as temp:
            folder = os.path.join(temp, 'reports')
            foreign = [os.path.join(folder, 'notes.txt'), os.path.join(folder, 'screenshots', 'mine.png'),
                       os.path.join(folder, 'screenshots', 'old', 'kept.txt')]
            for path in foreign:
                write_file(path, b'not the run\'s')
            report.write_report(self.result(os.path.join(temp, 'run1'), 3), folder)
            self.assertTrue(os.path.exists(os.path.join(folder, 'screenshots', '03.png')))
            report.write_report(self.result(os.path.join(temp, 'run2'), 1), folder)
            for path in foreign:
                self.assertEqual(b'not the run\'s', read_file(path), path)
            shots = sorted(os.listdir(os.path.join(folder, 'screenshots')))
            self.assertEqual(['01.png', 'mine.png', 'old'], shots)
            self.assertEqual(b'\x89PNG\r\n\x1a\n\x01', read_file(os.path.join(folder, 'screenshots', '01.png')))


ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


class FaultTests(unittest.TestCase):
    """The faults of the plug-in run: each one can be asked for by name and is listed by --help,
    and a broken file is broken the way its fault says, no more."""

    def test_every_fault_is_asked_for_by_a_name_of_its_own_and_listed_by_the_help(self):
        names = faults.names()
        self.assertEqual(len(names), len(set(names)))
        text = options.build_parser().format_help()
        for name in names:
            self.assertEqual(name, options.parse(['--fault', name]).fault)
            self.assertIn(name, text)
        with open(os.devnull, 'w') as quiet:
            saved, sys.stderr = sys.stderr, quiet
            try:
                with self.assertRaises(SystemExit):
                    options.parse(['--fault', 'no-such-fault'])
            finally:
                sys.stderr = saved

    def test_a_broken_config_is_broken_only_as_its_fault_says(self):
        with open(os.path.join(ROOT, 'device', 'config.ini'), 'rb') as f:
            config = f.read()
        sample = image.read_ini(config.decode('ascii'))
        padded = faults.padded_config(config)
        self.assertGreaterEqual(len(padded), 10 * 1024 * 1024)
        read = image.read_ini(padded.decode('ascii'))
        self.assertEqual(sample['itk'], read['itk'])  # the settings are all there, after the padding
        self.assertEqual(sample['files'], read['files'])
        unmarked = faults.utf16_without_mark(config)
        self.assertFalse(unmarked.startswith(b'\xff\xfe'))
        self.assertEqual(config, unmarked.decode('utf-16-le').encode('ascii'))
        cut = image.read_ini(faults.without_sections(config, (b'DRIVER', b'ITK')).decode('ascii'))
        self.assertEqual(sorted(set(sample) - {'driver', 'itk'}), sorted(cut))
        self.assertEqual(sample['files'], cut['files'])

    def test_a_mount_the_host_forbids_skips_the_fault_with_the_reason(self):
        with tempfile.TemporaryDirectory() as temp:
            templates = os.path.join(temp, 'users', 'tester', 'AppData', 'Roaming', 'Microsoft', 'Windows',
                                     'Templates')
            os.makedirs(templates)
            run = unittest.mock.Mock()
            run.prefix.user_folder.return_value = os.path.join(temp, 'users', 'tester')
            run.prefix.path = temp  # its drive C: is the folder itself
            run.prefix.unix_path.side_effect = lambda path: os.path.join(temp, path[3:].replace('\\', '/'))
            for euid, mount, words in ((1000, None, 'needs root'),
                                       (0, (32, 'mount: permission denied'), 'mount: permission denied')):
                for name in ('staging-disk-full', 'staging-read-only'):
                    with self.subTest(fault=name, euid=euid), \
                            unittest.mock.patch.object(faults.os, 'geteuid', return_value=euid), \
                            unittest.mock.patch.object(faults, '_mount', return_value=mount), \
                            unittest.mock.patch.object(faults.MountedTemplates, 'size_for_first_files',
                                                       return_value=65536):
                        fault = faults.make(name)
                        with self.assertRaises(faults.FaultSkipped) as raised:
                            fault.prepare(run)
                        self.assertIn(words, str(raised.exception))
                        fault.cleanup(run)  # nothing was mounted: nothing to undo
                        self.assertIsNone(fault.mounted)

    def test_a_broken_language_file_is_broken_only_as_its_fault_says(self):
        text = '[STRING]\r\nSTR_STRING_TITLE=Title\r\nSTR_STRING_BTN_OK=OK\r\nSTR_STRING_ERROR_SCSI_0_1=Gone\r\n'
        data = b'\xff\xfe' + text.encode('utf-16-le')
        truncated = faults.truncated_language(data)
        self.assertEqual(1, len(truncated) % 2)
        self.assertTrue(data.startswith(truncated))
        self.assertLess(len(truncated), len(data) // 2 + 2)
        kept = faults.language_without_keys(data)
        self.assertEqual('[STRING]\r\nSTR_STRING_BTN_OK=OK\r\n', kept[2:].decode('utf-16-le'))
        self.assertTrue(kept.startswith(b'\xff\xfe'))
        self.assertEqual(text.encode('utf-16-le'), faults.language_without_mark(data))


class LogTailTests(unittest.TestCase):
    def test_only_complete_lines_and_a_file_written_anew_is_read_from_its_start(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, 'log')
            tail = logs.LogTail(path)
            self.assertEqual(tail.read(), [])
            with open(path, 'wb') as f:
                f.write(b'one\r\ntw')
            self.assertEqual(tail.read(), ['one'])
            with open(path, 'ab') as f:
                f.write(b'o\r\n')
            self.assertEqual(tail.read(), ['two'])
            with open(path, 'wb') as f:
                f.write(b'new\n')
            self.assertEqual(tail.read(), ['new'])

    def test_a_stream_s_lines_come_as_they_are_written_and_the_last_one_at_its_end(self):
        import socket
        ours, theirs = socket.socketpair()
        lines = logs.PipeLines(ours.detach())
        theirs.sendall('event=robot-start\r\nevent=window\ttitle=\u00e9t\u00e9\r\nevent=par'.encode('utf-8'))
        deadline = time.monotonic() + 5
        seen = []
        while len(seen) < 2 and time.monotonic() < deadline:
            seen += lines.read()
            time.sleep(0.01)
        self.assertEqual(seen, ['event=robot-start', 'event=window\ttitle=\u00e9t\u00e9'])
        theirs.sendall(b't')
        theirs.close()
        self.assertEqual(lines.read_rest(), ['event=part'])
        self.assertEqual(lines.lines(), seen + ['event=part'])

    def test_fields_split_at_tabs_and_at_the_first_equals_sign(self):
        self.assertEqual(logs.parse_fields('event=window\ttitle=a=b\tbroken\r\n'),
                         {'event': 'window', 'title': 'a=b'})


REG_BEFORE = '''WINE REGISTRY Version 2
;; All keys relative to \\\\Machine

[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall] 1700000000
#time=1d9

[Software\\\\Wine\\\\Ports] 1700000000
"COM1"="/dev/ttyS0"

[System\\\\CurrentControlSet\\\\Services\\\\ShellHWDetection] 1700000000
"Start"=dword:00000002
'''
REG_AFTER = '''WINE REGISTRY Version 2

[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\{2D71E8A5}] 1700000001
"DisplayName"="Norvo Internet Kit"
"Blob"=hex:00,01,\\
  02,03

[Software\\\\Wine\\\\Ports] 1700000000
"COM1"="/dev/ttyS1"

[System\\\\CurrentControlSet\\\\Services\\\\ShellHWDetection] 1700000000
"Start"=dword:00000004
"Quote \\"x\\""="y"
'''


class RegistryTests(unittest.TestCase):
    def test_keys_values_and_continued_lines_of_a_wine_registry_file(self):
        keys = snapshot.parse_wine_registry(REG_AFTER, 'machine')
        kit = keys['machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{2D71E8A5}']
        self.assertEqual(kit, {'DisplayName': '"Norvo Internet Kit"', 'Blob': 'hex:00,01,02,03'})
        self.assertEqual(keys['machine\\System\\CurrentControlSet\\Services\\ShellHWDetection']['Quote "x"'], '"y"')

    def test_the_difference_leaves_out_wines_own_keys_and_parents_that_only_lost_their_line(self):
        before = snapshot.parse_wine_registry(REG_BEFORE, 'machine')
        after = snapshot.parse_wine_registry(REG_AFTER, 'machine')
        diff = snapshot.registry_diff(before, after)
        self.assertEqual([key for key, _ in diff['added']],
                         ['machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{2D71E8A5}'])
        self.assertEqual(diff['removed'], [])
        self.assertEqual(diff['changed'], [
            ('machine\\System\\CurrentControlSet\\Services\\ShellHWDetection', 'Quote "x"', None, '"y"'),
            ('machine\\System\\CurrentControlSet\\Services\\ShellHWDetection', 'Start', 'dword:00000002',
             'dword:00000004')])

    def test_a_key_gone_with_its_subkeys_counts_as_removed(self):
        before = {'machine\\A': {}, 'machine\\A\\B': {'v': '1'}}
        self.assertEqual(snapshot.registry_diff(before, {})['removed'], ['machine\\A', 'machine\\A\\B'])


class FilesTests(unittest.TestCase):
    def test_added_changed_and_removed_files_outside_wines_own_folders(self):
        before = {'a/': (-1, 0), 'a/x': (1, 1), 'a/y': (2, 2), 'windows/temp/t': (1, 1)}
        after = {'a/': (-1, 5), 'a/x': (3, 9), 'a/z': (4, 4), 'windows/temp/u': (1, 1)}
        self.assertEqual(snapshot.files_diff(before, after),
                         {'added': [('a/z', 4)], 'removed': ['a/y'], 'changed': [('a/x', 1, 3)]})


class PairwiseTests(unittest.TestCase):
    def pairs_left(self, cells):
        left = set()
        for cell in matrix.all_cells():
            left |= matrix.pairs_of(cell)
        for cell in cells:
            left -= matrix.pairs_of(cell)
        return left

    def test_every_pair_of_values_is_covered_with_far_fewer_cells_than_the_matrix(self):
        cells = matrix.pairwise_cells()
        self.assertEqual(self.pairs_left(cells), set())
        # Windows x kit type alone has 12 pairs, each needing a cell of its own.
        self.assertLessEqual(len(cells), 14)
        self.assertEqual(len(matrix.all_cells()), 48)

    def test_cells_already_run_count_and_the_choice_is_the_same_every_time(self):
        already = [dict(windows='xp', state='clean', kit=1, family='QCT')]
        cells = matrix.pairwise_cells(already)
        self.assertEqual(self.pairs_left(cells + already), set())
        self.assertNotIn(already[0], cells)
        # Every run of the suite is a new process with its own hashing of strings: the choice
        # must not depend on it.
        program = ('import json; from plugin import matrix; '
                   'print(json.dumps(matrix.pairwise_cells([%r])))' % already[0])
        choices = []
        for seed in ('1', '2'):
            env = dict(os.environ, PYTHONHASHSEED=seed,
                       PYTHONPATH=os.path.dirname(os.path.dirname(os.path.abspath(matrix.__file__))))
            done = subprocess.run([sys.executable, '-c', program], env=env, stdout=subprocess.PIPE, check=True)
            choices.append(json.loads(done.stdout))
        self.assertEqual(choices[0], choices[1])


if __name__ == '__main__':
    unittest.main()
