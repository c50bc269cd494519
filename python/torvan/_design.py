"""Composite predictors: the exact front of validity against adverse impact."""

import json

import pandas as pd

from . import _html, _torvan


def predictor_rows(predictors):
    """(name, validity, esize) rows from a DataFrame or records with name,
    validity and either d (the majority's mean less the minority's) or esize."""
    frame = pd.DataFrame(predictors)
    columns = {c.lower(): c for c in frame.columns}
    if "name" not in columns or "validity" not in columns or \
            ("d" in columns) == ("esize" in columns):
        raise ValueError("predictors need the columns name, validity and d (or esize), not "
                         f"{list(frame.columns)}")
    sign, column = (-1.0, columns["d"]) if "d" in columns else (1.0, columns["esize"])
    return [(str(n), float(v), sign * float(e))
            for n, v, e in zip(frame[columns["name"]], frame[columns["validity"]], frame[column])]


def matrix_rows(correlations, names):
    """The matrix in the predictors' order: a DataFrame matched by its index
    and columns, or rows already in that order."""
    if isinstance(correlations, pd.DataFrame):
        missing = [n for n in names if n not in correlations.index or n not in correlations.columns]
        if missing:
            raise ValueError(f"the correlations have no row or column for {missing}")
        extra = [n for n in list(correlations.index) + list(correlations.columns) if n not in names]
        if extra:
            raise ValueError(f"the correlations name {extra}, which are not predictors")
        correlations = correlations.loc[names, names].to_numpy()
    return [[float(x) for x in row] for row in correlations]


def points_frame(points, names):
    rows = []
    for p in points:
        row = {"name": p.get("name"), "validity": p["validity"], "esize": p["esize"],
               "population_impact_ratio": p["population_impact_ratio"],
               "population_ai": p["population_ai"], "p_undefined": p["p_undefined"],
               "p_above_1_25": p["p_above_1_25"]}
        row.update({rule: p["adverse_impact"][rule] for rule in _torvan.flagging_rules})
        row.update({f"weight_{n}": p["weights"][n] for n in names})
        rows.append(row)
    return pd.DataFrame(rows)


