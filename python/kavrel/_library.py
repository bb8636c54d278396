"""The kavrel library loaded through ctypes: its 22 functions as methods, and helpers that run
the main job and the two calibrations as the command-line host does."""

import contextlib
import ctypes
import numbers
import os
import re
import sys
import tempfile
import time

from . import _files, _host
from ._host import CalibrationFileError, DisplayError, KavrelError, ReadingsError

_WINDOWS = sys.platform == "win32"
_POINTER_BITS = 8 * ctypes.sizeof(ctypes.c_void_p)
LIBRARY_FILE = "kavrel.dll" if _WINDOWS else "libkavrel.so"

_INT_MIN, _INT_MAX = -(2**31), 2**31 - 1

# Each function: its result type and its arguments, each a name and a kind (s: 8-bit string,
# i: 32-bit integer, p: pointer).
_FUNCTIONS = {
    "ShowDialog": (None, ()),
    "SetDeviceName": (None, (("name", "s"),)),
    "SetLutFile": (None, (("path", "s"),)),
    "SetOffsetFile": (None, (("path", "s"),)),
    "SetImageFile": (ctypes.c_int, (("path", "s"),)),
    "SetScanFile": (None, (("path", "s"),)),
    "SetColor": (ctypes.c_int, (("color", "i"),)),
    "SetPosition": (ctypes.c_int, (("position", "i"),)),
    "OpenOutputDevice": (None, ()),
    "CloseOutputDevice": (None, ()),
    "CalcFrame": (None, (("index", "i"),)),
    "OutputFrame": (None, (("index", "i"),)),
    "SetDelayLine": (ctypes.c_int, (("mode", "i"),)),
    "SetDelayShift": (ctypes.c_int, (("flag", "i"),)),
    "CalcOffset": (None, (("color", "i"),)),
    "SetBitmapPointer": (ctypes.c_void_p, (("pixels", "p"),)),
    "OutputBlankFrame": (None, (("value", "i"),)),
    "SetDensiValue": (None, (("index", "i"), ("value", "i"))),
    "CalcLut": (None, ()),
    "SetCorrectionFactor": (ctypes.c_int, (("factor", "i"),)),
    "SetThreshold": (ctypes.c_int, (("threshold", "i"),)),
    "DisableErrorWindow": (ctypes.c_int, (("flag", "i"),)),
}
_CTYPES = {"s": ctypes.c_char_p, "i": ctypes.c_int, "p": ctypes.c_void_p}

# What SetImageFile's results mean.
_IMAGE_RESULTS = {
    1: "unreadable or not a bitmap",
    2: "truncated",
    3: "out of memory",
    4: "not a single-plane 24-bit bitmap, or of an unusable size",
}

# The image buffer that each loaded library reads, by module handle: a process has one engine per
# loaded library, which every Library object of that file shares.
_ATTACHED_IMAGES = {}

# One integer conversion of the file display's name pattern, as the display accepts it.
_CONVERSION = re.compile(r"%(%|[-0+ ]*\d{0,2}[diu])")


# Whether each loaded library shows its messages, by module handle: the library does not tell,
# and the package's commands turn them off for their run and back on afterwards. A library shows
# them until DisableErrorWindow(1).
_ERRORS_SHOWN = {}


def encode_string(value, what):
    """A str, path-like or bytes argument as the library's 8-bit string: the ANSI code page on
    Windows, the file-system encoding elsewhere. None stays a null string, which the library
    takes as empty."""
    if value is None:
        return None
    if isinstance(value, os.PathLike):
        value = os.fspath(value)
    if isinstance(value, str):
        try:
            value = value.encode("mbcs") if _WINDOWS else os.fsencode(value)
        except UnicodeEncodeError as error:
            raise ValueError(f"{what}: {value!r} has characters that the "
                             f"{'ANSI code page' if _WINDOWS else 'file-system encoding'} "
                             "cannot hold") from error
    elif isinstance(value, (bytearray, memoryview)):
        value = bytes(value)
    elif not isinstance(value, bytes):
        raise TypeError(f"{what}: a str, bytes or path-like object is needed, "
                        f"not {type(value).__name__}")
    if b"\0" in value:
        raise ValueError(f"{what}: {value!r} holds a NUL character")
    return value


