"""The examples of docs/server.md, run against the server: each `curl` in it
answers the JSON shown after it (all of it, or, when abridged, those lines in
that order)."""

import re

from conftest import ROOT

DOC = ROOT / "docs" / "server.md"


def examples():
    """(target, shown lines, abridged) for each curl example and the JSON after it."""
    text = DOC.read_text()
    found = re.findall(
        r"curl -s 'http://127\.0\.0\.1:8080(/[^']*)'\n\s*```\n(.*?)```json\n(.*?)```", text, re.S)
    return [(target, block.rstrip().splitlines(), "abridged" in between)
            for target, between, block in found]


def indent_of(lines):
    return min(len(l) - len(l.lstrip()) for l in lines if l.strip())


def test_every_example_answers_what_it_shows(server):
    cases = examples()
    assert len(cases) == 2
    for target, shown, abridged in cases:
        shown = [l[indent_of(shown):] for l in shown]  # a block inside a list is indented
        _, _, body = server.get(target)
        lines = body.splitlines()
        if not abridged:
            assert shown == lines, target
            continue
        at = 0
        for l in shown:
            assert l in lines[at:], (target, l)
            at = lines.index(l, at) + 1
