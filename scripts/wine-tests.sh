#!/usr/bin/env bash
# Wine end-to-end tests of the real DLLs, for each architecture: x64 (x86_64)
# and x86 (i686, the panel PCs' own), each against its own build:
#  1. the linked DLLs: the applet exports only CPlApplet and imports
#     TmIvro.dll by ordinal only; both import only system DLLs;
#  2. every build/<arch>/tests/wine/*_test.exe, run in the private prefix
#     inside the virtual desktop (they load C:\windows\system32\TmRoveVodore.cpl,
#     which a 32-bit program finds in syswow64);
#  3. Wine's own control.exe of that architecture opens the applet;
#     sheet_probe checks the sheet, saves a screenshot of it and presses
#     Cancel; control.exe must then end.
# Every check line names the architecture ("ok:   x86 applet_test: ...").
# Last, the screenshot run (scripts/screenshots.sh) on another profile.
# On a machine that cannot run 32-bit programs, steps 2 and 3 and the
# screenshot run of x86 are skipped, each with a line that says why.
# A test program that prints nothing for TM_WINE_SILENCE seconds (default 60)
# is taken for hung and ended.
# Prints "N passed, M failed, K skipped" last; exits 1 on failure.
# Usage: scripts/wine-tests.sh   (TM_SKIP_BUILD=1: use the builds as they are;
#        TM_WINE_ARCHS="x64": only these architectures; TM_WINE_TESTS_OUT: the
#        folder of the logs, default build/wine-tests)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TM_BUILD_DIR:-$root/build}
out=${TM_WINE_TESTS_OUT:-$build/wine-tests}
read -r -a archs <<<"${TM_WINE_ARCHS:-x64 x86}"
silence=${TM_WINE_SILENCE:-60}
# shellcheck source=scripts/checks.sh
. "$root/scripts/checks.sh"

# Adds a test program's closing "N passed, M failed" to the totals.
count_log() {  # log file, program name
    local line
    # Windows programs end their lines with CR LF.
    line=$(tr -d '\r' <"$1" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -n 1)
    if [ -z "$line" ]; then
        check 1 "$2 ended with its summary line"
        return
    fi
    local p f
    read -r p _ f _ <<<"$line"
    passed=$((passed + p))
    failed=$((failed + f))
}

# A test program's check lines and summary, marked with architecture and name.
tag() {  # arch, program
    sed -u -e "s/^\(ok:   \|FAIL: \)/\1$1 $2: /" -e "s/^\([0-9]* passed, [0-9]* failed\)$/$1 $2: \1/"
}

if [ "${TM_SKIP_BUILD:-0}" != 1 ]; then
    "$root/scripts/build.sh" "${archs[@]}" || exit 1
fi
mkdir -p "$out"
rm -rf "${out:?}"/*

echo "== linked DLLs"
system_dll='^(kernel32|user32|gdi32|comctl32|comdlg32|shlwapi|version|advapi32|shell32|msvcrt|ole32|oleaut32|uxtheme|ntdll|api-ms-win-.*)\.dll$'

check_imports() {  # objdump, file, extra allowed DLL (regex) or ""
    local dlls bad
    dlls=$("$1" -p "$2" | sed -n 's/^\tDLL Name: //p')
    bad=$(echo "$dlls" | tr '[:upper:]' '[:lower:]' | grep -Ev "$system_dll" | grep -Evx "${3:-^$}")
    [ -n "$dlls" ] && [ -z "$bad" ]
    check $? "$4: $(basename "$2") imports only system DLLs${bad:+ (also: ${bad//$'\n'/ })}"
}

check_applet() {  # objdump, file, arch
    local dump names count ivro
    dump=$("$1" -p "$2")
    names=$(echo "$dump" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\t\[ *[0-9]*\] //p')
    count=$(echo "$dump" | sed -n '/^Export Address Table -- Ordinal Base/,/^$/p' | grep -c '+base\[')
    [ "$names" = CPlApplet ] && [ "$count" = 1 ]
    check $? "$3: TmRoveVodore.cpl exports exactly CPlApplet (saw: ${names//$'\n'/ }, $count entries)"
    ivro=$(echo "$dump" | sed -n '/DLL Name: TmIvro.dll/,/^$/p' | grep -E '^\s+[0-9a-f]+\s')
    [ -n "$ivro" ] && ! echo "$ivro" | grep -vq '<none>'
    check $? "$3: TmRoveVodore.cpl imports TmIvro.dll by ordinal only ($(echo "$ivro" | grep -c .) imports)"
    check_imports "$1" "$2" 'tmivro\.dll' "$3"
}

check_simulator() {  # objdump, file, arch
    local dump ordinals names missing
    dump=$("$1" -p "$2")
    ordinals=$(echo "$dump" | sed -n '/^Export Address Table -- Ordinal Base/,/^$/p' |
        sed -n 's/.*+base\[ *\([0-9]*\)\].*/\1/p')
    missing=$(comm -23 <(seq 1 45 | sort) <(echo "$ordinals" | sort) | sort -n)
    names=$(echo "$dump" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\t\[ *[0-9]*\] //p')
    [ -z "$missing" ] && ! echo "$names" | grep -qv '^TmSim'
    check $? "$3: TmIvro.dll exports ordinals 1-45 without names${missing:+ (missing: ${missing//$'\n'/ })}"
    check_imports "$1" "$2" '' "$3"
}

