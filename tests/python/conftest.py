import os
import tempfile

import pytest

# One emulated camera with the ramp scene, unpaced; settings and the device-use table of
# this run only.
_store = tempfile.TemporaryDirectory(prefix="imvela-python-")
os.environ.update(IMVELA_EMULATOR="0", IMVELA_EMULATOR_SCENE="ramp", IMVELA_EMULATOR_FPS="0",
                  XDG_CONFIG_HOME=_store.name, IMVELA_SHM_NAME=f"imvela_python_{os.getpid()}")

import imvela  # noqa: E402  (after the environment it reads)


@pytest.fixture
def camera():
    with imvela.Camera() as cam:
        yield cam
