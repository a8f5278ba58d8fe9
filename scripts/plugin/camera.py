"""Screenshots of a run: taken when a window or a status appears, cropped to the program's
windows; a screen of one colour (the window had gone) is dropped."""
import os
import subprocess
import time

SCREEN = (1024, 768)
EMPTY_SCREENSHOT_BYTES = 1500


class Screenshots:
    """The camera of a run (a mixin of PlugInRun: it uses the run's settings, display and launch)."""

    def schedule_shot(self, reason, delay, shows=None):
        """A screenshot in delay seconds; shows: the process id of the stand-in whose status it
        photographs, which may go on once it is taken (release_hold)."""
        if self.s.screenshots and self.display:
            self._shot_queue.append((time.monotonic() + delay, reason, shows))

    def take_shot(self, reason):
        if not (self.s.screenshots and self.display):
            return None
        folder = os.path.join(self.s.run_dir, 'screenshots')
        os.makedirs(folder, exist_ok=True)
        number = len(self.launch.screenshots) + 1
        name = '%02d.png' % number
        path = os.path.join(folder, name)
        command = ['import', '-display', self.display, '-window', 'root']
        area = self.windows_area()
        if area:
            command += ['-crop', '%dx%d+%d+%d' % area, '+repage']
        done = subprocess.run(command + [path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        if done.returncode != 0 or not os.path.exists(path):
            return None
        if os.path.getsize(path) < EMPTY_SCREENSHOT_BYTES:  # one colour: the window had gone already
            os.remove(path)
            return None
        shot = {'t': round(self.launch.now(), 2), 'file': path, 'reason': reason}
        self.launch.screenshots.append(shot)
        return shot

    def windows_area(self):
        """(width, height, left, top) around the program's open windows, with a margin; None for
        the whole screen."""
        rects = []
        for window in self.open_windows():
            try:
                rects.append([int(v) for v in window.get('rect', '').split(',')])
            except ValueError:
                continue
        rects = [r for r in rects if len(r) == 4 and r[2] > r[0] and r[3] > r[1]]
        if not rects or self.s.display:
            return None
        left = max(0, min(r[0] for r in rects) - 24)
        top = max(0, min(r[1] for r in rects) - 24)
        right = min(SCREEN[0], max(r[2] for r in rects) + 24)
        bottom = min(SCREEN[1], max(r[3] for r in rects) + 24)
        if right <= left or bottom <= top:
            return None
        return right - left, bottom - top, left, top

    def open_windows(self):
        return [w for w in self.launch.windows.values() if self.interesting(w.get('process', ''))]

    def due_shots(self):
        now = time.monotonic()
        due = [q for q in self._shot_queue if q[0] <= now]
        if not due:
            return
        self._shot_queue = [q for q in self._shot_queue if q[0] > now]
        if self.open_windows():  # an empty screen shows nothing
            self.take_shot('; '.join(reason for _, reason, _ in due))
        for _, _, shown in due:
            if shown:
                self.release_hold(shown)
