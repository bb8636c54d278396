"""Headers of the files that the library reads, checked before it is handed them: the library
itself reports most bad files by doing nothing."""

import array
import os
import struct
import sys

IMAGE_WIDTH, IMAGE_HEIGHT = 2560, 2048
DISPLAY_WIDTH, DISPLAY_HEIGHT = 1280, 1024

_LUT_MAGIC = b"LUTFILE\0"
_LUT_HEADER = 16
_OFFSET_MAGIC = b"FRAME\0"
_OFFSET_HEADER = 18


def require_file(path, what):
    """Raises FileNotFoundError naming the file and what it was meant to be."""
    if not os.path.isfile(path):
        raise FileNotFoundError(f"{what} {os.fsdecode(path)}: no such file")


def bitmap_size(path):
    """(width, height, bits per pixel, compression) of a Windows bitmap file; height is negative
    for rows stored top-down."""
    with open(path, "rb") as f:
        head = f.read(34)
    if len(head) < 34 or head[:2] != b"BM":
        raise ValueError(f"{os.fsdecode(path)}: not a Windows bitmap file")
    width, height, _planes, bits, compression = struct.unpack_from("<iiHHI", head, 18)
    return width, height, bits, compression


def check_bottom_up_24_bit(path, what, width=None, height=None):
    """Raises ValueError unless the file is an uncompressed 24-bit bitmap stored bottom-up, of
    the given size when one is given."""
    w, h, bits, compression = bitmap_size(path)
    name = os.fsdecode(path)
    if bits != 24 or compression != 0:
        raise ValueError(f"{what} {name}: a bitmap of {bits} bits per pixel (compression "
                         f"{compression}); it must be an uncompressed 24-bit bitmap")
    if width is not None and (w != width or abs(h) != height):
        raise ValueError(f"{what} {name}: a {w} x {abs(h)} bitmap; it must be "
                         f"{width} x {height} pixels")
    if h < 0:
        raise ValueError(f"{what} {name}: a top-down bitmap; it must be stored bottom-up, as "
                         "most programs save them")


def read_lut_file(path):
    """The entries of a LUT file, as signed integers."""
    with open(path, "rb") as f:
        data = f.read()
    name = os.fsdecode(path)
    if len(data) < _LUT_HEADER or data[:8] != _LUT_MAGIC:
        raise ValueError(f"LUT file {name}: not a LUT file")
    (count,) = struct.unpack_from("<I", data, 8)
    if len(data) < _LUT_HEADER + 2 * count:
        raise ValueError(f"LUT file {name}: {count} entries announced, "
                         f"{(len(data) - _LUT_HEADER) // 2} present")
    return list(struct.unpack_from(f"<{count}h", data, _LUT_HEADER))


def offset_map_size(path):
    """(width, height) of an offset file whose samples are all present."""
    with open(path, "rb") as f:
        data = f.read(_OFFSET_HEADER)
        rest = os.fstat(f.fileno()).st_size - _OFFSET_HEADER
    name = os.fsdecode(path)
    if len(data) < _OFFSET_HEADER or data[:6] != _OFFSET_MAGIC:
        raise ValueError(f"offset file {name}: not an offset file")
    count, width, height = struct.unpack_from("<iii", data, 6)
    if width < 0 or height < 0 or count != width * height or rest < 2 * count:
        raise ValueError(f"offset file {name}: a damaged header or missing samples")
    return width, height


def read_offset_file(path):
    """The samples of an offset file, row by row, as an array of signed 16-bit integers."""
    width, height = offset_map_size(path)
    samples = array.array("h")
    with open(path, "rb") as f:
        f.seek(_OFFSET_HEADER)
        samples.frombytes(f.read(2 * width * height))
    if sys.byteorder != "little":
        samples.byteswap()
    return samples
