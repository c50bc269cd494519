#pragma once

#include <optional>
#include <string>

#include "torvan.h"

// The options of a plan from text, one at a time, by the names the JSON
// document and the server's query parameters use: esize, prop,
// minority_share, selection_ratio, nhire, ntot ("A:B" or "A:B:STEP"), alpha,
// target, rule (one name, or several separated by commas; each adds to the
// rules asked for) and method. The message when the text is not a value of
// that kind, or the name is not one of these; whether the values make a
// plan is plan_refusal()'s to say.
std::optional<std::string> set_plan_option(plan_options &o, const std::string &name,
                                           const std::string &text);

// A message of set_plan_option() or plan_refusal() with the options named as
// the command line spells them: "--selection-ratio = 0 must lie ...", "--prop
// and --minority-share exclude each other". Only the words before the first
// quote are option names; a quoted value is the user's own text.
std::string with_flags(const std::string &message);
