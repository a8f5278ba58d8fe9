"""A page seen in a real browser: headless Chromium opens it and tells whether every picture
decodes, every link to a file or an anchor resolves and the page logs no error; a screenshot of
the whole page is kept beside it. Chromium is driven through its DevTools protocol over a pipe
(--remote-debugging-pipe): JSON messages ended by a NUL byte, commands on the browser's file
descriptor 3, answers and events on its descriptor 4.

    python3 -m plugin.browser PAGE.html...     (exit 1 when a page has a problem)

Any page of ours serves: the plug-in report, the language sheet, the maker's matrix page. None of
them runs a script, so the check also fails a page on which a script runs (the browser's debugger
sees every script the page compiles, a hook sees a dialog opened, a watch sees the page changed
after it was parsed), and a page that holds a script element, an event-handler attribute, a
javascript: address or an element our pages are not made of: an image's text that made markup."""
import base64
import fcntl
import html.parser
import json
import os
import queue
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import urllib.request

from . import stops

FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--remote-debugging-pipe']
WINDOW = (1280, 900)
# A page taller than this is shown smaller in its screenshot (the browser refuses very tall
# captures).
TALLEST_SCREENSHOT = 16000

# Runs in the page after its load: every picture (an <img>, or an <image> of an inline SVG,
# decoded once more from its address) with its natural width, and every link with the address it
# resolves to and, for an anchor of this page, whether the anchor is there.
PAGE_SCRIPT = r"""
(async () => {
  const PAGE_ELEMENTS = %s;
  const decoded = (url) => new Promise((done) => {
    const picture = new Image();
    picture.onload = () => done(picture.naturalWidth);
    picture.onerror = () => done(0);
    picture.src = url;
  });
  const pictures = [];
  for (const img of Array.from(document.images)) {
    if (!img.complete) await new Promise((done) => { img.onload = img.onerror = done; });
    pictures.push({url: img.currentSrc || img.src, width: img.naturalWidth, what: img.alt || ''});
  }
  for (const image of Array.from(document.querySelectorAll('svg image'))) {
    const raw = image.getAttribute('href') || image.getAttributeNS('http://www.w3.org/1999/xlink', 'href') || '';
    const url = new URL(raw, document.baseURI).href;
    pictures.push({url: url, width: raw ? await decoded(url) : 0, what: 'svg image'});
  }
  // What no page of ours holds: scripts, event handlers, script addresses, other elements.
  const markup = [];
  for (const element of Array.from(document.querySelectorAll('*'))) {
    const tag = element.localName;
    if (!PAGE_ELEMENTS.includes(tag)) markup.push('an element <' + tag + '>');
    for (const attribute of Array.from(element.attributes)) {
      const name = attribute.name.toLowerCase();
      const value = attribute.value.replace(/[\s\u0000-\u001f]/g, '').toLowerCase();
      if (name.startsWith('on')) markup.push('an event handler ' + name + ' on <' + tag + '>');
      if (/^(javascript|vbscript|data:text\/html)/.test(value) || (/^data:/.test(value) && !/^data:image\/(png|jpeg|gif);/.test(value)))
        markup.push('a script address in ' + name + ' of <' + tag + '>');
    }
  }
  const page = location.href.split('#')[0];
  const links = [];
  for (const a of Array.from(document.querySelectorAll('a, area'))) {
    const raw = a.getAttribute('href') || a.getAttributeNS('http://www.w3.org/1999/xlink', 'href');
    if (raw === null) continue;
    const url = new URL(raw, document.baseURI).href;
    const [base, fragment] = [url.split('#')[0], url.includes('#') ? url.slice(url.indexOf('#') + 1) : null];
    let anchor = null;
    if (base === page && fragment !== null) {
      const name = decodeURIComponent(fragment);
      anchor = fragment === '' || document.getElementById(name) !== null || document.getElementsByName(name).length > 0;
    }
    links.push({raw: raw, url: url, anchor: anchor});
  }
  return {pictures: pictures, links: links, title: document.title, markup: markup,
          fired: window.__plugstartFired || ['the page removed the hooks that watch it']};
})()
//# sourceURL=plugstart-page-check.js
"""

# The elements our pages are made of (and those the browser adds itself, such as a table's body).
PAGE_ELEMENTS = ('html head meta title style body h1 h2 p table tbody tr th td ul li pre figure figcaption img '
                 'code a div span b section small nav svg text rect line circle path g image').split()

