// The server's handlers without HTTP: a bad query gets the command line's own
// message for the same value, the limits and the gate refuse as they say,
// and the CSV and the chart are the command line's bytes.
#include "input/counts.h"
#include "server/serve_api.h"
#include "server/serve_assets.h"

#include <gtest/gtest.h>

#include "run_torvan.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <sstream>
#include <string>

namespace {

struct server {
  serve_limits limits;
  work_gate gate{1, 0};
  std::atomic<bool> stopping = false;
  serve_context context{limits, gate, stopping};

  reply ask(const query_params &q, distribution_form form = distribution_form::json) {
    return distribution_reply(form, q, context);
  }
};

std::string error_of(const reply &r) {
  return nlohmann::json::parse(r.body).value("error", "");
}

const query_params example = {{"ntot", "100"}, {"nhire", "20"}, {"esize", "-1"}, {"prop", "0.2"}};

query_params with(query_params q, const std::string &name, const std::string &value) {
  q.erase(name);
  q.emplace(name, value);
  return q;
}

// A command line's message with its options named as the server's
// parameters: "--minority-share" as "minority_share" (before the first quote,
// where the user's own text begins).
std::string as_parameters(const std::string &line) {
  const std::size_t quote = std::min(line.find('\''), line.size());
  std::string out;
  for (std::size_t at = 0; at < quote; ++at) {
    if (line.compare(at, 2, "--") == 0 && (at == 0 || line[at - 1] == ' ')) {
      for (at += 2;
           at < quote && (std::isalnum(static_cast<unsigned char>(line[at])) || line[at] == '-');
           ++at)
        out += line[at] == '-' ? '_' : line[at];
      --at;
    } else {
      out += line[at];
    }
  }
  return out + line.substr(quote);
}

// The first line the command line writes on standard error, without its
// "torvan: " and " (see torvan --help)", its options named as parameters.
std::string cli_message(const std::string &input, const std::string &args) {
  std::string line = run_torvan(input, args).err;
  line = line.substr(0, line.find('\n'));
  if (line.starts_with("torvan: ")) line.erase(0, 8);
  if (const std::string help = " (see torvan --help)"; line.ends_with(help))
    line.resize(line.size() - help.size());
  return as_parameters(line);
}

// A number is read as every option and parameter reads it (the free-form
// reader's rules are standard input's alone), its refusal in plain words.
TEST(ServeApi, ProblemValuesAreReadAsEveryNumber) {
  const struct {
    query_params q;
    const char *message;
  } cases[] = {
      {with(example, "ntot", "abc"), "ntot must be a whole number, not 'abc'"},
      {with(example, "ntot", "10."), "ntot must be a whole number, not '10.'"},
      {with(example, "ntot", "1e9"), "ntot must be a whole number, not '1e9'"},
      {with(example, "ntot", "99999999999"), "ntot must be a whole number, not '99999999999'"},
      {with(example, "nhire", "2e1"), "nhire must be a whole number, not '2e1'"},
      {with(example, "nhire", "20 30"), "nhire must be a whole number, not '20 30'"},
      {with(example, "esize", "1e400"), "esize must be a number, not '1e400'"},
      {with(example, "esize", "NaN"), "esize must be a number, not 'NaN'"},
      {with(example, "esize", "-1x"), "esize must be a number, not '-1x'"},
      {with(example, "esize", "1.5e"), "esize must be a number, not '1.5e'"},
      {with(example, "esize", "-1.5d-1"), "esize must be a number, not '-1.5d-1'"},
      {with(example, "esize", "0x1p3"), "esize must be a number, not '0x1p3'"},
      {with(example, "prop", "inf"), "prop must be a number, not 'inf'"},
  };
  server s;
  for (const auto &c : cases) {
    const reply r = s.ask(c.q);
    EXPECT_EQ(r.status, 400) << c.message;
    EXPECT_EQ(error_of(r), c.message);
  }
  // Blanks around a number and a plus sign are taken, as by every option.
  EXPECT_EQ(s.ask(with(with(example, "ntot", " +100 "), "method", "direct")).status, 200);
  EXPECT_EQ(s.ask(with(with(example, "esize", "-1.5E-1"), "method", "direct")).status, 200);
}

// Each value is refused with the message the command line gives for the same
// value, typed on standard input (`input`) or given as an option (`args`).
TEST(ServeApi, BadValuesGetTheCommandLinesMessage) {
  const struct {
    query_params q;
    const char *input, *args, *field;
  } cases[] = {
      {with(example, "nhire", "200"), "100 200 -1 0.2", "", ""},
      {with(example, "nhire", "-1"), "100 -1 -1 0.2", "", ""},
      {with(example, "ntot", "1"), "1 1 -1 0.2", "", ""},
      {with(example, "prop", "1"), "100 20 -1 1", "", ""},
      {with(example, "prop", "-0.25"), "100 20 -1 -0.25", "", ""},
      {with(example, "minority", "101"), "100 20 -1 0.2", "--minority 101", ""},
      {with(example, "minority", "-1"), "100 20 -1 0.2", "--minority -1", ""},
      {with(example, "minority", "1e3"), "100 20 -1 0.2", "--minority 1e3", ""},
      {with(example, "method", "exact"), "100 20 -1 0.2", "--method exact", ""},
      {with(example, "alpha", "0"), "100 20 -1 0.2", "--alpha 0", ""},
      {with(example, "alpha", "nan"), "100 20 -1 0.2", "--alpha nan", ""},
      {with(example, "alpha", "0.05x"), "100 20 -1 0.2", "--alpha 0.05x", ""},
      {with(example, "rows", "some"), "100 20 -1 0.2", "--rows some", ""},
  };
  server s;
  for (const auto &c : cases) {
    const reply r = s.ask(c.q);
    const std::string want = c.field + cli_message(std::string(c.input) + "\n", c.args);
    EXPECT_EQ(r.status, 400) << want;
    EXPECT_EQ(error_of(r), want);
  }
}

// What only a query can get wrong.
TEST(ServeApi, MalformedQueries) {
  query_params twice = example;
  twice.emplace("ntot", "50");
  query_params no_prop = example;
  no_prop.erase("prop");
  const struct {
    query_params q;
    const char *message;
  } cases[] = {
      {{}, "ntot is missing"},
      {with(example, "ntot", ""), "ntot is missing"},
      {with(example, "esize", " , "), "esize must be a number, not ' , '"},
      {with(example, "nhire", "2*20"), "nhire must be a whole number, not '2*20'"},
      {with(example, "esize", "1.5.3"), "esize must be a number, not '1.5.3'"},
      {twice, "ntot is given more than once"},
      {with(example, "bogus", "1"), "unknown parameter 'bogus'"},
      {no_prop, "prop is missing"},
  };
  server s;
  for (const auto &c : cases) {
    const reply r = s.ask(c.q);
    EXPECT_EQ(r.status, 400) << c.message;
    EXPECT_EQ(error_of(r), c.message);
  }
  // A known pool needs no proportion; the table's formats take no rows.
  EXPECT_EQ(s.ask(with(with(no_prop, "minority", "20"), "method", "direct")).status, 200);
  EXPECT_EQ(error_of(s.ask(with(example, "rows", "all"), distribution_form::csv)),
            "unknown parameter 'rows'");
  // Bytes that are not UTF-8 come back replaced, in a valid document.
  EXPECT_EQ(error_of(s.ask(with(example, "method", "\xff"))),
            "method must be nested or direct, not '\xef\xbf\xbd'");
}

// More work than the limits allow is refused before anything is computed:
// the stopping flag is set, so whatever did start would answer 503.
TEST(ServeApi, WorkBeyondTheLimits) {
  server s;
  s.limits.max_ntot = 1000;
  s.limits.max_rows = 500;
  s.stopping = true;
  const query_params direct = with(example, "method", "direct");
  const struct {
    query_params q;
    distribution_form form;
    const char *message;
  } cases[] = {
      {with(direct, "ntot", "1001"), distribution_form::json,
       "ntot = 1001 is more than this server computes (at most 1000 applicants; see torvan "
       "serve --max-ntot)"},
      {with(example, "ntot", "251"), distribution_form::json,
       "the nested method integrates every outcome of every pool and takes too long here "
       "beyond ntot x nhire = 5000 (5020 asked); method=direct gives every probability to "
       "1e-11 in a fraction of the time"},
      {direct, distribution_form::csv,
       "the table would list up to 1699 candidate ratios, more than this server lists (at most "
       "500 rows); the figures need no table"},
      {direct, distribution_form::svg,
       "the table would list up to 1699 candidate ratios, more than this server lists (at most "
       "500 rows); the figures need no table"},
  };
  for (const auto &c : cases) {
    const reply r = s.ask(c.q, c.form);
    EXPECT_EQ(r.status, 422) << c.message;
    EXPECT_EQ(error_of(r), c.message);
  }
  EXPECT_EQ(s.ask(with(example, "ntot", "250")).status, 503); // 5000: within the limit
}

// JSON with rows=all beyond the row limit keeps the figures and says why
// the rows are missing, as the command line does for a table beyond memory.
TEST(ServeApi, RowsBeyondTheLimitAreOmitted) {
  server s;
  s.limits.max_rows = 500;
  const reply r = s.ask(with(with(example, "method", "direct"), "rows", "all"));
  ASSERT_EQ(r.status, 200) << r.body;
  const auto doc = nlohmann::json::parse(r.body);
  EXPECT_TRUE(doc["rows"].is_null());
  EXPECT_NE(doc["rows_omitted"].get<std::string>().find("at most 500 rows"), std::string::npos);
  EXPECT_TRUE(doc["moments"]["mean"].is_number());
  // A known pool lists one row per outcome, no minority hire the undefined one.
  const reply known =
      s.ask(with(with(with(example, "method", "direct"), "rows", "all"), "minority", "30"));
  EXPECT_EQ(nlohmann::json::parse(known.body)["rows"].size(), 21U); // 0 ... 20 minority hires
}

TEST(ServeApi, TheGateAndTheStop) {
  const query_params small = {
      {"ntot", "10"}, {"nhire", "3"}, {"esize", "0"}, {"prop", "0.5"}, {"method", "direct"}};
  server full;
  full.gate.enter(); // the only place taken, no queue
  EXPECT_EQ(full.ask(small).status, 503);
  full.gate.leave();
  EXPECT_EQ(full.ask(small).status, 200);
  full.gate.close();
  EXPECT_EQ(error_of(full.ask(small)), "the server is stopping");
  server stopping;
  stopping.stopping = true; // cancels the computation before its first pool
  EXPECT_EQ(error_of(stopping.ask(small)), "the server is stopping");
}

// A computation that gives up answers 422: JSON with the command line's
// document, the table's formats with its reason.
TEST(ServeApi, AComputationThatGivesUp) {
  server s;
  const query_params q = {{"ntot", "20"}, {"nhire", "5"}, {"esize", "3"}, {"prop", "0.5"}};
  const reply json = s.ask(q);
  EXPECT_EQ(json.status, 422);
  const auto doc = nlohmann::json::parse(json.body);
  EXPECT_FALSE(doc["completed"].get<bool>());
  // The reason is the document's, word for word (it names the command
  // line's option), not an option's refusal.
  std::string reason = run_torvan("20 5 3 0.5\n", "--format json --threads 1").err;
  reason = reason.substr(0, reason.find('\n'));
  if (reason.starts_with("torvan: ")) reason.erase(0, 8);
  EXPECT_EQ(doc["reason"], reason);
  const reply csv = s.ask(q, distribution_form::csv);
  EXPECT_EQ(csv.status, 422);
  EXPECT_EQ(error_of(csv), reason);
}

// The CSV and the chart are the command line's, byte for byte.
TEST(ServeApi, CsvAndChartAreTheCommandLines) {
  server s;
  const query_params q = {{"ntot", "30"}, {"nhire", "8"}, {"esize", "-0.5"}, {"prop", "0.3"}};
  const reply csv = s.ask(q, distribution_form::csv);
  EXPECT_EQ(csv.type, "text/csv; charset=utf-8");
  EXPECT_EQ(csv.body, run_torvan("30 8 -0.5 0.3\n", "--format csv").out);
  const reply svg = s.ask(q, distribution_form::svg);
  EXPECT_EQ(svg.type, "image/svg+xml");
  const std::string plot = (std::filesystem::temp_directory_path() /
                            ("torvan_serve_plot_" + std::to_string(getpid()) + ".svg"))
                               .string();
  run_torvan("30 8 -0.5 0.3\n", "--format csv --plot " + plot);
  EXPECT_EQ(svg.body, slurp(plot));
  std::filesystem::remove(plot);
}

// The first line `torvan COMMAND args` writes on standard error, without
// "torvan COMMAND: ", " (see torvan COMMAND --help)" and an option's "--".
std::string command_message(const std::string &command, const std::string &args,
                            const std::string &input = "") {
  std::string line = run_torvan(input, command + " " + args).err;
  line = line.substr(0, line.find('\n'));
  if (const std::string prefix = "torvan " + command + ": "; line.starts_with(prefix))
    line.erase(0, prefix.size());
  if (const std::string help = " (see torvan " + command + " --help)"; line.ends_with(help))
    line.resize(line.size() - help.size());
  return as_parameters(line);
}

const query_params counts = {{"minority_applicants", "50"},
                             {"minority_hires", "5"},
                             {"majority_applicants", "150"},
                             {"majority_hires", "30"}};
const query_params plan = {
    {"esize", "-0.3"}, {"prop", "0.3"}, {"selection_ratio", "0.2"}, {"ntot", "10:60:10"}};

TEST(ServeApi, AuditsAndPlansAreTheCommandLines) {
  server s;
  EXPECT_EQ(audit_reply(counts, s.context).body,
            run_torvan("", "audit --format json 50 5 150 30").out);
  const std::string csv = std::string(events_header) + "\na,10,2,30,9\nb,0,0,5,1\n";
  EXPECT_EQ(audit_reply({{"events", csv}, {"alpha", "0.1"}}, s.context).body,
            run_torvan(csv, "audit --format json --alpha 0.1 --events -").out);
  const auto without_run_facts = [](const std::string &doc) {
    auto j = nlohmann::json::parse(doc);
    j.erase("threads");
    j.erase("cpu_seconds");
    return j;
  };
  const reply json = plan_reply(plan_form::json, plan, s.context);
  EXPECT_EQ(json.status, 200);
  EXPECT_EQ(without_run_facts(json.body),
            without_run_facts(
                run_torvan("", "plan --format json --esize -0.3 --prop 0.3 --selection-ratio 0.2 "
                               "--ntot 10:60:10")
                    .out));
  EXPECT_EQ(plan_reply(plan_form::svg, plan, s.context).type, "image/svg+xml");
  // They wait at the gate as the distribution does.
  s.gate.enter(); // the only place taken, no queue
  EXPECT_EQ(audit_reply(counts, s.context).status, 503);
  EXPECT_EQ(plan_reply(plan_form::json, plan, s.context).status, 503);
  s.gate.leave();
}

TEST(ServeApi, BadAuditsAndPlansGetTheCommandLinesMessage) {
  const struct {
    query_params q;
    const char *args, *input;
  } audits[] = {
      {with(counts, "minority_hires", "x"), "50 x 150 30", ""},
      {with(counts, "minority_hires", "51"), "50 51 150 30", ""},
      {with(counts, "majority_applicants", "-1"), "50 5 -1 30", ""},
      {with(counts, "alpha", "2"), "--alpha 2 50 5 150 30", ""},
      {{{"events", "a,b\n"}}, "--events -", "a,b\n"},
  };
  server s;
  for (const auto &c : audits) {
    const reply r = audit_reply(c.q, s.context);
    EXPECT_EQ(r.status, 400) << c.args;
    EXPECT_EQ(error_of(r), command_message("audit", c.args, c.input));
  }
  // The same options on the command line, each parameter as --name=value.
  const auto args_of = [](const query_params &q) {
    std::string args;
    for (const auto &[name, value] : q) {
      std::string flag = name;
      std::replace(flag.begin(), flag.end(), '_', '-');
      args += " '--" + flag + "=" + value + "'";
    }
    return args;
  };
  const query_params plans[] = {
      with(plan, "esize", "NaN"),         with(plan, "esize", "-1.5d-1"),
      with(plan, "ntot", "60:10"),        with(plan, "nhire", "5"),
      with(plan, "nhire", "1e9"),         with(plan, "rule", "bogus"),
      with(plan, "selection_ratio", "0"), with(plan, "minority_share", "0.2"),
      with(plan, "alpha", "1"),           with(with(plan, "nhire", "5"), "selection_ratio", "x"),
  };
  for (const auto &q : plans) {
    const reply r = plan_reply(plan_form::json, q, s.context);
    EXPECT_EQ(r.status, 400) << args_of(q);
    EXPECT_EQ(error_of(r), command_message("plan", args_of(q))) << args_of(q);
  }
}

// An option given twice is refused alike by every command and the server.
TEST(ServeApi, AnOptionGivenTwice) {
  server s;
  query_params twice = example;
  twice.emplace("alpha", "0.05");
  twice.emplace("alpha", "0.01");
  EXPECT_EQ(error_of(s.ask(twice)), cli_message("100 20 -1 0.2\n", "--alpha 0.05 --alpha 0.01"));
  EXPECT_EQ(error_of(s.ask(twice)), "alpha is given more than once");
  query_params plan_twice = plan;
  plan_twice.emplace("esize", "0");
  EXPECT_EQ(error_of(plan_reply(plan_form::json, plan_twice, s.context)),
            command_message("plan", "--esize=0 --esize -0.3 --prop 0.3 --selection-ratio 0.2 "
                                    "--ntot 10:60:10"));
  query_params audit_twice = counts;
  audit_twice.emplace("alpha", "0.1");
  audit_twice.emplace("alpha", "0.2");
  EXPECT_EQ(error_of(audit_reply(audit_twice, s.context)),
            command_message("audit", "--alpha 0.1 --alpha=0.2 50 5 150 30"));
}

// A plan is refused, before anything is computed, beyond --max-ntot, beyond
// plan_problems times it in all, and by the nested method beyond its limit
// summed over the sizes; so are events beyond their applicants' limit.
TEST(ServeApi, AuditsAndPlansBeyondTheLimits) {
  server s;
  s.limits.max_ntot = 1000;
  s.limits.plan_problems = 2;
  s.limits.events_applicants = 100;
  s.stopping = true;
  const struct {
    query_params q;
    const char *message;
  } cases[] = {
      {with(plan, "ntot", "10:1005:5"),
       "ntot reaches 1005 applicants, more than this server computes (at most 1000 applicants; "
       "see torvan serve --max-ntot)"},
      {with(plan, "ntot", "10:120"),
       "the plan's 111 sizes add up to 7215 applicants, more than this server computes in one "
       "plan (at most 2000, 2 times --max-ntot); a larger step draws the same curves from fewer "
       "sizes"},
      // ntot x round(0.2 ntot) for ntot = 10, 15, ..., 100.
      {with(with(plan, "ntot", "10:100:5"), "method", "nested"),
       "the nested method integrates every outcome of every pool and takes too long here beyond "
       "ntot x nhire = 5000 summed over the plan's sizes (14345 asked); method=direct gives "
       "every probability to 1e-11 in a fraction of the time"},
  };
  for (const auto &c : cases)
    for (const plan_form form : {plan_form::json, plan_form::svg}) {
      const reply r = plan_reply(form, c.q, s.context);
      EXPECT_EQ(r.status, 422) << c.message;
      EXPECT_EQ(error_of(r), c.message);
    }
  // Within the limits: started, and cancelled at once.
  EXPECT_EQ(plan_reply(plan_form::json, with(plan, "ntot", "10:60:2"), s.context).status, 503);
  const std::string csv = std::string(events_header) + "\na,10,2,30,9\nb,20,2,50,9\n";
  const reply events = audit_reply({{"events", csv}}, s.context);
  EXPECT_EQ(events.status, 422);
  EXPECT_EQ(error_of(events),
            "the 2 events hold 110 applicants in all, more than this server audits at once (at "
            "most 100)");
}

// The page loads nothing from another host and holds no inline script or
// style, which its Content-Security-Policy would block.
TEST(ServeApi, ThePageIsSelfContained) {
  std::string names;
  for (const asset &a : page_assets()) {
    names += std::string(a.path) + " ";
    const std::string text(reinterpret_cast<const char *>(a.data), a.size);
    EXPECT_EQ(text.find("https:"), std::string::npos) << a.path;
    EXPECT_EQ(text.find("style="), std::string::npos) << a.path;
    EXPECT_EQ(text.find(".innerHTML"), std::string::npos) << a.path;
    if (a.path != "/index.html") continue;
    // One script element, the page's own file; no style element, no on...= handler.
    const auto count = [&](const std::string &what) {
      std::size_t n = 0;
      for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
      return n;
    };
    EXPECT_EQ(count("<script"), 1U);
    EXPECT_EQ(count("<script src=\"/app.js\" defer></script>"), 1U);
    EXPECT_EQ(count("<style"), 0U);
    for (auto at = text.find(" on"); at != std::string::npos; at = text.find(" on", at + 1)) {
      auto end = at + 3;
      while (end < text.size() && std::isalpha(static_cast<unsigned char>(text[end])))
        ++end;
      EXPECT_FALSE(end < text.size() && text[end] == '=') << text.substr(at, end - at);
    }
  }
  EXPECT_EQ(names, "/index.html /app.js /style.css /favicon.svg ");
}

// The nested method's result checked against the direct method: refused
// with the command line's message (which names --method direct) where it is
// wrong, in JSON, CSV and the chart alike; a plan with such a size, or any
// size that cannot be computed, is refused as the command line refuses it
// (exit status 1), its document still showing the rows.
TEST(ServeApi, RefusalsAreTheCommandLines) {
  server s;
  for (const char *input : {"10 2 20 0.3", "10 2 1000 0.3", "2 1 8 0.5"}) {
    std::istringstream in(input);
    query_params q;
    for (const char *name : {"ntot", "nhire", "esize", "prop"}) {
      std::string v;
      in >> v;
      q.emplace(name, v);
    }
    const std::string message = cli_message(std::string(input) + "\n", "--format json");
    EXPECT_NE(message.find("--method direct"), std::string::npos) << message;
    for (const auto form :
         {distribution_form::json, distribution_form::csv, distribution_form::svg}) {
      const reply r = s.ask(q, form);
      EXPECT_EQ(r.status, 422) << input;
      EXPECT_EQ(error_of(r), message) << input;
    }
    EXPECT_EQ(s.ask(with(q, "method", "direct")).status, 200) << input;
  }
  const struct {
    query_params q;
    std::string args;
  } plans[] = {
      {{{"esize", "-0.5"}, {"prop", "0.3"}, {"nhire", "5"}, {"ntot", "2:8"}},
       "--esize -0.5 --prop 0.3 --nhire 5 --ntot 2:8"},
      {{{"esize", "8"},
        {"minority_share", "0.5"},
        {"nhire", "1"},
        {"ntot", "2:3"},
        {"method", "nested"}},
       "--esize 8 --minority-share 0.5 --nhire 1 --ntot 2:3 --method nested"},
  };
  for (const auto &c : plans) {
    const run_result cli = run_torvan("", "plan --format json " + c.args);
    EXPECT_EQ(cli.status, 1) << c.args;
    const reply r = plan_reply(plan_form::json, c.q, s.context);
    EXPECT_EQ(r.status, 422) << c.args;
    EXPECT_EQ("torvan plan: " + error_of(r) + "\n", cli.err) << c.args;
    const auto doc = nlohmann::json::parse(r.body);
    EXPECT_EQ(doc["rows"], nlohmann::json::parse(cli.out)["rows"]) << c.args;
    EXPECT_EQ(plan_reply(plan_form::svg, c.q, s.context).status, 422) << c.args;
  }
}

// The page asks for a plan once: its document carries the chart.
TEST(ServeApi, APlanWithItsChart) {
  server s;
  query_params q = plan;
  q.emplace("chart", "svg");
  const reply r = plan_reply(plan_form::json, q, s.context);
  ASSERT_EQ(r.status, 200);
  EXPECT_EQ(nlohmann::json::parse(r.body)["chart"],
            plan_reply(plan_form::svg, plan, s.context).body);
  EXPECT_EQ(plan_reply(plan_form::json, with(plan, "chart", "png"), s.context).status, 400);
  EXPECT_EQ(plan_reply(plan_form::svg, with(plan, "chart", "svg"), s.context).status, 400);
}

// The page's distribution tab asks for the direct method unless another is chosen.
TEST(ServeApi, ThePagesMethodIsDirect) {
  for (const asset &a : page_assets()) {
    if (a.path != std::string("/index.html")) continue;
    const std::string text(reinterpret_cast<const char *>(a.data), a.size);
    const auto select = text.find("<select name=\"method\">");
    ASSERT_NE(select, std::string::npos);
    EXPECT_EQ(text.find("<option", select), text.find("<option value=\"direct\">", select));
    EXPECT_EQ(text.find("selected", select), std::string::npos);
  }
}

} // namespace
