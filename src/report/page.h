#pragma once

#include <string>

// The pieces of the one-page reports (the summary, the audit): every line
// within 80 columns.

// "  label ..... value": the label padded with dots to column 56, the value
// right-aligned in the 24 columns after it (a longer label or value makes a
// longer line).
std::string dotted_line(const std::string &label, const std::string &value);

// v with `decimals` decimals, or "undefined" for NaN.
std::string fixed(double v, int decimals);
