#pragma once

#include <cstdio>
#include <string>

// Files as the commands read and write them.

// The whole of the file `name`, or of standard input for "-", appended to
// `text`: empty, or the message when it cannot be read.
std::string read_whole_file(const std::string &name, std::string &text);

// All of `s` written to `f`.
bool write_all(std::FILE *f, const std::string &s);

// `text` as the whole of the file at `path`, created or replaced; false when
// it could not be written (errno says why).
bool write_file(const std::string &path, const std::string &text);
