// Candidate table, one pool's outcomes (with a stub integrand for the
// acceptance and narrowing rules), and the mixing summary.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/mixing.h"
#include "engine/ordered.h"
#include "engine/pool.h"
#include "engine/summary.h"
#include "engine/table.h"

namespace {

using vec = std::vector<double>;

TEST(CandidateTable, SmallWorkedCases) {
  EXPECT_EQ(candidate_table(2, 1), (vec{0.0, UNDEF_AI}));
  EXPECT_EQ(candidate_table(4, 2), (vec{0.0, (1.0 / 3.0) / (1.0 / 1.0), 1.0, 3.0, UNDEF_AI}));
  EXPECT_EQ(candidate_table(10, 10), (vec{1.0, UNDEF_AI}));
  EXPECT_EQ(candidate_table(10, 0), (vec{0.0, UNDEF_AI}));
  const vec t = candidate_table(8, 4);
  EXPECT_EQ(std::count(t.begin(), t.end(), 1.0), 1);
  EXPECT_TRUE(std::is_sorted(t.begin(), t.end()));
  EXPECT_EQ(std::adjacent_find(t.begin(), t.end()), t.end());
}

TEST(CandidateTable, CountsAndEmptyProblems) {
  EXPECT_EQ(candidate_count(4, 2), 7); // splits 1, 2, 3 give 2 + 3 + 2 pairs
  for (auto [n, h] : {std::pair{1, 0}, {0, 0}, {1, 1}, {5, 6}, {5, -1}})
    EXPECT_EQ(candidate_count(n, h), 0) << n << " " << h;
  // 64-bit: near the 32-bit limits the count is far beyond 2^31.
  EXPECT_EQ(candidate_count(100000, 50000), std::int64_t{2500099999});
}

// Outer integrand stubs: read the outcome from the parameters, return a
// constant, and count evaluations (61 per attempt for a constant).
int evaluations = 0;
double constant_over_range(double, void *params) {
  ++evaluations;
  const parblk &pb = static_cast<model_ctx *>(params)->pb;
  return pb.rmaj == pb.nmaj ? 0.5 / 13.0 : 0.001; // outcome 1 gives 0.5, then a drop
}
double always_above_one(double, void *) {
  return ++evaluations, 1.0;
}
double slightly_above_one(double, void *) {
  return ++evaluations, (1.0 + 2e-5) / 13.0;
}
double zero(double, void *) {
  return 0.0;
}

TEST(PoolOutcomes, GivesUpAfterDecreasingEstimates) {
  pool_work w(0.0);
  evaluations = 0;
  const pool_result r = pool_outcomes(10, 3, 5, w, &constant_over_range);
  EXPECT_TRUE(r.gave_up);
  EXPECT_EQ(r.failed_t, 2);
  EXPECT_EQ(r.failed_j, 1);
  EXPECT_EQ(evaluations, 61 * (1 + 36)); // outcome 1 once, outcome 2 36 times
  EXPECT_TRUE(r.ai.empty());
}

TEST(PoolOutcomes, GivesUpAfterEstimatesAboveOne) {
  pool_work w(0.0);
  evaluations = 0;
  const pool_result r = pool_outcomes(10, 3, 5, w, &always_above_one);
  EXPECT_TRUE(r.gave_up);
  EXPECT_EQ(r.failed_t, 1);
  EXPECT_EQ(evaluations, 61 * 26); // the last attempt over [-4, 4] still gives 8
}

TEST(PoolOutcomes, SlightlyAboveOneIsOneAndSkipsTheRest) {
  pool_work w(0.0);
  evaluations = 0;
  const pool_result r = pool_outcomes(10, 3, 5, w, &slightly_above_one);
  ASSERT_FALSE(r.gave_up);
  EXPECT_EQ(evaluations, 61);
  ASSERT_EQ(r.events.size(), 1U);
  const pool_event &e = r.events[0];
  EXPECT_EQ(e.what, pool_event::kind::accepted_as_one);
  EXPECT_EQ((std::vector<int>{e.t, e.smin, e.rmaj}), (std::vector<int>{1, 3, 5}));
  EXPECT_EQ(e.stored, 1.0);
  EXPECT_NEAR(e.raw, 1.00002, 1e-12);
  EXPECT_EQ(r.pvs, (vec{1.0, 0.0, 0.0, 0.0}));
}

TEST(PoolOutcomes, DegenerateAndWorkedPools) {
  pool_work w(0.0);
  for (int nmin : {0, 4}) {
    const pool_result r = pool_outcomes(4, 2, nmin, w, &zero);
    EXPECT_EQ(r.ai, (vec{UNDEF_AI}));
    EXPECT_EQ(r.pvs, (vec{1.0}));
  }
  EXPECT_EQ(pool_outcomes(4, 2, 2, w, &zero).ai, (vec{0.0, 1.0, UNDEF_AI}));
  EXPECT_EQ(pool_outcomes(4, 2, 1, w, &zero).ai, (vec{(1.0 / 3.0) / (1.0 / 1.0), UNDEF_AI}));
  EXPECT_EQ(pool_outcomes(10, 10, 3, w, &zero).ai, (vec{1.0}));
  EXPECT_EQ(pool_outcomes(10, 0, 3, w, &zero).ai, (vec{UNDEF_AI}));
}

// Every defined ratio an outcome can produce is a table entry, bit for bit.
TEST(PoolOutcomes, EveryRatioIsInTheTable) {
  pool_work w(0.0);
  for (int ntot = 2; ntot <= 30; ++ntot)
    for (int nhire = 0; nhire <= ntot; ++nhire) {
      const vec t = candidate_table(ntot, nhire);
      for (int nmin = 0; nmin <= ntot; ++nmin)
        for (double ai : pool_outcomes(ntot, nhire, nmin, w, &zero).ai)
          ASSERT_TRUE(std::binary_search(t.begin(), t.end(), ai)) << ntot << " " << nhire;
    }
}

double choose(int n, int k) {
  return std::round(
      std::exp(std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0)));
}

