"""The timeline of a run as a picture (inline SVG for report.html, no script) and as text (for
report.md): time across; the program's windows as bands; the screenshots as thumbnails at their
moments; the message boxes as flags; the device commands as marks on a lane per drive; one lane
per program started, a bar from its start to its end."""
from . import observed
from .markup import Markup, element, join, leaf

WIDTH = 1100
PLOT_LEFT = 200           # the lanes' names stand left of this
PLOT_RIGHT = 1000         # room on the right for the label of a bar that ends at the end
LANE = 26                 # the height of a lane
FONT = 11
CHAR_WIDTH = 6.3          # a rough width of one character at FONT size
THUMB_LEFT = PLOT_LEFT - 60  # thumbnails may reach into the lanes' names
THUMB_GAP = 6
TICK_STEPS = (0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 1200, 1800, 3600)

# The steps a window of the program goes through, as seen from the outside, and their colours.
STEP_COLOURS = {
    'preparing': '#d5dde8',
    'removing the old driver': '#f2a65a',
    'installing the driver': '#f6c85f',
    'installing the kit': '#a5d38f',
    'after the setups': '#c4cdf2',
    'in modem mode': '#8ccbe8',
}
STEP_LETTERS = {'preparing': 'p', 'removing the old driver': 'r', 'installing the driver': 'D',
                'installing the kit': 'K', 'after the setups': 'a', 'in modem mode': 'm'}
OTHER_WINDOW = '#e3e3e3'
STEP_OF_ROLE = {'driver remover': 'removing the old driver', 'driver setup': 'installing the driver',
                'kit setup': 'installing the kit'}
GOOD, BAD, RUNNING = '#4f86d9', '#d64545', '#9a9a9a'


def fits(text, pixels):
    return len(text) * CHAR_WIDTH <= pixels


def cut(text, pixels):
    """text cut to about pixels wide, with an ellipsis when it was cut."""
    most = max(int(pixels / CHAR_WIDTH), 1)
    return text if len(text) <= most else text[:max(most - 1, 0)] + '\u2026'


def tick_step(span):
    return next((step for step in TICK_STEPS if span / step <= 10), TICK_STEPS[-1])


def tick_label(t, span):
    if span >= 120:
        minutes, seconds = divmod(int(round(t)), 60)
        return '%d:%02d' % (minutes, seconds)
    return '%g s' % round(t, 3)


class Scale:
    """Seconds since the plug-in to x across the plot."""

    def __init__(self, span):
        self.span = max(span, 0.5)

    def x(self, t):
        return PLOT_LEFT + (PLOT_RIGHT - PLOT_LEFT) * min(max(t, 0.0), self.span) / self.span

    def ticks(self):
        step = tick_step(self.span)
        return [round(i * step, 3) for i in range(int(self.span / step + 1e-9) + 1)]


def time_span(result):
    """How much time the picture spans: until the time-out, or until the last thing seen."""
    run = result.get('run') or {}
    if run.get('outcome') == 'timed-out':
        return run.get('duration', 0.0)
    times = [e['t'] for e in run.get('events', [])] + [s['t'] for s in run.get('screenshots', [])]
    times += [p['end'] for p in run.get('processes', []) if p.get('end') is not None]
    latest = max(times) if times else run.get('duration', 0.0)
    return latest * 1.02 + 0.05


# -- what the lanes show ------------------------------------------------------------------------
def window_lanes(run):
    """[(lane name, [spans])]: one lane per window of the program, its spans one per title."""
    lanes, order = {}, []
    for span in run.get('windows', []):
        if span['hwnd'] not in lanes:
            lanes[span['hwnd']] = []
            order.append(span['hwnd'])
        lanes[span['hwnd']].append(span)
    return [(lane_title(lanes[hwnd][0]), lanes[hwnd]) for hwnd in order]


def lane_title(span):
    return '"%s"' % span['title'] if span['title'] else 'untitled window (%s)' % span['class']


