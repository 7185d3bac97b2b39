"""One camera of the library: opened on construction (or `with Camera() as cam:`), released
by `release()` or at the end of the `with` block."""

import ctypes
import os
import re
import struct
import threading
import time
from collections import namedtuple

import numpy as np

from . import images, library
from .errors import ERROR_NAMES, CameraBusy, ExportMissing, ImvelaError

ERR_DEVICE_UNAVAILABLE = 2
ERR_BUFFER = 5
ERR_TRANSFER = 8
ERR_FILE = 12
ERR_TIMEOUT = 13

# The first frame of a recording comes within this after its start (the recording's time counts
# from that frame): a recording not finished by then is ended.
FIRST_FRAME_ALLOWANCE = 1.0
# Where a finished AVI file holds its frame count (0 until the library finishes the file).
_AVI_FRAME_COUNT_AT = 48

# File types of Imvela_SaveImage by file name extension; JPEG at quality 100.
FILE_TYPES = {".bmp": 0, ".raw": 1, ".jpg": 2, ".jpeg": 2, ".png": 5, ".tif": 6, ".tiff": 6}
JPEG_QUALITY_TYPES = {100: 2, 70: 3, 20: 4}

# Imvela_GetColorMode reports significant bits; the bits per pixel of each colour mode.
_MODE_BITS = {8: 8, 12: 16, 24: 24, 32: 32, 44: 48, 60: 64}

Frame = namedtuple("Frame", "image width height bit_count frame_rate sequence arrival",
                   defaults=(None, None))