def _integer(value, what):
    if isinstance(value, float) or not hasattr(value, "__index__"):
        raise TypeError(f"{what}: an integer is needed, not {type(value).__name__}")
    value = value.__index__()
    if not _INT_MIN <= value <= _INT_MAX:
        raise OverflowError(f"{what}: {value} does not fit a 32-bit integer")
    return value


def _pointer(value, what):
    if value is None or isinstance(value, ctypes.c_void_p):
        return value
    if isinstance(value, int):
        return ctypes.c_void_p(value)
    raise TypeError(f"{what}: an address (int) or None is needed, not {type(value).__name__}")


_CONVERTERS = {"s": encode_string, "i": _integer, "p": _pointer}


def _export_method(name, arguments):
    """A method that checks and converts its arguments and calls the library's function."""

    def method(self, *values):
        if len(values) != len(arguments):
            raise TypeError(f"{name}() takes {len(arguments)} argument"
                            f"{'' if len(arguments) == 1 else 's'} "
                            f"({', '.join(a for a, _ in arguments)}), {len(values)} given")
        converted = [_CONVERTERS[kind](value, f"{name}({argument})")
                     for (argument, kind), value in zip(arguments, values)]
        if name == "DisableErrorWindow":
            _ERRORS_SHOWN[self._dll._handle] = converted[0] == 0
        if _WINDOWS or not _ERRORS_SHOWN.get(self._dll._handle, True):
            return self._functions[name](*converted)
        with _library_messages():
            return self._functions[name](*converted)

    method.__name__ = method.__qualname__ = name
    method.__doc__ = (f"{name}({', '.join(a for a, _ in arguments)}): the library's function "
                      "of this name.")
    return method


@contextlib.contextmanager
def _library_messages():
    """The native library writes its messages to the process's standard error as 8-bit text
    (its accent in "Can\u00b4t" a raw 0xB4 byte): they are caught there for the call and written
    to sys.stderr as text."""
    try:
        sys.stderr.flush()
    except (AttributeError, OSError, ValueError):
        pass
    try:
        saved = os.dup(2)
    except OSError:  # no standard error to catch
        yield
        return
    with tempfile.TemporaryFile() as caught:
        os.dup2(caught.fileno(), 2)
        try:
            yield
        finally:
            os.dup2(saved, 2)
            os.close(saved)
            caught.seek(0)
            text = _host.decode(caught.read())
            if text and sys.stderr is not None:
                sys.stderr.write(text)
                sys.stderr.flush()


def default_library_path():
    """$KAVREL_LIBRARY; else the library beside this package; else the plain file name, which
    the system's search path resolves."""
    path = os.environ.get("KAVREL_LIBRARY")
    if path:
        return path
    beside = os.path.join(os.path.dirname(os.path.abspath(__file__)), LIBRARY_FILE)
    if os.path.isfile(beside):
        return beside
    return LIBRARY_FILE


def _load(path):
    # The 32-bit Windows DLL uses the standard calling convention, in which the called function
    # removes its arguments; everywhere else there is only the C convention.
    loader = ctypes.WinDLL if _WINDOWS and _POINTER_BITS == 32 else ctypes.CDLL
    options = {}
    if _WINDOWS and os.path.basename(path) == path:
        options["winmode"] = 0  # a plain name is looked up on the system's search path, PATH too
    try:
        return loader(path, **options)
    except OSError as error:
        hint = (f" (a {_POINTER_BITS}-bit Python loads only the {_POINTER_BITS}-bit kavrel.dll)"
                if _WINDOWS else "")
        looked = ""
        if path == LIBRARY_FILE:
            looked = ("; it was looked for in $KAVREL_LIBRARY (not set), beside the package in "
                      f"{os.path.dirname(os.path.abspath(__file__))} and on the system's search "
                      "path: give its path as kavrel.Library(PATH) or in KAVREL_LIBRARY")
        raise KavrelError(f"cannot load the kavrel library {path}: {error}{hint}{looked}") \
            from error


