import ctypes
import gc
import pathlib
import re
import struct
import subprocess
import sys

import numpy as np
import pytest

import kavrel
from conftest import ROOT, run_host, write_bitmap, write_offset_file

# Readings of a grey scale that the library turns into a table with entry 64 = 1846.
READINGS = [10] + [10 + 5 * r for r in range(1, 47)] + [10]


def uneven(x, y):
    return (x * 7 + y * 3) % 201 - 100


@pytest.fixture(scope="module")
def calibrated(lib, tmp_path_factory):
    """A LUT made through the package, an uneven offset map, and the host's pictures of the
    sample image's twelve frames through both, each followed by a blank frame of level 100."""
    folder = tmp_path_factory.mktemp("calibrated")
    lut = folder / "lab.lut"
    table = lib.calc_lut(READINGS, lut)
    assert (table[0], table[64], table[128]) == (4095, 1846, 674)
    offset = folder / "uneven.frm"
    write_offset_file(offset, uneven)
    return folder, lut, offset


@pytest.fixture(scope="module")
def host_pictures(calibrated, sample_image):
    folder, lut, offset = calibrated
    run_host("expose", sample_image, "--lut", lut, "--offset", offset, "--blank", 100,
             "--out", folder / "host")
    pictures = sorted((folder / "host").glob("frame-*.bmp"))
    assert len(pictures) == 24
    return pictures


def test_expose_draws_the_hosts_pictures(lib, calibrated, sample_image, host_pictures, tmp_path):
    _, lut, offset = calibrated
    files = lib.expose(sample_image, lut=lut, offset=offset, blank=100, out=tmp_path / "py")
    assert [pathlib.Path(f).name for f in files] == [p.name for p in host_pictures]
    for ours, hosts in zip(files, host_pictures):
        assert pathlib.Path(ours).read_bytes() == hosts.read_bytes(), ours
    # A run without blank frames leaves only its own twelve pictures in the folder.
    files = lib.expose(sample_image, lut=lut, offset=offset, out=tmp_path / "py")
    assert sorted(p.name for p in (tmp_path / "py").iterdir()) == \
        [pathlib.Path(f).name for f in files]
    assert len(files) == 12


