"""The shared host library (kavrelhost, from the same code as kavrel-host): the host's checks of
the readings, the display and the calibration files, and the earlier versions its calibrations
keep. The package's commands call it, so that they keep the host's promises."""

import collections
import ctypes
import os
import re
import sys
import warnings

_WINDOWS = sys.platform == "win32"
HOST_LIBRARY_FILE = "kavrelhost.dll" if _WINDOWS else "libkavrelhost.so"
_MESSAGE_SIZE = 4096
_LINE_SIZE = 1 << 17
READING_COUNT = 48

# The kinds of calibration file.
LUT, OFFSET = 0, 1


class KavrelError(Exception):
    """The library could not be loaded, or did not do what was asked."""


class DisplayError(KavrelError):
    """The display does not exist, or its mode would change the picture."""


class ReadingsError(KavrelError, ValueError):
    """Densitometer readings that cannot be right (force=True calibrates them all the same)."""


class FileError(KavrelError, ValueError):
    """An input file that the library cannot use as it is given: another size or kind, cut
    short, stored top-down."""


class CalibrationFileError(KavrelError, ValueError):
    """A calibration file that is not replaced: no file of its kind, write-protected, no regular
    file, or being calibrated by another process."""


class Version(collections.namedtuple("Version", "number time size path")):
    """An earlier version of a calibration file: its number (1: the file before the last
    calibration or restore), when it was replaced (UTC), its size in bytes and the kept copy."""

    __slots__ = ()


Version.__module__ = "kavrel"


for _error in (KavrelError, DisplayError, ReadingsError, FileError, CalibrationFileError):
    _error.__module__ = "kavrel"


def decode(raw):
    """Text from the host's or the library's 8-bit strings: file names in the file-system
    encoding (UTF-8 as a rule) or, on Windows, the ANSI code page; the library's own words in the
    Windows Latin code page, whose accent (0xB4) is no UTF-8."""
    if _WINDOWS:
        return raw.decode("mbcs", errors="replace")
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode("cp1252", errors="replace")


# The host's options as the package's arguments are named: the shared host library words its
# messages as kavrel-host does.
_FLAGS = {"density", "force", "again", "coarse", "skip-orientation-check"}
_OPTION = re.compile(r"--([a-z][a-z-]*)")


def _argument(match):
    name = match.group(1)
    return name.replace("-", "_") + ("=True" if name in _FLAGS else "")


def words(raw):
    """A message of the shared host library, with the host's options (--force) named as the
    package's arguments (force=True)."""
    return _OPTION.sub(_argument, decode(raw))


def _candidates(library_path):
    """Where the host library is looked for: $KAVREL_HOST_LIBRARY; beside the kavrel library that
    was loaded; beside this package; the system's search path."""
    given = os.environ.get("KAVREL_HOST_LIBRARY")
    if given:
        return [given]
    places = []
    folder = os.path.dirname(os.path.abspath(library_path)) if os.path.dirname(library_path) else None
    if folder:
        places.append(os.path.join(folder, HOST_LIBRARY_FILE))
    places.append(os.path.join(os.path.dirname(os.path.abspath(__file__)), HOST_LIBRARY_FILE))
    places.append(HOST_LIBRARY_FILE)
    return places


_LOADED = {}


def load(library_path):
    """The host library for the kavrel library at library_path; raises KavrelError naming where
    it was looked for."""
    tried = []
    for path in _candidates(library_path):
        if path in _LOADED:
            return _LOADED[path]
        if os.path.dirname(path) and not os.path.isfile(path):
            tried.append(path)
            continue
        try:
            host = _Host(ctypes.CDLL(path))
        except OSError as error:
            tried.append(f"{path} ({error})")
            continue
        _LOADED[path] = host
        return host
    raise KavrelError("cannot load the host library " + HOST_LIBRARY_FILE + " that the package's "
                      "checks and calibrations use; looked for: " + "; ".join(tried) +
                      " (give its path in KAVREL_HOST_LIBRARY)")


class PhotoOptions(ctypes.Structure):
    """KavrelHostPhotoOptions: how a photo is placed in the frame."""
    _fields_ = [("fill", ctypes.c_int), ("crop", ctypes.c_char_p), ("area", ctypes.c_char_p),
                ("rotate", ctypes.c_char_p), ("border", ctypes.c_int),
                ("workingProfile", ctypes.c_char_p)]


FRAME_BYTES = 2560 * 2048 * 3


