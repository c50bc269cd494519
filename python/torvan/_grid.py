"""Many problems at once: on local threads, or on a Dask cluster's workers."""

from __future__ import annotations

import os
import threading
import uuid
from concurrent.futures import ThreadPoolExecutor, as_completed
from typing import Any, Optional

import pandas as pd

from . import _check, _torvan
from ._audit import frame_of
from ._distribution import problem_args
from ._progress import Progress

INPUTS = ["ntot", "nhire", "esize", "prop", "minority"]
FIGURES = ["mean", "variance", "sd", "p_undefined", "undefined_no_minority_hired",
           "undefined_group_absent", "p_above_1_25", "p_below_0_8", "p5", "p25", "p50", "p75",
           "p95", "skipped_pool_weight", "skipped_outcome_weight"]
RULES = ["no_comparison", "four_fifths", "four_fifths_one_person", "z_test", "fisher_exact",
         "z_ir", "four_fifths_and_z", "four_fifths_not_z", "z_not_four_fifths"]
COLUMNS = INPUTS + ["method", "alpha", "completed"] + FIGURES + RULES + ["accuracy_shortfalls",
                                                                         "error"]

# Tasks per worker thread when a grid is cut into batches: enough that a
# thread that drew the costly cells does not hold up the others, few enough
# that the scheduler's own cost per task stays small beside the cells'.
TASKS_PER_THREAD = 4


def known(minority):
    """The minority count of a problem, or None where a frame has none."""
    return None if pd.isna(minority) else minority


def cell(problem, method, alpha, cancel=None):
    """One row of a grid: the inputs, the figures and the error.

    A refused problem, or one that ended early, has NaN figures and says why
    in ``error``; nothing a single cell does stops the grid. A set `cancel`
    token stops the cell's computation.
    """
    row = {"method": method, "alpha": alpha, "completed": False, "error": None}
    try:
        if len(problem) not in (4, 5):
            raise ValueError("a problem is four values, ntot, nhire, esize, prop, and "
                             f"optionally minority; not {problem!r}")
        row.update(zip(INPUTS, problem))
        ntot, nhire, esize, prop = problem[:4]
        minority = known(problem[4]) if len(problem) == 5 else None
        if minority is not None and prop is not None and pd.isna(prop):
            prop = None  # a frame's known pool with no prop
        # The figures without the table, as --batch --rows none computes them:
        # with the direct method a cell may have a million applicants.
        f = _torvan.figures(**problem_args(ntot, nhire, esize, prop, minority, alpha, method),
                            threads=1, cancel=cancel)
        row.update(f["summary"] or {}, **(f["adverse_impact"] or {}))
        row.update(completed=f["completed"], error=f["reason"], accuracy_shortfalls=sum(
            e["kind"] == "accuracy_shortfall" for e in f["events"]))
    except (TypeError, ValueError) as e:
        row["error"] = str(e)
    return row


# How often a worker's batch looks whether the client has called the grid
# off: well within the second a user waits after Ctrl-C, and a scheduler
# round trip each time is negligible beside a cell worth stopping.
CANCEL_POLL_SECONDS = 0.2


def run_batch(problems, method, alpha, stop=None):
    """The rows of consecutive cells; the unit of work sent to a Dask worker.

    `stop` names a Dask Event the client sets when the grid is called off
    (Ctrl-C): a thread beside the cells polls it and, once it is set, stops
    the cell computing and every later one, so that the worker is free at
    once rather than when the cancelled task would have ended.
    """
    token = _torvan.CancelToken()
    done = threading.Event()
    if stop is not None:
        from distributed import Event

        event = Event(stop)

        def watch():
            while not done.wait(CANCEL_POLL_SECONDS):
                try:
                    if event.is_set():
                        token.cancel()
                        return
                except Exception:  # the scheduler gone: nothing left to ask
                    return

        watcher = threading.Thread(target=watch, daemon=True)
        watcher.start()
    try:
        return [cell(p, method, alpha, token) for p in problems]
    finally:
        done.set()


def cost(problem):
    """Rough relative cost of a cell: it grows with pools times hiring outcomes."""
    try:
        return (int(problem[0]) + 1) * (int(problem[1]) + 1)
    except (TypeError, ValueError, IndexError, OverflowError):
        return 1


def batches(problems, slots):
    """Cut the problems, in order, into runs of about equal cost.

    A costly cell forms a task of its own; cheap neighbours share one, so
    that a grid of thousands of quick cells is not thousands of tasks.
    """
    costs = [cost(p) for p in problems]
    budget = sum(costs) / (TASKS_PER_THREAD * max(1, slots))
    out, current, spent = [], [], 0
    for p, c in zip(problems, costs):
        if current and spent + c > budget:
            out.append(current)
            current, spent = [], 0
        current.append(p)
        spent += c
    if current:
        out.append(current)
    return out


def problems_of(problems):
    """The problems as tuples, and the index the result rows get."""
    frame = frame_of(problems, INPUTS, "problems")
    if not isinstance(frame, pd.DataFrame):  # tuples, each checked in its own cell
        rows = [tuple(p) for p in frame]
        return rows, pd.RangeIndex(len(rows))
    needed = INPUTS[:3] + ([] if "minority" in frame.columns else ["prop"])
    missing = [c for c in needed if c not in frame.columns]
    if missing:
        raise ValueError(f"the problems need the columns {', '.join(missing)}"
                         " (prop unless minority is given)")
    frame = frame.assign(prop=frame["prop"] if "prop" in frame.columns else None)
    columns = [c for c in INPUTS if c in frame.columns]
    return list(frame[columns].itertuples(index=False, name=None)), frame.index


