#!/bin/sh
# kavrel.dll is a PE of the given width (32, the default, or 64 bits) whose export table holds
# exactly the undecorated names of the export list (EXPORTS: the names, sorted, on one line), and
# it needs no MinGW runtime DLL.
#   check-exports.sh DLL EXPORTS [32|64]
set -eu
dll=$1
expected=$(cat "$2")
bits=${3:-32}
case $bits in
    32) objdump=i686-w64-mingw32-objdump; format=pei-i386 ;;
    64) objdump=x86_64-w64-mingw32-objdump; format=pei-x86-64 ;;
    *) echo "usage: $0 DLL EXPORTS [32|64]"; exit 2 ;;
esac
dump=$($objdump -p "$dll")
echo "$dump" | grep -q "file format $format" || { echo "not a $bits-bit PE"; exit 1; }
actual=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | tail -n +2 | grep -o '\] [A-Za-z0-9_@]*' | cut -c3- | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
if [ "$actual" != "$expected" ]; then
    echo "exported: $actual"
    echo "expected: $expected"
    exit 1
fi
imports=$(echo "$dump" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | LC_ALL=C sort | tr '\n' ' ')
case "$imports" in
    *libgcc*|*libstdc++*|*libwinpthread*) echo "needs MinGW runtime DLLs: $imports"; exit 1 ;;
esac
echo "$dump" | grep -q 'Version' || true
echo "$bits-bit PE, 22 undecorated exports; imports: $imports"