def test_frames_from_an_array_are_the_hosts_pictures(lib, calibrated, sample_image,
                                                     host_pictures, tmp_path):
    _, lut, offset = calibrated
    lib.SetLutFile(lut)
    lib.SetOffsetFile(offset)
    data = sample_image.read_bytes()
    (start,) = struct.unpack_from("<I", data, 10)
    # The only reference to the array is the package's, set through another Library object of
    # the same file, which shares the engine and is gone at once: the memory must stay alive.
    kavrel.Library().set_bitmap(np.frombuffer(data, np.uint8, 2048 * 2560 * 3, start)
                                .reshape(2048, 2560, 3).copy())
    del data
    gc.collect()
    with lib.output_device(f"file:{tmp_path}/shown-%02d.bmp"):
        for drawing, index in enumerate((0, 5, 11)):
            assert lib.SetColor(index // 4) == index // 4
            assert lib.SetPosition(index % 4) == index % 4
            lib.CalcFrame(index)
            lib.OutputFrame(index)
            shown = (tmp_path / f"shown-{drawing:02d}.bmp").read_bytes()
            assert shown == host_pictures[2 * index].read_bytes(), index


def test_results_come_back_whole(lib):
    pixels = bytearray(2048 * 2560 * 3)
    address = ctypes.addressof((ctypes.c_char * len(pixels)).from_buffer(pixels))
    assert lib.SetBitmapPointer(address) == address  # a full-width pointer, not an int
    lib.set_bitmap(pixels)  # from here the package keeps the buffer alive
    assert lib.SetThreshold(-7) == -7
    assert lib.SetCorrectionFactor(2**31 - 1) == 2**31 - 1
    assert (lib.DisableErrorWindow(5), lib.DisableErrorWindow(0)) == (0, 1)
    assert lib.ShowDialog() is None


def test_strings_reach_the_library_in_the_file_system_encoding(lib, sample_image, tmp_path):
    folder = tmp_path / "Bilder für den Schirm"
    folder.mkdir()
    image = folder / "größe.bmp"
    image.write_bytes(sample_image.read_bytes())
    assert lib.SetImageFile(image) == 0
    assert lib.SetImageFile(str(image)) == 0
    assert lib.SetImageFile(bytes(image)) == 0
    assert lib.SetImageFile(folder / "missing.bmp") == 1
    assert lib.SetImageFile(None) == 1


def test_library_path(monkeypatch, tmp_path):
    monkeypatch.setenv("KAVREL_LIBRARY", str(tmp_path / "nowhere.so"))
    assert kavrel.default_library_path() == str(tmp_path / "nowhere.so")
    with pytest.raises(kavrel.KavrelError, match="nowhere.so"):
        kavrel.Library()
    not_a_library = tmp_path / "libkavrel.so"
    not_a_library.write_bytes(b"not a library")
    with pytest.raises(kavrel.KavrelError, match="cannot load the kavrel library"):
        kavrel.Library(not_a_library)


def test_a_lut_the_library_does_not_write_is_an_error(lib, monkeypatch, tmp_path):
    (tmp_path / "kavrel.INI").write_text("[Imaging]\nGamma=0\n")
    monkeypatch.setenv("KAVREL_INI_DIR", str(tmp_path))
    lut = tmp_path / "lab.lut"
    with pytest.raises(kavrel.KavrelError, match="wrote no new table"):
        lib.calc_lut(READINGS, lut)
    assert not lut.exists()


def test_a_scan_without_an_exposed_area_is_an_error(lib, tmp_path):
    scan = tmp_path / "white.bmp"
    write_bitmap(scan, 300, 200)
    offset = tmp_path / "lab.frm"
    write_offset_file(offset, uneven)
    before = offset.read_bytes()
    with pytest.raises(kavrel.KavrelError, match="wrote no new offset map"):
        lib.calc_offset(scan, offset)
    assert offset.read_bytes() == before


def bad_calls(tmp):
    """(description, call, exception, part of its message)"""
    image = tmp / "small.bmp"
    write_bitmap(image, 64, 32)
    eight_bit = tmp / "eight.bmp"
    write_bitmap(eight_bit, 300, 200, bits=8)
    not_a_lut = tmp / "bad.lut"
    not_a_lut.write_bytes(b"LUTFILX\0" + bytes(20))
    small_lut = tmp / "small.lut"
    small_lut.write_bytes(b"LUTFILE\0" + struct.pack("<IHH", 3, 0, 2) + bytes(6))
    truncated_lut = tmp / "truncated.lut"
    truncated_lut.write_bytes(b"LUTFILE\0" + struct.pack("<IHH", 256, 0, 255) + bytes(6))
    missing = tmp / "missing.bmp"
    array = np.zeros((2048, 2560, 3), np.uint8)
    short_image = tmp / "short.bmp"
    write_bitmap(short_image, 2560, 2048)
    with open(short_image, "r+b") as f:
        f.truncate(54 + 2560 * 3 * 1000)
    good_lut = tmp / "good.lut"
    good_lut.write_bytes(b"LUTFILE\0" + struct.pack("<IHH", 256, 0, 255) + bytes(512))
    decimals = tmp / "decimals.txt"
    decimals.write_text("\n".join(f"{r / 100:.2f}" for r in READINGS))
    return [
        ("a string for a number", lambda lib: lib.SetColor("1"), TypeError, "SetColor"),
        ("a float for a number", lambda lib: lib.CalcFrame(1.0), TypeError, "integer"),
        ("a number beyond 32 bits", lambda lib: lib.SetDensiValue(0, 2**32),
         OverflowError, "32-bit"),
        ("too few arguments", lambda lib: lib.SetDensiValue(0), TypeError, "2 arguments"),
        ("a NUL inside a name", lambda lib: lib.SetImageFile("a\0b"), ValueError, "NUL"),
        ("a name the encoding cannot hold", lambda lib: lib.SetLutFile("\ud800"),
         ValueError, "cannot hold"),
        ("a number for a name", lambda lib: lib.SetScanFile(5), TypeError, "path-like"),
        ("an array of another shape", lambda lib: lib.set_bitmap(array[:1024]),
         ValueError, "shape"),
        ("an array of another type", lambda lib: lib.set_bitmap(array.astype(np.uint16)),
         TypeError, "uint8"),
        ("a strided array", lambda lib: lib.set_bitmap(np.zeros((2048, 2560, 6), np.uint8)
                                                       [:, :, ::2]), ValueError, "contiguous"),
        ("a read-only buffer", lambda lib: lib.set_bitmap(bytes(2048 * 2560 * 3)),
         ValueError, "writable"),
        ("a missing image", lambda lib: lib.expose(missing), FileNotFoundError, "missing.bmp"),
        ("a crop outside the image", lambda lib: lib.expose(image, crop=(0, 0, 100, 100)),
         ValueError, "lies outside the photo of 64 x 32 pixels"),
        ("an image cut short", lambda lib: lib.expose(short_image), kavrel.FileError,
         "bitmap cut short"),
        ("a LUT file for an offset file", lambda lib: lib.expose(array, offset=good_lut),
         kavrel.FileError, "not an offset file, but a LUT file"),
        ("a blank level beyond 12 bits", lambda lib: lib.expose(array, blank=4096),
         ValueError, "0 .. 4095"),
        ("negative seconds", lambda lib: lib.expose(array, seconds=-1), ValueError, "seconds"),
        ("both device and out", lambda lib: lib.expose(array, device="file:a.bmp", out="b"),
         ValueError, "either device or out"),
        ("a file that is no LUT", lambda lib: lib.expose(array, lut=not_a_lut),
         ValueError, "wrong entry count (0)"),
        ("a truncated LUT", lambda lib: lib.expose(array, lut=truncated_lut),
         ValueError, "wrong entry count (256) or cut short"),
        ("a LUT of three entries to calibrate", lambda lib: lib.calc_lut(READINGS, small_lut),
         ValueError, "needs one of 256"),
        # Readings in a list raise what the same fault in a file raises.
        ("ten readings", lambda lib: lib.calc_lut(READINGS[:10], tmp / "x.lut"),
         kavrel.ReadingsError, "10 readings"),
        ("a negative reading", lambda lib: lib.calc_lut([-1] + READINGS[1:], tmp / "x.lut"),
         kavrel.ReadingsError, "readings[0]"),
        ("a fraction of a hundredth", lambda lib: lib.calc_lut([10.5] + READINGS[1:],
                                                               tmp / "x.lut"),
         kavrel.ReadingsError, "density=True"),
        ("a density beyond the range", lambda lib: lib.calc_lut([700.0] * 48, tmp / "x.lut",
                                                                density=True),
         kavrel.ReadingsError, "0.00 to 9.00"),
        ("a file of decimal readings", lambda lib: lib.calc_lut(decimals, tmp / "x.lut"),
         kavrel.ReadingsError, "density=True"),
        ("a column of a plain file", lambda lib: lib.calc_lut(READINGS, tmp / "x.lut",
                                                              channel="D_VIS"),
         ValueError, "calc_lut(channel)"),
        ("a plot of another kind", lambda lib: lib.calc_lut(READINGS, tmp / "x.lut",
                                                            plot=tmp / "plot.png"),
         ValueError, "calc_lut(plot)"),
        ("a plot in a missing folder", lambda lib: lib.calc_lut(READINGS, tmp / "x.lut",
                                                                plot=tmp / "no" / "plot.svg"),
         FileNotFoundError, "does not exist"),
        ("a map of another kind", lambda lib: lib.calc_offset(image, tmp / "x.frm",
                                                              map=tmp / "map.svg"),
         ValueError, "calc_offset(map)"),
        ("restore without versions", lambda lib: lib.restore(good_lut),
         kavrel.CalibrationFileError, "no earlier versions"),
        ("restore version 0", lambda lib: lib.restore(good_lut, 0), ValueError, "restore(number)"),
        ("the history of a mistyped name", lambda lib: lib.history(tmp / "lab.lutt"),
         FileNotFoundError, "no such file"),
        ("a reading of text", lambda lib: lib.calc_lut(["1"] * 48, tmp / "x.lut"),
         TypeError, "number"),
        ("a LUT in a missing folder", lambda lib: lib.calc_lut(READINGS, tmp / "no" / "x.lut"),
         FileNotFoundError, "does not exist"),
        ("colour byte 3", lambda lib: lib.calc_offset(image, tmp / "x.frm", color=3),
         ValueError, "calc_offset(color)"),
        ("a missing scan", lambda lib: lib.calc_offset(missing, tmp / "x.frm"),
         FileNotFoundError, "scan"),
        ("a scan of 8 bits", lambda lib: lib.calc_offset(eight_bit, tmp / "x.frm"),
         ValueError, "8 bits per pixel"),
    ]


def test_bad_arguments_raise_clear_errors(lib, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)  # where a call that wrongly succeeds would write its frames
    for description, call, exception, message in bad_calls(tmp_path):
        try:
            call(lib)
        except exception as error:
            assert message in str(error), (description, str(error))
        else:
            pytest.fail(f"{description}: no {exception.__name__}")
    assert not (tmp_path / "x.lut").exists() and not (tmp_path / "x.frm").exists()


def test_expose_checks_the_display_and_keeps_the_messages_as_they_were(lib, sample_image,
                                                                       capfd, tmp_path):
    """A display that does not exist raises before anything is drawn, as kavrel-host refuses it;
    the library's messages stay off when they were turned off, and when on they arrive as text."""
    lib.DisableErrorWindow(1)
    with pytest.raises(kavrel.DisplayError, match=":57: "):
        lib.expose(sample_image, device=":57")
    lib.expose(sample_image, out=tmp_path / "frames")
    lib.SetDeviceName(":57")
    lib.OpenOutputDevice()
    assert capfd.readouterr().err == ""
    lib.DisableErrorWindow(0)
    lib.OpenOutputDevice()
    lib.DisableErrorWindow(1)
    assert "Can\u00b4t open Output Display" in capfd.readouterr().err


def test_calc_lut_keeps_the_hosts_promises(lib, tmp_path):
    """The host's readings checks and its history: a reading typed ten times too large is refused
    and the table kept; the same readings applied to the table they made are refused unless
    again; two calibrations keep a version that kavrel-host restores; a CGATS file gives the
    table of the same readings in a list."""
    lut = tmp_path / "lab.lut"
    first = lib.calc_lut(READINGS, lut)
    before = lut.read_bytes()
    typo = list(READINGS)
    typo[20] *= 10
    with pytest.raises(kavrel.ReadingsError, match="patch 20 reads 1100 hundredths"):
        lib.calc_lut(typo, lut)
    assert lut.read_bytes() == before
    assert lib.history(lut) == []

    with pytest.raises(kavrel.CalibrationFileError, match="made this file as it is now"):
        lib.calc_lut(READINGS, lut)
    assert lut.read_bytes() == before and lib.history(lut) == []
    lib.calc_lut(READINGS, lut, again=True)
    assert [pathlib.Path(v.path).read_bytes() for v in lib.history(lut)] == [before]
    run_host("restore", lut)
    assert lut.read_bytes() == before

    with pytest.warns(UserWarning, match="patch 20"):
        lib.calc_lut(typo, tmp_path / "forced.lut", force=True)

    cgats = tmp_path / "readings.cgats"
    rows = "".join(f"{i + 1} {r / 100:.2f}\n" for i, r in enumerate(READINGS))
    cgats.write_text("CGATS.17\nBEGIN_DATA_FORMAT\nSAMPLE_ID D_VIS\nEND_DATA_FORMAT\n"
                     f"BEGIN_DATA\n{rows}END_DATA\n")
    assert lib.calc_lut(cgats, tmp_path / "cgats.lut") == first


def test_prepare_and_expose_take_any_image_as_the_host_does(lib, tmp_path):
    small = tmp_path / "small.bmp"
    write_bitmap(small, 640, 512, pixel=(10, 20, 30))
    placed = {"area": (1280, 1024, 0, 0), "border": 0}
    run_host("prepare", small, "--out", tmp_path / "frame.bmp", "--area", "1280x1024+0+0",
             "--border", "0")
    frame = kavrel.prepare(small, **placed)
    assert frame.shape == (2048, 2560, 3) and frame.dtype.name == "uint8"
    # The bitmap's rows as they lie in its file, the bottom row first.
    assert frame.tobytes() == (tmp_path / "frame.bmp").read_bytes()[54:]
    assert tuple(frame[-1, 0]) == (10, 20, 30) and tuple(frame[0, 0]) == (0, 0, 0)

    # expose takes the file itself, placed alike, as it takes the frame's array.
    shown = lib.expose(str(small), out=tmp_path / "file", **placed)
    lib.expose(frame.copy(), out=tmp_path / "array")
    assert len(shown) == 12
    for name in (f"frame-{n:02d}.bmp" for n in range(12)):
        assert (tmp_path / "file" / name).read_bytes() == (tmp_path / "array" / name).read_bytes()

    (tmp_path / "text.png").write_text("no picture in here\n")
    with pytest.raises(kavrel.FileError, match="text.png: not an image file"):
        kavrel.prepare(tmp_path / "text.png")
    with pytest.raises(FileNotFoundError):
        lib.expose(str(tmp_path / "missing.jpg"), out=tmp_path / "none")


def test_history_and_restore(lib, tmp_path):
    """The package lists the versions its calibrations keep and puts them back as kavrel-host
    does: a restore keeps the table it replaces, so that a second one undoes the first."""
    lut = tmp_path / "lab.lut"
    first = lib.calc_lut(READINGS, lut)
    assert lib.history(lut) == []
    before = lut.read_bytes()
    lighter = [10] + [12 + 5 * r for r in range(1, 47)] + [12]
    second = lib.calc_lut(lighter, lut)
    assert second != first
    after = lut.read_bytes()
    (version,) = lib.history(lut)
    assert (version.number, version.size) == (1, len(before))
    assert pathlib.Path(version.path).read_bytes() == before
    assert version.time.endswith(" UTC")
    assert "1 earlier version" in run_host("history", lut)

    assert lib.restore(lut).path == version.path
    assert lut.read_bytes() == before
    assert [pathlib.Path(v.path).read_bytes() for v in lib.history(lut)] == [after, before]
    lib.restore(lut)
    assert lut.read_bytes() == after
    with pytest.raises(kavrel.CalibrationFileError, match="only 3 earlier versions"):
        lib.restore(lut, 4)
    assert lut.read_bytes() == after


def test_calibrations_draw_what_the_host_draws(lib, tmp_path):
    """plot draws the tables before and after as calc-lut --plot does; a picture that cannot be
    written is found before the table is replaced."""
    lut = tmp_path / "lab.lut"
    lib.calc_lut(READINGS, lut, plot=tmp_path / "first.svg")
    svg = (tmp_path / "first.svg").read_text()
    assert svg.lstrip().startswith(("<?xml", "<svg")) and str(lut) in svg
    before = lut.read_bytes()
    (tmp_path / "taken.svg").mkdir()
    with pytest.raises(ValueError, match=r"calc_lut\(plot\).*folder"):
        lib.calc_lut([10] + [12 + 5 * r for r in range(1, 47)], lut, plot=tmp_path / "taken.svg")
    assert lut.read_bytes() == before and lib.history(lut) == []


def test_readme_example_runs_after_the_quick_start(tmp_path):
    """The README's Python example, run as written from a folder laid out as the quick start
    leaves the repository."""
    readme = (ROOT / "README.md").read_text(encoding="utf-8")
    examples = re.findall(r"```python\n(.*?)```", readme, re.S)
    assert len(examples) == 1
    (tmp_path / "quick-start").mkdir()
    run_host("sample-image", tmp_path / "quick-start" / "sample.bmp")
    (tmp_path / "example.py").write_text(examples[0])
    done = subprocess.run([sys.executable, "example.py"], cwd=tmp_path, capture_output=True,
                          text=True)
    assert done.returncode == 0, done.stderr
    assert "input 128 -> " in done.stdout
    assert len(list((tmp_path / "frames").glob("frame-*.bmp"))) == 12
    for made in ("lab.lut", "lab-lut.svg", "shown-00.bmp"):
        assert (tmp_path / made).is_file(), made


def test_calc_offset_draws_the_new_map(lib, tmp_path):
    """map draws the new map as the display shows it, as calc-offset --map does: each sample
    at its display pixel, 0 white and the largest sample full red (or blue, below 0)."""
    run_host("targets", "--out", tmp_path)
    offset = tmp_path / "lab.frm"
    samples = lib.calc_offset(tmp_path / "offset-pattern.bmp", offset, map=tmp_path / "map.bmp")
    picture = (tmp_path / "map.bmp").read_bytes()
    assert len(picture) == 54 + 1280 * 1024 * 3
    largest = max(range(len(samples)), key=lambda i: abs(samples[i]))
    full = [0, 0, 255] if samples[largest] > 0 else [255, 0, 0]
    # Map row y is display line 1023 - y, which a bottom-up bitmap stores as its row y.
    assert list(picture[54 + 3 * largest:57 + 3 * largest]) == full
    zero = list(samples).index(0)
    assert list(picture[54 + 3 * zero:57 + 3 * zero]) == [255, 255, 255]
    assert lib.history(offset) == []

    # The same scan again would stack its correction on the map it made.
    made = offset.read_bytes()
    with pytest.raises(kavrel.CalibrationFileError, match=r"again=True"):
        lib.calc_offset(tmp_path / "offset-pattern.bmp", offset)
    assert offset.read_bytes() == made and lib.history(offset) == []
