"""One problem: its distribution and summary figures as pandas objects."""

import functools
import json
import math
import numbers

import pandas as pd

from . import _torvan
from ._progress import Progress


def whole(value, name):
    """Return `value` as an int when it is a whole number, else raise.

    A DataFrame column of counts turns into floats as soon as one cell is
    missing; 10.0 is still ten applicants, 10.5 is not a count. A boolean is
    no count at all (True is not one applicant): TypeError.
    """
    if isinstance(value, bool) or type(value).__name__ == "bool_":
        raise TypeError(f"{name} must be a whole number, not the boolean {value!r}")
    if isinstance(value, numbers.Integral):
        return int(value)
    if isinstance(value, numbers.Real) and float(value).is_integer():
        return int(value)
    raise ValueError(f"{name} = {value!r} must be a whole number")


def compute(ntot, nhire, esize, prop, *, method, minority, alpha, joint, threads, progress=None,
            cancel=None):
    """Run the library on one problem; ValueError when it is refused.

    `progress(done, total)` is told of the pools finished; a set `cancel`
    token stops the computation (not completed), and so does Ctrl-C on the
    main thread (KeyboardInterrupt).
    """
    return _torvan.compute(
        whole(ntot, "ntot"),
        whole(nhire, "nhire"),
        float(esize),
        float(prop),
        method=method,
        minority=None if minority is None else whole(minority, "minority"),
        alpha=float(alpha),
        joint=joint,
        threads=threads,
        progress=progress,
        cancel=cancel,
    )


class Distribution:
    """The exact sampling distribution of the AI ratio for one problem.

    Made by :func:`distribution`; every number in it comes from the TORVAN
    library, as the command line would print it.

    Attributes
    ----------
    problem : dict
        ``ntot``, ``nhire``, ``esize`` and ``prop`` as computed, and
        ``minority`` when the pool was given.
    method : str
        The method that computed it.
    completed : bool
        False when an integral could not be accepted and the computation
        ended early, or when it was cancelled; then `table` is empty and the
        figures are NaN.
    reason : str or None
        Why the computation ended early, as the command line says it.
    table : pandas.DataFrame
        One row per value the ratio can take, ascending, indexed by ``n``
        from 1: ``ai`` (NaN for the undefined ratio, the last row),
        ``defined``, ``probability`` and ``cumulative``.
    mean, variance, sd : float
        Moments of the ratio given that it is defined (NaN when no
        probability lands on a defined value).
    p_undefined : float
        Probability that the ratio is undefined.
    undefined : dict
        `p_undefined` by its causes: ``no_minority_hired`` and
        ``group_absent``.
    p_above_1_25, p_below_0_8 : float
        P(AI > 1.25) and P(AI < 0.8): the four-fifths rule either way.
    percentiles : dict
        ``p5``, ``p25``, ``p50``, ``p75`` and ``p95`` of the defined ratio.
    adverse_impact : dict
        Probabilities that the usual adverse impact rules flag the minority,
        with the significance level of their tests: ``alpha``,
        ``no_comparison``, ``four_fifths``, ``four_fifths_one_person``,
        ``z_test``, ``fisher_exact``, ``z_ir``, ``four_fifths_and_z``,
        ``four_fifths_not_z``, ``z_not_four_fifths``. None when the
        computation ended early.
    skipped_pool_weight : float
        Binomial weight of the pool compositions too unlikely to compute.
    events : pandas.DataFrame
        What happened while pools were computed (the command line's
        diagnostic lines): ``kind``, ``nmin``, ``code``, ``t``, ``smin``,
        ``rmaj``, ``stored``, ``raw``. With the direct method, a pool that
        missed its error bound is an ``accuracy_shortfall`` (by the factor
        ``raw``), the document's ``accuracy_warning``.
    joint : pandas.DataFrame or None
        With ``joint=True``: every outcome with non-zero probability,
        ``minority_applicants``, ``minority_hires`` and ``probability``.
    threads : int
        Threads the pools were computed on.
    cpu_seconds : float
        CPU time of the computation.
    """

    def __init__(self, computed):
        self._c = computed
        self.problem = dict(zip(["ntot", "nhire", "esize", "prop"], computed.problem))
        if computed.minority is not None:
            self.problem["minority"] = computed.minority
        self.method = computed.method
        self.completed = computed.completed
        self.reason = computed.reason
        self.threads = computed.threads
        self.cpu_seconds = computed.cpu_seconds
        figures = computed.summary() or {}
        for name in ("mean", "variance", "sd", "p_undefined", "p_above_1_25", "p_below_0_8",
                     "skipped_pool_weight"):
            setattr(self, name, figures.get(name, math.nan))
        self.undefined = {cause: figures.get(f"undefined_{cause}", math.nan)
                          for cause in ("no_minority_hired", "group_absent")}
        self.percentiles = {p: figures.get(p, math.nan)
                            for p in ("p5", "p25", "p50", "p75", "p95")}
        self.adverse_impact = computed.adverse_impact()

    @functools.cached_property
    def table(self):
        table = pd.DataFrame(self._c.table())
        table.index = pd.RangeIndex(1, len(table) + 1, name="n")
        return table

    @functools.cached_property
    def events(self):
        columns = ["kind", "nmin", "code", "t", "smin", "rmaj", "stored", "raw"]
        return pd.DataFrame(self._c.events(), columns=columns)

    @functools.cached_property
    def joint(self):
        joint = self._c.joint()
        return None if joint is None else pd.DataFrame(joint)

    def to_json(self, indent=2):
        """Return the command line's ``--format json`` document as text.

        Parameters
        ----------
        indent : int, default 2
            Spaces per level, as the command line writes it; -1 for one line.

        Returns
        -------
        str
        """
        return self._c.json_text(indent)

    def to_dict(self):
        """Return the command line's ``--format json`` document as a dict.

        Returns
        -------
        dict
            The same document, key for key and number for number.
        """
        return json.loads(self._c.json_text(-1))

    def __repr__(self):
        p = self.problem
        head = ", ".join(f"{k}={v}" for k, v in p.items()) + f", method={self.method}"
        if not self.completed:
            return f"<torvan.Distribution {head}: ended early: {self.reason}>"
        return (f"<torvan.Distribution {head}: {len(self.table)} values, mean={self.mean:.6g}, "
                f"sd={self.sd:.6g}, p_undefined={self.p_undefined:.6g}>")


