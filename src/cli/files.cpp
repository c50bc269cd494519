// Reading and writing whole files.
#include "cli/files.h"

#include <cerrno>
#include <cstring>

std::string read_whole_file(const std::string &name, std::string &text) {
  std::FILE *f = name == "-" ? stdin : std::fopen(name.c_str(), "rb");
  if (!f) return "cannot read " + name + ": " + std::strerror(errno);
  char buf[65536];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
    text.append(buf, n);
  const bool failed = std::ferror(f) != 0;
  std::string why = failed ? "cannot read " + name + ": " + std::strerror(errno) : "";
  if (f != stdin) std::fclose(f);
  return why;
}

bool write_all(std::FILE *f, const std::string &s) {
  return std::fwrite(s.data(), 1, s.size(), f) == s.size();
}

bool write_file(const std::string &path, const std::string &text) {
  std::FILE *f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return false;
  const bool written = write_all(f, text);
  return std::fclose(f) == 0 && written;
}
