"""Runs side by side with the next one readied ahead (scripts/plugin/parallel.py): what was readied
reaches its own item's work, at most one per worker ahead, from a thread that outlives that work; what
is never taken is dropped; nothing readied is lost or doubled after a stop or a failure."""
import signal
import threading
import time
import unittest

from plugin import parallel, stops


class Recorder:
    """ready/work/drop for each_in_parallel that record what happened, under a lock."""

    def __init__(self, work_seconds=0.05, fail_ready=(), fail_work=(), on_work=None):
        self.lock = threading.Lock()
        self.readied, self.worked, self.dropped = [], [], []
        self.untaken = 0          # readied, not yet taken by a work
        self.most_untaken = 0
        self.ready_threads = {}
        self.work_seconds = work_seconds
        self.fail_ready, self.fail_work = fail_ready, fail_work
        self.on_work = on_work

    def ready(self, item):
        if item in self.fail_ready:
            raise RuntimeError('the PC could not be made')
        with self.lock:
            self.readied.append(item)
            self.untaken += 1
            self.most_untaken = max(self.most_untaken, self.untaken)
            self.ready_threads[item] = threading.current_thread()
        return 'ready:%s' % item

    def work(self, item, readied):
        with self.lock:
            if readied:
                self.untaken -= 1
            self.worked.append((item, readied))
        if self.on_work:
            self.on_work(self, item, readied)
        if item in self.fail_work:
            raise ValueError('broken %s' % item)
        time.sleep(self.work_seconds)
        return item

    def drop(self, readied):
        with self.lock:
            self.dropped.append(readied)


class ReadyAheadTests(unittest.TestCase):
    def tearDown(self):
        stops.reset()

    def test_each_readied_item_reaches_its_own_work_in_order_at_most_one_per_worker_ahead(self):
        rec = Recorder()
        done = []
        left = parallel.each_in_parallel(range(8), 2, rec.work, lambda item, result: done.append(result),
                                         rec.ready, rec.drop)
        self.assertEqual(left, [])
        self.assertEqual(sorted(done), list(range(8)))
        # The first two start at once, unreadied; the readier then keeps up to two ready.
        self.assertNotIn(0, rec.readied)
        self.assertNotIn(1, rec.readied)
        self.assertEqual(rec.readied, sorted(rec.readied))
        self.assertGreater(len(rec.readied), 0)
        self.assertLessEqual(rec.most_untaken, 2)
        for item, readied in rec.worked:
            self.assertEqual(readied, 'ready:%s' % item if item in rec.readied else None)
        self.assertEqual(rec.dropped, [])

    def test_the_readying_thread_outlives_the_work_of_what_it_readied(self):
        # (A sandbox made on that thread dies with it.)
        alive = []

        def check(rec, item, readied):
            if readied:
                time.sleep(0.1)  # the readier has nothing left to ready meanwhile
                alive.append(rec.ready_threads[item].is_alive())
        rec = Recorder(on_work=check)
        parallel.each_in_parallel(range(4), 1, rec.work, lambda item, result: None, rec.ready, rec.drop)
        self.assertTrue(alive)
        self.assertTrue(all(alive), alive)

    def test_a_readying_that_fails_leaves_the_whole_work_to_the_item(self):
        rec = Recorder(fail_ready=(1, 2))
        parallel.each_in_parallel(range(4), 1, rec.work, lambda item, result: None, rec.ready, rec.drop)
        self.assertEqual([readied for item, readied in rec.worked if item in (1, 2)], [None, None])
        self.assertEqual(len(rec.worked), 4)

    def test_after_a_stop_what_was_readied_and_not_taken_is_dropped(self):
        def stop_at_the_second(rec, item, readied):
            if item == 1:
                deadline = time.monotonic() + 10  # until item 2 has been readied
                while 2 not in rec.readied and time.monotonic() < deadline:
                    time.sleep(0.01)
                stops.request(signal.SIGINT)
        rec = Recorder(on_work=stop_at_the_second)
        done = []
        left = parallel.each_in_parallel(range(5), 1, rec.work, lambda item, result: done.append(item),
                                         rec.ready, rec.drop)
        self.assertEqual(done, [0, 1])
        self.assertEqual(left, [2, 3, 4])
        self.assertEqual(rec.dropped, ['ready:2'])

    def test_a_failing_work_starts_nothing_more_and_comes_out_once_the_others_ended(self):
        def fail_once_the_second_runs(rec, item, readied):
            deadline = time.monotonic() + 10
            while item == 0 and not any(i == 1 for i, _ in rec.worked) and time.monotonic() < deadline:
                time.sleep(0.01)
        rec = Recorder(work_seconds=0.3, fail_work=(0,), on_work=fail_once_the_second_runs)
        done = []
        with self.assertRaisesRegex(ValueError, 'broken 0'):
            parallel.each_in_parallel(range(6), 2, rec.work, lambda item, result: done.append(item),
                                      rec.ready, rec.drop)
        self.assertEqual(done, [1])  # item 1 had started: it ran to its end
        self.assertEqual(sorted(item for item, _ in rec.worked), [0, 1])
        self.assertEqual(len(rec.dropped), len(rec.readied))  # all readied, none taken: all dropped

    def test_a_failing_done_starts_nothing_more_and_lets_the_running_work_end(self):
        rec = Recorder(work_seconds=0.2)

        def done(item, result):
            raise OSError('the page could not be written')
        with self.assertRaisesRegex(OSError, 'could not be written'):
            parallel.each_in_parallel(range(8), 2, rec.work, done, rec.ready, rec.drop)
        ended = len(rec.worked)
        time.sleep(0.5)
        self.assertEqual(len(rec.worked), ended)  # nothing ran on after the call
        self.assertLess(ended, 8)
        self.assertEqual(len(rec.dropped) + len([r for _, r in rec.worked if r]), len(rec.readied))
