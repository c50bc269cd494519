"""The documentation's Python examples (```python blocks of docs/*.md, written
as interactive sessions) run as written and print what they show."""

import doctest
import re

import pytest

from conftest import ROOT

BLOCKS = [(page.name, i, block)
          for page in sorted((ROOT / "docs").glob("*.md"))
          for i, block in enumerate(re.findall(r"^```python\n(.*?)^```$", page.read_text(),
                                               flags=re.S | re.M))]


@pytest.mark.parametrize("name, i, block", BLOCKS, ids=[f"{n}:{i}" for n, i, _ in BLOCKS])
def test_examples_print_what_they_show(name, i, block):
    test = doctest.DocTestParser().get_doctest(block, {}, f"{name}:{i}", name, 0)
    runner = doctest.DocTestRunner(optionflags=doctest.NORMALIZE_WHITESPACE)
    result = runner.run(test)
    assert result.attempted > 0 and result.failed == 0


def test_there_are_examples():
    assert BLOCKS
