// The compiled half of the Python package: a problem in, the library's
// solution out, through the library's public header and nothing else. The
// package's modules in torvan/ shape it for pandas; this file only converts
// types, releases the interpreter while the library computes, and turns a
// refusal into ValueError.
#include <cmath>
#include <ctime>
#include <optional>
#include <string>
#include <thread>

#include <gsl/gsl_errno.h>
#include <gsl/gsl_version.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "torvan.h"

namespace py = pybind11;

namespace {

// A computed problem with what its document states about the run.
struct computed {
  problem p;
  solution s;
  run_facts facts;
};

double cpu_seconds(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The options of a problem, checked as the command line checks its own.
// No thread count means every hardware thread, as on the command line.
solve_options options_of(const std::string &method, int minority, std::optional<int> threads) {
  if (method != "nested") throw py::value_error("method must be nested, not '" + method + "'");
  if (minority >= 0) throw py::value_error("minority is not available with the nested method");
  if (threads && *threads < 1) throw py::value_error("threads must be at least 1");
  const int every = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  return {threads.value_or(every), {}};
}

computed compute(const problem &p, const std::string &method, int minority,
                 std::optional<int> threads) {
  const solve_options opt = options_of(method, minority, threads);
  if (const auto why = refusal(p)) throw py::value_error(*why);
  computed c{p, {}, {opt.threads, 0.0}};
  // One thread computes on the calling thread, whose own clock then counts the
  // work exactly even while other threads run other problems (as a batch line
  // is timed); more threads are counted by the process clock, as a single run
  // of the command line is.
  const clockid_t clock = opt.threads == 1 ? CLOCK_THREAD_CPUTIME_ID : CLOCK_PROCESS_CPUTIME_ID;
  const py::gil_scoped_release unlocked;
  const double t0 = cpu_seconds(clock);
  c.s = solve(p, opt);
  c.facts.cpu_seconds = cpu_seconds(clock) - t0;
  return c;
}

py::array_t<double> array_of(const std::vector<double> &v) {
  return py::array_t<double>(static_cast<py::ssize_t>(v.size()), v.data());
}

std::vector<double> vector_of(const py::array_t<double> &a) {
  return {a.data(), a.data() + a.size()};
}

// The table as the command line's CSV has it: one row per value the ratio can
// take, the undefined one (NaN here, an empty field there) last; no rows when
// the computation gave up. The cumulative column adds in table order, as the
// CSV does, so the two agree to the last bit.
py::dict table_of(const solution &s) {
  const std::size_t n = s.status.gave_up ? 0 : s.vai.size();
  py::array_t<double> ai(static_cast<py::ssize_t>(n)), cum(static_cast<py::ssize_t>(n));
  py::array_t<bool> defined(static_cast<py::ssize_t>(n));
  double total = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    total += s.pvai[i];
    defined.mutable_at(i) = s.vai[i] != UNDEF_AI;
    ai.mutable_at(i) = s.vai[i] != UNDEF_AI ? s.vai[i] : std::nan("");
    cum.mutable_at(i) = total;
  }
  py::dict t;
  t["ai"] = ai;
  t["defined"] = defined;
  t["probability"] = array_of(std::vector<double>(s.pvai.begin(), s.pvai.begin() + n));
  t["cumulative"] = cum;
  return t;
}

// The summary figures of a complete distribution; nothing when it gave up.
py::object summary_of(const solution &s) {
  if (s.status.gave_up) return py::none();
  const ai_summary m = summarize(s);
  py::dict d;
  d["mean"] = m.mean;
  d["variance"] = m.var;
  d["sd"] = m.sd;
  d["p_undefined"] = m.p_undefined;
  d["p_above_1_25"] = m.p_above;
  d["p_below_0_8"] = m.p_below;
  d["p5"] = m.p5;
  d["p50"] = m.p50;
  d["p95"] = m.p95;
  d["skipped_pool_weight"] = s.status.skipped_weight;
  return d;
}

const char *kind_name(pool_event::kind k) {
  switch (k) {
    case pool_event::kind::inner_error:
      return "inner_error";
    case pool_event::kind::abnormal_return:
      return "abnormal_return";
    case pool_event::kind::accepted_as_one:
      return "accepted_as_one";
  }
  return "";
}

py::tuple event_tuple(const pool_event &e) {
  return py::make_tuple(static_cast<int>(e.what), e.nmin, e.code, e.t, e.smin, e.rmaj, e.stored,
                        e.raw);
}

pool_event event_of(const py::tuple &t) {
  return {static_cast<pool_event::kind>(t[0].cast<int>()),
          t[1].cast<int>(),
          t[2].cast<int>(),
          t[3].cast<int>(),
          t[4].cast<int>(),
          t[5].cast<int>(),
          t[6].cast<double>(),
          t[7].cast<double>()};
}

py::list events_of(const solution &s) {
  py::list out;
  for (const pool_event &e : s.events)
    out.append(py::dict(py::arg("kind") = kind_name(e.what), py::arg("nmin") = e.nmin,
                        py::arg("code") = e.code, py::arg("t") = e.t, py::arg("smin") = e.smin,
                        py::arg("rmaj") = e.rmaj, py::arg("stored") = e.stored,
                        py::arg("raw") = e.raw));
  return out;
}

// Pickling carries every field, so that a result computed on a Dask worker
// renders the same document where it arrives.
py::tuple state_of(const computed &c) {
  py::list events;
  for (const pool_event &e : c.s.events)
    events.append(event_tuple(e));
  const mix_status &st = c.s.status;
  return py::make_tuple(py::make_tuple(c.p.ntot, c.p.nhire, c.p.esize, c.p.prop), array_of(c.s.vai),
                        array_of(c.s.pvai),
                        py::make_tuple(st.gave_up, st.nmin, st.t, st.j, st.skipped_weight), events,
                        py::make_tuple(c.facts.threads, c.facts.cpu_seconds));
}

computed from_state(const py::tuple &t) {
  const auto p = t[0].cast<py::tuple>(), st = t[3].cast<py::tuple>(), f = t[5].cast<py::tuple>();
  computed c{{p[0].cast<int>(), p[1].cast<int>(), p[2].cast<double>(), p[3].cast<double>()},
             {vector_of(t[1].cast<py::array_t<double>>()),
              vector_of(t[2].cast<py::array_t<double>>()),
              {st[0].cast<bool>(), st[1].cast<int>(), st[2].cast<int>(), st[3].cast<int>(),
               st[4].cast<double>()},
              {}},
             {f[0].cast<int>(), f[1].cast<double>()}};
  for (const auto e : t[4].cast<py::list>())
    c.s.events.push_back(event_of(e.cast<py::tuple>()));
  return c;
}

} // namespace

