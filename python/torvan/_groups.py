"""Audits of several groups: every group against the reference, and all together."""

import functools
import json

import pandas as pd

from . import _html, _torvan
from ._audit import Audit, _Document, count

#: The columns of a groups table, as the command line's groups file names them.
GROUP_COLUMNS = ["group", "applicants", "hires"]


def draw_ratios(ax, rows):
    """Impact ratios with their intervals against the four-fifths line.

    `rows` are (label, group document) from the top down; the reference has
    no interval and is drawn at 1. One line per interval, one for the
    ratios, and the dashed four-fifths line.
    """
    ys = list(range(len(rows), 0, -1))
    for y, (_, g) in zip(ys, rows):
        ci = (g["versus_reference"] or {}).get("impact_ratio_ci") or {}
        if ci.get("lower") is not None and ci.get("upper") is not None:
            ax.plot([ci["lower"], ci["upper"]], [y, y], color="C0", linewidth=2)
    marked = [(g["impact_ratio"], y) for y, (_, g) in zip(ys, rows)
              if g["impact_ratio"] is not None]
    ax.plot([r for r, _ in marked], [y for _, y in marked], "o", color="C1",
            label="impact ratio")
    ax.axvline(0.8, linestyle="--", color="grey", linewidth=1)
    ax.set_ylim(0.5, len(rows) + 0.5)
    ax.set_yticks(ys)
    ax.set_yticklabels([label for label, _ in rows])
    ax.set_xlabel("impact ratio (selection rate / the reference's)")
    return ax


def page_rows(document):
    rows = [("reference", document["reference"])]
    for g in document["groups"]:
        flags = g["four_fifths"]["flags"]
        rows.append((f"{g['group']}: impact ratio", g["impact_ratio"]))
        rows.append((f"{g['group']}: four-fifths", "flags" if flags else "passes"))
    return rows


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

    def to_frame(self):
        """Return the groups' table (a copy): one row per group."""
        return self.table.copy()

    def plot(self, ax=None):
        """Draw each group's impact ratio and its interval against the four-fifths line.

        One row per group: the impact ratio against the reference as a
        point, its exact 1 - alpha interval as a horizontal line (none for
        the reference, at 1), and 0.8 dashed.

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
        draw_ratios(ax, [(g["group"], g) for g in self.groups])
        ax.set_title(f"against {self.reference}", fontsize="small")
        return ax

    def _repr_html_(self):
        o = self.overall
        rows = page_rows(self._document) + [("chi-square p", o["chi_square"]["p"]),
                                            ("exact p", o["exact"]["p"])]
        return _html.page(f"torvan.GroupsAudit of {len(self.groups)} groups", rows)

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

    @functools.cached_property
    def table(self):
        """One row per event and group, ``event`` first; nested names joined by dots."""
        frames = [pd.json_normalize(e["groups"], sep=".").assign(event=e["event"])
                  for e in self._document["events"]]
        frame = pd.concat(frames, ignore_index=True)
        return frame[["event"] + [c for c in frame.columns if c != "event"]]

    def to_frame(self):
        """Return the table (a copy): one row per event and group."""
        return self.table.copy()

    def plot(self, ax=None):
        """Draw each event's groups' impact ratios and intervals against the four-fifths line.

        As :meth:`GroupsAudit.plot`, one row per event and group.

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
        draw_ratios(ax, [(f"{e['event']}: {g['group']}", g)
                         for e in self.events for g in e["groups"]])
        ax.set_title(f"against {self.reference}", fontsize="small")
        return ax

    def _repr_html_(self):
        rows = [("reference", self.reference)]
        for a in self.across_events:
            c = a["common_implied_esize"]
            rows.append((f"{a['group']}: common implied esize", c["mle"]))
            rows.append((f"{a['group']}: Mantel-Haenszel p", a["mantel_haenszel"]["p_two_sided"]))
        return (_html.page(f"torvan.GroupEventsAudit of {len(self.events)} events", rows)
                + self.table._repr_html_())

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
    >>> import pandas as pd
    >>> import torvan
    >>> df = pd.DataFrame({"group": ["A", "B", "C"], "applicants": [100, 80, 60],
    ...                    "hires": [40, 20, 18]})
    >>> g = torvan.audit_groups(df)
    >>> g.reference, round(g.overall["exact"]["p"], 4)
    ('A', 0.0882)
    >>> g.table[["group", "impact_ratio", "versus_reference.fisher_exact.p_lower_holm"]].round(4)
      group  impact_ratio  versus_reference.fisher_exact.p_lower_holm
    0     A         1.000                                         NaN
    1     B         0.625                                      0.0486
    2     C         0.750                                      0.1346
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
