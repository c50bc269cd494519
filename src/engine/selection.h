#pragma once

#include <atomic>
#include <string>

#include "torvan.h"

// The audit of one observed selection (torvan.h's selection_audit): rates,
// ratios, the rules' verdicts, the significance tests and the implied esize.

// Why the two groups cannot be compared - no applicant of one group, nobody
// or everybody hired - or empty when they can.
std::string no_comparison(const selection_counts &c);

// audit_selection, the implied esize's searches stopping once `cancel` is
// set (then `cancelled` is set and the esize has no values).
selection_audit audit_selection(const selection_counts &c, double alpha,
                                const std::atomic<bool> *cancel, bool &cancelled);
