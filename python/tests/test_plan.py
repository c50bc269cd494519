"""torvan.plan against the command line, a simulation of top-down selection,
the hypergeometric closed form at esize 0, and its own found sizes."""

import json
import math
import os
import re
import time

import numpy as np
import pytest
from scipy.stats import hypergeom, norm

import torvan
from conftest import ctrl_c_after, without_run_facts

RULES = list(torvan.flagging_rules)


def cli_plan(cli, *args):
    r = cli.run("", "plan", *args, "--format", "json", "--threads", "1")
    return json.loads(r.stdout), r.returncode


@pytest.mark.parametrize("kwargs, args", [
    (dict(prop=0.3, selection_ratio=0.2, ntot=range(10, 301, 29)),
     ["--prop", "0.3", "--selection-ratio", "0.2", "--ntot", "10:300:29"]),
    (dict(minority_share=0.4, nhire=12, ntot=range(8, 60, 7), rule=["z_ir", "fisher_exact"],
          alpha=0.1, target=0.3),
     ["--minority-share", "0.4", "--nhire", "12", "--ntot", "8:57:7", "--rule", "fisher_exact",
      "--rule", "z_ir", "--alpha", "0.1", "--target", "0.3"]),
], ids=["binomial", "known"])
def test_plan_is_the_command_lines_plan(cli, kwargs, args):
    p = torvan.plan(-0.4, **kwargs, threads=2)
    doc, status = cli_plan(cli, "--esize", "-0.4", *args)
    assert without_run_facts(p.to_dict()) == without_run_facts(doc)
    assert status == (0 if all(r["completed"] for r in doc["rows"]) else 1)
    rows, found = p
    assert list(rows.index) == [r["ntot"] for r in doc["rows"]]
    for row, want in zip(rows.itertuples(), doc["rows"]):
        assert row.completed == want["completed"]
        for name in p.options["rules"] + ["p_above_1_25", "p_undefined"]:
            got = getattr(row, name)
            assert (math.isnan(got) and name not in want) or got == want[name], name
        assert row.error == want.get("error")
    for rule, sizes in doc["found"].items():
        for which in ("first", "stays"):
            got = found.loc[rule, which]
            assert (sizes[which] is None and got is pd_na()) or got == sizes[which]


def pd_na():
    import pandas as pd
    return pd.NA


def verdicts(n1, x, ntot, h, alpha):
    """Each rule's verdict on x minority hires from n1 of ntot, by its textbook definition."""
    n0, y = ntot - n1, h - x
    if n1 == 0 or n0 == 0 or h == 0 or h == ntot:
        return dict.fromkeys(RULES, False)
    r1, r0, p = x / n1, y / n0, h / ntot
    z = norm.isf(alpha / 2)
    four_fifths = 5 * x * n0 < 4 * y * n1
    z_test = (r0 - r1) / math.sqrt(p * (1 - p) * (1 / n1 + 1 / n0)) >= z
    sd = math.sqrt((1 - p) / (p * n1) + (1 - p) / (p * n0))
    return {
        "four_fifths": four_fifths,
        "four_fifths_one_person": four_fifths and 5 * (x + 1) * n0 < 4 * y * n1,
        "z_test": z_test,
        "fisher_exact": hypergeom.cdf(x, ntot, n1, h) <= alpha / 2,
        "z_ir": x == 0 or (y > 0 and math.log(r1 / r0) / sd <= -z),
        "four_fifths_and_z": four_fifths and z_test,
    }


