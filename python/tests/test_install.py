"""The package installs offline with Debian's pip into a fresh virtual environment (pip and
setuptools seen through --system-site-packages) and works from there, finding the library through
PELLA_LIBRARY or, without it, through the system's loader, its annotations seen by type checkers."""
import os
import shutil
import subprocess
import sys

import pella
from conftest import SOURCE_DIR

CHECK = """
import os, sys, pella
folder = os.path.dirname(pella.__file__)
assert folder.startswith(sys.prefix), folder
assert os.path.isfile(os.path.join(folder, "py.typed"))
import importlib.metadata
assert importlib.metadata.version("pella") == pella.__version__
print(pella.version())
"""


def test_pip_installs_into_a_venv_and_the_package_imports(tmp_path):
    source = tmp_path / "source"
    # A copy, so that the build leaves nothing in the tree.
    shutil.copytree(SOURCE_DIR / "python", source, ignore=shutil.ignore_patterns("__pycache__", "tests"))
    venv = tmp_path / "venv"
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", "--without-pip", str(venv)], check=True)
    python = str(venv / "bin" / "python")
    installed = subprocess.run(
        [python, "-m", "pip", "install", "--no-build-isolation", "--no-index", "--no-cache-dir", str(source)],
        capture_output=True, text=True)
    assert installed.returncode == 0, installed.stdout + installed.stderr

    library = pella._native.lib()._name
    environment = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "PELLA_LIBRARY")}
    runs = {
        "PELLA_LIBRARY": dict(environment, PELLA_LIBRARY=library),
        "the loader": dict(environment, LD_LIBRARY_PATH=os.path.dirname(os.path.realpath(library))),
    }
    for how, env in runs.items():
        done = subprocess.run([python, "-c", CHECK], cwd=tmp_path, env=env, capture_output=True, text=True)
        assert done.returncode == 0, f"{how}: {done.stderr}"
        assert done.stdout.strip() == pella.version(), how
    # Type checkers see the installed package's annotations (py.typed): a wrong use is caught.
    user = tmp_path / "user.py"
    user.write_text("import pella\nok: bool = pella.echo('host', 104)\nwrong: int = pella.version()\n")
    checked = subprocess.run([sys.executable, "-m", "mypy", "--strict", "--no-incremental", "--python-executable",
                              python, str(user)], cwd=tmp_path, capture_output=True, text=True)
    assert checked.returncode == 1 and checked.stdout.count("error:") == 1, checked.stdout
    assert 'user.py:3: error: Incompatible types in assignment (expression has type "str"' in checked.stdout

    # Without the library the call, not the import, fails with the reason.
    absent = str(tmp_path / "nowhere" / "libpella.so.0")
    done = subprocess.run([python, "-c", "import pella\ntry:\n pella.version()\nexcept pella.PellaError as e:"
                           "\n print(e)"], cwd=tmp_path, env=dict(environment, PELLA_LIBRARY=absent),
                          capture_output=True, text=True)
    assert done.returncode == 0 and f"cannot load libpella ({absent})" in done.stdout, done
