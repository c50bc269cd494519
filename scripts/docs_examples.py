#!/usr/bin/python3
"""Runs every example in README.md and docs/*.md, and compares what they print.

A fenced block is run according to its language:

  console  `$ ` starts a command (continued on lines that start with `> `, or
           after a line ending in a backslash); the lines up to the next
           command are what it prints, standard output and error, compared.
  sh       the commands run and must succeed; what they print is not shown.
  python   run with the built package; with `>>> ` prompts, as a doctest.
  r        run with the built package; `#> ` lines are what it prints, compared.

`no-run` after the language (```sh no-run) shows a block without running it:
for the set-up commands themselves, and a server that would not return. Each
document's blocks run in order in one scratch folder of their own, which holds
examples/ and build/ from the checkout, with the program on PATH.

Expected and printed lines are compared one by one: a line `...` stands for
any number of lines, `...` inside a line for any text (a longer run of dots is
text, as in a page's dotted leaders), and a number shown in
the document equals the number printed rounded to the digits shown. A server
address http://127.0.0.1:8080 is that of a server the examples are given,
started on a free port.

    scripts/docs_examples.py BUILD_DIR [DOCUMENT ...]
"""

import decimal
import doctest
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parents[1]
FENCE = re.compile(r"^```([\w-]*)(.*)$")
NUMBER = re.compile(r"[-+]?(?:\d+\.\d*|\.\d+|\d+)(?:[eE][-+]?\d+)?")
SHOWN_SERVER = "http://127.0.0.1:8080"
TIMEOUT = 120
decimal.getcontext().prec = 100  # a printed number rounded to any digits shown, exactly


class Block:
    def __init__(self, path, line, language, flags, text):
        self.path, self.line, self.language, self.flags, self.text = path, line, language, flags, text

    def where(self):
        return f"{self.path.relative_to(ROOT)}:{self.line}"


def blocks_of(path):
    """The fenced blocks of a Markdown document, in order."""
    out, current = [], None
    for number, line in enumerate(path.read_text().splitlines(), 1):
        m = FENCE.match(line)
        if current is None and m:
            current = Block(path, number, m.group(1), m.group(2).split(), [])
        elif current is not None and line.startswith("```"):
            current.text = "\n".join(current.text) + "\n"
            out.append(current)
            current = None
        elif current is not None:
            current.text.append(line)
    return out


def numbers_agree(shown, printed):
    """Whether `printed` rounds to `shown` at the digits shown."""
    s, p = decimal.Decimal(shown), decimal.Decimal(printed)
    if s.as_tuple().exponent >= 0 and "." not in shown and "e" not in shown.lower():
        return s == p
    quantum = decimal.Decimal(1).scaleb(s.as_tuple().exponent)
    return p.quantize(quantum, rounding=decimal.ROUND_HALF_EVEN) == s or \
        p.quantize(quantum, rounding=decimal.ROUND_HALF_UP) == s


# Three dots, not part of a longer run: a page's dotted leaders are text.
ELLIPSIS = re.compile(r"(?<!\.)\.\.\.(?!\.)")


def line_agrees(shown, printed):
    if ELLIPSIS.search(shown):
        pattern = ".*".join(re.escape(part) for part in ELLIPSIS.split(shown))
        return re.fullmatch(pattern, printed) is not None
    shown_numbers, printed_numbers = NUMBER.findall(shown), NUMBER.findall(printed)
    if NUMBER.sub("#", shown) != NUMBER.sub("#", printed):
        return False
    return len(shown_numbers) == len(printed_numbers) and all(
        numbers_agree(a, b) for a, b in zip(shown_numbers, printed_numbers))


def output_agrees(shown, printed):
    """Line by line, `...` alone on a line matching any run of lines."""
    shown = [l.rstrip() for l in shown]
    printed = [l.rstrip() for l in printed]
    while shown and not shown[-1]:
        shown.pop()
    while printed and not printed[-1]:
        printed.pop()

    def agree(i, j):
        if i == len(shown):
            return j == len(printed)
        if shown[i] == "...":
            return any(agree(i + 1, k) for k in range(j, len(printed) + 1))
        return j < len(printed) and line_agrees(shown[i], printed[j]) and agree(i + 1, j + 1)

    return agree(0, 0)


def difference(shown, printed):
    return ("--- the document shows\n" + "".join(l + "\n" for l in shown) +
            "--- the example prints\n" + "".join(l + "\n" for l in printed))