def simulate(ntot, nhire, esize, prop, reps, seed):
    """Minority applicants and minority hires of `reps` top-down selections."""
    rng = np.random.default_rng(seed)
    n1, x = [], []
    for _ in range(reps // 50_000):
        minority = rng.random((50_000, ntot)) < prop
        scores = rng.standard_normal((50_000, ntot)) + esize * minority
        top = np.argpartition(-scores, nhire - 1, axis=1)[:, :nhire]
        n1.append(minority.sum(axis=1))
        x.append(np.take_along_axis(minority, top, axis=1).sum(axis=1))
    return np.concatenate(n1), np.concatenate(x)


# Binomial pools, normal scores: the rules' frequencies in 200 000 simulated
# selections, each within 4 standard errors of the plan's exact probability.
@pytest.mark.parametrize("ntot, nhire, esize, prop, seed", [
    (20, 5, -0.5, 0.3, 1), (50, 10, -1.0, 0.4, 2), (30, 9, 0.4, 0.2, 3)])
def test_a_simulation_of_top_down_selection_agrees(ntot, nhire, esize, prop, seed):
    reps, alpha = 200_000, 0.05
    rows = torvan.plan(esize, prop=prop, nhire=nhire, ntot=range(ntot, ntot + 1), alpha=alpha).rows
    n1, x = simulate(ntot, nhire, esize, prop, reps, seed)
    outcomes, counts = np.unique(np.stack([n1, x]), axis=1, return_counts=True)
    flagged = dict.fromkeys(RULES + ["p_above_1_25", "p_undefined"], 0)
    for (a, b), count in zip(outcomes.T, counts):
        for rule, flag in verdicts(a, b, ntot, nhire, alpha).items():
            flagged[rule] += count * flag
        undefined = b == 0 or a == 0 or a == ntot
        flagged["p_undefined"] += count * undefined
        if not undefined:
            flagged["p_above_1_25"] += count * (((nhire - b) / (ntot - a)) / (b / a) - 1.25 > 1e-9)
    for name, hits in flagged.items():
        p = rows.loc[ntot, name]
        se = math.sqrt(p * (1 - p) / reps)
        assert abs(hits / reps - p) <= 4 * se + 1e-12, (name, hits / reps, p)


# At esize 0 a known pool's minority hires are hypergeometric: each rule's
# false-positive rate is the sum of the probabilities of the outcomes it flags.
def test_false_positive_rates_are_hypergeometric():
    alpha = 0.1
    p = torvan.plan(0, minority_share=0.35, selection_ratio=0.3, ntot=range(5, 200, 13),
                    alpha=alpha)
    assert p.false_positive
    for ntot, row in p.rows.iterrows():
        n1, h = row["minority"], row["nhire"]
        xs = range(max(0, h - (ntot - n1)), min(h, n1) + 1)
        truth = dict.fromkeys(RULES, 0.0)
        for x in xs:
            for rule, flag in verdicts(n1, x, ntot, h, alpha).items():
                truth[rule] += hypergeom.pmf(x, ntot, n1, h) * flag
        for rule in RULES:
            assert row[rule] == pytest.approx(truth[rule], rel=1e-11, abs=1e-12), (ntot, rule)


def test_found_sizes_agree_with_the_rows():
    rows, found = torvan.plan(-0.6, prop=0.3, selection_ratio=0.25, ntot=range(10, 301, 5),
                              target=0.5)
    for rule in RULES:
        reached = rows[rule] >= 0.5
        first = reached[reached].index.min() if reached.any() else None
        assert (found.loc[rule, "first"] is pd_na() and first is None) or \
            found.loc[rule, "first"] == first
        below = reached[~reached].index
        if below.empty:
            assert found.loc[rule, "stays"] == rows.index[0]
        elif below[-1] == rows.index[-1]:
            assert found.loc[rule, "stays"] is pd_na()
        else:
            assert found.loc[rule, "stays"] == rows.index[rows.index > below[-1]][0]
    assert found["first"].notna().any()


@pytest.mark.parametrize("kwargs, message", [
    (dict(prop=0.3, selection_ratio=0.2, ntot=range(10, 20), target=1.0),
     "target = 1 must lie strictly between 0 and 1"),
    (dict(prop=0.3, selection_ratio=1.5, ntot=range(10, 20)),
     "selection_ratio = 1.5 must lie above 0 and at most 1"),
    (dict(minority_share=-0.5, nhire=3, ntot=range(10, 20)),
     "minority_share = -0.5 must lie between 0 and 1"),
    (dict(prop=0.3, nhire=3, ntot=range(1, 20)),
     "ntot = 1:19 starts below 2, the fewest applicants a problem can have"),
    (dict(prop=0.3, nhire=3, ntot=range(10, 20), rule="chi_square"),
     "rule 'chi_square' is not one of four_fifths, four_fifths_one_person, z_test, "
     "fisher_exact, z_ir, four_fifths_and_z"),
    (dict(prop=0.3, nhire=3, minority_share=0.2, ntot=range(10, 20)),
     "prop and minority_share exclude each other: give one"),
    (dict(prop=0.3, ntot=range(10, 20)), "selection_ratio or nhire is required"),
    (dict(prop=0.3, nhire=3, ntot=range(10, 5)), "ntot = range(10, 5) holds no pool size"),
    (dict(prop=0.3, nhire=3, ntot=(10, 20, 40)),
     "ntot must run upwards in equal steps (from, from + step, ... to), not (10, 20, 40)"),
    (dict(prop=0.3, nhire=3.5, ntot=range(10, 20)), "nhire = 3.5 must be a whole number"),
    (dict(prop=0.3, nhire=3, ntot=range(10, 20), method="exact"),
     "method must be one of nested, direct, not 'exact'"),
])
def test_bad_plans_are_refused_with_the_command_lines_words(kwargs, message):
    with pytest.raises(ValueError) as e:
        torvan.plan(-0.3, **kwargs)
    assert str(e.value) == message


def test_the_command_line_refuses_the_same(cli):
    r = cli.run("", "plan", "--esize", "-0.3", "--prop", "0.3", "--selection-ratio", "0.2",
                "--ntot", "10:19", "--target", "1")
    assert r.returncode == 2
    # The same words, the option named as the command line spells it.
    assert r.stderr == ("torvan plan: --target = 1 must lie strictly between 0 and 1 "
                        "(see torvan plan --help)\n")


def threads_of_process():
    return len(os.listdir("/proc/self/task"))


def test_ctrl_c_stops_a_plan_within_a_second():
    before = threads_of_process()
    with pytest.raises(KeyboardInterrupt):
        with ctrl_c_after(0.5) as sent:
            torvan.plan(-0.5, prop=0.3, selection_ratio=0.25, ntot=range(150, 250),
                        method="nested", threads=2)
    assert time.monotonic() - sent[0] < 1.0
    end = time.monotonic() + 1.0
    while threads_of_process() > before and time.monotonic() < end:
        time.sleep(0.01)
    assert threads_of_process() <= before, "a thread is still computing"


def test_a_progress_bar_of_sizes_only_when_asked(capsys):
    torvan.plan(-0.5, prop=0.3, selection_ratio=0.25, ntot=range(10, 60), progress=True)
    states = re.findall(r"(\d+)/(\d+) \[[^]]*sizes/s\]", capsys.readouterr().err)
    assert states and states[-1] == ("50", "50")
    torvan.plan(-0.5, prop=0.3, selection_ratio=0.25, ntot=range(10, 60))
    assert capsys.readouterr() == ("", "")