PYBIND11_MODULE(_torvan, m) {
  m.doc() = "The TORVAN library's public interface, as the torvan package uses it.";
  // A numerical-library error must come back as a status the engine handles,
  // never abort the interpreter.
  gsl_set_error_handler_off();
  m.attr("version") = TORVAN_VERSION;
  m.attr("gsl_version") = gsl_version;
  m.attr("methods") = py::make_tuple("nested");

  m.def(
      "refusal",
      [](int ntot, int nhire, double esize, double prop) {
        return refusal({ntot, nhire, esize, prop});
      },
      "Why a problem cannot be computed, or None.");
  m.def(
      "compute",
      [](int ntot, int nhire, double esize, double prop, const std::string &method, int minority,
         std::optional<int> threads) {
        return compute({ntot, nhire, esize, prop}, method, minority, threads);
      },
      py::arg("ntot"), py::arg("nhire"), py::arg("esize"), py::arg("prop"), py::kw_only(),
      py::arg("method") = "nested", py::arg("minority") = -1, py::arg("threads") = py::none(),
      "Computes a problem without holding the interpreter; no thread count means every hardware "
      "thread, a minority below 0 none. ValueError with the command line's message when it is "
      "refused.");

  py::class_<computed>(m, "Computed")
      .def_property_readonly("problem",
                             [](const computed &c) {
                               return py::make_tuple(c.p.ntot, c.p.nhire, c.p.esize, c.p.prop);
                             })
      .def_property_readonly("completed", [](const computed &c) { return !c.s.status.gave_up; })
      .def_property_readonly("reason",
                             [](const computed &c) -> py::object {
                               if (!c.s.status.gave_up) return py::none();
                               return py::str(gave_up_reason(c.s.status));
                             })
      .def_property_readonly("threads", [](const computed &c) { return c.facts.threads; })
      .def_property_readonly("cpu_seconds", [](const computed &c) { return c.facts.cpu_seconds; })
      .def("table", [](const computed &c) { return table_of(c.s); })
      .def("summary", [](const computed &c) { return summary_of(c.s); })
      .def("events", [](const computed &c) { return events_of(c.s); })
      .def(
          "json_text",
          [](const computed &c, int indent) { return json_text(c.p, c.s, c.facts, indent); },
          py::arg("indent") = -1)
      .def(py::pickle(&state_of, &from_state));
}
