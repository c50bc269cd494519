"""/api/audit and /api/plan answer what `torvan audit` and `torvan plan`
write, refuse what they refuse with their messages, and keep within the
server's limits on work."""

import json
import urllib.parse

import pytest

from conftest import audit_args, plan_args, refusal, run, without_run_facts

HEADER = "event,minority_applicants,minority_hires,majority_applicants,majority_hires\n"
COUNTS = [
    (50, 5, 150, 30),
    (0, 0, 10, 0),  # no minority applicant: most figures undefined, each with its reason
    (40, 40, 60, 60),  # everybody hired
    (1000, 120, 3000, 600),
    (25, 0, 75, 20),  # no minority hire: unbounded ends
]
EVENTS = [
    HEADER + "2019,40,4,120,30\n\"2020, site B\",30,0,90,20\nnone,0,0,50,10\n",
    "\ufeff" + HEADER.replace("\n", "\r\n") + "a,10,2,30,9\r\n\r\nb,12,3,28,10\r\n",
    HEADER + "<b>only</b>,100,10,300,60\n",
]


def audit_query(params):
    return "/api/audit?" + urllib.parse.urlencode(params)


@pytest.mark.parametrize("counts", COUNTS)
@pytest.mark.parametrize("alpha", [None, "0.01"])
def test_audit_is_the_command_lines(server, counts, alpha):
    params = dict(zip(("minority_applicants", "minority_hires", "majority_applicants",
                       "majority_hires"), counts))
    if alpha:
        params["alpha"] = alpha
    status, headers, body = server.get(audit_query(params))
    assert status == 200, body
    assert headers["Content-Type"] == "application/json"
    args, _ = audit_args(params)
    assert body == run("audit", "--format", "json", *args).stdout


@pytest.mark.parametrize("csv", EVENTS)
def test_events_are_the_command_lines(server, csv):
    for params in ({"events": csv}, {"events": csv, "alpha": "0.1"}):
        status, _, body = server.get(audit_query(params))
        assert status == 200, body
        args, text = audit_args(params)
        assert body == run("audit", "--format", "json", *args, text=text).stdout


PLANS = [
    [("esize", "-0.3"), ("prop", "0.3"), ("selection_ratio", "0.2"), ("ntot", "10:400:10")],
    [("esize", "-0.5"), ("minority_share", "0.25"), ("nhire", "15"), ("ntot", "10:60:5"),
     ("target", "0.5")],  # known pools; the sizes below 15 not computed
    [("esize", "0"), ("prop", "0.2"), ("selection_ratio", "0.5"), ("ntot", "20:200:20"),
     ("alpha", "0.01"), ("rule", "z_test,fisher_exact")],  # false positives, two rules
    [("esize", "-1"), ("prop", "0.4"), ("selection_ratio", "0.3"), ("ntot", "5:30:5"),
     ("method", "nested"), ("rule", "four_fifths"), ("rule", "z_ir")],
    [("esize", "-0.2"), ("prop", "0.5"), ("selection_ratio", "0.1"), ("ntot", "2000:20000:6000")],
]


def plan_query(path, params):
    return path + "?" + urllib.parse.urlencode(params)


@pytest.mark.parametrize("params", PLANS)
def test_plan_and_its_chart_are_the_command_lines(server, params, tmp_path):
    """A plan the command line refuses (exit status 1, a size not computed) is
    422 with the same document and the command line's message as its error."""
    chart = tmp_path / "plan.svg"
    cli = run("plan", "--format", "json", f"--plot={chart}", *plan_args(params))
    status, headers, body = server.get(plan_query("/api/plan", params))
    assert status == (200 if cli.returncode == 0 else 422), body
    assert headers["Content-Type"] == "application/json"
    if cli.returncode == 0:
        assert without_run_facts(body) == without_run_facts(cli.stdout)
    else:
        doc, want = json.loads(body), json.loads(cli.stdout)
        assert "torvan plan: " + doc.pop("error") + "\n" == cli.stderr
        for d in (doc, want):
            del d["threads"], d["cpu_seconds"]
        assert doc == want
    status, _, with_chart = server.get(plan_query("/api/plan", params + [("chart", "svg")]))
    assert json.loads(with_chart)["chart"] == chart.read_text()
    status, headers, svg = server.get(plan_query("/api/plan.svg", params))
    if cli.returncode != 0:
        assert status == 422
        return
    assert status == 200
    assert headers["Content-Type"] == "image/svg+xml"
    assert svg == chart.read_text()


