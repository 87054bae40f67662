#!/usr/bin/env bash
# Runs a command as on a machine whose kernel refuses 32-bit programs: in a
# private mount namespace the 32-bit Wine loader is replaced by a file the
# kernel cannot execute ("Exec format error", as there). Nothing outside the
# command sees the change. For trying the test scripts' way on such machines.
# Usage: scripts/without-32bit.sh COMMAND [ARGS...]
#   e.g. scripts/without-32bit.sh scripts/run.sh x86
# Needs unshare(1) and root or unprivileged user namespaces; exits 125 if it
# cannot set up the namespace.
set -euo pipefail
if [ $# -eq 0 ]; then
    echo "usage: scripts/without-32bit.sh COMMAND [ARGS...]" >&2
    exit 2
fi

if [ -z "${TM_WITHOUT_32BIT_INSIDE:-}" ]; then
    root_opt=()
    [ "$(id -u)" -eq 0 ] || root_opt=(-r)
    export TM_WITHOUT_32BIT_INSIDE=1
    # A check made outside would be wrong in here.
    unset TM_32BIT
    exec unshare "${root_opt[@]}" -m --propagation private "$0" "$@" ||
        exit 125
fi

loader=/usr/lib/wine/wine
if [ ! -e "$loader" ]; then
    echo "without-32bit: there is no $loader to hide (scripts/setup.sh installs wine32:i386)" >&2
    exit 125
fi
# A 32-bit ELF header for a machine no x86 kernel runs (ARM): the kernel's
# answer is ENOEXEC, as for any 32-bit program where 32-bit support is off.
fake=$(mktemp)
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\050\000\001\000\000\000' >"$fake"
chmod 755 "$fake"
if ! mount --bind "$fake" "$loader"; then
    echo "without-32bit: cannot hide $loader (mount --bind failed)" >&2
    exit 125
fi
unset TM_WITHOUT_32BIT_INSIDE
exec "$@"
