/* kavrel: exposure-display driver. The library's whole boundary: 22 functions.
 *
 * Every function runs to completion on the calling thread and never raises an error except
 * through its result. Calls are serialised: one from another thread waits until the current one
 * has returned; a call made from within a call on the same thread (a host's message loop running
 * while the library shows a box) goes ahead. Strings are NUL-terminated 8-bit strings, copied before the call returns;
 * a null string counts as empty. Functions declared void return nothing a host may rely on. */
#ifndef KAVREL_H
#define KAVREL_H

#if defined(_WIN32) && !defined(_WIN64)
#define KAVREL_CALL __stdcall
#else
#define KAVREL_CALL
#endif

#if defined(KAVREL_BUILDING_LIBRARY) && !defined(_WIN32)
#define KAVREL_API __attribute__((visibility("default")))
#else
#define KAVREL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Shows the device name, LUT file, offset file and colour in an information box. */
KAVREL_API void KAVREL_CALL ShowDialog(void);
/* Stores the output display's device name ("file:PATH" draws into bitmap files instead). */
KAVREL_API void KAVREL_CALL SetDeviceName(const char* name);
/* Stores the LUT file's path and loads it; a file that cannot be opened gives the default table. */
KAVREL_API void KAVREL_CALL SetLutFile(const char* path);
/* Stores the offset file's path and loads the offset map from it. */
KAVREL_API void KAVREL_CALL SetOffsetFile(const char* path);
/* Stores the image file's path and loads it: 0 loaded, 1 unreadable or not a bitmap, 2 truncated,
 * 3 out of memory, 4 not a single-plane 24-bit bitmap or of an unusable size. */
KAVREL_API int KAVREL_CALL SetImageFile(const char* path);
/* Stores the path of the scanned test exposure that CalcOffset reads. */
KAVREL_API void KAVREL_CALL SetScanFile(const char* path);
/* Selects the colour byte 0..2 (blue, green, red) that CalcFrame takes; returns the one in force. */
KAVREL_API int KAVREL_CALL SetColor(int color);
/* Selects the pixel of each 2 x 2 block (0 upper left, 1 upper right, 2 lower right, else lower
 * left) that CalcFrame takes; returns the value. */
KAVREL_API int KAVREL_CALL SetPosition(int position);
/* Opens the output display (1280 x 1024, 32 bits, 60 Hz). */
KAVREL_API void KAVREL_CALL OpenOutputDevice(void);
/* Closes the output display, if open. */
KAVREL_API void KAVREL_CALL CloseOutputDevice(void);
/* Computes frame 0..11 from the image, the LUT and the offset map. */
KAVREL_API void KAVREL_CALL CalcFrame(int index);
/* Draws frame 0..11 on the output display. */
KAVREL_API void KAVREL_CALL OutputFrame(int index);
/* Sets the delay-line mode (0 off, else on) used when frames are drawn; returns the value. */
KAVREL_API int KAVREL_CALL SetDelayLine(int mode);
/* Sets the delay-shift flag (0 off, else on) used when frames are drawn; returns the value. */
KAVREL_API int KAVREL_CALL SetDelayShift(int flag);
/* Computes a new offset file from colour byte 0..2 of the scan file. */
KAVREL_API void KAVREL_CALL CalcOffset(int color);
/* Uses a host-owned bottom-up 24-bit buffer of 2560 x 2048 pixels as the image; returns it. */
KAVREL_API void* KAVREL_CALL SetBitmapPointer(void* pixels);
/* Draws a 1280 x 1024 frame whose samples all equal the low 16 bits of the value. */
KAVREL_API void KAVREL_CALL OutputBlankFrame(int value);
/* Stores the low 16 bits of the value as densitometer reading 0..47. */
KAVREL_API void KAVREL_CALL SetDensiValue(int index, int value);
/* Computes a new LUT file from the 48 densitometer readings and the current LUT file. */
KAVREL_API void KAVREL_CALL CalcLut(void);
/* Sets the correction factor of the offset calculation (default 100); returns the value. */
KAVREL_API int KAVREL_CALL SetCorrectionFactor(int factor);
/* Sets the edge threshold of the offset calculation, in percent (default 90); returns it. */
KAVREL_API int KAVREL_CALL SetThreshold(int threshold);
/* Turns failure messages off for any nonzero flag and on for 0; returns 1 when they are on. */
KAVREL_API int KAVREL_CALL DisableErrorWindow(int flag);

#ifdef __cplusplus
}
#endif

#endif /* KAVREL_H */