def good_answers_still_right(server):
    test_audit_is_the_command_lines(server, COUNTS[0], None)
    status, _, body = server.get(plan_query("/api/plan", PLANS[2]))
    assert status == 200
    want = run("plan", "--format", "json", *plan_args(PLANS[2])).stdout
    assert without_run_facts(body) == without_run_facts(want)


def error_of(server, target):
    status, headers, body = server.get(target)
    assert headers["Content-Type"] == "application/json"
    return status, json.loads(body)["error"]


GOOD_COUNTS = {"minority_applicants": "50", "minority_hires": "5", "majority_applicants": "150",
               "majority_hires": "30"}


def counts_with(**changes):
    return {k: v for k, v in {**GOOD_COUNTS, **changes}.items() if v is not None}


# Refused by the command line too: the same message.
BAD_AUDITS = [
    counts_with(minority_applicants="abc"),
    counts_with(minority_hires="NaN"),
    counts_with(majority_hires="1e400"),
    counts_with(majority_applicants="-5"),
    counts_with(minority_applicants="99999999999"),
    counts_with(minority_hires="2.5"),
    counts_with(minority_hires="60"),
    counts_with(minority_applicants="0", minority_hires="0", majority_applicants="0",
                majority_hires="0"),
    counts_with(minority_applicants="60000", majority_applicants="60000"),
    counts_with(alpha="NaN"),
    counts_with(alpha="1e400"),
    counts_with(alpha="-0.05"),
    {"events": HEADER + "a,10,2,30,9\nb,12,13,28,10\n"},
    {"events": HEADER + "a,10,2,30\n"},
    {"events": HEADER + "a,10,2,30,x\n"},
    {"events": "\"a,10,2,30,9\n"},
    {"events": "year,n1,x,n0,y\na,10,2,30,9\n"},
    {"events": HEADER},
    {"events": ""},
    {"events": HEADER + "a,10,2,30,9\n\"b\" c,1,0,3,1\n"},
]


@pytest.mark.parametrize("params", BAD_AUDITS)
def test_bad_audits_get_the_command_lines_message(server, params):
    status, error = error_of(server, audit_query(params))
    args, text = audit_args(params)
    assert (status, error) == (400, refusal("audit", *args, text=text))


def test_a_bad_events_row_is_named_by_its_line(server):
    csv = HEADER + "a,10,2,30,9\n\nb,12,13,28,10\n"
    assert error_of(server, audit_query({"events": csv})) == (
        400, "line 4: minority_hires = 13 is more than minority_applicants = 12")


SERVER_AUDITS = [
    ({}, 400, "minority_applicants is missing"),
    (counts_with(majority_hires=None), 400, "majority_hires is missing"),
    (counts_with(minority_hires=""), 400, "minority_hires is missing"),
    ({**GOOD_COUNTS, "events": HEADER + "a,1,0,1,0\n"}, 400,
     "give the four counts or events, not both"),
    (counts_with(rows="all"), 400, "unknown parameter 'rows'"),
    (counts_with(format="csv"), 400, "format must be json or text, not 'csv'"),
    ({"events": HEADER + "".join(f"e{i},50000,500,50000,5000\n" for i in range(41))}, 422,
     "the 41 events hold 4100000 applicants in all, more than this server audits at once "
     "(at most 4000000)"),
]


@pytest.mark.parametrize("params,status,message", SERVER_AUDITS)
def test_what_only_a_query_gets_wrong_in_an_audit(server, params, status, message):
    assert error_of(server, audit_query(params)) == (status, message)
    good_answers_still_right(server)


def test_events_longer_than_the_request_line(server):
    many = HEADER + "".join(f"e{i},50,5,150,30\n" for i in range(400))
    status, _, _ = server.get(audit_query({"events": many}))
    assert status == 414
    good_answers_still_right(server)


def test_1000_events_posted_are_the_command_lines(server):
    csv = HEADER + "".join(f"e{i},{50 + i % 7},{5 + i % 3},150,30\n" for i in range(1000))
    status, headers, body = server.post("/api/audit?alpha=0.1", csv)
    assert status == 200, body
    assert headers["Content-Type"] == "application/json"
    assert body == run("audit", "--format", "json", "--alpha=0.1", "--events", "-",
                       text=csv).stdout
    both = json.dumps({"events": csv, "alpha": "0.1"})
    assert server.post("/api/audit", both, "application/json")[::2] == (200, body)


