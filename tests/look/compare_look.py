#!/usr/bin/env python3
"""The look of every dialog state with the stored pictures against the pictures as drawn.

The program stores its bitmaps in a smaller form (8 bits per pixel with a palette, run-length
compressed: scripts/make_assets.py). This test photographs every dialog state twice under Xvfb,
once from LookDemoTrueColour.exe (the pictures as drawn, 24 bits per pixel) and once from
LookDemo.exe (the pictures as the program stores them), and compares the two screenshots pixel by
pixel: no channel of any pixel may differ by more than MAX_COLOUR_STEP of 255, a step that no
person can see. The states: the main dialog's status in each of its four states, the staging
dialog, the PC-suite guide with and without its Download button; each photographed eight times,
with animation frame k and every button on frame k % 4 (normal, hover, pressed, disabled).

    compare_look.py --build-dir build/test [--keep]
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'scripts'))
from plugin.wine import Prefix, pe_machine  # noqa: E402

MAX_COLOUR_STEP = 2
PICTURES = 8
# Screenshots with fewer colours than this are no photograph of a dialog (a black screen, say).
MIN_COLOURS = 20
CASES = [
    ('status-initial', ['status', 'initial'], True),
    ('status-driver', ['status', 'driver'], True),
    ('status-kit', ['status', 'kit'], True),
    ('status-launching', ['status', 'launching'], True),
    ('staging', ['staging', 'initial'], True),
    ('guide-with-download', ['guide', 'initial'], True),
    ('guide-without-download', ['guide', 'initial'], False),
]
FORMS = [('drawn', 'LookDemoTrueColour.exe'), ('stored', 'LookDemo.exe')]


def read_bmp(path):
    """(width, height, rows of (r, g, b) from the top) of a 24-bit uncompressed BMP file."""
    with open(path, 'rb') as f:
        data = f.read()
    offset = struct.unpack_from('<I', data, 10)[0]
    width, height, _, bits, compression = struct.unpack_from('<iiHHI', data, 18)
    if bits != 24 or compression != 0:
        raise ValueError('%s: not a 24-bit uncompressed bitmap' % path)
    row_size = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        start = offset + y * row_size
        raw = data[start:start + width * 3]
        rows.append([(raw[i + 2], raw[i + 1], raw[i]) for i in range(0, len(raw), 3)])
    if height > 0:
        rows.reverse()
    return width, abs(height), rows


def compare(drawn_path, stored_path):
    """(largest channel difference, pixels that differ, colours of the drawn picture), or a text
    that tells why the two cannot be compared."""
    for path in (drawn_path, stored_path):
        if not os.path.isfile(path):
            return 'the demo ended without writing %s' % os.path.basename(path)
    drawn = read_bmp(drawn_path)
    stored = read_bmp(stored_path)
    if drawn[:2] != stored[:2]:
        return 'sizes differ: %dx%d drawn, %dx%d stored' % (drawn[0], drawn[1], stored[0], stored[1])
    largest, differing, colours = 0, 0, set()
    for drawn_row, stored_row in zip(drawn[2], stored[2]):
        for a, b in zip(drawn_row, stored_row):
            colours.add(a)
            step = max(abs(a[0] - b[0]), abs(a[1] - b[1]), abs(a[2] - b[2]))
            if step:
                differing += 1
                largest = max(largest, step)
    return largest, differing, len(colours)


def start_xvfb():
    """An Xvfb on a display that no other server holds; (process, display)."""
    read_end, write_end = os.pipe()
    try:
        xvfb = subprocess.Popen(['Xvfb', '-displayfd', str(write_end), '-screen', '0', '1024x768x24',
                                 '-nolisten', 'tcp'], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                pass_fds=(write_end,), start_new_session=True)
    finally:
        os.close(write_end)
    with os.fdopen(read_end) as named:
        number = named.readline().strip()
    if not number.isdigit():
        xvfb.kill()
        raise RuntimeError('Xvfb could not start on a free display')
    return xvfb, ':' + number


def prepare(build_dir, work, display):
    """A prefix on display with the two demos, the device library, the English texts, a profile
    and the download check's answer; returns (prefix, program folder). Every program of the
    prefix runs on that display: its first one starts Wine's desktop there."""
    demo = os.path.join(build_dir, 'sim', 'LookDemo.exe')
    arch = 'win64' if pe_machine(demo) == 'x64' else 'win32'
    prefix_path = os.path.join(work, 'prefix')
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'scripts', 'wine-prefix.sh')
    subprocess.run([script, prefix_path, arch, 'display'], check=True, stdout=subprocess.DEVNULL)
    prefix = Prefix(prefix_path, arch, display)
    program = prefix.drive_c('look')
    os.makedirs(os.path.join(program, 'tools'), exist_ok=True)
    for _, name in FORMS:
        shutil.copy(os.path.join(build_dir, 'sim', name), program)
    shutil.copy(os.path.join(build_dir, 'image', 'Devpoke.dll'), program)
    tools = os.path.join(build_dir, 'image', 'tools')
    for name in os.listdir(tools):
        if name.startswith('lang_AutoRun_'):
            shutil.copy(os.path.join(tools, name), os.path.join(program, 'tools'))
    # The staging demo is cancelled at its first file; a profile that lists no program is refused
    # before that.
    with open(os.path.join(program, 'config.ini'), 'w', newline='') as f:
        f.write('[FILES]\r\nfilecount=1\r\nfile00=Plugstart.exe\r\n[WEB]\r\nnorvopcsuite_test_ver=1.0.0.0\r\n'
                'cd_include=1\r\nnorvopcsuite_def_downurl=download/pcsuite\r\n')
    os.makedirs(prefix.drive_c('plugstart_sim'), exist_ok=True)
    with open(prefix.drive_c('plugstart_sim', 'download_check.ini'), 'w', newline='') as f:
        f.write('[answer]\r\nresult=1\r\nresult_text=MSG_SUCCESS\r\ncandidate1=http://dl.example.com\r\n')
    # No window manager under Xvfb: Wine draws the frames itself.
    prefix.run(['reg', 'add', 'HKCU\\Software\\Wine\\X11 Driver', '/v', 'Managed', '/d', 'N', '/f'])
    return prefix, program


