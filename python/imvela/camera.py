"""One camera of the library: opened on construction (or `with Camera() as cam:`), released
by `release()` or at the end of the `with` block."""

import ctypes
import os
import re
import threading
import time
from collections import namedtuple

from . import images, library
from .errors import ERROR_NAMES, ExportMissing, ImvelaError

ERR_BUFFER = 5
ERR_TRANSFER = 8
ERR_TIMEOUT = 13

# File types of Imvela_SaveImage by file name extension; JPEG at quality 100.
FILE_TYPES = {".bmp": 0, ".raw": 1, ".jpg": 2, ".jpeg": 2, ".png": 5, ".tif": 6, ".tiff": 6}
JPEG_QUALITY_TYPES = {100: 2, 70: 3, 20: 4}

# Imvela_GetColorMode reports significant bits; the bits per pixel of each colour mode.
_MODE_BITS = {8: 8, 12: 16, 24: 24, 32: 32, 44: 48, 60: 64}

Frame = namedtuple("Frame", "image width height bit_count frame_rate sequence arrival",
                   defaults=(None, None))
Frame.__doc__ = """A streamed frame: the image and the frame record's fields (frame_rate in
frames per second as the library measured it; 0 for triggered frames), the camera's frame
number since the stream started (a gap: frames were skipped) and when the frame arrived, in
seconds of time.monotonic()."""

_lib = None
_lib_lock = threading.Lock()


def lib():
    """The camera library, loaded on first use."""
    global _lib
    with _lib_lock:
        if _lib is None:
            _lib = library.load()
        return _lib


def has_export(name):
    """Whether the loaded library has the export `name` (Imvela_SaveImage and Imvela_Record
    are absent from older builds)."""
    return library.has(lib(), name)


def _checked_setting(name):
    """A setting whose getter returns the value and reports success through a flag."""
    setter, getter = "Imvela_Set" + name, "Imvela_Get" + name

    def get(self):
        ok = ctypes.c_int32(0)
        value = self._export(getter)(self._live_handle(), ctypes.byref(ok))
        if not ok.value:
            self._fail(getter)
        return value

    def put(self, value):
        self._call(setter, int(value))

    return property(get, put, doc=f"{setter} / {getter}")


def _setting(name, kind=int):
    """A setting whose getter returns the value itself."""
    def get(self):
        return kind(self._export("Imvela_Get" + name)(self._live_handle()))

    def put(self, value):
        self._call("Imvela_Set" + name, int(value))

    return property(get, put)