def window_steps(start, end, result):
    """[(from, to, step)] of a window of the program open from start to end: what the program
    was doing as the outside saw it (a setup running, the device switched)."""
    run = result.get('run') or {}
    installers = [(s['start'], s['end'] if s['end'] is not None else end, STEP_OF_ROLE[s['role']])
                  for s in observed.stand_ins_with_roles(result) if s['role'] in STEP_OF_ROLE]
    switches = [c['t'] for c in run.get('commands', []) if c['meaning'].startswith('mode change')
                and c['result'] == '0']
    switched = min(switches) if switches else None

    def step_at(t):
        running = [label for a, b, label in installers if a <= t < b]
        if running:
            return running[-1]
        # Between two setups the next one counts already: the program is only starting it.
        upcoming = sorted((a, label) for a, b, label in installers if a > t)
        if upcoming and any(b <= t for _, b, _ in installers):
            return upcoming[0][1]
        if switched is not None and t >= switched:
            return 'in modem mode'
        return 'after the setups' if any(b <= t for _, b, _ in installers) else 'preparing'

    points = sorted({start, end} | {p for a, b, _ in installers for p in (a, b) if start < p < end}
                    | ({switched} if switched is not None and start < switched < end else set()))
    steps = []
    for a, b in zip(points, points[1:]):
        label = step_at((a + b) / 2)
        if steps and steps[-1][2] == label:
            steps[-1] = (steps[-1][0], b, label)
        else:
            steps.append((a, b, label))
    return steps


def is_program_window(span, result):
    program = observed.file_name((result.get('program') or {}).get('name') or '').lower()
    return bool(span['title']) and span['process'].lower() == program


def thumb_size(count):
    """(width, height) of the thumbnails: as large as lets them all stand in one row, within bounds."""
    width = min(max((WIDTH - THUMB_LEFT) / max(count, 1) - THUMB_GAP, 72), 112)
    return int(width), int(width * 3 / 4)


def shot_rows(shots, scale, size):
    """Where each thumbnail goes: [(shot number, x, row)]. In time order, each as near its moment
    as the one before it allows; a row that is full goes on in the next."""
    placed, row, right = [], 0, float('-inf')
    for number, shot in enumerate(shots, 1):
        want = min(max(scale.x(shot['t']) - size[0] / 2, THUMB_LEFT), WIDTH - size[0] - 4)
        x = max(want, right + THUMB_GAP)
        if x + size[0] > WIDTH - 4:
            row, x = row + 1, want
        right = x + size[0]
        placed.append((number, x, row))
    return placed


def staggered(items, rows):
    """[(item, row or None)]: labels [(x, width, item)] put on the first of rows rows where they
    do not overlap the one before; None where no row has room (the label is left out)."""
    ends = [float('-inf')] * rows
    out = []
    for x, width, item in items:
        row = next((i for i, end in enumerate(ends) if end + 4 <= x), None)
        if row is not None:
            ends[row] = x + width
        out.append((item, row))
    return out


def box_label(box):
    """The text on a box's flag: caption, the start of its text, the button the robot pressed."""
    caption = box['caption'] if box['kind'] == 'messagebox' else 'PC-suite guide'
    if box.get('text'):
        caption = cut('%s: %s' % (caption, observed.box_text(box)), 330)
    return '%s \u2192 %s' % (caption, observed.box_answer(box).replace('answered ', ''))


def device_letters(result):
    """The drives of the devices: those presented and those that received commands."""
    commands = (result.get('run') or {}).get('commands', [])
    return sorted({c['drive'].upper() for c in commands} | set(result.get('device_state') or {}))


def command_kind(command):
    if command['meaning'].startswith('phone'):
        return 'query'
    return 'mode change' if command['meaning'].startswith('mode') else 'command'


def program_label(process):
    """A program's name with its arguments, and the drive it ran from when that is not C:."""
    path, arguments = observed.split_command(process['command'])
    drive = path[:2].upper() if path[1:2] == ':' and path[:2].upper() != 'C:' else ''
    return ' '.join(filter(None, [process['name'], arguments, '(on %s)' % drive if drive else '']))