# Installed before the page's own content: records what only a running script does (a dialog
# opened, a window opened, the page changed after it was parsed).
HOOKS = r"""
(() => {
  const fired = [];
  Object.defineProperty(window, '__plugstartFired', {value: fired});
  for (const name of ['alert', 'confirm', 'prompt', 'print', 'open']) {
    window[name] = function () { fired.push(name + '(' + Array.from(arguments).join(', ').slice(0, 80) + ')'); };
  }
  const watch = new MutationObserver((changes) => {
    fired.push('the page changed after it was parsed (' + changes[0].type + ' of <' +
               (changes[0].target.localName || changes[0].target.nodeName) + '>)');
  });
  const parsing = new MutationObserver(() => {});
  parsing.observe(document, {subtree: true, childList: true, attributes: true, characterData: true});
  document.addEventListener('DOMContentLoaded', () => {
    parsing.takeRecords();  // the parser's own changes
    parsing.disconnect();
    watch.observe(document, {subtree: true, childList: true, attributes: true, characterData: true});
  }, true);
})();
//# sourceURL=plugstart-hooks.js
"""
OUR_SCRIPTS = ('plugstart-page-check.js', 'plugstart-hooks.js')
PAGE_SCRIPT = PAGE_SCRIPT % json.dumps(PAGE_ELEMENTS)


class BrowserError(Exception):
    pass


class PageCheck:
    """What the browser found on one page."""

    def __init__(self, path):
        self.path = path
        self.problems = []       # what fails the page, one sentence each
        self.pictures = 0        # pictures that decoded
        self.links = 0           # links to files or anchors that resolved
        self.external = []       # links out of the page's files (web addresses): not followed
        self.screenshot = None   # the screenshot's path
        self.title = ''

    @property
    def ok(self):
        return not self.problems

    def summary(self):
        text = '%s: %d pictures decoded, %d links resolved' % (self.path, self.pictures, self.links)
        if self.screenshot:
            text += ', screenshot %s' % self.screenshot
        if self.problems:
            text += '\n' + '\n'.join('  problem: ' + p for p in self.problems)
        return text


def chromium_path():
    for name in ('chromium', 'chromium-browser'):
        found = shutil.which(name)
        if found:
            return found
    return None


def screenshot_path(page):
    """Where the screenshot of page is kept: beside it, report.html -> report-page.png."""
    stem, _ = os.path.splitext(page)
    return stem + '-page.png'


def _moved_up(fd, lowest=10):
    moved = fcntl.fcntl(fd, fcntl.F_DUPFD, lowest)
    os.close(fd)
    return moved


class DevTools:
    """One headless Chromium with a fresh, empty profile, spoken to over its pipe."""

    def __init__(self, timeout=60):
        self.timeout = timeout
        self.profile = tempfile.mkdtemp(prefix='plugstart-chromium-')
        self.next_id = 0
        self.messages = queue.Queue()
        self.events = []
        chromium = chromium_path()
        if not chromium:
            raise BrowserError('Chromium is not installed (scripts/setup.sh installs the chromium package)')
        commands_read, self.commands = os.pipe()
        self.answers, answers_write = os.pipe()
        # Above the descriptors the browser takes, so that no redirection below overwrites one.
        commands_read, answers_write = _moved_up(commands_read), _moved_up(answers_write)
        # The browser finds the pipe on descriptors 3 and 4 exactly: bash puts them there (dash
        # takes no descriptor above 9).
        shell = 'exec "$0" "$@" 3<&%d 4>&%d %d<&- %d>&-' % (commands_read, answers_write, commands_read, answers_write)
        try:
            self.process = subprocess.Popen(
                ['/bin/bash', '-c', shell, chromium] + FLAGS + ['--user-data-dir=' + self.profile, 'about:blank'],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                pass_fds=(commands_read, answers_write), start_new_session=True)
            stops.register(self.process)
        finally:
            os.close(commands_read)
            os.close(answers_write)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        pending = b''
        while True:
            try:
                chunk = os.read(self.answers, 1 << 16)
            except OSError:
                chunk = b''
            if not chunk:
                self.messages.put(None)
                return
            pending += chunk
            while b'\0' in pending:
                message, pending = pending.split(b'\0', 1)
                try:
                    self.messages.put(json.loads(message.decode('utf-8')))
                except ValueError:
                    continue

    def send(self, method, params=None, session=None):
        """Sends a command and waits for its answer; the events that come meanwhile are kept."""
        self.next_id += 1
        message = {'id': self.next_id, 'method': method, 'params': params or {}}
        if session:
            message['sessionId'] = session
        try:
            os.write(self.commands, json.dumps(message).encode('utf-8') + b'\0')
        except OSError as e:
            raise BrowserError('the browser went away (%s)' % e)
        deadline = time.monotonic() + self.timeout
        while True:
            answer = self._next(deadline, method)
            if answer.get('id') == self.next_id:
                if 'error' in answer:
                    raise BrowserError('%s: %s' % (method, answer['error'].get('message')))
                return answer.get('result', {})
            self.events.append(answer)

    def wait_event(self, method, session, seconds):
        """Waits for an event of the session (kept events first); False at the time-out."""
        deadline = time.monotonic() + seconds
        for event in self.events:
            if event.get('method') == method and event.get('sessionId') == session:
                return True
        while True:
            try:
                event = self._next(deadline, method)
            except BrowserError:
                return False
            self.events.append(event)
            if event.get('method') == method and event.get('sessionId') == session:
                return True

    def _next(self, deadline, waiting_for):
        try:
            message = self.messages.get(timeout=max(0.0, deadline - time.monotonic()))
        except queue.Empty:
            raise BrowserError('no answer to %s within %d s' % (waiting_for, self.timeout))
        if message is None:
            raise BrowserError('the browser ended (waiting for %s)' % waiting_for)
        return message

    def close(self):
        try:
            self.send('Browser.close')
        except BrowserError:
            pass
        try:
            self.process.wait(timeout=15)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        stops.unregister(self.process)
        for fd in (self.commands, self.answers):
            try:
                os.close(fd)
            except OSError:
                pass
        shutil.rmtree(self.profile, ignore_errors=True)


