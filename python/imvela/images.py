"""numpy views of the library's image layout: rows top first, each row padded to a multiple
of 4 bytes; 24/32-bit pixels are B, G, R(, A) bytes, 48/64-bit ones B, G, R(, A) 16-bit
words, 16-bit gray has 12 significant bits."""

import numpy as np

# bits per pixel -> (sample type, channels)
COLOR_MODES = {
    8: (np.uint8, 1),
    16: (np.uint16, 1),
    24: (np.uint8, 3),
    32: (np.uint8, 4),
    48: (np.uint16, 3),
    64: (np.uint16, 4),
}


def row_stride(width, bits):
    return (width * bits // 8 + 3) & ~3


def image_view(width, height, bits, storage=None):
    """An array of shape (height, width) or (height, width, channels) over `storage` (a
    fresh uint8 buffer of stride * height bytes when None): the library writes into the
    storage and the array shows it without a copy."""
    dtype, channels = COLOR_MODES[bits]
    stride = row_stride(width, bits)
    if storage is None:
        storage = np.empty(stride * height, np.uint8)
    item = np.dtype(dtype).itemsize
    shape = (height, width) + ((channels,) if channels > 1 else ())
    strides = (stride, item * channels) + ((item,) if channels > 1 else ())
    return np.ndarray(shape, dtype, storage, 0, strides)


def storage_of(image, width, height, bits):
    """The uint8 buffer behind an array that image_view made for this geometry, or None for
    any other array (the library writes stride * height bytes: never past a buffer's end)."""
    base = image.base
    if not isinstance(base, np.ndarray) or base.dtype != np.uint8 or base.ndim != 1:
        return None
    like = image_view(width, height, bits, base) if base.nbytes >= row_stride(width, bits) * height else None
    if (like is None or not base.flags.writeable or image.ctypes.data != base.ctypes.data or
            image.dtype != like.dtype or image.shape != like.shape or image.strides != like.strides):
        return None
    return base


def check_target(image, width, height, bits):
    """How the library's image gets into `image`, a caller's array: its own memory (the uint8
    buffer behind it) when the library can write there directly, None when the image has to be
    copied in (a C-contiguous array of rows without the library's padding). ValueError for an
    array that cannot take the image."""
    storage = storage_of(image, width, height, bits)
    if storage is not None:
        return storage
    dtype, channels = COLOR_MODES[bits]
    shape = (height, width) + ((channels,) if channels > 1 else ())
    if not isinstance(image, np.ndarray) or image.shape != shape or image.dtype != dtype:
        raise ValueError(f"out must be a {np.dtype(dtype).name} array of shape {shape} for "
                         f"{bits}-bit images of {width} x {height}")
    if not image.flags.c_contiguous or not image.flags.writeable:
        raise ValueError("out must be a writable C-contiguous array")
    if row_stride(width, bits) != image.strides[0]:
        return None
    return image.reshape(-1).view(np.uint8)
