#!/usr/bin/env bash
# Runs one command of the Windows program kavrel-host.exe under Wine, end to end on small real
# files, and checks what it wrote. The program loads kavrel.dll from its own folder.
# Usage: wine-commands.sh expose|calc-lut|files|display WINE PATH/kavrel-host.exe
set -euo pipefail
command=$1
wine=$2
exe=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/kavrel-host-wine.XXXXXX")
holder=
# A program that holds a file open is told to end (and waited for) before the folder goes.
trap '[ -n "$holder" ] && touch "$work/release" && wait "$holder"; rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAIL: $*" >&2; [ -f out.txt ] && cat out.txt >&2; [ -f err.txt ] && cat err.txt >&2; exit 1; }
# Runs the program; its exit status in $status, its output (without CR, from the ANSI code page
# into this script's UTF-8) in out.txt and err.txt.
run() {
    status=0
    "$wine" "$exe" "$@" >out.raw 2>err.raw || status=$?
    tr -d '\r' <out.raw | iconv -f CP1252 -t UTF-8 >out.txt
    tr -d '\r' <err.raw | iconv -f CP1252 -t UTF-8 >err.txt
}
expect_status() { [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"; }
expect_out() { grep -qF -- "$1" out.txt || fail "output lacks: $1"; }
expect_err() { grep -qF -- "$1" err.txt || fail "message lacks: $1"; [ "$(wc -l <err.txt)" -eq 1 ] || fail "message of more than one line"; }
size() { stat -c %s "$1"; }
# The compiler of Windows programs of the host's width.
same_width_gcc() { case $exe in *win32*) echo i686-w64-mingw32-gcc ;; *) echo x86_64-w64-mingw32-gcc ;; esac; }
# 48 readings of a grey scale: reference 10, then patches from $1 in steps of 5, the last unused.
readings() {
    for r in $(seq 0 47); do
        if [ "$r" -eq 0 ] || [ "$r" -eq 47 ]; then echo 10; else echo $(($1 + 5 * r)); fi
    done
}
# The 16-bit little-endian number at a byte offset of a file.
le16() { od -An -tu2 -j "$2" -N2 "$1" | tr -d ' '; }

case $command in
expose)
    run sample-image sample.bmp
    expect_status 0
    [ "$(size sample.bmp)" -eq $((54 + 2560 * 2048 * 3)) ] || fail "sample image size"
    run expose sample.bmp --out shown --blank 0
    expect_status 0
    expect_out "frame 12/12  colour 2 (red  )  position 3 (lower left )"
    # Paths the program puts together carry the system's separator.
    expect_out 'display pictures: shown\frame-00.bmp .. shown\frame-23.bmp'
    for n in $(seq -w 0 23); do
        [ "$(size "shown/frame-$n.bmp")" -eq $((54 + 1280 * 1024 * 3)) ] || fail "picture $n"
    done
    # A frame carries the image, a blank frame of level 0 is black.
    [ "$(tail -c +55 shown/frame-00.bmp | tr -d '\0' | wc -c)" -gt 1000000 ] || fail "frame 0 is dark"
    [ "$(tail -c +55 shown/frame-01.bmp | tr -d '\0' | wc -c)" -eq 0 ] || fail "blank frame is not black"
    run expose missing.bmp --out shown
    expect_status 1
    expect_err "missing.bmp: no such file"
    # A folder named with a letter outside ASCII is made and written under the name typed.
    run expose sample.bmp --out 'Fotos ü'
    expect_status 0
    expect_out 'display pictures: Fotos ü\frame-00.bmp .. Fotos ü\frame-11.bmp'
    [ "$(size 'Fotos ü/frame-11.bmp')" -eq $((54 + 1280 * 1024 * 3)) ] || fail "pictures in 'Fotos ü'"
    # A picture that cannot be replaced is reported, not passed off as this run's.
    chmod 444 'Fotos ü/frame-03.bmp'
    run expose sample.bmp --out 'Fotos ü'
    expect_status 1
    expect_err 'Fotos ü\frame-03.bmp: cannot be replaced (is it write-protected?)'
    # A DLL of the other width is named as such.
    bits=64; other=i686-w64-mingw32-gcc
    case $exe in *win32*) bits=32; other=x86_64-w64-mingw32-gcc ;; esac
    echo 'int kavrel_probe;' | "$other" -shared -o other.dll -x c -
    run show --library other.dll
    expect_status 1
    expect_err "is a $((96 - bits))-bit DLL, and this $bits-bit program loads only a $bits-bit kavrel.dll"
    ;;
