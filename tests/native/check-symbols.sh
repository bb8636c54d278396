#!/bin/sh
# The shared library exports the 22 functions and nothing else.
set -eu
expected="CalcFrame CalcLut CalcOffset CloseOutputDevice DisableErrorWindow OpenOutputDevice OutputBlankFrame OutputFrame SetBitmapPointer SetColor SetCorrectionFactor SetDelayLine SetDelayShift SetDensiValue SetDeviceName SetImageFile SetLutFile SetOffsetFile SetPosition SetScanFile SetThreshold ShowDialog"
actual=$(nm -D --defined-only "$1" | awk '$2 ~ /^[TDBRVW]$/ {print $3}' | sort | tr '\n' ' ' | sed 's/ $//')
if [ "$actual" != "$expected" ]; then
    echo "exported: $actual"
    echo "expected: $expected"
    exit 1
fi
echo "22 exports, nothing else"
