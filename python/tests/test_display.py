"""Results that show themselves in a notebook: figures as HTML, the command
line's chart inline as SVG, and the table as a DataFrame."""

import pickle

import pytest

import torvan

DISPLAYS = {
    "distribution": (lambda: torvan.distribution(12, 4, -0.5, 0.3, threads=1), True),
    "distribution rows=False": (lambda: torvan.distribution(60, 15, -0.5, 0.3, method="direct",
                                                            rows=False), False),
    "audit": (lambda: torvan.audit(50, 5, 150, 30), False),
    "events audit": (lambda: torvan.audit_events([("<b>2023</b>", 50, 5, 150, 30),
                                                  ("2024", 40, 6, 160, 35)]), False),
    "plan": (lambda: torvan.plan(-0.3, prop=0.3, selection_ratio=0.2, ntot=range(10, 31, 5)),
             True),
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
