"""Load on loopback, bounded in count and time: every request answered and
right; a full queue answered 503 at once."""

import concurrent.futures
import json
import subprocess
import threading
import time

from conftest import BINARY, Server, query

PROBLEMS = [(50 + 10 * i, 5 + 2 * i, -1.0 + 0.08 * i, 0.15 + 0.02 * i) for i in range(25)]
REQUESTS = 500
CLIENTS = 16
RUN_FACTS = ("threads", "cpu_seconds", "line", "input")


def comparable(doc):
    return {k: v for k, v in doc.items() if k not in RUN_FACTS}


def test_many_clients_all_answered_and_right(server):
    text = "".join(" ".join(map(str, p)) + "\n" for p in PROBLEMS)
    batch = subprocess.run([BINARY, "--batch", "--method", "direct", "--rows", "none"],
                           input=text, capture_output=True, text=True, timeout=120)
    want = [comparable(json.loads(d)) for d in batch.stdout.splitlines()]
    assert len(want) == len(PROBLEMS)

    def client(k):
        """Requests k, k + CLIENTS, ... on one kept-alive connection."""
        c = server.connection(timeout=60)
        answers = []
        for i in range(k, REQUESTS, CLIENTS):
            problem = PROBLEMS[i % len(PROBLEMS)]
            c.request("GET", "/api/distribution?" + query(problem, method="direct"))
            r = c.getresponse()
            answers.append((i, r.status, r.read()))
        c.close()
        return answers

    start = time.monotonic()
    with concurrent.futures.ThreadPoolExecutor(CLIENTS) as pool:
        answers = [a for part in pool.map(client, range(CLIENTS)) for a in part]
    seconds = time.monotonic() - start
    assert sorted(i for i, _, _ in answers) == list(range(REQUESTS))
    for i, status, body in answers:
        assert status == 200, body
        assert comparable(json.loads(body)) == want[i % len(PROBLEMS)], i
    print(f"{REQUESTS} requests from {CLIENTS} clients in {seconds:.2f} s")


def test_a_full_queue_is_answered_at_once():
    s = Server("--threads", "1", "--queue", "1")
    slow = "/api/distribution?" + query((100, 20, -1.0, 0.2))  # the nested method, about 1.6 s
    answers = {}

    def ask(name):
        answers[name] = s.get(slow)[0]

    try:
        running = threading.Thread(target=ask, args=("running",))
        running.start()
        time.sleep(0.3)
        waiting = threading.Thread(target=ask, args=("waiting",))
        waiting.start()
        time.sleep(0.3)
        start = time.monotonic()
        status, _, body = s.get(slow)
        assert status == 503, body
        assert "the queue is full" in json.loads(body)["error"]
        assert time.monotonic() - start < 0.5
        running.join(60)
        waiting.join(60)
        assert answers == {"running": 200, "waiting": 200}
    finally:
        assert s.stop()[0] == 0
