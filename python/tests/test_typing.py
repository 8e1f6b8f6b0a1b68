"""The package's annotations hold up under a strict type check."""
import subprocess
import sys

from conftest import SOURCE_DIR


def test_package_passes_a_strict_type_check(tmp_path):
    checked = subprocess.run([sys.executable, "-m", "mypy", "--strict", "--no-incremental",
                              str(SOURCE_DIR / "python" / "pella")], cwd=tmp_path, capture_output=True, text=True)
    assert checked.returncode == 0, checked.stdout + checked.stderr
