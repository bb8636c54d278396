#!/usr/bin/env bash
# Starts or stops the virtual X servers of the display tests; each free display number is picked
# by the server itself and written to DIR/NAME, its process id to DIR/NAME.pid.
#   xvfb.sh start DIR     main: 1280 x 1024 at 24 bits (screen 0) and 1024 x 768 at 24 bits
#                         (screen 1); shallow: 1280 x 1024 at 16 bits
#   xvfb.sh stop DIR
set -euo pipefail
action=$1
dir=$2

start() {
    local name=$1; shift
    rm -f "$dir/$name" "$dir/$name.pid"
    # The server writes its display number to the file once it accepts connections.
    Xvfb -displayfd 3 -nolisten tcp "$@" 3>"$dir/$name.number" </dev/null >/dev/null 2>&1 &
    echo $! >"$dir/$name.pid"
    for _ in $(seq 100); do
        if [ -s "$dir/$name.number" ]; then
            echo ":$(tr -d '\n' <"$dir/$name.number")" >"$dir/$name"
            rm -f "$dir/$name.number"
            echo "$name X server on $(cat "$dir/$name")"
            return 0
        fi
        sleep 0.1
    done
    echo "the $name X server did not start" >&2
    exit 1
}

stop() {
    local pidfile=$dir/$1.pid
    [ -f "$pidfile" ] || return 0
    kill "$(cat "$pidfile")" 2>/dev/null || true
    rm -f "$pidfile" "$dir/$1"
}

case $action in
start)
    mkdir -p "$dir"
    stop main
    stop shallow
    start main -screen 0 1280x1024x24 -screen 1 1024x768x24
    start shallow -screen 0 1280x1024x16
    ;;
stop)
    stop main
    stop shallow
    ;;
*)
    echo "usage: xvfb.sh start|stop DIR" >&2
    exit 2
    ;;
esac
