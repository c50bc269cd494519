// The report's layouts, kept in the notation that places every character so
// that each can be read against the lines it produces.
#include "report/classic.h"

#include <cstdio>

#include "report/columns.h"

std::string banner() {
  return render_layout("(20X,'++++++++++++',/,20X,'++ TORVAN ++',/,20X,'++++++++++++',/,/,"
                       "'Analytical computation of the expected value and the',/,"
                       "'sampling distribution function of the adverse impact ratio',/,"
                       "'for single-stage selection decisions when only the total',/,"
                       "'number of candidates and the proportion of minority',/,"
                       "'applicants in the total applicant population is given.',/,/,"
                       "'Written by the TORVAN developers',/,/,"
                       "'The program uses routines from the Slatec library (see',/,"
                       "'https://www.netlib.org/slatec/) and a couple',/,"
                       "'of algorithms from StatLib (see https://lib.stat.cmu.edu/apstat/)')",
                       {});
}

std::string problem_lines(const problem &p) {
  return render_layout("(/,'PROBLEM SPECIFICATION',/,/,"
                       "'Total number of applicants:',I7,/,"
                       "'Required number of new employees:',I7,/,"
                       "'Effect size predictor (composite):',F10.6,/,"
                       "'Proportion of minority applicants in applicant population:',F7.3)",
                       {p.ntot, p.nhire, p.esize, p.prop});
}

std::string output_heading() {
  return render_layout("(/,'PROGRAM OUTPUT')", {});
}

std::string distribution_heading() {
  return render_layout("(/,'Exact Sampling Distribution Function Adverse Impact',' (AI).',/,"
                       "'The value 999999.9 for AI means AI is not defined',/,"
                       "'N: number of AI ratio value in the sorted list ',/,"
                       "'VAI: value of the AI ratio',/,"
                       "'PVAI: probability of the AI ratio value',/,"
                       "'      (PVAI values printed as 0.0e+0 are actually very',/,"
                       "'      small and certainly less than .1e-09)',/,"
                       "'CPVAI: cumulative probability AI ratio value',/,/,"
                       "'       N          VAI            PVAI           CPVAI')",
                       {});
}

std::string row_line(int i, double vai, double pvai, double cpvai) {
  return render_layout("(I8,F13.5,2X,D14.5,F16.12)", {i, vai, pvai, cpvai});
}

void distribution_rows(const std::vector<double> &vai, const std::vector<double> &pvai,
                       ai_method method, const std::function<void(const std::string &)> &write) {
  constexpr std::size_t rows_at_once = 4096;
  std::string out;
  running_total cpvai{method};
  for (std::size_t i = 0; i < vai.size(); ++i) {
    out += row_line(static_cast<int>(i + 1), vai[i], pvai[i], cpvai.add(pvai[i]));
    if ((i + 1) % rows_at_once == 0 || i + 1 == vai.size()) {
      write(out);
      out.clear();
    }
  }
}

std::string moments_lines(double mean, double var, double sd) {
  return render_layout("(/,'Expected value, variance and standard deviation of the',/,"
                       "'AI ratio are:',3F10.4,' respectively')",
                       {mean, var, sd});
}

std::string cpu_time_lines(double seconds) {
  return render_layout("(/,'CPU TIME IN SECONDS ',F12.2)", {seconds});
}

std::string accepted_as_one_line(int t, int smin, int rmaj, double stored, double raw) {
  return render_layout("(10X,I6,2I7,F10.5,D20.10)", {t, smin, rmaj, stored, raw});
}

std::string inner_error_line(int code) {
  return render_layout("('DQAG ERROR in FUN',I4)", {code});
}

std::string abnormal_return_notice(int code) {
  return " ***MESSAGE FROM ROUTINE DQAG IN LIBRARY SLATEC.\n"
         " ***INFORMATIVE MESSAGE, PROG CONTINUES, TRACEBACK REQUESTED\n"
         " *  ABNORMAL RETURN\n"
         " *  ERROR NUMBER = " +
         std::to_string(code) +
         "\n"
         " *   \n"
         " ***END OF MESSAGE\n"
         " \n";
}

void notice_limiter::operator()(int code) {
  auto it = written_.begin();
  while (it != written_.end() && it->first != code)
    ++it;
  if (it == written_.end()) it = written_.insert(it, {code, 0});
  if (it->second++ < 10) write_(abnormal_return_notice(code));
}

std::string accuracy_warning_line(int nmin, double factor) {
  char buf[200];
  std::snprintf(buf, sizeof buf,
                "torvan: warning: pool with %d minority applicants: the direct method's error "
                "estimate is %.3g times its bound; its probabilities are used all the same\n",
                nmin, factor);
  return buf;
}

void render_events(const std::vector<pool_event> &events,
                   const std::function<void(const std::string &)> &diag, notice_limiter &notices,
                   const std::function<void(const std::string &)> &warn) {
  using kind = pool_event::kind;
  for (auto first = events.begin(); first != events.end();) {
    auto last = first;
    while (last != events.end() && last->nmin == first->nmin)
      ++last;
    std::string lines;
    for (auto e = first; e != last; ++e) {
      if (e->what == kind::inner_error) lines += inner_error_line(e->code);
      if (e->what == kind::accepted_as_one)
        lines += accepted_as_one_line(e->t, e->smin, e->rmaj, e->stored, e->raw);
    }
    if (!lines.empty()) diag(lines);
    for (auto e = first; e != last; ++e)
      if (e->what == kind::abnormal_return) notices(e->code);
    for (auto e = first; e != last; ++e)
      if (e->what == kind::accuracy_shortfall) warn(accuracy_warning_line(e->nmin, e->raw));
    first = last;
  }
}
