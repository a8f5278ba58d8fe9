"""The end of a start of the program as the run decides it from the robot's answers to its syncs,
and the timing of a run's phases with the benchmark's figures made from them."""
import io
import json
import os
import tempfile
import threading
import unittest
import unittest.mock
from contextlib import redirect_stdout

from plugin import bench, phases
from plugin.end_watch import EndWatch


class Robot:
    """The questions the run sent, and the watch that asks them."""

    def __init__(self, use_sync=True):
        self.asked = []
        self.watch = EndWatch(self.asked.append, quiet_seconds=2.0, use_sync=use_sync)

    def answer(self, number, starting=0):
        self.watch.on_answer({'event': 'robot-sync', 'number': str(number), 'starting': str(starting)})


class EndWatchTests(unittest.TestCase):
    def test_the_end_comes_with_the_first_answer_after_everything_ended(self):
        robot = Robot()
        self.assertFalse(robot.watch.ended(10.0, settled=False, last_event=9.9))
        self.assertEqual(robot.asked, [])  # nothing asked while the program runs
        self.assertFalse(robot.watch.ended(10.05, settled=True, last_event=10.0))
        self.assertFalse(robot.watch.ended(10.1, settled=True, last_event=10.0))
        self.assertEqual(robot.asked, [1])  # asked once, not at every look
        robot.answer(1)
        self.assertTrue(robot.watch.ended(10.15, settled=True, last_event=10.0))

    def test_what_happened_after_the_question_or_is_still_starting_asks_again(self):
        robot = Robot()
        robot.watch.ended(10.0, True, 9.0)
        robot.answer(1)
        # A program the robot reported after the question (the kit, started at the very end).
        self.assertFalse(robot.watch.ended(10.1, True, 10.05))
        self.assertEqual(robot.asked, [1, 2])
        robot.answer(2, starting=1)  # a new process the robot could not name yet
        self.assertFalse(robot.watch.ended(10.2, True, 10.05))
        self.assertEqual(robot.asked, [1, 2, 3])
        robot.answer(3)
        self.assertTrue(robot.watch.ended(10.3, True, 10.05))

    def test_an_answer_to_a_question_asked_before_something_started_again_does_not_count(self):
        robot = Robot()
        robot.watch.ended(10.0, True, 9.0)
        self.assertFalse(robot.watch.ended(10.1, False, 10.1))  # a setup started meanwhile
        robot.answer(1)
        self.assertFalse(robot.watch.ended(10.5, True, 10.4))
        self.assertEqual(robot.asked, [1, 2])
        robot.answer(1)  # late and repeated: still the old question
        self.assertFalse(robot.watch.ended(10.6, True, 10.4))
        robot.answer(2)
        self.assertTrue(robot.watch.ended(10.7, True, 10.4))

    def test_no_end_by_sync_while_another_program_of_the_pc_runs(self):
        # The kit, started by the program just before its end, has not logged its start yet.
        robot = Robot()
        self.assertFalse(robot.watch.ended(10.0, True, 9.9, others_running=True))
        robot.answer(1)
        self.assertFalse(robot.watch.ended(10.1, True, 9.9, others_running=True))
        # The kit ends (a new event): asked after that, answered, ended.
        self.assertFalse(robot.watch.ended(10.3, True, 10.2, others_running=False))
        robot.answer(robot.asked[-1])
        self.assertTrue(robot.watch.ended(10.4, True, 10.2, others_running=False))
        # A program that never ends (a service): the fixed wait ends the start.
        robot = Robot()
        self.assertFalse(robot.watch.ended(11.9, True, 10.0, others_running=True))
        self.assertTrue(robot.watch.ended(12.0, True, 10.0, others_running=True))

    def test_a_robot_that_never_answers_and_a_run_without_syncs_end_after_the_quiet_time(self):
        for robot in (Robot(), Robot(use_sync=False)):
            self.assertFalse(robot.watch.ended(11.9, True, 10.0))
            self.assertTrue(robot.watch.ended(12.0, True, 10.0))
        self.assertEqual(Robot(use_sync=False).asked, [])
        robot = Robot()
        robot.watch.on_answer({'event': 'robot-sync', 'number': 'x'})  # a garbled answer is no answer
        robot.watch.ended(10.0, True, 9.0)
        self.assertFalse(robot.watch.ended(10.1, True, 9.0))


