#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "torvan.h"

// The distribution in forms other programs read: CSV with a header and one
// row per table entry, and one JSON document per problem.

inline const char *const csv_header = "n,ai,defined,probability,cumulative\n";

// Header and rows, every number to full round-trip precision (%.17g); the
// undefined row has an empty ai and defined false. Header only when the
// computation gave up.
std::string csv_document(const solution &s);

// The document for a computed problem, complete or given up.
nlohmann::ordered_json json_document(const problem &p, const solution &s, const run_facts &facts);
// The document for a problem that was not computed, with the reason.
nlohmann::ordered_json json_error(const std::string &error);
