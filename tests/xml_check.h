#pragma once
// A small check of the charts' markup, for the tests that write SVG.
#include <string>
#include <vector>

// "" when s is well-formed XML with one root (balanced, nested tags; quoted
// attributes; no raw '<' or stray '&' in text or values), else the fault.
inline std::string xml_fault(const std::string &s) {
  auto entity_at = [&](std::size_t i) {
    for (std::string e : {"&amp;", "&lt;", "&gt;", "&quot;"})
      if (s.compare(i, e.size(), e) == 0) return true;
    return false;
  };
  std::vector<std::string> open;
  int roots = 0;
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] == '&' && !entity_at(i)) return "stray &";
    if (s[i] != '<') {
      ++i;
      continue;
    }
    if (s.compare(i, 2, "<?") == 0) {
      if ((i = s.find("?>", i)) == std::string::npos) return "open declaration";
      i += 2;
      continue;
    }
    bool closing = s[i + 1] == '/';
    std::size_t j = s.find_first_of(" \n/>", i + 1 + closing);
    if (j == std::string::npos) return "open tag";
    std::string name = s.substr(i + 1 + closing, j - i - 1 - closing);
    while (j < s.size() && s[j] != '>' && s[j] != '/') {
      if (s[j] == ' ' || s[j] == '\n') {
        ++j;
        continue;
      }
      std::size_t eq = s.find('=', j), end = s.find('"', eq + 2);
      if (eq == std::string::npos || s[eq + 1] != '"' || end == std::string::npos)
        return "bad attribute in " + name;
      for (std::size_t k = eq + 2; k < end; ++k)
        if (s[k] == '<' || (s[k] == '&' && !entity_at(k))) return "markup in attribute";
      j = end + 1;
    }
    bool empty = s.compare(j, 2, "/>") == 0;
    if (!empty && s[j] != '>') return "open tag " + name;
    if (closing && (open.empty() || open.back() != name)) return "mismatched </" + name + ">";
    if (closing) open.pop_back();
    if (!closing && open.empty()) ++roots;
    if (!closing && !empty) open.push_back(name);
    i = j + (empty ? 2 : 1);
  }
  if (!open.empty()) return "unclosed <" + open.back() + ">";
  return roots == 1 ? "" : "not one root";
}