class _Host:
    def __init__(self, dll):
        self._dll = dll
        c_char_p, c_int, buffer = ctypes.c_char_p, ctypes.c_int, ctypes.c_char_p
        readings = ctypes.POINTER(ctypes.c_uint16)
        handle = ctypes.c_void_p
        number = ctypes.POINTER(c_int)
        self._signatures = {
            "KavrelHostCheckReadings": [readings, c_int, buffer, c_int, buffer, c_int],
            "KavrelHostCheckGamma": [c_char_p, buffer, c_int, buffer, c_int, buffer, c_int],
            "KavrelHostCheckDisplay": [c_char_p, buffer, c_int],
            "KavrelHostCheckExposeFiles": [c_char_p, c_char_p, c_char_p, buffer, c_int],
            "KavrelHostBeginCalibration": [c_char_p, c_int, ctypes.POINTER(handle), buffer, c_int],
            "KavrelHostReadCheckedReadings": [c_char_p, c_int, c_char_p, c_int, readings, buffer,
                                              c_int, buffer, c_int, buffer, c_int],
            "KavrelHostBeginCalibrationFrom": [c_char_p, c_int, c_char_p, readings, c_int,
                                               ctypes.POINTER(handle), buffer, c_int, buffer,
                                               c_int],
            "KavrelHostEndCalibration": [handle],
            "KavrelHostPreparePhoto": [c_char_p, ctypes.POINTER(PhotoOptions), ctypes.c_void_p,
                                       ctypes.c_int64, ctypes.POINTER(c_int), buffer, c_int,
                                       buffer, c_int],
            "KavrelHostCheckPicture": [c_char_p, c_int, buffer, c_int],
            "KavrelHostDrawCalibration": [handle, c_char_p, number, buffer, c_int],
            "KavrelHostHistory": [c_char_p, buffer, c_int, number, buffer, c_int],
            "KavrelHostRestore": [c_char_p, c_int, buffer, c_int, buffer, c_int],
        }
        for name, arguments in self._signatures.items():
            try:
                function = getattr(dll, name)
            except AttributeError:
                raise KavrelError(f"the host library lacks the function {name}: it is older "
                                  "than this package (build it again)") from None
            function.argtypes = arguments
            function.restype = c_int

    @staticmethod
    def _buffer(size=_MESSAGE_SIZE):
        return ctypes.create_string_buffer(size)

    def read_checked_readings(self, path, densities, channel, force):
        """The 48 readings of a file, in hundredths, and the table column they came from, checked
        as calc-lut checks them (each fault named by its line and the value as written): raises
        ReadingsError for readings that cannot be right, unless force; warns of the doubts."""
        values = (ctypes.c_uint16 * READING_COUNT)()
        source, doubts, message = self._buffer(), self._buffer(), self._buffer()
        if self._dll.KavrelHostReadCheckedReadings(path, int(bool(densities)), channel,
                                                   int(bool(force)), values, source,
                                                   _MESSAGE_SIZE, doubts, _MESSAGE_SIZE, message,
                                                   _MESSAGE_SIZE):
            text = words(message.value)
            if text.endswith("(readings)"):
                raise FileNotFoundError(text)
            raise ReadingsError(text + " (force=True calibrates them all the same)")
        for line in words(doubts.value).split("\n"):
            if line:
                warnings.warn(line, stacklevel=3)
        return list(values), decode(source.value)

    def check_readings(self, readings, densities, force):
        """Raises ReadingsError for readings that cannot be right, unless force; warns of the
        doubts that do not stop a calibration (and of the refusal, when forced)."""
        values = (ctypes.c_uint16 * READING_COUNT)(*readings)
        doubts, message = self._buffer(), self._buffer()
        refused = self._dll.KavrelHostCheckReadings(values, int(bool(densities)), doubts,
                                                    _MESSAGE_SIZE, message, _MESSAGE_SIZE)
        if refused and not force:
            raise ReadingsError(words(message.value) + " (force=True calibrates them all the "
                                "same)")
        lines = ([words(message.value)] if refused else []) + \
            [line for line in words(doubts.value).split("\n") if line]
        for line in lines:
            warnings.warn(line, stacklevel=3)

    def check_gamma(self, library_path):
        """The description of the Gamma setting, and why the library would write no table with
        it (or None); warns of an unusual one."""
        description, warning, message = self._buffer(), self._buffer(), self._buffer()
        unusable = self._dll.KavrelHostCheckGamma(library_path, description, _MESSAGE_SIZE,
                                                  warning, _MESSAGE_SIZE, message, _MESSAGE_SIZE)
        if warning.value:
            warnings.warn(words(warning.value), stacklevel=3)
        return decode(description.value), words(message.value) if unusable else None

    def check_expose_files(self, image, lut, offset):
        """Raises FileNotFoundError or FileError naming the first of expose's files (each a
        name, or None) that kavrel-host expose refuses."""
        message = self._buffer()
        if self._dll.KavrelHostCheckExposeFiles(image, lut, offset, message, _MESSAGE_SIZE):
            text = words(message.value)
            raise (FileNotFoundError if ": no such file" in text else FileError)(text)

    def prepare_photo(self, path, options):
        """The frame of the photo at path (bytes: a bitmap's rows, bottom row first), whether it
        is a frame-size bitmap passed through unchanged, and the report's lines. Raises
        FileNotFoundError, or FileError naming the file and the fault."""
        pixels = ctypes.create_string_buffer(FRAME_BYTES)
        passed = ctypes.c_int(0)
        report, message = self._buffer(), self._buffer()
        if self._dll.KavrelHostPreparePhoto(path, ctypes.byref(options), pixels, FRAME_BYTES,
                                            ctypes.byref(passed), report, _MESSAGE_SIZE, message,
                                            _MESSAGE_SIZE):
            text = decode(message.value)
            raise (FileNotFoundError if ": no such file" in text else FileError)(text)
        return pixels, bool(passed.value), [line for line in decode(report.value).split("\n")
                                            if line]

    def check_display(self, device):
        message = self._buffer()
        if self._dll.KavrelHostCheckDisplay(device, message, _MESSAGE_SIZE):
            raise DisplayError(words(message.value))

    def check_picture(self, path, kind, what):
        """Raises ValueError (or FileNotFoundError for a missing folder) when the calibration's
        picture cannot be written to path."""
        message = self._buffer()
        if self._dll.KavrelHostCheckPicture(path, kind, message, _MESSAGE_SIZE):
            text = words(message.value)
            raise (FileNotFoundError if "does not exist" in text else ValueError)(
                f"{what}: {text}")

    def calibration(self, path, kind, input=None, readings=None, again=False):
        """A calibration of the file at path with its earlier versions kept (see Calibration).
        With an input (the readings' name and their 48 values, or a scan's path) the calibration
        records what made the new file, and one that would apply the same input to the file it
        made is refused unless again."""
        return _Calibration(self._dll, path, kind, input, readings, again)

    def history(self, path):
        """The kept versions of a calibration file, newest first."""
        size = _MESSAGE_SIZE
        while True:
            lines, needed, message = self._buffer(size), ctypes.c_int(), self._buffer()
            if not self._dll.KavrelHostHistory(path, lines, size, ctypes.byref(needed), message,
                                               _MESSAGE_SIZE):
                return [_version(number, line) for number, line
                        in enumerate(decode(lines.value).splitlines(), 1)]
            if needed.value <= size:
                text = words(message.value)
                raise (FileNotFoundError if ": no such file" in text else
                       CalibrationFileError)(text)
            size = needed.value

    def restore(self, path, number):
        """Puts version number back; returns it and what it holds."""
        # Room for a kept copy's path of the system's longest.
        restored, message = self._buffer(_LINE_SIZE), self._buffer()
        if self._dll.KavrelHostRestore(path, number, restored, _LINE_SIZE, message,
                                       _MESSAGE_SIZE):
            raise CalibrationFileError(words(message.value))
        line, _, holds = decode(restored.value).rpartition("\t")
        return _version(number, line), holds