class Library:
    """The kavrel library, loaded from path (see default_library_path when None).

    Every one of its 22 functions is a method of the same name and arguments. The library holds
    one engine per process: two Library objects of the same file share its state."""

    def __init__(self, path=None):
        self.path = os.fsdecode(path) if path is not None else default_library_path()
        # A bare file name given is the file in the current folder, as for any other file.
        if path is not None and os.path.basename(self.path) == self.path and \
                os.path.isfile(self.path):
            self.path = os.path.abspath(self.path)
        self._dll = _load(self.path)
        self._host_library = None
        self._functions = {}
        for name, (result, arguments) in _FUNCTIONS.items():
            try:
                function = getattr(self._dll, name)
            except AttributeError:
                raise KavrelError(f"{self.path}: the library lacks the function {name}") from None
            function.restype = result
            function.argtypes = [_CTYPES[kind] for _, kind in arguments]
            self._functions[name] = function

    def __repr__(self):
        return f"kavrel.Library({self.path!r})"

    @property
    def _host(self):
        """The shared host library beside this library (see _host)."""
        if self._host_library is None:
            self._host_library = _host.load(self.path)
        return self._host_library

    @contextlib.contextmanager
    def _errors_off(self):
        """The library's messages off for one of the package's commands, which reports failures
        itself, and as they were afterwards."""
        shown = _ERRORS_SHOWN.get(self._dll._handle, True)
        self.DisableErrorWindow(1)
        try:
            yield
        finally:
            self.DisableErrorWindow(0 if shown else 1)

    # -- the output display ------------------------------------------------------------------

    @contextlib.contextmanager
    def output_device(self, name=None):
        """Opens the output display (named name when given, else the name set before) for the
        block and closes it afterwards, also when the block fails."""
        if name is not None:
            self.SetDeviceName(name)
        self.OpenOutputDevice()
        try:
            yield self
        finally:
            self.CloseOutputDevice()

    # -- the image -----------------------------------------------------------------------------

    def set_bitmap(self, pixels):
        """Makes pixels the image that frames are computed from, without copying it: a C-ordered
        uint8 array of shape (2048, 2560, 3) laid out as a bitmap file's pixels (the bottom row
        first, each pixel's bytes blue, green, red), or any writable buffer of that many bytes.
        The library reads the memory until another image is set; the package keeps it alive
        until then."""
        address = _image_address(pixels)
        self.SetBitmapPointer(address)
        _ATTACHED_IMAGES[self._dll._handle] = pixels

    # -- the host's commands ---------------------------------------------------------------------

    def expose(self, image, *, lut=None, offset=None, device=None, out=None, seconds=0.0,
               blank=None, delay_line=0, delay_shift=0, **photo):
        """The main job: the twelve frames of image, frame n of colour byte n // 4 (0 blue,
        1 green, 2 red) at position n % 4 (0 upper left, 1 upper right, 2 lower right, 3 lower
        left pixel of each 2 x 2 block), each mapped through the LUT file lut (default: the
        library's table), corrected with the offset file offset (default: none), drawn on
        device and kept on for seconds; with blank, a uniform frame of that level follows
        each frame. image is an image file of any format the host reads, made into the frame
        as prepare() makes it (photo holds prepare's options), or an array for set_bitmap.
        Without device, a file display writes each drawing to out (default "frames") as
        frame-00.bmp, frame-01.bmp, ...

        Returns the files that a file display wrote, in order (an empty list for another
        display)."""
        if device is not None and out is not None:
            raise ValueError("expose: give either device or out, not both")
        delay_line = _in_range(delay_line, 0, 1, "expose(delay_line)")
        delay_shift = _in_range(delay_shift, 0, 1, "expose(delay_shift)")
        if isinstance(seconds, bool) or not isinstance(seconds, (int, float)):
            raise TypeError(f"expose(seconds): a number is needed, not {type(seconds).__name__}")
        if not 0 <= seconds <= 86400:
            raise ValueError(f"expose(seconds): {seconds} is not in 0 .. 86400")
        if blank is not None:
            blank = _in_range(blank, 0, 4095, "expose(blank)")
        image_path = None
        if _is_path(image):
            # A frame-size bitmap placed unchanged goes to the library as it is; any other image
            # as the frame the host makes of it.
            frame, passed, _ = self._host.prepare_photo(encode_string(image, "expose(image)"),
                                                        photo_options(**photo))
            if passed:
                image_path = image
            else:
                image = bytearray(frame.raw)
        else:
            if photo:
                raise TypeError("expose: " + ", ".join(sorted(photo)) + " place an image file, "
                                "not an array")
            _image_address(image)
        # The host's own checks of its files (kavrel-host expose).
        self._host.check_expose_files(
            encode_string(image_path, "expose(image)") if image_path is not None else None,
            encode_string(lut, "expose(lut)") if lut is not None else None,
            encode_string(offset, "expose(offset)") if offset is not None else None)
        if device is None:
            folder = os.fspath(out) if out is not None else "frames"
            os.makedirs(folder, exist_ok=True)
            # A percent sign in the folder's name is no conversion of the display's pattern.
            device = "file:" + os.path.join(os.fsdecode(folder).replace("%", "%%"),
                                            "frame-%02d.bmp")
        device_name = encode_string(device, "expose(device)")
        drawings = _FileDisplay(device)
        # A file display is checked drawing by drawing; any other display is checked before
        # anything is drawn, as kavrel-host does, since the library reports no display that it
        # cannot open.
        if drawings.pattern is None:
            self._host.check_display(device_name)
        with self._errors_off():
            return self._expose(device, lut, offset, image_path, image, delay_line, delay_shift,
                                seconds, blank, drawings)

    def _expose(self, device, lut, offset, image_path, image, delay_line, delay_shift, seconds,
                blank, drawings):
        self.SetDeviceName(device)
        self.SetLutFile(lut)  # no file: the library's default table
        if offset is not None:
            self.SetOffsetFile(offset)
        if image_path is not None:
            code = self.SetImageFile(image_path)
            if code != 0:
                raise KavrelError(f"image {os.fsdecode(image_path)}: the library cannot load it: "
                                  f"{_IMAGE_RESULTS.get(code, 'result %d' % code)}")
        else:
            self.set_bitmap(image)
        self.SetDelayLine(delay_line)
        self.SetDelayShift(delay_shift)

        with self.output_device():
            for index in range(12):
                self.SetColor(index // 4)
                self.SetPosition(index % 4)
                self.CalcFrame(index)
                drawings.draw(lambda: self.OutputFrame(index))
                time.sleep(seconds)
                if blank is not None:
                    drawings.draw(lambda: self.OutputBlankFrame(blank))
        drawings.remove_stale_files()
        return drawings.files

    def calc_lut(self, readings, lut, *, density=False, channel=None, force=False, again=False,
                 plot=None):
        """A new LUT from the densitometer readings of the exposed grey scale, as kavrel-host
        calc-lut makes it: readings are 48 readings (or 47, the unused last one left out) in
        hundredths of a density, or densities with density=True, or the path of a readings file
        that calc-lut reads (plain, CGATS or CSV; channel: the table's column). Readings that
        cannot be right raise ReadingsError (force=True calibrates them all the same, with a
        warning). Readings that made the table as it is now are refused with CalibrationFileError,
        since applied again the library would stack the same correction on itself (again=True
        applies them all the same). The library computes the table from them and the table in the file lut (its
        default table when there is no such file) and writes it to lut, which is then loaded;
        the file it replaced is kept in lut.history (see history and restore). plot: an SVG file
        to draw the table before and after into, checked before the calibration. Returns the new
        table's entries."""
        host = self._host
        if _is_path(readings):
            input_name = encode_string(readings, "calc_lut(readings)")
            values, _ = host.read_checked_readings(
                input_name, density, encode_string(channel, "calc_lut(channel)"), force)
        else:
            if channel is not None:
                raise ValueError("calc_lut(channel): a column is chosen only from a file")
            values = _readings(readings, density)
            host.check_readings(values, density, force)
            input_name = b"the readings given"
        _, unusable = host.check_gamma(encode_string(self.path, "library"))
        name = encode_string(lut, "calc_lut(lut)")
        picture = self._picture(plot, _host.LUT, "calc_lut(plot)")
        with self._errors_off(), host.calibration(name, _host.LUT, input_name, values,
                                                  again) as calibration:
            self.SetLutFile(name)
            for index, value in enumerate(values):
                self.SetDensiValue(index, value)
            self.CalcLut()
            self.SetLutFile(name)  # the library keeps the old table until it is loaded again
            _draw(calibration, picture, "calc_lut(plot)", f"the new table itself was written "
                  f"to {os.fsdecode(lut)}")
        if not calibration.replaced:
            raise KavrelError(f"LUT file {os.fsdecode(lut)}: the library wrote no new table" +
                              (f": {unusable}" if unusable else " (can the file be written?)"))
        return _files.read_lut_file(lut)

    def calc_offset(self, scan, offset, *, color=1, threshold=90, factor=100, again=False,
                    map=None):
        """A new offset map from scan, a 24-bit bitmap of the exposed offset test pattern: the
        library measures colour byte color (0 blue, 1 green, 2 red) with the edge threshold
        threshold (percent) and correction factor factor, adds the correction to the map in the
        file offset (created when missing) and writes the sum there, which is then loaded;
        the file it replaced is kept in offset.history, as kavrel-host keeps it (see history
        and restore). map: a bitmap file to draw the new map into, in false colour as the display
        shows it (red above 0, blue below, full colour at the largest sample), checked before
        the calibration. A scan that made the map as it is now is refused with
        CalibrationFileError (again=True applies it all the same).
        The scan must show the pattern turned a quarter turn clockwise; unlike kavrel-host
        calc-offset, this does not check that. Returns the new map's samples, row by row
        (an array of 1280 x 1024 signed 16-bit integers)."""
        color = _in_range(color, 0, 2, "calc_offset(color)")
        threshold = _in_range(threshold, 1, 100, "calc_offset(threshold)")
        factor = _in_range(factor, 1, 1638, "calc_offset(factor)")
        _files.require_file(scan, "scan")
        _files.check_bottom_up_24_bit(scan, "scan")
        name = encode_string(offset, "calc_offset(offset)")
        picture = self._picture(map, _host.OFFSET, "calc_offset(map)")
        with self._errors_off(), self._host.calibration(
                name, _host.OFFSET, encode_string(scan, "calc_offset(scan)"), None,
                again) as calibration:
            self.SetOffsetFile(name)
            self.SetScanFile(scan)
            self.SetThreshold(threshold)
            self.SetCorrectionFactor(factor)
            self.CalcOffset(color)
            self.SetOffsetFile(name)  # the library keeps the old map until it is loaded again
            _draw(calibration, picture, "calc_offset(map)", f"the new map itself was written "
                  f"to {os.fsdecode(offset)}")
        if not calibration.replaced:
            raise KavrelError(f"offset file {os.fsdecode(offset)}: the library wrote no new "
                              f"offset map (can the file be written? does colour {color} of "
                              "the scan show an exposed area of at least 100 x 100 pixels?)")
        return _files.read_offset_file(offset)

    def _picture(self, path, kind, what):
        """The name of a calibration's picture, checked before the calibration, or None."""
        if path is None:
            return None
        name = encode_string(path, what)
        self._host.check_picture(name, kind, what)
        return name

    # -- earlier versions of the calibration files ------------------------------------------------

    def history(self, file):
        """The earlier versions of the LUT or offset file that calc_lut, calc_offset, restore and
        kavrel-host keep (the last 10, in the folder file.history), newest first: a list of
        kavrel.Version(number, time, size, path), version 1 being the file as it was before the
        last calibration or restore. An empty list for a file without earlier versions;
        FileNotFoundError for a file that neither exists nor has any."""
        return self._host.history(encode_string(file, "history(file)"))

    def restore(self, file, number=1):
        """Puts earlier version number (see history; 1, the default: the file as it was before
        the last calibration or restore) back in place of file, in one step. The file it replaces
        is kept as the new version 1, so that a second restore undoes the first. Returns the
        version put back; raises CalibrationFileError when there is no such version or the file
        cannot be replaced (it is then kept as it was)."""
        name = encode_string(file, "restore(file)")
        number = _integer(number, "restore(number)")
        if number < 1:
            raise ValueError(f"restore(number): {number} is no version number (1 is the newest)")
        version, _ = self._host.restore(name, number)
        return version


for _name, (_result, _arguments) in _FUNCTIONS.items():
    setattr(Library, _name, _export_method(_name, _arguments))


def photo_options(fill=False, fit=None, crop=None, area=None, rotate=None, border=255,
                  working_profile=None):
    """The host's photo options from prepare's keywords: crop a text "X,Y,W,H" or a sequence
    (x, y, width, height); area "WxH+X+Y" or (width, height, x, y); rotate "auto" or a number
    of degrees clockwise (0, 90, 180, 270)."""
    if fit is not None and fill:
        raise ValueError("prepare: give either fit or fill, not both")
    if isinstance(crop, (tuple, list)):
        crop = ",".join(str(int(v)) for v in crop)
    if isinstance(area, (tuple, list)):
        width, height, x, y = (int(v) for v in area)
        area = f"{width}x{height}+{x}+{y}"
    border = _in_range(border, 0, 255, "prepare(border)")
    return _host.PhotoOptions(
        int(bool(fill)),
        encode_string(crop, "prepare(crop)") if crop is not None else None,
        encode_string(area, "prepare(area)") if area is not None else None,
        encode_string(str(rotate), "prepare(rotate)") if rotate is not None else None,
        border,
        encode_string(working_profile, "prepare(working_profile)")
        if working_profile is not None else None)


def prepare(path, *, library=None, **options):
    """The 2560 x 2048 frame that kavrel-host prepare writes for the image file at path (JPEG,
    PNG, TIFF, bitmaps of any size; EXIF orientation applied, colours converted from the
    embedded profile to sRGB or working_profile, placed by fit/fill, crop, area and rotate on a
    border value): a numpy uint8 array of shape (2048, 2560, 3), each pixel's bytes blue, green,
    red, laid out as set_bitmap and expose take arrays, the bottom row first (frame[::-1] is the
    picture top row first). library: the kavrel library beside which the host library lies.
    Raises FileNotFoundError or kavrel.FileError naming the file and the fault."""
    import numpy

    host = _host.load(os.fsdecode(library) if library is not None else default_library_path())
    frame, _, _ = host.prepare_photo(encode_string(path, "prepare(path)"),
                                     photo_options(**options))
    return numpy.frombuffer(bytearray(frame.raw), dtype=numpy.uint8).reshape(
        _files.IMAGE_HEIGHT, _files.IMAGE_WIDTH, 3)


def _draw(calibration, picture, what, written):
    """Draws the calibration into its picture, when one was asked for; a failure says that the
    calibration itself was made."""
    if picture is None:
        return
    try:
        calibration.draw(picture)
    except KavrelError as error:
        raise KavrelError(f"{what}: {error} ({written})") from error


def _is_path(value):
    return isinstance(value, (str, bytes, os.PathLike))


def _in_range(value, low, high, what):
    value = _integer(value, what)
    if not low <= value <= high:
        raise ValueError(f"{what}: {value} is not in {low} .. {high}")
    return value


def _readings(readings, density):
    """The readings given as a sequence, in hundredths; faults of their count or values raise
    ReadingsError, as those of a readings file do."""
    if _is_path(readings) or not hasattr(readings, "__len__"):
        raise TypeError("calc_lut(readings): a sequence of 48 numbers or a file name is needed, "
                        f"not {type(readings).__name__}")
    values = list(readings)
    if len(values) == 47:
        values.append(0)  # the 48th reading is unused
    if len(values) != 48:
        raise ReadingsError(f"calc_lut(readings): {len(values)} readings; 48 are needed "
                            "(or 47, the unused last one left out)")
    result = []
    for index, value in enumerate(values):
        what = f"calc_lut(readings[{index}])"
        if isinstance(value, bool) or not isinstance(value, numbers.Real):
            raise TypeError(f"{what}: a number is needed, not {type(value).__name__}")
        hundredths = value * 100 if density else value
        if hundredths != hundredths or not 0 <= hundredths <= 65535:
            raise ReadingsError(f"{what}: {value} is out of range (readings are "
                                f"{'0.00 to 9.00' if density else '0 to 900 hundredths'})")
        if not density and float(value) != int(value):
            raise ReadingsError(f"{what}: {value} is not a whole number of hundredths (give "
                                "density=True for densities)")
        result.append(int(round(hundredths)))
    return result


def _image_address(pixels):
    """The address of an image buffer for SetBitmapPointer, after checking its layout."""
    size = _files.IMAGE_WIDTH * _files.IMAGE_HEIGHT * 3
    shape = (_files.IMAGE_HEIGHT, _files.IMAGE_WIDTH, 3)
    if hasattr(pixels, "__array_interface__"):  # a numpy array
        interface = pixels.__array_interface__
        if interface["typestr"] != "|u1":
            raise TypeError(f"set_bitmap: an array of uint8 is needed, not {pixels.dtype}")
        if tuple(interface["shape"]) != shape:
            raise ValueError(f"set_bitmap: an array of shape {shape} is needed, "
                             f"not {tuple(interface['shape'])}")
        if not pixels.flags["C_CONTIGUOUS"]:
            raise ValueError("set_bitmap: the array must be C-contiguous "
                             "(numpy.ascontiguousarray makes one)")
        return interface["data"][0]
    try:
        view = memoryview(pixels)
    except TypeError:
        raise TypeError("set_bitmap: a uint8 array or a buffer is needed, "
                        f"not {type(pixels).__name__}") from None
    if view.nbytes != size or not view.c_contiguous:
        raise ValueError(f"set_bitmap: a contiguous buffer of {size} bytes is needed, "
                         f"not {view.nbytes}")
    if view.readonly:
        raise ValueError("set_bitmap: the buffer must be writable (bytearray, not bytes)")
    return ctypes.addressof((ctypes.c_char * size).from_buffer(view))


class _FileDisplay:
    """The drawings of a file display: each one's file is removed before and must exist after
    the drawing, since the library reports no result for a file it could not write."""

    def __init__(self, device):
        self.pattern = None
        self.files = []
        self._count = 0
        self._numbered = False
        if device.startswith("file:") and len(device) > 5:
            pattern = device[5:]
            conversions = [m for m in _CONVERSION.finditer(pattern) if m.group(1) != "%"]
            if len(conversions) <= 1 and "%" not in _CONVERSION.sub("", pattern):
                self.pattern = pattern
                self._numbered = bool(conversions)

    def _file(self, number):
        return self.pattern % ((number,) if self._numbered else ())

    def draw(self, drawing):
        number = self._count
        self._count += 1
        if self.pattern is None:
            drawing()
            return
        file = self._file(number)
        with contextlib.suppress(OSError):
            os.remove(file)
        if os.path.lexists(file):
            raise KavrelError(f"{file}: cannot be replaced (is it write-protected?); the display "
                              "would leave the picture of an earlier run in it")
        drawing()
        if not os.path.isfile(file):
            raise KavrelError(f"the display file:{self.pattern} drew nothing into {file} "
                              "(can the folder be written?)")
        self.files.append(file)

    # Twelve frames, each with a blank frame after it.
    _MOST_DRAWINGS = 24

    def remove_stale_files(self):
        """The files of drawings this run did not make, left by an earlier run with more drawings
        (blank frames), which would pass for part of this one."""
        if self.pattern is None or not self._numbered:
            return
        for number in range(self._count, self._MOST_DRAWINGS):
            with contextlib.suppress(OSError):
                os.remove(self._file(number))
