#pragma once

// TORVAN as a library: the exact sampling distribution of the adverse impact
// (AI) ratio - majority selection rate over minority selection rate - when the
// nhire best of ntot applicants are hired top-down. The command-line program,
// the Python package and the R package all go through this header.

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The AI value of every outcome whose ratio is undefined (no minority hire,
// or no applicant of one group), and the last entry of every table.
inline constexpr double UNDEF_AI = 999999.9;

// The four values a researcher gives.
struct problem {
  int ntot = 0;       // applicants
  int nhire = 0;      // hires
  double esize = 0.0; // mean minority score (majority 0, unit variances)
  double prop = 0.0;  // proportion of minority applicants in the population
};

// How a pool's outcome probabilities are computed.
//   nested: the classic method, nested adaptive integration of each outcome's
//           cumulative probability over [-6.5, 6.5]; reproduces the classic
//           report digit for digit.
//   direct: one vector-valued integral per pool over the lowest hired score,
//           every outcome at once; far faster and accurate to about 1e-11
//           relative (1e-16 absolute) for every probability.
enum class ai_method { nested, direct };
const char *method_name(ai_method m);
std::optional<ai_method> method_named(const std::string &name);

struct solve_options {
  int threads = 1; // pools computed at once; the results are the same for every count
  ai_method method = ai_method::nested;
  // >= 0: the pool is known to hold exactly this many minority applicants:
  // that pool alone, with weight 1, and prop unused. -1: binomial mixing.
  int minority = -1;
  double alpha = 0.05;     // significance level of the adverse impact rules
  bool keep_joint = false; // fill solution::joint
  // Called on the calling thread: pools finished so far, pools to compute in all.
  std::function<void(int done, int total)> progress;
  // When given and set (from any thread), no further pool is started and the
  // nested method stops between outcomes: the result is marked cancelled.
  const std::atomic<bool> *cancel = nullptr;
};

// Something that happened while a pool was computed, with the numbers its
// diagnostic line shows. A pool's events are kept in the order they happened.
struct pool_event {
  enum class kind {
    inner_error,        // an inner integration ended with error number `code`
    abnormal_return,    // an outer integration ended with error number `code`
    accepted_as_one,    // outcome t (ranks smin, rmaj) integrated to `raw`, kept as `stored`
    accuracy_shortfall, // the direct method's error bound was missed by the factor `raw`
  };
  kind what = kind::inner_error;
  int nmin = 0; // the pool: minority applicants in it
  int code = 0;
  int t = 0;
  int smin = 0;
  int rmaj = 0;
  double stored = 0.0;
  double raw = 0.0;
};

// Probabilities that the usual adverse impact rules flag the minority group,
// over the whole distribution (see engine/rules.h for the rules), and the
// split of P(undefined ratio) by its two causes.
struct audit {
  double alpha = 0.05;
  double no_comparison = 0.0; // nothing hired, everybody hired, or a group absent
  double four_fifths = 0.0;
  double four_fifths_one_person = 0.0;
  double z_test = 0.0;
  double fisher_exact = 0.0;
  double z_ir = 0.0;
  double four_fifths_and_z = 0.0;
  double four_fifths_not_z = 0.0; // four-fifths rule flags, Z test does not
  double z_not_four_fifths = 0.0; // Z test flags, four-fifths rule does not
  double undefined_no_minority_hired = 0.0;
  double undefined_group_absent = 0.0;
};

// One outcome of the joint distribution: a pool's minority applicants, the
// minority hires, and its probability (pool weight times outcome probability).
struct joint_entry {
  int minority_applicants = 0;
  int minority_hires = 0;
  double probability = 0.0;
};

// The kind's name as the bindings and documents spell it ("inner_error", ...).
const char *event_kind_name(pool_event::kind k);

// How the pool loop ended.
struct mix_status {
  bool gave_up = false; // an integral of pool nmin, outcome t (j majority hires) failed
  int nmin = 0;
  int t = 0;
  int j = 0;
  double skipped_weight = 0.0; // total weight of the pools below the cut-off
  bool cancelled = false;      // the caller asked to stop before every pool was added
};

// Whether every pool was added in: neither given up nor cancelled. Only then
// do the table, the summary and the adverse impact rules mean anything.
inline bool completed(const mix_status &st) {
  return !st.gave_up && !st.cancelled;
}

// The nested method's result checked against the direct method's, computed
// beside it (at about a thousandth of the cost): the nested method integrates
// every pool over the fixed range [-6.5, 6.5], which does not hold the scores
// when the groups lie far apart, and then its table is wrong, sometimes
// while looking sound. The largest difference in any cumulative value of the
// table. Not checked: the direct method's own results, a computation that did
// not complete, and one whose direct table this machine cannot hold.
struct method_check {
  bool checked = false;
  double max_difference = 0.0;
};

// Beyond this difference a nested result is refused; beyond the second it is
// given with a note. Every classic reference report lies within 2e-7.
inline constexpr double nested_refused_above = 1e-4;
inline constexpr double nested_noted_above = 1e-6;

// One problem computed: every value the ratio can take (ascending, UNDEF_AI
// last) with its probability, how the pool loop ended, and what happened on
// the way, pool by pool in ascending nmin. When the loop gave up, pvai holds
// the pools added before it, and the events end with the failed pool's;
// when it was cancelled, likewise the pools added before the request.
struct solution {
  ai_method method = ai_method::nested;
  std::vector<double> vai;
  std::vector<double> pvai;
  mix_status status;
  std::vector<pool_event> events;
  audit adverse_impact;
  std::vector<joint_entry> joint; // when asked for: every outcome with non-zero probability
  method_check check;             // the nested method's, when completed
};

// The cumulative column, added up entry by entry in table order: a plain
// running sum for the nested method, whose last digits are the classic
// report's, and a compensated one for the direct method, whose tables of
// millions of entries would otherwise drift by as many roundings.
struct running_total {
  ai_method method = ai_method::nested;
  double sum = 0.0;
  double carry = 0.0;
  double add(double p); // adds p; returns the total so far
};

// Why a problem cannot be computed (ntot < 2, nhire outside 0 ... ntot, esize
// not finite, prop not strictly between 0 and 1 when pools are mixed, a known
// minority count outside 0 ... ntot, alpha not strictly between 0 and 1, or a
// candidate table larger than this machine can hold), or nothing when it can.
std::optional<std::string> refusal(const problem &p, const solve_options &opt = {});

// Computes a problem that refusal() accepts.
solution solve(const problem &p, const solve_options &opt = {});

// Expected value, variance and standard deviation of the ratio given that it
// is defined, and what a researcher reads off the distribution beyond them.
// A value within 1e-9 of a threshold counts as equal to it, not beyond it.
// NaN where no probability lands on a defined value.
struct ai_summary {
  double mean;
  double var;
  double sd;
  double p_undefined; // probability that the ratio is undefined
  double p_above;     // P(AI > 1.25): the minority's rate below four fifths of the majority's
  double p_below;     // P(AI < 0.8)
  double p5;          // percentiles of the ratio given that it is defined
  double p25;
  double p50;
  double p75;
  double p95;
};
ai_summary summarize(const solution &s);

// What a researcher reads off a distribution without its rows: the summary,
// the adverse impact rules, how the pool loop ended and what happened on the
// way. Everything a summary page, a grid cell or a planning row needs.
struct figures {
  ai_method method = ai_method::nested;
  ai_summary summary{};
  audit adverse_impact;
  mix_status status;
  std::vector<pool_event> events;
  // Outcomes of the computed pools too improbable to matter, left out of the
  // figures (beside the pools below the cut-off, status.skipped_weight).
  double skipped_outcome_weight = 0.0;
  method_check check; // the nested method's, when completed
};

// The figures read off a computed distribution.
figures figures_of(const solution &s);

// Why the figures of a problem cannot be computed: as refusal(), except that
// the direct method needs no table of ratios for them, so no problem is too
// large for it; the nested method's figures come from its table.
std::optional<std::string> figures_refusal(const problem &p, const solve_options &opt = {});

// The figures of a problem that figures_refusal() accepts.
figures solve_figures(const problem &p, const solve_options &opt = {});

// The reason a computation was not completed (gave up, or was cancelled), as
// one sentence.
std::string gave_up_reason(const mix_status &st);

// Why a nested result is refused (it lies further than nested_refused_above
// from the direct method's), and the note for one given although it lies
// further than nested_noted_above; nothing when there is none.
std::optional<std::string> check_refusal(const method_check &c);
std::optional<std::string> check_note(const method_check &c);

// How a document came about, beyond the problem and its solution.
struct run_facts {
  int threads = 1;
  double cpu_seconds = 0.0;
};

// The JSON document the command line writes for a computed problem (indent
// as for nlohmann::json::dump: -1 for one line), and for a refused one.
std::string json_text(const problem &p, const solve_options &opt, const solution &s,
                      const run_facts &facts, int indent);
std::string json_error_text(const std::string &error, int indent);
// The same without rows, from the figures alone (as --rows none writes it).
std::string json_text(const problem &p, const solve_options &opt, const figures &f,
                      const run_facts &facts, int indent);
// The joint distribution as the command line's --format joint writes it (a
// solution computed with keep_joint): a CSV header, then one row per outcome
// with non-zero probability - minority_applicants, minority_hires,
// probability, ai (empty where undefined) and each rule's verdict, true or
// false. The header alone when the computation was not completed.
std::string joint_csv_text(const problem &p, const solve_options &opt, const solution &s);

// One of this library's JSON documents (any of the *_json_text functions'
// texts, or a part of one) at another indent: the text its function would
// have written with that indent. The numbers are read back exactly and
// written as before, so only the white space changes. std::invalid_argument
// when the text is not JSON.
std::string json_reindented(const std::string &text, int indent);

// The charts the command line draws (--plot), as standalone SVG documents:
// a computed distribution's probabilities and cumulative curve with the
// four-fifths thresholds, and a plan's rules against ntot with the target.
std::string distribution_svg_text(const problem &p, const solution &s);

// ---------------------------------------------------------------------------
// Audits of an observed selection (torvan audit): the usual adverse impact
// statistics of one 2 x 2 table of applicants and hires, and the effect size
// that top-down selection from that pool implies.

// What was observed: N1 minority applicants of whom X were hired, N0
// majority applicants of whom Y were hired.
struct selection_counts {
  int minority_applicants = 0; // N1
  int minority_hires = 0;      // X
  int majority_applicants = 0; // N0
  int majority_hires = 0;      // Y
};

// The largest pool, N1 + N0, that an audit takes: the effect size's
// likelihood comes from the direct method, whose accuracy is established up
// to pools of this size.
inline constexpr int max_audit_applicants = 100000;

// The smallest alpha an audit takes. The exact interval's ends are where a
// tail of the minority hires is alpha / 2, and the direct method computes
// each outcome probability to 1e-13 relative but only to about 1e-17
// absolute: tails of 5e-13 and more come out right to far more than the
// printed digits, much smaller ones would not.
inline constexpr double min_audit_alpha = 1e-12;

// Why the counts cannot be audited (a count negative, X > N1, Y > N0, no
// applicant at all, more than max_audit_applicants, alpha not strictly
// between min_audit_alpha and 1), as the command line says it, or nothing
// when they can.
std::optional<std::string> audit_refusal(const selection_counts &c, double alpha = 0.05);

// A figure that may have no value; then `why` says why not, in words a page
// can show ("nobody was hired").
template <class T> struct maybe {
  std::optional<T> value;
  std::string why; // empty when there is a value
};

// The minority-majority difference in mean predictor score (in standard
// deviations) that makes what was hired most probable when the best of the
// pool are hired top-down: the maximum-likelihood value, the exact 1 - alpha
// interval from the tails of the minority hires, and, for one selection, the
// large-sample value Phi^-1(r1) - Phi^-1(r0). An unbounded end has no value.
struct implied_esize {
  maybe<double> mle;
  maybe<double> lower;      // P(X' >= X) = alpha / 2 here
  maybe<double> upper;      // P(X' <= X) = alpha / 2 here
  maybe<double> probit;     // one selection only
  int pool_evaluations = 0; // outcome distributions computed (counts the work)
};

struct selection_audit {
  selection_counts counts;
  double alpha = 0.05;
  maybe<double> minority_rate; // r1 = X / N1
  maybe<double> majority_rate; // r0 = Y / N0
  double pooled_rate = 0.0;    // p = (X + Y) / (N1 + N0)
  maybe<double> impact_ratio;  // r1 / r0, as practitioners quote it
  maybe<double> ai;            // r0 / r1, this program's AI ratio
  // The four-fifths rule, decided as the rules of a distribution decide it.
  bool four_fifths = false;
  bool four_fifths_one_person = false;
  maybe<int> hires_to_pass; // fewest further minority hires (Y kept) after which it does not flag
  double shortfall = 0.0;   // N1 (X + Y) / (N1 + N0) - X
  // Two-proportion Z test with pooled variance; z < 0 when the minority's rate is lower.
  maybe<double> z;
  maybe<double> z_p_lower;
  maybe<double> z_p_two_sided;
  bool z_flags = false;
  // Fisher's exact test: P(X' <= X), the tables no more probable than this
  // one (relative tolerance 1e-7), and Lancaster's mid-P. With a single
  // possible table (nobody or everybody hired, a group absent) each is 1,
  // mid-P 1/2.
  double fisher_p_lower = 1.0;
  double fisher_p_two_sided = 1.0;
  double fisher_p_mid = 0.5;
  bool fisher_flags = false;
  // The impact-ratio Z test of Morris & Lobsenz (2000) and their 1 - alpha
  // interval for the impact ratio.
  maybe<double> z_ir;
  maybe<double> z_ir_p_lower;
  bool z_ir_flags = false;
  maybe<double> impact_ratio_lower;
  maybe<double> impact_ratio_upper;
  implied_esize esize;
};

// Audits counts that audit_refusal() accepts.
selection_audit audit_selection(const selection_counts &c, double alpha = 0.05);

// Several selections (years, sites, job groups) audited one by one and together.
struct selection_event {
  std::string name;
  selection_counts counts;
};

// The Mantel-Haenszel common odds ratio (a minority applicant's odds of being
// hired over a majority applicant's) with the Robins-Breslow-Greenland 1 -
// alpha interval, and the Cochran-Mantel-Haenszel test without continuity
// correction: statistic = z^2, chi-square with 1 degree of freedom; z < 0
// when the minority is hired less often than the margins lead one to expect.
struct mantel_haenszel {
  maybe<double> odds_ratio;
  maybe<double> odds_ratio_lower;
  maybe<double> odds_ratio_upper;
  maybe<double> statistic;
  maybe<double> p_two_sided;
  maybe<double> z;
  maybe<double> p_lower;
};

struct events_audit {
  double alpha = 0.05;
  std::vector<selection_event> events;
  std::vector<selection_audit> audits; // one per event, in order
  mantel_haenszel mh;
  // The esize of all events together: the sum of their log-likelihoods, and
  // the tails of their total minority hires. No probit.
  implied_esize common;
  int events_informative = 0; // events whose outcome depends on esize
  bool cancelled = false;     // stopped on request: nothing in it is meaningful
};

// Why the events cannot be audited: none given, or the first event whose
// counts audit_refusal() refuses, as "event 3 (2019): ...", or nothing.
std::optional<std::string> events_refusal(const std::vector<selection_event> &events,
                                          double alpha = 0.05);

// Audits events that events_refusal() accepts. When `cancel` is given and
// set (from any thread) the work stops between pool evaluations and the
// result is marked cancelled.
events_audit audit_events(const std::vector<selection_event> &events, double alpha = 0.05,
                          const std::atomic<bool> *cancel = nullptr);

// The command line's JSON documents (indent as for json_text) and its text
// pages, every line within 80 columns.
std::string audit_json_text(const selection_audit &a, int indent);
std::string events_json_text(const events_audit &e, int indent);
std::string audit_page_text(const selection_audit &a);
std::string events_page_text(const events_audit &e);

// ---------------------------------------------------------------------------
// Audits of several groups (torvan audit --groups): every group against one
// reference group - by default the one with the highest selection rate (29
// CFR 1607.4(D)) - each comparison the two-group audit of the pair, its
// p-values Holm-adjusted across the k - 1 comparisons, and the overall tests
// of equal selection rates in the k x 2 table.

struct group_counts {
  std::string name;
  int applicants = 0;
  int hires = 0;
};

// The Holm-adjusted p-values of one comparison, each test's adjusted across
// the comparisons where that p has a value (where it has none, neither has
// this, for the same reason).
struct holm_adjusted {
  maybe<double> z_p_lower;
  maybe<double> z_p_two_sided;
  maybe<double> fisher_p_lower;
  maybe<double> fisher_p_two_sided;
  maybe<double> fisher_p_mid;
  maybe<double> z_ir_p_lower;
};

struct group_result {
  group_counts counts;
  double rate = 0.0;          // hires / applicants
  maybe<double> impact_ratio; // rate / the reference's rate
  // The four-fifths rule against the reference, as the pair's audit decides it.
  bool four_fifths = false;
  bool four_fifths_one_person = false;
  maybe<int> hires_to_pass;
  double shortfall = 0.0; // applicants times the pooled rate of all groups, less hires
  // The two-group audit of this group (as the minority) against the reference
  // (as the majority), and its p-values adjusted; none for the reference.
  std::optional<selection_audit> versus;
  holm_adjusted holm;
};

struct groups_audit {
  double alpha = 0.05;
  std::size_t reference = 0;        // index into groups
  std::string reference_why;        // how the reference was chosen, in words a page shows
  std::vector<group_result> groups; // in the order given
  long long applicants = 0;
  long long hires = 0;
  double pooled_rate = 0.0;
  // Pearson's chi-square of the k x 2 table, k - 1 degrees of freedom.
  double chi_square = 0.0;
  int df = 0;
  double chi_square_p = 1.0;
  // The exact (Freeman-Halton) test; no value when its work passes the bound.
  maybe<double> exact_p;
  long long exact_work = 0; // cells of partial tables visited (counts the work)
  bool cancelled = false;   // stopped on request: nothing in it is meaningful
};

// The most applicants a groups audit takes in all (each pair with the
// reference also within max_audit_applicants).
inline constexpr int max_groups_applicants = 1000000;

// Why the groups cannot be audited, as the command line says it: fewer than
// two groups, a group without a name or named twice, a count negative, hires
// above applicants, a group without applicants, too many applicants, nobody or
// everybody hired (the tests are undefined), a reference that is not one of
// the groups, alpha not strictly between 0 and 1. A fault of one group begins
// "group 3 (name): ". An empty reference: the highest selection rate.
std::optional<std::string> groups_refusal(const std::vector<group_counts> &groups,
                                          const std::string &reference = "", double alpha = 0.05);

// Audits groups that groups_refusal() accepts. When `cancel` is given and set
// (from any thread) the work stops and the result is marked cancelled.
groups_audit audit_groups(const std::vector<group_counts> &groups,
                          const std::string &reference = "", double alpha = 0.05,
                          const std::atomic<bool> *cancel = nullptr);

// Several events with groups: each event audited as above against the same
// reference (by default the highest selection rate over all events together),
// then each other group against the reference across the events where both
// appear, as audit_events computes a pair's events (Mantel-Haenszel and the
// common implied esize).
struct group_event {
  std::string name;
  std::vector<group_counts> groups;
};

struct group_across_events {
  std::string group;
  events_audit pair; // the group as the minority, the reference as the majority
};

struct group_events_audit {
  double alpha = 0.05;
  std::string reference;
  std::string reference_why;
  std::vector<std::string> event_names;
  std::vector<groups_audit> events;        // one per event, in order
  std::vector<group_across_events> across; // every other group, in the order first seen
  bool cancelled = false;
};

// Why the events cannot be audited: none given, an event refused by
// groups_refusal (as "event 3 (2019): ..."), the reference absent from an
// event, or nothing.
std::optional<std::string> group_events_refusal(const std::vector<group_event> &events,
                                                const std::string &reference = "",
                                                double alpha = 0.05);

group_events_audit audit_group_events(const std::vector<group_event> &events,
                                      const std::string &reference = "", double alpha = 0.05,
                                      const std::atomic<bool> *cancel = nullptr);

// The command line's JSON documents and text pages (within 80 columns).
std::string groups_json_text(const groups_audit &g, int indent);
std::string group_events_json_text(const group_events_audit &e, int indent);
std::string groups_page_text(const groups_audit &g);
std::string group_events_page_text(const group_events_audit &e);

// Planning: every rule's probability of flagging the minority, exactly, as the
// applicant pool grows over a range of sizes, and the sizes at which each
// reaches a target. Each row is the single problem of that size, its figures
// those of solve_figures, bit for bit. At esize 0 they are the rules' rates
// of false positives.
struct ntot_range {
  int from = 0;
  int to = 0;
  int step = 1;
};

struct plan_options {
  std::optional<double> esize;           // required
  std::optional<double> prop;            // binomial pools ...
  std::optional<double> minority_share;  // ... or known ones of round(S ntot) minority applicants
  std::optional<double> selection_ratio; // nhire = max(1, round(R ntot)) ...
  std::optional<int> nhire;              // ... or fixed
  std::optional<ntot_range> ntot;        // required
  double alpha = 0.05;
  double target = 0.8;
  std::vector<std::string> rules; // by their JSON names; empty: every rule
  ai_method method = ai_method::direct;
  int threads = 1; // rows computed at once, and pools within a row when rows are few
  // Called on the calling thread: rows finished so far, rows in all.
  std::function<void(int done, int total)> progress;
  // When given and set (from any thread), no further row is started and the
  // plan is marked cancelled.
  const std::atomic<bool> *cancel = nullptr;
};

// The rules that flag adverse impact against the minority, as the JSON
// documents name them: four_fifths, four_fifths_one_person, z_test,
// fisher_exact, z_ir, four_fifths_and_z.
std::vector<std::string> flagging_rules();
// The probability of the rule named `rule` in a; std::invalid_argument when
// it is not one of flagging_rules().
double rule_probability(const audit &a, const std::string &rule);

// Why a plan cannot be computed, in the words the command line prints
// (esize missing or not finite; neither or both of prop and minority_share,
// or either outside its range; likewise selection_ratio and nhire; ntot
// missing, starting below 2, running backwards or with a step below 1; alpha
// or target outside (0, 1); an unknown rule), or nothing when it can.
std::optional<std::string> plan_refusal(const plan_options &opt);

// One size of the range. A problem the library refuses (say nhire above ntot
// with a fixed nhire) is not computed and says why; one that gave up says so.
struct plan_row {
  int ntot = 0;
  int nhire = 0;
  int minority = -1;              // known pools: the minority applicants; -1: binomial pools
  double expected_minority = 0.0; // prop ntot, or the known count
  std::string error;              // empty: computed, the figures below hold
  // The rules' probabilities, P(AI > 1.25) and P(undefined), the status and
  // the events; by the direct method the moments and percentiles are not
  // computed (NaN).
  figures f;
};
bool row_computed(const plan_row &r);

// For one rule, the smallest ntot of the range whose probability reaches the
// target, and the smallest from which it stays at or above it to the end of
// the range (the discrete tests saw-tooth, so the two differ); nothing when
// not reached in the range. A row not computed reaches nothing.
struct plan_found {
  std::string rule;
  std::optional<int> first;
  std::optional<int> stays;
};

struct plan_result {
  std::vector<plan_row> rows;    // one per size, ascending
  std::vector<plan_found> found; // one per rule asked for, in the order of flagging_rules()
  bool cancelled = false;        // rows are then missing: nothing to read off
};

// The rules a plan reports: those asked for, in the order of flagging_rules().
std::vector<std::string> plan_rules(const plan_options &opt);

// Computes a plan that plan_refusal() accepts.
plan_result solve_plan(const plan_options &opt);

// The JSON document the command line writes for a computed plan.
std::string plan_json_text(const plan_options &opt, const plan_result &r, const run_facts &facts,
                           int indent);
std::string plan_svg_text(const plan_options &opt, const plan_result &r);

// ---------------------------------------------------------------------------
// Composite predictors (torvan design): the weights of k correlated predictors
// that trade the composite's validity against its adverse impact, each point
// of the exact front carrying every rule's exact probability of flagging the
// minority at the user's own pool size.

// One predictor: its validity and the groups' difference on it in this
// program's sign (the minority's mean less the majority's, in within-group
// standard deviations; a meta-analysis's d is its negative).
struct design_predictor {
  std::string name;
  double validity = 0.0;
  double esize = 0.0;
};

// within: the correlations and esizes are within-group (the program's model),
//   the composite's esize is w'e / sqrt(w'Rw).
// overall: the correlations are those of the whole applicant population; each
//   esize becomes a correlation with minority membership at the minority
//   share, the composite's is formed there and converted back.
enum class design_matrix { within, overall };
enum class design_weights { nonnegative, free };

// Weights to evaluate beside the front, in the predictors' order. Empty
// weights name a built-in: "unit" (all equal) or "regression" (R^-1 r).
struct design_comparison {
  std::string name;
  std::vector<double> weights;
};

// The most predictors a design takes: the non-negative front visits every
// subset of them.
inline constexpr int max_design_predictors = 20;

struct design_options {
  std::vector<design_predictor> predictors;
  std::vector<std::vector<double>> correlations; // k x k, in the predictors' order
  design_matrix matrix = design_matrix::within;
  design_weights weights = design_weights::nonnegative;
  int ntot = 0;
  std::optional<int> nhire;              // ... or
  std::optional<double> selection_ratio; // nhire = max(1, round(R ntot))
  std::optional<double> prop;            // binomial pools ... or
  std::optional<int> minority;           // a known pool; the minority share is minority / ntot
  double alpha = 0.05;
  ai_method method = ai_method::direct;
  int points = 21;
  std::optional<double> max_risk; // the most valid point whose rule flags with at most this
  std::string rule = "four_fifths";
  std::optional<double> min_impact_ratio; // ... or whose population impact ratio is at least this
  std::vector<design_comparison> compare;
  int threads = 1; // pools computed at once; the figures are the same for every count
  // When given and set, the design stops at its next problem's next pool:
  // the result is marked cancelled.
  const std::atomic<bool> *cancel = nullptr;
};

// Why a design cannot be computed, as the command line says it: no
// predictors or more than max_design_predictors, names repeated or empty, a
// validity outside (-1, 1) or an esize not finite, a correlation matrix of the
// wrong size, not symmetric, not unit-diagonal or not positive definite (with
// its smallest eigenvalue), validities or esizes the matrix cannot hold (a
// multiple correlation of 1 or more), the selection as for a plan (ntot at
// least 2, nhire from 1 to ntot), points below 1 or above 1000, a max_risk
// outside (0, 1), an unknown rule, a min_impact_ratio not above 0, both of
// these, a comparison of the wrong length, all zero or unnamed.
std::optional<std::string> design_refusal(const design_options &opt);

// One composite: its weights (their absolute values summing to 1, in the
// predictors' order), validity, esize, the large-sample impact ratio and AI
// of an infinite pool at the same selection ratio, and the exact figures of
// the single problem (ntot, nhire, esize, prop) from solve_figures.
struct design_point {
  std::string name; // a comparison's name; empty on the front
  std::vector<double> weights;
  double validity = 0.0;
  double esize = 0.0;
  double population_impact_ratio = 0.0; // minority rate / majority rate
  double population_ai = 0.0;           // its inverse, this program's AI
  figures f;
};

struct design_result {
  problem selection;               // ntot, nhire and prop of every point's problem (esize 0 here)
  solve_options solve;             // method, alpha and a known pool's minority
  double selection_ratio = 0.0;    // nhire / ntot, the population figures' ratio
  double minority_share = 0.0;     // prop, or minority / ntot
  std::vector<design_point> front; // from the least adverse composite to the most valid
  std::vector<design_point> compared;
  std::optional<design_point> chosen; // by max_risk or min_impact_ratio
  std::string chosen_reason;          // how chosen was found, or why there is none
  int problems = 0;                   // exact problems solved (counts the work)
  std::string error;                  // non-empty: a problem gave up; nothing else holds
  bool cancelled = false;             // stopped on request: nothing in it is meaningful
};

// Computes a design that design_refusal() accepts.
design_result solve_design(const design_options &opt);

// The most exact problems solve_design() solves for these options (a
// point of the front each, one a comparison, and those of the choice): its
// work is about as many single problems.
int design_problems(const design_options &opt);

// The command line's JSON document of a design (indent as for json_text).
std::string design_json_text(const design_options &opt, const design_result &r,
                             const run_facts &facts, int indent);
// The chart the command line draws for a design (--plot), a standalone SVG
// document: validity against the rule's exact probability of flagging.
std::string design_svg_text(const design_options &opt, const design_result &r);