# -- the picture ----------------------------------------------------------------------------------
class Picture:
    def __init__(self, result, thumbnails):
        self.result = result
        self.run = result.get('run') or {}
        self.scale = Scale(time_span(result))
        self.thumbnails = thumbnails
        self.parts = []
        self.steps_shown = set()
        self.y = 34  # below the time axis

    def add(self, text):
        self.parts.append(text)

    def lane_name(self, name, height=LANE, tip=None):
        self.add(element('text', cut(name, PLOT_LEFT - 20), element('title', tip) if tip else '',
                         x=PLOT_LEFT - 10, y=self.y + height / 2 + 4, text_anchor='end', class_='lane'))

    def section(self, title):
        self.add(element('text', title, x=8, y=self.y + 14, class_='section'))
        self.y += 20

    def band(self, t0, t1, colour, label, css, tip):
        x0, x1 = self.scale.x(t0), self.scale.x(t1)
        width = max(x1 - x0, 2)
        self.add(element('rect', element('title', tip), x='%.1f' % x0, y=self.y + 3, width='%.1f' % width,
                         height=LANE - 6, rx=3, fill=colour, class_=css))
        if fits(label, width - 8):
            self.add(element('text', label, x='%.1f' % (x0 + 4), y=self.y + LANE / 2 + 4, class_='in-band'))
        return x0, width

    def windows(self):
        lanes = window_lanes(self.run)
        if not lanes:
            return
        self.section('Windows of the program')
        for name, spans in lanes:
            self.lane_name(name)
            for span in spans:
                end = span['end'] if span['end'] is not None else self.scale.span
                tip = '%s: %.2f to %.2f s' % (span['title'] or span['class'], span['start'], end)
                if is_program_window(span, self.result):
                    for a, b, step in window_steps(span['start'], end, self.result):
                        self.steps_shown.add(step)
                        self.band(a, b, STEP_COLOURS[step], step, 'window-step', '%s, %.2f to %.2f s' % (step, a, b))
                else:
                    self.band(span['start'], end, OTHER_WINDOW, span['title'] or 'no title', 'window-band', tip)
            self.y += LANE

    def screenshots(self):
        shots = self.run.get('screenshots', [])
        if not shots:
            return
        self.section('Screenshots (each a link to the picture below)')
        size = thumb_size(len(shots))
        placed = shot_rows(shots, self.scale, size)
        rows = max(row for _, _, row in placed) + 1
        top = self.y + 10
        for number, x, row in placed:
            shot = shots[number - 1]
            moment, y = self.scale.x(shot['t']), top + row * (size[1] + 10)
            self.add(leaf('line', x1='%.1f' % moment, y1=self.y + 2, x2='%.1f' % (x + size[0] / 2), y2=y,
                          class_='leader') + leaf('circle', cx='%.1f' % moment, cy=self.y + 2, r=2.5, class_='moment'))
            inner = [leaf('rect', x='%.1f' % x, y=y, width=size[0], height=size[1], class_='thumb-frame')]
            data = (self.thumbnails or {}).get(number)
            if data:
                inner.append(leaf('image', x='%.1f' % (x + 1), y=y + 1, width=size[0] - 2, height=size[1] - 2,
                                  href=data, preserveAspectRatio='xMidYMid meet'))
            inner.append(element('title', '%.2f s: %s' % (shot['t'], shot['reason'])))
            self.add(element('a', *inner, href='#shot-%d' % number, class_='thumb'))
        self.y = top + rows * (size[1] + 10)

    def boxes(self):
        boxes = self.run.get('boxes', [])
        if not boxes:
            return
        self.section('Message boxes (caption and the answer)')
        labels = [(self.scale.x(box['t']), len(box_label(box)) * CHAR_WIDTH + 10, box) for box in boxes]
        placed = staggered(labels, 3)
        height = (max([row for _, row in placed if row is not None] or [0]) + 1) * 20 + 10
        for box, row in placed:
            self.flag(box, row, height)
        self.y += height + 6

    def flag(self, box, row, height):
        """A box as a flag on its pole (the flag left out when its row had no room), a line along
        the time it was open, the whole text as its tooltip, a link to its screenshot."""
        x, bottom = self.scale.x(box['t']), self.y + height
        flag_y = self.y + 4 + (row or 0) * 20
        inner = [leaf('line', x1='%.1f' % x, y1=flag_y, x2='%.1f' % x, y2=bottom, class_='pole')]
        if box.get('closed') is not None:
            inner.append(leaf('line', x1='%.1f' % x, y1=bottom - 1, x2='%.1f' % self.scale.x(box['closed']),
                              y2=bottom - 1, class_='box-open'))
        if row is not None:
            label = box_label(box)
            inner += [leaf('rect', x='%.1f' % x, y=flag_y, width='%.1f' % (len(label) * CHAR_WIDTH + 10), height=16,
                           class_='flag-' + box['kind']),
                      element('text', label, x='%.1f' % (x + 5), y=flag_y + 12, class_='flag-text')]
        inner.append(element('title', '%.2f s: %s: %s (%s)' % (box['t'], box['caption'], observed.box_text(box, 400),
                                                                 observed.box_answer(box))))
        shots = [n for n, s in enumerate(self.run.get('screenshots', []), 1) if s['file'] == box.get('screenshot')]
        self.add(element('a', *inner, href='#shot-%d' % shots[0] if shots else None, class_='box-flag'))

    def device(self):
        commands = self.run.get('commands', [])
        letters = device_letters(self.result)
        if letters:
            self.section('The device (commands it received, and their results)')
        for letter in letters:
            mine = [c for c in commands if c['drive'].upper() == letter]
            self.lane_name('device %s:' % letter, LANE + 16)
            labels = []
            for command in mine:
                label = '%s \u2192 %s' % (command_kind(command), command['result'])
                labels.append((self.scale.x(command['t']) - len(label) * CHAR_WIDTH / 2, len(label) * CHAR_WIDTH,
                               (command, label)))
            mid = self.y + 8 + LANE / 2
            self.add(leaf('line', x1=PLOT_LEFT, y1=mid, x2=PLOT_RIGHT, y2=mid, class_='device-line'))
            if not mine:
                self.add(element('text', 'no command received', x=PLOT_LEFT + 6, y=mid - 6, class_='mark-text'))
            for (command, label), row in staggered(labels, 2):
                self.mark(command, mid)
                if row is not None:
                    self.add(element('text', label, x='%.1f' % self.scale.x(command['t']),
                                     y=mid - 10 if row == 0 else mid + 19, text_anchor='middle', class_='mark-text'))
            self.y += LANE + 16

    def mark(self, command, mid):
        x, short = self.scale.x(command['t']), command_kind(command)
        ok = not command['result'].startswith('-')
        tip = '%.2f s: %s: %s (%s) from %s \u2192 %s' % (command['t'], command['drive'], command['cdb'],
                                                        command['meaning'], command['process'], command['result'])
        colour = '#2f9e55' if ok else BAD
        if short == 'mode change':
            shape = leaf('path', d='M%.1f %.1f l7 7 l-7 7 l-7 -7 z' % (x, mid - 7), fill=colour)
        elif short == 'query':
            shape = leaf('circle', cx='%.1f' % x, cy=mid, r=5, fill=colour)
        else:
            shape = leaf('rect', x='%.1f' % (x - 4), y=mid - 4, width=8, height=8, fill=colour)
        self.add(element('g', shape, element('title', tip), class_='device-mark'))

    def programs(self):
        processes = self.run.get('processes', [])
        if not processes:
            return
        self.section('Programs started (a bar from start to end, with the exit code)')
        for process in processes:
            self.lane_name(program_label(process), tip=process['command'])
            running = process.get('end') is None
            end = self.scale.span if running else process['end']
            colour = RUNNING if running else (GOOD if str(process['code']) == '0' else BAD)
            label = 'still running' if running else 'exit %s' % process['code']
            tip = '%s: %s\n%.2f s to %s' % (process['name'], process['command'], process['start'],
                                            'the end (still running)' if running else '%.2f s, exit code %s' % (
                                                end, process['code']))
            x0, width = self.band(process['start'], end, colour, '', 'program-bar', tip)
            inside = fits(label, width - 10)
            self.add(element('text', label, x='%.1f' % (x0 + 5 if inside else x0 + width + 5), y=self.y + LANE / 2 + 4,
                             class_='bar-in' if inside else 'bar-out'))
            self.y += LANE

    def end_line(self, top):
        run = self.run
        if run.get('outcome') == 'timed-out':
            t, text, css = run.get('duration', self.scale.span), 'time-out', 'timeout-line'
        else:
            t = observed.product_end(run)
            text, css = 'ended ' + observed.format_seconds(t), 'end-line'
        x = self.scale.x(t)
        self.add(leaf('line', x1='%.1f' % x, y1=top, x2='%.1f' % x, y2=self.y, class_=css))
        self.add(element('text', text, x='%.1f' % x, y=self.y + 14, text_anchor='middle', class_=css + '-text'))
        self.y += 20

    def axis(self, bottom):
        out = []
        span = self.scale.span
        for t in self.scale.ticks():
            x = self.scale.x(t)
            out.append(leaf('line', x1='%.1f' % x, y1=24, x2='%.1f' % x, y2=bottom, class_='grid'))
            out.append(element('text', tick_label(t, span), x='%.1f' % x, y=18, text_anchor='middle', class_='tick'))
        out.append(element('text', 'seconds since the plug-in', x=8, y=18, class_='axis-name'))
        return out

    def legend(self):
        x = PLOT_LEFT
        items = [(colour, step) for step, colour in STEP_COLOURS.items() if step in self.steps_shown]
        if not items:
            return
        self.y += 6
        for colour, step in items:
            self.add(leaf('rect', x=x, y=self.y, width=12, height=12, rx=2, fill=colour)
                     + element('text', step, x=x + 16, y=self.y + 10, class_='legend'))
            x += 16 + len(step) * CHAR_WIDTH + 16
        self.y += 18

    def svg(self):
        top = self.y
        for draw in (self.windows, self.screenshots, self.boxes, self.device, self.programs):
            draw()
        self.end_line(top)
        self.legend()
        height = self.y + 6
        content = [element('title', 'Timeline of the run'), element('style', Markup(STYLE))]
        content += self.axis(height - 26) + self.parts
        return element('svg', Markup('\n'), join(content, '\n'), Markup('\n'), xmlns='http://www.w3.org/2000/svg',
                       viewBox='0 0 %d %d' % (WIDTH, height), width=WIDTH, height=height, class_='timeline',
                       role='img')