def on_threads(cells, method, alpha, bar):
    """The rows of the cells, computed on local threads, one per core.

    On an exception in the waiting thread (KeyboardInterrupt on Ctrl-C) the
    cells not started are dropped and those running are stopped, and waited
    for, before it goes on.
    """
    token = _torvan.CancelToken()
    with ThreadPoolExecutor(max_workers=os.cpu_count() or 1) as pool:
        futures = [pool.submit(cell, p, method, alpha, token) for p in cells]
        try:
            for _ in as_completed(futures):
                bar.advance()
        except BaseException:
            token.cancel()
            for f in futures:
                f.cancel()
            raise
    return [f.result() for f in futures]


def on_cluster(cells, method, alpha, bar, client):
    """The rows of the cells, computed in batches on a Dask cluster.

    On an exception while waiting (KeyboardInterrupt on Ctrl-C) every batch
    is cancelled before it goes on.
    """
    from distributed import as_completed as arrived

    from distributed import Event

    slots = sum(client.nthreads().values())
    work = batches(cells, slots)
    stop = f"torvan-grid-{uuid.uuid4().hex}"
    futures = client.map(run_batch, work, method=method, alpha=alpha, stop=stop, pure=False)
    sizes = {f.key: len(b) for f, b in zip(futures, work)}
    try:
        for f in arrived(futures):
            bar.advance(sizes[f.key])
        return [row for batch in client.gather(futures) for row in batch]
    except BaseException:
        # Cancelling the tasks does not stop those running: the workers'
        # batches see the event and stop their cells.
        Event(stop, client=client).set()
        client.cancel(futures)
        raise


def grid(problems: Any, *, method: str = "nested", alpha: float = 0.05, client: Any = None,
         progress: Optional[bool] = None) -> pd.DataFrame:
    """Compute a grid of problems: one row of figures per problem.

    Parameters
    ----------
    problems : pandas.DataFrame, dict of columns, or list of tuples or dicts
        A DataFrame with columns ``ntot``, ``nhire``, ``esize``, ``prop``
        and optionally ``minority`` (missing values: pools mixed; ``prop``
        may be left out when every pool is known), other columns ignored,
        its index kept; a dict of such columns or a list of dicts by those
        names; or ``(ntot, nhire, esize, prop)`` tuples, or ``(ntot, nhire,
        esize, prop, minority)``. Anything else is a TypeError.
    method : {"nested", "direct"}
        How outcomes are computed, for every problem (see
        :func:`distribution`).
    alpha : float, default 0.05
        Significance level of the adverse impact rules' tests.
    client : dask.distributed.Client, optional
        Run the cells on this client's cluster, cheap neighbouring cells
        batched into one task. The workers need ``torvan`` importable.
        Without a client the cells run on local threads, one per core.
    progress : bool, optional
        Show a progress bar of the cells computed (tqdm, on standard
        error). By default shown when the session is interactive (a
        terminal or a notebook) and the grid takes over a second.

    Returns
    -------
    pandas.DataFrame
        One row per problem, in input order: the inputs (``minority`` empty
        where the pools are mixed), ``method``, ``alpha``, ``completed``,
        the figures of :class:`Distribution` (``mean``, ``variance``,
        ``sd``, ``p_undefined``, ``undefined_no_minority_hired``,
        ``undefined_group_absent``, ``p_above_1_25``, ``p_below_0_8``,
        ``p5`` ... ``p95``, ``skipped_pool_weight``), the rules'
        probabilities of flagging (``no_comparison``, ``four_fifths``, ...,
        ``z_not_four_fifths``), ``accuracy_shortfalls`` (pools that missed
        the direct method's error bound) and ``error``: None, or why the
        problem was refused (the command line's message) or ended early.

    Raises
    ------
    KeyboardInterrupt
        On Ctrl-C: by then the local threads have stopped, or the cluster's
        tasks are cancelled.

    Examples
    --------
    >>> import torvan
    >>> cells = [(n, n // 5, -1.0, 0.2) for n in range(10, 51, 10)]
    >>> torvan.grid(cells, method="direct")[["ntot", "mean", "four_fifths", "error"]].round(4)
       ntot    mean  four_fifths error
    0    10  0.4627       0.7926  None
    1    20  0.9788       0.8659  None
    2    30  1.4206       0.8682  None
    3    40  1.8309       0.9106  None
    4    50  2.2173       0.9411  None
    >>> from dask.distributed import Client
    >>> g = torvan.grid(cells, client=Client("tcp://scheduler:8786"))  # doctest: +SKIP
    """
    _check.method(method, _torvan.methods)
    alpha = _check.real(alpha, "alpha")
    cells, index = problems_of(problems)
    with Progress(_check.optional_flag(progress, "progress"), "cells", total=len(cells)) as bar:
        if client is None:
            rows = on_threads(cells, method, alpha, bar)
        else:
            rows = on_cluster(cells, method, alpha, bar, client)
    out = pd.DataFrame(rows, index=index, columns=COLUMNS)
    out["accuracy_shortfalls"] = out["accuracy_shortfalls"].astype("Int64")
    try:  # counts with gaps; an error row may hold anything the caller gave
        out["minority"] = out["minority"].astype("Int64")
    except (TypeError, ValueError):
        pass
    return out