def posted_error(server, target, body, content_type="text/csv"):
    status, headers, text = server.post(target, body, content_type)
    return status, json.loads(text)["error"]


POSTED_REFUSALS = [
    ("/api/audit", "events=" + HEADER, "application/x-www-form-urlencoded", 415,
     "the body must be a table (text/csv) or a JSON object of parameters (application/json), "
     "not 'application/x-www-form-urlencoded'"),
    ("/api/audit", "[1]", "application/json", 400, "the body is not a JSON object of parameters"),
    ("/api/audit", '{"alpha": 0.1}', "application/json", 400, "the body's alpha is not a text"),
    ("/api/audit?alpha=0.1", '{"alpha": "0.1"}', "application/json", 400,
     "alpha is given more than once"),
    ("/api/audit?table=counts", HEADER, "text/csv", 400, "table must be events or groups, "
     "not 'counts'"),
    ("/api/audit?events=x", HEADER, "text/csv", 400,
     "give events in the query or the body, not both"),
    ("/api/distribution?ntot=10", "x", "text/csv", 405,
     "only GET and HEAD are answered here (and POST at /api/audit and /api/design)"),
    ("/api/audit", HEADER + "".join(f"e{i},5,1,5,1\n" for i in range(2001)), "text/csv", 422,
     "the table has 2001 events, more than this server audits at once (at most 2000)"),
    ("/api/audit?minority_applicants=5", HEADER + "a,1,0,1,0\n", "text/csv", 400,
     "give the four counts or events, not both"),
]


@pytest.mark.parametrize("target,body,content_type,status,message", POSTED_REFUSALS,
                         ids=lambda v: str(v)[:30])
def test_what_a_post_gets_wrong(server, target, body, content_type, status, message):
    assert posted_error(server, target, body, content_type) == (status, message)
    good_answers_still_right(server)


@pytest.mark.parametrize("params", BAD_AUDITS)
def test_bad_posted_tables_get_the_command_lines_message(server, params):
    if "events" not in params:
        return
    status, error = posted_error(server, "/api/audit", params["events"])
    args, text = audit_args(params)
    assert (status, error) == (400, refusal("audit", *args, text=text))


GROUPS = "group,applicants,hires\nWhite,200,60\nBlack,80,12\n\"Asian, other\",50,14\n"
GROUP_EVENTS = ("event,group,applicants,hires\n2019,A,100,30\n2019,B,60,9\n2020,A,90,25\n"
                "2020,B,70,12\n2020,C,20,2\n")
GROUP_AUDITS = [
    {"groups": GROUPS},
    {"groups": GROUPS, "reference": "Black", "alpha": "0.01"},
    {"groups": GROUPS.replace(",", "\t"), "format": "text"},
    {"groups": GROUPS, "reference": "Asian, other", "format": "text"},
    {"events": GROUP_EVENTS},
    {"events": GROUP_EVENTS, "reference": "B", "format": "text"},
]


@pytest.mark.parametrize("params", GROUP_AUDITS)
def test_groups_are_the_command_lines(server, params):
    args, text = audit_args(params)
    want = run("audit", *args, *([] if "format" in params else ["--format=json"]), text=text).stdout
    status, headers, body = server.get(audit_query(params))
    assert (status, body) == (200, want)
    assert headers["Content-Type"].startswith(
        "text/plain" if params.get("format") == "text" else "application/json")
    table = "groups" if "groups" in params else "events"
    options = {k: v for k, v in params.items() if k != table}
    target = "/api/audit?" + urllib.parse.urlencode({**options, "table": table})
    assert server.post(target, params[table])[::2] == (200, want)


BAD_GROUPS = [
    {"groups": "group,applicants,hires\nA,10,2\n"},
    {"groups": "group,applicants,hires\nA,10,2\nA,20,3\n"},
    {"groups": "group,applicants,hires\nA,10,12\nB,20,3\n"},
    {"groups": GROUPS, "reference": "Nobody"},
    {"groups": HEADER + "a,1,0,1,0\n"},
    {"groups": "group,applicants,hires\nA,10,x\nB,20,3\n"},
    {"events": GROUP_EVENTS, "reference": "C"},
    {"events": HEADER + "a,10,2,30,9\n", "reference": "a"},
]


