"""torvan.design against the command line's document, and its refusals."""

import json
import os
import pathlib
import subprocess

import pandas as pd
import pytest

import torvan

EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples" / "design"


def without_run_facts(doc):
    return {k: v for k, v in doc.items() if k not in ("threads", "cpu_seconds")}


def test_design_is_the_command_line_s():
    predictors = pd.read_csv(EXAMPLES / "predictors.csv")
    correlations = pd.read_csv(EXAMPLES / "correlations.csv", index_col=0)
    # the matrix in another order: matched by name
    correlations = correlations.loc[correlations.index[::-1], correlations.columns[::-1]]
    d = torvan.design(predictors, correlations, ntot=200, nhire=20, prop=0.15, matrix="overall",
                      points=5, max_risk=0.5, compare={"unit": None, "mine": [0, .4, 0, .2, .4]},
                      threads=1)
    front, chosen = d
    assert len(front) == 5 and list(d.compared.name) == ["unit", "mine"]
    assert chosen.four_fifths <= 0.5
    assert front.validity.is_monotonic_increasing
    assert abs(front[[f"weight_{n}" for n in predictors.name]].abs().sum(axis=1) - 1).max() < 1e-15
    out = subprocess.run(
        [os.environ["TORVAN_BINARY"], "design", "--predictors", str(EXAMPLES / "predictors.csv"),
         "--correlations", str(EXAMPLES / "correlations.csv"), "--ntot", "200", "--nhire", "20",
         "--prop", "0.15", "--matrix", "overall", "--points", "5", "--max-risk", "0.5",
         "--compare", "unit", "--compare", "mine=0,.4,0,.2,.4", "--threads", "1",
         "--format", "json"], capture_output=True, text=True, check=True)
    assert without_run_facts(json.loads(out.stdout)) == without_run_facts(d.document)


@pytest.mark.parametrize("kwargs, said", [
    (dict(nhire=20), "prop or minority is required"),
    (dict(nhire=20, prop=0.2, matrix="between"), "matrix must be within or overall"),
    (dict(nhire=20, prop=0.2, compare={"mine": [1, 2, 3]}), "has 3 weights for 2"),
    (dict(nhire=20, prop=0.2, points=0), "points = 0 must lie between 1 and 1000"),
])
def test_refusals(kwargs, said):
    predictors = [{"name": "A", "validity": 0.5, "d": 1.0}, {"name": "B", "validity": 0.3, "d": 0.1}]
    with pytest.raises(ValueError, match=said):
        torvan.design(predictors, [[1, 0.3], [0.3, 1]], ntot=100, **kwargs)
