#!/usr/bin/env bash
# torvan serve under load on loopback: requests a second and latency of the
# JSON API from 16 clients at once, for a few distributions, audits and
# plans, and the server's peak RSS. Bounded: a fixed count of requests per problem.
#   bench/serve.sh [REQUESTS]     (default 400 per problem)
set -euo pipefail
source "$(dirname "$0")/prelude.sh"
requests=${1:-400}

"$bin" serve --port 0 --threads 2 >"$tmp/address" 2>"$tmp/err" &
server=$!
trap 'kill "$server" 2>/dev/null || true; rm -rf "$tmp"' EXIT
for _ in $(seq 50); do grep -q http "$tmp/address" && break; sleep 0.1; done
port=$(sed -n 's|.*http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$tmp/address")

/usr/bin/python3 - "$port" "$requests" <<'PY' >&2
import concurrent.futures, http.client, statistics, sys, time, urllib.parse

port, requests, clients = int(sys.argv[1]), int(sys.argv[2]), 16
events = "event,minority_applicants,minority_hires,majority_applicants,majority_hires\n" + "".join(
    f"e{i},{250 + i},{25 + i % 5},750,150\n" for i in range(10))
# Each problem's name, its target and the share of the requests it gets.
problems = [
    ("20 5 -0.5 0.3, direct", "/api/distribution?ntot=20&nhire=5&esize=-0.5&prop=0.3&method=direct", 1),
    ("1000 100 -0.5 0.3, direct",
     "/api/distribution?ntot=1000&nhire=100&esize=-0.5&prop=0.3&method=direct", 1),
    ("20000 2000 -1 0.3, direct",
     "/api/distribution?ntot=20000&nhire=2000&esize=-1&prop=0.3&method=direct", 1 / 40),
    ("30 8 -1 0.2, nested", "/api/distribution?ntot=30&nhire=8&esize=-1&prop=0.2", 1),
    ("audit 50 5 150 30", "/api/audit?minority_applicants=50&minority_hires=5"
     "&majority_applicants=150&majority_hires=30", 1),
    ("audit, 10 events of 1000", "/api/audit?" + urllib.parse.urlencode({"events": events}), 1),
    ("plan 10:2000:20, direct",
     "/api/plan?esize=-0.3&prop=0.3&selection_ratio=0.2&ntot=10:2000:20", 1 / 40),
]

def client(target, count):
    c = http.client.HTTPConnection("127.0.0.1", port, timeout=120)
    times = []
    for _ in range(count):
        start = time.monotonic()
        c.request("GET", target)
        r = c.getresponse()
        r.read()
        assert r.status == 200, r.status
        times.append(time.monotonic() - start)
    c.close()
    return times

print(f"{'problem':28} {'requests':>8} {'per_s':>8} {'p50_ms':>8} {'p95_ms':>8}")
for name, target, share in problems:
    count = max(clients, int(requests * share))
    start = time.monotonic()
    with concurrent.futures.ThreadPoolExecutor(clients) as pool:
        parts = pool.map(client, [target] * clients, [count // clients] * clients)
        times = sorted(t for p in parts for t in p)
    wall = time.monotonic() - start
    p95 = times[int(0.95 * (len(times) - 1))]
    print(f"{name:28} {len(times):8d} {len(times) / wall:8.1f} "
          f"{1000 * statistics.median(times):8.1f} {1000 * p95:8.1f}")
PY
awk '/VmHWM/ { printf "server peak RSS: %.1f MB\n", $2 / 1024 }' "/proc/$server/status" >&2
kill -TERM "$server"
wait "$server"
