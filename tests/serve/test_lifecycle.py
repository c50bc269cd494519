"""Starting and stopping: the address printed, signals, a taken port, bad options."""

import json
import signal
import subprocess
import threading
import time
import urllib.parse

import pytest

from conftest import BINARY, Server, query


@pytest.mark.parametrize("sig", [signal.SIGINT, signal.SIGTERM])
def test_a_signal_stops_it_cleanly(sig):
    s = Server("--threads", "1")
    assert s.get("/")[0] == 200
    status, err = s.stop(sig)
    assert status == 0 and err == "torvan serve: stopped\n"


EVENTS = ("event,minority_applicants,minority_hires,majority_applicants,majority_hires\n"
          + "".join(f"e{i},50000,{500 + i},50000,5000\n" for i in range(40)))
SLOW = [
    "/api/distribution?" + query((100, 20, -1.0, 0.2)),  # the nested method, over a second
    "/api/plan?esize=-0.5&prop=0.5&selection_ratio=0.5&ntot=16000:20000:1000",  # seconds
    "/api/audit?" + urllib.parse.urlencode({"events": EVENTS}),  # a second and more
]


@pytest.mark.parametrize("slow", SLOW, ids=["distribution", "plan", "events"])
def test_stopping_cancels_the_computation_under_way(slow):
    s = Server("--threads", "1")
    answer = {}

    def ask():
        try:
            answer["status"], _, answer["body"] = s.get(slow)
        except OSError as e:  # the connection closed with the server
            answer["status"] = str(e)

    t = threading.Thread(target=ask)
    t.start()
    time.sleep(0.3)
    start = time.monotonic()
    status, _ = s.stop()
    assert status == 0
    assert time.monotonic() - start < 3
    t.join(10)
    assert answer["status"] == 503
    assert json.loads(answer["body"])["error"] == "the server is stopping"


def test_a_taken_port_is_refused():
    s = Server("--threads", "1")
    try:
        r = subprocess.run([BINARY, "serve", "--port", str(s.port)], capture_output=True, text=True,
                           timeout=10)
        assert r.returncode == 1
        assert r.stderr.startswith(f"torvan serve: cannot listen on 127.0.0.1 port {s.port}")
        assert s.get("/")[0] == 200
    finally:
        s.stop()


@pytest.mark.parametrize("args,message", [
    (["--port", "65536"], "--port = 65536 must lie between 0 and 65535"),
    (["--port", "-1"], "--port = -1 must be at least 0"),
    (["--threads", "0"], "--threads = 0 must be at least 1"),
    (["--threads", "257"], "--threads = 257 must lie between 1 and 256"),
    (["--queue", "100000"], "--queue = 100000 must lie between 0 and 1024"),
    (["--queue", "x"], "--queue must be a whole number, not 'x'"),
    (["--max-ntot", "1"], "--max-ntot = 1 must be at least 2"),
    (["--threads", "1", "--threads=2"], "--threads is given more than once"),
    (["--host"], "--host needs a value"),
    (["--format", "json"], "unknown option '--format'"),
])
def test_bad_options(args, message):
    # A free port first: should a bad option be taken, no server sits on 8080.
    # The port's own cases give it themselves (an option is taken once).
    port = [] if "--port" in args else ["--port", "0"]
    r = subprocess.run([BINARY, "serve", *port, *args], capture_output=True, text=True,
                       timeout=10)
    assert r.returncode == 2
    assert r.stdout == ""
    assert r.stderr == f"torvan serve: {message} (see torvan serve --help)\n"
