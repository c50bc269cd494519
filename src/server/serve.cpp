// `torvan serve`: the HTTP shell around the handlers, its limits, and how it
// starts and stops.
#include "server/serve.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <thread>
#include <variant>

#include <httplib.h>
#include <nlohmann/json.hpp>
#include <pthread.h>
#include <sys/socket.h>

#include "input/options.h"
#include "report/export.h"
#include "server/serve_api.h"
#include "server/serve_assets.h"

namespace {

// The routes that take a body: the tables of an audit, or a design's two.
constexpr const char *audit_path = "/api/audit";
bool design_path(const std::string &path) {
  return path == "/api/design" || path == "/api/design.csv" || path == "/api/design.svg";
}
bool posted_path(const std::string &path) {
  return path == audit_path || design_path(path);
}

struct serve_options {
  std::string host = "127.0.0.1";
  int port = 8080;
  serve_limits limits;
  bool help = false;
  std::string error;
};

// A whole number from `least` to `most`, as the command line reads its counts.
std::string read_between(const std::string &name, const std::string &text, int least, int most,
                         int &value) {
  std::string error = read_count(name, text, least, value);
  if (error.empty() && value > most)
    error = name + " = " + std::to_string(value) + " must lie between " + std::to_string(least) +
            " and " + std::to_string(most);
  return error;
}

serve_options parse_serve_options(const std::vector<std::string> &args) {
  serve_options o;
  std::vector<std::string> given;
  o.limits.computations = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  for (std::size_t i = 0; i < args.size() && o.error.empty(); ++i) {
    std::string value;
    if (args[i] == "--help" || args[i] == "-h") {
      o.help = true;
    } else if (option_value(args, i, "--host", value, o.error, given)) {
      if (o.error.empty() && value.empty()) o.error = "--host needs an address";
      o.host = value;
    } else if (option_value(args, i, "--port", value, o.error, given)) {
      if (o.error.empty()) o.error = read_between("--port", value, 0, 65535, o.port);
    } else if (option_value(args, i, "--threads", value, o.error, given)) {
      if (o.error.empty())
        o.error = read_between("--threads", value, 1, serve_limits::most_computations,
                               o.limits.computations);
    } else if (option_value(args, i, "--queue", value, o.error, given)) {
      if (o.error.empty())
        o.error = read_between("--queue", value, 0, serve_limits::most_queued, o.limits.queue);
    } else if (option_value(args, i, "--max-ntot", value, o.error, given)) {
      if (o.error.empty()) o.error = read_count("--max-ntot", value, 2, o.limits.max_ntot);
    } else {
      o.error = "unknown option '" + args[i] + "'";
    }
  }
  return o;
}

bool loopback(const std::string &host) {
  return host == "localhost" || host == "::1" || host.starts_with("127.");
}

std::string url_of(const std::string &host, int port) {
  const bool v6 = host.find(':') != std::string::npos;
  return "http://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port) + "/";
}

// The messages of the refusals cpp-httplib makes itself (a bad request, a
// too long request line), and of those made here.
std::string status_text(int status, const serve_limits &l) {
  switch (status) {
    case 400:
      return "the request could not be read as HTTP";
    case 405:
      return "only GET and HEAD are answered here (and POST at /api/audit and /api/design)";
    case 413:
      return "the request's body is longer than " + std::to_string(l.body_bytes) + " bytes";
    case 414:
      return "the request line is longer than " + std::to_string(l.request_line) + " bytes";
    case 431:
      return "the request's headers are longer than " + std::to_string(l.header_bytes) + " bytes";
    default:
      return "HTTP status " + std::to_string(status);
  }
}

void put_reply(httplib::Response &res, const reply &r) {
  res.status = r.status;
  res.set_content(r.body, r.type);
}

reply route(const std::string &path, const query_params &q, serve_context &c) {
  if (path == "/api/distribution") return distribution_reply(distribution_form::json, q, c);
  if (path == "/api/distribution.csv") return distribution_reply(distribution_form::csv, q, c);
  if (path == "/api/distribution.svg") return distribution_reply(distribution_form::svg, q, c);
  if (path == "/api/audit") return audit_reply(q, c);
  if (path == "/api/plan") return plan_reply(plan_form::json, q, c);
  if (path == "/api/plan.svg") return plan_reply(plan_form::svg, q, c);
  if (path == "/api/design") return design_reply(design_form::json, q, c);
  if (path == "/api/design.csv") return design_reply(design_form::csv, q, c);
  if (path == "/api/design.svg") return design_reply(design_form::svg, q, c);
  const std::string name = path == "/" ? "/index.html" : path;
  const auto assets = page_assets();
  const auto a =
      std::find_if(assets.begin(), assets.end(), [&](const asset &x) { return x.path == name; });
  if (a == assets.end()) return error_reply(404, "there is nothing at " + path);
  return {200, std::string(a->type), std::string(reinterpret_cast<const char *>(a->data), a->size)};
}

// The media type of a request's body, without its parameters (charset).
std::string media_type(const httplib::Request &req) {
  const std::string type = req.get_header_value("Content-Type");
  return type.substr(0, type.find(';'));
}

// What a POST's body may be: parameters as a JSON object of texts, or at
// /api/audit one table. (A form's application/x-www-form-urlencoded body the
// library reads itself, refusing more than 8 KiB: it is not taken.)
std::optional<std::string> posted_type_refusal(const httplib::Request &req) {
  const std::string media = media_type(req);
  if (media == "application/json") return std::nullopt;
  const std::string given = "not '" + req.get_header_value("Content-Type") + "'";
  if (design_path(req.path))
    return "a design's body must be a JSON object of parameters (application/json), " + given;
  if (media == "text/csv" || media == "text/plain" || media == "text/tab-separated-values")
    return std::nullopt;
  return "the body must be a table (text/csv) or a JSON object of parameters "
         "(application/json), " +
         given;
}

// The parameters of a POST: the query's, and the body's - the members of a
// JSON object, or one table as the parameter the query's `table` names
// (events by default).
std::variant<query_params, reply> posted_params(const httplib::Request &req) {
  query_params q(req.params.begin(), req.params.end());
  if (media_type(req) == "application/json") {
    const auto doc = nlohmann::json::parse(req.body, nullptr, false);
    if (!doc.is_object()) return error_reply(400, "the body is not a JSON object of parameters");
    for (const auto &[name, value] : doc.items()) {
      if (!value.is_string()) return error_reply(400, "the body's " + name + " is not a text");
      q.emplace(name, value.get<std::string>());
    }
    return q;
  }
  std::string table = "events";
  if (const auto t = q.find("table"); t != q.end()) {
    if (q.count("table") > 1) return error_reply(400, "table is given more than once");
    table = t->second;
    q.erase(t);
    if (table != "events" && table != "groups")
      return error_reply(400, "table must be events or groups, not '" + table + "'");
  }
  if (q.count(table))
    return error_reply(400, "give " + table + " in the query or the body, not both");
  q.emplace(table, req.body);
  return q;
}

// Every request passes here first: the method and the sizes the library
// does not bound itself.
httplib::Server::HandlerResponse screen(const httplib::Request &req, httplib::Response &res,
                                        const serve_limits &l) {
  std::size_t header_bytes = 0;
  for (const auto &[name, value] : req.headers)
    header_bytes += name.size() + value.size() + 4; // "name: value\r\n"
  int status = 0;
  // The library leaves a GET's body unread, to be taken for the next request.
  const bool body =
      req.has_header("Transfer-Encoding") ||
      (req.has_header("Content-Length") && req.get_header_value("Content-Length") != "0");
  const bool post = req.method == "POST" && posted_path(req.path);
  const std::optional<std::string> bad_type = post ? posted_type_refusal(req) : std::nullopt;
  std::string why;
  if (req.method != "GET" && req.method != "HEAD" && !post) {
    status = 405;
  } else if (body && !post) {
    status = 413;
    why = "the request has a body; only a POST to /api/audit or /api/design takes one";
  } else if (bad_type) {
    status = 415;
    why = *bad_type;
  } else if (post && std::strtoull(req.get_header_value("Content-Length").c_str(), nullptr, 10) >
                         l.body_bytes) {
    status = 413;
  } else if (req.target.size() > l.request_line)
    status = 414;
  else if (header_bytes > l.header_bytes)
    status = 431;
  if (status == 0) return httplib::Server::HandlerResponse::Unhandled;
  if (status == 405) res.set_header("Allow", "GET, HEAD");
  // Anything left of the request (a body) is unread: the client is asked
  // not to send another request on this connection.
  res.set_header("Connection", "close");
  put_reply(res, error_reply(status, why.empty() ? status_text(status, l) : why));
  return httplib::Server::HandlerResponse::Handled;
}

void configure(httplib::Server &srv, serve_context &c) {
  const serve_limits &l = c.limits;
  // Enough connection threads that pages, refusals and 503s are answered
  // while every computation place and the whole queue are taken.
  const std::size_t connections = static_cast<std::size_t>(l.computations) +
                                  static_cast<std::size_t>(l.queue) +
                                  static_cast<std::size_t>(l.spare_connections);
  srv.new_task_queue = [connections] { return new httplib::ThreadPool(connections); };
  // SO_REUSEADDR alone: the library's default adds SO_REUSEPORT, with which
  // a second server on the same port would start and share its requests.
  srv.set_socket_options([](int sock) {
    const int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  // The headers and the body go out in separate writes: without this the
  // body waits for the client's delayed acknowledgement, 40 ms a request.
  srv.set_tcp_nodelay(true);
  srv.set_read_timeout(l.read_timeout_seconds, 0);
  srv.set_write_timeout(l.read_timeout_seconds, 0);
  srv.set_keep_alive_timeout(l.keep_alive_seconds);
  srv.set_keep_alive_max_count(static_cast<std::size_t>(l.keep_alive_requests));
  srv.set_payload_max_length(l.body_bytes); // a chunked body, whose length is not told first
  srv.set_default_headers({{"Content-Security-Policy", "default-src 'self'"},
                           {"X-Content-Type-Options", "nosniff"},
                           {"Referrer-Policy", "no-referrer"},
                           {"Cache-Control", "no-cache"}});
  srv.set_pre_routing_handler(
      [&l](const httplib::Request &req, httplib::Response &res) { return screen(req, res, l); });
  srv.Get(".*", [&c](const httplib::Request &req, httplib::Response &res) {
    put_reply(res, route(req.path, req.params, c));
  });
  srv.Post(".*", [&c](const httplib::Request &req, httplib::Response &res) {
    auto q = posted_params(req);
    if (const reply *bad = std::get_if<reply>(&q)) return put_reply(res, *bad);
    put_reply(res, route(req.path, std::get<query_params>(q), c));
  });
  srv.set_error_handler([&l](const httplib::Request &, httplib::Response &res) {
    if (res.body.empty()) put_reply(res, error_reply(res.status, status_text(res.status, l)));
  });
  srv.set_exception_handler(
      [](const httplib::Request &, httplib::Response &res, const std::exception_ptr &ep) {
        std::string what = "unknown";
        try {
          std::rethrow_exception(ep);
        } catch (const std::exception &e) {
          what = e.what();
        } catch (...) {
        }
        put_reply(res, error_reply(500, "the server failed on this request: " + what));
      });
}

} // namespace

int run_serve(const std::vector<std::string> &args) {
  const serve_options o = parse_serve_options(args);
  if (!o.error.empty()) {
    std::fprintf(stderr, "torvan serve: %s (see torvan serve --help)\n", o.error.c_str());
    return 2;
  }
  if (o.help) {
    std::fputs(serve_usage().c_str(), stdout);
    return 0;
  }
  // Blocked in every thread from here on (the library's threads inherit the
  // mask): SIGINT and SIGTERM reach only the sigwait below (and SIGUSR1,
  // with which the listener wakes it), and a client that hangs up makes a
  // write fail instead of killing the server.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGUSR1);
  sigset_t blocked = signals;
  sigaddset(&blocked, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &blocked, nullptr);

  std::atomic<bool> stopping = false;
  work_gate gate(o.limits.computations, o.limits.queue);
  serve_context context{o.limits, gate, stopping};
  httplib::Server srv;
  configure(srv, context);
  const int port = o.port == 0 ? srv.bind_to_any_port(o.host) : o.port;
  if (port < 0 || (o.port != 0 && !srv.bind_to_port(o.host, o.port))) {
    std::fprintf(stderr,
                 "torvan serve: cannot listen on %s port %d (in use, or not an address "
                 "of this machine)\n",
                 o.host.c_str(), o.port);
    return 1;
  }
  if (!loopback(o.host))
    std::fprintf(stderr,
                 "torvan serve: --host %s: other machines can reach this server, which "
                 "has neither passwords nor encryption\n",
                 o.host.c_str());
  std::printf("torvan serve: %s (Ctrl-C stops it)\n", url_of(o.host, port).c_str());
  std::fflush(stdout);

  const pthread_t main_thread = pthread_self();
  std::thread listener([&] {
    srv.listen_after_bind();
    if (!stopping.exchange(true)) pthread_kill(main_thread, SIGUSR1); // it ended by itself
  });
  int sig = 0;
  sigwait(&signals, &sig);
  stopping = true; // cancels the computations under way
  gate.close();
  srv.stop();
  listener.join();
  std::fputs("torvan serve: stopped\n", stderr);
  return 0;
}

std::string serve_usage() {
  const serve_limits l;
  const auto n = [](std::int64_t v) { return std::to_string(v); };
  return R"(Usage: torvan serve [--host H] [--port P] [--threads N] [--queue N] [--max-ntot N]

Serves a page for the distribution of the adverse impact ratio, the audit
of observed counts and the planning of a study, and the JSON API behind it,
until Ctrl-C (SIGINT) or SIGTERM. Prints the address it listens on. The page
and its script are compiled into the program: nothing is read from disk and
nothing is fetched from another host.

Options:
  --host H       address to listen on (default 127.0.0.1, this machine
                 only; any other address lets other machines in, and the
                 server has neither passwords nor encryption)
  --port P       port (default 8080; 0 picks a free one, and the printed
                 address shows it)
  --threads N    computations at once, one thread each (default: every
                 hardware thread; at most )" +
         n(serve_limits::most_computations) + R"()
  --queue N      requests waiting for a computation (default )" +
         n(l.queue) + R"(, at most )" + n(serve_limits::most_queued) + R"();
                 one beyond them is answered 503 at once
  --max-ntot N   the largest ntot computed (default )" +
         n(l.max_ntot) + R"(, about a second
                 with the direct method); larger problems are refused (422)
  --help         show this text

API (GET, and POST at /api/audit and /api/design; parameters named like the
command line's options and values):
  /api/distribution?ntot=100&nhire=20&esize=-1&prop=0.2
      torvan --format json --rows none for that problem; also minority,
      method (nested or direct), alpha, and rows=all for the table's rows
  /api/distribution.csv?...   torvan --format csv
  /api/distribution.svg?...   the chart of --plot
  /api/audit?minority_applicants=50&minority_hires=5&majority_applicants=...
      torvan audit --format json for the four counts (the fourth is
      majority_hires); also alpha and format (json or text); or, in place
      of the counts, events=CSV as torvan audit --events reads it, or
      groups=CSV and reference=NAME as --groups. POST takes the table as
      its body (text/csv; table=groups names it groups) or a JSON object
      of parameters (application/json), up to )" +
         n(static_cast<std::int64_t>(l.body_bytes)) + R"( bytes
  /api/plan?esize=-0.3&prop=0.3&selection_ratio=0.2&ntot=10:2000:20
      torvan plan --format json; also minority_share (for prop), nhire
      (for selection_ratio), alpha, target, rule (repeated, or names
      separated by commas) and method
  /api/plan.svg?...           the chart of torvan plan --plot
  /api/design?predictors=CSV&correlations=CSV&ntot=200&nhire=20&prop=0.15
      torvan design --format json, the two tables as their CSV text; also
      matrix, weights, selection_ratio (for nhire), minority (for prop),
      alpha, method, points, max_risk, rule, min_impact_ratio and compare
      (repeated); POST takes them as a JSON object of parameters
  /api/design.csv?...  /api/design.svg?...   --format csv, the --plot chart
A bad value gets 400 and {"error": "..."} with the command line's message;
more work than the limits allow gets 422: the nested method up to
ntot x nhire = )" +
         n(l.nested_max_cells) + R"( (summed over a plan's sizes or a design's problems),
tables (rows=all, CSV, the chart) up to )" +
         n(l.max_rows) + R"( rows, the applicants
of a plan's sizes added up to )" +
         n(l.plan_problems) + R"( times --max-ntot and of a design's problems
to )" + n(l.design_problems) +
         R"( times, events up to )" + n(l.events_applicants) + R"( applicants in all and )" +
         n(l.max_events) +
         R"( events or groups.
The page: http://127.0.0.1:8080/?tab=distribution&ntot=100&nhire=20&esize=-1&prop=0.2

Exit status: 0 stopped by a signal, 1 could not listen, 2 a bad option.
)";
}
