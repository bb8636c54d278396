# Runs commands side by side, at most as many at once as the machine has processors (or
# KAVREL_JOBS), each with its output kept apart and printed whole when it ends, so that the
# outputs never interleave. Sourced by the scripts whose single-threaded programs would otherwise
# leave processors idle (valgrind, the fuzzers).
#
#   pool_run NAME COMMAND [ARGS...]   starts COMMAND (a program or a shell function), after
#                                     waiting for a free slot
#   pool_wait                         waits for all; fails if any command failed, naming each

pool_limit=${KAVREL_JOBS:-$(nproc)}
pool_logs=$(mktemp -d)
pool_started=0
declare -A pool_names=() pool_log=()
pool_failed=()

# Waits for one command to end, prints its output and notes whether it failed.
pool_reap() {
    local pid status=0
    wait -n -p pid || status=$?
    local name=${pool_names[$pid]} log=${pool_log[$pid]}
    unset "pool_names[$pid]" "pool_log[$pid]"
    cat "$log"
    rm -f "$log"
    [ "$status" -eq 0 ] || pool_failed+=("$name (exit $status)")
}

pool_run() {
    local name=$1
    shift
    while [ "${#pool_names[@]}" -ge "$pool_limit" ]; do pool_reap; done
    local log=$pool_logs/$((pool_started += 1)).log
    "$@" >"$log" 2>&1 &
    pool_names[$!]=$name
    pool_log[$!]=$log
}

pool_wait() {
    while [ "${#pool_names[@]}" -gt 0 ]; do pool_reap; done
    rm -rf "$pool_logs"
    if [ "${#pool_failed[@]}" -gt 0 ]; then
        printf 'FAILED: %s\n' "${pool_failed[@]}" >&2
        return 1
    fi
}
