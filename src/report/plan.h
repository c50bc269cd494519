#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "torvan.h"

// A plan as a person reads it and as other programs do: the text page (every
// line within 80 columns), CSV of the rows, and the JSON document. A row not
// computed says why in each; none looks like figures.

// The page: the plan, one row per size (ntot, nhire, the minority
// applicants, each rule's probability, P(AI > 1.25), P(undefined)), a legend,
// then the sizes at which each rule reaches the target. At esize 0 it says
// that the probabilities are false-positive rates.
std::string plan_page(const plan_options &opt, const plan_result &r);

// Header and one line per row, every number in its shortest exact form; a row
// not computed has empty figures and its reason in the last column.
std::string plan_csv(const plan_options &opt, const plan_result &r);

// The document: the program, the plan's options, the rows, the found sizes.
nlohmann::ordered_json plan_document(const plan_options &opt, const plan_result &r,
                                     const run_facts &facts);

// Why a plan is not wholly computed ("2 of 7 sizes could not be computed (the
// rows say why)"), or nothing when every row is.
std::optional<std::string> rows_missing_reason(const plan_result &r);
