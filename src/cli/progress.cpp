// Progress of a long run, for the person watching the terminal.
#include "cli/progress.h"

#include <cmath>
#include <ctime>

#include <unistd.h>

namespace {

double wall_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void clock_text(char *buf, std::size_t size, double seconds) {
  const long s = std::lround(seconds);
  std::snprintf(buf, size, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
}

} // namespace

progress_line::progress_line(std::FILE *term, const char *unit)
    : term_(term), unit_(unit), active_(isatty(fileno(term)) != 0), start_(wall_seconds()) {}

void progress_line::update(int done, int total) {
  update(done, total, total > 0 ? static_cast<double>(done) / total : 0.0);
}

void progress_line::update(int done, int total, double share) {
  const double now = wall_seconds();
  // Quiet for the first second, so short runs never show a line, and at most
  // a few updates a second after that.
  if (!active_ || now - start_ < 1.0 || now - last_ < 0.2) return;
  last_ = now;
  const double elapsed = now - start_;
  char used[32], left[32] = "?";
  clock_text(used, sizeof used, elapsed);
  if (share > 0.0) clock_text(left, sizeof left, elapsed * (1.0 - share) / share);
  std::fprintf(term_, "\r\033[Ktorvan: %d of %d %s, %s elapsed, about %s left", done, total, unit_,
               used, left);
  std::fflush(term_);
  shown_ = true;
}

void progress_line::note(const char *what) {
  if (!active_) return;
  std::fprintf(term_, "\r\033[Ktorvan: %s", what);
  std::fflush(term_);
  shown_ = true;
}

void progress_line::erase() {
  if (!shown_) return;
  std::fputs("\r\033[K", term_);
  std::fflush(term_);
  shown_ = false;
}
