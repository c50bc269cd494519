import math

import pandas as pd
import pytest

import torvan
from torvan._grid import batches

# Cheap cells, one refused, one that ends early; a Dask run stays quick.
PROBLEMS = [(4, 2, 0.0, 0.5), (10, 3, -1.0, 0.3), (1, 0, 0.0, 0.5), (8, 0, 0.5, 0.4),
            (12, 3, 3.0, 0.5), (9, 9, -0.5, 0.2), (6, 3, 1.0, 0.5), (10, 11, 0.0, 0.5),
            (12, 4, -1.0, 0.3), (5, 1, 0.0, 0.1)]


@pytest.fixture(scope="module")
def client():
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  host="127.0.0.1", dashboard_address=None) as cluster:
        with distributed.Client(cluster) as client:
            yield client


def figures_of(doc):
    """The grid's figures for one --batch line, NaN where it has none."""
    if not doc.get("completed"):
        return {}
    return {**doc["moments"], **doc["percentiles"], "p_undefined": doc["p_undefined"],
            "p_above_1_25": doc["p_above_1_25"], "p_below_0_8": doc["p_below_0_8"],
            "skipped_pool_weight": doc["skipped_pool_weight"]}


@pytest.mark.parametrize("method", torvan.methods)
def test_grid_is_the_command_lines_batch(cli, method):
    g = torvan.grid(PROBLEMS, method=method)
    docs = cli.batch(PROBLEMS, method)
    assert len(g) == len(docs) == len(PROBLEMS)
    for (_, row), doc, problem in zip(g.iterrows(), docs, PROBLEMS):
        assert tuple(row[["ntot", "nhire", "esize", "prop"]]) == problem
        assert row["completed"] == doc["completed"]
        assert row["error"] == (doc.get("error") or doc.get("reason"))
        want = figures_of(doc)
        for name in torvan._grid.FIGURES:
            got = row[name]
            expected = want.get(name)
            assert (math.isnan(got) and expected is None) or got == expected, name


def test_error_rows_do_not_stop_the_grid():
    g = torvan.grid([(10, 3, -1.0, 0.3), (10, 3, 0.0), (10.5, 3, 0.0, 0.5), (4, 2, 0.0, 0.5)])
    assert list(g["completed"]) == [True, False, False, True]
    assert g["error"][1].startswith("a problem is four values")
    assert g["error"][2] == "ntot = 10.5 must be a whole number"
    assert g["error"][[0, 3]].isna().all()


def test_a_dataframe_keeps_its_order_and_index():
    frame = pd.DataFrame(PROBLEMS[:4], columns=["ntot", "nhire", "esize", "prop"],
                         index=[40, 10, 30, 20])
    g = torvan.grid(frame)
    assert list(g.index) == [40, 10, 30, 20]
    assert g[["ntot", "nhire", "esize", "prop"]].equals(frame)
    with pytest.raises(ValueError, match="prop"):
        torvan.grid(frame.drop(columns="prop"))


def test_the_cluster_gives_the_local_grid(client):
    frame = pd.DataFrame(PROBLEMS * 3, columns=["ntot", "nhire", "esize", "prop"])
    pd.testing.assert_frame_equal(torvan.grid(frame, client=client), torvan.grid(frame),
                                  check_exact=True)


def test_distribution_results_come_back_from_workers(client):
    d = client.submit(torvan.distribution, 10, 3, -1.0, 0.3, threads=1).result()
    assert d.to_dict()["rows"] == torvan.distribution(10, 3, -1.0, 0.3).to_dict()["rows"]


def test_batches_keep_order_and_leave_a_costly_cell_alone():
    cells = [(10, 2, 0.0, 0.5)] * 40 + [(2000, 400, 0.0, 0.5)] + [(10, 2, 0.0, 0.5)] * 40
    cut = batches(cells, slots=2)
    assert [p for b in cut for p in b] == cells
    assert [(2000, 400, 0.0, 0.5)] in cut
    assert len(cut) < len(cells) / 4
