"""The built program's server on loopback, and the command line it is held against."""

import http.client
import json
import os
import pathlib
import re
import select
import signal
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
BINARY = os.environ.get("TORVAN_BINARY", str(ROOT / "build" / "torvan"))
BUILD = pathlib.Path(os.environ.get("TORVAN_BUILD", str(ROOT / "build")))


class Server:
    """`torvan serve` on a free port of 127.0.0.1, stopped by stop()."""

    def __init__(self, *options):
        self.process = subprocess.Popen([BINARY, "serve", "--port", "0", *options],
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        ready, _, _ = select.select([self.process.stdout], [], [], 20)
        line = self.process.stdout.readline() if ready else ""
        found = re.search(r"http://127\.0\.0\.1:(\d+)/", line)
        if not found:
            self.process.kill()
            raise RuntimeError(f"torvan serve printed {line!r}, not its address")
        self.url = found.group(0)
        self.port = int(found.group(1))

    def connection(self, timeout=60):
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)

    def get(self, target, method="GET", headers=None, body=None, timeout=60):
        """(status, headers, body as text) of one request on a new connection."""
        c = self.connection(timeout)
        try:
            c.request(method, target, body=body, headers=headers or {})
            r = c.getresponse()
            return r.status, dict(r.getheaders()), r.read().decode("utf-8", "replace")
        finally:
            c.close()

    def post(self, target, body, content_type="text/csv"):
        """(status, headers, body as text) of a POST of `body` (text) to `target`."""
        return self.get(target, "POST", {"Content-Type": content_type}, body.encode())

    def get_json(self, target):
        status, _, body = self.get(target)
        return status, json.loads(body)

    def stop(self, sig=signal.SIGTERM, timeout=20):
        """Stops the server with `sig`; its exit status and standard error."""
        self.process.send_signal(sig)
        try:
            self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise
        err = self.process.stderr.read()
        self.process.stdout.close()
        self.process.stderr.close()
        return self.process.returncode, err


@pytest.fixture(scope="module")
def server():
    s = Server("--threads", "2")
    yield s
    status, err = s.stop()
    assert status == 0, err
    assert err.endswith("torvan serve: stopped\n"), err


def cli(text, *options):
    """The command line's standard output for one problem."""
    r = subprocess.run([BINARY, "--threads", "1", *options], input=text, capture_output=True,
                       text=True, timeout=120)
    return r.stdout


def line(problem):
    return " ".join(map(str, problem)) + "\n"


def query(problem, **options):
    names = ("ntot", "nhire", "esize", "prop")
    params = dict(zip(names, map(str, problem)), **options)
    return "&".join(f"{k}={v}" for k, v in params.items())


def options_of(**options):
    """The command line's options for a query's (minority=20 gives --minority 20)."""
    return [a for k, v in options.items() for a in (f"--{k}", str(v))]


def without_run_facts(text):
    """A JSON document's text less the lines that differ from run to run."""
    return re.sub(r'\n  "(threads|cpu_seconds)": [^\n]*', "", text)


def run(*args, text=None):
    """The built program run with `args`, standard input `text`."""
    return subprocess.run([BINARY, *args], input=text, capture_output=True, text=True, timeout=120)


def refusal(command, *args, text=None):
    """The message `torvan COMMAND` prints when it refuses `args`, without the
    program's name before it and the pointer to --help after it, its options
    named as the server's parameters ("--minority-share" as "minority_share",
    before the first quote, where the user's own text begins)."""
    r = run(command, *args, text=text)
    assert r.returncode == 2, r.stdout
    message = r.stderr.splitlines()[0].removeprefix(f"torvan {command}: ")
    message = message.removesuffix(f" (see torvan {command} --help)")
    names, quote, rest = message.partition("'")
    names = re.sub(r"(?:^|(?<= ))--([a-z-]+)", lambda m: m[1].replace("-", "_"), names)
    return names + quote + rest


COUNT_NAMES = ("minority_applicants", "minority_hires", "majority_applicants", "majority_hires")


def audit_args(params):
    """`torvan audit`'s arguments, and its standard input, for a query's parameters."""
    args = [f"--{k}={params[k]}" for k in ("alpha", "reference", "format") if k in params]
    for table in ("events", "groups"):
        if table in params:
            return args + [f"--{table}", "-"], params[table]
    return args + [str(params[n]) for n in COUNT_NAMES if n in params], None


def plan_args(params):
    """`torvan plan`'s options for a query's parameters, a list of (name, value)."""
    return ["--threads", "1"] + [f"--{k.replace('_', '-')}={v}" for k, v in params]