Frame.__doc__ = """A streamed frame: the image and the frame record's fields. frame_rate is in
frames per second: the library's figure once it has one (after the first second), until then
measured from the frames' arrival times (0 for the first frame). sequence is the camera's
frame number since the stream started (a gap: frames were skipped), arrival when the frame
arrived, in seconds of time.monotonic()."""

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
        self._drain_errors()
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
    a failed call raises ImvelaError with the cause the library recorded first."""

    def __init__(self, device=0, color_mode=None):
        self._lib = lib()
        # Guards the handle and the message queue: a stream reads them while another thread
        # may release the camera. Never held while a frame is handed to the caller.
        self._lock = threading.RLock()
        self._closing = False
        self._streaming = False
        self._recording = None
        self.device = int(device)
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
        """Stops any stream and frees the camera; a stream iterating in another thread ends, a
        running recording ends with its file finished."""
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

    def _holder(self):
        """Who holds the camera, as far as the library tells: ": python3, process 4242, since
        17:02:11" ("" when it does not)."""
        if not library.has(self._lib, "ImvelaDiag_GetDeviceHolder"):
            return ""
        holder = library.DeviceHolder(size=ctypes.sizeof(library.DeviceHolder))
        if not self._lib.ImvelaDiag_GetDeviceHolder(0, self.device, ctypes.byref(holder)) or not holder.in_use:
            return ""
        parts = [holder.executable.decode("utf-8", "replace")] if holder.executable else []
        if holder.process_id:
            parts.append(f"process {holder.process_id}")
        if holder.since:
            parts.append("since " + time.strftime("%H:%M:%S", time.localtime(holder.since)))
        if not holder.alive:
            parts.append("no longer running")
        return ": " + ", ".join(parts) if parts else ""

    def _cause(self, code):
        """The cause in words, for the codes the module can tell more about."""
        if code != ERR_DEVICE_UNAVAILABLE or not self._handle:
            return None
        name = ctypes.create_string_buffer(256)
        attached = self._lib.Imvela_GetDeviceName(self._handle, self.device, name, len(name))
        self._drain_errors()  # the look-up's own codes
        if not attached:
            return f"camera {self.device} is not attached"
        return f"camera {self.device} is in use by another process{self._holder()}"

    def _fail(self, export):
        history = self._drain_errors()
        cause = history[-1] if history else 0
        raise ImvelaError(export, cause, history, self._cause(cause))

    def _call(self, export, *arguments):
        function = self._export(export)
        handle = self._live_handle()
        self._drain_errors()  # codes of earlier calls and of the workers are not this call's
        result = function(handle, *arguments)
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

    def _refuse_while_recording(self, call):
        recording = self._recording
        if recording is not None and not recording.done:
            raise CameraBusy(f"{call} cannot run while camera {self.device} records into "
                             f"{recording.path}: wait() for the recording or stop() it first")

    def snapshot(self, out=None):
        """Captures one frame into a new array, or into `out`: any writable C-contiguous array
        of the image's shape and dtype (or an array an earlier snapshot returned). Where the
        array's rows are laid out as the library's, it writes the array's memory directly.
        Shape (height, width) for gray, (height, width, channels) for colour. Raises
        CameraBusy while a recording or a frames() stream runs."""
        width, height, bits = self.width, self.height, self.color_mode
        image = self._new_image() if out is None else out
        storage = images.check_target(image, width, height, bits)
        direct = storage is not None
        if not direct:
            padded = self._new_image()
            storage = padded.base
        with self._lock:
            self._refuse_while_recording("snapshot()")
            if self._streaming:
                raise CameraBusy("snapshot() cannot run while frames() streams from this camera")
            self._call("Imvela_SnapShot", storage.ctypes.data, storage.nbytes, 1)
        if not direct:
            np.copyto(image, padded)
        return image

    def frames(self, count=None, copy=True, timeout=10.0):
        """Streams frames and yields a Frame for each (at most `count`). With copy=False
        every Frame shares one array that the next frame overwrites. Ends when the camera is
        released; raises ImvelaError when the stream stops or no frame comes in `timeout`
        seconds.

        A stream and a recording do not run together: while a recording runs, frames() raises
        CameraBusy (wait() for the recording or stop() it first), and record() raises
        CameraBusy while a stream runs. One stream at a time per camera."""
        image = self._new_image()
        storage = image.base
        message = library.Message()
        with self._lock:
            self._refuse_while_recording("frames()")
            if self._streaming:
                raise CameraBusy(f"camera {self.device} already streams to another frames() iteration")
            while self._lib.ImvelaMsg_Get(self._queue, 0, ctypes.byref(message)):
                pass  # posts of an earlier stream
            self._call("Imvela_CallBackPreview", self._queue, storage.ctypes.data, storage.nbytes, 1)
            self._streaming = True
        try:
            delivered = 0
            first_arrival = None
            last_sequence = None
            deadline = time.monotonic() + timeout
            while count is None or delivered < count:
                if self._closing:
                    return
                with self._lock:
                    if not self._handle:
                        return
                    if not self._lib.ImvelaMsg_Get(self._queue, 100, ctypes.byref(message)):
                        if time.monotonic() > deadline:
                            raise ImvelaError("streaming", ERR_TIMEOUT, (ERR_TIMEOUT,),
                                              f"camera {self.device} sent no frame for {timeout:g} s")
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
                    if known and info.sequence == last_sequence:
                        continue  # a later frame's post: the buffer holds the frame already yielded
                    last_sequence = info.sequence if known else None
                    now = time.monotonic()
                    rate = record.frame_rate / 10
                    if first_arrival is None:
                        first_arrival = now
                    elif rate == 0 and now > first_arrival:
                        # The library measures over its first second: until then, the frames
                        # delivered since the first one over the time they took.
                        rate = delivered / (now - first_arrival)
                    frame = Frame(image.copy() if copy else image, record.width, record.height,
                                  record.bit_count, rate,
                                  info.sequence if known else None, info.arrival_us / 1e6 if known else None)
                deadline = time.monotonic() + timeout
                delivered += 1
                yield frame
        finally:
            with self._lock:
                self._streaming = False
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
        """Starts recording the live picture into an AVI file for `seconds`, counted from the
        first frame, and returns the running Recording at once: `wait()` for its end,
        `stop()` it early, or use it in a `with` block, whose end ends the recording (the file
        then holds every frame taken until then). When the recording ends, the preview it
        started stops: the camera is back as it was, and snapshots work again. Raises
        CameraBusy while a frames() stream or another recording runs."""
        self._export("Imvela_Record")
        milliseconds = int(seconds * 1000)
        if not 0 < milliseconds < 2 ** 32:
            raise ValueError("seconds out of range")
        with self._lock:
            self._refuse_while_recording("record()")
            if self._streaming:
                raise CameraBusy("record() cannot run while frames() streams from this camera")
            self._call("Imvela_Record", os.fsencode(path), milliseconds, 1 if show_window else 0)
            self._recording = Recording(self, path, seconds)
            return self._recording

    def _end_recording(self, recording):
        """Stops the capture a recording started (which finishes its file when its time was not
        up yet). Raises ImvelaError when the recording was cut short by a failure."""
        with self._lock:
            if self._recording is not recording:
                return
            self._recording = None
            if not self._handle:
                return  # releasing the camera finished the file
            self._lib.Imvela_StopPreview(self._handle)
            history = self._drain_errors()
        failures = [code for code in history if code in (ERR_FILE, ERR_TIMEOUT)]
        if failures:
            raise ImvelaError("recording", failures[-1], failures,
                              f"the recording into {recording.path} ended early")