// With equal score distributions the hires are a random draw from the pool.
TEST(PoolOutcomes, HypergeometricAtZeroEffect) {
  pool_work w(0.0);
  const struct {
    int ntot, nhire, nmin;
  } pools[] = {{5, 2, 2}, {2, 1, 1}, {8, 4, 3}, {12, 5, 7}, {12, 9, 4}, {20, 6, 10}};
  for (const auto &p : pools) {
    const pool_result r = pool_outcomes(p.ntot, p.nhire, p.nmin, w);
    ASSERT_FALSE(r.gave_up);
    const int nmaj = p.ntot - p.nmin;
    const int jlo = std::max(0, p.nhire - p.nmin);
    for (std::size_t t = 0; t < r.pvs.size(); ++t) {
      const int j = jlo + static_cast<int>(t);
      const double h = choose(nmaj, j) * choose(p.nmin, p.nhire - j) / choose(p.ntot, p.nhire);
      EXPECT_NEAR(r.pvs[t], h, 2e-6) << p.ntot << " " << p.nhire << " " << p.nmin << " j=" << j;
    }
  }
}

TEST(Mixing, TwoApplicantsOneHire) {
  const vec vai = candidate_table(2, 1);
  vec pvai(vai.size(), 0.0);
  int pools = 0;
  const mix_status s =
      mix_pools(2, 1, 0.0, 0.5, vai, pvai, [&](int, double, const pool_result &) { ++pools; });
  EXPECT_FALSE(s.gave_up);
  EXPECT_EQ(pools, 3);
  EXPECT_NEAR(pvai[0], 0.25, 1e-9);
  EXPECT_NEAR(pvai[1], 0.75, 1e-9);
  const moments m = ai_moments(vai, pvai, ai_method::nested);
  EXPECT_EQ(m.mean, 0.0);
  EXPECT_EQ(m.var, 0.0);
}

