import csv
import io
import json
import os
import pathlib
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]


def method_args(method):
    # The command line's default method is the nested one.
    return [] if method == "nested" else ["--method", method]


class CommandLine:
    """The torvan program, the truth the package is held against."""

    def __init__(self, binary):
        self.binary = binary

    def run(self, text, *args):
        return subprocess.run([self.binary, *args], input=text, capture_output=True, text=True,
                              timeout=120)

    def json(self, problem, method="nested"):
        r = self.run(" ".join(map(str, problem)) + "\n", "--format", "json", "--threads", "1",
                     *method_args(method))
        return json.loads(r.stdout), r.stderr

    def csv(self, problem, method="nested"):
        r = self.run(" ".join(map(str, problem)) + "\n", "--format", "csv", "--threads", "1",
                     *method_args(method))
        return list(csv.DictReader(io.StringIO(r.stdout)))

    def batch(self, problems, method="nested"):
        text = "".join(" ".join(map(str, p)) + "\n" for p in problems)
        r = self.run(text, "--batch", "--threads", "1", *method_args(method))
        return [json.loads(line) for line in r.stdout.splitlines()]


@pytest.fixture(scope="session")
def cli():
    binary = os.environ.get("TORVAN_BINARY", str(ROOT / "build" / "torvan"))
    if not os.access(binary, os.X_OK):
        pytest.fail(f"the command line program {binary} is not built")
    return CommandLine(binary)


def without_run_facts(doc):
    """A document less what differs from run to run."""
    return {k: v for k, v in doc.items() if k not in ("cpu_seconds", "threads")}
