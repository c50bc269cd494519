"""What observed selections say: the audit of one selection, or of events."""

from __future__ import annotations

import collections.abc
import copy
import functools
import json
from typing import Any, Optional

import pandas as pd

from . import _check, _html, _torvan

#: The counts of a selection in their order, as the events file's header,
#: the JSON document's ``observed`` and :func:`audit_events`' columns name them.
COUNTS = ["minority_applicants", "minority_hires", "majority_applicants", "majority_hires"]


def count(value, name):
    """A count as the library takes it: a whole number within int."""
    return _check.whole(value, name)


def frame_of(table, columns, what):
    """A table given as audit_events and grid take it, as a DataFrame.

    A DataFrame; a dict of columns; or a list (any iterable) of rows, each a
    dict by column name or a tuple of values in the order of `columns`.
    Anything else is a TypeError saying what is expected. Rows of values
    come back as a list, for the caller to read in order.
    """
    expected = (f"{what} must be a pandas DataFrame, a dict of columns, or a list of rows "
                f"(tuples ({', '.join(columns)}) or dicts)")
    if isinstance(table, pd.DataFrame):
        return table
    if isinstance(table, collections.abc.Mapping):
        if not all(isinstance(v, collections.abc.Iterable) and not isinstance(v, (str, bytes))
                   for v in table.values()):
            raise TypeError(f"{expected}; a dict's values must be columns, not single values")
        return pd.DataFrame(dict(table))
    if isinstance(table, (str, bytes)) or not isinstance(table, collections.abc.Iterable):
        raise TypeError(f"{expected}, not {type(table).__name__}")
    rows = list(table)
    for i, row in enumerate(rows):
        if isinstance(row, (str, bytes)) or not isinstance(
                row, (collections.abc.Mapping, collections.abc.Sequence)):
            raise TypeError(f"{expected}; row {i} is {row!r}")
    if all(isinstance(row, collections.abc.Mapping) for row in rows):
        return pd.DataFrame(rows, columns=None if rows else columns)
    if any(isinstance(row, collections.abc.Mapping) for row in rows):
        raise TypeError(f"{expected}; not tuples and dicts mixed")
    return rows  # rows of values: the caller reads them in order


def draw_intervals(ax, rows):
    """Each row's implied esize as a horizontal interval with its MLE marked.

    `rows` are (label, implied esize dict) from the top down. The library's
    likelihood itself is not in the document, so only what the document
    gives is drawn: an unbounded end (None) runs to the edge of the axis, a
    row without an MLE has no marker. One line per interval, one for the
    MLEs, and the dashed line at esize 0.
    """
    ends = [v for _, e in rows for v in (e["lower"], e["mle"], e["upper"]) if v is not None]
    low, high = (min(ends + [0.0]), max(ends + [0.0]))
    margin = 0.1 * (high - low) or 0.5
    low, high = low - margin, high + margin
    ys = list(range(len(rows), 0, -1))
    for y, (_, e) in zip(ys, rows):
        ax.plot([low if e["lower"] is None else e["lower"],
                 high if e["upper"] is None else e["upper"]], [y, y], color="C0", linewidth=2)
    marked = [(e["mle"], y) for y, (_, e) in zip(ys, rows) if e["mle"] is not None]
    ax.plot([m for m, _ in marked], [y for _, y in marked], "o", color="C1", label="MLE")
    ax.axvline(0.0, linestyle="--", color="grey", linewidth=1)
    ax.set_xlim(low, high)
    ax.set_ylim(0.5, len(rows) + 0.5)
    ax.set_yticks(ys)
    ax.set_yticklabels([label for label, _ in rows])
    ax.set_xlabel("implied esize")
    return ax