class Recording:
    """A recording that Camera.record started: `wait()`, `stop()`, `done`, or a `with` block.

    The library ends the recording when its time is up; the camera then stops the preview the
    recording started. Leaving the `with` block (or stop()) ends it at once, with every frame
    taken until then in the file."""

    def __init__(self, camera, path, seconds):
        self.path = os.fspath(path)
        self.seconds = seconds
        self._camera = camera
        self._ended = threading.Event()
        self._deadline = time.monotonic() + seconds + FIRST_FRAME_ALLOWANCE

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def _finished_file(self):
        """Whether the library has finished the file. Its frame counts are kept up to date
        while it records; finished, the first RIFF ends with "idx1" listing its frames, and
        the RIFFs fill the file."""
        try:
            with open(self.path, "rb") as file:
                head = file.read(_AVI_FRAME_COUNT_AT + 4)
                if len(head) < _AVI_FRAME_COUNT_AT + 4:
                    return False
                frames = struct.unpack_from("<I", head, _AVI_FRAME_COUNT_AT)[0]
                end, size = 0, os.fstat(file.fileno()).st_size
                while end + 12 <= size:
                    file.seek(end + 4)
                    end += 8 + struct.unpack("<I", file.read(4))[0]
                file.seek(8 + struct.unpack_from("<I", head, 4)[0] - 8 - 16 * frames)
                index = file.read(8)
        except (OSError, ValueError, struct.error):
            return False
        return frames > 0 and end == size and index == b"idx1" + struct.pack("<I", 16 * frames)

    @property
    def done(self):
        """True once the recording has ended (its time is up, or it was stopped)."""
        if not self._ended.is_set() and (time.monotonic() >= self._deadline or self._finished_file()):
            self.stop()
        return self._ended.is_set()

    def wait(self, timeout=None):
        """Blocks until the recording has ended: True, or False when `timeout` seconds passed
        first (the recording then goes on)."""
        limit = None if timeout is None else time.monotonic() + timeout
        while not self.done:
            left = self._deadline - time.monotonic()
            if limit is not None:
                left = min(left, limit - time.monotonic())
                if left <= 0:
                    return False
            self._ended.wait(min(max(left, 0.001), 0.02))
        return True

    def stop(self):
        """Ends the recording now; the file keeps every frame taken until then."""
        if self._ended.is_set():
            return
        try:
            self._camera._end_recording(self)
        finally:
            self._ended.set()


__all__ = ["Camera", "Frame", "Recording", "has_export", "FILE_TYPES", "ERROR_NAMES"]
