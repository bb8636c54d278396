/* The host's own steps around the library, for other hosts: the checks of kavrel-host's commands,
 * the earlier versions its calibrations keep, and its display check, as one shared library
 * (libkavrelhost.so, kavrelhost.dll) built from the same code as kavrel-host. The Python package
 * calls it, so that its commands keep the promises of the host's.
 *
 * Plain C functions of the C calling convention (also on 32-bit Windows). Strings are 8-bit: the
 * ANSI code page on Windows, the file-system encoding elsewhere. Every function that can fail
 * returns 0 when done and 1 on failure, with one line saying why in message (size bytes, cut
 * short when longer, always terminated). No exception leaves the library. */
#ifndef KAVREL_HOST_H
#define KAVREL_HOST_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define KAVREL_HOST_API __declspec(dllexport)
#else
#define KAVREL_HOST_API __attribute__((visibility("default")))
#endif

/* Reads a file of densitometer readings as calc-lut does (plain, CGATS or CSV): 48 readings in
 * hundredths into readings; densities: plain values are densities; channel: the column of a table
 * (null or empty: the default). source receives the table's column, or an empty string. A table
 * whose rows cannot be put in patch order (a SAMPLE_ID missing or doubled, a row count other than
 * NUMBER_OF_SETS) is refused. */
KAVREL_HOST_API int KavrelHostReadReadings(const char* path, int densities, const char* channel,
                                           uint16_t readings[48], char* source, int sourceSize,
                                           char* message, int size);

/* Reads and checks a file of readings as calc-lut does, in one step: the messages name each
 * reading's line, SAMPLE_ID and value as written. Returns 1 with the reason in message when the
 * file cannot be read, or when its readings (or a table's SAMPLE_IDs and NUMBER_OF_SETS) cannot
 * be right and force is 0; with force they are read all the same and the reason is the first of
 * the warnings (one a line). Arguments otherwise as KavrelHostReadReadings. */
KAVREL_HOST_API int KavrelHostReadCheckedReadings(const char* path, int densities,
                                                  const char* channel, int force,
                                                  uint16_t readings[48], char* source,
                                                  int sourceSize, char* warnings,
                                                  int warningsSize, char* message, int size);

/* Checks 48 readings (hundredths) as calc-lut does. Returns 0 when they may be calibrated, 1 with
 * the reason in message when they cannot be right. warnings receives the doubts that do not stop
 * a calibration, one a line. densities: they were given as densities. */
KAVREL_HOST_API int KavrelHostCheckReadings(const uint16_t readings[48], int densities,
                                            char* warnings, int warningsSize, char* message,
                                            int size);

/* The library's Gamma setting as calc-lut reports it: description always; returns 1 with the
 * reason in message when the library would write no table with it; warning receives a doubt or
 * an empty string. libraryPath: the library that will calibrate. */
KAVREL_HOST_API int KavrelHostCheckGamma(const char* libraryPath, char* description,
                                         int descriptionSize, char* warning, int warningSize,
                                         char* message, int size);

/* The files of expose checked as kavrel-host expose checks them: image (a 2560 x 2048 24-bit
 * bitmap stored bottom-up and complete), lut (a LUT file the library takes) and offset (an offset
 * map of 1280 x 1024 samples); a null name is not checked. */
KAVREL_HOST_API int KavrelHostCheckExposeFiles(const char* image, const char* lut,
                                               const char* offset, char* message, int size);

/* Whether the device name names a display that the library can draw on and whose mode shows
 * the packed values unchanged. A file display ("file:...") is no such display. */
KAVREL_HOST_API int KavrelHostCheckDisplay(const char* device, char* message, int size);

/* A calibration of a LUT (kind 0) or offset file (kind 1) with its earlier versions kept, as
 * kavrel-host does it: Begin takes the host's lock of the file, checks it (only a file that does
 * not exist is a first calibration; a LUT file must hold 256 entries, an offset map 1280 x 1024
 * samples) and keeps the file as it is in FILE.history; then the caller has the library calibrate;
 * End tells whether the library replaced the file (1) or not (0), keeps the earlier version only
 * when it did, and releases the lock. *calibration is null after a failed Begin. */