class _Document:
    """A command line document: its fields as attributes, its page as str()."""

    def __init__(self, document, page, text=None):
        self._text = text if text is not None else json.dumps(document)
        self._document = document
        self._page = page
        for name, value in document.items():
            setattr(self, name, value)

    def to_dict(self):
        """Return the command line's JSON document as a dict (a copy).

        Returns
        -------
        dict
        """
        return copy.deepcopy(self._document)

    def to_json(self, indent: int = 2) -> str:
        """Return the command line's ``--format json`` document as text.

        Parameters
        ----------
        indent : int, default 2
            Spaces per level, as the command line writes it; -1 for one line.

        Returns
        -------
        str
        """
        return _torvan.json_reindented(self._text, _check.whole(indent, "indent"))

    def __str__(self):
        return self._page


class Audit(_Document):
    """The audit of one observed selection, as ``torvan audit --format json``.

    Made by :func:`audit`. Every field of the command line's JSON document
    is an attribute of the same name: ``alpha``; ``observed`` (the counts);
    ``rates`` (``minority``, ``majority``, ``pooled``); ``impact_ratio``
    (minority rate over majority rate); ``ai`` (the AI ratio, its
    inverse); ``four_fifths`` (``flags``, ``one_person_flags``,
    ``hires_to_pass``); ``shortfall``; ``z_test`` (``z``, ``p_lower``,
    ``p_two_sided``, ``flags``); ``fisher_exact`` (``p_lower``,
    ``p_two_sided``, ``p_mid``, ``flags``); ``z_ir`` (``z``, ``p_lower``,
    ``flags``); ``impact_ratio_ci`` (``level``, ``lower``, ``upper``);
    ``implied_esize`` (``level``, ``mle``, ``lower``, ``upper``,
    ``probit``). A figure without a value is None, with ``<name>_reason``
    beside it saying why (``a.ai_reason``, ``a.z_test["z_reason"]``). In
    an events audit each event's audit also has ``event``, its name.

    ``str(a)`` is the command line's page.
    """

    def plot(self, ax=None):
        """Draw the implied esize with its interval with matplotlib; return the axes.

        The document holds the likelihood's summary, not its curve: the
        maximum-likelihood esize as a point, its exact 1 - alpha interval
        as a horizontal line (an unbounded end runs to the edge), esize 0
        dashed, and the observed impact ratio in the title.

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
        e = self.implied_esize
        draw_intervals(ax, [(f"{round(100 * e['level'])}% interval", e)])
        ir = "undefined" if self.impact_ratio is None else f"{self.impact_ratio:.4g}"
        ax.set_title(f"impact ratio {ir}", fontsize="small")
        return ax

    def _repr_html_(self) -> str:
        o = self.observed
        e = self.implied_esize
        rows = [*o.items(), ("impact_ratio", self.impact_ratio), ("ai", self.ai),
                ("four_fifths flags", self.four_fifths["flags"]),
                ("z_test p_lower", self.z_test["p_lower"]),
                ("fisher_exact p_lower", self.fisher_exact["p_lower"]),
                ("implied_esize mle", e["mle"]), ("implied_esize lower", e["lower"]),
                ("implied_esize upper", e["upper"])]
        return _html.page("torvan.Audit" + (f" {self.event}" if hasattr(self, "event") else ""),
                          rows)

    def __repr__(self):
        o = self.observed
        head = " ".join(str(o[name]) for name in COUNTS)
        ir = "undefined" if self.impact_ratio is None else f"{self.impact_ratio:.4g}"
        mle = self.implied_esize["mle"]
        esize = "unbounded" if mle is None else f"{mle:.4g}"
        return (f"<torvan.Audit {head}: impact ratio {ir}, four-fifths "
                f"{'flags' if self.four_fifths['flags'] else 'passes'}, implied esize {esize}>")


class EventsAudit(_Document):
    """The audit of several events, as ``torvan audit --events --format json``.

    Made by :func:`audit_events`. The document's fields are attributes:
    ``alpha``, ``total`` (the summed counts), ``mantel_haenszel``
    (``odds_ratio``, ``odds_ratio_lower``, ``odds_ratio_upper``,
    ``statistic``, ``p_two_sided``, ``z``, ``p_lower``) and
    ``common_implied_esize`` (``level``, ``mle``, ``lower``, ``upper``,
    ``events_used``); ``events`` is a list of :class:`Audit`, one per event
    in order. ``table`` has one row per event and a column per figure.
    ``str(e)`` is the command line's page.
    """

    def __init__(self, document, page, pages, text=None):
        super().__init__(document, page, text)
        self.events = [Audit(doc, p) for doc, p in zip(document["events"], pages)]

    @functools.cached_property
    def table(self) -> pd.DataFrame:
        """One row per event and a column per figure of its audit.

        The figures of each event's document, nested names joined by
        underscores (``z_test_p_lower``, ``fisher_exact_p_lower``,
        ``implied_esize_mle``); the counts as ``observed_minority_hires``
        and so on, and ``event``, the name.

        >>> import torvan
        >>> e = torvan.audit_events([(50, 5, 150, 30), (40, 6, 160, 35)])
        >>> e.table[["event", "impact_ratio", "z_test_p_lower"]].round(4)
          event  impact_ratio  z_test_p_lower
        0     0        0.5000          0.0535
        1     1        0.6857          0.1677
        """
        return pd.json_normalize(self._document["events"], sep="_")

    def to_frame(self) -> pd.DataFrame:
        """Return the events' table (a copy): one row per event."""
        return self.table.copy()

    def plot(self, ax=None):
        """Draw each event's implied esize and the common one with matplotlib.

        One row per event and a last row for all events together: the
        maximum-likelihood esize as a point, the exact interval as a
        horizontal line (an unbounded end runs to the edge), esize 0 dashed.
        The likelihoods' curves are not in the document; their summaries are.

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
        rows = [(str(a.event), a.implied_esize) for a in self.events]
        draw_intervals(ax, rows + [("common", self.common_implied_esize)])
        return ax

    def _repr_html_(self) -> str:
        m, c = self.mantel_haenszel, self.common_implied_esize
        n = len(self.events)
        rows = [("odds_ratio", m["odds_ratio"]), ("p_two_sided", m["p_two_sided"]),
                ("common implied esize mle", c["mle"]), ("lower", c["lower"]),
                ("upper", c["upper"])]
        return _html.page(f"torvan.EventsAudit of {n} event{'' if n == 1 else 's'}",
                          rows) + self.table._repr_html_()

    def __repr__(self):
        mle = self.common_implied_esize["mle"]
        esize = "unbounded" if mle is None else f"{mle:.4g}"
        n = len(self.events)
        return (f"<torvan.EventsAudit of {n} event{'' if n == 1 else 's'}: "
                f"common implied esize {esize}>")


def audit(n1: int, x: int, n0: int, y: int, alpha: float = 0.05) -> Audit:
    """Audit an observed selection for adverse impact.

    `x` of `n1` minority and `y` of `n0` majority applicants were hired:
    the rates and ratios, the four-fifths rule, the Z test, Fisher's exact
    test, the impact-ratio Z test and its interval, and the effect size that
    top-down selection from this pool implies, with its exact interval;
    exactly the figures of ``torvan audit --format json``.

    Parameters
    ----------
    n1, x, n0, y : int
        Minority applicants, minority hires, majority applicants, majority
        hires (whole numbers; 10.0 is taken as 10).
    alpha : float, default 0.05
        Significance level of the tests; the intervals are at 1 - alpha.

    Returns
    -------
    Audit

    Raises
    ------
    TypeError
        For a count that is not a whole number (a string, None, a bool).
    ValueError
        For counts the command line refuses, with its message.

    Examples
    --------
    >>> import torvan
    >>> a = torvan.audit(50, 5, 150, 30)
    >>> a.impact_ratio, a.four_fifths["flags"], round(a.implied_esize["mle"], 4)
    (0.5, True, -0.4401)
    >>> print(a)
    TORVAN audit of an observed selection
    ...
    """
    counts = [count(v, name) for v, name in zip((n1, x, n0, y), COUNTS)]
    text, page = _torvan.audit(*counts, alpha=_check.real(alpha, "alpha"))
    return Audit(json.loads(text), page, text)


def audit_events(events: Any, alpha: float = 0.05, reference: Optional[str] = None) -> Any:
    """Audit several events (years, sites, job groups) one by one and together.

    A table with the columns ``event``, ``group``, ``applicants`` and
    ``hires`` holds several groups in each event: it is audited as
    ``torvan audit --events`` audits such a file (a :class:`GroupEventsAudit`,
    against `reference`, by default the highest selection rate over all
    events together).

    Parameters
    ----------
    events : pandas.DataFrame, dict of columns, or list of tuples or dicts
        One row per event with the columns ``minority_applicants``,
        ``minority_hires``, ``majority_applicants``, ``majority_hires``
        and, optionally, ``event`` (its name; else the row's index label),
        as the command line's events file has them; or a dict of those
        columns, a list of dicts by those names, or a list of tuples of
        the four counts in that order, or of the name and the four.
    alpha : float, default 0.05
        Significance level of the tests; the intervals are at 1 - alpha.

    Returns
    -------
    EventsAudit
        Each event's audit, the Mantel-Haenszel common odds ratio and the
        Cochran-Mantel-Haenszel test, and the common implied effect size.

    Raises
    ------
    ValueError
        For a missing column, or an event whose counts the command line
        refuses, with its message.
    KeyboardInterrupt
        On Ctrl-C, within a second; the computation has stopped by then.

    Examples
    --------
    >>> import pandas as pd
    >>> import torvan
    >>> df = pd.DataFrame({"event": ["2023", "2024"], "minority_applicants": [50, 40],
    ...                    "minority_hires": [5, 6], "majority_applicants": [150, 160],
    ...                    "majority_hires": [30, 35]})
    >>> e = torvan.audit_events(df)
    >>> round(e.mantel_haenszel["odds_ratio"], 4), round(e.common_implied_esize["mle"], 4)
    (0.5315, -0.3509)
    >>> e.table[["event", "impact_ratio", "fisher_exact_p_lower"]].round(4)
      event  impact_ratio  fisher_exact_p_lower
    0  2023        0.5000                0.0770
    1  2024        0.6857                0.2322
    """
    frame = frame_of(events, COUNTS, "events")
    if isinstance(frame, pd.DataFrame) and "group" in frame.columns:
        from ._groups import audit_group_events
        return audit_group_events(frame, reference=reference, alpha=alpha)
    if not isinstance(frame, pd.DataFrame):  # the four counts, or the name and the four
        rows = frame
        named = all(len(r) == 5 for r in rows)
        if not named and not all(len(r) == 4 for r in rows):
            raise ValueError("each event is four counts (minority_applicants, minority_hires, "
                             "majority_applicants, majority_hires), or its name and the four")
        frame = pd.DataFrame(rows, columns=["event"] * named + COUNTS)
    missing = [name for name in COUNTS if name not in frame.columns]
    if missing:
        raise ValueError(f"events lacks the columns {', '.join(missing)}")
    names = frame["event"] if "event" in frame.columns else frame.index
    names = [str(n) for n in names]
    rows = []
    for i, (name, row) in enumerate(zip(names, frame[COUNTS].itertuples(index=False)), 1):
        try:
            rows.append([count(v, c) for v, c in zip(row, COUNTS)])
        except ValueError as e:
            raise ValueError(f"event {i} ({name}): {e}") from None
    text, page, pages = _torvan.audit_events(names, rows, alpha=_check.real(alpha, "alpha"))
    return EventsAudit(json.loads(text), page, pages, text)


# doctest looks into properties but not into cached ones.
__test__ = {"EventsAudit.table": EventsAudit.table.__doc__}
