"""When a start of the program has ended. The run knows that the program, its starts from the
CD-ROM drive and the setups have ended; what it cannot know by itself is whether something they
started is still on its way to the robot's record. So it asks the robot: "sync N", which the
robot answers after it has looked at every process and window once more, with the number of new
processes it has seen but could not name yet. The start has ended when such an answer comes
with none starting and nothing new was recorded since the question, and no other program of
the PC's own runs (the kit the program started a moment before its end, still writing its log;
a service, which never ends). While one runs, the end is the fixed wait's. A robot that never answers
(one built before it could) leaves the fixed wait: the end once nothing was recorded for
quiet_seconds."""


class EndWatch:
    def __init__(self, ask, quiet_seconds, use_sync=True):
        self.ask = ask                    # ask(number): sends "sync number" to the robot
        self.quiet_seconds = quiet_seconds
        self.use_sync = use_sync
        self.asked = 0                    # the number of the last question
        self.asked_at = None              # when it was asked, while one is open
        self.answered = 0                 # the number of the last answer
        self.starting = 0                 # the processes still starting at that answer

    def on_answer(self, fields):
        """An event=robot-sync of the robot's record."""
        try:
            number, starting = int(fields.get('number', '')), int(fields.get('starting', '0'))
        except ValueError:
            return
        if number > self.answered:
            self.answered, self.starting = number, starting

    def ended(self, now, settled, last_event, others_running=False):
        """Whether the start has ended: now and last_event (the last thing recorded) on one
        clock; settled: the program, its starts and the setups have ended; others_running:
        another program (not Wine's, not the run's) still runs."""
        if not settled:
            self.asked_at = None  # whatever answer comes was asked too early
            return False
        if now - last_event >= self.quiet_seconds:
            return True
        if not self.use_sync or others_running:
            self.asked_at = None
            return False
        if self.asked_at is not None and self.answered >= self.asked:
            if self.starting == 0 and last_event < self.asked_at:
                return True
            self.asked_at = None  # something happened meanwhile: asked again
        if self.asked_at is None:
            self.asked += 1
            self.asked_at = now
            self.ask(self.asked)
        return False
