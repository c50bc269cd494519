// The documentation's examples run as written: every ```console block of
// docs/*.md whose first line is "$ torvan ARGS" must print what the block
// shows after it, to the last character.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "run_torvan.h"

namespace {

struct example {
  std::string file, args, output;
};

std::vector<example> examples() {
  std::vector<example> out;
  for (const auto &entry : std::filesystem::directory_iterator(TORVAN_DOCS)) {
    if (entry.path().extension() != ".md") continue;
    std::istringstream in(slurp(entry.path()));
    std::string line;
    while (std::getline(in, line)) {
      if (line != "```console") continue;
      example e{entry.path().filename().string(), "", ""};
      std::getline(in, line);
      if (!line.starts_with("$ torvan ")) continue;
      e.args = line.substr(9);
      while (std::getline(in, line) && line != "```")
        e.output += line + '\n';
      out.push_back(e);
    }
  }
  return out;
}

TEST(Docs, ExamplesPrintWhatTheyShow) {
  const std::vector<example> all = examples();
  EXPECT_GE(all.size(), 2u);
  for (const example &e : all) {
    const run_result r = run_torvan("", e.args);
    EXPECT_EQ(r.out, e.output) << e.file << ": torvan " << e.args;
  }
}

} // namespace
