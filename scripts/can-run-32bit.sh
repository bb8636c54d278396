#!/usr/bin/env bash
# Exits 0 when this machine can run 32-bit x86 programs, as 32-bit Wine needs: it starts Wine's
# 32-bit loader. With --why, prints what stops it instead.
loader=/usr/lib/wine/wine
if [ "${1:-}" = --why ]; then
    if [ ! -x "$loader" ]; then echo "no 32-bit Wine at $loader"; exit 0; fi
    python3 -c "import os, sys; os.execv(sys.argv[1], [sys.argv[1], '--version'])" "$loader" 2>&1 |
        tail -n 1
    exit 0
fi
[ -x "$loader" ] && python3 -c "import os, sys; os.execv(sys.argv[1], [sys.argv[1], '--version'])" \
    "$loader" >/dev/null 2>&1
