#!/usr/bin/python3
"""Reference values for the audits of several groups, from implementations
nobody here wrote: R's fisher.test (its exact r x c test on the k x 2 table,
and pairwise on 2 x 2 tables), chisq.test(correct = FALSE) and
p.adjust(method = "holm"), and SciPy's chi2_contingency(correction=False).

Writes reference.tsv (one row a case) and pairwise.tsv (one row a group
against the reference) beside this script. Run once:
    /usr/bin/python3 tests/data/groups/make_reference.py
"""
import os
import subprocess

from scipy.stats import chi2_contingency

HERE = os.path.dirname(os.path.abspath(__file__))

# name:applicants:hires; 3 to 6 groups, among them groups of one, groups with
# no hires and groups with every applicant hired.
CASES = [
    "White:120:48 Black:80:20 Hispanic:60:18 Asian:40:17 Other:1:0",
    "A:50:10 B:60:20 C:1:1",
    "A:30:0 B:40:12 C:25:25 D:10:3",
    "A:100:30 B:120:50 C:150:40 D:200:80 E:90:20",
    "A:12:3 B:12:3 C:12:9",
    "A:1:0 B:1:1 C:5:2 D:7:7 E:9:0 F:20:6",
    "A:200:60 B:150:30 C:80:8 D:60:18 E:40:2 F:20:9",
    "A:8:4 B:8:4 C:8:4",
    "A:500:100 B:400:60 C:300:80",
    "M:45:20 F:55:12 X:3:0 U:2:2",
]


def parse(case):
    return [(n, int(a), int(h)) for n, a, h in (g.split(":") for g in case.split())]


def reference(groups):
    """The highest rate; ties: the larger group, then the first."""
    best = 0
    for i, (_, a, h) in enumerate(groups):
        _, ba, bh = groups[best]
        if h * ba > bh * a or (h * ba == bh * a and a > ba):
            best = i
    return best


R_SCRIPT = r"""
args <- commandArgs(trailingOnly = TRUE)
n <- as.integer(strsplit(args[1], ",")[[1]])
x <- as.integer(strsplit(args[2], ",")[[1]])
ref <- as.integer(args[3]) + 1
m <- cbind(x, n - x)
f <- fisher.test(m, workspace = 2e8)$p.value
cs <- suppressWarnings(chisq.test(m, correct = FALSE))
others <- setdiff(seq_along(n), ref)
pair <- function(i, alt) fisher.test(rbind(m[i, ], m[ref, ]), alternative = alt)$p.value
two <- sapply(others, pair, alt = "two.sided")
less <- sapply(others, pair, alt = "less")
z <- sapply(others, function(i)
  suppressWarnings(prop.test(c(x[i], x[ref]), c(n[i], n[ref]), correct = FALSE)$p.value))
z[is.nan(z)] <- NA
out <- function(v) paste(sprintf("%.17g", v), collapse = ",")
cat(sprintf("%.17g", f), sprintf("%.17g", cs$statistic), sprintf("%.17g", cs$p.value),
    out(two), out(p.adjust(two, "holm")), out(less), out(p.adjust(less, "holm")),
    out(z), out(p.adjust(z, "holm")), sep = "\n")
"""


def main():
    cases, pairs = [], []
    for case in CASES:
        groups = parse(case)
        ref = reference(groups)
        n = [a for _, a, _ in groups]
        x = [h for _, _, h in groups]
        r = subprocess.run(
            ["Rscript", "-e", R_SCRIPT, ",".join(map(str, n)), ",".join(map(str, x)), str(ref)],
            check=True, capture_output=True, text=True).stdout.split("\n")
        stat, p, _, _ = chi2_contingency([[h, a - h] for a, h in zip(n, x)], correction=False)
        cases.append([case, groups[ref][0], r[0], r[1], r[2], repr(float(stat)), repr(float(p))])
        cols = [v.split(",") for v in r[3:9]]
        others = [g for i, g in enumerate(groups) if i != ref]
        for j, g in enumerate(others):
            pairs.append([case, g[0]] + [c[j] for c in cols])
    with open(os.path.join(HERE, "reference.tsv"), "w") as f:
        f.write("case\treference\tfisher_p_r\tchisq_r\tchisq_p_r\tchisq_scipy\tchisq_p_scipy\n")
        f.writelines("\t".join(row) + "\n" for row in cases)
    with open(os.path.join(HERE, "pairwise.tsv"), "w") as f:
        f.write("case\tgroup\tfisher_two\tfisher_two_holm\tfisher_less\tfisher_less_holm"
                "\tz_two\tz_two_holm\n")
        f.writelines("\t".join(row) + "\n" for row in pairs)


if __name__ == "__main__":
    main()
