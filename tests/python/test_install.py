import os
import shutil
import subprocess
import sys
from pathlib import Path

import imvela


def test_pip_installs_the_module_with_the_library_offline(tmp_path):
    source = tmp_path / "python"
    shutil.copytree(Path(imvela.__file__).parents[1], source,
                    ignore=shutil.ignore_patterns("build", "*.egg-info", "__pycache__"))
    venv = tmp_path / "venv"
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", str(venv)], check=True, timeout=120)
    subprocess.run([str(venv / "bin" / "pip"), "install", "-q", "--no-index", "--no-build-isolation", str(source)],
                   check=True, timeout=300)  # IMVELA_LIBRARY names the library to take along
    environment = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "IMVELA_LIBRARY")}
    out = subprocess.run([str(venv / "bin" / "python"), "-c", "import imvela, imvela.library as l\n"
                          "print(imvela.Camera(color_mode=8).snapshot().shape, l.load()._name)"],
                         cwd=tmp_path, env=environment, capture_output=True, text=True, timeout=60, check=True).stdout
    assert out.split() == ["(1024,", "1280)", str(venv.resolve() / "lib" / f"python{sys.version_info[0]}.{sys.version_info[1]}"
                                                 / "site-packages" / "imvela" / "libImvelaSdk_M52_ZKR.so.1")]