def distribution(ntot, nhire, esize, prop, *, method="nested", minority=None, alpha=0.05,
                 joint=False, threads=None, progress=None):
    """Compute the exact sampling distribution of the adverse impact ratio.

    `nhire` of `ntot` applicants are hired top-down; the ratio is the
    majority's selection rate over the minority's. The interpreter is free
    for other threads while the library computes, and Ctrl-C stops it within
    a fraction of a second.

    Parameters
    ----------
    ntot : int
        Applicants, at least 2.
    nhire : int
        Hires, 0 ... `ntot`.
    esize : float
        Mean minority score in standard deviations of the majority's
        (negative when the minority scores lower).
    prop : float
        Proportion of minority applicants in the population, 0 < prop < 1.
    method : {"nested", "direct"}
        How a pool's outcome probabilities are computed. "nested", the
        classic nested integration, reproduces the classic report digit for
        digit; "direct", one integral per pool for all its outcomes, is far
        faster and accurate to about 1e-11 relative for every probability.
    minority : int, optional
        The pool is known: exactly this many of the `ntot` applicants are
        minority applicants; no mixing over pool compositions, and `prop`
        is not used.
    alpha : float, default 0.05
        Significance level of the adverse impact rules' tests.
    joint : bool, default False
        Keep the joint distribution of pool and minority hires (`joint`).
    threads : int, optional
        Pools computed at once; every hardware thread by default. The
        results are the same for every count.
    progress : bool, optional
        Show a progress bar of the pools computed (tqdm, on standard
        error). By default shown when the session is interactive (a
        terminal or a notebook) and the computation takes over a second.

    Returns
    -------
    Distribution

    Raises
    ------
    ValueError
        When the problem cannot be computed, with the command line's message.
    KeyboardInterrupt
        On Ctrl-C; the computation has stopped by then.

    Examples
    --------
    >>> d = torvan.distribution(100, 20, -1.0, 0.2, method="direct")
    >>> d.mean, d.p_undefined, d.adverse_impact["four_fifths"]
    >>> d.table.query("defined").plot(x="ai", y="probability")
    """
    with Progress(progress, "pools") as bar:
        return Distribution(compute(ntot, nhire, esize, prop, method=method, minority=minority,
                                    alpha=alpha, joint=joint, threads=threads,
                                    progress=bar.callback()))
