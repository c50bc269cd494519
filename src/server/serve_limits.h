#pragma once

#include <cstddef>
#include <cstdint>

// Every limit of `torvan serve`, in one place. The defaults keep one request
// to a few seconds and a few hundred megabytes on a small machine; the
// options of `torvan serve` change the first three.
struct serve_limits {
  int computations = 1; // --threads (default: every hardware thread), one thread each
  int queue = 16;       // --queue: requests waiting for a computation; beyond them 503
  // What the options accept: a connection thread is started for each place.
  static constexpr int most_computations = 256;
  static constexpr int most_queued = 1024;
  int max_ntot = 20000; // --max-ntot: direct method, 20000 10000 -0.5 0.3 takes 1.1 s here
  // The nested method integrates every outcome of every pool: ntot * nhire
  // at most this (150 40 -1 0.2 takes 4 s here, 100 20 -1 0.2 1.6 s).
  std::int64_t nested_max_cells = 5000;
  // A plan computes its sizes one after another, each within max_ntot: their
  // ntot added up at most this many times max_ntot (10:2000:20, 100000
  // applicants in 100 sizes, takes 1.3 s here; 16000:20000:1000 with half
  // hired and prop 0.5, the slowest kind, 3.8 s). This also bounds the
  // sizes: from 2 in steps of 1, 446 at most (2 s).
  int plan_problems = 5;
  // A design solves its points, comparisons and choice one after another
  // (design_problems()), each within max_ntot: their ntot added up at most
  // this many times max_ntot (41 problems of 4878 applicants, half of them
  // hired, prop 0.5, the slowest kind, take 2.9 s here).
  int design_problems = 10;
  // Several events audited at once: their applicants added up at most this
  // (40 events of 100000 take 1.4 s here).
  std::int64_t events_applicants = 4000000;
  // And at most this many events (or groups): 1000 events of 200 applicants
  // take 1.5 s here, and 1 MiB of CSV holds some 20000.
  std::int64_t max_events = 2000;
  // Rows of a table listed (JSON with rows, CSV, the chart): 1000 100 -0.5
  // 0.3 has about this many, 13 MB of JSON written in 0.3 s.
  std::int64_t max_rows = 100000;

  std::size_t request_line = 4096; // the request target (path and query), bytes; beyond it 414
  std::size_t header_bytes = 8192; // all header lines together; beyond them 431
  // A POST's body (the tables of an audit), bytes; beyond it 413.
  std::size_t body_bytes = 1 << 20;
  int read_timeout_seconds = 5;  // a request that stops halfway is dropped after this
  int keep_alive_seconds = 2;    // an idle connection is closed after this
  int keep_alive_requests = 100; // requests on one connection
  // Connections are served by computations + queue + spare_connections
  // threads, so pages and refusals are answered while the queue is full.
  int spare_connections = 4;
};
