#pragma once

#include <cstdint>
#include <vector>

#include "torvan.h"

// How many (split, hires) pairs the enumeration of the candidate table visits
// for ntot applicants and nhire hires; 0 when there is none (ntot <= 1 or
// nhire outside 0 ... ntot). 64-bit: it grows like ntot * nhire.
std::int64_t candidate_count(int ntot, int nhire);

// Every AI ratio that any outcome of any pool of ntot applicants can produce
// when nhire are hired, sorted ascending, equal values merged, UNDEF_AI last.
// Needs candidate_count(ntot, nhire) > 0.
std::vector<double> candidate_table(int ntot, int nhire);

// The entry of the table (the candidate table, or the pool table when nmin >=
// 0) that an outcome of ratio ai is added to: the first within 1e-13 below it
// (see match_entry). Equal ratios reached through different counts can
// differ in their last bits; the table keeps each such value as its own row.
// Needs ai a ratio of some outcome and the counts as for the tables.
double table_entry_of(int ntot, int nhire, int nmin, double ai);

// The ratios of the outcomes of one pool with nmin minority applicants (the
// table when the pool's composition is known), ascending, UNDEF_AI last.
// Needs 0 <= nmin <= ntot and 0 <= nhire <= ntot.
std::vector<double> pool_table(int ntot, int nhire, int nmin);
