import json
import os
import re
import subprocess
import sys
import threading
import time
from pathlib import Path

import pytest

import imvela

README = Path(__file__).resolve().parents[2] / "README.md"


def wait_until(condition, seconds=10.0):
    """Polls `condition` until it holds; False when `seconds` passed first."""
    limit = time.monotonic() + seconds
    tick = threading.Event()
    while not condition():
        if time.monotonic() > limit:
            return False
        tick.wait(0.01)
    return True


def probe(path):
    """(frames, seconds) of an AVI file as ffprobe reads it."""
    out = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                          "stream=nb_read_frames,duration", "-of", "json", str(path)],
                         capture_output=True, text=True, timeout=60, check=True).stdout
    stream = json.loads(out)["streams"][0]
    return int(stream["nb_read_frames"]), float(stream["duration"])


@pytest.fixture
def small_camera(camera):
    # 8-bit frames of 320 x 240: an unpaced recording stays a few megabytes.
    camera.color_mode = 8
    camera.capture_window = (1292, 0, 320, 1040, 0, 240)
    return camera


@pytest.mark.parametrize("ending", ["wait", "stop", "leave the block"])
def test_a_recording_ends_holding_its_frames_and_gives_the_camera_back(small_camera, tmp_path, ending):
    path = tmp_path / "clip.avi"
    seconds = 0.5 if ending == "wait" else 60
    with small_camera.record(path, seconds) as recording:
        for busy in (small_camera.snapshot, lambda: next(small_camera.frames()), lambda: small_camera.record(path, 1)):
            with pytest.raises(imvela.CameraBusy):
                busy()
        if ending == "wait":
            assert recording.wait(10)
        else:
            assert wait_until(lambda: path.stat().st_size > 3 * 3 * 320 * 240)  # three frames written
            if ending == "stop":
                recording.stop()
                assert recording.done
    assert recording.done and recording.wait(0)
    frames, duration = probe(path)
    assert frames >= 3
    if ending == "wait":
        assert 0.5 <= duration < 2  # the frame that crosses the end belongs to the recording
    assert small_camera.snapshot().shape == (240, 320)


def test_the_cause_names_a_camera_held_by_another_process(camera):
    camera.release()
    holder = subprocess.Popen(
        [sys.executable, "-c", "import imvela\ncam = imvela.Camera()\n"
         "for frame in cam.frames(timeout=20): print('streaming', flush=True); input()"],
        stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    try:
        assert holder.stdout.readline() == "streaming\n"
        with imvela.Camera() as other, pytest.raises(imvela.ImvelaError) as failure:
            other.snapshot()
        assert (failure.value.code, failure.value.codes) == (2, (2, 1))
        assert str(failure.value).startswith("camera 0 is in use by another process")
    finally:
        holder.kill()
        holder.wait(10)


def test_the_readme_example_reports_frame_rates_from_the_first_frames(tmp_path):
    example = re.search(r"## Python\n.*?```python\n(.*?)```", README.read_text(), re.S).group(1)
    out = subprocess.run([sys.executable, "-c", example], capture_output=True, text=True, timeout=60,
                         check=True).stdout
    rates = [float(line.split()[0]) for line in out.splitlines()]
    assert len(rates) == 10 and all(rate > 0 for rate in rates[1:]), out
