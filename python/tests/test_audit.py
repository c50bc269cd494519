"""torvan.audit and torvan.audit_events against SciPy, statsmodels and the command line."""

import json
import math
import time

import numpy as np
import pandas as pd
import pytest

import torvan
from conftest import ROOT, ctrl_c_after

TABLES = pd.read_csv(ROOT / "tests" / "data" / "audit" / "tables.csv")
COUNTS = ["minority_applicants", "minority_hires", "majority_applicants", "majority_hires"]


def rows():
    return [tuple(int(v) for v in row) for row in TABLES[COUNTS].itertuples(index=False)]


def close(a, b, rel=1e-9, abs_=1e-15):
    return math.isclose(a, b, rel_tol=rel, abs_tol=abs_)


@pytest.mark.parametrize("counts", rows(), ids=list(TABLES["event"]))
def test_fisher_against_scipy(counts):
    stats = pytest.importorskip("scipy.stats")
    n1, x, n0, y = counts
    table = [[x, n1 - x], [y, n0 - y]]
    a = torvan.audit(*counts)
    assert close(a.fisher_exact["p_two_sided"], stats.fisher_exact(table)[1])
    assert close(a.fisher_exact["p_lower"], stats.fisher_exact(table, alternative="less")[1])
    # mid-P from the hypergeometric distribution directly.
    h = stats.hypergeom(n1 + n0, n1, x + y)
    assert close(a.fisher_exact["p_mid"], h.cdf(x) - 0.5 * h.pmf(x), rel=1e-8)


@pytest.mark.parametrize("counts", rows(), ids=list(TABLES["event"]))
def test_z_test_against_statsmodels(counts):
    proportion = pytest.importorskip("statsmodels.stats.proportion")
    n1, x, n0, y = counts
    a = torvan.audit(*counts)
    comparable = n1 > 0 and n0 > 0 and 0 < x + y < n1 + n0
    assert (a.z_test["z"] is not None) == comparable
    if not comparable:
        assert a.z_test["z_reason"] and a.z_test["p_lower_reason"]
        return
    z, p = proportion.proportions_ztest([x, y], [n1, n0])
    assert close(a.z_test["z"], z, abs_=1e-12)
    assert close(a.z_test["p_two_sided"], p)
    _, p_lower = proportion.proportions_ztest([x, y], [n1, n0], alternative="smaller")
    assert close(a.z_test["p_lower"], p_lower)


def test_every_field_is_the_command_lines(cli):
    for counts in rows():
        r = cli.run("", "audit", "--format", "json", "--alpha", "0.1", *map(str, counts))
        a = torvan.audit(*counts, alpha=0.1)
        assert a.to_dict() == json.loads(r.stdout)
        for name, value in json.loads(r.stdout).items():
            assert getattr(a, name) == value
        assert str(a) == cli.run("", "audit", "--alpha", "0.1", *map(str, counts)).stdout


def test_events_are_the_command_lines(cli):
    e = torvan.audit_events(TABLES)
    r = cli.run((ROOT / "tests" / "data" / "audit" / "tables.csv").read_text(), "audit",
                "--format", "json", "--events", "-")
    assert e.to_dict() == json.loads(r.stdout)
    assert [ev.event for ev in e.events] == list(TABLES["event"])
    assert list(e.table["event"]) == list(TABLES["event"])
    assert e.table["fisher_exact_p_lower"].tolist() == [
        ev.fisher_exact["p_lower"] for ev in e.events]
    assert e.common_implied_esize["events_used"] == 14  # a group present, some but not all hired
    # Without an event column the index names the events; counts as floats are whole.
    plain = TABLES[COUNTS].astype(float).set_index(TABLES["event"])
    assert torvan.audit_events(plain).to_dict() == e.to_dict()


def test_booleans_are_not_counts():
    for counts in [(10, True, 10, 5), (10, 2, 10, np.bool_(False))]:
        with pytest.raises(TypeError, match="must be a whole number, not (True|False) \\(bool"):
            torvan.audit(*counts)
    with pytest.raises(TypeError, match="ntot must be a whole number, not True \\(bool\\)"):
        torvan.distribution(True, 1, 0.0, 0.5)


@pytest.mark.parametrize("call, message", [
    (lambda: torvan.audit(-1, 0, 5, 3), "minority_applicants = -1 is negative"),
    (lambda: torvan.audit(5, 6, 5, 3), "minority_hires = 6 is more than minority_applicants = 5"),
    (lambda: torvan.audit(5, 2, 5, 6), "majority_hires = 6 is more than majority_applicants = 5"),
    (lambda: torvan.audit(0, 0, 0, 0), "there must be at least one applicant"),
    (lambda: torvan.audit(5, 2.5, 5, 3), "minority_hires = 2.5 must be a whole number"),
    (lambda: torvan.audit(2**40, 1, 2, 3), "is beyond the range of a count"),
    (lambda: torvan.audit(5, 2, 5, 3, alpha=1.0), "alpha = 1 must lie strictly between 0 and 1"),
    (lambda: torvan.audit_events(TABLES.drop(columns="majority_hires")),
     "events lacks the columns majority_hires"),
    (lambda: torvan.audit_events(TABLES.iloc[:0]), "there are no events to audit"),
    (lambda: torvan.audit_events({"event": ["a", "b"], "minority_applicants": [5, 5],
                                  "minority_hires": [1, 7], "majority_applicants": [5, 5],
                                  "majority_hires": [1, 1]}),
     "event 2 (b): minority_hires = 7 is more than minority_applicants = 5"),
])
def test_bad_counts_are_refused_with_the_command_lines_message(call, message):
    with pytest.raises(ValueError, match=message.replace("(", r"\(").replace(")", r"\)")):
        call()


def test_ctrl_c_stops_audit_events_within_a_second():
    # About ten seconds of work: large events, each with its own esize.
    events = pd.DataFrame([[2000, 100 + k % 50, 8000, 900] for k in range(600)], columns=COUNTS)
    with pytest.raises(KeyboardInterrupt):
        with ctrl_c_after(0.5) as sent:
            torvan.audit_events(events)
    assert time.monotonic() - sent[0] < 1.0
