"""Planning: every rule's exact probability as the applicant pool grows."""

import json

import pandas as pd

from . import _torvan
from ._distribution import whole
from ._progress import Progress


def sizes_of(ntot):
    """The first size, the last and the step of a ``range`` of pool sizes."""
    if not isinstance(ntot, range):
        raise ValueError(f"ntot must be a range of pool sizes, e.g. range(10, 2001), not {ntot!r}")
    if len(ntot) == 0:
        raise ValueError(f"ntot = {ntot!r} holds no pool size")
    if ntot.step < 1:
        raise ValueError(f"ntot = {ntot!r} must run upwards")
    return ntot[0], ntot[-1], ntot.step


def rules_of(rule):
    """The rules asked for as a list of names: one name, several, or all (None)."""
    if rule is None:
        return []
    return [rule] if isinstance(rule, str) else list(rule)


def optional(value, name, kind):
    return None if value is None else kind(value, name)


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

    def __init__(self, computed):
        self._c = computed
        doc = json.loads(computed.json_text(-1))
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

    def to_json(self, indent=2):
        """Return the command line's ``torvan plan --format json`` document as text.

        Parameters
        ----------
        indent : int, default 2
            Spaces per level, as the command line writes it; -1 for one line.
        """
        return self._c.json_text(indent)

    def to_dict(self):
        """Return the command line's ``torvan plan --format json`` document as a dict."""
        return json.loads(self._c.json_text(-1))

    def __repr__(self):
        o = self.options
        n = o["ntot"]
        return (f"<torvan.Plan esize={o['esize']}, ntot {n['from']}..{n['to']} step {n['step']}: "
                f"{len(self.rows)} sizes, target {o['target']}>")


def plan(esize, *, ntot, prop=None, minority_share=None, selection_ratio=None, nhire=None,
         alpha=0.05, target=0.8, rule=None, method="direct", threads=None, progress=None):
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
    ntot : range
        The pool sizes, e.g. ``range(10, 2001)`` or ``range(50, 1001, 50)``.
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
    >>> rows, found = torvan.plan(-0.3, prop=0.3, selection_ratio=0.2, ntot=range(10, 2001))
    >>> found.loc["fisher_exact", "stays"]
    >>> rows[["four_fifths", "z_test", "fisher_exact"]].plot(logx=True)
    """
    first, last, step = sizes_of(ntot)
    with Progress(progress, "sizes") as bar:
        computed = _torvan.plan(
            float(esize), ntot_from=first, ntot_to=last, ntot_step=step,
            prop=None if prop is None else float(prop),
            minority_share=None if minority_share is None else float(minority_share),
            selection_ratio=None if selection_ratio is None else float(selection_ratio),
            nhire=optional(nhire, "nhire", whole), alpha=float(alpha), target=float(target),
            rules=rules_of(rule), method=method, threads=threads, progress=bar.callback())
    return Plan(computed)
