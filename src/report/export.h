#pragma once

#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "torvan.h"

// The distribution in forms other programs read: CSV with a header and one
// row per table entry, and one JSON document per problem.

inline const char *const csv_header = "n,ai,defined,probability,cumulative\n";

// A number as every CSV field has it: the shortest text that reads back as
// the same double.
std::string csv_number(double v);

// The fields every document starts with: the program, its version and the
// numerical library's.
nlohmann::ordered_json program_fields();

// A document as text, `indent` as for nlohmann's dump(). A name, a batch
// line's input or a message echoing either may hold any bytes: invalid UTF-8
// is replaced rather than fatal.
std::string json_dump(const nlohmann::ordered_json &doc, int indent);

// Header and rows, every number in the shortest text that reads back as it; the
// undefined row has an empty ai and defined false. Header only when the
// computation gave up.
std::string csv_document(const solution &s);
// The same handed to `write` a few thousand rows at a time.
void csv_document(const solution &s, const std::function<void(const std::string &)> &write);

// The joint distribution with every adverse impact rule's verdict on each
// outcome: one row per outcome with non-zero probability (s.joint), flags as
// true or false, an empty ai where the ratio is undefined. Header only when
// the computation gave up.
inline const char *const joint_header =
    "minority_applicants,minority_hires,probability,ai,four_fifths,four_fifths_one_person,z_test,"
    "fisher_exact,z_ir\n";
std::string joint_document(const problem &p, const solve_options &opt, const solution &s);

// The document for a computed problem, complete or given up, with every row.
nlohmann::ordered_json json_document(const problem &p, const solve_options &opt, const solution &s,
                                     const run_facts &facts);

// What a document says of the rows: those of a table, or none; `omitted`,
// when not empty, says why the rows that were asked for are not there
// ("rows": null).
// With `written`, "rows" is an empty array that write_with_rows fills.
struct json_rows {
  const solution *rows = nullptr;
  std::string omitted;
  bool written = false;
};
// The same from the figures alone.
nlohmann::ordered_json json_document(const problem &p, const solve_options &opt, const figures &f,
                                     const run_facts &facts, const json_rows &table = {});
// doc.dump(indent) handed to `write` a few thousand rows at a time, with the
// rows of the table in place of the empty "rows" array of doc (made with
// json_rows::written; without a table, or without rows in doc, the document
// as it is): a table of millions of rows never stands in memory as JSON
// values, some hundreds of bytes each. Invalid UTF-8 in doc's strings is
// replaced.
void write_with_rows(const nlohmann::ordered_json &doc, const solution *table, int indent,
                     const std::function<void(const std::string &)> &write);
// The document for a computed problem with every row, so written.
void write_json(const problem &p, const solve_options &opt, const solution &s,
                const run_facts &facts, int indent,
                const std::function<void(const std::string &)> &write);

// The "adverse_impact" object of a document.
nlohmann::ordered_json adverse_impact_json(const audit &a);

// The document for a problem that was not computed, with the reason.
nlohmann::ordered_json json_error(const std::string &error);
