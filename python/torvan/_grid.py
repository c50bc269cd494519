"""Many problems at once: on local threads, or on a Dask cluster's workers."""

import os
from concurrent.futures import ThreadPoolExecutor

import pandas as pd

from . import _torvan
from ._distribution import compute

INPUTS = ["ntot", "nhire", "esize", "prop"]
FIGURES = ["mean", "variance", "sd", "p_undefined", "p_above_1_25", "p_below_0_8", "p5", "p50",
           "p95", "skipped_pool_weight"]

# Tasks per worker thread when a grid is cut into batches: enough that a
# thread that drew the costly cells does not hold up the others, few enough
# that the scheduler's own cost per task stays small beside the cells'.
TASKS_PER_THREAD = 4


def cell(problem, method):
    """One row of a grid: the inputs, the summary figures and the error.

    A refused problem, or one that ended early, has NaN figures and says why
    in ``error``; nothing a single cell does stops the grid.
    """
    row = dict(zip(INPUTS, problem)) if len(problem) == len(INPUTS) else {}
    row.update(completed=False, error=None)
    try:
        if len(problem) != len(INPUTS):
            raise ValueError(f"a problem is four values: ntot, nhire, esize, prop; not {problem!r}")
        c = compute(*problem, method=method, minority=None, threads=1)
        row.update(c.summary() or {}, completed=c.completed, error=c.reason)
    except (TypeError, ValueError) as e:
        row["error"] = str(e)
    return row


def run_batch(problems, method):
    """The rows of consecutive cells; the unit of work sent to a Dask worker."""
    return [cell(p, method) for p in problems]


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
    if isinstance(problems, pd.DataFrame):
        missing = [c for c in INPUTS if c not in problems.columns]
        if missing:
            raise ValueError(f"the problems need the columns {', '.join(missing)}")
        rows = list(problems[INPUTS].itertuples(index=False, name=None))
        return rows, problems.index
    rows = [tuple(p) for p in problems]
    return rows, pd.RangeIndex(len(rows))


def grid(problems, *, method="nested", client=None):
    """Compute a grid of problems: one row of summary figures per problem.

    Parameters
    ----------
    problems : pandas.DataFrame or iterable of tuples
        A DataFrame with columns ``ntot``, ``nhire``, ``esize`` and ``prop``
        (other columns are ignored; the result keeps its index), or
        ``(ntot, nhire, esize, prop)`` tuples.
    method : str, default "nested"
        How outcomes are integrated, for every problem.
    client : dask.distributed.Client, optional
        Run the cells on this client's cluster, cheap neighbouring cells
        batched into one task. The workers need ``torvan`` importable.
        Without a client the cells run on local threads, one per core.

    Returns
    -------
    pandas.DataFrame
        One row per problem, in input order: ``ntot``, ``nhire``, ``esize``,
        ``prop``, ``completed``, ``mean``, ``variance``, ``sd``,
        ``p_undefined``, ``p_above_1_25``, ``p_below_0_8``, ``p5``, ``p50``,
        ``p95``, ``skipped_pool_weight`` and ``error``: None, or why the
        problem was refused (the command line's message) or ended early.

    Examples
    --------
    >>> cells = [(n, n // 5, -1.0, 0.2) for n in range(10, 101, 10)]
    >>> torvan.grid(cells)
    >>> from dask.distributed import Client
    >>> torvan.grid(cells, client=Client("tcp://scheduler:8786"))
    """
    if method not in _torvan.methods:
        raise ValueError(f"method must be one of {', '.join(_torvan.methods)}, not {method!r}")
    cells, index = problems_of(problems)
    if client is None:
        with ThreadPoolExecutor(max_workers=os.cpu_count() or 1) as pool:
            rows = list(pool.map(lambda p: cell(p, method), cells))
    else:
        slots = sum(client.nthreads().values())
        futures = client.map(run_batch, batches(cells, slots), method=method, pure=False)
        rows = [row for batch in client.gather(futures) for row in batch]
    return pd.DataFrame(rows, index=index, columns=INPUTS + ["completed"] + FIGURES + ["error"])
