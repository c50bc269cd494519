#pragma once
// Runs the built program as a user would: input from a file or a string,
// standard output and standard error captured, exit status returned.
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct run_result {
  std::string out, err;
  int status; // exit status, or -1 when killed by a signal
};

inline std::string slurp(const std::filesystem::path &p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The lines of a text, without their line ends.
inline std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);)
    out.push_back(l);
  return out;
}

// `args` go to the command line as they stand; `stdout_to` replaces the
// captured standard output (e.g. /dev/full).
inline run_result run_torvan_file(const std::filesystem::path &input, const std::string &args = "",
                                  const std::string &stdout_to = "") {
  namespace fs = std::filesystem;
  static int serial = 0;
  const std::string tmp = (fs::temp_directory_path() / ("torvan_run_" + std::to_string(getpid()) +
                                                        "_" + std::to_string(serial++)))
                              .string();
  const std::string out = stdout_to.empty() ? tmp + ".out" : stdout_to;
  const std::string cmd = std::string(TORVAN_BINARY) + " " + args + " <'" + input.string() +
                          "' >'" + out + "' 2>'" + tmp + ".err'";
  const int raw = std::system(cmd.c_str());
  run_result r{stdout_to.empty() ? slurp(out) : "", slurp(tmp + ".err"),
               WIFEXITED(raw) ? WEXITSTATUS(raw) : -1};
  fs::remove(tmp + ".out");
  fs::remove(tmp + ".err");
  return r;
}

inline run_result run_torvan(const std::string &input, const std::string &args = "",
                             const std::string &stdout_to = "") {
  namespace fs = std::filesystem;
  const fs::path in = fs::temp_directory_path() / ("torvan_in_" + std::to_string(getpid()));
  std::ofstream(in, std::ios::binary) << input;
  run_result r = run_torvan_file(in, args, stdout_to);
  fs::remove(in);
  return r;
}