def photograph(prefix, program, build_dir, name, arguments, with_download):
    """Both forms of one state; a list of failure texts (empty: they were photographed)."""
    check = os.path.join(program, 'NorvoPsLvDlChk.dll')
    if with_download:
        shutil.copy(os.path.join(build_dir, 'sim', 'NorvoPsLvDlChk.dll'), check)
    elif os.path.exists(check):
        os.remove(check)
    failures = []
    for form, demo in FORMS:
        for k in range(PICTURES):
            picture = os.path.join(program, '%s-%s-%d.bmp' % (form, name, k))
            if os.path.exists(picture):
                os.remove(picture)
        code, output = prefix.run(['C:\\look\\' + demo] + arguments + ['--capture', 'C:\\look\\%s-%s' % (form, name)],
                                  timeout=120)
        if code != 0:
            failures.append('%s %s: the demo ended with %s %s' % (name, form, code, output.strip()))
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--build-dir', required=True)
    parser.add_argument('--keep', action='store_true', help='keep the prefix and the pictures')
    options = parser.parse_args()
    build_dir = os.path.abspath(options.build_dir)
    work = os.path.join(build_dir, 'look')
    shutil.rmtree(work, ignore_errors=True)
    started = time.monotonic()
    xvfb, display = start_xvfb()
    prefix = None
    failures = []
    try:
        prefix, program = prepare(build_dir, work, display)
        for name, arguments, with_download in CASES:
            photographed = photograph(prefix, program, build_dir, name, arguments, with_download)
            failures += photographed
            if photographed:
                continue
            for k in range(PICTURES):
                pictures = [os.path.join(program, '%s-%s-%d.bmp' % (form, name, k)) for form, _ in FORMS]
                result = compare(*pictures)
                label = '%s picture %d' % (name, k)
                if isinstance(result, str):
                    failures.append('%s: %s' % (label, result))
                    continue
                largest, differing, colours = result
                print('%-32s largest step %d, %6d pixels differ, %5d colours' % (label, largest, differing, colours))
                if colours < MIN_COLOURS:
                    failures.append('%s: only %d colours: no dialog on the screen' % (label, colours))
                if largest > MAX_COLOUR_STEP:
                    failures.append('%s: a channel differs by %d (at most %d)' % (label, largest, MAX_COLOUR_STEP))
    finally:
        if prefix:
            prefix.kill()
        xvfb.kill()
        if not options.keep and not failures:
            shutil.rmtree(work, ignore_errors=True)
    print('%d states, %d pictures each, in %.0f s' % (len(CASES), PICTURES, time.monotonic() - started))
    for failure in failures:
        print('FAILED: ' + failure)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
