"""Every result the package returns pickles and deep-copies, whole: what a
Dask worker computes arrives as the same document."""

import copy
import pickle

import pytest

import torvan
from conftest import without_run_facts

RESULTS = {
    "distribution": lambda: torvan.distribution(12, 4, -0.5, 0.3, threads=1),
    "distribution joint": lambda: torvan.distribution(12, 4, -0.5, 0.3, joint=True, threads=1),
    "distribution rows=False": lambda: torvan.distribution(60, 15, -0.5, 0.3, method="direct",
                                                           rows=False),
    "audit": lambda: torvan.audit(50, 5, 150, 30),
    "events audit": lambda: torvan.audit_events([("2023", 50, 5, 150, 30),
                                                 ("2024", 40, 6, 160, 35)]),
    "plan": lambda: torvan.plan(-0.3, prop=0.3, selection_ratio=0.2, ntot=range(10, 31, 5)),
}


def same(a, b):
    assert type(a) is type(b)
    assert a.to_json() == b.to_json() and a.to_json(-1) == b.to_json(-1)
    assert repr(a) == repr(b) and str(a) == str(b)
    for name in ("table", "joint", "events", "rows", "found"):
        x, y = getattr(a, name, None), getattr(b, name, None)
        if hasattr(x, "equals"):
            assert x.equals(y), name
        elif isinstance(x, list):
            assert [e.to_json() for e in x] == [e.to_json() for e in y], name


@pytest.mark.parametrize("make", RESULTS.values(), ids=RESULTS.keys())
def test_every_result_pickles_and_deep_copies(make):
    r = make()
    for copied in (pickle.loads(pickle.dumps(r)), copy.deepcopy(r), copy.copy(r)):
        same(r, copied)


def test_plan_on_a_cluster(client):
    kwargs = dict(prop=0.3, selection_ratio=0.2, ntot=range(10, 31, 5))
    there = client.submit(torvan.plan, -0.3, **kwargs, threads=1).result()
    here = torvan.plan(-0.3, **kwargs, threads=1)
    assert without_run_facts(there.to_dict()) == without_run_facts(here.to_dict())
    assert there.rows.equals(here.rows) and there.found.equals(here.found)
    d = client.submit(torvan.distribution, 12, 4, -0.5, 0.3, threads=1).result()
    assert d.to_dict()["rows"] == torvan.distribution(12, 4, -0.5, 0.3).to_dict()["rows"]
