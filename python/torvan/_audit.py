"""What observed selections say: the audit of one selection, or of events."""

import copy
import functools
import json

import pandas as pd

from . import _torvan
from ._distribution import whole

#: The counts of a selection in their order, as the events file's header,
#: the JSON document's ``observed`` and :func:`audit_events`' columns name them.
COUNTS = ["minority_applicants", "minority_hires", "majority_applicants", "majority_hires"]
COUNT_RANGE = 2**31 - 1


def count(value, name):
    """A count as the library takes it: a whole number within int."""
    v = whole(value, name)
    if abs(v) > COUNT_RANGE:
        raise ValueError(f"{name} = {v} is beyond the range of a count")
    return v


class _Document:
    """A command line document: its fields as attributes, its page as str()."""

    def __init__(self, document, page):
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
    in order. ``table`` has one row per event and a column per figure
    (nested names joined by dots: ``z_test.p_lower``). ``str(e)`` is the
    command line's page.
    """

    def __init__(self, document, page, pages):
        super().__init__(document, page)
        self.events = [Audit(doc, p) for doc, p in zip(document["events"], pages)]

    @functools.cached_property
    def table(self):
        return pd.json_normalize(self._document["events"], sep=".")

    def __repr__(self):
        mle = self.common_implied_esize["mle"]
        esize = "unbounded" if mle is None else f"{mle:.4g}"
        return f"<torvan.EventsAudit of {len(self.events)} events: common implied esize {esize}>"


def audit(n1, x, n0, y, alpha=0.05):
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
    ValueError
        For counts the command line refuses, with its message.

    Examples
    --------
    >>> a = torvan.audit(50, 5, 150, 30)
    >>> a.impact_ratio, a.four_fifths["flags"], a.implied_esize["mle"]
    >>> print(a)
    """
    counts = [count(v, name) for v, name in zip((n1, x, n0, y), COUNTS)]
    text, page = _torvan.audit(*counts, alpha=float(alpha))
    return Audit(json.loads(text), page)


def audit_events(events, alpha=0.05, reference=None):
    """Audit several events (years, sites, job groups) one by one and together.

    A table with the columns ``event``, ``group``, ``applicants`` and
    ``hires`` holds several groups in each event: it is audited as
    ``torvan audit --events`` audits such a file (a :class:`GroupEventsAudit`,
    against `reference`, by default the highest selection rate over all
    events together).

    Parameters
    ----------
    events : pandas.DataFrame
        One row per event with the columns ``minority_applicants``,
        ``minority_hires``, ``majority_applicants``, ``majority_hires``
        and, optionally, ``event`` (its name; else the row's index label),
        as the command line's events file has them. Anything
        ``pandas.DataFrame`` takes (a dict of columns, a list of dicts) will
        do.
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
    >>> df = pd.DataFrame({"event": ["2023", "2024"], "minority_applicants": [50, 40],
    ...                    "minority_hires": [5, 6], "majority_applicants": [150, 160],
    ...                    "majority_hires": [30, 35]})
    >>> e = torvan.audit_events(df)
    >>> e.mantel_haenszel["odds_ratio"], e.common_implied_esize["mle"]
    >>> e.table[["event", "impact_ratio", "fisher_exact.p_lower"]]
    """
    frame = events if isinstance(events, pd.DataFrame) else pd.DataFrame(events)
    if "group" in frame.columns:
        from ._groups import audit_group_events
        return audit_group_events(frame, reference=reference, alpha=alpha)
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
    text, page, pages = _torvan.audit_events(names, rows, alpha=float(alpha))
    return EventsAudit(json.loads(text), page, pages)
