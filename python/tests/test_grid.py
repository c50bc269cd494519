import math

import pandas as pd
import pytest

import torvan
from torvan._grid import batches

# Cheap cells, one refused, one that ends early; a Dask run stays quick.
PROBLEMS = [(4, 2, 0.0, 0.5), (10, 3, -1.0, 0.3), (1, 0, 0.0, 0.5), (8, 0, 0.5, 0.4),
            (12, 3, 3.0, 0.5), (9, 9, -0.5, 0.2), (6, 3, 1.0, 0.5), (10, 11, 0.0, 0.5),
            (12, 4, -1.0, 0.3), (5, 1, 0.0, 0.1)]



def figures_of(doc):
    """The grid's figures for one --batch line, None where it has none."""
    if not doc.get("completed"):
        return {}
    undefined = {f"undefined_{k}": v for k, v in doc["undefined"].items()}
    return {**doc["moments"], **doc["percentiles"], **undefined, **doc["adverse_impact"],
            **{k: doc[k] for k in ("p_undefined", "p_above_1_25", "p_below_0_8",
                                   "skipped_pool_weight", "skipped_outcome_weight")}}


def assert_batch(g, docs, problems):
    assert len(g) == len(docs) == len(problems)
    for (_, row), doc, problem in zip(g.iterrows(), docs, problems):
        assert tuple(row[["ntot", "nhire", "esize", "prop"]]) == problem[:4]
        assert row["completed"] == doc["completed"]
        assert row["error"] == (doc.get("error") or doc.get("reason"))
        want = figures_of(doc)
        for name in torvan._grid.FIGURES + torvan._grid.RULES:
            got, expected = row[name], want.get(name)
            assert (math.isnan(got) and expected is None) or got == expected, name


@pytest.mark.parametrize("method", torvan.methods)
def test_grid_is_the_command_lines_batch(cli, method):
    g = torvan.grid(PROBLEMS, method=method, alpha=0.1)
    docs = cli.batch(PROBLEMS, "--method", method, "--alpha", "0.1", "--rows", "none")
    assert_batch(g, docs, PROBLEMS)
    assert (g["method"] == method).all() and (g["alpha"] == 0.1).all()


def test_known_pools_are_the_command_lines_batch(cli):
    cells = [p + (3,) for p in PROBLEMS]
    g = torvan.grid(cells, method="direct")
    docs = cli.batch(cells, "--method", "direct", "--minority", "3", "--rows", "none")
    assert_batch(g, docs, cells)
    assert list(g["minority"]) == [3] * len(cells)


def test_error_rows_do_not_stop_the_grid():
    g = torvan.grid([(10, 3, -1.0, 0.3), (10, 3, 0.0), (10.5, 3, 0.0, 0.5), (4, 2, 0.0, 0.5)])
    assert list(g["completed"]) == [True, False, False, True]
    assert g["error"][1].startswith("a problem is four values, ntot, nhire, esize, prop")
    assert g["error"][2] == "ntot = 10.5 must be a whole number"
    assert g["error"][[0, 3]].isna().all()


def test_a_dataframe_keeps_its_order_and_index():
    frame = pd.DataFrame(PROBLEMS[:4], columns=["ntot", "nhire", "esize", "prop"],
                         index=[40, 10, 30, 20])
    frame["minority"] = pd.array([None, 2, None, 5], dtype="Int64")
    g = torvan.grid(frame)
    assert list(g.index) == [40, 10, 30, 20]
    assert g[["ntot", "nhire", "esize", "prop"]].equals(frame[["ntot", "nhire", "esize", "prop"]])
    assert list(g["minority"].isna()) == [True, False, True, False]
    assert g.loc[10, "mean"] == torvan.distribution(10, 3, -1.0, 0.3, minority=2).mean
    # Without prop, the known pools alone can be computed.
    g = torvan.grid(frame.drop(columns="prop"))
    assert g.loc[10, "mean"] == torvan.distribution(10, 3, -1.0, None, minority=2).mean
    assert list(g["completed"]) == [False, True, False, True]
    assert g.loc[40, "error"] == "prop must be a number unless the pool is known (minority given)"


@pytest.mark.parametrize("method", torvan.methods)
def test_the_cluster_gives_the_local_grid(client, method):
    frame = pd.DataFrame(PROBLEMS * 3, columns=["ntot", "nhire", "esize", "prop"])
    pd.testing.assert_frame_equal(torvan.grid(frame, method=method, client=client),
                                  torvan.grid(frame, method=method), check_exact=True)


def test_distribution_results_come_back_from_workers(client):
    d = client.submit(torvan.distribution, 10, 3, -1.0, 0.3, threads=1).result()
    assert d.to_dict()["rows"] == torvan.distribution(10, 3, -1.0, 0.3).to_dict()["rows"]


def test_batches_keep_order_and_leave_a_costly_cell_alone():
    cells = [(10, 2, 0.0, 0.5)] * 40 + [(2000, 400, 0.0, 0.5)] + [(10, 2, 0.0, 0.5)] * 40
    cut = batches(cells, slots=2)
    assert [p for b in cut for p in b] == cells
    assert [(2000, 400, 0.0, 0.5)] in cut
    assert len(cut) < len(cells) / 4


def test_a_cell_needs_no_table(cli):
    big = [(100000, 10000, -0.5, 0.3)]
    g = torvan.grid(big, method="direct")
    assert_batch(g, cli.batch(big, "--method", "direct", "--rows", "none"), big)
    assert g["completed"][0] and g["skipped_pool_weight"][0] + g["skipped_outcome_weight"][0] < 1e-14
