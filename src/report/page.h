#pragma once

#include <cstddef>
#include <string>

// The pieces of the one-page reports (the summary, the audit): every line
// within 80 columns.

// "  label ..... value": the label padded with dots to column 56, the value
// right-aligned in the 24 columns after it (a longer label or value makes a
// longer line).
std::string dotted_line(const std::string &label, const std::string &value);

// v with `decimals` decimals, or "undefined" for NaN.
std::string fixed(double v, int decimals);

// v with `decimals` decimals where that shows it in a few columns: 0, and
// magnitudes from half a unit of the last decimal to below 1e9; others in
// scientific notation with as many (1e300 would take 300 columns, and 1e-6
// with four decimals would read as 0).
std::string shown(double v, int decimals);

// The words of `text` (separated by spaces) in lines of at most `width`
// columns, each after `indent` spaces; a word longer than that has a line of
// its own.
std::string wrapped(const std::string &text, std::size_t indent, std::size_t width = 80);

// What printf writes for `format`, which converts the one double v; however
// long (an esize of 1e300 in %f has 300 digits: see shown()).
std::string printed(const char *format, double v);