def _console_errors(events, session):
    """The page's errors: console errors, uncaught exceptions and the browser's error entries
    (a picture or a file that did not load)."""
    errors = []
    for event in events:
        if event.get('sessionId') != session:
            continue
        method, params = event.get('method'), event.get('params', {})
        if method == 'Runtime.consoleAPICalled' and params.get('type') in ('error', 'assert'):
            errors.append('console %s: %s' % (params['type'], ' '.join(
                str(a.get('value', a.get('description', ''))) for a in params.get('args', []))))
        elif method == 'Runtime.exceptionThrown':
            details = params.get('exceptionDetails', {})
            errors.append('uncaught exception: %s' % (details.get('exception', {}).get('description')
                                                      or details.get('text', '')))
        elif method == 'Log.entryAdded' and params.get('entry', {}).get('level') == 'error':
            entry = params['entry']
            errors.append('%s error: %s%s' % (entry.get('source', 'browser'), entry.get('text', ''),
                                              ' (%s)' % entry['url'] if entry.get('url') else ''))
    return errors


def _page_scripts(events, session):
    """The scripts the page compiled (an inline script, an event handler that fired, a script
    address followed), not counting the check's own."""
    found = []
    for event in events:
        if event.get('sessionId') != session or event.get('method') != 'Debugger.scriptParsed':
            continue
        params = event.get('params', {})
        if params.get('url', '').endswith(OUR_SCRIPTS):
            continue
        found.append('%s (line %s, %d characters)' % (params.get('url') or 'a script without an address',
                                                       params.get('startLine', 0) + 1,
                                                       params.get('length', 0)))
    return found


