"""Ctrl-C and progress bars during long computations."""

import math
import os
import pickle
import re
import time

import pytest

import torvan
from conftest import ctrl_c_after
from torvan import _torvan
from torvan._distribution import Distribution
from torvan._grid import cell

# A nested problem of about ten seconds on one core.
SLOW = (200, 50, -0.5, 0.3)


def threads_of_process():
    return len(os.listdir("/proc/self/task"))


def settles_to(count):
    """Whether the process is back to `count` threads within a second."""
    end = time.monotonic() + 1.0
    while threads_of_process() > count and time.monotonic() < end:
        time.sleep(0.01)
    return threads_of_process() <= count


@pytest.mark.parametrize("run", [
    lambda: torvan.distribution(*SLOW, threads=1),
    lambda: torvan.distribution(*SLOW, threads=2),
    lambda: torvan.grid([SLOW] * 3),
], ids=["one thread", "two threads", "grid"])
def test_ctrl_c_stops_the_computation_within_a_second(run):
    before = threads_of_process()
    with pytest.raises(KeyboardInterrupt):
        with ctrl_c_after(0.5) as sent:
            run()
    assert time.monotonic() - sent[0] < 1.0
    assert settles_to(before), "a thread is still computing"


def test_a_cancelled_computation_is_not_completed_and_says_so():
    token = _torvan.CancelToken()
    token.cancel()
    c = _torvan.compute(*SLOW, threads=2, cancel=token)
    for d in (Distribution(c), pickle.loads(pickle.dumps(Distribution(c)))):
        assert not d.completed and "cancelled" in d.reason
        assert d.table.empty and math.isnan(d.mean) and d.adverse_impact is None
        assert d.to_dict()["completed"] is False and "rows" not in d.to_dict()
    row = cell(SLOW, "nested", 0.05, token)
    assert not row["completed"] and "cancelled" in row["error"]


def bar_of(text, unit):
    """The final state of a tqdm bar of `unit` in captured text: (done, total)."""
    states = re.findall(rf"(\d+)/(\d+) \[[^]]*{unit}/s\]", text)
    return tuple(map(int, states[-1])) if states else None


def test_a_progress_bar_only_when_asked(capsys):
    torvan.distribution(30, 8, -0.5, 0.3, threads=1, progress=True)
    done, total = bar_of(capsys.readouterr().err, "pools")
    assert done == total > 20
    torvan.grid([(10, 3, -0.5, 0.3), (12, 4, 0.0, 0.5), (1, 0, 0.0, 0.5)], progress=True)
    assert bar_of(capsys.readouterr().err, "cells") == (3, 3)
    # Not asked, or by default when nobody watches (the captured stream is no
    # terminal): nothing at all.
    torvan.distribution(30, 8, -0.5, 0.3, threads=1, progress=False)
    torvan.distribution(30, 8, -0.5, 0.3, threads=1)
    torvan.grid([(10, 3, -0.5, 0.3)])
    assert capsys.readouterr() == ("", "")


def test_ctrl_c_cancels_the_clusters_tasks(client):
    cells = [(60, 15, -0.5, 0.3)] * 16  # about 13 s of work for the two workers
    with pytest.raises(KeyboardInterrupt):
        with ctrl_c_after(1.0) as sent:
            torvan.grid(cells, client=client)
    assert time.monotonic() - sent[0] < 1.0

    def tasks(dask_scheduler):
        return len(dask_scheduler.tasks)

    end = time.monotonic() + 5.0
    while client.run_on_scheduler(tasks) > 0 and time.monotonic() < end:
        time.sleep(0.05)
    assert client.run_on_scheduler(tasks) == 0


def test_an_interrupted_cluster_grid_leaves_no_worker_computing(client):
    # Four ten-second cells on two workers: without the cancellation the
    # workers would go on for about ten seconds more after Ctrl-C.
    with pytest.raises(KeyboardInterrupt):
        with ctrl_c_after(1.0):
            torvan.grid([SLOW] * 4, client=client)
    start = time.monotonic()
    quick = torvan.grid([(10, 3, -0.5, 0.3), (12, 4, 0.0, 0.5)], client=client)
    took = time.monotonic() - start
    assert quick["completed"].all()
    assert took < 4.0, f"the next grid waited {took:.1f} s for the interrupted one's cells"
