"""The package is tested against the built native library and command-line host: by default
those of build/native, or the ones $KAVREL_LIBRARY and $KAVREL_HOST name."""

import os
import pathlib
import struct
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
os.environ.setdefault("KAVREL_LIBRARY", str(ROOT / "build" / "native" / "libkavrel.so"))
HOST = os.environ.get("KAVREL_HOST", str(ROOT / "build" / "native" / "kavrel-host"))

import kavrel  # noqa: E402  (after the library's path is set)


def run_host(*arguments):
    """Runs kavrel-host (with the library under test, for the commands that load it); fails the
    test on a non-zero exit."""
    command = [HOST, *map(str, arguments)]
    if arguments[0] not in ("sample-image", "targets", "history", "restore", "prepare"):
        command += ["--library", os.environ["KAVREL_LIBRARY"]]
    done = subprocess.run(command, capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    return done.stdout


def write_bitmap(path, width, height, pixel=(255, 255, 255), top_down=False, bits=24):
    """A uniform uncompressed bitmap file."""
    stride = (width * bits // 8 + 3) & ~3
    row = bytes(pixel[: bits // 8]) * width
    row += bytes(stride - len(row))
    header = struct.pack("<2sIHHI", b"BM", 54 + stride * height, 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, -height if top_down else height, 1, bits, 0,
                       stride * height, 2835, 2835, 0, 0)
    pathlib.Path(path).write_bytes(header + info + row * height)


def write_offset_file(path, samples_of):
    """An offset file of 1280 x 1024 samples, sample (x, y) = samples_of(x, y)."""
    width, height = 1280, 1024
    data = struct.pack("<6siii", b"FRAME", width * height, width, height)
    data += b"".join(struct.pack(f"<{width}h", *(samples_of(x, y) for x in range(width)))
                     for y in range(height))
    pathlib.Path(path).write_bytes(data)


@pytest.fixture(scope="session")
def lib():
    path = os.environ["KAVREL_LIBRARY"]
    assert os.path.isfile(path), f"build the native library first: {path} is missing"
    assert os.path.isfile(HOST), f"build kavrel-host first: {HOST} is missing"
    return kavrel.Library()


@pytest.fixture(scope="session")
def sample_image(tmp_path_factory):
    path = tmp_path_factory.mktemp("image") / "sample.bmp"
    run_host("sample-image", path)
    return path
