"""Hostile and broken requests: each gets its 4xx, or its connection is closed
after the read timeout, and the server goes on answering correctly."""

import json
import socket
import threading
import time

import pytest

from conftest import cli, line, query, without_run_facts

GOOD = (60, 12, -0.8, 0.3)


def good_answer_still_right(server):
    status, _, body = server.get("/api/distribution?" + query(GOOD, method="direct"))
    assert status == 200
    want = cli(line(GOOD), "--format", "json", "--rows", "none", "--method", "direct")
    assert without_run_facts(body) == without_run_facts(want)


E = "&esize=-1&prop=0.2"
CASES = [
    ("ntot=abc&nhire=20" + E, 400, "ntot must be a whole number, not 'abc'"),
    ("ntot=1e9&nhire=20" + E, 400, "ntot must be a whole number, not '1e9'"),
    ("ntot=100&nhire=20&esize=NaN&prop=0.2", 400, "esize must be a number, not 'NaN'"),
    ("ntot=100&nhire=20&esize=inf&prop=0.2", 400, "esize must be a number, not 'inf'"),
    ("ntot=100&nhire=20&esize=1e400&prop=0.2", 400, "esize must be a number, not '1e400'"),
    ("ntot=100&nhire=20&esize=-1&prop=1e-400", 400, "prop = 0 must lie strictly between 0 and 1"),
    ("ntot=-5&nhire=20" + E, 400, "ntot = -5 must be at least 2"),
    ("ntot=100&nhire=-1" + E, 400, "nhire = -1 must lie between 0 and ntot = 100"),
    ("ntot=99999999999&nhire=20" + E, 400, "ntot must be a whole number, not '99999999999'"),
    ("ntot=2147483647&nhire=20" + E + "&method=direct", 422,
     "ntot = 2147483647 is more than this server computes (at most 20000 applicants; "
     "see torvan serve --max-ntot)"),
    ("ntot=1000&nhire=100" + E, 422, "the nested method integrates every outcome"),
    ("ntot=100&nhire=20" + E + "&alpha=1e400", 400,
     "alpha must be a number, not '1e400'"),
    ("ntot=100&nhire=20" + E + "&minority=99999999999", 400,
     "minority must be a whole number, not '99999999999'"),
    ("", 400, "ntot is missing"),
    ("ntot=100&nhire=20&prop=0.2", 400, "esize is missing"),
    ("ntot=&nhire=20" + E, 400, "ntot is missing"),
    ("ntot=100&nhire=20%2030" + E, 400, "nhire must be a whole number, not '20 30'"),
    ("ntot=100&ntot=50&nhire=20" + E, 400, "ntot is given more than once"),
    ("ntot=100&nhire=20" + E + "&format=csv", 400, "unknown parameter 'format'"),
    ("ntot=1%002&nhire=20" + E, 400, "ntot must be a whole number, not '1\x002'"),
    ("ntot=100&nhire=20" + E + "&method=%FF", 400, "method must be nested or direct, not '\ufffd'"),
    ("ntot=100&nhire=20" + E + "&method=%3Cscript%3Ealert(1)%3C/script%3E", 400,
     "method must be nested or direct, not '<script>alert(1)</script>'"),
    ("ntot=100&nhire=20" + E + "&method=" + "x" * 4000, 400, "method must be nested or direct"),
]


@pytest.mark.parametrize("target,status,message", CASES)
def test_bad_parameters(server, target, status, message):
    got, headers, body = server.get("/api/distribution?" + target)
    assert got == status, body
    assert headers["Content-Type"] == "application/json"
    assert json.loads(body)["error"].startswith(message)


def test_tables_beyond_the_limit(server):
    big = query((20000, 10000, -0.5, 0.3), method="direct")
    status, _, body = server.get("/api/distribution?" + big + "&rows=all")
    doc = json.loads(body)
    assert status == 200 and doc["rows"] is None and "at most 100000 rows" in doc["rows_omitted"]
    for kind in ("csv", "svg"):
        status, _, body = server.get(f"/api/distribution.{kind}?" + big)
        assert status == 422 and "at most 100000 rows" in json.loads(body)["error"]
    good_answer_still_right(server)


def exchange(server, data, timeout=15):
    """Sends raw bytes; the status of the first answer (None without one) and
    the seconds until the server closed the connection."""
    s = socket.create_connection(("127.0.0.1", server.port), timeout=timeout)
    start = time.monotonic()
    received = b""
    try:
        s.sendall(data)
        while chunk := s.recv(65536):
            received += chunk
    except (ConnectionResetError, BrokenPipeError):
        pass
    finally:
        s.close()
    head = received.split(b"\r\n", 1)[0].split()
    return (int(head[1]) if len(head) > 1 else None), time.monotonic() - start


def request(target, method=b"GET", headers=b"", body=b""):
    return (method + b" " + target + b" HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
            + headers + b"\r\n" + body)


RAW = [
    (request(b"/../../etc/passwd"), 404),
    (request(b"/%2e%2e/%2e%2e/etc/passwd"), 404),
    (request(b"/api/../../index.html"), 404),
    (request(b"//etc/passwd"), 404),
    (request(b"/?" + b"a" * (1 << 20)), 414),  # a 1 MB query
    (request(b"/api/distribution?ntot=" + b"1" * 5000), 414),
    (request(b"/", headers=b"".join(b"X-%d: %s\r\n" % (i, b"v" * 1000) for i in range(10))), 431),
    (request(b"/", headers=b"X-Long: " + b"v" * 10000 + b"\r\n"), 400),
    (request(b"/", headers=b"Content-Length: 5\r\n", body=b"hello"), 413),
    (request(b"/api/distribution", method=b"POST", headers=b"Content-Length: 2\r\n",
             body=b"{}"), 405),
    (request(b"/api/audit", method=b"POST",  # refused before the body is read
             headers=b"Content-Type: text/csv\r\nContent-Length: 1048577\r\n", body=b"x"), 413),
    (request(b"/api/audit", method=b"POST", headers=b"Content-Type: text/csv\r\n"
             b"Transfer-Encoding: chunked\r\n", body=b"100001\r\n" + b"x" * 0x100001),
     400),  # the library stops reading a chunked body at the limit, as unreadable
    (request(b"/", method=b"PUT"), 405),
    (request(b"/", method=b"DELETE"), 405),
    (request(b"/", method=b"OPTIONS"), 405),
    (request(b"/", method=b"BREW"), 400),
    (b"HELLO\r\n\r\n", 400),
    (b"GET / HTTP/1.0\r\n\r\n", 200),
]


@pytest.mark.parametrize("data,status", RAW,
                         ids=lambda v: repr(v)[:40] if isinstance(v, bytes) else str(v))
def test_raw_requests(server, data, status):
    got, _ = exchange(server, data)
    assert got == status
    good_answer_still_right(server)


def test_a_request_that_stops_halfway_is_dropped_after_the_timeout(server):
    halves = [b"GET /api/distribution?ntot=100 HTTP/1.1\r\nHost: 127.0.0.1\r\n", b"GET /ap", b""]
    closed = [None] * len(halves)

    def stall(i):
        closed[i] = exchange(server, halves[i])[1]

    threads = [threading.Thread(target=stall, args=(i,)) for i in range(len(halves))]
    for t in threads:
        t.start()
    time.sleep(0.5)
    good_answer_still_right(server)  # while they hang
    for t in threads:
        t.join(20)
    # An idle connection is closed after 2 seconds, a request that stops
    # after 5 more (the read timeout).
    assert all(c is not None and 1.5 < c < 9 for c in closed), closed
    good_answer_still_right(server)
