// TORVAN: the exact sampling distribution of the adverse impact ratio under
// top-down selection. Reads ntot, nhire, esize and prop from standard input,
// writes the report to standard output.
//
// Exit status: 0 report complete; 1 problem refused (cannot be computed);
// 2 malformed input; 3 an integral could not be accepted (no distribution);
// 4 the report could not be written.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <thread>

#include <gsl/gsl_errno.h>
#include <gsl/gsl_version.h>
#include <unistd.h>

#include "driver/options.h"
#include "driver/progress.h"
#include "driver/reader.h"
#include "driver/report.h"
#include "engine/mixing.h"
#include "engine/table.h"

namespace {

enum exit_status { ok = 0, refused = 1, bad_input = 2, gave_up = 3, write_failed = 4 };

double cpu_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void put(const std::string &s) {
  std::fwrite(s.data(), 1, s.size(), stdout);
}

// Why the problem cannot be computed, or nothing when it can.
std::optional<std::string> refusal(const problem &p) {
  char msg[256];
  if (p.ntot < 2)
    std::snprintf(msg, sizeof msg, "ntot = %d must be at least 2", p.ntot);
  else if (p.nhire < 0 || p.nhire > p.ntot)
    std::snprintf(msg, sizeof msg, "nhire = %d must lie between 0 and ntot = %d", p.nhire, p.ntot);
  else if (!std::isfinite(p.esize))
    std::snprintf(msg, sizeof msg, "esize = %g must be a finite number", p.esize);
  else if (!(p.prop > 0.0 && p.prop < 1.0))
    std::snprintf(msg, sizeof msg, "prop = %.17g must lie strictly between 0 and 1", p.prop);
  else
    return std::nullopt;
  return std::string(msg);
}

// The table and its accumulators take 16 bytes a candidate at most; refuse a
// problem that would not fit in half the machine's memory before allocating.
std::optional<std::string> too_large(const problem &p) {
  const std::int64_t count = candidate_count(p.ntot, p.nhire);
  const double need = 16.0 * static_cast<double>(count);
  const double have = static_cast<double>(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGE_SIZE);
  if (count <= INT32_MAX && need <= have / 2) return std::nullopt;
  char msg[256];
  std::snprintf(msg, sizeof msg,
                "ntot = %d with nhire = %d needs a table of %lld candidate ratios (%.1f GiB), "
                "more than this machine can hold",
                p.ntot, p.nhire, static_cast<long long>(count), need / (1 << 30));
  return std::string(msg);
}

int finish(double t0, int status) {
  put(cpu_time_lines(cpu_seconds() - t0));
  return status;
}

// Writes a computed pool's diagnostic lines, and the library's notice for each
// abnormal outer integration, at most 10 times per error number in a run.
void emit_pool(const pool_result &r, std::map<int, int> &notices_written, progress_line &bar) {
  put(r.diag);
  for (int code : r.notices)
    if (notices_written[code]++ < 10) {
      bar.erase();
      std::fputs(abnormal_return_notice(code).c_str(), stderr);
    }
}

int run(int threads) {
  const double t0 = cpu_seconds();
  problem p;
  if (const read_error e = read_problem(stdin, p); e != read_error::none) {
    std::fputs(read_error_message(e), stderr);
    std::fflush(stderr);
    return bad_input;
  }
  put(banner());
  put(problem_lines(p));
  put(output_heading());
  put(distribution_heading());
  auto why = refusal(p);
  if (!why) why = too_large(p);
  if (why) {
    std::fflush(stdout);
    std::fprintf(stderr, "torvan: %s\n", why->c_str());
    return refused;
  }

  const std::vector<double> vai = candidate_table(p.ntot, p.nhire);
  std::vector<double> pvai(vai.size(), 0.0);
  std::map<int, int> notices_written;
  progress_line bar(stderr);
  mix_options opt;
  opt.threads = threads;
  opt.progress = [&](int done, int total) { bar.update(done, total); };
  const mix_status s = mix_pools(
      p.ntot, p.nhire, p.esize, p.prop, vai, pvai,
      [&](const pool_result &r) { emit_pool(r, notices_written, bar); }, opt);
  bar.erase();
  if (s.gave_up) {
    const int status = finish(t0, gave_up);
    std::fflush(stdout);
    std::fprintf(stderr,
                 "torvan: the integral for pool nmin = %d, outcome %d (%d majority hires) could "
                 "not be accepted after the allowed retries; no distribution was computed\n",
                 s.nmin, s.t, s.j);
    return status;
  }
  put(distribution_rows(vai, pvai));
  const moments m = ai_moments(vai, pvai);
  put(moments_lines(m.mean, m.var, m.sd));
  return finish(t0, ok);
}

} // namespace

int main(int argc, char **argv) {
  const options o = parse_options(std::vector<std::string>(argv + 1, argv + argc));
  if (!o.error.empty()) {
    std::fprintf(stderr, "torvan: %s (see torvan --help)\n", o.error.c_str());
    return bad_input;
  }
  int status = ok;
  if (o.help) {
    put(usage());
  } else if (o.version) {
    put("torvan " TORVAN_VERSION " (GNU Scientific Library " + std::string(gsl_version) + ")\n");
  } else {
    gsl_set_error_handler_off(); // no library error may abort the run
    const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
    status = run(o.threads > 0 ? o.threads : static_cast<int>(hw));
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "torvan: could not write the report: %s\n", std::strerror(errno));
    return write_failed;
  }
  return status;
}
