#pragma once

#include <cstdio>
#include <string>

#include "torvan.h"

enum class read_error {
  none,
  end_of_file,     // "list in: end of file"
  invalid_integer, // "invalid integer: read unexpected character"
  bad_repetition,  // "bad repetition count: incomprehensible list input"
  exponent_field,  // "exponent field: incomprehensible list input"
  invalid_number,  // "invalid number: incomprehensible list input"
  integer_range,   // "integer out of range: incomprehensible list input"
  real_range,      // "real out of range: incomprehensible list input"
};

// Reads ntot, nhire, esize and prop in list-directed free form from `in`,
// then discards the rest of the line on which reading stopped. Targets that a
// null value or an early '/' leave unset keep the values `p` had on entry.
// Never reads more than one character beyond what it consumes.
read_error read_problem(std::FILE *in, problem &p);

// The four-line message for a failed read, each line ending in '\n'.
const char *read_error_message(read_error e);
// Its first line, which names the fault ("invalid number: incomprehensible
// list input").
std::string read_error_line(read_error e);
