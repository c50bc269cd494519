#pragma once

#include "input/query.h"
#include "server/serve_context.h"

// The server's JSON API, apart from HTTP: each handler reads a query with the
// command line's rules and messages, checks the work against the limits,
// waits for a place at the gate, calls one library function and renders
// what the command line writes for the same problem.

// /api/distribution (json), /api/distribution.csv and /api/distribution.svg:
// parameters ntot, nhire, esize, prop (not needed with minority), minority,
// method, alpha and, for JSON, rows (none by default). JSON is
// `torvan --format json`, CSV `--format csv`, SVG the `--plot` chart.
// 400 for a bad parameter or a problem that cannot be computed, 422 for
// more work than the limits allow or a computation that gave up, 503 when
// the queue is full or the server is stopping.
enum class distribution_form { json, csv, svg };
reply distribution_reply(distribution_form form, const query_params &q, serve_context &c);

// /api/audit: the four counts minority_applicants, minority_hires,
// majority_applicants and majority_hires, or events (the CSV text of
// `torvan audit --events`, with or without a group column), or groups (of
// --groups) and reference; alpha and format (json or text). `torvan audit
// --format json` or its text page. 400 for a bad parameter or counts that
// cannot be audited, 422 for tables beyond the limit, 503 as above.
reply audit_reply(const query_params &q, serve_context &c);

// /api/plan (json) and /api/plan.svg: the parameters of `torvan plan` by the
// names of its JSON document (esize, prop or minority_share,
// selection_ratio or nhire, ntot as A:B[:STEP], alpha, target, rule - more
// than once, or names separated by commas - and method). JSON is
// `torvan plan --format json` (with chart=svg, its chart's SVG text as
// "chart" too), SVG its --plot chart. 400 for a bad parameter, 422 for a plan
// beyond the limits or one with a size that could not be computed (the
// command line's exit status 1; the JSON document still shows its rows, and
// its "error" says how many failed), 503 as above.
enum class plan_form { json, svg };
reply plan_reply(plan_form form, const query_params &q, serve_context &c);

// /api/design (json), /api/design.csv and /api/design.svg: the parameters of
// `torvan design` by the names of its JSON document (predictors and
// correlations the two tables' CSV text, matrix, weights, ntot, nhire or
// selection_ratio, prop or minority, alpha, method, points, max_risk, rule,
// min_impact_ratio, compare - more than once). JSON is `torvan design
// --format json` (with chart=svg, its chart's SVG text as "chart" too), CSV
// `--format csv`, SVG its --plot chart. 400 for a bad parameter or a design
// refused, 422 for a design beyond the limits or one whose problem gave up
// (the command line's exit status 3; the document's "reason" says which),
// 503 as above.
enum class design_form { json, csv, svg };
reply design_reply(design_form form, const query_params &q, serve_context &c);