class Camera:
    """Settings are properties (`color_mode`, `exposure_us`, `mirror_h`, `gamma`, ...);
    a failed call raises ImvelaError with the code the library recorded."""

    def __init__(self, device=0, color_mode=None):
        self._lib = lib()
        # Guards the handle and the message queue: a stream reads them while another thread
        # may release the camera. Never held while a frame is handed to the caller.
        self._lock = threading.Lock()
        self._closing = False
        self._handle = 0
        self._queue = self._lib.ImvelaMsg_CreateQueue()
        if not self._queue:
            raise MemoryError("no message queue for the camera")
        self._handle = self._lib.Imvela_Initialize(self._queue)
        if not self._handle:
            self.release()
            raise ImvelaError("Imvela_Initialize", 0)
        try:
            # Initialisation opens device 0 and succeeds without it; opening the device
            # by number reports a missing or busy camera.
            self._drain_errors()
            self._call("Imvela_SetDeviceNumber", int(device))
            # Frames go to the caller, not to a preview window of the library's own.
            self._call("Imvela_SetPreviewWindow", None, 0, 0, 0, 0)
            if color_mode is not None:
                self.color_mode = color_mode
        except BaseException:
            self.release()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.release()

    def __del__(self):
        if getattr(self, "_lock", None) is not None:
            self.release()

    def release(self):
        """Stops any stream and frees the camera; a stream iterating in another thread ends."""
        self._closing = True
        with self._lock:
            if self._handle:
                self._lib.Imvela_Release(self._handle)
                self._handle = 0
            if self._queue:
                self._lib.ImvelaMsg_DestroyQueue(self._queue)
                self._queue = None

    @property
    def handle(self):
        return self._handle

    # ---- calls ---------------------------------------------------------------------------

    def _export(self, name):
        function = getattr(self._lib, name, None)
        if function is None:
            raise ExportMissing(name)
        return function

    def _live_handle(self):
        if not self._handle:
            raise ImvelaError("camera released", 1, ())
        return self._handle

    def _drain_errors(self):
        history = []
        while len(history) < 20:
            code = self._lib.Imvela_GetLastError(self._handle)
            if code == 0:
                break
            history.append(code)
        return history

    def _fail(self, export):
        history = self._drain_errors()
        raise ImvelaError(export, history[0] if history else 0, history)

    def _call(self, export, *arguments):
        result = self._export(export)(self._live_handle(), *arguments)
        if result == 0:
            self._fail(export)
        return result

    # ---- settings ------------------------------------------------------------------------

    @property
    def color_mode(self):
        """Bits per pixel of delivered images: 8, 16 (gray), 24, 32, 48, 64 (B, G, R order)."""
        return _MODE_BITS[self._lib.Imvela_GetColorMode(self._live_handle())]

    @color_mode.setter
    def color_mode(self, bits):
        self._call("Imvela_SetColorMode", int(bits))

    @property
    def width(self):
        return self._call("Imvela_Width")

    @property
    def height(self):
        return self._call("Imvela_Height")

    @property
    def capture_window(self):
        """(total_width, h_start, effective_width, total_height, v_start, effective_height)."""
        values = [ctypes.c_int32() for _ in range(6)]
        self._call("Imvela_GetCaptureWindowEx", *[ctypes.byref(v) for v in values])
        return tuple(v.value for v in values)

    @capture_window.setter
    def capture_window(self, window):
        self._call("Imvela_SetCaptureWindowEx", *[int(v) for v in window])

    exposure_us = _checked_setting("RealExposureTime")  # microseconds
    mirror_h = _setting("MirrorH", bool)
    mirror_v = _setting("MirrorV", bool)
    sub_sample = _setting("SubSample")
    wait_time_ms = _setting("WaitTime")

    for _name in library.NAMED_FILTER_VALUES:
        locals()[re.sub(r"(?<=[a-z0-9])(?=[A-Z])|(?<=[A-Z])(?=[A-Z][a-z])", "_", _name).lower()] = \
            _checked_setting(_name)
    del _name

    # ---- images --------------------------------------------------------------------------

    def _new_image(self):
        return images.image_view(self.width, self.height, self.color_mode)

    def snapshot(self, out=None):
        """Captures one frame into a new array (or into `out`, an array an earlier snapshot
        returned for the same size and colour mode): the library writes the array's memory
        directly. Shape (height, width) for gray, (height, width, channels) for colour."""
        width, height, bits = self.width, self.height, self.color_mode
        image = self._new_image() if out is None else out
        storage = images.storage_of(image, width, height, bits)
        if storage is None:
            raise ValueError("out is not an image of this camera's size and colour mode")
        with self._lock:
            self._call("Imvela_SnapShot", storage.ctypes.data, storage.nbytes, 1)
        return image

    def frames(self, count=None, copy=True, timeout=10.0):
        """Streams frames and yields a Frame for each (at most `count`). With copy=False
        every Frame shares one array that the next frame overwrites. Ends when the camera is
        released; raises ImvelaError when the stream stops or no frame comes in `timeout`
        seconds."""
        image = self._new_image()
        storage = image.base
        message = library.Message()
        with self._lock:
            while self._lib.ImvelaMsg_Get(self._queue, 0, ctypes.byref(message)):
                pass  # posts of an earlier stream
            self._call("Imvela_CallBackPreview", self._queue, storage.ctypes.data, storage.nbytes, 1)
        try:
            delivered = 0
            deadline = time.monotonic() + timeout
            while count is None or delivered < count:
                if self._closing:
                    return
                with self._lock:
                    if not self._handle:
                        return
                    if not self._lib.ImvelaMsg_Get(self._queue, 100, ctypes.byref(message)):
                        if time.monotonic() > deadline:
                            raise ImvelaError("streaming", ERR_TIMEOUT, (ERR_TIMEOUT,))
                        continue
                    if message.message != library.WM_CAMERA_FRAME:
                        continue
                    if not message.wParam:
                        if message.lParam == ERR_TRANSFER:
                            continue  # one frame lost; the stream goes on
                        self._drain_errors()
                        raise ImvelaError("streaming", message.lParam, (message.lParam,))
                    # The record lives in the camera: read it before the lock is let go.
                    record = library.FrameRecord.from_address(message.wParam)
                    info = library.FrameInfo(ctypes.sizeof(library.FrameInfo))
                    known = self._lib.ImvelaDiag_GetFrameInfo(self._handle, ctypes.byref(info)) == 1
                    frame = Frame(image.copy() if copy else image, record.width, record.height,
                                  record.bit_count, record.frame_rate / 10,
                                  info.sequence if known else None, info.arrival_us / 1e6 if known else None)
                deadline = time.monotonic() + timeout
                delivered += 1
                yield frame
        finally:
            with self._lock:
                if self._handle:
                    self._lib.Imvela_StopPreview(self._handle)

    def __iter__(self):
        return self.frames()

    # ---- files ---------------------------------------------------------------------------

    def save(self, path, jpeg_quality=100):
        """Saves the current image; the form follows the extension (.bmp .raw .jpg .png
        .tif). JPEG quality is 100, 70 or 20."""
        extension = os.path.splitext(os.fspath(path))[1].lower()
        if extension not in FILE_TYPES:
            raise ValueError(f"no image file form for {extension!r}")
        file_type = FILE_TYPES[extension]
        if file_type == 2:
            if jpeg_quality not in JPEG_QUALITY_TYPES:
                raise ValueError("jpeg_quality is 100, 70 or 20")
            file_type = JPEG_QUALITY_TYPES[jpeg_quality]
        self._export("Imvela_SaveImage")
        self._call("Imvela_SaveImage", os.fsencode(path), file_type)

    def record(self, path, seconds, show_window=False):
        """Starts recording the live picture into an AVI file for `seconds`; returns at once."""
        self._export("Imvela_Record")
        milliseconds = int(seconds * 1000)
        if not 0 < milliseconds < 2 ** 32:
            raise ValueError("seconds out of range")
        self._call("Imvela_Record", os.fsencode(path), milliseconds, 1 if show_window else 0)


__all__ = ["Camera", "Frame", "has_export", "FILE_TYPES", "ERROR_NAMES"]
