"""The language sheet (scripts/run.sh --languages): every dialog of the program in every language
whose file a device image carries, as the program paints it, with each text measured against the
room its dialog gives it.

For each language file (tools\\lang_AutoRun_*.opt of the image) the look demo (sim/LookDemo.cpp)
runs once, in the locale of that language's users, in a prefix of its own on a headless X display:
it shows the main dialog (driver setup and kit setup status), the staging dialog and the PC-suite
guide (with and without its Download button), each painted by the program's own code, measures
every text as it is drawn and captures the window. Two languages run at a time. The sheet's pages
(sheet_page.py) are made from what the demo measured."""
import json
import os
import shutil
import subprocess
import time

from . import cache
from . import bitmap
from . import image as image_mod
from . import parallel
from . import pc
from . import prepared
from . import report_files
from . import stops
from .sandbox import Sandbox, SandboxUnavailable

# The users of each language file: the name the sheet gives it and the Unix locale (which Wine
# maps to the user's language) it is measured in, one that scripts/setup.sh makes.
LANGUAGES = {
    'eng': ('English', 'en_US.UTF-8'), 'japan': ('Japanese', 'ja_JP.UTF-8'),
    'chi_sim': ('Chinese (PRC)', 'zh_CN.UTF-8'), 'chi_tai': ('Chinese (Taiwan)', 'zh_TW.UTF-8'),
    'chi_hk': ('Chinese (Hong Kong)', 'zh_HK.UTF-8'), 'kor': ('Korean', 'ko_KR.UTF-8'),
    'bulgarian': ('Bulgarian', 'bg_BG.UTF-8'), 'czech': ('Czech', 'cs_CZ.UTF-8'), 'danish': ('Danish', 'da_DK.UTF-8'),
    'german': ('German', 'de_DE.UTF-8'), 'greek': ('Greek', 'el_GR.UTF-8'),
    'spanish': ('Spanish (Spain)', 'es_ES.UTF-8'), 'spanish_mx': ('Spanish (Mexico)', 'es_MX.UTF-8'),
    'spanish_la': ('Spanish (Latin America)', 'es_AR.UTF-8'), 'finnish': ('Finnish', 'fi_FI.UTF-8'),
    'french': ('French', 'fr_FR.UTF-8'), 'hungarian': ('Hungarian', 'hu_HU.UTF-8'),
    'italian': ('Italian', 'it_IT.UTF-8'), 'dutch': ('Dutch', 'nl_NL.UTF-8'), 'norwegian': ('Norwegian', 'nb_NO.UTF-8'),
    'polish': ('Polish', 'pl_PL.UTF-8'), 'portuguese_br': ('Portuguese (Brazil)', 'pt_BR.UTF-8'),
    'portuguese': ('Portuguese (Portugal)', 'pt_PT.UTF-8'), 'russian': ('Russian', 'ru_RU.UTF-8'),
    'croatian': ('Croatian', 'hr_HR.UTF-8'), 'serbian': ('Serbian', 'sr_RS.UTF-8@latin'),
    'slovakia': ('Slovak', 'sk_SK.UTF-8'), 'swedish': ('Swedish', 'sv_SE.UTF-8'), 'turkish': ('Turkish', 'tr_TR.UTF-8'),
    'slovene': ('Slovenian', 'sl_SI.UTF-8'),
}
FALLBACK_LOCALE = 'en_US.UTF-8'
PREFIX_NAME = 'lang_AutoRun_'
DEMO_TIMEOUT = 180
JOBS = 2


class SheetError(Exception):
    pass


def program_folder(image, work_dir):
    """The folder of the image that holds its program, config.ini and tools\\ (an ISO is
    extracted into work_dir first)."""
    if not os.path.exists(image):
        raise SheetError('no device image at %s' % image)
    try:
        folder = image_mod.image_folder(image) if os.path.isdir(image) else image
    except image_mod.ImageError as e:
        raise SheetError(str(e))
    if not os.path.isdir(image):
        if not image.lower().endswith('.iso'):
            raise SheetError('%s is neither a folder nor an .iso file' % image)
        folder = os.path.join(work_dir, 'image')
        shutil.rmtree(folder, ignore_errors=True)
        try:
            image_mod.extract_iso(image, folder)
        except image_mod.ImageError as e:
            raise SheetError(str(e))
    autorun = image_mod.find_case_insensitive(folder, 'autorun.inf')
    opened = image_mod.autorun_open(image_mod.read_text(autorun)) if autorun else None
    if opened:
        program = os.path.join(folder, opened[0].replace('\\', '/'))
        return os.path.dirname(program)
    return folder


