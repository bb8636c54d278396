#!/usr/bin/env bash
# Runs a command with a fresh Wine prefix and an X server of the output display's size
# (1280 x 1024, 24 bits), then stops the server and removes the prefix. Optional settings for the
# library go to the prefix's Windows folder: KAVREL_WINE_INI=path/to/kavrel.INI.
# The prefix is a 32-bit one unless WINEARCH=win64 asks for a 64-bit one (for the 64-bit DLL).
set -euo pipefail
export WINEARCH=${WINEARCH:-win32}
# Debian's wine command starts the 32-bit loader; a 64-bit prefix is set up by the 64-bit one.
wine=wine
[ "$WINEARCH" = win64 ] && wine=/usr/lib/wine/wine64

prefix=$(mktemp -d /tmp/kavrel-wine.XXXXXX)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
}
trap cleanup EXIT

display=99
while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display}" ] && break; sleep 0.1; done

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=":$display"
"$wine" wineboot.exe -i >/dev/null 2>&1
# Without a window manager Wine waits about two seconds whenever a message box closes.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
if [ -n "${KAVREL_WINE_INI:-}" ]; then cp "$KAVREL_WINE_INI" "$prefix/drive_c/windows/kavrel.INI"; fi
wineserver -w

"$@"
