#pragma once

#include <optional>
#include <string>

#include "torvan.h"

// The options of a design from text, one at a time: matrix, weights, ntot,
// nhire, selection_ratio, prop, minority, alpha, method, points, max_risk,
// rule, min_impact_ratio and compare (NAME=w1,w2,... in the predictors'
// order, or unit, or regression; each adds one comparison). `option` is the
// name as the caller spells it, and the message names it so: "--max-risk"
// on the command line, "max_risk" in a query of the server. The message
// when the text is not a value of that kind, or no design option has that
// name; whether the values make a design is design_refusal()'s to say.
std::optional<std::string> set_design_option(design_options &o, const std::string &option,
                                             const std::string &text);