calc-lut)
    readings 10 >readings.txt
    run calc-lut readings.txt --lut lab.lut --plot lut.svg
    expect_status 0
    expect_out "after:  lab.lut: 0 -> 4095, 64 -> 1846, 128 -> 674"
    expect_out "gamma 1.80 (the default; no Gamma in [Imaging] of "
    [ "$(size lab.lut)" -eq 528 ] || fail "LUT file size"
    [ "$(head -c 7 lab.lut)" = LUTFILE ] || fail "LUT file magic"
    [ "$(le16 lab.lut $((16 + 2 * 64)))" -eq 1846 ] || fail "entry 64"
    head -c 4 lut.svg | grep -q '<svg' || fail "plot"
    # The earlier versions beside a file named with '/' are listed with the system's separator.
    mkdir sub
    run calc-lut readings.txt --lut sub/lab.lut
    # The same readings again are refused, the table kept; --again applies them all the same.
    cp sub/lab.lut once.lut
    run calc-lut readings.txt --lut sub/lab.lut
    expect_status 1
    expect_err 'sub/lab.lut: the readings readings.txt made this file as it is now, applied at '
    cmp -s sub/lab.lut once.lut || fail "the LUT file changed when the same readings came again"
    run calc-lut readings.txt --lut sub/lab.lut --again
    expect_status 0
    # A save of a version cut off by a crash is neither listed nor left behind.
    printf 'LUT' >'sub/lab.lut.history/29991231-235959-999.lut.kavrel-new-0badf00d'
    run history sub/lab.lut
    expect_status 0
    expect_out '1 earlier version in sub\lab.lut.history, newest first'
    expect_out ' bytes  0 -> 4095, 64 -> 1846, 128 -> 674'
    expect_out 'made from readings.txt at '
    expect_out '  sub\lab.lut.history\'
    grep -q kavrel-new out.txt && fail "a cut-off save listed as a version"
    run restore sub/lab.lut
    expect_status 0
    [ -e 'sub/lab.lut.history/29991231-235959-999.lut.kavrel-new-0badf00d' ] && fail "a cut-off save left behind"
    cmp -s sub/lab.lut once.lut || fail "restore did not put the table back"
    # Names with letters outside ASCII: the host writes, keeps and finds its files under the
    # names typed, so that two calibrations keep a version that restore puts back.
    run calc-lut readings.txt --lut 'Kalibrierung ä.lut' --plot 'plot ä.svg'
    expect_status 0
    expect_out 'plot: plot ä.svg'
    head -c 4 'plot ä.svg' | grep -q '<svg' || fail "the plot under the name given"
    cp 'Kalibrierung ä.lut' first.lut
    run calc-lut readings.txt --lut 'Kalibrierung ä.lut' --again
    expect_status 0
    run history 'Kalibrierung ä.lut'
    expect_status 0
    expect_out '1 earlier version in Kalibrierung ä.lut.history, newest first'
    run restore 'Kalibrierung ä.lut'
    expect_status 0
    cmp -s 'Kalibrierung ä.lut' first.lut || fail "restore did not put the first table back"
    [ "$(ls | grep -c 'Ã')" -eq 0 ] || fail "a garbled name: $(ls | grep 'Ã')"
    run history 'Kalibrierung ö.lut'
    expect_status 1
    expect_err 'Kalibrierung ö.lut: no such file, and no earlier versions kept'
    # A reading typed ten times too large is refused, and the table kept byte for byte.
    cp lab.lut before.lut
    sed '21s/.*/1100/' readings.txt >typo.txt
    run calc-lut typo.txt --lut lab.lut
    expect_status 1
    expect_err "typo.txt: patch 20 (line 21) reads 1100 hundredths, above 900 (9.00)"
    cmp -s lab.lut before.lut || fail "the LUT file changed after a mistyped reading"
    # Readings that cannot be a grey scale: a reference typed with a digit too many, a patch
    # lighter than the one before it, a CGATS export with a SAMPLE_ID missing or doubled. Each is
    # refused with the table kept byte for byte, and --force passes it.
    sed '1s/.*/80/' readings.txt >reference.txt
    sed '12s/.*/30/' readings.txt >lighter.txt
    cgats() {
        printf 'CGATS.17\r\nBEGIN_DATA_FORMAT\r\nSAMPLE_ID D_VIS\r\nEND_DATA_FORMAT\r\nBEGIN_DATA\r\n'
        awk -v skip="$1" -v doubled="$2" 'NR != skip { printf "%d %d.%02d\r\n", NR == doubled ? NR - 1 : NR, $1 / 100, $1 % 100 }' readings.txt
        printf 'END_DATA\r\n'
    }
    cgats 22 0 >missing.cgats
    cgats 0 22 >doubled.cgats
    for bad in "reference.txt:reading 0 (the reference, line 1) reads 80, denser than" \
               "lighter.txt:patch 11 (line 12) reads 30" \
               "missing.cgats:SAMPLE_ID 22 is missing" \
               "doubled.cgats:SAMPLE_ID 21 is written twice"; do
        file=${bad%%:*}
        run calc-lut "$file" --lut lab.lut
        expect_status 1
        expect_err "$file: ${bad#*:}"
        cmp -s lab.lut before.lut || fail "the LUT file changed after $file"
        cp lab.lut forced.lut
        run calc-lut "$file" --lut forced.lut --force
        expect_status 0
        grep -qF "warning: ${bad#*:}" err.txt || fail "no warning for $file with --force"
    done
    # A densitometer's CGATS export of the same readings gives the same table.
    {
        printf 'CGATS.17\r\nBEGIN_DATA_FORMAT\r\nSAMPLE_ID D_VIS\r\nEND_DATA_FORMAT\r\nBEGIN_DATA\r\n'
        awk '{ printf "%d %d.%02d\r\n", NR, $1 / 100, $1 % 100 }' readings.txt
        printf 'END_DATA\r\n'
    } >readings.cgats
    run calc-lut readings.txt --lut plain.lut
    run calc-lut readings.cgats --lut cgats.lut
    expect_status 0
    expect_out "readings: readings.cgats (CGATS column D_VIS (densities))"
    cmp -s cgats.lut plain.lut || fail "the CGATS readings gave another table"
    printf '10\n15\nabc\n' >bad.txt
    cp lab.lut before.lut
    run calc-lut bad.txt --lut lab.lut
    expect_status 1
    expect_err "bad.txt line 3: 'abc' is not a number"
    cmp -s lab.lut before.lut || fail "the LUT file changed after bad readings"
    # A Gamma written as a decimal reads as 1, which the library does not use; the host says so.
    if [ -n "${WINEPREFIX:-}" ] && [ ! -e "$WINEPREFIX/drive_c/windows/kavrel.INI" ]; then
        printf '[Imaging]\r\nGamma=1.80\r\n' >"$WINEPREFIX/drive_c/windows/kavrel.INI"
        run calc-lut readings.txt --lut lab.lut --again
        rm -f "$WINEPREFIX/drive_c/windows/kavrel.INI"
        expect_status 1
        expect_err "lab.lut: the library wrote no new table: gamma 0.01 (Gamma in [Imaging] of "
        expect_err "kavrel.INI reads as 1) is outside 0.10 .. 10.00"
        cmp -s lab.lut before.lut || fail "the LUT file changed with an unusable Gamma"
    fi
    ;;
