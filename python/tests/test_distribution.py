import math
import pickle
import threading

import pytest

import torvan
from conftest import without_run_facts

PROBLEMS = [(4, 2, 0.0, 0.5), (10, 3, -1.0, 0.3), (15, 15, 0.5, 0.2), (20, 0, -0.5, 0.7),
            (25, 5, -1.0, 0.2)]


@pytest.mark.parametrize("method", torvan.methods)
@pytest.mark.parametrize("problem", PROBLEMS)
def test_table_is_the_command_lines_csv(cli, problem, method):
    table = torvan.distribution(*problem, method=method, threads=1).table
    rows = cli.csv(problem, method)
    assert len(table) == len(rows) > 0
    for (n, row), want in zip(table.iterrows(), rows):
        assert n == int(want["n"])
        assert row["defined"] == (want["defined"] == "true")
        # Every number is compared exactly: the CSV holds round-trip digits.
        assert row["ai"] == float(want["ai"]) if want["ai"] else math.isnan(row["ai"])
        assert row["probability"] == float(want["probability"])
        assert row["cumulative"] == float(want["cumulative"])


@pytest.mark.parametrize("method", torvan.methods)
@pytest.mark.parametrize("problem", PROBLEMS)
def test_to_dict_is_the_command_lines_json(cli, problem, method):
    d = torvan.distribution(*problem, method=method, threads=2)
    doc, _ = cli.json(problem, method)
    assert without_run_facts(d.to_dict()) == without_run_facts(doc)
    assert d.to_dict()["threads"] == 2
    # JSON writes null where the figure is NaN.
    figures = {**doc["moments"], **doc["percentiles"], "p_undefined": doc["p_undefined"]}
    mine = {"mean": d.mean, "variance": d.variance, "sd": d.sd, **d.percentiles,
            "p_undefined": d.p_undefined}
    assert {k: None if math.isnan(v) else v for k, v in mine.items()} == figures


def test_results_travel_by_pickle(cli):
    d = torvan.distribution(10, 3, -1.0, 0.3, threads=1)
    back = pickle.loads(pickle.dumps(d))
    assert back.to_dict() == d.to_dict()
    assert back.table.equals(d.table)


@pytest.mark.parametrize("problem", [(1, 0, 0.0, 0.5), (10, 11, 0.0, 0.5), (10, -1, 0.0, 0.5),
                                     (10, 3, 0.0, 0.0), (10, 3, 0.0, 1.0)])
def test_a_refused_problem_raises_the_command_lines_message(cli, problem):
    doc, err = cli.json(problem)
    with pytest.raises(ValueError) as e:
        torvan.distribution(*problem)
    assert str(e.value) == doc["error"]
    assert err == f"torvan: {e.value}\n"


def test_what_is_no_problem_raises():
    with pytest.raises(ValueError, match=r"ntot = 10\.5 must be a whole number"):
        torvan.distribution(10.5, 3, 0.0, 0.5)
    with pytest.raises(ValueError, match="esize = nan must be a finite number"):
        torvan.distribution(10, 3, math.nan, 0.5)
    with pytest.raises(ValueError, match="method"):
        torvan.distribution(10, 3, 0.0, 0.5, method="bogus")
    with pytest.raises(ValueError, match="threads must be at least 1"):
        torvan.distribution(10, 3, 0.0, 0.5, threads=0)


def test_an_early_end_is_not_completed_and_says_why(cli):
    d = torvan.distribution(12, 3, 3.0, 0.5)
    doc, err = cli.json((12, 3, 3.0, 0.5))
    assert not d.completed and doc["completed"] is False
    assert d.reason == doc["reason"]
    assert err == f"torvan: {d.reason}\n"
    assert without_run_facts(d.to_dict()) == without_run_facts(doc)
    assert d.table.empty and math.isnan(d.mean)


def test_the_interpreter_runs_on_while_the_library_computes():
    worker = threading.Thread(target=torvan.distribution, args=(30, 10, -1.0, 0.3),
                              kwargs={"threads": 1})
    steps = 0
    worker.start()
    while worker.is_alive():
        steps += 1
    worker.join()
    # Holding the interpreter, the computation would leave this loop a few
    # turns at most; free, it turns millions of times in a tenth of a second.
    assert steps > 10_000
