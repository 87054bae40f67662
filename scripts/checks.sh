# shellcheck shell=bash
# Sourced by the test scripts: the pass/fail/skip count of their checks, the
# summary line, the wait for a process they started to end, and a run that
# ends a command which has gone silent.

passed=0
failed=0
skipped=0

check() {  # condition-result (0 = ok), description
    if [ "$1" -eq 0 ]; then
        passed=$((passed + 1))
        echo "ok:   $2"
    else
        failed=$((failed + 1))
        echo "FAIL: $2"
    fi
}

# A check not run, with the reason: counted and named, never silent.
skip() {  # description of what was not run and why
    skipped=$((skipped + 1))
    echo "skip: $1"
}

# The last line of a test script; true when nothing failed.
summary() {
    echo "$passed passed, $failed failed, $skipped skipped"
    [ "$failed" -eq 0 ]
}

# Waits up to the given seconds for a process to end; 0 if it did. A process
# still running then is killed, so that no test leaves one behind.
wait_ended() {  # pid, seconds
    local i
    for ((i = 0; i < $2 * 10; i++)); do
        if ! kill -0 "$1" 2>/dev/null; then
            wait "$1" 2>/dev/null
            return 0
        fi
        sleep 0.1
    done
    kill "$1" 2>/dev/null
    wait "$1" 2>/dev/null
    return 1
}

# Runs a command, its lines (CR LF or LF) to standard output and to a log. A
# command that prints nothing for the given seconds is taken for hung: all
# of it (its own process group) is ended at once, not at some far time
# limit, and the return is 124. Otherwise the command's exit code.
# longest_silence holds the longest silence seen so far, in seconds.
longest_silence=0
now_ms() { echo $((${EPOCHREALTIME/[.,]/} / 1000)); }
run_watched() {  # seconds of silence, log, command...
    local silence=$1 log=$2
    shift 2
    : >"$log"
    set -m
    { "$@" | sed -u 's/\r$//' | tee "$log"; } &
    local pid=$!
    set +m
    local size=0 now ms last
    last=$(now_ms)
    while kill -0 "$pid" 2>/dev/null; do
        sleep 0.2
        now=$(stat -c %s "$log")
        ms=$(now_ms)
        if [ "$now" != "$size" ]; then
            size=$now
            last=$ms
        fi
        (((ms - last) / 1000 <= longest_silence)) || longest_silence=$(((ms - last) / 1000))
        if ((ms - last >= silence * 1000)); then
            kill -TERM -- "-$pid" 2>/dev/null
            wait "$pid" 2>/dev/null
            return 124
        fi
    done
    wait "$pid"
}
