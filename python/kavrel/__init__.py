"""kavrel from Python: the exposure-display library loaded through ctypes.

    import kavrel
    lib = kavrel.Library()          # $KAVREL_LIBRARY, the library beside this package, or the
                                    # one on the system's search path
    lib.SetColor(1)                 # the library's 22 functions, under their own names
    lib.expose("picture.bmp", lut="lab.lut", offset="lab.frm", out="frames")
    lib.expose("photo.jpg", fill=True, out="frames")   # any image file, made into the frame
    frame = kavrel.prepare("photo.jpg", rotate="auto")  # that frame as a numpy array
"""

from ._host import (CalibrationFileError, DisplayError, FileError, KavrelError, ReadingsError,
                    Version)
from ._library import LIBRARY_FILE, Library, default_library_path, encode_string, prepare

__all__ = ["Library", "KavrelError", "DisplayError", "ReadingsError", "FileError",
           "CalibrationFileError", "Version",
           "LIBRARY_FILE", "default_library_path", "encode_string", "prepare"]
__version__ = "1.0.0"
