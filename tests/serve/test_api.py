"""Each endpoint answers what the command line writes for the same problem."""

import subprocess

import pytest

from conftest import BINARY, ROOT, cli, line, options_of, query, without_run_facts

PROBLEMS = [
    ((20, 5, -0.5, 0.3), {}),  # the classic nested method, the default
    ((100, 20, -1.0, 0.2), {"method": "direct"}),
    ((300, 60, -0.7, 0.25), {"method": "direct", "alpha": "0.01"}),
    ((50, 10, 0.5, 0.5), {"method": "direct", "minority": "12"}),
    ((12, 4, 1.5, 0.4), {"minority": "3"}),
    ((40, 40, -1, 0.2), {"method": "direct"}),  # everybody hired
    ((30, 0, -1, 0.2), {"method": "direct"}),  # nobody hired
]


@pytest.mark.parametrize("problem,options", PROBLEMS)
def test_figures_are_the_command_lines(server, problem, options):
    status, headers, body = server.get("/api/distribution?" + query(problem, **options))
    assert status == 200, body
    assert headers["Content-Type"] == "application/json"
    want = cli(line(problem), "--format", "json", "--rows", "none", *options_of(**options))
    assert without_run_facts(body) == without_run_facts(want)


@pytest.mark.parametrize("problem,options", PROBLEMS[:4])
def test_rows_are_the_command_lines(server, problem, options):
    status, _, body = server.get("/api/distribution?" + query(problem, rows="all", **options))
    assert status == 200, body
    want = cli(line(problem), "--format", "json", *options_of(**options))
    assert without_run_facts(body) == without_run_facts(want)


@pytest.mark.parametrize("problem,options", PROBLEMS[1:3])
def test_csv_and_chart_are_the_command_lines(server, problem, options, tmp_path):
    status, headers, csv = server.get("/api/distribution.csv?" + query(problem, **options))
    assert status == 200
    assert headers["Content-Type"] == "text/csv; charset=utf-8"
    chart = tmp_path / "chart.svg"
    want = cli(line(problem), "--format", "csv", "--plot", str(chart), *options_of(**options))
    assert csv == want
    status, headers, svg = server.get("/api/distribution.svg?" + query(problem, **options))
    assert status == 200
    assert headers["Content-Type"] == "image/svg+xml"
    assert svg == chart.read_text()


def test_the_page_is_its_files_with_the_safety_headers(server):
    assets = ROOT / "src" / "server" / "assets"
    pages = [
        ("/", "text/html; charset=utf-8", assets / "index.html"),
        ("/?tab=distribution&ntot=100&nhire=20&esize=-1&prop=0.2", "text/html; charset=utf-8",
         assets / "index.html"),
        ("/app.js", "text/javascript; charset=utf-8", assets / "app.js"),
        ("/style.css", "text/css; charset=utf-8", assets / "style.css"),
        ("/favicon.svg", "image/svg+xml", assets / "favicon.svg"),
        ("/api/distribution?ntot=x", "application/json", None),
        ("/nothing", "application/json", None),
    ]
    for target, kind, source in pages:
        status, headers, body = server.get(target)
        assert headers["Content-Type"] == kind, target
        assert headers["Content-Security-Policy"] == "default-src 'self'", target
        assert headers["X-Content-Type-Options"] == "nosniff", target
        if source:
            assert status == 200 and body == source.read_text(), target
    status, headers, body = server.get("/app.js", method="HEAD")
    assert status == 200 and body == ""
    assert int(headers["Content-Length"]) == len((assets / "app.js").read_bytes())


def test_help_names_the_options_and_the_api():
    r = subprocess.run([BINARY, "serve", "--help"], capture_output=True, text=True, timeout=10)
    assert r.returncode == 0 and r.stdout.startswith("Usage: torvan serve")
    for topic in ("--host", "--port", "--threads", "--queue", "--max-ntot", "/api/distribution",
                  "/api/distribution.csv", "/api/distribution.svg", "/api/audit", "/api/plan",
                  "/api/plan.svg", "Exit status"):
        assert topic in r.stdout, topic
