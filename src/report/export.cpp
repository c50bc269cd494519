// CSV and JSON forms of a computed distribution.
#include "report/export.h"

#include <cmath>
#include <cstdio>

#include <gsl/gsl_version.h>

namespace {

std::string g17(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

// JSON has no NaN: an undefined moment or percentile is null.
nlohmann::ordered_json number(double v) {
  return std::isnan(v) ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(v);
}

nlohmann::ordered_json rows(const solution &s) {
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  double cum = 0.0;
  for (std::size_t i = 0; i < s.vai.size(); ++i) {
    cum += s.pvai[i];
    const bool defined = s.vai[i] != UNDEF_AI;
    out.push_back(
        {{"n", i + 1},
         {"ai", defined ? nlohmann::ordered_json(s.vai[i]) : nlohmann::ordered_json(nullptr)},
         {"defined", defined},
         {"probability", s.pvai[i]},
         {"cumulative", cum}});
  }
  return out;
}

nlohmann::ordered_json header(const problem &p, const run_facts &facts) {
  return {{"program", "torvan"},
          {"version", TORVAN_VERSION},
          {"library", std::string("GNU Scientific Library ") + gsl_version},
          {"problem", {{"ntot", p.ntot}, {"nhire", p.nhire}, {"esize", p.esize}, {"prop", p.prop}}},
          {"threads", facts.threads},
          {"cpu_seconds", facts.cpu_seconds}};
}

} // namespace

std::string csv_document(const solution &s) {
  std::string out = csv_header;
  if (s.status.gave_up) return out;
  double cum = 0.0;
  for (std::size_t i = 0; i < s.vai.size(); ++i) {
    cum += s.pvai[i];
    const bool defined = s.vai[i] != UNDEF_AI;
    out += std::to_string(i + 1) + ',' + (defined ? g17(s.vai[i]) : "") + ',' +
           (defined ? "true" : "false") + ',' + g17(s.pvai[i]) + ',' + g17(cum) + '\n';
  }
  return out;
}

std::string gave_up_reason(const mix_status &st) {
  return "the integral for pool nmin = " + std::to_string(st.nmin) + ", outcome " +
         std::to_string(st.t) + " (" + std::to_string(st.j) +
         " majority hires) could not be accepted after the allowed retries; no distribution "
         "was computed";
}

nlohmann::ordered_json json_document(const problem &p, const solution &s, const run_facts &facts) {
  nlohmann::ordered_json doc = header(p, facts);
  doc["completed"] = !s.status.gave_up;
  if (s.status.gave_up) {
    doc["reason"] = gave_up_reason(s.status);
    return doc;
  }
  const ai_summary sum = summarize(s);
  doc["rows"] = rows(s);
  doc["moments"] = {
      {"mean", number(sum.mean)}, {"variance", number(sum.var)}, {"sd", number(sum.sd)}};
  doc["p_undefined"] = sum.p_undefined;
  doc["skipped_pool_weight"] = s.status.skipped_weight;
  doc["p_above_1_25"] = sum.p_above;
  doc["p_below_0_8"] = sum.p_below;
  doc["percentiles"] = {{"p5", number(sum.p5)}, {"p50", number(sum.p50)}, {"p95", number(sum.p95)}};
  return doc;
}

nlohmann::ordered_json json_error(const std::string &error) {
  return {{"program", "torvan"}, {"completed", false}, {"error", error}};
}

std::string json_text(const problem &p, const solution &s, const run_facts &facts, int indent) {
  return json_document(p, s, facts).dump(indent);
}

std::string json_error_text(const std::string &error, int indent) {
  return json_error(error).dump(indent);
}
