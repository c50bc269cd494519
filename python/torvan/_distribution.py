"""One problem: its distribution and summary figures as pandas objects."""

from __future__ import annotations

import functools
import io
import json
import math
from typing import Optional

import pandas as pd

from . import _check, _html, _torvan
from ._progress import Progress

#: The rules of ``--format joint``, one column each in :attr:`Distribution.joint`.
JOINT_RULES = ["four_fifths", "four_fifths_one_person", "z_test", "fisher_exact", "z_ir"]


def problem_args(ntot, nhire, esize, prop, minority, alpha, method_name):
    """The problem's arguments checked and converted, as the compiled module takes them.

    A known pool (`minority` given) needs no `prop`: it goes in as NaN, which
    the library does not read then, and the document shows as null.
    """
    minority = None if minority is None else _check.at_least(minority, "minority", 0)
    if prop is None and minority is None:
        raise TypeError("prop must be a number unless the pool is known (minority given)")
    return dict(ntot=_check.whole(ntot, "ntot"), nhire=_check.whole(nhire, "nhire"),
                esize=_check.real(esize, "esize"),
                prop=math.nan if prop is None else _check.real(prop, "prop"),
                minority=minority, alpha=_check.real(alpha, "alpha"),
                method=_check.method(method_name, _torvan.methods))


