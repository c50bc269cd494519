"""Planning: every rule's exact probability as the applicant pool grows."""

from __future__ import annotations

import collections.abc
import json
from typing import Any, Optional, Sequence, Union

import pandas as pd

from . import _check, _html, _torvan
from ._progress import Progress


def sizes_of(ntot):
    """The first size, the last and the step of the pool sizes.

    Any sequence or array of whole numbers, evenly spaced and ascending, as
    the library computes a range: ``range(10, 2001)``, ``[50, 100, 150]``,
    ``numpy.arange(10, 101, 10)``.
    """
    if isinstance(ntot, range):
        sizes = list(ntot)
    elif isinstance(ntot, (str, bytes)) or not isinstance(ntot, collections.abc.Iterable):
        raise TypeError(f"ntot must be a range or sequence of pool sizes, e.g. range(10, 2001), "
                        f"not {ntot!r}")
    else:
        sizes = [_check.whole(n, "ntot") for n in ntot]
    if not sizes:
        raise ValueError(f"ntot = {ntot!r} holds no pool size")
    step = sizes[1] - sizes[0] if len(sizes) > 1 else 1
    if step < 1 or any(b - a != step for a, b in zip(sizes, sizes[1:])):
        raise ValueError(f"ntot must run upwards in equal steps (from, from + step, ... to), "
                         f"not {ntot!r}")
    return sizes[0], sizes[-1], step


def figure(size) -> str:
    return "-" if pd.isna(size) else str(size)


def rules_of(rule):
    """The rules asked for as a list of names: one name, several, or all (None)."""
    if rule is None:
        return []
    rules = [rule] if isinstance(rule, str) else rule
    if not isinstance(rules, collections.abc.Iterable) or not all(
            isinstance(r, str) for r in rules):
        raise TypeError(f"rule must be a rule's name or a list of names, not {rule!r}")
    return list(rules)


class Plan:
    """A computed plan: its rows and, for each rule, the sizes that reach the target.

    Unpacks as ``rows, found = torvan.plan(...)``.

    Attributes
    ----------
    rows : pandas.DataFrame
        One row per pool size, indexed by ``ntot``: ``nhire``, the minority
        applicants (``minority`` for known pools, ``expected_minority`` for
        binomial ones), ``completed``, each rule's probability of flagging
        the minority (at esize 0 its false-positive rate), ``p_above_1_25``,
        ``p_undefined``, ``accuracy_shortfalls`` and ``error`` (None, or why
        the size could not be computed; its figures are then NaN).
    found : pandas.DataFrame
        One row per rule: ``first``, the smallest ntot whose probability
        reaches the target, and ``stays``, the smallest from which it stays
        at or above it to the end of the range (missing: not reached).
    false_positive : bool
        Whether esize is 0, so that the probabilities are false-positive rates.
    """

    rows: pd.DataFrame
    found: pd.DataFrame
    options: dict
    false_positive: bool

    def __init__(self, text: str, svg: Optional[str] = None):
        # The document, one line, and the chart: all a plan is, and what pickles.
        self._text = text
        self._svg = svg
        doc = json.loads(text)
        self.options = doc["plan"]
        self.false_positive = doc["false_positive"]
        rows = pd.DataFrame(doc["rows"], columns=None if doc["rows"] else ["ntot"])
        figures = self.options["rules"] + ["p_above_1_25", "p_undefined"]
        for name in figures + ["accuracy_shortfalls", "error"]:  # absent when no size has them
            if name not in rows:
                rows[name] = None
        rows[figures] = rows[figures].astype(float)
        rows["accuracy_shortfalls"] = rows["accuracy_shortfalls"].astype("Int64")
        rows["error"] = rows["error"].astype(object).where(rows["error"].notna(), None)
        counts = "minority" if "minority_share" in self.options else "expected_minority"
        columns = ["nhire", counts, "completed"] + figures + ["accuracy_shortfalls", "error"]
        self.rows = rows.set_index("ntot")[columns]
        found = pd.DataFrame.from_dict(doc["found"], orient="index", columns=["first", "stays"])
        found.index.name = "rule"
        self.found = found.astype("Int64")

    def __iter__(self):
        return iter((self.rows, self.found))

    def to_json(self, indent: int = 2) -> str:
        """Return the command line's ``torvan plan --format json`` document as text.

        Parameters
        ----------
        indent : int, default 2
            Spaces per level, as the command line writes it; -1 for one line.
        """
        return _torvan.json_reindented(self._text, _check.whole(indent, "indent"))

    def to_dict(self) -> dict:
        """Return the command line's ``torvan plan --format json`` document as a dict."""
        return json.loads(self._text)

    def to_frame(self) -> pd.DataFrame:
        """Return the rows (a copy), one per pool size."""
        return self.rows.copy()

    def plot(self, ax=None):
        """Draw each rule's probability against ntot with matplotlib, and the target.

        As ``torvan plan --plot`` draws it: one line per rule, the target a
        dashed horizontal line; a logarithmic ntot axis when the range
        spans more than two decades.

        Parameters
        ----------
        ax : matplotlib.axes.Axes, optional
            Where to draw; a new figure's axes by default.

        Returns
        -------
        matplotlib.axes.Axes
        """
        import matplotlib.pyplot as plt

        if ax is None:
            _, ax = plt.subplots()
        for rule in self.options["rules"]:
            ax.plot(self.rows.index, self.rows[rule], label=rule)
        ax.axhline(self.options["target"], linestyle="--", color="grey", linewidth=1)
        n = self.options["ntot"]
        if n["to"] > 100 * n["from"]:
            ax.set_xscale("log")
        ax.set_xlabel("ntot")
        ax.set_ylabel("false-positive rate" if self.false_positive else "probability of flagging")
        ax.set_ylim(0, 1)
        ax.legend(fontsize="small")
        return ax

    def _repr_html_(self) -> str:
        o = self.options
        n = o["ntot"]
        title = f"torvan.Plan esize={o['esize']}, ntot {n['from']}..{n['to']} step {n['step']}"
        rows = [(f"{rule}: first, stays", f"{figure(first)}, {figure(stays)}")
                for rule, (first, stays) in self.found.iterrows()]
        return _html.page(title, [("target", o["target"])] + rows, self._svg)

    def __repr__(self):
        o = self.options
        n = o["ntot"]
        return (f"<torvan.Plan esize={o['esize']}, ntot {n['from']}..{n['to']} step {n['step']}: "
                f"{len(self.rows)} size{'' if len(self.rows) == 1 else 's'}, "
                f"target {o['target']}>")