files)
    readings 10 >readings.txt
    readings 12 >lighter.txt
    run sample-image sample.bmp
    # The version: the host's, and the DLL's from its version resource; Windows' switches too.
    for switch in -v /v; do
        run $switch
        expect_status 0
        expect_out "kavrel-host "
        expect_out "kavrel.dll 1.0.0.0 ("
    done
    run /h
    expect_status 0
    expect_out "usage: kavrel-host COMMAND"
    run history /h
    expect_status 0
    expect_out "usage: kavrel-host history FILE"
    # Paths of 300 characters, past the plain form's 260: a LUT calibrated twice keeps its
    # history, restore puts it back, and expose reads it and writes its pictures there.
    name=$(printf 'folder-%043d' 0)
    deep="$name/$name/$name/$name/$name"
    mkdir -p "$deep"
    lut="$deep/$(printf 'lab-%037d' 0).lut"
    [ ${#lut} -eq 300 ] || fail "the long path has ${#lut} characters"
    run calc-lut readings.txt --lut "$lut" --plot "$deep/plot.svg"
    expect_status 0
    head -c 4 "$deep/plot.svg" | grep -q '<svg' || fail "the plot in the long folder"
    cp "$lut" first.lut
    run calc-lut lighter.txt --lut "$lut"
    expect_status 0
    cmp -s "$lut" first.lut && fail "the second calibration changed nothing"
    run history "$lut"
    expect_status 0
    expect_out "1 earlier version in "
    run restore "$lut"
    expect_status 0
    cmp -s "$lut" first.lut || fail "restore did not put the first table back"
    cp sample.bmp "$deep/sample.bmp"
    run expose "$deep/sample.bmp" --lut "$lut" --out "$deep/shown"
    expect_status 0
    [ "$(size "$deep/shown/frame-11.bmp")" -eq $((54 + 1280 * 1024 * 3)) ] || fail "pictures in the long folder"
    # A name longer than a folder name may be is named as too long, not as a running calibration.
    run calc-lut readings.txt --lut "$(printf 'x%0300d' 0).lut"
    expect_status 1
    expect_err "the path is too long for the system"
    # A name that the ANSI code page cannot hold reaches the program as '?': it says so.
    cp readings.txt '日本.txt'
    run calc-lut '日本.txt' --lut lab.lut
    expect_status 1
    expect_err "the ANSI code page cannot hold this name"
    # A file that another program holds open, sharing nothing: each command that reads or
    # replaces it says so, and it is kept byte for byte.
    run calc-lut readings.txt --lut lab.lut
    expect_status 0
    cp lab.lut before.lut
    cat >hold.c <<'C'
#include <windows.h>
/* Holds argv[1] open, sharing nothing, from the creation of argv[2] until argv[3] exists. */
int main(int argc, char** argv) {
    HANDLE file;
    if (argc != 4) return 2;
    file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(CreateFileA(argv[2], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    while (GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES) Sleep(20);
    CloseHandle(file);
    return 0;
}
C
    "$(same_width_gcc)" -o hold.exe hold.c
    "$wine" hold.exe lab.lut held release &
    holder=$!
    for _ in $(seq 500); do [ -e held ] && break; sleep 0.1; done
    [ -e held ] || fail "the program holding the file did not start"
    run calc-lut lighter.txt --lut lab.lut
    expect_status 1
    expect_err "lab.lut: in use by another program: close it and run again"
    run expose sample.bmp --lut lab.lut --out shown
    expect_status 1
    expect_err "lab.lut: in use by another program: close it and run again"
    touch release
    wait "$holder"
    holder=
    cmp -s lab.lut before.lut || fail "the LUT file changed while another program held it"
    run calc-lut lighter.txt --lut lab.lut
    expect_status 0
    ;;
display)    # The emulator's screen is the X server of the test run: 1280 x 1024, 24 bits.
    run displays
    expect_status 0
    expect_out "DISPLAY"
    run check-display
    expect_status 0
    expect_out "display DISPLAY: 1280 x 1024"
    expect_out "  pass  all 4096 levels scattered"
    expect_out "display check passed"
    run sample-image sample.bmp
    run expose sample.bmp --device '\\.\DISPLAY9'
    expect_status 1
    expect_err 'DISPLAY9: names no display'
    run expose sample.bmp --device DISPLAY
    expect_status 0
    expect_out "shown 12 of 12 frames"
    ;;
*)
    fail "unknown command $command"
    ;;
esac
echo "kavrel-host.exe $command: ok"
