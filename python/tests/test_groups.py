"""torvan.audit_groups against SciPy, the stored R figures and the command line."""

import json
import math

import pandas as pd
import pytest

import torvan
from conftest import ROOT

REFERENCE = pd.read_csv(ROOT / "tests" / "data" / "groups" / "reference.tsv", sep="\t")


def frame(case):
    rows = [g.split(":") for g in case.split()]
    return pd.DataFrame({"group": [r[0] for r in rows], "applicants": [int(r[1]) for r in rows],
                         "hires": [int(r[2]) for r in rows]})


@pytest.mark.parametrize("case", list(REFERENCE["case"]))
def test_overall_tests_against_scipy_and_r(case):
    stats = pytest.importorskip("scipy.stats")
    df = frame(case)
    g = torvan.audit_groups(df)
    table = [[h, a - h] for a, h in zip(df["applicants"], df["hires"])]
    chi, p, dof, _ = stats.chi2_contingency(table, correction=False)
    assert math.isclose(g.overall["chi_square"]["statistic"], chi, rel_tol=1e-12, abs_tol=1e-14)
    assert math.isclose(g.overall["chi_square"]["p"], p, rel_tol=1e-10)
    assert g.overall["chi_square"]["df"] == dof
    row = REFERENCE[REFERENCE["case"] == case].iloc[0]
    assert g.reference == row["reference"]
    assert math.isclose(g.overall["exact"]["p"], row["fisher_p_r"], rel_tol=1e-9)


def test_the_command_lines_document(cli):
    case = REFERENCE["case"][0]
    df = frame(case)
    g = torvan.audit_groups(df, reference="White", alpha=0.1)
    text = df.to_csv(index=False)
    r = cli.run(text, "audit", "--groups", "-", "--reference", "White", "--alpha", "0.1",
                "--format", "json")
    assert r.returncode == 0, r.stderr
    assert g.to_dict() == json.loads(r.stdout)
    page = cli.run(text, "audit", "--groups", "-", "--reference", "White", "--alpha", "0.1")
    assert str(g) == page.stdout
    assert list(g.table["group"]) == list(df["group"])
    assert set(g.versus) == set(df["group"]) - {"White"}


def test_refusals_are_the_command_lines():
    with pytest.raises(ValueError, match="nobody was hired: the tests of equal selection rates"):
        torvan.audit_groups({"group": ["A", "B"], "applicants": [3, 4], "hires": [0, 0]})
    with pytest.raises(ValueError, match="is named twice"):
        torvan.audit_groups({"group": ["A", "A"], "applicants": [3, 4], "hires": [1, 0]})
    with pytest.raises(ValueError, match="lacks the columns hires"):
        torvan.audit_groups({"group": ["A", "B"], "applicants": [3, 4]})
    with pytest.raises(ValueError, match="the reference 'C' is not one of the groups"):
        torvan.audit_groups({"group": ["A", "B"], "applicants": [3, 4], "hires": [1, 2]},
                            reference="C")


def test_events_with_a_group_column(cli):
    df = pd.DataFrame({"event": ["2023", "2023", "2023", "2024", "2024"],
                       "group": ["A", "B", "C", "A", "B"],
                       "applicants": [50, 40, 30, 60, 45], "hires": [20, 8, 9, 25, 12]})
    e = torvan.audit_events(df)
    r = cli.run(df.to_csv(index=False), "audit", "--events", "-", "--format", "json")
    assert e.to_dict() == json.loads(r.stdout)
    assert e.reference == "A"
    assert [a["group"] for a in e.across_events] == ["B", "C"]
