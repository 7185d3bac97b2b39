"""The M52-ZKR camera from Python: ctypes over libImvelaSdk_M52_ZKR.so, images as numpy arrays.

    import imvela
    with imvela.Camera(color_mode=24) as cam:
        cam.exposure_us = 20000
        image = cam.snapshot()            # (1024, 1280, 3) uint8, B, G, R
        for frame in cam.frames(10): print(frame.frame_rate, frame.image.mean())
"""

from .camera import FILE_TYPES, Camera, Frame, Recording, has_export
from .errors import ERROR_NAMES, CameraBusy, ExportMissing, ImvelaError
from .images import COLOR_MODES

__all__ = ["Camera", "Frame", "Recording", "ImvelaError", "CameraBusy", "ExportMissing", "has_export", "COLOR_MODES",
           "ERROR_NAMES", "FILE_TYPES"]
