import re
import subprocess
import sys
import threading
import time
from pathlib import Path

import pytest

import imvela


def wait_until(condition, seconds=10.0):
    limit, tick = time.monotonic() + seconds, threading.Event()
    while not condition() and time.monotonic() < limit:
        tick.wait(0.01)
    return condition()


def probe(path):  # {"nb_read_frames": .., "duration": ..} as ffprobe reads the file
    out = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-show_entries", "stream=nb_read_frames,duration",
                          "-of", "default=nw=1", str(path)], capture_output=True, text=True, timeout=60, check=True)
    return {key: float(value) for key, value in (line.split("=") for line in out.stdout.split())}


@pytest.mark.parametrize("ending", ["wait", "stop", "leave the block"])
def test_a_recording_ends_holding_its_frames_and_gives_the_camera_back(camera, tmp_path, ending):
    camera.color_mode = 8
    camera.capture_window = (1292, 0, 320, 1040, 0, 240)  # unpaced frames: a small file
    path = tmp_path / "clip.avi"
    with camera.record(path, 0.5 if ending == "wait" else 60) as recording:
        for busy in (camera.snapshot, lambda: next(camera.frames()), lambda: camera.record(path, 1)):
            with pytest.raises(imvela.CameraBusy):
                busy()
        if ending == "wait":
            assert recording.wait(10)
        else:
            assert wait_until(lambda: path.stat().st_size > 3 * 3 * 320 * 240)  # three frames written
            if ending == "stop":
                recording.stop()
    assert recording.done
    avi = probe(path)
    assert avi["nb_read_frames"] >= 3 and (ending != "wait" or 0.5 <= avi["duration"] < 2)
    assert camera.snapshot().shape == (240, 320)


def test_the_cause_names_a_camera_held_by_another_process(camera):
    camera.release()
    holder = subprocess.Popen([sys.executable, "-c", "import imvela\nfor f in imvela.Camera().frames(timeout=20): "
                               "print('streaming', flush=True); input()"],
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    try:
        assert holder.stdout.readline() == "streaming\n"
        with imvela.Camera() as other, pytest.raises(imvela.ImvelaError) as failure:
            other.snapshot()
        assert (failure.value.code, failure.value.codes) == (2, (2, 1))
        assert str(failure.value).startswith("camera 0 is in use by another process: ")
        assert f"process {holder.pid}, since " in str(failure.value)
    finally:
        holder.kill()
        holder.wait(10)


def test_the_readme_example_reports_frame_rates_from_the_first_frames():
    readme = (Path(__file__).resolve().parents[2] / "README.md").read_text()
    example = re.search(r"## Python\n.*?```python\n(.*?)```", readme, re.S).group(1)
    out = subprocess.run([sys.executable, "-c", example], capture_output=True, text=True, timeout=60, check=True).stdout
    rates = [float(line.split()[0]) for line in out.splitlines()]
    assert len(rates) == 10 and all(rate > 0 for rate in rates[1:]), out
