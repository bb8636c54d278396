#!/bin/sh
# kavrel.dll is a 32-bit PE whose export table holds exactly the 22 undecorated names, and it
# needs no MinGW runtime DLL.
set -eu
dll=$1
dump=$(i686-w64-mingw32-objdump -p "$dll")
echo "$dump" | grep -q 'file format pei-i386' || { echo "not a 32-bit PE"; exit 1; }
expected="CalcFrame CalcLut CalcOffset CloseOutputDevice DisableErrorWindow OpenOutputDevice OutputBlankFrame OutputFrame SetBitmapPointer SetColor SetCorrectionFactor SetDelayLine SetDelayShift SetDensiValue SetDeviceName SetImageFile SetLutFile SetOffsetFile SetPosition SetScanFile SetThreshold ShowDialog"
actual=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | tail -n +2 | grep -o '\] [A-Za-z0-9_@]*' | cut -c3- | sort | tr '\n' ' ' | sed 's/ $//')
if [ "$actual" != "$expected" ]; then
    echo "exported: $actual"
    echo "expected: $expected"
    exit 1
fi
imports=$(echo "$dump" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
case "$imports" in
    *libgcc*|*libstdc++*|*libwinpthread*) echo "needs MinGW runtime DLLs: $imports"; exit 1 ;;
esac
echo "$dump" | grep -q 'Version' || true
echo "22 undecorated exports; imports: $imports"