def compute(ntot, nhire, esize, prop, *, method, minority, alpha, joint, threads, progress=None,
            cancel=None):
    """Run the library on one problem; ValueError when it is refused.

    `progress(done, total)` is told of the pools finished; a set `cancel`
    token stops the computation (not completed), and so does Ctrl-C on the
    main thread (KeyboardInterrupt).
    """
    args = problem_args(ntot, nhire, esize, prop, minority, alpha, method)
    return _torvan.compute(
        args.pop("ntot"), args.pop("nhire"), args.pop("esize"), args.pop("prop"), **args,
        joint=_check.flag(joint, "joint"), threads=_check.threads(threads), progress=progress,
        cancel=cancel)


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
    skipped_outcome_weight : float
        Outcomes of the computed pools too improbable to matter, left out.
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
        CPU time of the computation (NaN with ``rows=False``).
    """

    problem: dict
    method: str
    completed: bool
    reason: Optional[str]
    mean: float
    variance: float
    sd: float
    p_undefined: float
    undefined: dict
    p_above_1_25: float
    p_below_0_8: float
    percentiles: dict
    adverse_impact: Optional[dict]
    skipped_pool_weight: float
    skipped_outcome_weight: float
    threads: int
    cpu_seconds: float

    def __init__(self, computed, figures: Optional[dict] = None, problem: Optional[dict] = None):
        # Either a computed table (computed) or, with rows=False, the figures
        # alone with their problem as given.
        self._c = computed
        self._figures = figures
        if computed is not None:
            ntot, nhire, esize, prop = computed.problem
            self.problem = {"ntot": ntot, "nhire": nhire, "esize": esize,
                            "prop": None if math.isnan(prop) else prop}
            if computed.minority is not None:
                self.problem["minority"] = computed.minority
            self.method = computed.method
            self.completed = computed.completed
            self.reason = computed.reason
            self.threads = computed.threads
            self.cpu_seconds = computed.cpu_seconds
            summary = computed.summary() or {}
            self.adverse_impact = computed.adverse_impact()
        else:
            self.problem = problem
            doc = json.loads(figures["json"])
            self.method = doc["method"]
            self.completed = figures["completed"]
            self.reason = figures["reason"]
            self.threads = doc["threads"]
            self.cpu_seconds = math.nan
            summary = figures["summary"] or {}
            self.adverse_impact = figures["adverse_impact"]
        for name in ("mean", "variance", "sd", "p_undefined", "p_above_1_25", "p_below_0_8",
                     "skipped_pool_weight", "skipped_outcome_weight"):
            setattr(self, name, summary.get(name, math.nan))
        self.undefined = {cause: summary.get(f"undefined_{cause}", math.nan)
                          for cause in ("no_minority_hired", "group_absent")}
        self.percentiles = {p: summary.get(p, math.nan)
                            for p in ("p5", "p25", "p50", "p75", "p95")}

    @functools.cached_property
    def table(self) -> Optional[pd.DataFrame]:
        """The rows of ``--format csv``: one per value the ratio can take.

        Indexed by ``n`` from 1: ``ai`` (ascending; NaN for the undefined
        ratio, the last row), ``defined``, ``probability`` and
        ``cumulative`` (added up in table order, as the CSV is). Empty when
        the computation ended early; None with ``rows=False``.

        >>> import torvan
        >>> d = torvan.distribution(10, 3, -0.5, 0.3)
        >>> d.table.tail(2)
             ai  defined  probability  cumulative
        n
        15  8.0     True     0.000245    0.478205
        16  NaN    False     0.521795    1.000000
        """
        if self._c is None:
            return None
        table = pd.DataFrame(self._c.table())
        table.index = pd.RangeIndex(1, len(table) + 1, name="n")
        return table

    @functools.cached_property
    def events(self) -> pd.DataFrame:
        """What happened while the pools were computed: one row an event.

        The command line's diagnostic lines as columns ``kind``
        (``inner_error``, ``abnormal_return``, ``accepted_as_one``,
        ``accuracy_shortfall``), ``nmin`` (the pool), ``code``, ``t``,
        ``smin``, ``rmaj``, ``stored`` and ``raw``; usually none.

        >>> import torvan
        >>> torvan.distribution(10, 3, -0.5, 0.3).events.empty
        True
        """
        columns = ["kind", "nmin", "code", "t", "smin", "rmaj", "stored", "raw"]
        events = self._c.events() if self._c is not None else self._figures["events"]
        return pd.DataFrame(events, columns=columns)

    @functools.cached_property
    def joint(self) -> Optional[pd.DataFrame]:
        """The joint distribution of ``--format joint``, with ``joint=True``.

        One row per outcome with non-zero probability: ``minority_applicants``,
        ``minority_hires``, ``probability``, ``ai`` (NaN where undefined) and
        each rule's verdict on the outcome (``four_fifths``,
        ``four_fifths_one_person``, ``z_test``, ``fisher_exact``, ``z_ir``).
        None without ``joint=True``.

        >>> import torvan
        >>> d = torvan.distribution(4, 2, 0.0, 0.5, joint=True)
        >>> d.joint[["minority_applicants", "minority_hires", "ai", "z_ir"]].head(3)
           minority_applicants  minority_hires        ai   z_ir
        0                    0               0       NaN  False
        1                    1               0       NaN   True
        2                    1               1  0.333333  False
        """
        text = None if self._c is None else self._c.joint_csv()
        if text is None:
            return None
        joint = pd.read_csv(io.StringIO(text), float_precision="round_trip",
                            dtype={rule: bool for rule in JOINT_RULES})
        joint["ai"] = joint["ai"].astype(float)
        return joint

    def to_json(self, indent: int = 2) -> str:
        """Return the command line's ``--format json`` document as text.

        With ``rows=False``, its ``--rows none`` document.

        Parameters
        ----------
        indent : int, default 2
            Spaces per level, as the command line writes it; -1 for one line.

        Returns
        -------
        str
        """
        if self._c is None:
            return _torvan.json_reindented(self._figures["json"], _check.whole(indent, "indent"))
        return self._c.json_text(_check.whole(indent, "indent"))

    def to_dict(self) -> dict:
        """Return the command line's ``--format json`` document as a dict.

        Returns
        -------
        dict
            The same document, key for key and number for number.
        """
        return json.loads(self.to_json(-1))

    def to_frame(self) -> pd.DataFrame:
        """Return the table (a copy): one row per value the ratio can take.

        Raises
        ------
        ValueError
            With ``rows=False``, which computes no table.
        """
        if self.table is None:
            raise ValueError("this distribution has no table: it was computed with rows=False")
        return self.table.copy()

    def plot(self, ax=None):
        """Draw the distribution with matplotlib, as ``--plot`` draws it; return the axes.

        Spikes give each defined AI value's probability; a step line on a
        second axis (0 to 1) the cumulative probability, which ends at the
        probability that the ratio is defined; the four-fifths thresholds
        0.8 and 1.25 are dashed vertical lines.

        Parameters
        ----------
        ax : matplotlib.axes.Axes, optional
            Where to draw; a new figure's axes by default.

        Returns
        -------
        matplotlib.axes.Axes
            The probabilities' axes (the cumulative curve is on its twin).
        """
        import matplotlib.pyplot as plt

        if self.table is None or not self.completed:
            raise ValueError("only a completed distribution with its table can be drawn")
        if ax is None:
            _, ax = plt.subplots()
        defined = self.table[self.table["defined"]]
        ax.vlines(defined["ai"], 0, defined["probability"], linewidth=1, label="probability")
        for threshold in (0.8, 1.25):
            ax.axvline(threshold, linestyle="--", color="grey", linewidth=1)
        ax.set_xlabel("AI ratio")
        ax.set_ylabel("probability")
        ax.set_title(f"P(undefined) = {self.p_undefined:.4g}", fontsize="small")
        cumulative = ax.twinx()
        cumulative.step(defined["ai"], defined["probability"].cumsum(), where="post",
                        color="C1", label="cumulative")
        cumulative.set_ylim(0, 1)
        cumulative.set_ylabel("P(AI <= x)")
        return ax

    def _repr_html_(self) -> str:
        p = self.problem
        title = "torvan.Distribution " + ", ".join(f"{k}={v}" for k, v in p.items())
        rows = [("method", self.method), ("completed", self.completed)]
        if not self.completed:
            rows.append(("reason", self.reason))
        else:
            rows += [("mean", self.mean), ("sd", self.sd), ("p_undefined", self.p_undefined),
                     ("p_above_1_25", self.p_above_1_25), ("p_below_0_8", self.p_below_0_8),
                     *self.percentiles.items(),
                     *((k, v) for k, v in self.adverse_impact.items() if k != "alpha")]
        svg = self._c.svg() if self._c is not None and self.completed else None
        return _html.page(title, rows, svg)

    def __repr__(self):
        p = self.problem
        head = ", ".join(f"{k}={v}" for k, v in p.items()) + f", method={self.method}"
        if not self.completed:
            return f"<torvan.Distribution {head}: ended early: {self.reason}>"
        if self._c is None:
            return (f"<torvan.Distribution {head}: figures without the table, "
                    f"mean={self.mean:.6g}, sd={self.sd:.6g}, p_undefined={self.p_undefined:.6g}>")
        return (f"<torvan.Distribution {head}: {len(self.table)} values, mean={self.mean:.6g}, "
                f"sd={self.sd:.6g}, p_undefined={self.p_undefined:.6g}>")


def distribution(ntot: int, nhire: int, esize: float, prop: Optional[float] = None, *,
                 method: str = "nested", minority: Optional[int] = None, alpha: float = 0.05,
                 joint: bool = False, rows: bool = True, threads: Optional[int] = None,
                 progress: Optional[bool] = None) -> Distribution:
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
    prop : float, optional
        Proportion of minority applicants in the population, 0 < prop < 1;
        not needed (and not used) when `minority` is given.
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
    rows : bool, default True
        False: the figures without the table (the command line's
        ``--rows none``); with ``method="direct"`` no problem is too large
        for them. `table` is then None, and `joint` cannot be asked for.
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
    TypeError
        For an argument of the wrong type (a string, None, a bool for a
        count), naming it.
    ValueError
        For a value out of range, naming it; when the problem cannot be
        computed, with the command line's message.
    KeyboardInterrupt
        On Ctrl-C; the computation has stopped by then.

    Examples
    --------
    >>> import torvan
    >>> d = torvan.distribution(100, 20, -1.0, 0.2, method="direct")
    >>> round(d.mean, 4), round(d.p_undefined, 4), round(d.adverse_impact["four_fifths"], 4)
    (3.8536, 0.4032, 0.9841)
    >>> f = torvan.distribution(10**5, 10**4, -0.5, 0.3, method="direct", rows=False)
    >>> f.table is None, round(f.mean, 4)
    (True, 2.5445)
    """
    if not _check.flag(rows, "rows"):
        if _check.flag(joint, "joint"):
            raise ValueError("joint=True needs the table: rows=True")
        args = problem_args(ntot, nhire, esize, prop, minority, alpha, method)
        problem = {k: args[k] for k in ("ntot", "nhire", "esize")}
        problem["prop"] = None if prop is None else args["prop"]
        if minority is not None:
            problem["minority"] = args["minority"]
        figures = _torvan.figures(**args, threads=_check.threads(threads))
        return Distribution(None, figures, problem)
    with Progress(_check.optional_flag(progress, "progress"), "pools") as bar:
        return Distribution(compute(ntot, nhire, esize, prop, method=method, minority=minority,
                                    alpha=alpha, joint=joint, threads=threads,
                                    progress=bar.callback()))


# doctest looks into properties but not into cached ones.
__test__ = {f"Distribution.{name}": getattr(Distribution, name).__doc__
            for name in ("table", "events", "joint")}
