"""One problem: its distribution and summary figures as pandas objects."""

import json
import math
import numbers

import pandas as pd

from . import _torvan


def whole(value, name):
    """Return `value` as an int when it is a whole number, else raise.

    A DataFrame column of counts turns into floats as soon as one cell is
    missing; 10.0 is still ten applicants, 10.5 is not a count.
    """
    if isinstance(value, numbers.Integral):
        return int(value)
    if isinstance(value, numbers.Real) and float(value).is_integer():
        return int(value)
    raise ValueError(f"{name} = {value!r} must be a whole number")


def compute(ntot, nhire, esize, prop, method, minority, threads):
    """Run the library on one problem; ValueError when it is refused."""
    return _torvan.compute(
        whole(ntot, "ntot"),
        whole(nhire, "nhire"),
        float(esize),
        float(prop),
        method=method,
        minority=-1 if minority is None else whole(minority, "minority"),
        threads=threads,
    )


class Distribution:
    """The exact sampling distribution of the AI ratio for one problem.

    Made by :func:`distribution`; every number in it comes from the TORVAN
    library, as the command line would print it.

    Attributes
    ----------
    problem : dict
        ``ntot``, ``nhire``, ``esize`` and ``prop`` as computed.
    completed : bool
        False when an integral could not be accepted and the computation
        ended early; then `table` is empty and the figures are NaN.
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
    p_above_1_25, p_below_0_8 : float
        P(AI > 1.25) and P(AI < 0.8): the four-fifths rule either way.
    percentiles : dict
        ``p5``, ``p50`` and ``p95`` of the defined ratio.
    skipped_pool_weight : float
        Binomial weight of the pool compositions too unlikely to compute.
    events : pandas.DataFrame
        What happened while pools were computed (the command line's
        diagnostic lines): ``kind``, ``nmin``, ``code``, ``t``, ``smin``,
        ``rmaj``, ``stored``, ``raw``.
    threads : int
        Threads the pools were computed on.
    cpu_seconds : float
        CPU time of the computation.
    """

    def __init__(self, computed):
        self._c = computed
        ntot, nhire, esize, prop = computed.problem
        self.problem = {"ntot": ntot, "nhire": nhire, "esize": esize, "prop": prop}
        self.completed = computed.completed
        self.reason = computed.reason
        self.threads = computed.threads
        self.cpu_seconds = computed.cpu_seconds
        figures = computed.summary() or {}
        for name in ("mean", "variance", "sd", "p_undefined", "p_above_1_25", "p_below_0_8",
                     "skipped_pool_weight"):
            setattr(self, name, figures.get(name, math.nan))
        self.percentiles = {p: figures.get(p, math.nan) for p in ("p5", "p50", "p95")}

    @property
    def table(self):
        table = pd.DataFrame(self._c.table())
        table.index = pd.RangeIndex(1, len(table) + 1, name="n")
        return table

    @property
    def events(self):
        columns = ["kind", "nmin", "code", "t", "smin", "rmaj", "stored", "raw"]
        return pd.DataFrame(self._c.events(), columns=columns)

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
        head = f"ntot={p['ntot']}, nhire={p['nhire']}, esize={p['esize']}, prop={p['prop']}"
        if not self.completed:
            return f"<torvan.Distribution {head}: ended early: {self.reason}>"
        return (f"<torvan.Distribution {head}: {len(self.table)} values, mean={self.mean:.6g}, "
                f"sd={self.sd:.6g}, p_undefined={self.p_undefined:.6g}>")


def distribution(ntot, nhire, esize, prop, *, method="nested", minority=None, threads=None):
    """Compute the exact sampling distribution of the adverse impact ratio.

    `nhire` of `ntot` applicants are hired top-down; the ratio is the
    majority's selection rate over the minority's. The interpreter is free
    for other threads while the library computes.

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
    method : str, default "nested"
        How outcomes are integrated; see ``torvan.methods``.
    minority : int, optional
        Exactly this many minority applicants instead of a binomial mix
        (needs a method that supports it).
    threads : int, optional
        Pools computed at once; every hardware thread by default. The
        results are the same for every count.

    Returns
    -------
    Distribution

    Raises
    ------
    ValueError
        When the problem cannot be computed, with the command line's message.

    Examples
    --------
    >>> d = torvan.distribution(100, 20, -1.0, 0.2)
    >>> d.mean, d.p_undefined
    >>> d.table.query("defined").plot(x="ai", y="probability")
    """
    return Distribution(compute(ntot, nhire, esize, prop, method, minority, threads))
