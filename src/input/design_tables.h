#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "torvan.h"

// The two tables of a design, as a spreadsheet saves or pastes them.

// One predictor a row under the header name,validity,d or name,validity,esize
// (in any case). The column's name fixes the sign: d is the majority's mean
// less the minority's, as meta-analyses tabulate it, and is stored negated;
// esize is this program's own. The message when the table is not one.
std::optional<std::string> read_predictors(std::string_view text,
                                           std::vector<design_predictor> &out);

// The square matrix with the predictors' names as its header row (after one
// corner cell) and as its first column, in any order: out in the order of
// `predictors`. The message when a name is missing, extra or repeated, or a
// cell is not a number.
std::optional<std::string> read_correlations(std::string_view text,
                                             const std::vector<design_predictor> &predictors,
                                             std::vector<std::vector<double>> &out);
