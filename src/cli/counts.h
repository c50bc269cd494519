#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "torvan.h"

// What an audit is given, from text: the four counts (arguments, query
// parameters or free-form input) and a CSV file of events. Nothing is
// computed from input that is not read whole and accepted; a refusal is the
// message the command line prints.

// The counts' names in their order, N1 X N0 Y, as the events file's header,
// the JSON documents and a query spell them.
inline constexpr std::array<const char *, 4> count_names = {
    "minority_applicants", "minority_hires", "majority_applicants", "majority_hires"};
inline constexpr const char *events_header =
    "event,minority_applicants,minority_hires,majority_applicants,majority_hires";

// The refusal of the four counts and the events at once; `events` names the
// events as the caller takes them ("--events", "events").
std::string counts_and_events_refusal(const std::string &events);

struct counts_reading {
  selection_counts counts;
  std::string error; // empty when the counts were accepted
};

// The counts from their texts, in the order of count_names: each a whole
// number (a sign, digits, blanks around them), then checked by audit_refusal.
counts_reading counts_from_fields(const std::array<std::string_view, 4> &fields, double alpha);

// Four counts in free form: separated by blanks, tabs, commas or line ends.
counts_reading counts_from_free_form(std::string_view text, double alpha);

// Free-form counts read from a stream up to the end of the line holding the
// fourth, so that a user who types them and Enter gets the page; at most
// 64 KiB, so that endless input is refused rather than waited on.
counts_reading read_counts(std::FILE *in, double alpha);

struct events_reading {
  std::vector<selection_event> events;
  std::string error; // "line N: ..." for a bad row; then no events
};

// An events file: the header line (events_header), then one event per row,
// its name and its four counts, read as input/table reads a spreadsheet's
// table (CSV or TSV, any line ending, RFC 4180 quotes, empty rows skipped).
events_reading events_from_csv(std::string_view text, double alpha);
