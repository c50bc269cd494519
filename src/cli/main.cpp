// TORVAN: the exact sampling distribution of the adverse impact ratio under
// top-down selection. Reads ntot, nhire, esize and prop from standard input,
// writes the report (or CSV, or JSON) to standard output.
//
// Exit status: 0 complete; 1 problem refused (cannot be computed), or in a
// batch any line failed; 2 malformed input or a bad option; 3 an integral
// could not be accepted (no distribution); 4 output could not be written.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gsl/gsl_version.h>

#include "cli/audit_command.h"
#include "cli/batch.h"
#include "cli/design_command.h"
#include "cli/files.h"
#include "cli/plan_command.h"
#include "cli/progress.h"
#include "engine/summary.h"
#include "engine/table.h"
#include "input/clock.h"
#include "input/options.h"
#include "input/reader.h"
#include "report/classic.h"
#include "report/export.h"
#include "report/plot.h"
#include "report/summary.h"
#include "server/serve.h"

namespace {

enum exit_status { ok = 0, refused = 1, bad_input = 2, gave_up = 3, write_failed = 4 };

void put(const std::string &s) {
  std::fwrite(s.data(), 1, s.size(), stdout);
}
void put_err(const std::string &s) {
  std::fwrite(s.data(), 1, s.size(), stderr);
}

// The moment a failure line goes to standard error, everything before it has
// reached standard output.
void fail_line(const std::string &why) {
  std::fflush(stdout);
  put_err("torvan: " + why + "\n");
}

bool write_plot(const std::string &path, const problem &p, const solution &s) {
  const bool written = write_file(path, distribution_svg(plot_of(p, s)));
  if (!written) fail_line("could not write the chart to " + path + ": " + std::strerror(errno));
  return written;
}

solve_options solve_options_of(const options &o, int threads) {
  solve_options so;
  so.threads = threads;
  so.method = o.method;
  so.minority = o.minority;
  so.alpha = o.alpha;
  so.keep_joint = o.format == output_format::joint;
  return so;
}

// What a problem that is not computed writes to standard output.
void put_refused(const options &o, const std::string &why) {
  if (o.format == output_format::csv) put(csv_header);
  if (o.format == output_format::joint) put(joint_header);
  if (o.format == output_format::json) put(json_error(why).dump(2) + "\n");
}

// The chosen format's document; the classic report's rows and moments only
// for a complete distribution.
void put_document(const options &o, const problem &p, const solve_options &so, const solution &s,
                  double cpu) {
  switch (o.format) {
    case output_format::report:
      if (completed(s.status)) {
        const moments m = ai_moments(s.vai, s.pvai, s.method);
        distribution_rows(s.vai, s.pvai, s.method, put);
        put(moments_lines(m.mean, m.var, m.sd));
      }
      put(cpu_time_lines(cpu));
      break;
    case output_format::csv:
      csv_document(s, put);
      break;
    case output_format::json:
      write_json(p, so, s, {so.threads, cpu}, 2, put);
      put("\n");
      break;
    case output_format::summary:
      put(summary_page(p, so, figures_of(s)));
      break;
    case output_format::joint:
      put(joint_document(p, so, s));
      break;
  }
}

// One problem's figures without the table: the summary page, or JSON without
// rows (saying why when rows were asked for).
int run_figures(const options &o, const problem &p, solve_options &so, double t0,
                const std::string &rows_omitted) {
  progress_line bar(stderr);
  const auto to_stderr = [&](const std::string &s) {
    bar.erase();
    put_err(s);
  };
  notice_limiter notices(to_stderr);
  so.progress = [&](int d, int t) { bar.update(d, t); };
  const figures f = solve_figures(p, so);
  bar.erase();
  if (const auto why = check_refusal(f.check)) {
    put_refused(o, *why);
    fail_line(*why);
    return refused;
  }
  render_events(f.events, to_stderr, notices, to_stderr);
  if (o.format == output_format::summary)
    put(summary_page(p, so, f));
  else
    put(json_document(p, so, f, {so.threads, process_cpu_seconds() - t0}, {nullptr, rows_omitted})
            .dump(2) +
        "\n");
  if (f.status.gave_up) {
    fail_line(gave_up_reason(f.status));
    return gave_up;
  }
  if (const auto note = check_note(f.check)) fail_line(*note);
  return ok;
}

// One problem from standard input, in the chosen format.
int run_single(const options &o, int threads) {
  const double t0 = process_cpu_seconds();
  problem p;
  if (const read_error e = read_problem(stdin, p); e != read_error::none) {
    put_err(read_error_message(e));
    std::fflush(stderr);
    return bad_input;
  }
  if (o.minority > p.ntot && p.ntot >= 2) { // a bad ntot is refused below, as without --minority
    fail_line("--minority = " + std::to_string(o.minority) +
              " must lie between 0 and ntot = " + std::to_string(p.ntot));
    return bad_input;
  }
  const bool report = o.format == output_format::report;
  if (report) put(banner() + problem_lines(p) + output_heading() + distribution_heading());
  solve_options so = solve_options_of(o, threads);
  // The summary, and JSON without rows, need no table: their figures come
  // straight from the pools. JSON with rows falls back to them, saying why,
  // when the table is too large.
  const bool json = o.format == output_format::json;
  const bool figures_only =
      o.plot.empty() && (o.format == output_format::summary || (json && !o.rows));
  const auto why = figures_only ? figures_refusal(p, so) : refusal(p, so);
  std::string rows_omitted;
  if (why && json && !figures_refusal(p, so)) {
    rows_omitted = *why;
  } else if (why) {
    put_refused(o, *why);
    fail_line(*why);
    return refused;
  }
  if (figures_only || !rows_omitted.empty()) return run_figures(o, p, so, t0, rows_omitted);

  progress_line bar(stderr);
  if (const std::int64_t count = candidate_count(p.ntot, p.nhire);
      o.minority < 0 && count > 5'000'000) {
    // Sorting a table this large takes a while before the first pool starts.
    const std::string what = "sorting " + std::to_string(count) + " candidate ratios";
    bar.note(what.c_str());
  }
  const auto to_stderr = [&](const std::string &s) {
    bar.erase();
    put_err(s);
  };
  notice_limiter notices(to_stderr);
  const auto diag = [&](const std::string &s) { report ? put(s) : to_stderr(s); };
  so.progress = [&](int d, int t) { bar.update(d, t); };
  const solution s = solve(p, so);
  bar.erase();
  if (const auto off = check_refusal(s.check)) {
    put_refused(o, *off);
    fail_line(*off);
    return refused;
  }
  render_events(s.events, diag, notices, to_stderr);
  put_document(o, p, so, s, process_cpu_seconds() - t0);
  if (!completed(s.status)) {
    fail_line(gave_up_reason(s.status));
    return gave_up;
  }
  if (const auto note = check_note(s.check)) fail_line(*note);
  if (!o.plot.empty() && !write_plot(o.plot, p, s)) return write_failed;
  return ok;
}

} // namespace

