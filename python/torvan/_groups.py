"""Audits of several groups: every group against the reference, and all together."""

import functools
import json

import pandas as pd

from . import _torvan
from ._audit import Audit, _Document, count

#: The columns of a groups table, as the command line's groups file names them.
GROUP_COLUMNS = ["group", "applicants", "hires"]


class GroupsAudit(_Document):
    """The audit of several groups, as ``torvan audit --groups --format json``.

    Made by :func:`audit_groups`. The document's fields are attributes:
    ``alpha``; ``reference`` (the group the others are compared with) and
    ``reference_why``; ``groups``, a list of dicts, one per group in order,
    with ``group``, ``applicants``, ``hires``, ``rate``, ``impact_ratio``,
    ``four_fifths``, ``shortfall`` and ``versus_reference`` (the two-group
    audit of the pair, with ``<p>_holm`` beside each p-value; None for the
    reference); ``overall`` (``chi_square``: ``statistic``, ``df``, ``p``;
    ``exact``: ``p``, or None with ``p_reason``). ``versus`` maps each other
    group's name to its pair's :class:`Audit`; ``table`` has one row per
    group and a column per figure (nested names joined by dots).
    ``str(g)`` is the command line's page.
    """

    def __init__(self, document, page):
        super().__init__(document, page)
        self.versus = {g["group"]: Audit(g["versus_reference"], "")
                       for g in document["groups"] if g["versus_reference"] is not None}

    @functools.cached_property
    def table(self):
        return pd.json_normalize(self._document["groups"], sep=".")

    def __repr__(self):
        p = self.overall["exact"]["p"]
        exact = "not computed" if p is None else f"{p:.4g}"
        return (f"<torvan.GroupsAudit of {len(self.groups)} groups against {self.reference}: "
                f"chi-square p {self.overall['chi_square']['p']:.4g}, exact p {exact}>")


class GroupEventsAudit(_Document):
    """The audit of groups in several events, as ``torvan audit --events`` writes it
    for the header ``event,group,applicants,hires``.

    Made by :func:`audit_events` for a table with a ``group`` column. Its
    attributes: ``alpha``, ``reference``, ``reference_why``, ``events`` (one
    document per event, as :class:`GroupsAudit` has them, with ``event``) and
    ``across_events`` (per other group: ``group``, ``events``, ``total``,
    ``mantel_haenszel``, ``common_implied_esize``). ``str(e)`` is the page.
    """

    def __repr__(self):
        return (f"<torvan.GroupEventsAudit of {len(self.events)} events against "
                f"{self.reference}>")


def _rows(frame, first):
    missing = [name for name in first + GROUP_COLUMNS[1:] if name not in frame.columns]
    if missing:
        raise ValueError(f"the table lacks the columns {', '.join(missing)}")
    names = [str(n) for n in frame["group"]]
    counts = []
    for i, row in enumerate(frame[GROUP_COLUMNS[1:]].itertuples(index=False), 1):
        try:
            counts.append([count(v, c) for v, c in zip(row, GROUP_COLUMNS[1:])])
        except ValueError as e:
            raise ValueError(f"group {i} ({names[i - 1]}): {e}") from None
    return names, counts


def audit_groups(groups, reference=None, alpha=0.05):
    """Audit several groups: each against the reference, and all together.

    Parameters
    ----------
    groups : pandas.DataFrame
        One row per group with the columns ``group`` (its name),
        ``applicants`` and ``hires``, as the command line's groups file has
        them. Anything ``pandas.DataFrame`` takes will do.
    reference : str, optional
        The group the others are compared with; by default the one with the
        highest selection rate (ties: the larger group).
    alpha : float, default 0.05
        Significance level of the tests; the intervals are at 1 - alpha.

    Returns
    -------
    GroupsAudit

    Raises
    ------
    ValueError
        For a missing column, or groups the command line refuses, with its
        message.
    KeyboardInterrupt
        On Ctrl-C; the computation has stopped by then.

    Examples
    --------
    >>> df = pd.DataFrame({"group": ["A", "B", "C"], "applicants": [100, 80, 60],
    ...                    "hires": [40, 20, 18]})
    >>> g = torvan.audit_groups(df)
    >>> g.reference, g.overall["exact"]["p"]
    >>> g.table[["group", "impact_ratio", "versus_reference.fisher_exact.p_lower_holm"]]
    """
    frame = groups if isinstance(groups, pd.DataFrame) else pd.DataFrame(groups)
    names, counts = _rows(frame, ["group"])
    text, page = _torvan.audit_groups(names, counts, reference=reference or "",
                                      alpha=float(alpha))
    return GroupsAudit(json.loads(text), page)


def audit_group_events(frame, reference=None, alpha=0.05):
    """:func:`audit_events` for a table with the columns event, group, applicants, hires."""
    names, counts = _rows(frame, ["event", "group"])
    events = [str(e) for e in frame["event"]]
    text, page = _torvan.audit_group_events(events, names, counts, reference=reference or "",
                                            alpha=float(alpha))
    return GroupEventsAudit(json.loads(text), page)
