#pragma once

#include <string>
#include <vector>

// torvan audit: the arguments after "audit" in, the exit status out (0
// audited, 2 bad counts, events file or option, 4 output not written); the
// page or document goes to standard output, a refusal to standard error.
int run_audit(const std::vector<std::string> &args);

// The --help text of torvan audit.
std::string audit_usage();