int main(int argc, char **argv) {
  if (argc > 1 && std::string(argv[1]) == "serve")
    return run_serve(std::vector<std::string>(argv + 2, argv + argc));
  if (argc > 1 && std::string(argv[1]) == "audit")
    return run_audit(std::vector<std::string>(argv + 2, argv + argc));
  if (argc > 1 && std::string(argv[1]) == "design")
    return run_design_command(std::vector<std::string>(argv + 2, argv + argc), stdout, stderr);
  if (argc > 1 && std::string(argv[1]) == "plan")
    return run_plan_command(std::vector<std::string>(argv + 2, argv + argc), stdout, stderr);
  const options o = parse_options(std::vector<std::string>(argv + 1, argv + argc));
  if (!o.error.empty()) {
    put_err("torvan: " + o.error + " (see torvan --help)\n");
    return bad_input;
  }
  int status = ok;
  if (o.help) {
    put(usage());
  } else if (o.version) {
    put("torvan " TORVAN_VERSION " (GNU Scientific Library " + std::string(gsl_version) + ")\n");
  } else {
    const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
    const int threads = o.threads > 0 ? o.threads : static_cast<int>(hw);
    status = o.batch ? run_batch(stdin, stdout, stderr, solve_options_of(o, 1), o.rows, threads)
                     : run_single(o, threads);
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    put_err(std::string("torvan: could not write the output: ") + std::strerror(errno) + "\n");
    return write_failed;
  }
  return status;
}
