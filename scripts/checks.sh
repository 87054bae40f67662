# shellcheck shell=bash
# Sourced by the test scripts: the pass/fail count of their checks and the
# wait for a process they started to end.

passed=0
failed=0

check() {  # condition-result (0 = ok), description
    if [ "$1" -eq 0 ]; then
        passed=$((passed + 1))
        echo "ok:   $2"
    else
        failed=$((failed + 1))
        echo "FAIL: $2"
    fi
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
