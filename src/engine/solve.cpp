// From a problem to its distribution: the checks at the edge, then the table
// and the pool loop.
#include <cmath>
#include <cstdio>

#include <unistd.h>

#include "engine/mixing.h"
#include "engine/summary.h"
#include "engine/table.h"
#include "torvan.h"

namespace {

// The table and its accumulators take 16 bytes a candidate at most; a problem
// that would need more than half the machine's memory is refused before
// anything is allocated. Row numbers are 32-bit, which bounds the count too.
std::optional<std::string> too_large(const problem &p) {
  const std::int64_t count = candidate_count(p.ntot, p.nhire);
  const double need = 16.0 * static_cast<double>(count);
  const double have =
      static_cast<double>(sysconf(_SC_PHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGE_SIZE));
  if (count <= INT32_MAX && need <= have / 2) return std::nullopt;
  char msg[256];
  std::snprintf(msg, sizeof msg,
                "ntot = %d with nhire = %d needs a table of %lld candidate ratios (%.1f GiB), "
                "more than this machine can hold",
                p.ntot, p.nhire, static_cast<long long>(count), need / (1 << 30));
  return std::string(msg);
}

} // namespace

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
    return too_large(p);
  return std::string(msg);
}

solution solve(const problem &p, const solve_options &opt) {
  solution s;
  s.vai = candidate_table(p.ntot, p.nhire);
  s.pvai.assign(s.vai.size(), 0.0);
  const auto emit = [&](int nmin, const pool_result &r) {
    for (pool_event e : r.events) {
      e.nmin = nmin;
      s.events.push_back(e);
    }
  };
  s.status =
      mix_pools(p.ntot, p.nhire, p.esize, p.prop, s.vai, s.pvai, emit, {opt.threads, opt.progress});
  return s;
}

ai_summary summarize(const solution &s) {
  return summarize(s.vai, s.pvai);
}