STYLE = ' '.join('''
text { font-family: sans-serif; font-size: 11px; fill: #222 }
.section { font-weight: bold; fill: #555 }
.lane { fill: #333 }
.tick { fill: #777 }
.axis-name { fill: #777; font-style: italic }
.grid { stroke: #e6e6e6 }
.in-band { fill: #222 }
.bar-in { fill: #fff; font-weight: bold }
.bar-out { fill: #444 }
.leader { stroke: #8a94a6; stroke-dasharray: 3 2 }
.moment { fill: #56627a }
.thumb-frame { fill: #f4f4f4; stroke: #888 }
.thumb:hover .thumb-frame { stroke: #1a5fb4; stroke-width: 2 }
.pole { stroke: #9b2c2c; stroke-width: 1.5 }
.box-open { stroke: #9b2c2c; stroke-width: 3; opacity: .5 }
.flag-messagebox { fill: #fde2e1; stroke: #9b2c2c }
.flag-guide { fill: #e4ecfb; stroke: #2c4f9b }
.flag-text { fill: #222 }
.device-line { stroke: #bbb }
.mark-text { fill: #333; font-size: 10px }
.end-line { stroke: #3c4a63; stroke-width: 1.5; stroke-dasharray: 5 3 }
.end-line-text { fill: #3c4a63; font-weight: bold }
.timeout-line { stroke: #c62828; stroke-width: 2; stroke-dasharray: 6 3 }
.timeout-line-text { fill: #c62828; font-weight: bold }
.legend { fill: #555; font-size: 10px }
'''.split())


