// The compiled half of the Python package: a problem in, the library's
// solution out, through the library's public header and nothing else. The
// package's modules in torvan/ shape it for pandas; this file only converts
// types, computes without holding the interpreter while staying responsive
// to Ctrl-C, and turns a refusal into ValueError.
#include <atomic>
#include <cmath>
#include <ctime>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "interrupt.h"
#include "torvan.h"

namespace py = pybind11;

namespace {

// A computed problem with what its document states about the run.
struct computed {
  problem p;
  solve_options opt;
  solution s;
  run_facts facts;
};

// The audit's figures by name: the JSON document's "adverse_impact" (alpha
// first), then the two causes of an undefined ratio.
constexpr std::pair<const char *, double audit::*> audit_fields[] = {
    {"alpha", &audit::alpha},
    {"no_comparison", &audit::no_comparison},
    {"four_fifths", &audit::four_fifths},
    {"four_fifths_one_person", &audit::four_fifths_one_person},
    {"z_test", &audit::z_test},
    {"fisher_exact", &audit::fisher_exact},
    {"z_ir", &audit::z_ir},
    {"four_fifths_and_z", &audit::four_fifths_and_z},
    {"four_fifths_not_z", &audit::four_fifths_not_z},
    {"z_not_four_fifths", &audit::z_not_four_fifths},
    {"undefined_no_minority_hired", &audit::undefined_no_minority_hired},
    {"undefined_group_absent", &audit::undefined_group_absent},
};
constexpr int audit_rules = 10; // the entries of "adverse_impact"

double cpu_seconds(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

ai_method method_of(const std::string &name) {
  const auto m = method_named(name);
  if (!m) throw py::value_error("method must be nested or direct, not '" + name + "'");
  return *m;
}

// No thread count means every hardware thread, as on the command line; no
// minority count means pools mixed binomially.
solve_options options_of(const std::string &method, std::optional<int> minority, double alpha,
                         bool joint, std::optional<int> threads) {
  if (minority && *minority < 0)
    throw py::value_error("minority = " + std::to_string(*minority) + " must be at least 0");
  if (threads && *threads < 1) throw py::value_error("threads must be at least 1");
  solve_options opt;
  opt.method = method_of(method);
  opt.minority = minority.value_or(-1);
  opt.alpha = alpha;
  opt.keep_joint = joint;
  opt.threads =
      threads.value_or(static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
  return opt;
}

// The same options, stopped by `stop` and counting pools into `progress`.
solve_options watched(const solve_options &opt, const std::atomic<bool> &stop,
                      const std::function<void(int, int)> &progress) {
  solve_options o = opt;
  o.cancel = &stop;
  o.progress = progress;
  return o;
}

// A table too large for this machine is no obstacle to the direct method's
// figures: the refusal says how the package asks for them.
std::string refusal_here(const problem &p, const solve_options &opt, const std::string &why) {
  solve_options direct = opt;
  direct.method = ai_method::direct;
  if (figures_refusal(p, direct)) return why;
  return why + (opt.method == ai_method::direct ? "; here rows=False"
                                                : "; here method=\"direct\", rows=False");
}

computed compute(const problem &p, const solve_options &opt, const py::object &progress,
                 cancel_token *token) {
  if (const auto why = refusal(p, opt)) throw py::value_error(refusal_here(p, opt, *why));
  computed c{p, opt, {}, {opt.threads, 0.0}};
  run_computation(
      [&](const std::atomic<bool> &stop, const std::function<void(int, int)> &count) {
        // One thread computes on the thread that runs solve, whose own clock
        // then counts the work exactly even while other threads run other
        // problems (as a batch line is timed); more threads are counted by the
        // process clock, as a single run of the command line is.
        const clockid_t clock =
            opt.threads == 1 ? CLOCK_THREAD_CPUTIME_ID : CLOCK_PROCESS_CPUTIME_ID;
        const double t0 = cpu_seconds(clock);
        c.s = solve(p, watched(opt, stop, count));
        c.facts.cpu_seconds = cpu_seconds(clock) - t0;
      },
      progress, token);
  // The nested method's result further than 1e-4 from the direct method's.
  if (const auto why = check_refusal(c.s.check)) throw py::value_error(*why);
  return c;
}

// A problem's figures without its table, as --rows none computes them.
figures compute_figures(const problem &p, const solve_options &opt, cancel_token *token) {
  if (const auto why = figures_refusal(p, opt)) throw py::value_error(refusal_here(p, opt, *why));
  figures f;
  run_computation(
      [&](const std::atomic<bool> &stop, const std::function<void(int, int)> &count) {
        f = solve_figures(p, watched(opt, stop, count));
      },
      py::none(), token);
  if (const auto why = check_refusal(f.check)) throw py::value_error(*why);
  return f;
}

template <class T> py::array_t<T> array_of(const std::vector<T> &v) {
  return py::array_t<T>(static_cast<py::ssize_t>(v.size()), v.data());
}

template <class T> std::vector<T> vector_of(const py::handle &h) {
  const auto a = h.cast<py::array_t<T, py::array::c_style | py::array::forcecast>>();
  return {a.data(), a.data() + a.size()};
}

// The table as the command line's CSV has it: one row per value the ratio can
// take, the undefined one (NaN here, an empty field there) last; no rows when
// the computation was not completed. The cumulative column adds in table
// order, as the CSV does, so the two agree to the last bit.
py::dict table_of(const solution &s) {
  const auto n = static_cast<py::ssize_t>(completed(s.status) ? s.vai.size() : 0);
  py::array_t<double> ai(n), probability(n), cumulative(n);
  py::array_t<bool> defined(n);
  auto a = ai.mutable_unchecked<1>(), p = probability.mutable_unchecked<1>(),
       c = cumulative.mutable_unchecked<1>();
  auto d = defined.mutable_unchecked<1>();
  running_total total{s.method};
  for (py::ssize_t i = 0; i < n; ++i) {
    const double v = s.vai[static_cast<std::size_t>(i)];
    p(i) = s.pvai[static_cast<std::size_t>(i)];
    d(i) = v != UNDEF_AI;
    a(i) = v != UNDEF_AI ? v : std::nan("");
    c(i) = total.add(p(i));
  }
  py::dict t;
  t["ai"] = ai;
  t["defined"] = defined;
  t["probability"] = probability;
  t["cumulative"] = cumulative;
  return t;
}

// The summary figures of a complete distribution; nothing when it was not completed.
py::object summary_of(const figures &f) {
  if (!completed(f.status)) return py::none();
  const ai_summary &m = f.summary;
  py::dict d;
  d["mean"] = m.mean;
  d["variance"] = m.var;
  d["sd"] = m.sd;
  d["p_undefined"] = m.p_undefined;
  d["undefined_no_minority_hired"] = f.adverse_impact.undefined_no_minority_hired;
  d["undefined_group_absent"] = f.adverse_impact.undefined_group_absent;
  d["p_above_1_25"] = m.p_above;
  d["p_below_0_8"] = m.p_below;
  d["p5"] = m.p5;
  d["p25"] = m.p25;
  d["p50"] = m.p50;
  d["p75"] = m.p75;
  d["p95"] = m.p95;
  d["skipped_pool_weight"] = f.status.skipped_weight;
  d["skipped_outcome_weight"] = f.skipped_outcome_weight;
  return d;
}

// The probabilities that the adverse impact rules flag the minority, with
// alpha; nothing when the computation was not completed.
py::object adverse_impact_of(const figures &f) {
  if (!completed(f.status)) return py::none();
  py::dict d;
  for (int i = 0; i < audit_rules; ++i)
    d[audit_fields[i].first] = f.adverse_impact.*audit_fields[i].second;
  return d;
}

py::list events_of(const std::vector<pool_event> &events) {
  py::list out;
  for (const pool_event &e : events)
    out.append(py::dict(py::arg("kind") = event_kind_name(e.what), py::arg("nmin") = e.nmin,
                        py::arg("code") = e.code, py::arg("t") = e.t, py::arg("smin") = e.smin,
                        py::arg("rmaj") = e.rmaj, py::arg("stored") = e.stored,
                        py::arg("raw") = e.raw));
  return out;
}

py::object joint_of(const computed &c) {
  if (!c.opt.keep_joint) return py::none();
  py::dict d;
  std::vector<int> applicants, hires;
  std::vector<double> probability;
  for (const joint_entry &e : c.s.joint) {
    applicants.push_back(e.minority_applicants);
    hires.push_back(e.minority_hires);
    probability.push_back(e.probability);
  }
  d["minority_applicants"] = array_of(applicants);
  d["minority_hires"] = array_of(hires);
  d["probability"] = array_of(probability);
  return d;
}

// Pickling carries every field, so that a result computed on a Dask worker
// renders the same document where it arrives.
py::dict state_of(const computed &c) {
  py::list events, joint;
  for (const pool_event &e : c.s.events)
    events.append(py::make_tuple(static_cast<int>(e.what), e.nmin, e.code, e.t, e.smin, e.rmaj,
                                 e.stored, e.raw));
  for (const joint_entry &e : c.s.joint)
    joint.append(py::make_tuple(e.minority_applicants, e.minority_hires, e.probability));
  py::dict audit_state;
  for (const auto &[name, field] : audit_fields)
    audit_state[name] = c.s.adverse_impact.*field;
  const mix_status &st = c.s.status;
  py::dict d;
  d["problem"] = py::make_tuple(c.p.ntot, c.p.nhire, c.p.esize, c.p.prop);
  d["options"] = py::make_tuple(method_name(c.opt.method), c.opt.minority, c.opt.alpha,
                                c.opt.keep_joint, c.opt.threads);
  d["method"] = method_name(c.s.method);
  d["vai"] = array_of(c.s.vai);
  d["pvai"] = array_of(c.s.pvai);
  d["status"] = py::make_tuple(st.gave_up, st.nmin, st.t, st.j, st.skipped_weight, st.cancelled);
  d["events"] = events;
  d["audit"] = audit_state;
  d["joint"] = joint;
  d["cpu_seconds"] = c.facts.cpu_seconds;
  return d;
}

computed from_state(const py::dict &d) {
  computed c;
  const auto p = d["problem"].cast<py::tuple>();
  c.p = {p[0].cast<int>(), p[1].cast<int>(), p[2].cast<double>(), p[3].cast<double>()};
  const auto o = d["options"].cast<py::tuple>();
  c.opt.method = method_of(o[0].cast<std::string>());
  c.opt.minority = o[1].cast<int>();
  c.opt.alpha = o[2].cast<double>();
  c.opt.keep_joint = o[3].cast<bool>();
  c.opt.threads = o[4].cast<int>();
  c.facts = {c.opt.threads, d["cpu_seconds"].cast<double>()};
  c.s.method = method_of(d["method"].cast<std::string>());
  c.s.vai = vector_of<double>(d["vai"]);
  c.s.pvai = vector_of<double>(d["pvai"]);
  const auto st = d["status"].cast<py::tuple>();
  c.s.status = {st[0].cast<bool>(), st[1].cast<int>(),    st[2].cast<int>(),
                st[3].cast<int>(),  st[4].cast<double>(), st[5].cast<bool>()};
  for (const auto h : d["events"]) {
    const auto e = h.cast<py::tuple>();
    c.s.events.push_back({static_cast<pool_event::kind>(e[0].cast<int>()), e[1].cast<int>(),
                          e[2].cast<int>(), e[3].cast<int>(), e[4].cast<int>(), e[5].cast<int>(),
                          e[6].cast<double>(), e[7].cast<double>()});
  }
  const auto audit_state = d["audit"].cast<py::dict>();
  for (const auto &[name, field] : audit_fields)
    c.s.adverse_impact.*field = audit_state[name].cast<double>();
  for (const auto h : d["joint"]) {
    const auto e = h.cast<py::tuple>();
    c.s.joint.push_back({e[0].cast<int>(), e[1].cast<int>(), e[2].cast<double>()});
  }
  return c;
}

} // namespace

void bind_audit(py::module_ &m);  // _audit.cpp
void bind_design(py::module_ &m); // _design.cpp
void bind_groups(py::module_ &m); // _groups.cpp
void bind_plan(py::module_ &m);   // _plan.cpp

PYBIND11_MODULE(_torvan, m) {
  m.doc() = "The TORVAN library's public interface, as the torvan package uses it.";
  m.attr("version") = TORVAN_VERSION;
  m.attr("methods") =
      py::make_tuple(method_name(ai_method::nested), method_name(ai_method::direct));

  py::class_<cancel_token>(m, "CancelToken",
                           "A request to stop: computations given it stop once it is set.")
      .def(py::init<>())
      .def(
          "cancel", [](cancel_token &t) { t.flag = true; }, "Ask every computation to stop.")
      .def_property_readonly("cancelled", [](const cancel_token &t) { return t.flag.load(); });

  m.def(
      "compute",
      [](int ntot, int nhire, double esize, double prop, const std::string &method,
         std::optional<int> minority, double alpha, bool joint, std::optional<int> threads,
         const py::object &progress, cancel_token *cancel) {
        return compute({ntot, nhire, esize, prop},
                       options_of(method, minority, alpha, joint, threads), progress, cancel);
      },
      py::arg("ntot"), py::arg("nhire"), py::arg("esize"), py::arg("prop"), py::kw_only(),
      py::arg("method") = "nested", py::arg("minority") = py::none(), py::arg("alpha") = 0.05,
      py::arg("joint") = false, py::arg("threads") = py::none(), py::arg("progress") = py::none(),
      py::arg("cancel") = py::none(),
      "Computes a problem without holding the interpreter; no thread count means every "
      "hardware thread. ValueError with the command line's message when it is refused. "
      "Without a cancel token, Ctrl-C stops the computation (KeyboardInterrupt) and "
      "progress(done, total) is called as pools are finished; with one, the computation "
      "runs on the calling thread until done or until the token is set (then the result is "
      "not completed).");

  m.def(
      "figures",
      [](int ntot, int nhire, double esize, double prop, const std::string &method,
         std::optional<int> minority, double alpha, std::optional<int> threads,
         cancel_token *cancel) {
        const problem p{ntot, nhire, esize, prop};
        const solve_options opt = options_of(method, minority, alpha, false, threads);
        const figures f = compute_figures(p, opt, cancel);
        py::dict d;
        d["json"] = json_text(p, opt, f, {opt.threads, 0.0}, -1);
        d["completed"] = completed(f.status);
        d["reason"] = py::none();
        if (!completed(f.status)) d["reason"] = gave_up_reason(f.status);
        d["summary"] = summary_of(f);
        d["adverse_impact"] = adverse_impact_of(f);
        d["events"] = events_of(f.events);
        return d;
      },
      py::arg("ntot"), py::arg("nhire"), py::arg("esize"), py::arg("prop"), py::kw_only(),
      py::arg("method") = "nested", py::arg("minority") = py::none(), py::arg("alpha") = 0.05,
      py::arg("threads") = py::none(), py::arg("cancel") = py::none(),
      "The figures of a problem without its table, as the command line's --rows none: a dict "
      "of json (its document, one line), completed, reason, summary, adverse_impact and events. "
      "With the direct method no "
      "problem is too large for a table; otherwise as compute.");

  py::class_<computed>(m, "Computed")
      .def_property_readonly("problem",
                             [](const computed &c) {
                               return py::make_tuple(c.p.ntot, c.p.nhire, c.p.esize, c.p.prop);
                             })
      .def_property_readonly("method", [](const computed &c) { return method_name(c.s.method); })
      .def_property_readonly("minority",
                             [](const computed &c) -> std::optional<int> {
                               if (c.opt.minority < 0) return std::nullopt;
                               return c.opt.minority;
                             })
      .def_property_readonly("completed", [](const computed &c) { return completed(c.s.status); })
      .def_property_readonly("reason",
                             [](const computed &c) -> py::object {
                               if (completed(c.s.status)) return py::none();
                               return py::str(gave_up_reason(c.s.status));
                             })
      .def_property_readonly("threads", [](const computed &c) { return c.facts.threads; })
      .def_property_readonly("cpu_seconds", [](const computed &c) { return c.facts.cpu_seconds; })
      .def("table", [](const computed &c) { return table_of(c.s); })
      .def("summary", [](const computed &c) { return summary_of(figures_of(c.s)); })
      .def("adverse_impact", [](const computed &c) { return adverse_impact_of(figures_of(c.s)); })
      .def("events", [](const computed &c) { return events_of(c.s.events); })
      .def("joint", &joint_of)
      .def("svg", [](const computed &c) { return distribution_svg_text(c.p, c.s); })
      .def("joint_csv",
           [](const computed &c) -> py::object {
             if (!c.opt.keep_joint) return py::none();
             return py::str(joint_csv_text(c.p, c.opt, c.s));
           })
      .def(
          "json_text",
          [](const computed &c, int indent) { return json_text(c.p, c.opt, c.s, c.facts, indent); },
          py::arg("indent") = -1)
      .def(py::pickle(&state_of, &from_state));

  m.def(
      "json_reindented",
      [](const std::string &text, int indent) {
        try {
          return json_reindented(text, indent);
        } catch (const std::invalid_argument &e) {
          throw py::value_error(e.what());
        }
      },
      py::arg("text"), py::arg("indent"),
      "One of the library's JSON documents at another indent, the numbers written as before.");

  bind_audit(m);
  bind_groups(m);
  bind_plan(m);
  bind_design(m);
}
