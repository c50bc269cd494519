"""Arguments checked in Python: TypeError for a wrong type, ValueError for a
wrong value, each naming the argument; never the extension's own words."""

import json
import math

import numpy as np
import pandas as pd
import pytest

import torvan
from conftest import without_run_facts

EXTENSION_WORDS = "incompatible function arguments"


@pytest.mark.parametrize("call, error, message", [
    (lambda: torvan.distribution(30, True, -0.5, 0.3), TypeError,
     "nhire must be a whole number, not True (bool)"),
    (lambda: torvan.distribution(None, 8, -0.5, 0.3), TypeError,
     "ntot must be a whole number, not None (NoneType)"),
    (lambda: torvan.distribution("30", 8, -0.5, 0.3), TypeError,
     "ntot must be a whole number, not '30' (str)"),
    (lambda: torvan.distribution(30, 8, "-0.5", 0.3), TypeError,
     "esize must be a number, not '-0.5' (str)"),
    (lambda: torvan.distribution(30, 8, -0.5, True), TypeError,
     "prop must be a number, not True (bool)"),
    (lambda: torvan.distribution(30, 8, -0.5, None), TypeError,
     "prop must be a number unless the pool is known (minority given)"),
    (lambda: torvan.distribution(2**40, 10, -0.5, 0.3), ValueError,
     "ntot = 1099511627776 is beyond the range of a count (at most 2147483647)"),
    (lambda: torvan.distribution(30, 8, -0.5, 0.3, threads=0), ValueError,
     "threads = 0 must be at least 1"),
    (lambda: torvan.distribution(30, 8, -0.5, 0.3, threads="2"), TypeError,
     "threads must be a whole number, not '2' (str)"),
    (lambda: torvan.distribution(30, 8, -0.5, 0.3, method=None), TypeError,
     "method must be one of nested, direct, not None (NoneType)"),
    (lambda: torvan.distribution(30, 8, -0.5, 0.3, method="exact"), ValueError,
     "method must be one of nested, direct, not 'exact'"),
    (lambda: torvan.distribution(30, 8, -0.5, 0.3, joint="yes"), TypeError,
     "joint must be True or False, not 'yes' (str)"),
    (lambda: torvan.distribution(30, 8, -0.5, 0.3, minority=-1), ValueError,
     "minority = -1 must be at least 0"),
    (lambda: torvan.distribution(30, 8, -0.5, 0.3, alpha="0.05"), TypeError,
     "alpha must be a number, not '0.05' (str)"),
    (lambda: torvan.distribution(30, 8, -0.5, 0.3, rows=None), TypeError,
     "rows must be True or False, not None (NoneType)"),
    (lambda: torvan.distribution(30, 8, -0.5, 0.3, rows=False, joint=True), ValueError,
     "joint=True needs the table: rows=True"),
    (lambda: torvan.audit(10, True, 10, 5), TypeError,
     "minority_hires must be a whole number, not True (bool)"),
    (lambda: torvan.audit(10, 2, 2**40, 5), ValueError,
     "majority_applicants = 1099511627776 is beyond the range of a count (at most 2147483647)"),
    (lambda: torvan.audit(10, 2, 10, 5, alpha=None), TypeError,
     "alpha must be a number, not None (NoneType)"),
    (lambda: torvan.audit_events(42), TypeError,
     "events must be a pandas DataFrame, a dict of columns, or a list of rows (tuples "
     "(minority_applicants, minority_hires, majority_applicants, majority_hires) or dicts), "
     "not int"),
    (lambda: torvan.plan(-0.3, prop=0.3, nhire=True, ntot=range(10, 20)), TypeError,
     "nhire must be a whole number, not True (bool)"),
    (lambda: torvan.plan("-0.3", prop=0.3, nhire=3, ntot=range(10, 20)), TypeError,
     "esize must be a number, not '-0.3' (str)"),
    (lambda: torvan.plan(-0.3, prop=0.3, nhire=3, ntot=[10, 10.5]), ValueError,
     "ntot = 10.5 must be a whole number"),
    (lambda: torvan.plan(-0.3, prop=0.3, nhire=3, ntot="10:20"), TypeError,
     "ntot must be a range or sequence of pool sizes, e.g. range(10, 2001), not '10:20'"),
    (lambda: torvan.plan(-0.3, prop=0.3, nhire=3, ntot=range(10, 20), rule=3), TypeError,
     "rule must be a rule's name or a list of names, not 3"),
    (lambda: torvan.grid([(10, 3, -0.5, 0.3)], method=None), TypeError,
     "method must be one of nested, direct, not None (NoneType)"),
    (lambda: torvan.grid([(10, 3, -0.5, 0.3)], method="exact"), ValueError,
     "method must be one of nested, direct, not 'exact'"),
    (lambda: torvan.grid((50, 10, -0.5, 0.2)), TypeError,
     "problems must be a pandas DataFrame, a dict of columns, or a list of rows (tuples "
     "(ntot, nhire, esize, prop, minority) or dicts); row 0 is 50"),
    (lambda: torvan.grid({"ntot": 50, "nhire": 10, "esize": -0.5, "prop": 0.2}), TypeError,
     "problems must be a pandas DataFrame, a dict of columns, or a list of rows (tuples "
     "(ntot, nhire, esize, prop, minority) or dicts); a dict's values must be columns, not "
     "single values"),
    (lambda: torvan.grid("10 3 -0.5 0.3"), TypeError,
     "problems must be a pandas DataFrame, a dict of columns, or a list of rows (tuples "
     "(ntot, nhire, esize, prop, minority) or dicts), not str"),
    (lambda: torvan.grid([{"ntot": 10, "nhire": 3, "esize": -0.5}]), ValueError,
     "the problems need the columns prop (prop unless minority is given)"),
], ids=lambda v: v if isinstance(v, str) else None)
def test_a_bad_argument_raises_naming_it(call, error, message):
    with pytest.raises(error) as e:
        call()
    assert type(e.value) is error and str(e.value) == message


