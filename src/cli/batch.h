#pragma once

#include <cstdio>

#include "torvan.h"

// Grids of problems: one problem per input line (four free-form values; blank
// lines and lines starting with '#' skipped), one JSON document per output
// line in input order. Problems are computed in parallel, each exactly as a
// single run computes it. A line that cannot be read or computed gives a
// document with an "error" field and the batch goes on. Returns the exit
// status: 0, or 1 when any line failed; 4 when the output could not be written.
// Every line is computed with `line_options` (one thread each); `threads`
// lines are computed at once. rows: documents carry the table's rows (where
// the table fits: otherwise "rows": null and the reason, and the figures).
int run_batch(std::FILE *in, std::FILE *out, std::FILE *err, const solve_options &line_options,
              bool rows, int threads);
