"""Results that show themselves in a notebook: figures as HTML, the command
line's chart inline as SVG, and the table as a DataFrame."""

import pathlib
import pickle

import pandas as pd
import pytest

import torvan

EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples" / "design"


def a_design(**options):
    return torvan.design(pd.read_csv(EXAMPLES / "predictors.csv"),
                         pd.read_csv(EXAMPLES / "correlations.csv", index_col=0), ntot=200,
                         nhire=20, prop=0.15, matrix="overall", points=5, threads=1, **options)


GROUPS = {"group": ["<b>2023</b>", "B", "C"], "applicants": [100, 80, 60], "hires": [40, 20, 18]}
GROUP_EVENTS = {"event": ["2023", "2023", "2023", "2024", "2024"],
                "group": ["A", "B", "C", "A", "B"], "applicants": [100, 80, 60, 90, 70],
                "hires": [40, 20, 18, 35, 20]}

DISPLAYS = {
    "distribution": (lambda: torvan.distribution(12, 4, -0.5, 0.3, threads=1), True),
    "distribution rows=False": (lambda: torvan.distribution(60, 15, -0.5, 0.3, method="direct",
                                                            rows=False), False),
    "audit": (lambda: torvan.audit(50, 5, 150, 30), False),
    "events audit": (lambda: torvan.audit_events([("<b>2023</b>", 50, 5, 150, 30),
                                                  ("2024", 40, 6, 160, 35)]), False),
    "plan": (lambda: torvan.plan(-0.3, prop=0.3, selection_ratio=0.2, ntot=range(10, 31, 5)),
             True),
    "design": (lambda: a_design(max_risk=0.5), True),
    "groups": (lambda: torvan.audit_groups(GROUPS), False),
    "group events": (lambda: torvan.audit_events(GROUP_EVENTS), False),
}


@pytest.mark.parametrize("make, chart", DISPLAYS.values(), ids=DISPLAYS.keys())
def test_every_result_displays_as_html(make, chart):
    r = make()
    for shown in (r, pickle.loads(pickle.dumps(r))):
        page = shown._repr_html_()
        assert page.startswith("<div>") and "<table>" in page
        assert ("<svg" in page) == chart
        assert "<b>2023</b>" not in page  # every value escaped


def test_the_chart_is_the_command_lines(cli, tmp_path):
    d = torvan.distribution(12, 4, -0.5, 0.3, threads=1)
    svg = tmp_path / "d.svg"
    cli.run("12 4 -0.5 0.3\n", "--threads", "1", "--plot", str(svg))
    assert svg.read_text()[svg.read_text().find("<svg"):] in d._repr_html_()


def test_to_frame_is_a_copy_of_the_table():
    d = torvan.distribution(12, 4, -0.5, 0.3, threads=1)
    frame = d.to_frame()
    assert frame.equals(d.table) and frame is not d.table
    p = torvan.plan(-0.3, prop=0.3, selection_ratio=0.2, ntot=range(10, 31, 5))
    assert p.to_frame().equals(p.rows)
    e = torvan.audit_events([(50, 5, 150, 30), (40, 6, 160, 35)])
    assert e.to_frame().equals(e.table)
    design = a_design()
    assert design.to_frame().equals(design.front) and design.to_frame() is not design.front
    g = torvan.audit_groups(GROUPS)
    assert g.to_frame().equals(g.table) and list(g.table["group"]) == GROUPS["group"]
    ge = torvan.audit_events(GROUP_EVENTS)
    assert list(zip(ge.to_frame()["event"], ge.to_frame()["group"])) == \
        list(zip(GROUP_EVENTS["event"], GROUP_EVENTS["group"]))
    with pytest.raises(ValueError, match="rows=False"):
        torvan.distribution(60, 15, -0.5, 0.3, method="direct", rows=False).to_frame()


def test_plot_draws_on_the_axes_it_returns():
    matplotlib = pytest.importorskip("matplotlib")
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    d = torvan.distribution(12, 4, -0.5, 0.3, threads=1)
    ax = d.plot()
    # The spikes (one collection of a segment per defined value), the two
    # thresholds, and the cumulative step on the twin axes.
    assert len(ax.collections) == 1 and len(ax.collections[0].get_segments()) == \
        int(d.table["defined"].sum())
    assert sorted(line.get_xdata()[0] for line in ax.lines) == [0.8, 1.25]
    twin = [a for a in ax.figure.axes if a is not ax]
    assert len(twin) == 1 and len(twin[0].lines) == 1
    p = torvan.plan(-0.3, prop=0.3, selection_ratio=0.2, ntot=range(10, 31, 5))
    _, given = plt.subplots()
    assert p.plot(ax=given) is given
    assert len(given.lines) == len(p.options["rules"]) + 1  # the rules and the target
    plt.close("all")
    with pytest.raises(ValueError, match="table"):
        torvan.distribution(60, 15, -0.5, 0.3, method="direct", rows=False).plot()


def test_the_design_chart_is_the_command_lines(cli, tmp_path):
    svg = tmp_path / "design.svg"
    cli.run("", "design", "--predictors", str(EXAMPLES / "predictors.csv"), "--correlations",
            str(EXAMPLES / "correlations.csv"), "--ntot", "200", "--nhire", "20", "--prop",
            "0.15", "--matrix", "overall", "--points", "5", "--max-risk", "0.5", "--threads",
            "1", "--plot", str(svg))
    text = svg.read_text()
    assert text[text.find("<svg"):] in a_design(max_risk=0.5)._repr_html_()


def test_the_new_results_plot_on_the_axes_they_return():
    matplotlib = pytest.importorskip("matplotlib")
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    # (result, lines drawn): an interval per row, the markers, and the
    # reference line (esize 0, the four-fifths line, the max_risk bound).
    a = torvan.audit(50, 5, 150, 30)
    e = torvan.audit_events([(50, 5, 150, 30), (40, 6, 160, 35), (30, 0, 120, 20)])
    g = torvan.audit_groups(GROUPS)
    ge = torvan.audit_events(GROUP_EVENTS)
    design = a_design(max_risk=0.5, compare={"unit": None})
    cases = [(a, 3), (e, 4 + 1 + 1), (g, 2 + 1 + 1), (ge, 3 + 1 + 1),
             # the front, the compared, the chosen ring, the bound
             (design, 4)]
    for result, lines in cases:
        _, given = plt.subplots()
        assert result.plot(ax=given) is given
        assert len(given.lines) == lines, type(result).__name__
    # the MLEs of the events that have one, the common one last and lowest
    marks = e.plot().lines[-2]
    mles = [x.implied_esize["mle"] for x in e.events] + [e.common_implied_esize["mle"]]
    assert list(marks.get_xdata()) == [m for m in mles if m is not None]
    front = design.plot().lines[0]
    assert list(front.get_ydata()) == list(design.front["validity"])
    plt.close("all")