@pytest.mark.parametrize("params", BAD_GROUPS)
def test_bad_groups_get_the_command_lines_message(server, params):
    status, error = error_of(server, audit_query(params))
    args, text = audit_args(params)
    assert (status, error) == (400, refusal("audit", *args, text=text))


@pytest.mark.parametrize("params,message", [
    ({"groups": GROUPS, "events": GROUP_EVENTS}, "give groups or events, not both"),
    ({**GOOD_COUNTS, "groups": GROUPS}, "give the four counts or groups, not both"),
    ({**GOOD_COUNTS, "reference": "A"}, "reference needs groups, or events with a group column"),
    ({"groups": GROUPS, "reference": ""}, "reference needs a group's name"),
])
def test_what_only_a_query_gets_wrong_with_groups(server, params, message):
    assert error_of(server, audit_query(params)) == (400, message)


GOOD_PLAN = [("esize", "-0.3"), ("prop", "0.3"), ("selection_ratio", "0.2"), ("ntot", "10:100:10")]


def plan_with(**changes):
    params = dict(GOOD_PLAN) | changes
    return [(k, v) for k, v in params.items() if v is not None]


BAD_PLANS = [
    plan_with(esize="abc"),
    plan_with(esize="NaN"),
    plan_with(esize="inf"),
    plan_with(esize="1e400"),
    plan_with(esize=None),
    plan_with(prop="1.5"),
    plan_with(prop="-0.1"),
    plan_with(prop=None),
    plan_with(minority_share="0.3"),
    plan_with(selection_ratio="0"),
    plan_with(selection_ratio=None, nhire="-1"),
    plan_with(selection_ratio=None, nhire="99999999999"),
    plan_with(nhire="10"),
    plan_with(ntot="100:10"),
    plan_with(ntot="-5:10"),
    plan_with(ntot="10:x"),
    plan_with(ntot="10"),
    plan_with(ntot="10:100:0"),
    plan_with(ntot="2:2147483647"),
    plan_with(ntot=None),
    plan_with(alpha="1"),
    plan_with(target="0"),
    plan_with(target="NaN"),
    plan_with(rule="z_test,bogus"),
    plan_with(rule=""),
    plan_with(method="exact"),
    plan_with(method="<script>alert(1)</script>"),
]


@pytest.mark.parametrize("params", BAD_PLANS)
def test_bad_plans_get_the_command_lines_message(server, params):
    status, error = error_of(server, plan_query("/api/plan", params))
    assert (status, error) == (400, refusal("plan", *plan_args(params)))


SERVER_PLANS = [
    (GOOD_PLAN + [("esize", "-1")], 400, "esize is given more than once"),
    (plan_with(threads="2"), 400, "no plan option is named 'threads'"),
    (plan_with(ntot="10:30000:1000"), 422,
     "ntot reaches 29010 applicants, more than this server computes (at most 20000 "
     "applicants; see torvan serve --max-ntot)"),
    (plan_with(ntot="10:2000:10"), 422,
     "the plan's 200 sizes add up to 201000 applicants, more than this server computes in one "
     "plan (at most 100000, 5 times --max-ntot); a larger step draws the same curves from "
     "fewer sizes"),
    (plan_with(ntot="2:1000"), 422, "the plan's 999 sizes add up to 500499 applicants"),
    (plan_with(ntot="10:100:1", method="nested"), 422,
     "the nested method integrates every outcome of every pool and takes too long here beyond "
     "ntot x nhire = 5000 summed over the plan's sizes (67631 asked); method=direct gives every "
     "probability to 1e-11 in a fraction of the time"),
]


@pytest.mark.parametrize("params,status,message", SERVER_PLANS)
def test_what_only_a_query_gets_wrong_in_a_plan(server, params, status, message):
    for path in ("/api/plan", "/api/plan.svg"):
        got, error = error_of(server, plan_query(path, params))
        assert got == status and error.startswith(message), error
    good_answers_still_right(server)


def test_the_largest_plan_within_the_limits_is_computed(server):
    """10:2000:20 adds up to exactly 100000 applicants."""
    params = plan_with(ntot="10:2000:20")
    status, _, body = server.get(plan_query("/api/plan", params))
    assert status == 200, body
    assert len(json.loads(body)["rows"]) == 100