for arch in "${archs[@]}"; do
    case $arch in
        x64) objdump=x86_64-w64-mingw32-objdump ;;
        x86) objdump=i686-w64-mingw32-objdump ;;
    esac
    dir=$build/$arch
    for f in "$dir/TmRoveVodore.cpl" "$dir/simulator/TmIvro.dll"; do
        [ -f "$f" ]
        check $? "$arch: the build has $(basename "$f")"
    done
    [ -f "$dir/TmRoveVodore.cpl" ] && check_applet "$objdump" "$dir/TmRoveVodore.cpl" "$arch"
    [ -f "$dir/simulator/TmIvro.dll" ] && check_simulator "$objdump" "$dir/simulator/TmIvro.dll" "$arch"
done

# A private display unless told otherwise: no window manager to steal focus.
export TM_XVFB=${TM_XVFB:-1}
# shellcheck source=scripts/wine-env.sh
. "$root/scripts/wine-env.sh"
# The tests choose the device themselves.
unset TMIVRO_PROFILE TMIVRO_LOG TMIVRO_SIMLOG

# The architectures whose programs this machine can run; the others' steps
# are named as skipped.
run_archs=()
for arch in "${archs[@]}"; do
    if [ "$arch" = x86 ] && ! tm_runs_32bit; then
        for exe in "$build/$arch"/tests/wine/*_test.exe; do
            [ -f "$exe" ] && skip "$arch $(basename "$exe" .exe): not run; $TM_NO32_REASON"
        done
        skip "$arch control.exe: not run; $TM_NO32_REASON"
        skip "$arch screenshot run: not run; $TM_NO32_REASON"
        continue
    fi
    run_archs+=("$arch")
done
if [ ${#run_archs[@]} -eq 0 ]; then
    summary
    exit
fi
if ! tm_wine_prepare "${run_archs[@]}"; then
    check 1 "Wine prefix prepared for ${run_archs[*]}"
    summary
    exit 1
fi

# Wine's control.exe of the architecture opens the applet; sheet_probe
# checks the sheet and cancels it.
run_control() {  # arch, output folder
    local arch=$1 dir=$2 probe=$build/$1/tests/wine/sheet_probe.exe
    echo "== $arch: control.exe"
    cat >"$dir/control.profile" <<'PROFILE'
# A Marlet whose temperatures hold still, for the control.exe test.
[device]
type = 4
[temperature]
cpu = 47
io = 36
drift = 0
PROFILE
    export TMIVRO_PROFILE TMIVRO_LOG
    TMIVRO_PROFILE=$(tm_winpath "$dir/control.profile")
    TMIVRO_LOG=$(tm_winpath "$dir/control-calls.log")
    rm -f "$dir/control-calls.log"
    tm_wine_desktop 120 "$(tm_control_exe "$arch")" 'C:\windows\system32\TmRoveVodore.cpl' \
        2>"$dir/control.err" &
    local control_pid=$!
    tm_wine_desktop 120 "$probe" --caption "Eigenschaften von Marlet" --timeout 20 \
        --shots "$(tm_winpath "$dir")" --expect 1168=47 --expect 1185=36 2>"$dir/probe.err" |
        tr -d '\r' | tee "$dir/probe.log" | tag "$arch" sheet_probe
    count_log "$dir/probe.log" "$arch: sheet_probe"
    wait_ended "$control_pid" 20
    check $? "$arch: control.exe ends after the sheet is cancelled"
    grep -q IvroGetTemperature "$dir/control-calls.log" 2>/dev/null
    check $? "$arch: the applet in control.exe read the simulator's temperatures (call log)"
    local shot
    shot=$(find "$dir" -maxdepth 1 -name '*-temperaturen.bmp' | head -n 1)
    if [ -n "$shot" ] && convert "$shot" "$dir/control-sheet.png" 2>/dev/null; then
        check 0 "$arch: screenshot of the sheet in control.exe: $dir/control-sheet.png"
    else
        check 1 "$arch: screenshot of the sheet in control.exe"
    fi
    unset TMIVRO_PROFILE TMIVRO_LOG
}

# Runs a test program in the desktop. One that says nothing for $silence
# seconds is hung: it is ended then, not at its time limit.
run_program() {  # arch, exe, output folder
    local arch=$1 name dir=$3 rc
    name=$(basename "$2" .exe)
    run_watched "$silence" "$dir/$name.log" tm_wine_desktop 300 "$2" 2>"$dir/$name.err" \
        > >(tag "$arch" "$name")
    rc=$?
    wait $! # the tagged lines are all out
    if [ "$rc" -eq 124 ]; then
        timeout 20 "$TM_WINESERVER" -k
        check 1 "$arch $name: printed nothing for $silence s; ended as hung ($dir/$name.err)"
    fi
    count_log "$dir/$name.log" "$arch: $name"
}

declare -A took
for arch in "${run_archs[@]}"; do
    started=$SECONDS
    dir=$out/$arch
    mkdir -p "$dir"
    # firmware_road_test saves a picture of the transfer dialog at work.
    export TM_ROAD_SHOT
    TM_ROAD_SHOT=$(tm_winpath "$dir/transfer-dialog.bmp")
    for exe in "$build/$arch"/tests/wine/*_test.exe; do
        [ -f "$exe" ] || continue
        echo "== $arch: $(basename "$exe" .exe)"
        run_program "$arch" "$exe" "$dir"
    done
    unset TM_ROAD_SHOT
    if [ -f "$build/$arch/tests/wine/firmware_road_test.exe" ]; then
        convert "$dir/transfer-dialog.bmp" "$dir/transfer-dialog.png" 2>/dev/null
        check $? "$arch: screenshot of the transfer dialog at work: $dir/transfer-dialog.png"
    fi
    run_control "$arch" "$dir"
    took[$arch]=$((SECONDS - started))
done

tm_wine_cleanup
trap - EXIT

# The screenshot run (run.sh without a display) given a user's profile and
# call log: its pictures show that device, and its calls go to its own log.
for arch in "${run_archs[@]}"; do
    started=$SECONDS
    echo "== $arch: screenshot run"
    dir=$out/$arch/screenshots
    user_log=$out/$arch/user-calls.log
    echo "the user's own log" >"$user_log"
    TM_ARCH=$arch TMIVRO_PROFILE=$root/tests/data/ferrow.profile TMIVRO_LOG=$user_log \
        "$root/scripts/screenshots.sh" "$dir" >"$out/$arch/screenshots.log" 2>&1
    check $? "$arch: the screenshot run ends well ($out/$arch/screenshots.log)"
    [ "$(cat "$user_log")" = "the user's own log" ]
    check $? "$arch: the screenshot run leaves the user's TMIVRO_LOG alone"
    grep -q '^IvroGetTemperature' "$dir/calls.log" 2>/dev/null &&
        grep -q '^IvroDownloadFile' "$dir/calls.log"
    check $? "$arch: the screenshot run logs the sheet's and the transfer's calls in $dir/calls.log"
    grep -q 'transfer dialog: device type 5: FPGA' "$out/$arch/screenshots.log" &&
        [ -f "$dir/transfer-dialog.png" ]
    check $? "$arch: the screenshot run shows the transfer dialog on the profile's Ferrow"
    took[$arch]=$((took[$arch] + SECONDS - started))
done

for arch in "${run_archs[@]}"; do
    echo "wine-tests: $arch took ${took[$arch]} s"
done
echo "wine-tests: the longest silence of a test program was $longest_silence s (limit $silence s)"
summary