class Design:
    """A computed design. Unpacks as ``front, chosen = torvan.design(...)``.

    Attributes
    ----------
    front : pandas.DataFrame
        One row per point, from the least adverse composite to the most valid:
        ``validity``, ``esize``, ``population_impact_ratio``,
        ``population_ai``, ``p_undefined``, ``p_above_1_25``, each rule's exact
        probability of flagging the minority, and ``weight_NAME`` for each
        predictor (absolute values summing to 1).
    compared : pandas.DataFrame
        The same for the compared weights, with their ``name``.
    chosen : pandas.Series or None
        The point chosen by ``max_risk`` or ``min_impact_ratio``; None when
        none qualifies or none was asked for, ``chosen_reason`` says which.
    document : dict
        The command line's JSON document.
    """

    def __init__(self, text, svg=None):
        self._svg = svg  # the command line's chart, shown inline in a notebook
        self.document = json.loads(text)
        names = [p["name"] for p in self.document["design"]["predictors"]]
        self.front = points_frame(self.document["front"], names).drop(columns="name")
        self.compared = points_frame(self.document["compared"], names)
        chosen = self.document["chosen"]
        self.chosen = None if chosen is None else points_frame([chosen], names).iloc[0]
        self.chosen_reason = self.document["chosen_reason"]

    def __iter__(self):
        return iter((self.front, self.chosen))

    def to_frame(self):
        """Return the front (a copy), one row per point."""
        return self.front.copy()

    def plot(self, ax=None):
        """Draw validity against the rule's exact probability of flagging; return the axes.

        As ``torvan design --plot`` draws it: the front as a line with its
        points, the compared composites as squares with their names, the
        chosen composite ringed and ``max_risk`` as a dashed vertical line.

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
        rule = self.document["design"]["rule"]
        ax.plot(self.front[rule], self.front["validity"], "o-", markersize=3, label="front")
        if len(self.compared):
            ax.plot(self.compared[rule], self.compared["validity"], "s", color="C1",
                    label="compared")
            for _, point in self.compared.iterrows():
                ax.annotate(point["name"], (point[rule], point["validity"]),
                            textcoords="offset points", xytext=(5, 5), fontsize="small")
        if self.chosen is not None:
            ax.plot([self.chosen[rule]], [self.chosen["validity"]], "o", markersize=10,
                    markerfacecolor="none", color="C2", label="chosen")
        if "max_risk" in self.document["design"]:
            ax.axvline(self.document["design"]["max_risk"], linestyle="--", color="grey",
                       linewidth=1)
        ax.set_xlabel(f"probability that {rule} flags the minority")
        ax.set_ylabel("validity")
        ax.legend(fontsize="small")
        return ax

    def _repr_html_(self):
        rule = self.document["design"]["rule"]
        first, best = self.front.iloc[0], self.front.iloc[-1]
        rows = [("points", len(self.front)), ("rule", rule),
                ("least adverse: validity", first.validity),
                (f"least adverse: {rule}", first[rule]),
                ("most valid: validity", best.validity), (f"most valid: {rule}", best[rule]),
                ("chosen", self.chosen_reason)]
        if self.chosen is not None:
            rows += [("chosen: validity", self.chosen.validity),
                     (f"chosen: {rule}", self.chosen[rule])]
        return _html.page("torvan.Design", rows, self._svg)

    def __repr__(self):
        best = self.front.iloc[-1]
        return (f"<Design: {len(self.front)} points, validity {self.front.validity.iloc[0]:.4f}"
                f" to {best.validity:.4f}; chosen: {self.chosen_reason}>")


def design(predictors, correlations, *, ntot, nhire=None, selection_ratio=None, prop=None,
           minority=None, matrix="within", weights="nonnegative", points=21, max_risk=None,
           rule="four_fifths", min_impact_ratio=None, compare=None, alpha=0.05,
           method="direct", threads=None):
    """The exact front of composites of the predictors, as ``torvan design`` computes it.

    Parameters
    ----------
    predictors : DataFrame or records
        Columns ``name``, ``validity`` and ``d`` (the majority's mean less the
        minority's, as meta-analyses tabulate it) or ``esize`` (the opposite sign).
    correlations : DataFrame or nested lists
        The intercorrelations: a DataFrame indexed and headed by the
        predictors' names (any order), or rows in the predictors' order.
    ntot, nhire, selection_ratio, prop, minority, alpha, method
        The selection, as for :func:`plan`: ``nhire`` or ``selection_ratio``,
        ``prop`` or a known ``minority`` count.
    matrix : {"within", "overall"}
        Within-group correlations and esizes, or a matrix of the whole
        applicant population (each d through its point-biserial correlation).
    weights : {"nonnegative", "free"}
    points : int
        Points of the front, equally spaced in the composite's esize.
    max_risk, rule, min_impact_ratio
        Choose the most valid composite that ``rule`` flags with probability at
        most ``max_risk``, or whose population impact ratio is at least
        ``min_impact_ratio``.
    compare : dict, optional
        Name to weights in the predictors' order (None for the built-ins
        ``unit`` and ``regression``).

    Returns
    -------
    Design

    Raises
    ------
    ValueError
        With the command line's message when the design is refused.
    """
    rows = predictor_rows(predictors)
    names = [r[0] for r in rows]
    pairs = [(str(k), [] if v is None else [float(x) for x in v])
             for k, v in (compare or {}).items()]
    text, svg = _torvan.design(
        rows, matrix_rows(correlations, names), matrix=matrix, weights=weights, ntot=ntot,
        nhire=nhire, selection_ratio=selection_ratio, prop=prop, minority=minority, alpha=alpha,
        method=method, points=points, max_risk=max_risk, rule=rule,
        min_impact_ratio=min_impact_ratio, compare=pairs, threads=threads)
    return Design(text, svg)
