#pragma once

#include <nlohmann/json.hpp>

#include "torvan.h"

// The audit's documents (torvan audit): one JSON document and one text page
// for a selection, and for several events. A figure without a value is null
// in JSON, with a string "<name>_reason" beside it; the page says why.

nlohmann::ordered_json audit_json(const selection_audit &a);
nlohmann::ordered_json events_json(const events_audit &e);

// Within 80 columns.
std::string audit_page(const selection_audit &a);
std::string events_page(const events_audit &e);

// The parts the audits of several groups reuse: the document of one audit
// without its header (program, version, command, alpha), the page of one
// audit without its title, and the part of the events' page after the events
// ("All N events together" to the common implied esize).
nlohmann::ordered_json audit_body_json(const selection_audit &a);
std::string audit_part_page(const selection_audit &a);
std::string events_together_page(const events_audit &e);
