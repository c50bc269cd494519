import contextlib
import csv
import io
import json
import os
import pathlib
import signal
import subprocess
import threading
import time

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]


class CommandLine:
    """The torvan program, the truth the package is held against."""

    def __init__(self, binary):
        self.binary = binary

    def run(self, text, *args):
        return subprocess.run([self.binary, *args], input=text, capture_output=True, text=True,
                              timeout=120)

    def json(self, problem, *options):
        r = self.run(line(problem), "--format", "json", "--threads", "1", *options)
        return json.loads(r.stdout) if r.stdout else None, r.stderr

    def csv(self, problem, *options, form="csv"):
        r = self.run(line(problem), "--format", form, "--threads", "1", *options)
        return list(csv.DictReader(io.StringIO(r.stdout)))

    def batch(self, problems, *options):
        r = self.run("".join(map(line, problems)), "--batch", "--threads", "1", *options)
        return [json.loads(text) for text in r.stdout.splitlines()]


def line(problem):
    return " ".join(map(str, problem)) + "\n"


@pytest.fixture(scope="session")
def cli():
    binary = os.environ.get("TORVAN_BINARY", str(ROOT / "build" / "torvan"))
    if not os.access(binary, os.X_OK):
        pytest.fail(f"the command line program {binary} is not built")
    return CommandLine(binary)


def without_run_facts(doc):
    """A document less what differs from run to run."""
    return {k: v for k, v in doc.items() if k not in ("cpu_seconds", "threads")}


@pytest.fixture(scope="module")
def client():
    """A Dask cluster of two single-threaded worker processes on this machine."""
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  host="127.0.0.1", dashboard_address=None) as cluster:
        with distributed.Client(cluster) as client:
            yield client


@contextlib.contextmanager
def ctrl_c_after(seconds):
    """Send this process SIGINT after `seconds`, as Ctrl-C in its terminal would.

    Yields a list that receives the monotonic time at which it was sent.
    """
    sent = []

    def press():
        sent.append(time.monotonic())
        os.kill(os.getpid(), signal.SIGINT)

    timer = threading.Timer(seconds, press)
    timer.start()
    try:
        yield sent
    finally:
        timer.cancel()
        timer.join()