def plan(esize: float, *, ntot: Union[range, Sequence[int]], prop: Optional[float] = None,
         minority_share: Optional[float] = None, selection_ratio: Optional[float] = None,
         nhire: Optional[int] = None, alpha: float = 0.05, target: float = 0.8,
         rule: Union[str, Sequence[str], None] = None, method: str = "direct",
         threads: Optional[int] = None, progress: Optional[bool] = None) -> Plan:
    """Compute each adverse impact rule's exact probability over a range of pool sizes.

    For every pool size, the single problem of that size is computed as
    :func:`distribution` would (its figures to the last bit), and for each
    rule the sizes at which its probability reaches `target` are read off.
    The discrete tests saw-tooth as the pool grows, so two sizes are given:
    the first that reaches the target and the first from which it stays
    there. At ``esize=0`` the probabilities are false-positive rates.

    Parameters
    ----------
    esize : float
        Mean minority score in standard deviations of the majority's.
    ntot : range or sequence of int
        The pool sizes, evenly spaced and ascending: ``range(10, 2001)``,
        ``range(50, 1001, 50)``, a list or a NumPy array of the same.
    prop : float, optional
        Binomial pools: the proportion of minority applicants in the
        population, 0 < prop < 1. Give this or `minority_share`.
    minority_share : float, optional
        Known pools of exactly round(minority_share * ntot) minority
        applicants (halves rounded up), 0 <= minority_share <= 1.
    selection_ratio : float, optional
        nhire = round(selection_ratio * ntot), at least 1 (halves rounded
        up), 0 < selection_ratio <= 1. Give this or `nhire`.
    nhire : int, optional
        The same number of hires at every size; smaller sizes cannot be
        computed and say so in ``error``.
    alpha : float, default 0.05
        Significance level of the rules' tests.
    target : float, default 0.8
        The probability to reach, 0 < target < 1.
    rule : str or list of str, optional
        Only these rules (names as in :data:`flagging_rules`); all by default.
    method : {"direct", "nested"}
        How each problem is computed (see :func:`distribution`).
    threads : int, optional
        Sizes computed at once (and pools within a size when sizes are
        few); every hardware thread by default. The figures are the same
        for every count.
    progress : bool, optional
        Show a progress bar of the sizes computed (tqdm, on standard error).
        By default shown when the session is interactive and the plan takes
        over a second.

    Returns
    -------
    Plan
        ``rows`` and ``found`` (it unpacks as the two), ``to_dict()``.

    Raises
    ------
    ValueError
        When the plan cannot be computed, with the command line's message.
    KeyboardInterrupt
        On Ctrl-C; the computation has stopped by then.

    Examples
    --------
    >>> import torvan
    >>> rows, found = torvan.plan(-0.3, prop=0.3, selection_ratio=0.2,
    ...                           ntot=range(100, 2001, 100))
    >>> found.loc["fisher_exact", "stays"]
    1000
    >>> rows[["four_fifths", "z_test", "fisher_exact"]].head(3).round(4)
          four_fifths  z_test  fisher_exact
    ntot
    100        0.6861  0.1253        0.0870
    200        0.7436  0.2346        0.1913
    300        0.7844  0.3400        0.2988
    """
    first, last, step = sizes_of(ntot)
    args = dict(
        prop=_check.optional_real(prop, "prop"),
        minority_share=_check.optional_real(minority_share, "minority_share"),
        selection_ratio=_check.optional_real(selection_ratio, "selection_ratio"),
        nhire=None if nhire is None else _check.whole(nhire, "nhire"),
        alpha=_check.real(alpha, "alpha"), target=_check.real(target, "target"),
        rules=rules_of(rule), method=_check.method(method, _torvan.methods),
        threads=_check.threads(threads))
    with Progress(_check.optional_flag(progress, "progress"), "sizes") as bar:
        computed = _torvan.plan(_check.real(esize, "esize"), ntot_from=first, ntot_to=last,
                                ntot_step=step, **args, progress=bar.callback())
    return Plan(computed.json_text(-1), computed.svg())
