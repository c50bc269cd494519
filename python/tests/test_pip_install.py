"""pip install from a clone, as a user does it: a fresh virtual environment
that sees Debian's numpy and pandas, no build isolation, no network.

The sources are copied into a temporary folder first, since pip builds in
the tree it is given and nothing is written into the checkout.
"""

import json
import os
import shutil
import subprocess
import sys

import pytest

from conftest import ROOT, without_run_facts

PYTHON = "/usr/bin/python3"


def copy_checkout(to):
    ignore = shutil.ignore_patterns("build", "build-*", "*.egg-info", "__pycache__", "tests",
                                    "bench")
    shutil.copy2(ROOT / "CMakeLists.txt", to / "CMakeLists.txt")
    shutil.copytree(ROOT / "src", to / "src", ignore=ignore)
    shutil.copytree(ROOT / "python", to / "python", ignore=ignore)


@pytest.mark.skipif(not os.access(PYTHON, os.X_OK), reason="Debian's interpreter is not there")
def test_pip_installs_a_package_that_imports_and_agrees(tmp_path, cli):
    copy_checkout(tmp_path)
    env_dir = tmp_path / "env"
    subprocess.run([PYTHON, "-m", "venv", "--system-site-packages", str(env_dir)], check=True)
    python = str(env_dir / "bin" / "python")
    environment = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    environment.update(PIP_NO_INDEX="1", PIP_DISABLE_PIP_VERSION_CHECK="1", PIP_NO_CACHE_DIR="1")
    if shutil.which("ccache"):  # the suite's shared cache; what is compiled is the same
        environment.update(CC="ccache gcc", CXX="ccache g++", CCACHE_BASEDIR=str(tmp_path))
    r = subprocess.run([python, "-m", "pip", "install", "-q", "--no-build-isolation",
                        str(tmp_path / "python")], env=environment, capture_output=True,
                       text=True, cwd=tmp_path)
    assert r.returncode == 0, r.stdout + r.stderr
    script = ("import torvan, sys; sys.stdout.write(torvan.distribution("
              "30, 8, -0.5, 0.3, threads=1).to_json(-1)); "
              "sys.stderr.write(torvan.__file__)")
    r = subprocess.run([python, "-c", script], env=environment, capture_output=True, text=True,
                       cwd=tmp_path)
    assert r.returncode == 0, r.stderr
    assert r.stderr.startswith(str(env_dir)), "torvan came from elsewhere"
    doc, _ = cli.json((30, 8, -0.5, 0.3))
    assert without_run_facts(json.loads(r.stdout)) == without_run_facts(doc)
