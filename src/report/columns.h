#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

// Fixed-width renderings of the report's number fields. Each returns exactly
// w characters: right-justified, w asterisks when the value does not fit.
// Infinities and NaNs are written "inf", "-inf", "nan", "-nan" (upper case in
// Dw.d). w must be 1..255 and d at least 0 (1 for Dw.d), else
// std::invalid_argument.
std::string render_i(int v, int w);           // Iw
std::string render_f(double v, int w, int d); // Fw.d, fixed point
std::string render_d(double v, int w, int d); // Dw.d, exponent form 0.ddddE+kk

using field_value = std::variant<int, double>;

// Interprets one layout such as "(/,'CPU TIME IN SECONDS ',F12.2)" with its
// values and returns the lines it writes, each ending in '\n'. Items: quoted
// literals, nX, /, Iw, Fw.d, Dw.d, each field optionally with a repeat count.
// A malformed layout, or values that do not match its fields one for one in
// number and type, is a programming error: std::invalid_argument.
std::string render_layout(std::string_view layout, std::initializer_list<field_value> values);
