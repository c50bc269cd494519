#!/usr/bin/python3
"""Writes weights.tsv: binomial probabilities C(n, k) p^k (1 - p)^(n - k) to
40 significant digits (mpmath at 60), with p the double given, for the pool
weights' tests. Points: the mode, and on each side the last k whose
probability is still above 1e-20 (or the end of the range), and a point
between. Run once; the output is kept in the repository."""
import math

from mpmath import mp, mpf, binomial, nstr, log

mp.dps = 60


def weight(n, k, p):
    pe = mpf(p)
    return binomial(n, k) * pe**k * (1 - pe) ** (n - k)


def approx_ln(n, k, p):
    return (math.lgamma(n + 1) - math.lgamma(k + 1) - math.lgamma(n - k + 1)
            + k * math.log(p) + (n - k) * math.log1p(-p))


def edge(n, p, mode, step):
    k = mode
    while 0 <= k + step <= n and approx_ln(n, k + step, p) > math.log(1e-20):
        k += step
    return k


print("ntot\tprop\tk\tweight")
for n in (10, 100, 1000, 10_000, 100_000, 1_000_000):
    for p in (0.001, 0.01, 0.1, 0.3, 0.5, 0.7, 0.9, 0.99, 0.999):
        mode = min(n, int(math.floor((n + 1) * p)))
        lo, hi = edge(n, p, mode, -1), edge(n, p, mode, +1)
        for k in sorted({lo, (lo + mode) // 2, mode, (mode + hi) // 2, hi}):
            print(f"{n}\t{p!r}\t{k}\t{nstr(weight(n, k, p), 40)}")
