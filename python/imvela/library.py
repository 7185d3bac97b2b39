"""Loads the camera library and declares the prototypes of the exports the module uses."""

import ctypes
import os
from pathlib import Path

LIBRARY_NAME = "libImvelaSdk_M52_ZKR.so"
LIBRARY_SONAME = LIBRARY_NAME + ".1"

WM_CAMERA_FRAME = 0x8002
WM_CAMERA_ERROR = 0x8003

_i32 = ctypes.c_int32
_ptr = ctypes.c_void_p
_i32_out = ctypes.POINTER(ctypes.c_int32)


class FrameRecord(ctypes.Structure):
    _fields_ = [("size", _i32), ("width", _i32), ("height", _i32), ("bit_count", _i32),
                ("frame_rate", _i32), ("buffer", _ptr)]


class FrameInfo(ctypes.Structure):
    _fields_ = [("size", _i32), ("sequence", ctypes.c_uint32), ("arrival_us", ctypes.c_uint64)]


class Message(ctypes.Structure):
    _fields_ = [("message", ctypes.c_uint32), ("wParam", ctypes.c_size_t), ("lParam", ctypes.c_ssize_t)]


class DeviceHolder(ctypes.Structure):
    _fields_ = [("size", _i32), ("in_use", _i32), ("process_id", _i32), ("alive", _i32),
                ("since", ctypes.c_int64), ("executable", ctypes.c_char * 256)]


# name: (argument types, result type). The named filter values are declared where used.
_PROTOTYPES = {
    "Imvela_Initialize": ([_ptr], _i32),
    "Imvela_Release": ([_i32], _i32),
    "Imvela_GetDllVersion": ([], _i32),
    "Imvela_GetLastError": ([_i32], _i32),
    "Imvela_SetDeviceNumber": ([_i32, _i32], _i32),
    "Imvela_SetColorMode": ([_i32, _i32], _i32),
    "Imvela_GetColorMode": ([_i32], _i32),
    "Imvela_SetSubSample": ([_i32, _i32], _i32),
    "Imvela_GetSubSample": ([_i32], _i32),
    "Imvela_SetWaitTime": ([_i32, _i32], _i32),
    "Imvela_GetWaitTime": ([_i32], _i32),
    "Imvela_SetMirrorH": ([_i32, _i32], _i32),
    "Imvela_GetMirrorH": ([_i32], _i32),
    "Imvela_SetMirrorV": ([_i32, _i32], _i32),
    "Imvela_GetMirrorV": ([_i32], _i32),
    "Imvela_Width": ([_i32], _i32),
    "Imvela_Height": ([_i32], _i32),
    "Imvela_SetCaptureWindowEx": ([_i32] * 7, _i32),
    "Imvela_GetCaptureWindowEx": ([_i32] + [_i32_out] * 6, _i32),
    "Imvela_SetPreviewWindow": ([_i32, _ptr, _i32, _i32, _i32, _i32], _i32),
    "Imvela_SetRealExposureTime": ([_i32, _i32], _i32),
    "Imvela_GetRealExposureTime": ([_i32, _i32_out], _i32),
    "Imvela_SetFilterValue": ([_i32, _i32, _i32], _i32),
    "Imvela_GetFilterValue": ([_i32, _i32, _i32_out], _i32),
    "Imvela_SnapShot": ([_i32, _ptr, _i32, _i32], _i32),
    "Imvela_CallBackPreview": ([_i32, _ptr, _ptr, _i32, _i32], _i32),
    "Imvela_StopPreview": ([_i32], _i32),
    "Imvela_Close": ([_i32], _i32),
    "Imvela_SaveImage": ([_i32, ctypes.c_char_p, _i32], _i32),
    "Imvela_Record": ([_i32, ctypes.c_char_p, ctypes.c_uint32, _i32], _i32),
    "Imvela_GetDeviceName": ([_i32, _i32, ctypes.c_char_p, _i32], _i32),
    "ImvelaDiag_GetDeviceHolder": ([_i32, _i32, ctypes.POINTER(DeviceHolder)], _i32),
    "ImvelaDiag_GetFrameInfo": ([_i32, ctypes.POINTER(FrameInfo)], _i32),
    "ImvelaMsg_CreateQueue": ([], _ptr),
    "ImvelaMsg_Get": ([_ptr, ctypes.c_uint32, ctypes.POINTER(Message)], ctypes.c_int),
    "ImvelaMsg_DestroyQueue": ([_ptr], None),
}


def _candidates():
    """IMVELA_LIBRARY names the file; otherwise the library beside this package (a pip install
    from a build tree copies it there), then the library of the installed tree the package sits
    in (its place relative to the package is written at install time), then the loader's
    search by the library's versioned name."""
    explicit = os.environ.get("IMVELA_LIBRARY")
    if explicit:
        return [explicit]
    here = Path(__file__).resolve().parent
    found = [here / LIBRARY_SONAME]
    try:
        from . import _installed_tree
        found.append(here / _installed_tree.LIBRARY_DIR / LIBRARY_SONAME)
    except ImportError:
        pass  # not installed by CMake
    return [os.path.normpath(path) for path in found if path.is_file()] + [LIBRARY_SONAME, LIBRARY_NAME]


def load():
    """The library with prototypes set; exports it lacks are left out (see `has`)."""
    errors = []
    for name in _candidates():
        try:
            lib = ctypes.CDLL(name)
            break
        except OSError as error:
            errors.append(str(error))
    else:
        raise OSError("camera library not found: " + "; ".join(errors))
    for export, (arguments, result) in _PROTOTYPES.items():
        function = getattr(lib, export, None)
        if function is not None:
            function.argtypes = arguments
            function.restype = result
    return lib


def has(lib, export):
    return hasattr(lib, export)

# Exports Imvela_Set<Name>(handle, value) / Imvela_Get<Name>(handle, int32* ok).
NAMED_FILTER_VALUES = (
    "Brightness", "Contrast", "Hue", "Saturation", "Sharpness", "BayerGainRGB", "BayerGainRed",
    "BayerGainGreen", "BayerGainBlue", "BayerGainAuto", "Gamma", "BayerMode", "GlobalGain",
    "ColorGainRed", "ColorGainGreen1", "ColorGainGreen2", "ColorGainBlue", "ExposureTime",
    "GrayMode", "GrayGainR", "GrayGainG1", "GrayGainG2", "GrayGainB", "GrayOffsetR",
    "GrayOffsetG1", "GrayOffsetG2", "GrayOffsetB")
for _name in NAMED_FILTER_VALUES:
    _PROTOTYPES["Imvela_Set" + _name] = ([_i32, _i32], _i32)
    _PROTOTYPES["Imvela_Get" + _name] = ([_i32, _i32_out], _i32)
del _name
