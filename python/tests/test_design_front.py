"""torvan design's front against a second solver: cvxopt's quadratic program.

On the ray esize / validity = c, the composite of greatest validity is
1 / sqrt(m), with m the least w'Rw subject to r'w = 1, e'w = c (and w >= 0).
A front point is that composite wherever nothing on its ray lies beyond it:
for free weights everywhere (the reachable set is an ellipse), for
non-negative ones wherever its esize is not negative (beyond it would be
more valid and less adverse). There the validity and esize must agree to
1e-9: cvxopt finds the active set, and the equality-constrained optimum on it
is solved exactly. A non-negative point of negative esize can have more valid,
more adverse composites on its ray; there a hundred thousand random composites must
not beat it."""

import csv
import json
import os
import tempfile

import numpy as np
import pytest

cvxopt = pytest.importorskip("cvxopt")
from cvxopt import matrix, solvers  # noqa: E402

solvers.options.update(show_progress=False, abstol=1e-11, reltol=1e-11, feastol=1e-11,
                       maxiters=200)


def random_problem(rng, k):
    """A random correlation matrix with validities and esizes it can hold."""
    while True:
        a = rng.normal(size=(k, k + 2))
        c = a @ a.T
        d = np.sqrt(np.diag(c))
        R = c / np.outer(d, d)
        r = rng.uniform(0.05, 0.5, size=k)
        e = rng.uniform(-1.0, 0.6, size=k)
        if r @ np.linalg.solve(R, r) < 0.9 and np.linalg.eigvalsh(R)[0] > 1e-3:
            return np.round(R, 12), r, e


def design(cli, R, r, e, *options):
    names = [f"P{i}" for i in range(len(r))]
    with tempfile.TemporaryDirectory() as tmp:
        pred, corr = os.path.join(tmp, "p.csv"), os.path.join(tmp, "c.csv")
        with open(pred, "w", newline="") as f:
            w = csv.writer(f)
            w.writerow(["name", "validity", "esize"])
            for n, v, s in zip(names, r, e):
                w.writerow([n, repr(float(v)), repr(float(s))])
        with open(corr, "w", newline="") as f:
            w = csv.writer(f)
            w.writerow(["name", *names])
            for n, row in zip(names, R):
                w.writerow([n, *(repr(float(x)) for x in row)])
        out = cli.run("", "design", "--predictors", pred, "--correlations", corr, "--ntot", "20",
                      "--nhire", "4", "--prop", "0.3", "--format", "json", "--threads", "1",
                      *options)
    assert out.returncode == 0, out.stderr
    doc = json.loads(out.stdout)
    return [np.array([p["weights"][n] for n in names]) for p in doc["front"]], doc


def ray_optimum(R, r, e, c, nonnegative):
    """The greatest validity on the ray of esize / validity = c."""
    k = len(r)
    A = np.vstack([r, e])
    b = np.array([1.0, c])
    if nonnegative:
        sol = solvers.qp(matrix(2 * R), matrix(np.zeros(k)), matrix(-np.eye(k)),
                         matrix(np.zeros(k)), matrix(A), matrix(b))
        x = np.array(sol["x"]).ravel()
        support = x > 1e-6 * x.max()
    else:
        support = np.ones(k, bool)
    if support.sum() == 1:  # one predictor: its own ray
        return support.astype(float)
    # The equality-constrained optimum on the active set, exactly.
    Rs, As = R[np.ix_(support, support)], A[:, support]
    Y = np.linalg.solve(Rs, As.T)
    ws = Y @ np.linalg.solve(As @ Y, b)
    w = np.zeros(k)
    w[support] = ws
    return w


@pytest.mark.parametrize("k", [2, 3, 4, 5, 6])
@pytest.mark.parametrize("weights", ["nonnegative", "free"])
def test_front_matches_a_quadratic_program(cli, k, weights):
    rng = np.random.default_rng(1000 * k + (weights == "free"))
    for _ in range(10):
        R, r, e = random_problem(rng, k)
        front, doc = design(cli, R, r, e, "--weights", weights, "--points", "9")
        points = doc["front"]
        W = rng.dirichlet([0.3] * k, size=100000)
        q_rand = np.sqrt(np.einsum("ij,jk,ik->i", W, R, W))
        v_rand, s_rand = W @ r / q_rand, W @ e / q_rand
        for w, p in zip(front, points):
            # Validity and esize recomputed from the weights.
            q = np.sqrt(w @ R @ w)
            assert abs(w @ r / q - p["validity"]) < 1e-12
            assert abs(w @ e / q - p["esize"]) < 1e-12
            if weights == "nonnegative":
                assert w.min() >= 0.0
            assert abs(np.abs(w).sum() - 1.0) < 1e-12
            if p["validity"] < 0.02:
                continue  # a ray needs a positive validity
            if weights == "nonnegative" and p["esize"] < 0:
                sampled = (s_rand >= p["esize"]) & (v_rand > p["validity"] + 1e-12)
                assert not sampled.any(), (R, r, e, p)
                continue
            best = ray_optimum(R, r, e, p["esize"] / p["validity"], weights == "nonnegative")
            if weights == "nonnegative":
                assert best.min() >= -1e-12
            qb = np.sqrt(best @ R @ best)
            assert abs(best @ r / qb - p["validity"]) < 1e-9, (R, r, e, p)
            assert abs(best @ e / qb - p["esize"]) < 1e-9
        # No point dominated by another: esize falls as validity rises.
        v = [p["validity"] for p in points]
        s = [p["esize"] for p in points]
        assert all(v[i] < v[i + 1] and s[i] > s[i + 1] for i in range(len(v) - 1)), (v, s, R, r, e)


def test_each_probability_is_the_single_problem_s(cli):
    R, r, e = random_problem(np.random.default_rng(7), 3)
    _, doc = design(cli, R, r, e, "--points", "4", "--compare", "unit")
    for p in doc["front"] + doc["compared"]:
        one = cli.run(f"20 4 {p['esize']!r} 0.3\n", "--method", "direct", "--format", "json",
                      "--rows", "none", "--threads", "1")
        single = json.loads(one.stdout)
        assert p["adverse_impact"] == single["adverse_impact"]
        assert p["p_undefined"] == single["p_undefined"]
        assert p["p_above_1_25"] == single["p_above_1_25"]
