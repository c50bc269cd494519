#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "torvan.h"

// A design as a person reads it and as other programs do.

// The page, every line within 80 columns: the predictors and the selection,
// the front (validity, esize, population impact ratio and every rule's exact
// probability, to four decimals) and its weights, the compared composites,
// and the chosen one or why there is none.
std::string design_page(const design_options &opt, const design_result &r);

// One line per composite (kind front, compared or chosen), every number to
// full precision (%.17g), the weights last as weight_NAME; the header alone
// when a problem failed.
std::string design_csv(const design_options &opt, const design_result &r);

// The document: the program, the options, the selection, "front",
// "compared" and "chosen" (null when none qualifies, "chosen_reason" saying
// why). Each point's probabilities are those of the single problem's
// document without rows.
nlohmann::ordered_json design_document(const design_options &opt, const design_result &r,
                                       const run_facts &facts);