TEST(Mixing, MomentsAreNaNWithoutDefinedProbability) {
  const moments m = ai_moments({0.0, 1.0, UNDEF_AI}, {0.0, 0.0, 1.0}, ai_method::nested);
  EXPECT_TRUE(std::isnan(m.mean) && std::isnan(m.var) && std::isnan(m.sd));
}

TEST(Mixing, PoolWeightsAreBinomial) {
  double sum = 0.0;
  for (int k = 0; k <= 40; ++k)
    sum += pool_weight(40, k, 0.3);
  EXPECT_NEAR(sum, 1.0, 1e-13);
  EXPECT_NEAR(pool_weight(10, 3, 0.5), 120.0 / 1024.0, 1e-15);
}

// The plain scan the table search must agree with: the first entry within 1e-13.
std::size_t first_within_reach(const vec &vai, double ai) {
  for (std::size_t i = 0; i < vai.size(); ++i)
    if (std::fabs(ai - vai[i]) < 1e-13) return i;
  return vai.size();
}

TEST(Mixing, TableSearchAgreesWithScan) {
  std::uint64_t state = 7;
  const auto next = [&] {
    return (state = state * 6364136223846793005u + 1442695040888963407u) >> 11;
  };
  const auto uniform = [&] { return static_cast<double>(next()) * 0x1p-53; };
  for (int round = 0; round < 300; ++round) {
    vec vai;
    const double scale = round % 3 == 0   ? 1e-12
                         : round % 3 == 1 ? 1.0
                                          : 2e6; // some beyond UNDEF_AI
    for (int k = 0; k < 1 + round % 40; ++k) {
      const double v = uniform() * scale;
      vai.push_back(v);
      if (k % 4 == 0) vai.push_back(std::nextafter(v, 1e300)); // a last bit apart
      if (k % 5 == 0) vai.push_back(v + 0.6e-13);
    }
    std::sort(vai.begin(), vai.end());
    vai.erase(std::unique(vai.begin(), vai.end()), vai.end());
    vai.push_back(UNDEF_AI);
    for (double v : vai)
      for (double ai : {v, std::nextafter(v, 0.0), std::nextafter(v, 1e300), v - 1e-13, v + 1e-13,
                        v + 0.5e-13, v - 0.99e-13, uniform() * scale, -1.0})
        ASSERT_EQ(match_entry(vai, ai), first_within_reach(vai, ai)) << ai;
  }
}

TEST(Mixing, MatchFindsFirstEntryWithin1e13) {
  const vec vai{0.0, 0.5, 0.5 + 5e-14, 1.0, UNDEF_AI};
  EXPECT_EQ(match_entry(vai, 0.5 + 4e-14), 1u); // the first within reach wins
  EXPECT_EQ(match_entry(vai, 0.5 + 1.2e-13), 2u);
  EXPECT_EQ(match_entry(vai, 0.75), vai.size());
  EXPECT_EQ(match_entry(vai, UNDEF_AI), 4u);
}

} // namespace

namespace {

// Results reach the consumer in index order whatever the thread count and
// however long each item takes; after a stop nothing more is consumed.
TEST(OrderedParallel, ConsumesInOrderAndStops) {
  for (int threads : {1, 2, 5}) {
    std::vector<int> seen;
    std::atomic<int> started{0};
    ordered_parallel<int>(
        40, threads,
        [&](int, int i) {
          ++started;
          std::this_thread::sleep_for(std::chrono::microseconds((i * 7919) % 13 * 100));
          return i * i;
        },
        [&](int i, int &r) {
          EXPECT_EQ(r, i * i);
          seen.push_back(i);
          return i < 24;
        });
    ASSERT_EQ(seen.size(), 25u) << threads;
    for (int i = 0; i < 25; ++i)
      EXPECT_EQ(seen[static_cast<std::size_t>(i)], i);
    EXPECT_LE(started.load(), 40) << threads; // workers may run ahead of the consumer
  }
}

} // namespace
