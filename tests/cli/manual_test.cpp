// The manual page says what each command's --help says: every option a help
// text names is in that command's part of docs/torvan.1, and groff renders
// the page without a warning.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

#include "run_torvan.h"

namespace {

const std::string manual_path = std::string(TORVAN_TEST_DATA) + "/../../docs/torvan.1";

// The page's text from the line `.SH heading` to the next heading, with
// groff's escaped hyphens as plain ones.
std::string section(const std::string &page, const std::string &heading, const char *next) {
  const std::size_t from = page.find(".SH " + heading);
  const std::size_t to = next ? page.find(std::string(".SH ") + next, from) : std::string::npos;
  std::string text = page.substr(from, to == std::string::npos ? to : to - from);
  for (std::size_t at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at))
    text.erase(at, 1);
  return text;
}

// Every "--name" in a help text (letters and inner hyphens).
std::set<std::string> options_named(const std::string &help) {
  std::set<std::string> out;
  for (std::size_t at = help.find("--"); at != std::string::npos; at = help.find("--", at + 2)) {
    std::size_t end = at + 2;
    while (end < help.size() &&
           (std::islower(static_cast<unsigned char>(help[end])) || help[end] == '-'))
      ++end;
    while (end > at + 2 && help[end - 1] == '-')
      --end;
    if (end > at + 2) out.insert(help.substr(at, end - at));
  }
  return out;
}

TEST(Manual, NamesEveryOptionOfEachCommand) {
  const std::string page = slurp(manual_path);
  ASSERT_FALSE(page.empty()) << manual_path;
  const struct {
    const char *args, *heading, *next;
  } commands[] = {{"--help", "SYNOPSIS", "TORVAN AUDIT"},
                  {"audit --help", "TORVAN AUDIT", "TORVAN PLAN"},
                  {"plan --help", "TORVAN PLAN", "TORVAN DESIGN"},
                  {"design --help", "TORVAN DESIGN", "TORVAN SERVE"},
                  {"serve --help", "TORVAN SERVE", "EXIT STATUS"}};
  for (const auto &c : commands) {
    const run_result help = run_torvan("", c.args);
    ASSERT_EQ(help.status, 0) << c.args;
    const std::string part = section(page, c.heading, c.next);
    const std::set<std::string> options = options_named(help.out);
    EXPECT_GE(options.size(), 4u) << c.args; // every command has that many
    for (const std::string &o : options)
      EXPECT_NE(part.find(o), std::string::npos) << o << " of torvan " << c.args;
  }
}

TEST(Manual, RendersWithoutWarnings) {
  if (std::system("command -v groff >/dev/null 2>&1") != 0) GTEST_SKIP() << "groff not installed";
  const std::string cmd = "groff -man -ww -z '" + manual_path + "' 2>&1";
  std::FILE *p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string said;
  for (int c; (c = std::fgetc(p)) != EOF;)
    said += static_cast<char>(c);
  EXPECT_EQ(pclose(p), 0);
  EXPECT_EQ(said, "");
}

} // namespace
