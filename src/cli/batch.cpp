// Batch mode: many problems, one JSON line each.
#include "cli/batch.h"

#include <optional>
#include <string>
#include <vector>

#include "engine/ordered.h"
#include "input/clock.h"
#include "input/reader.h"
#include "report/classic.h"
#include "report/export.h"

namespace {

struct batch_line {
  int number; // line number in the input, from 1
  std::string text;
};

struct batch_result {
  std::string json; // one line
  std::string err;  // diagnostic lines and notices, for standard error
  bool failed;
};

bool skipped(const std::string &line) {
  const auto first = line.find_first_not_of(" \t\r");
  return first == std::string::npos || line[first] == '#';
}

std::vector<batch_line> read_lines(std::FILE *in) {
  std::vector<batch_line> lines;
  std::string text;
  int number = 0;
  for (int c; (c = std::getc(in)) != EOF;) {
    if (c != '\n') {
      text += static_cast<char>(c);
      continue;
    }
    ++number;
    if (!skipped(text)) lines.push_back({number, text});
    text.clear();
  }
  if (!text.empty() && !skipped(text)) lines.push_back({number + 1, text});
  return lines;
}

// Reads the line's problem with the same rules as a single run.
read_error parse(const std::string &text, problem &p) {
  std::string line = text + '\n';
  std::FILE *f = fmemopen(line.data(), line.size(), "r");
  if (f == nullptr) return read_error::end_of_file;
  const read_error e = read_problem(f, p);
  std::fclose(f);
  return e;
}

batch_result solve_line(const batch_line &line, const solve_options &opt, bool rows) {
  batch_result r{"", "", true};
  nlohmann::ordered_json doc{{"line", line.number}, {"input", line.text}};
  std::optional<solution> table;
  method_check check; // of a nested result shown
  problem p;
  const auto why = [&] { return rows ? refusal(p, opt) : figures_refusal(p, opt); };
  const double t0 = thread_cpu_seconds();
  const auto to_err = [&](const std::string &d) { r.err += d; };
  notice_limiter notices(to_err);
  if (const read_error e = parse(line.text, p); e != read_error::none) {
    doc.update(json_error(read_error_line(e)));
  } else if (const auto bad = figures_refusal(p, opt)) {
    doc.update(json_error(*bad));
  } else if (const auto omitted = why(); omitted || !rows) {
    // The figures alone: no rows asked for, or no room for the table.
    const figures f = solve_figures(p, opt);
    if (const auto refused = check_refusal(f.check)) {
      doc.update(json_error(*refused));
    } else {
      check = f.check;
      render_events(f.events, to_err, notices, to_err);
      doc.update(json_document(p, opt, f, {1, thread_cpu_seconds() - t0},
                               {nullptr, omitted ? *omitted : ""}));
      r.failed = !completed(f.status);
    }
  } else if (solution s = solve(p, opt); const auto refused = check_refusal(s.check)) {
    doc.update(json_error(*refused));
  } else {
    table = std::move(s);
    check = table->check;
    render_events(table->events, to_err, notices, to_err);
    doc.update(json_document(p, opt, figures_of(*table), {1, thread_cpu_seconds() - t0},
                             {&*table, "", true}));
    r.failed = !completed(table->status);
  }
  if (const auto note = check_note(check))
    r.err += "torvan: line " + std::to_string(line.number) + ": " + *note + "\n";
  write_with_rows(doc, table ? &*table : nullptr, -1,
                  [&](const std::string &part) { r.json += part; });
  r.json += '\n';
  return r;
}

} // namespace

int run_batch(std::FILE *in, std::FILE *out, std::FILE *err, const solve_options &line_options,
              bool rows, int threads) {
  const std::vector<batch_line> lines = read_lines(in);
  bool any_failed = false;
  ordered_parallel<batch_result>(
      static_cast<int>(lines.size()), threads,
      [&](int, int i) {
        return solve_line(lines[static_cast<std::size_t>(i)], line_options, rows);
      },
      [&](int, batch_result &r) {
        std::fputs(r.err.c_str(), err);
        std::fputs(r.json.c_str(), out);
        std::fflush(out);
        any_failed = any_failed || r.failed;
        return !std::ferror(out);
      });
  if (std::ferror(out)) return 4;
  return any_failed ? 1 : 0;
}
