// Property tests of the engine on random small problems: every pool's
// outcomes sum to 1, a higher minority mean moves hires to the minority, the
// cumulative column rises (up to the decrease the pools accept) to the total
// weight of the pools computed, equal score distributions give hypergeometric
// outcomes, and swapping the roles of the two groups turns the distribution
// of AI into that of 1/AI.
//
// The problems come from a seeded PRNG whose draws are turned into values by
// integer arithmetic only, so every run and every platform sees the same ones.
// A failure prints the problem as the program's input line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <ostream>
#include <random>
#include <vector>

#include "engine/mixing.h"
#include "engine/pool.h"
#include "engine/table.h"

namespace {

using vec = std::vector<double>;

constexpr int max_ntot = 12;

// A decrease of a pool's cumulative probability by less than this is
// accepted, so an outcome's probability can be negative by as much.
constexpr double accepted_decrease = 4e-5;

// The quadrature is asked for 1e-8 absolute / 1e-7 relative on the outer
// level and 1e-5 / 1e-4 on the inner one; the 61-point rule on these smooth
// integrands does much better (about 1e-10 at effect size 0). 1e-5 bounds the
// error of one outcome probability, and so of a mixture of them, with room.
constexpr double integration_accuracy = 1e-5;

struct problem {
  int ntot;
  int nhire;
  int esize_milli; // esize in thousandths, so the input line reproduces it exactly
  int prop_milli;  // prop in thousandths, 1 ... 999
  double esize() const { return esize_milli / 1000.0; }
  double prop() const { return prop_milli / 1000.0; }
};

std::ostream &operator<<(std::ostream &os, const problem &p) {
  return os << "problem \"" << p.ntot << ' ' << p.nhire << ' ' << std::fixed << std::setprecision(3)
            << p.esize() << ' ' << p.prop() << '"' << std::defaultfloat;
}

// One problem for every (ntot, nhire) with 2 <= ntot <= 12 and 0 <= nhire <=
// ntot (88 in all), with esize drawn from [-3, 3] and prop from [0.001, 0.999].
std::vector<problem> random_problems(std::uint64_t seed) {
  std::mt19937_64 gen(seed); // its sequence is fixed by the standard
  const auto draw = [&](int lo, int hi) { return lo + static_cast<int>(gen() % (hi - lo + 1)); };
  std::vector<problem> ps;
  for (int ntot = 2; ntot <= max_ntot; ++ntot)
    for (int nhire = 0; nhire <= ntot; ++nhire) {
      const int e = draw(-3000, 3000);
      ps.push_back({ntot, nhire, e, draw(1, 999)});
    }
  return ps;
}

double normal_cdf(double x) {
  return 0.5 * std::erfc(-x / std::sqrt(2.0));
}

// Integration covers minority scores in [-6.5, 6.5] and majority scores above
// -6.5 only, so a pool's cumulative probability can fall short by the chance
// that a minority score lies above 6.5 or a majority score below -6.5: this
// bounds the shortfall for every pool of the problem, and so the error it
// brings to an outcome probability (a difference of two such values) and to
// a mixture of them. Below 1e-6 for esize up to about 1.2 (12 applicants), it
// reaches 3e-3 at esize 3. (An estimate accepted after the range was narrowed
// loses somewhat more; narrowing follows only a rejection, which needs a loss
// of this order in the first place.)
double range_loss(int ntot, double esize) {
  return ntot * (normal_cdf(esize - score_limit) + normal_cdf(-score_limit));
}

// An integral is given up only after estimates that fall 4e-5 below their
// predecessor or exceed 1 by 5e-5: the lost range must account for it.
void expect_give_up_explained(const problem &p, int nmin, int t) {
  EXPECT_GE(range_loss(p.ntot, p.esize()) + integration_accuracy, accepted_decrease / 2)
      << p << ": pool nmin=" << nmin << " gave up at outcome " << t
      << " although the integration range loses almost nothing";
}

double choose(int n, int k) {
  double c = 1.0;
  for (int i = 1; i <= k; ++i)
    c = c * (n - k + i) / i; // exact: every partial product is a whole number
  return c;
}

struct mixture {
  vec vai;
  vec pvai;
  mix_status status;
  std::vector<pool_result> pools; // as emitted, in ascending nmin
};

mixture mix(int ntot, int nhire, double esize, double prop) {
  mixture m{candidate_table(ntot, nhire), {}, {}, {}};
  m.pvai.assign(m.vai.size(), 0.0);
  m.status = mix_pools(ntot, nhire, esize, prop, m.vai, m.pvai,
                       [&](int, double, const pool_result &r) { m.pools.push_back(r); });
  return m;
}

struct pool_job {
  int nmin;
  double weight;
};

// The pools the mixing computes: weight not below the cut-off, ascending nmin.
std::vector<pool_job> computed_pools(int ntot, double prop) {
  std::vector<pool_job> jobs;
  for (int nmin = 0; nmin <= ntot; ++nmin) {
    const double w = pool_weight(ntot, nmin, prop);
    if (w >= weight_cutoff) jobs.push_back({nmin, w});
  }
  return jobs;
}

TEST(PropertyPool, OutcomeProbabilitiesSumToOne) {
  int pools = 0;
  for (const problem &p : random_problems(1)) {
    pool_work w(p.esize());
    for (int nmin = 0; nmin <= p.ntot; ++nmin) {
      const pool_result r = pool_outcomes(p.ntot, p.nhire, nmin, w);
      if (r.gave_up) {
        expect_give_up_explained(p, nmin, r.failed_t);
        continue;
      }
      ++pools;
      const int nmaj = p.ntot - nmin;
      const int nout =
          nmin == 0 || nmaj == 0 ? 1 : std::min(p.nhire, nmaj) - std::max(0, p.nhire - nmin) + 1;
      ASSERT_EQ(r.pvs.size(), static_cast<std::size_t>(nout)) << p << " nmin=" << nmin;
      ASSERT_EQ(r.ai.size(), r.pvs.size()) << p << " nmin=" << nmin;
      double sum = 0.0;
      for (std::size_t t = 0; t < r.pvs.size(); ++t) {
        EXPECT_GT(r.pvs[t], -accepted_decrease) << p << " nmin=" << nmin << " outcome " << t + 1;
        sum += r.pvs[t];
      }
      EXPECT_NEAR(sum, 1.0, 1e-6) << p << " nmin=" << nmin;
    }
  }
  EXPECT_GT(pools, 750); // of 814: only pools of large positive esize give up
}

// Raising the minority mean can only move hires from the majority to the
// minority: against the equal-score (hypergeometric) case, P(at most j
// majority hires) is higher for esize > 0 and lower for esize < 0. This pins
// the direction of esize, which the group swap below cannot see (flipping
// its sign everywhere maps the swapped pair of problems onto itself).
TEST(PropertyPool, HigherMinorityScoresMeanFewerMajorityHires) {
  for (const problem &p : random_problems(5)) {
    if (p.esize_milli == 0) continue;
    pool_work w(p.esize());
    const double tol = integration_accuracy + range_loss(p.ntot, p.esize());
    for (int nmin = 1; nmin < p.ntot; ++nmin) {
      const pool_result r = pool_outcomes(p.ntot, p.nhire, nmin, w);
      if (r.gave_up) {
        expect_give_up_explained(p, nmin, r.failed_t);
        continue;
      }
      const int nmaj = p.ntot - nmin;
      const int jlo = std::max(0, p.nhire - nmin);
      double cum = 0.0;
      double hyp = 0.0;
      for (std::size_t t = 0; t < r.pvs.size(); ++t) {
        const int j = jlo + static_cast<int>(t);
        cum += r.pvs[t];
        hyp += choose(nmaj, j) * choose(nmin, p.nhire - j) / choose(p.ntot, p.nhire);
        if (p.esize_milli > 0)
          EXPECT_GE(cum, hyp - tol) << p << " nmin=" << nmin << ": P(at most " << j
                                    << " majority hires) below the equal-score value";
        else
          EXPECT_LE(cum, hyp + tol) << p << " nmin=" << nmin << ": P(at most " << j
                                    << " majority hires) above the equal-score value";
      }
    }
  }
}

// The running sum of pvai in table order. An outcome probability may be
// negative by less than accepted_decrease, and a pool has at most one outcome
// per row (its ratios rise strictly with the majority hires), so row i may
// take the column down by less than accepted_decrease times the total weight
// of the pools with an outcome on row i. It ends at the total weight of the
// pools merged: every outcome lands on a row and each pool's outcomes sum to 1.
TEST(PropertyMix, CumulativeColumnRisesToTheWeightOfThePoolsComputed) {
  int complete = 0;
  for (const problem &p : random_problems(2)) {
    const mixture m = mix(p.ntot, p.nhire, p.esize(), p.prop());
    const std::vector<pool_job> jobs = computed_pools(p.ntot, p.prop());
    ASSERT_LE(m.pools.size(), jobs.size()) << p;

    // Pools emitted before a pool that gave up are merged; that one is not.
    std::size_t merged = m.pools.size();
    if (m.status.gave_up) {
      ASSERT_FALSE(m.pools.empty()) << p;
      EXPECT_TRUE(m.pools.back().gave_up) << p;
      --merged;
      EXPECT_EQ(m.status.nmin, jobs[merged].nmin) << p;
      expect_give_up_explained(p, m.status.nmin, m.status.t);
    } else {
      ASSERT_EQ(m.pools.size(), jobs.size()) << p;
      ++complete;
    }

    vec allowance(m.vai.size(), 0.0);
    double total = 0.0;
    for (std::size_t k = 0; k < merged; ++k) {
      const pool_result &r = m.pools[k];
      ASSERT_FALSE(r.gave_up) << p;
      for (double ai : r.ai) {
        const std::size_t i = match_entry(m.vai, ai);
        ASSERT_LT(i, m.vai.size())
            << p << " nmin=" << jobs[k].nmin << ": AI " << ai << " is in no row";
        allowance[i] += accepted_decrease * jobs[k].weight;
      }
      total += jobs[k].weight;
    }

    double cpvai = 0.0;
    for (std::size_t i = 0; i < m.vai.size(); ++i) {
      const double before = cpvai;
      cpvai += m.pvai[i];
      EXPECT_GT(cpvai, before - allowance[i] - 1e-15)
          << p << ": row " << i + 1 << " (AI " << m.vai[i] << ") takes the column down by "
          << before - cpvai << ", more than the " << allowance[i] << " its pools allow";
    }
    EXPECT_NEAR(cpvai, total, 1e-6) << p << (m.status.gave_up ? " (gave up)" : "");

    // The weight below the cut-off makes up the rest of the binomial's 1.
    double computed = 0.0;
    for (const pool_job &job : jobs)
      computed += job.weight;
    EXPECT_NEAR(computed + m.status.skipped_weight, 1.0, 1e-12) << p;
  }
  EXPECT_GT(complete, 75); // of 88
}

// With equal score distributions the hires are a random draw from the pool:
// P(j majority hires) = C(nmaj, j) C(nmin, nhire - j) / C(ntot, nhire). Every
// pool of every problem up to 12 applicants. Outcome probabilities come
// within 1e-7 or so; a cumulative value within 1e-6 of 1 is stored as 1,
// which can move up to 1e-6 between two outcomes.
TEST(PropertyNullEffect, EveryPoolIsHypergeometric) {
  pool_work w(0.0);
  for (const problem &pr : random_problems(3)) {
    const problem p{pr.ntot, pr.nhire, 0, pr.prop_milli};
    for (int nmin = 1; nmin < p.ntot; ++nmin) {
      const pool_result r = pool_outcomes(p.ntot, p.nhire, nmin, w);
      ASSERT_FALSE(r.gave_up) << p << " nmin=" << nmin;
      const int nmaj = p.ntot - nmin;
      const int jlo = std::max(0, p.nhire - nmin);
      ASSERT_EQ(r.pvs.size(), static_cast<std::size_t>(std::min(p.nhire, nmaj) - jlo + 1))
          << p << " nmin=" << nmin;
      for (std::size_t t = 0; t < r.pvs.size(); ++t) {
        const int j = jlo + static_cast<int>(t);
        const double h = choose(nmaj, j) * choose(nmin, p.nhire - j) / choose(p.ntot, p.nhire);
        EXPECT_NEAR(r.pvs[t], h, 2e-6) << p << " nmin=" << nmin << " j=" << j;
      }
    }
  }
}

// Probability on the row whose value is exactly v, or 0 without such a row.
double mass_at(const mixture &m, double v) {
  const auto it = std::find(m.vai.begin(), m.vai.end(), v);
  return it == m.vai.end() ? 0.0 : m.pvai[static_cast<std::size_t>(it - m.vai.begin())];
}

// Swapping the groups (esize -> -esize, prop -> 1 - prop) and shifting every
// score by esize gives the same applicants with the same scores, the same
// pool weights (nmin <-> ntot - nmin) and the same hires, only with the
// group labels exchanged. With x minority and y majority hires of a pool
// holding both groups, AI = (y/nmaj)/(x/nmin) becomes (x/nmin)/(y/nmaj):
// - x > 0, y > 0: a defined v > 0 becomes 1/v;
// - x > 0, y = 0: AI 0 becomes undefined, and x = 0, y > 0 the reverse;
// - x = y = 0 (no hire at all), or a pool lacking one group: undefined both ways.
// So P(AI = v) = P'(AI = 1/v) for v > 0, and P(undefined) - P'(0) =
// P'(undefined) - P(0) = the weight of the pools whose every outcome is
// undefined both ways: the pools lacking one group, or every pool when
// nhire = 0.
TEST(PropertySwap, SwappingTheGroupsTurnsAIIntoItsReciprocal) {
  int compared = 0;
  for (const problem &p : random_problems(4)) {
    const problem q{p.ntot, p.nhire, -p.esize_milli, 1000 - p.prop_milli};
    const mixture a = mix(p.ntot, p.nhire, p.esize(), p.prop());
    const mixture b = mix(q.ntot, q.nhire, q.esize(), q.prop());
    if (a.status.gave_up || b.status.gave_up) {
      if (a.status.gave_up) expect_give_up_explained(p, a.status.nmin, a.status.t);
      if (b.status.gave_up) expect_give_up_explained(q, b.status.nmin, b.status.t);
      continue;
    }
    ++compared;
    const double tol =
        integration_accuracy + range_loss(p.ntot, p.esize()) + range_loss(q.ntot, q.esize());

    double both_undefined = 0.0;
    for (const pool_job &job : computed_pools(p.ntot, p.prop()))
      if (p.nhire == 0 || job.nmin == 0 || job.nmin == p.ntot) both_undefined += job.weight;
    EXPECT_NEAR(mass_at(a, UNDEF_AI) - mass_at(b, 0.0), both_undefined, tol) << p;
    EXPECT_NEAR(mass_at(b, UNDEF_AI) - mass_at(a, 0.0), both_undefined, tol) << p;

    // Rows a last bit apart are one ratio reached two ways: pool the rows of
    // both problems by value (1/v for the swapped one), group those within a
    // relative 1e-12, and compare each group's probability.
    struct entry {
      double value;
      double prob;
      bool swapped;
    };
    std::vector<entry> es;
    for (std::size_t i = 0; i < a.vai.size(); ++i)
      if (a.vai[i] != 0.0 && a.vai[i] != UNDEF_AI) es.push_back({a.vai[i], a.pvai[i], false});
    for (std::size_t i = 0; i < b.vai.size(); ++i)
      if (b.vai[i] != 0.0 && b.vai[i] != UNDEF_AI) es.push_back({1.0 / b.vai[i], b.pvai[i], true});
    std::sort(es.begin(), es.end(),
              [](const entry &x, const entry &y) { return x.value < y.value; });
    for (std::size_t i = 0; i < es.size();) {
      const double v = es[i].value;
      double pa = 0.0;
      double pb = 0.0;
      int rows_a = 0;
      int rows_b = 0;
      for (; i < es.size() && es[i].value - v <= 1e-12 * v; ++i) {
        (es[i].swapped ? pb : pa) += es[i].prob;
        ++(es[i].swapped ? rows_b : rows_a);
      }
      // The tables themselves correspond: (k/m)/(h/(ntot-m)) comes back as
      // (h/(ntot-m))/(k/m) with the groups swapped.
      EXPECT_TRUE(rows_a > 0 && rows_b > 0)
          << p << ": AI " << v << " has " << rows_a << " rows, and " << rows_b
          << " with the groups swapped";
      EXPECT_NEAR(pa, pb, tol) << p << ": P(AI = " << v << ") against P(AI = " << 1.0 / v
                               << ") with the groups swapped";
    }
  }
  EXPECT_GT(compared, 70); // of 88
}

} // namespace