class _Anchors(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.names = set()

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name == 'id' or (name == 'name' and tag == 'a'):
                self.names.add(value)


def anchors_of(path):
    """The ids and anchor names of an HTML file."""
    parser = _Anchors()
    with open(path, encoding='utf-8', errors='replace') as f:
        parser.feed(f.read())
    return parser.names


def link_problem(link):
    """Why a link of the page does not resolve, or None; a web address is not followed ('')."""
    url = link['url']
    scheme = urllib.parse.urlsplit(url).scheme
    if scheme in ('http', 'https', 'mailto'):
        return ''
    if scheme in ('data', 'javascript', 'about', 'blob'):
        return None
    if scheme != 'file':
        return 'link "%s": an address of an unknown kind' % link['raw']
    if link['anchor'] is not None:  # an anchor of the page itself, looked up by the page
        return None if link['anchor'] else 'link "%s": no such anchor on the page' % link['raw']
    parts = urllib.parse.urlsplit(url)
    target = urllib.request.url2pathname(parts.path)
    if not os.path.exists(target):
        return 'link "%s": %s does not exist' % (link['raw'], target)
    if parts.fragment and target.lower().endswith(('.html', '.htm')):
        if urllib.parse.unquote(parts.fragment) not in anchors_of(target):
            return 'link "%s": %s has no anchor "%s"' % (link['raw'], target, parts.fragment)
    return None


def _check_in(browser, path, screenshot):
    check = PageCheck(path)
    url = 'file://' + urllib.request.pathname2url(os.path.abspath(path))
    if not os.path.isfile(path):
        check.problems.append('the page does not exist')
        return check
    target = browser.send('Target.createTarget', {'url': 'about:blank'})['targetId']
    session = browser.send('Target.attachToTarget', {'targetId': target, 'flatten': True})['sessionId']
    try:
        for domain in ('Page', 'Runtime', 'Log', 'Debugger'):
            browser.send(domain + '.enable', session=session)
        browser.send('Debugger.setSkipAllPauses', {'skip': True}, session)
        browser.send('Page.addScriptToEvaluateOnNewDocument', {'source': HOOKS}, session)
        browser.send('Emulation.setDeviceMetricsOverride', {'width': WINDOW[0], 'height': WINDOW[1],
                                                            'deviceScaleFactor': 1, 'mobile': False}, session)
        navigated = browser.send('Page.navigate', {'url': url}, session)
        if navigated.get('errorText'):
            check.problems.append('the page did not open: %s' % navigated['errorText'])
            return check
        if not browser.wait_event('Page.loadEventFired', session, browser.timeout):
            check.problems.append('the page did not finish loading within %d s' % browser.timeout)
            return check
        found = browser.send('Runtime.evaluate', {'expression': PAGE_SCRIPT, 'awaitPromise': True,
                                                  'returnByValue': True}, session)
        if 'exceptionDetails' in found:
            check.problems.append('the page check could not run: %s' % found['exceptionDetails'].get('text'))
            return check
        seen = found['result']['value']
        check.title = seen.get('title', '')
        for picture in seen['pictures']:
            if picture['width'] > 0:
                check.pictures += 1
            else:
                shown = picture['url'] if not picture['url'].startswith('data:') else picture['url'][:40] + '...'
                check.problems.append('picture %s%s does not decode' % (
                    shown, ' ("%s")' % picture['what'] if picture['what'] else ''))
        for link in seen['links']:
            problem = link_problem(link)
            if problem is None:
                check.links += 1
            elif problem == '':
                check.external.append(link['url'])
            else:
                check.problems.append(problem)
        check.problems += _console_errors(browser.events, session)
        check.problems += ['a script ran on the page: %s' % script for script in _page_scripts(browser.events, session)]
        check.problems += ['the page holds markup no page of ours has: %s' % what for what in seen['markup']]
        check.problems += ['a script on the page did this: %s' % what for what in seen['fired']]
        if screenshot:
            _screenshot(browser, session, screenshot)
            check.screenshot = screenshot
    finally:
        browser.send('Target.closeTarget', {'targetId': target})
    return check


def _screenshot(browser, session, path):
    """The whole page as a PNG, made smaller when it is taller than TALLEST_SCREENSHOT."""
    metrics = browser.send('Page.getLayoutMetrics', session=session)
    size = metrics.get('cssContentSize') or metrics.get('contentSize')
    width = max(WINDOW[0], int(size['width']))
    height = max(1, int(size['height']))
    shot = browser.send('Page.captureScreenshot', {
        'format': 'png', 'captureBeyondViewport': True,
        'clip': {'x': 0, 'y': 0, 'width': width, 'height': height,
                 'scale': min(1.0, TALLEST_SCREENSHOT / float(height))}}, session)
    # A new file renamed over the name: a link there is replaced, never written through.
    handle, temporary = tempfile.mkstemp(dir=os.path.dirname(os.path.abspath(path)), prefix='.new-')
    with os.fdopen(handle, 'wb') as f:
        f.write(base64.b64decode(shot['data']))
    os.chmod(temporary, 0o644)
    os.replace(temporary, path)


def check_pages(paths, screenshots=True, timeout=60):
    """Opens each page in one headless Chromium; a PageCheck per page. The screenshot of each
    is kept beside it (screenshot_path) unless screenshots is False."""
    browser = DevTools(timeout)
    try:
        browser.send('Target.setDiscoverTargets', {'discover': False})
        return [_check_in(browser, path, screenshot_path(path) if screenshots else None) for path in paths]
    finally:
        browser.close()


def check_page(path, screenshot=True, timeout=60):
    """One page: its PageCheck (see check_pages)."""
    return check_pages([path], screenshot, timeout)[0]


def main(argv):
    if not argv or argv[0] in ('-h', '--help'):
        print(__doc__)
        return 0 if argv else 2
    try:
        checks = check_pages(argv)
    except BrowserError as e:
        print('browser: %s' % e, file=sys.stderr)
        return 2
    for check in checks:
        print(check.summary())
    return 0 if all(c.ok for c in checks) else 1


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
