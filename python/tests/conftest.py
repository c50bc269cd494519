import csv
import io
import json
import os
import pathlib
import subprocess

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