typedef struct KavrelHostCalibration KavrelHostCalibration;
KAVREL_HOST_API int KavrelHostBeginCalibration(const char* path, int kind,
                                               KavrelHostCalibration** calibration,
                                               char* message, int size);
KAVREL_HOST_API int KavrelHostEndCalibration(KavrelHostCalibration* calibration);

/* The same Begin for a calibration from an input, which End records as what made the new file:
 * for a LUT (kind 0) the 48 readings in hundredths (readings), input the name of their file for
 * the messages (may be null); for an offset file (kind 1) the scan, input its path (readings is
 * null). Refused (1) when the same input made the file as it is now, so that applying it again
 * would stack its correction on itself; again: apply it all the same. note receives a line to
 * show when this calibration waited for another of the same file (its correction then goes on
 * top of the other's), else an empty string. */
KAVREL_HOST_API int KavrelHostBeginCalibrationFrom(const char* path, int kind, const char* input,
                                                   const uint16_t* readings, int again,
                                                   KavrelHostCalibration** calibration, char* note,
                                                   int noteSize, char* message, int size);

/* Photos: any image file made into the 2560 x 2048 frame as kavrel-host prepare and expose make
 * it (EXIF orientation, colours converted from the embedded profile, placed and scaled). The
 * options as kavrel-host takes them; a null or empty text is an option not given. */
typedef struct KavrelHostPhotoOptions {
    int fill;                   /* 0: the whole photo fits (--fit), 1: it covers (--fill) */
    const char* crop;           /* "X,Y,W,H" in the upright photo's pixels */
    const char* area;           /* "WxH+X+Y" in the frame */
    const char* rotate;         /* "auto", "0", "90", "180", "270" (default "0") */
    int border;                 /* 0..255, around the photo and under transparency */
    const char* workingProfile; /* an ICC file; none: sRGB */
} KavrelHostPhotoOptions;

/* The frame's pixels into pixels (pixelsSize at least 2560 * 2048 * 3 bytes): the bottom row
 * first, each pixel's bytes blue, green, red, as a bitmap file and SetBitmapPointer hold them.
 * *passedThrough is 1 when the file is a 2560 x 2048 24-bit bitmap placed unchanged, which
 * expose hands the library as it is. report receives what was found and done, one line each. */
KAVREL_HOST_API int KavrelHostPreparePhoto(const char* path, const KavrelHostPhotoOptions* options,
                                           uint8_t* pixels, int64_t pixelsSize,
                                           int* passedThrough, char* report, int reportSize,
                                           char* message, int size);

/* Checks before a calibration that its picture can be written to path (the extension .svg for a
 * LUT, kind 0; .bmp for an offset map, kind 1), so that a failure afterwards does not leave a
 * calibration applied that a retry would apply twice. */
KAVREL_HOST_API int KavrelHostCheckPicture(const char* path, int kind, char* message, int size);

/* After the library has calibrated and before End: draws the calibration into path, as
 * kavrel-host's --plot (a LUT: the table before and after, SVG) and --map (an offset map: the new
 * map in false colour as the display shows it, full colour at the largest sample, a 24-bit
 * bitmap) draw it. scale receives that largest sample (0 for a LUT). */
KAVREL_HOST_API int KavrelHostDrawCalibration(const KavrelHostCalibration* calibration,
                                              const char* path, int* scale, char* message,
                                              int size);

/* The earlier versions of a LUT or offset file, newest first (version 1 is the file before the
 * last calibration or restore): one line each, "time<TAB>bytes<TAB>path". needed receives the
 * bytes the whole list takes (its terminating NUL included); a longer list than versionsSize is
 * an error. Fails for a file that neither exists nor has earlier versions. */
KAVREL_HOST_API int KavrelHostHistory(const char* path, char* versions, int versionsSize,
                                      int* needed, char* message, int size);

/* Puts earlier version number (1: the newest) back in place of the file, as kavrel-host restore
 * does, keeping the file it replaces as the new version 1. restored receives the version's line
 * as KavrelHostHistory gives it, then a TAB and what it holds ("LUT of 256 entries"). */
KAVREL_HOST_API int KavrelHostRestore(const char* path, int number, char* restored,
                                      int restoredSize, char* message, int size);

#ifdef __cplusplus
}
#endif

#endif
