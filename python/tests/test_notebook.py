"""The notebook examples/torvan.ipynb runs from start to end, as a user runs
it (jupyter nbconvert --execute), against the built package."""

import json
import os
import shutil
import subprocess

import pytest

from conftest import ROOT

NOTEBOOK = ROOT / "examples" / "torvan.ipynb"


def test_the_notebook_runs(tmp_path):
    if shutil.which("jupyter") is None:
        pytest.skip("jupyter nbconvert is not installed")
    stored = json.loads(NOTEBOOK.read_text())
    assert all(not c.get("outputs") for c in stored["cells"]), "outputs are stripped"
    r = subprocess.run(["jupyter", "nbconvert", "--to", "notebook", "--execute",
                        "--ExecutePreprocessor.timeout=240", "--output-dir", str(tmp_path),
                        str(NOTEBOOK)], capture_output=True, text=True, timeout=280,
                       env=dict(os.environ, MPLBACKEND="Agg"))
    assert r.returncode == 0, r.stderr
    ran = json.loads((tmp_path / NOTEBOOK.name).read_text())
    shown = [o for c in ran["cells"] for o in c.get("outputs", [])]
    html = [o["data"]["text/html"] for o in shown if "text/html" in o.get("data", {})]
    assert any("<svg" in "".join(h) for h in html), "a chart is shown inline"