class Runner:
    def __init__(self, build):
        self.build = build
        self.server = None
        self.url = None
        self.env = dict(os.environ)
        self.env["PATH"] = f"{build}:{self.env.get('PATH', '')}"
        self.env["PYTHONPATH"] = str(build / "python")
        self.env["R_LIBS"] = str(build / "R-lib")
        self.env["PYTHONDONTWRITEBYTECODE"] = "1"

    def address(self, text):
        """The text with the shown server's address replaced by the real one."""
        if SHOWN_SERVER not in text:
            return text
        if self.server is None:
            self.server = subprocess.Popen([str(self.build / "torvan"), "serve", "--port", "0"],
                                           stdout=subprocess.PIPE, text=True, env=self.env)
            line = self.server.stdout.readline()
            m = re.search(r"http://[\w.:]+", line)
            if not m:
                raise RuntimeError(f"torvan serve printed {line!r}, no address")
            self.url = m.group(0)
        return text.replace(SHOWN_SERVER, self.url)

    def stop(self):
        if self.server is not None:
            self.server.terminate()
            self.server.wait(timeout=10)

    def run(self, args, cwd, merged=False):
        """Runs args; with `merged`, standard error goes where standard output does,
        in the order written."""
        return subprocess.run(args, cwd=cwd, env=self.env, text=True, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT if merged else subprocess.PIPE,
                              stdin=subprocess.DEVNULL, timeout=TIMEOUT)

    def console(self, block, cwd):
        """Each `$ ` command and the lines it prints."""
        failures = []
        steps, command, shown = [], None, []
        lines = block.text.splitlines()
        i = 0
        while i < len(lines):
            line = lines[i]
            if line.startswith("$ "):
                if command is not None:
                    steps.append((command, shown))
                command, shown = line[2:], []
                while i + 1 < len(lines) and (command.endswith("\\") or
                                              lines[i + 1].startswith("> ")):
                    i += 1
                    more = lines[i][2:] if lines[i].startswith("> ") else lines[i]
                    command += "\n" + more
            elif command is not None:
                shown.append(line)
            i += 1
        if command is not None:
            steps.append((command, shown))
        for command, shown in steps:
            r = self.run(["bash", "-o", "pipefail", "-c", self.address(command)], cwd, merged=True)
            printed = r.stdout.splitlines()
            if not output_agrees(shown, printed):
                failures.append(f"{block.where()}: $ {command}\n" + difference(shown, printed))
        return failures

    def sh(self, block, cwd):
        r = self.run(["bash", "-e", "-o", "pipefail", "-c", self.address(block.text)], cwd)
        if r.returncode != 0:
            return [f"{block.where()}: exit status {r.returncode}\n{r.stdout}{r.stderr}"]
        return []

    def python(self, block, cwd):
        text = self.address(block.text)
        if ">>> " in text:
            script = ("import doctest, sys\n"
                      "flags = doctest.ELLIPSIS | doctest.NORMALIZE_WHITESPACE\n"
                      f"test = doctest.DocTestParser().get_doctest({text!r}, {{}}, "
                      f"{block.where()!r}, None, 0)\n"
                      "runner = doctest.DocTestRunner(optionflags=flags)\n"
                      "runner.run(test)\n"
                      "sys.exit(1 if runner.failures else 0)\n")
        else:
            script = text
        r = self.run(["/usr/bin/python3", "-c", script], cwd)
        if r.returncode != 0:
            return [f"{block.where()}: Python failed\n{r.stdout}{r.stderr}"]
        return []

    def r(self, block, cwd):
        text = self.address(block.text)
        shown = [l[3:] if l.startswith("#> ") else l[2:] for l in text.splitlines()
                 if l.startswith("#>")]
        code = "\n".join(l for l in text.splitlines() if not l.startswith("#>"))
        r = self.run(["Rscript", "--no-save", "--no-restore", "-e", code], cwd)
        if r.returncode != 0:
            return [f"{block.where()}: R failed\n{r.stdout}{r.stderr}"]
        if shown and not output_agrees(shown, r.stdout.splitlines()):
            return [f"{block.where()}:\n" + difference(shown, r.stdout.splitlines())]
        return []

    def document(self, path):
        failures, ran = [], 0
        with tempfile.TemporaryDirectory(prefix="torvan-docs-") as scratch:
            for name in ("examples",):
                shutil.copytree(ROOT / name, pathlib.Path(scratch) / name)
            os.symlink(self.build, pathlib.Path(scratch) / "build")
            for block in blocks_of(path):
                run = {"console": self.console, "sh": self.sh, "python": self.python,
                       "r": self.r}.get(block.language.lower())
                if run is None or "no-run" in block.flags:
                    continue
                failures += run(block, scratch)
                ran += 1
        return failures, ran


def main():
    build = pathlib.Path(sys.argv[1]).resolve()
    documents = [pathlib.Path(p).resolve() for p in sys.argv[2:]] or \
        [ROOT / "README.md", *sorted((ROOT / "docs").glob("*.md"))]
    runner = Runner(build)
    failures, ran = [], 0
    try:
        for path in documents:
            f, n = runner.document(path)
            failures += f
            ran += n
            print(f"{path.relative_to(ROOT)}: {n} examples, {len(f)} failed")
    finally:
        runner.stop()
    for f in failures:
        print("\n" + f, file=sys.stderr)
    print(f"docs examples: {ran} run, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