@pytest.mark.parametrize("problem, message", [
    ((30, True, -0.5, 0.3), "nhire must be a whole number, not True (bool)"),
    ((2**40, 10, -0.5, 0.3), "ntot = 1099511627776 is beyond the range of a count"),
    (("30", 10, -0.5, 0.3), "ntot must be a whole number, not '30' (str)"),
    ((30, 10, "-0.5", 0.3), "esize must be a number, not '-0.5' (str)"),
    ((30, 10, -0.5, None), "prop must be a number unless the pool is known"),
])
def test_a_bad_cell_says_why_in_its_own_words(problem, message):
    g = torvan.grid([problem, (10, 3, -0.5, 0.3)])
    assert g["error"][0].startswith(message) and EXTENSION_WORDS not in g["error"][0]
    assert g["completed"].tolist() == [False, True]


def test_grid_takes_what_audit_events_takes(cli):
    cells = [(50, 10, -0.5, 0.2), (40, 8, 0.0, 0.3)]
    columns = ["ntot", "nhire", "esize", "prop"]
    want = torvan.grid(cells, method="direct")
    forms = [pd.DataFrame(cells, columns=columns),
             {c: [p[i] for p in cells] for i, c in enumerate(columns)},
             [dict(zip(columns, p)) for p in cells],
             [list(p) for p in cells],
             iter(cells)]
    for form in forms:
        got = torvan.grid(form, method="direct")
        assert got.drop(columns="minority").equals(want.drop(columns="minority"))


def test_known_pools_need_no_prop(cli):
    doc, _ = cli.json((50, 10, -0.5, 0.2), "--minority", "10", "--rows", "none", "--method",
                      "direct")
    frame = pd.DataFrame({"ntot": [50], "nhire": [10], "esize": [-0.5], "minority": [10]})
    for problems in (frame, [(50, 10, -0.5, None, 10)], {"ntot": [50], "nhire": [10],
                                                        "esize": [-0.5], "minority": [10]}):
        row = torvan.grid(problems, method="direct").iloc[0]
        assert row["completed"] and row["mean"] == doc["moments"]["mean"]
        assert row["skipped_pool_weight"] == doc["skipped_pool_weight"]
        assert row["skipped_outcome_weight"] == doc["skipped_outcome_weight"]
    d = torvan.distribution(50, 10, -0.5, None, minority=10, method="direct")
    assert d.problem["prop"] is None and d.to_dict()["problem"]["prop"] is None
    assert d.mean == doc["moments"]["mean"]
    assert d.skipped_outcome_weight == doc["skipped_outcome_weight"]