def language_files(folder):
    """[(stem, relative name as the program names it, host path)] of the language files in the
    tools folder of the program's folder, sorted by stem."""
    tools = image_mod.find_case_insensitive(folder, 'tools')
    found = []
    for name in sorted(os.listdir(tools)) if tools and os.path.isdir(tools) else []:
        lower = name.lower()
        if lower.startswith(PREFIX_NAME.lower()) and lower.endswith('.opt'):
            found.append((name[len(PREFIX_NAME):-len('.opt')], 'tools\\' + name, os.path.join(tools, name)))
    return sorted(found, key=lambda entry: entry[0].lower())


def kit_type(folder):
    """The kit type of the image's config.ini (itk_type 0 to 3; any other value, as for the
    program, the first)."""
    config = image_mod.find_case_insensitive(folder, 'config.ini')
    value = image_mod.read_ini(image_mod.read_text(config)).get('itk', {}).get('itk_type', '') if config else ''
    return int(value) if value in ('0', '1', '2', '3') else 0


def host_locales():
    """The locales this host has, as 'ja_JP.utf8'."""
    try:
        listed = subprocess.run(['locale', '-a'], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    except OSError:
        return set()
    return set(listed.decode('utf-8', 'replace').split())


def has_locale(locale, available):
    base, _, modifier = locale.partition('@')
    name = base.replace('UTF-8', 'utf8') + ('@' + modifier if modifier else '')
    return name in available


class Sheet:
    """One making of the sheet: its display, prefix and demo folder, and the languages' data."""

    def __init__(self, build_dir, scripts_dir, work_dir, arch, display=None, log=print, sandboxed=True):
        self.sandboxed = sandboxed
        self.build_dir = build_dir
        self.scripts_dir = scripts_dir
        self.work_dir = work_dir
        self.arch = arch
        self.user_display = display
        self.log = log
        self.prefix = None
        self.screen = None

    def demo_folder(self):
        return self.prefix.drive_c('sheet', 'program')

    def prepare(self, folder, files):
        from .run import PlugInRun, Settings  # its headless X display: Xvfb on a free one
        self.screen = PlugInRun(Settings(display=self.user_display))
        self.screen.start_display()
        xauthority = os.environ.get('XAUTHORITY') if self.user_display else None
        ready = prepared.ready_pc(os.path.join(self.build_dir, 'plugin-cache'), self.scripts_dir, self.arch, 'xp',
                                  self.screen.display, managed_frames=bool(self.user_display),
                                  sandboxed=self.sandboxed, xauthority=xauthority, log=self.log)
        # The demo and the language files are copied into the PC: its sandbox binds the PC only.
        box = Sandbox([os.path.join(self.work_dir, 'prefix')], (), self.screen.display,
                      xauthority) if self.sandboxed else None
        self.prefix = pc.make_pc(ready, os.path.join(self.work_dir, 'prefix'), self.arch, self.screen.display,
                                 sandbox=box)
        demo = self.demo_folder()
        os.makedirs(os.path.join(demo, 'tools'))
        for name in ('LookDemo.exe', 'Devpoke.dll', 'NorvoPsLvDlChk.dll'):
            built = os.path.join(self.build_dir, 'sim', name)
            if not os.path.isfile(built):
                raise SheetError('%s is not built (cmake --build build/<preset> --target LookDemo DevpokeSim '
                                 'DownloadCheckSim)' % built)
            shutil.copy(built, demo)
        config = image_mod.find_case_insensitive(folder, 'config.ini')
        if config:
            shutil.copy(config, os.path.join(demo, 'config.ini'))
        for _, relative, path in files:
            shutil.copy(path, os.path.join(demo, relative.replace('\\', '/')))
        # One server for all the languages' demos, so that none waits for a new one.
        self.prefix.start_native([self.prefix.wineserver(), '-p']).wait(60)

    def measure(self, stem, relative, kit, locale):
        """Runs the demo for one language file: (sheet.json's data or None, the folder of its
        pictures, what went wrong)."""
        out = self.prefix.drive_c('sheet', 'out', stem)
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        code, output = self.run_demo(['sheet', 'C:\\sheet\\out\\' + stem, relative, str(kit)], locale,
                                     os.path.join(self.work_dir, 'demo-%s.txt' % stem))
        path = os.path.join(out, 'sheet.json')
        if not os.path.isfile(path):
            return None, out, 'the demo wrote no measures (%s) %s' % (code, output.strip()[-300:])
        with open(path, encoding='utf-8') as f:
            try:
                return json.load(f), out, None if code == 'exit code 0' else 'the demo ended with %s' % code
            except ValueError as e:
                return None, out, 'the demo\'s measures do not read: %s' % e

    def run_demo(self, arguments, locale, output_path):
        """Runs the demo to its end: (its exit code or what stopped it, in words; its output). Its output goes to
        a file: the prefix's own processes, which the first program of a prefix starts, hold on to
        what they inherit and would keep a pipe open after the demo has ended."""
        with open(output_path, 'wb') as output:
            demo = self.prefix.start([os.path.join(self.demo_folder(), 'LookDemo.exe')] + arguments,
                                     env={'LANG': locale, 'LC_ALL': locale}, output=output)
        try:
            code = 'exit code %d' % demo.wait(timeout=DEMO_TIMEOUT)
        except subprocess.TimeoutExpired:
            demo.kill()
            demo.wait()
            code = 'stopped after %d s' % DEMO_TIMEOUT
        with open(output_path, encoding='utf-8', errors='replace') as f:
            return code, f.read()

    def finish(self):
        if self.prefix:
            self.prefix.kill()
        if self.screen:
            self.screen.stop_display()


def language_entry(stem, relative, locale, available, measured, pictures_dir, problem, sheet):
    """The sheet's data of one language: its dialogs with their pictures (PNG, under
    pictures/STEM/ of the sheet's report folder) and measured texts."""
    title = LANGUAGES.get(stem.lower(), (stem, None))[0]
    entry = {'stem': stem, 'file': relative, 'title': title, 'locale': locale, 'user_language': None,
             'dialogs': [], 'problems': []}
    if stem.lower() not in LANGUAGES:
        entry['problems'].append('no users\' locale is known for this file: measured in %s' % locale)
    if not has_locale(locale, available):
        entry['problems'].append('this host lacks the locale %s (scripts/setup.sh makes it): the dialogs are '
                                 'drawn in the fonts of another language' % locale)
    if problem:
        entry['problems'].append(problem)
    if not measured:
        return entry
    entry['problems'] += measured.get('problems', [])
    entry['user_language'] = measured.get('user_language')
    entry['kit_type'] = measured.get('kit_type')
    for dialog in measured.get('dialogs', []):
        picture = None
        if dialog.get('picture'):
            png = 'pictures/%s/%s.png' % (safe_name(stem), safe_name(dialog['name']))
            try:
                sheet.produce(png, lambda path: bitmap.bmp_to_png(os.path.join(pictures_dir, dialog['picture']), path))
                picture = png.replace('/', os.sep)
            except (OSError, bitmap.BitmapError, report_files.ReportFolderError) as e:
                entry['problems'].append('the picture of %s does not read: %s' % (dialog['name'], e))
        else:
            entry['problems'].append('the demo could not capture %s' % dialog['name'])
        texts = [dict(text, fits=not (text['too_wide'] or text['too_tall'] or text['missing_glyphs']))
                 for text in dialog.get('texts', [])]
        entry['dialogs'].append(dict(dialog, picture=picture, texts=texts))
    return entry


def safe_name(name):
    """A name of the image or the demo as one file name of the sheet's folder."""
    return ''.join(c if c.isalnum() or c in '-_.' else '_' for c in name).lstrip('.') or '_'


def make_sheet(image, build_dir, scripts_dir, sheet_dir, work_dir, arch, only=None, display=None, log=print,
               jobs=JOBS, sandboxed=True):
    """Measures every language file of image (only those whose stem is in only, when given) and
    writes the sheet into sheet_dir; returns its data (see sheet_page.sheet_data)."""
    from . import sheet_page
    shutil.rmtree(work_dir, ignore_errors=True)
    os.makedirs(work_dir)
    folder = program_folder(image, work_dir)
    files = language_files(folder)
    if only:
        wanted = {name.lower() for name in only}
        unknown = wanted - {stem.lower() for stem, _, _ in files}
        if unknown:
            raise SheetError('the image has no language file for %s' % ', '.join(sorted(unknown)))
        files = [entry for entry in files if entry[0].lower() in wanted]
    if not files:
        raise SheetError('the image carries no language file (tools\\%s*.opt)' % PREFIX_NAME)
    kit = kit_type(folder)
    available = host_locales()
    # What an earlier sheet wrote goes; anything else in the folder stays.
    pages = report_files.open_cleared(sheet_dir)
    sheet = Sheet(build_dir, scripts_dir, work_dir, arch, display=display, log=log, sandboxed=sandboxed)
    started = time.monotonic()
    entries = {}
    try:
        sheet.prepare(folder, files)
        log('language sheet: %d languages of %s, %d at a time' % (len(files), image, jobs))

        def one(stem, relative):
            locale = LANGUAGES.get(stem.lower(), (None, FALLBACK_LOCALE))[1]
            begun = time.monotonic()
            measured, pictures, problem = sheet.measure(stem, relative, kit, locale)
            entry = language_entry(stem, relative, locale, available, measured, pictures, problem, pages)
            misfits = len(sheet_page.misfits_of(entry))
            log('  %s: %d dialogs, %d texts that do not fit%s (%.1f s)' % (
                stem, len(entry['dialogs']), misfits, ', ' + '; '.join(entry['problems']) if entry['problems'] else '',
                time.monotonic() - begun))
            return stem, entry

        def keep(_file, measured):
            stem, entry = measured
            entries[stem] = entry

        not_measured = parallel.each_in_parallel(files, jobs, lambda f: one(f[0], f[1]), keep)
    finally:
        sheet.finish()
    data = sheet_page.sheet_data(image, kit, [entries[stem] for stem, _, _ in files if stem in entries],
                                 time.monotonic() - started)
    if stops.requested():
        data['stopped'] = stops.reason()
        data['problems'].insert(0, '%s: %d language%s not measured%s' % (
            stops.reason(), len(not_measured), '' if len(not_measured) == 1 else 's',
            ' (%s)' % ', '.join(stem for stem, _, _ in not_measured) if not_measured else ''))
    sheet_page.write_sheet(data, pages)
    pages.record()
    return data


def command(options, build_dir, scripts_dir, display, arch, log=print):
    """scripts/run.sh --languages [NAME,...]: makes the sheet of the image's languages (or of those
    named), opens it in headless Chromium (a screenshot beside it), and tells what does not fit.
    Exit code 0 when every text fits and the page shows in the browser without a problem."""
    from . import browser, sheet_page
    sheet_dir = options.report_dir or os.path.join(build_dir, 'plugin-languages')
    work_dir = os.path.join(build_dir, 'plugin-languages-run')
    only = None if options.languages == 'all' else [n.strip() for n in options.languages.split(',') if n.strip()]
    lock = cache.held_unless_taken(os.path.join(build_dir, 'plugin-languages.lock'))
    if lock is None:
        log('another language sheet of this build is being made (%s): try again when it is done' % work_dir)
        return 1
    try:
        data = make_sheet(options.image or os.path.join(build_dir, 'image'), build_dir, scripts_dir, sheet_dir,
                          work_dir, arch, only=only, display=display, log=log if not options.quiet else lambda _: None,
                          sandboxed=not options.no_sandbox)
    except SandboxUnavailable as e:
        log('language sheet: this host cannot make the sandbox for the demo (%s); --no-sandbox makes the sheet '
            'without it' % e)
        return 1
    except (SheetError, RuntimeError, OSError) as e:
        log('language sheet: %s' % e)
        return 1
    finally:
        lock.close()
    page = os.path.join(sheet_dir, 'languages.html')
    seen = True
    try:
        if stops.requested():  # a stop ends the command now
            raise browser.BrowserError(stops.reason())
        check = browser.check_page(page)
        log(check.summary())
        seen = check.ok
        if check.screenshot:
            report_files.list_also(sheet_dir, os.path.basename(check.screenshot))
    except browser.BrowserError as e:
        log('the page was not opened in a browser: %s' % e)
    log('---')
    for m in data['misfits']:
        log('does not fit: %s, %s: %s "%s": %s' % (m['title'], ', '.join(m['dialogs']), ', '.join(m['keys']),
                                                   m['text'], m['why']))
    for problem in data['problems']:
        log('problem: %s' % problem)
    log('language sheet: %s (and languages.md, languages.json beside it)' % page)
    log(sheet_page.verdict(data) + '.')
    return 0 if seen and not data['misfits'] and not data['problems'] else 1
