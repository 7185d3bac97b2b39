import pathlib
import re
import threading
import time

import numpy as np
import pytest

import imvela

# The ramp scene: sample (X + 2Y) mod 256 / mod 4096. Gray modes show it as it is; through
# the colour pipeline every channel of an inner pixel reads (X + 2Y - 2), exact in the
# 12-bit modes (the ramp never wraps there) and away from the wrap in the 8-bit ones.
Y, X = np.mgrid[0:1024, 0:1280]
RAMP = X + 2 * Y
INNER = (slice(4, -4), slice(4, -4))


@pytest.mark.parametrize("bits, dtype, shape, expected", [
    (8, np.uint8, (1024, 1280), RAMP % 256),
    (16, np.uint16, (1024, 1280), RAMP % 4096),
    (24, np.uint8, (1024, 1280, 3), (RAMP - 2) % 256),
    (32, np.uint8, (1024, 1280, 4), (RAMP - 2) % 256),
    (48, np.uint16, (1024, 1280, 3), RAMP - 2),
    (64, np.uint16, (1024, 1280, 4), RAMP - 2),
])
def test_snapshot_shape_type_and_ramp_pixels(camera, bits, dtype, shape, expected):
    camera.color_mode = bits
    image = camera.snapshot()
    assert (image.shape, image.dtype) == (shape, dtype)
    if image.ndim == 2:
        np.testing.assert_array_equal(image, expected)
        return
    inner = image[INNER].astype(int)
    known = expected[INNER]
    if dtype == np.uint8:  # interpolation across the 255 -> 0 step is no ramp value
        known = np.where((known > 8) & (known < 247), known, -1)
    for channel in range(3):
        np.testing.assert_array_equal(np.where(known < 0, -1, inner[..., channel]), known)
    if shape[2] == 4:
        assert not image[..., 3].any()


def test_snapshot_writes_into_the_given_array(camera):
    camera.color_mode = 8
    image = camera.snapshot()
    image[:] = 0
    assert camera.snapshot(out=image) is image
    assert image[1023, 1279] == (1279 + 2046) % 256
    # Any C-contiguous array of the shape and dtype, also without the padding of 1283-pixel rows.
    mine = np.zeros((1024, 1280), np.uint8)
    assert camera.snapshot(out=mine) is mine
    np.testing.assert_array_equal(mine, RAMP % 256)
    camera.capture_window = (1292, 0, 1283, 1040, 0, 1024)
    odd = np.zeros((1024, 1283), np.uint8)
    assert camera.snapshot(out=odd) is odd
    np.testing.assert_array_equal(odd, camera.snapshot())
    for wrong in (np.zeros((1024, 1283), np.uint16), np.zeros((1283, 1024), np.uint8).T,
                  np.zeros((1024, 1283), np.uint8)[::-1], np.zeros((1024, 1284), np.uint8)):
        with pytest.raises(ValueError):
            camera.snapshot(out=wrong)


def test_failures_carry_the_first_recorded_code_as_their_cause(camera):
    with pytest.raises(imvela.ImvelaError) as failure:
        camera.color_mode = 7
    assert (failure.value.code, failure.value.name, failure.value.history) == (9, "ERR_ARGUMENT", (9,))
    with pytest.raises(imvela.ImvelaError) as failure:
        imvela.Camera(device=3)
    assert (failure.value.code, failure.value.name) == (2, "ERR_DEVICE_UNAVAILABLE")
    assert str(failure.value).startswith("camera 3 is not attached (Imvela_SetDeviceNumber failed: ")
    camera.release()
    with pytest.raises(imvela.ImvelaError) as failure:
        camera.snapshot()
    assert failure.value.name == "ERR_NOT_READY"


def test_streamed_frames_carry_the_record_and_the_image(camera):
    camera.color_mode = 16
    frames = list(camera.frames(4))
    assert [(f.width, f.height, f.bit_count) for f in frames] == [(1280, 1024, 16)] * 4
    assert frames[0].image is not frames[1].image
    numbers = [f.sequence for f in frames]
    assert numbers == sorted(set(numbers)) and numbers[0] >= 0
    assert frames[0].arrival < frames[-1].arrival <= time.monotonic()
    np.testing.assert_array_equal(frames[-1].image, RAMP % 4096)
    # The stream stopped when the iteration ended: a snapshot is allowed again.
    assert camera.snapshot().shape == (1024, 1280)


def test_releasing_the_camera_ends_an_iteration_in_another_thread(camera):
    seen, errors, started = [], [], threading.Event()

    def iterate():
        try:
            for frame in camera.frames(copy=False):
                seen.append(frame.bit_count)
                started.set()
        except Exception as error:  # reported below
            errors.append(error)

    worker = threading.Thread(target=iterate)
    worker.start()
    assert started.wait(10)
    camera.release()
    worker.join(10)
    assert not worker.is_alive() and errors == [] and seen


def test_save_follows_the_library_exports(camera, tmp_path):
    camera.color_mode = 8
    camera.snapshot()
    if not imvela.has_export("Imvela_SaveImage"):
        with pytest.raises(imvela.ExportMissing):
            camera.save(tmp_path / "still.bmp")
    else:
        camera.save(tmp_path / "still.bmp")
        data = (tmp_path / "still.bmp").read_bytes()
        assert data[:2] == b"BM" and len(data) == 14 + 40 + 1024 + 1280 * 1024
    with pytest.raises(ValueError):
        camera.save(tmp_path / "still.gif")


def test_named_filter_values_are_those_of_the_library_list():
    # The module names the filter values' exports by hand; the library makes them from its list.
    listed = pathlib.Path(__file__).resolve().parents[2] / "settings" / "filter_value_list.inc"
    names = re.findall(r"^IMVELA_FILTER_VALUE\((\w+),", listed.read_text(), re.MULTILINE)
    assert len(names) > 20
    assert list(imvela.library.NAMED_FILTER_VALUES) == names