def _version(number, line):
    time, size, path = line.split("\t", 2)
    return Version(number, time, int(size), path)


class _Calibration:
    """The host's lock of a calibration file and its earlier version, for a with block: entering
    checks the file and keeps it in FILE.history, leaving tells (in replaced) whether the library
    replaced it, keeping the version only then."""

    def __init__(self, dll, path, kind, input=None, readings=None, again=False):
        self._dll = dll
        self._path = path
        self._kind = kind
        self._input = input
        self._readings = readings
        self._again = again
        self._handle = None
        self.replaced = False

    def __enter__(self):
        handle = ctypes.c_void_p()
        message = ctypes.create_string_buffer(_MESSAGE_SIZE)
        if self._input is None:
            failed = self._dll.KavrelHostBeginCalibration(self._path, self._kind,
                                                          ctypes.byref(handle), message,
                                                          _MESSAGE_SIZE)
        else:
            values = None if self._readings is None else \
                (ctypes.c_uint16 * READING_COUNT)(*self._readings)
            note = ctypes.create_string_buffer(_MESSAGE_SIZE)
            failed = self._dll.KavrelHostBeginCalibrationFrom(
                self._path, self._kind, self._input, values, int(bool(self._again)),
                ctypes.byref(handle), note, _MESSAGE_SIZE, message, _MESSAGE_SIZE)
            if not failed and note.value:
                warnings.warn(words(note.value), stacklevel=3)
        if failed:
            text = words(message.value)
            if "stack the same correction" in text:
                raise CalibrationFileError(text + " (again=True applies it all the same)")
            raise (FileNotFoundError if "does not exist" in text else CalibrationFileError)(text)
        self._handle = handle
        return self

    def draw(self, path):
        """Draws the calibration the library has just made into the picture at path; returns
        the false colours' full scale of an offset map (0 for a LUT)."""
        scale, message = ctypes.c_int(), ctypes.create_string_buffer(_MESSAGE_SIZE)
        if self._dll.KavrelHostDrawCalibration(self._handle, path, ctypes.byref(scale), message,
                                               _MESSAGE_SIZE):
            raise KavrelError(words(message.value))
        return scale.value

    def __exit__(self, *exception):
        self.replaced = bool(self._dll.KavrelHostEndCalibration(self._handle))
        self._handle = None
        return False