class PhaseClockTests(unittest.TestCase):
    def test_phases_repeat_add_up_and_are_kept_when_their_step_fails(self):
        clock = phases.PhaseClock(started=100.0)
        with unittest.mock.patch.object(phases.time, 'time', side_effect=[101.0, 101.5, 103.0, 104.25]):
            with clock.phase('stop'):
                pass
            with self.assertRaises(RuntimeError):
                with clock.phase('stop'):
                    raise RuntimeError('the PC did not stop')
        self.assertEqual(clock.phases, [{'name': 'stop', 'start': 1.0, 'seconds': 0.5},
                                        {'name': 'stop', 'start': 3.0, 'seconds': 1.25}])
        self.assertEqual(clock.total('stop'), 1.75)
        clock.mark('program started', 102.0)
        clock.mark('program started', 107.0)  # the second plug-in's start is not the first
        self.assertEqual(clock.data()['moments'], {'program started': 2.0})

    def test_phases_from_threads_are_all_kept(self):
        clock = phases.PhaseClock()
        threads = [threading.Thread(target=lambda: [clock.add('shot', 0.0, 1.0) for _ in range(200)])
                   for _ in range(4)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        self.assertEqual(len(clock.phases), 800)

    def test_written_only_where_asked_and_whole(self):
        clock = phases.PhaseClock(started=50.0)
        clock.add('display', 50.0, 50.25)
        with unittest.mock.patch.dict(os.environ, {}, clear=True):
            self.assertIsNone(phases.write(clock))
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, 'phases.json')
            with unittest.mock.patch.dict(os.environ, {phases.VARIABLE: path}):
                self.assertEqual(phases.write(clock), path)
            with open(path) as f:
                self.assertEqual(json.load(f)['phases'], [{'name': 'display', 'start': 0.0, 'seconds': 0.25}])
            self.assertEqual(os.listdir(folder), ['phases.json'])


def clock_data(started, phases_list, moments):
    return {'started': started, 'phases': phases_list, 'moments': moments}


class BenchFiguresTests(unittest.TestCase):
    def test_ready_job_ratio_and_end_wait_from_the_runs_moments_and_the_commands_clock(self):
        data = clock_data(1000.5, [{'name': 'stop', 'start': 1, 'seconds': 0.5},
                                   {'name': 'stop', 'start': 9, 'seconds': 0.25}],
                          {'program started': 1.0, 'last program ended': 3.0, 'end seen': 3.25})
        figures = bench.figures(data, {'run': {'outcome': 'finished'}, 'outcome': 'finished'}, 1000.0, 1005.0)
        self.assertEqual(figures['ready'], 1.5)  # half a second of the command before the run's clock began
        self.assertEqual(figures['job'], 2.0)
        self.assertEqual(figures['wall'], 5.0)
        self.assertEqual(figures['ratio'], 2.5)
        self.assertEqual(figures['end wait'], 0.25)
        self.assertEqual(figures['phases']['stop'], 0.75)
        self.assertEqual(figures['phases'][bench.BEFORE_CLOCK], 0.5)

    def test_a_run_that_never_started_the_program_has_no_ready_job_or_ratio(self):
        figures = bench.figures(clock_data(10.0, [], {}), {'run': None, 'outcome': 'skipped'}, 9.0, 12.0)
        self.assertEqual((figures['ready'], figures['job'], figures['ratio'], figures['wall']), (None, None, None, 3.0))

    def test_the_goals_are_judged_on_the_worst_pc(self):
        def goals(ready_values, ratios):
            runs = {pc: [{'ready': r, 'job': 1.0, 'end wait': 0.1, 'wall': q, 'ratio': q}]
                    for pc, r, q in zip(('xp-32', '10-64'), ready_values, ratios)}
            out = io.StringIO()
            with redirect_stdout(out):
                bench.print_goals(['xp-32', '10-64'], runs)
            return [line for line in out.getvalue().splitlines() if 'goal:' in line]
        met = goals([1.2, 1.5], [1.5, 2.0])
        self.assertIn('reached (worst median 1.50 s)', met[0])
        self.assertIn('reached (worst median 2.00)', met[1])
        missed = goals([1.2, 1.6], [1.5, 2.1])
        self.assertIn('NOT reached (worst median 1.60 s)', missed[0])
        self.assertIn('NOT reached (worst median 2.10)', missed[1])
        self.assertIn('NOT reached', goals([1.0, None], [1.0, None])[0])  # a PC without a figure never passes


if __name__ == '__main__':
    unittest.main()
