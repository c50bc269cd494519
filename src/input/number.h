#pragma once

#include <string>

// One reading of a number for every option of the command line and every
// parameter of the server (the classic free-form input keeps the reader's
// own rules): blanks around it, an optional sign, decimal digits, and for a
// number a fraction and an exponent (1e-3, 2.5E+2); nothing else. `name` is
// the option as the user gave it ("--alpha", or "alpha" in a query). An
// empty string when `value` is set, else the refusal in plain words:
// "ntot must be a whole number, not '1e9'".
std::string read_whole(const std::string &name, const std::string &text, int &value);
std::string read_number(const std::string &name, const std::string &text, double &value);