def timeline_svg(result, thumbnails=None):
    """The picture of a run as an <svg> element; thumbnails: {screenshot number (from 1): data URI}."""
    if not result.get('run'):
        return ''
    return Picture(result, thumbnails).svg()


# -- as text --------------------------------------------------------------------------------------
TEXT_NAME = 24


def text_timeline(result, columns=64):
    """The timeline as lines of fixed-width text: one row per window, device and program, with
    time across."""
    run = result.get('run')
    if not run:
        return []
    scale = Scale(time_span(result))

    def column(t):
        return int(round((columns - 1) * min(max(t, 0.0), scale.span) / scale.span))

    def row(name, cells, note=''):
        return ('%-*s|%s| %s' % (TEXT_NAME, cut(name, TEXT_NAME * CHAR_WIDTH), ''.join(cells), note)).rstrip()

    def bar(t0, t1, fill, end_char=None):
        cells = [' '] * columns
        a, b = column(t0), column(t1)
        for i in range(a, max(b, a) + 1):
            cells[i] = fill
        if end_char:
            cells[max(b, a)] = end_char
        return cells

    ruler, labels = ['-'] * columns, [' '] * (columns + 12)
    for t in scale.ticks():
        c = column(t)
        ruler[c] = '+'
        text = tick_label(t, scale.span)
        if all(ch == ' ' for ch in labels[c:c + len(text) + 1]):
            labels[c:c + len(text)] = text
    lines = [' ' * (TEXT_NAME + 1) + ''.join(labels).rstrip(), row('time since the plug-in', ruler)]
    steps_shown = set()
    for name, spans in window_lanes(run):
        cells = [' '] * columns
        for span in spans:
            end = span['end'] if span['end'] is not None else scale.span
            steps = window_steps(span['start'], end, result) if is_program_window(span, result) else [
                (span['start'], end, None)]
            for a, b, step in steps:
                steps_shown.add(step)
                for i, ch in enumerate(bar(a, b, STEP_LETTERS.get(step, '~'))):
                    cells[i] = ch if ch != ' ' else cells[i]
        lines.append(row(name, cells))
    for number, box in enumerate(run.get('boxes', []), 1):
        cells = [' '] * columns
        cells[column(box['t'])] = '!'
        lines.append(row('box %d' % number, cells, '%.2f s %s: %s (%s)' % (
            box['t'], box['caption'] if box['kind'] == 'messagebox' else 'PC-suite guide', observed.box_text(box, 80),
            observed.box_answer(box))))
    for letter in device_letters(result):
        cells, notes = [' '] * columns, []
        for command in [c for c in run['commands'] if c['drive'].upper() == letter]:
            mark = {'query': 'q', 'mode change': 'M'}.get(command_kind(command), 'c')
            cells[column(command['t'])] = mark if not command['result'].startswith('-') else 'x'
            notes.append('%s %.2f s \u2192 %s' % (mark, command['t'], command['result']))
        lines.append(row('device %s:' % letter, cells, ', '.join(notes) or 'no command received'))
    for process in run.get('processes', []):
        running = process.get('end') is None
        cells = bar(process['start'], scale.span if running else process['end'], '=', '>' if running else ']')
        lines.append(row(program_label(process), cells, 'still running' if running else 'exit %s' % process['code']))
    lines.append('')
    lines.append('a window open: ' + ', '.join(['%s %s' % (letter, step) for step, letter in STEP_LETTERS.items()
                                                if step in steps_shown] + ['~ another window']))
    lines.append('! a message box, q query, M mode change, c another command, x a command that failed, '
                 '= a program running (] its end, > still running)')
    return lines