def test_the_joint_table_is_the_command_lines(cli):
    d = torvan.distribution(12, 4, -0.5, 0.3, joint=True, threads=1)
    rows = cli.csv((12, 4, -0.5, 0.3), form="joint")
    assert list(d.joint.columns) == list(rows[0])
    assert len(d.joint) == len(rows)
    for (_, got), want in zip(d.joint.iterrows(), rows):
        for name, text in want.items():
            value = got[name]
            if text in ("true", "false"):
                assert value == (text == "true"), name
            elif text == "":
                assert math.isnan(value), name
            else:
                assert value == float(text), name


def test_rows_false_is_rows_none(cli):
    d = torvan.distribution(60, 15, -0.5, 0.3, method="direct", rows=False, threads=1)
    doc, _ = cli.json((60, 15, -0.5, 0.3), "--method", "direct", "--rows", "none")
    assert d.table is None and without_run_facts(d.to_dict()) == without_run_facts(doc)
    assert d.skipped_outcome_weight == doc["skipped_outcome_weight"]
    full = torvan.distribution(60, 15, -0.5, 0.3, method="direct")
    assert (d.mean, d.percentiles, d.adverse_impact) == (full.mean, full.percentiles,
                                                         full.adverse_impact)


@pytest.mark.parametrize("method, hint", [("direct", "; here rows=False"),
                                          ("nested", '; here method="direct", rows=False')])
def test_the_too_large_refusal_names_rows_false(method, hint):
    with pytest.raises(ValueError) as e:
        torvan.distribution(10**6, 10**5, -0.5, 0.3, method=method)
    assert "more than this machine can hold" in str(e.value) and str(e.value).endswith(hint)


def test_plan_takes_any_evenly_spaced_sizes():
    want = torvan.plan(-0.3, prop=0.3, nhire=3, ntot=range(10, 41, 10))
    for sizes in ([10, 20, 30, 40], np.arange(10, 41, 10), pd.Series([10, 20, 30, 40]),
                  (10.0, 20.0, 30.0, 40.0)):
        assert torvan.plan(-0.3, prop=0.3, nhire=3, ntot=sizes).to_dict()["rows"] == \
            want.to_dict()["rows"]


def test_the_events_table_joins_names_with_underscores():
    e = torvan.audit_events([("2023", 50, 5, 150, 30), ("2024", 40, 6, 160, 35)])
    assert "z_test_p_lower" in e.table and not any("." in c for c in e.table.columns)
    assert e.table["z_test_p_lower"].tolist() == [a.z_test["p_lower"] for a in e.events]
    assert e.table["event"].tolist() == ["2023", "2024"]


@pytest.mark.parametrize("make, cli_args", [
    (lambda: torvan.audit(50, 5, 150, 30), ["audit", "50", "5", "150", "30"]),
])
@pytest.mark.parametrize("indent", [2, -1, 0, 4])
def test_to_json_is_the_command_lines_text(cli, make, cli_args, indent):
    a = make()
    r = cli.run("", *cli_args, "--format", "json")
    assert a.to_json() == r.stdout.rstrip("\n")
    assert json.loads(a.to_json(indent)) == json.loads(r.stdout)
    assert a.to_json(indent) == torvan._torvan.json_reindented(r.stdout, indent)


def test_one_event_is_singular():
    e = torvan.audit_events([(50, 5, 150, 30)])
    assert str(e).startswith("TORVAN audit of 1 event\n") and "1 events" not in str(e)
    assert repr(e).startswith("<torvan.EventsAudit of 1 event:")
    p = torvan.plan(-0.3, prop=0.3, nhire=3, ntot=[10])
    assert ": 1 size," in repr(p)


def test_the_package_has_its_version_and_type_hints(cli):
    import pathlib
    import typing

    assert torvan.__version__ in cli.run("", "--version").stdout
    assert (pathlib.Path(torvan.__file__).parent / "py.typed").exists()
    for function in (torvan.distribution, torvan.grid, torvan.plan, torvan.audit,
                     torvan.audit_events):
        hints = typing.get_type_hints(function)
        assert "return" in hints and len(hints) > 2, function.__name__
