"""/api/design answers what `torvan design` writes, refuses what it refuses
with its messages, and keeps within the server's limits on work."""

import json
import pathlib
import re
import subprocess
import urllib.parse

import pytest

from conftest import BINARY, without_run_facts

EXAMPLE = pathlib.Path(__file__).resolve().parents[2] / "examples" / "design"
PREDICTORS = (EXAMPLE / "predictors.csv").read_text()
CORRELATIONS = (EXAMPLE / "correlations.csv").read_text()
SELECTION = [("ntot", "200"), ("nhire", "20"), ("prop", "0.15")]

DESIGNS = [
    SELECTION + [("points", "5")],
    SELECTION + [("matrix", "overall"), ("max_risk", "0.33"), ("points", "4"),
                 ("compare", "unit"), ("compare", "mine=1,0,1,0,1")],
    [("ntot", "120"), ("selection_ratio", "0.25"), ("minority", "30"), ("weights", "free"),
     ("min_impact_ratio", "0.8"), ("points", "3"), ("alpha", "0.01")],
]


def design_cli(params, tmp_path, *extra):
    """`torvan design` run on the tables saved as files named as the
    parameters are, so that its messages name them alike."""
    tables = dict(params)
    for name in ("predictors", "correlations"):
        (tmp_path / name).write_text(tables.get(name, ""))
    args = [f"--{k.replace('_', '-')}={v}" for k, v in params
            if k not in ("predictors", "correlations")]
    return subprocess.run([BINARY, "design", "--predictors", "predictors", "--correlations",
                           "correlations", "--threads", "1", *args, *extra], cwd=tmp_path,
                          capture_output=True, text=True, timeout=120)


def as_parameters(stderr):
    """The command line's refusal, its options named as the server's parameters."""
    message = stderr.splitlines()[0].removeprefix("torvan design: ")
    names, quote, rest = message.removesuffix(" (see torvan design --help)").partition("'")
    names = re.sub(r"(?:^|(?<= ))--([a-z-]+)", lambda m: m[1].replace("-", "_"), names)
    return names + quote + rest


def with_tables(params):
    return [("predictors", PREDICTORS), ("correlations", CORRELATIONS)] + params


@pytest.mark.parametrize("params", DESIGNS)
def test_design_and_its_chart_are_the_command_lines(server, params, tmp_path):
    params = with_tables(params)
    want = design_cli(params, tmp_path, "--format=json", "--plot=design.svg")
    assert want.returncode == 0, want.stderr
    chart = (tmp_path / "design.svg").read_text()
    csv = design_cli(params, tmp_path, "--format=csv").stdout
    query = urllib.parse.urlencode(params)
    status, headers, body = server.get("/api/design?" + query)
    assert (status, headers["Content-Type"]) == (200, "application/json"), body
    assert without_run_facts(body) == without_run_facts(want.stdout)
    # POST: the tables (and here every parameter) as a JSON object; compare
    # may come only once there, so the comparisons stay in the query.
    compared = [(k, v) for k, v in params if k == "compare"]
    posted = json.dumps({k: v for k, v in params if k != "compare"})
    status, _, body = server.post("/api/design?" + urllib.parse.urlencode(compared), posted,
                                  "application/json")
    assert status == 200 and without_run_facts(body) == without_run_facts(want.stdout)
    status, _, with_chart = server.get("/api/design?chart=svg&" + query)
    assert json.loads(with_chart)["chart"] == chart
    assert server.get("/api/design.csv?" + query)[::2] == (200, csv)
    status, headers, svg = server.get("/api/design.svg?" + query)
    assert (status, headers["Content-Type"], svg) == (200, "image/svg+xml", chart)


def design_with(**changes):
    params = dict(with_tables(SELECTION)) | changes
    return [(k, v) for k, v in params.items() if v is not None]


BAD_DESIGNS = [
    design_with(predictors="name,validity,r\nGMA,0.5,0.7\n"),
    design_with(predictors=PREDICTORS.replace("0.52", "high")),
    design_with(predictors="name,validity,d\n"),
    design_with(correlations=CORRELATIONS.replace("0.51", "0.15", 1)),
    design_with(correlations=CORRELATIONS.replace("SI,", "XX,", 1)),
    design_with(correlations="name,BIO\nBIO,1\n"),
    design_with(matrix="between"),
    design_with(weights="positive"),
    design_with(prop=None),
    design_with(nhire="201"),
    design_with(nhire="1e3"),
    design_with(points="0"),
    design_with(max_risk="1.5"),
    design_with(max_risk="0.3", min_impact_ratio="0.8"),
    design_with(rule="four_thirds", max_risk="0.3"),
    design_with(compare="mine=1,x,0,0,0"),
    design_with(compare="mine=1,1"),
    design_with(compare="best"),
    design_with(method="exact"),
]


@pytest.mark.parametrize("params", BAD_DESIGNS, ids=range(len(BAD_DESIGNS)))
def test_bad_designs_get_the_command_lines_message(server, params, tmp_path):
    status, _, body = server.get("/api/design?" + urllib.parse.urlencode(params))
    r = design_cli(params, tmp_path)
    assert r.returncode == 2, r.stdout
    assert (status, json.loads(body)["error"]) == (400, as_parameters(r.stderr))


SERVER_DESIGNS = [
    ("/api/design", design_with(predictors=None), 400, "predictors is missing"),
    ("/api/design", design_with(**{"max-risk": "0.3"}), 400, "unknown parameter 'max-risk'"),
    ("/api/design.csv", design_with(chart="svg"), 400, "unknown parameter 'chart'"),
    ("/api/design", design_with(chart="png"), 400, "chart must be 'svg', not 'png'"),
    ("/api/design", design_with(ntot="20001", nhire="10"), 422,
     "ntot = 20001 is more than this server computes"),
    ("/api/design", design_with(ntot="5000", nhire="500", max_risk="0.3"), 422,
     "the design solves up to 41 problems of 5000 applicants, 205000 in all, more than this "
     "server computes in one design (at most 200000, 10 times --max-ntot)"),
    ("/api/design.svg", design_with(ntot="80", nhire="8", method="nested"), 422,
     "the nested method integrates every outcome of every pool and takes too long here beyond "
     "ntot x nhire = 5000 summed over the design's problems (13440 asked)"),
]


@pytest.mark.parametrize("path,params,status,message", SERVER_DESIGNS)
def test_what_only_a_query_gets_wrong_in_a_design(server, path, params, status, message):
    got, _, body = server.get(path + "?" + urllib.parse.urlencode(params))
    assert (got, json.loads(body)["error"][:len(message)]) == (status, message)


def test_a_design_is_posted_as_a_json_object_only(server):
    status, _, body = server.post("/api/design", PREDICTORS, "text/csv")
    assert (status, json.loads(body)["error"]) == (
        415, "a design's body must be a JSON object of parameters (application/json), "
        "not 'text/csv'")
