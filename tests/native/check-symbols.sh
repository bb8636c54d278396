#!/bin/sh
# The shared library exports the functions of the export list (EXPORTS: the names, sorted, on one
# line) and nothing else.
#   check-symbols.sh LIBRARY EXPORTS
set -eu
expected=$(cat "$2")
actual=$(nm -D --defined-only "$1" | awk '$2 ~ /^[TDBRVW]$/ {print $3}' | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
if [ "$actual" != "$expected" ]; then
    echo "exported: $actual"
    echo "expected: $expected"
    exit 1
fi
echo "22 exports, nothing else"
