#!/usr/bin/env bash
# Wine end-to-end tests of the real DLLs:
#  1. the linked DLLs (x86_64 and i686): the applet exports only CPlApplet and
#     imports TmIvro.dll by ordinal only; both import only system DLLs;
#  2. every build/x64/tests/wine/*_test.exe, run in the private prefix inside
#     the virtual desktop (they load C:\windows\system32\TmRoveVodore.cpl);
#  3. Wine's own control.exe opens the applet; sheet_probe checks the sheet,
#     saves a screenshot of it and presses Cancel; control.exe must then end.
# Prints one line per check and "N passed, M failed" last; exits 1 on failure.
# Usage: scripts/wine-tests.sh   (TM_SKIP_BUILD=1: use the builds as they are)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TM_BUILD_DIR:-$root/build}
out=$build/wine-tests
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

if [ "${TM_SKIP_BUILD:-0}" != 1 ]; then
    "$root/scripts/build.sh" x64 x86 || exit 1
fi
mkdir -p "$out"
rm -f "$out"/*.log "$out"/*.bmp "$out"/*.png

echo "== linked DLLs"
system_dll='^(kernel32|user32|gdi32|comctl32|comdlg32|shlwapi|version|advapi32|shell32|msvcrt|ole32|oleaut32|uxtheme|ntdll|api-ms-win-.*)\.dll$'

check_imports() {  # objdump, file, extra allowed DLL (regex) or ""
    local dlls bad
    dlls=$("$1" -p "$2" | sed -n 's/^\tDLL Name: //p')
    bad=$(echo "$dlls" | tr '[:upper:]' '[:lower:]' | grep -Ev "$system_dll" | grep -Evx "${3:-^$}")
    [ -n "$dlls" ] && [ -z "$bad" ]
    check $? "$(basename "$2") ($4) imports only system DLLs${bad:+ (also: ${bad//$'\n'/ })}"
}

check_applet() {  # objdump, file, arch
    local dump names count ivro
    dump=$("$1" -p "$2")
    names=$(echo "$dump" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\t\[ *[0-9]*\] //p')
    count=$(echo "$dump" | sed -n '/^Export Address Table -- Ordinal Base/,/^$/p' | grep -c '+base\[')
    [ "$names" = CPlApplet ] && [ "$count" = 1 ]
    check $? "TmRoveVodore.cpl ($3) exports exactly CPlApplet (saw: ${names//$'\n'/ }, $count entries)"
    ivro=$(echo "$dump" | sed -n '/DLL Name: TmIvro.dll/,/^$/p' | grep -E '^\s+[0-9a-f]+\s')
    [ -n "$ivro" ] && ! echo "$ivro" | grep -vq '<none>'
    check $? "TmRoveVodore.cpl ($3) imports TmIvro.dll by ordinal only ($(echo "$ivro" | grep -c .) imports)"
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
    check $? "TmIvro.dll ($3) exports ordinals 1-45 without names${missing:+ (missing: ${missing//$'\n'/ })}"
    check_imports "$1" "$2" '' "$3"
}

for arch in x64 x86; do
    case $arch in
        x64) objdump=x86_64-w64-mingw32-objdump ;;
        x86) objdump=i686-w64-mingw32-objdump ;;
    esac
    dir=$build/$arch
    for f in "$dir/TmRoveVodore.cpl" "$dir/simulator/TmIvro.dll"; do
        [ -f "$f" ]
        check $? "$arch build has $(basename "$f")"
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
if ! tm_wine_prepare; then
    check 1 "Wine prefix prepared"
    echo "$passed passed, $failed failed"
    exit 1
fi

# firmware_road_test saves a picture of the transfer dialog at work.
export TM_ROAD_SHOT
TM_ROAD_SHOT=$(tm_winpath "$out/transfer-dialog.bmp")
for exe in "$build"/x64/tests/wine/*_test.exe; do
    [ -f "$exe" ] || continue
    name=$(basename "$exe" .exe)
    echo "== $name"
    tm_wine_desktop 300 "$exe" 2>"$out/$name.err" | tee "$out/$name.log"
    count_log "$out/$name.log" "$name"
done
unset TM_ROAD_SHOT
if [ -f "$build/x64/tests/wine/firmware_road_test.exe" ]; then
    convert "$out/transfer-dialog.bmp" "$out/transfer-dialog.png" 2>/dev/null
    check $? "screenshot of the transfer dialog at work: $out/transfer-dialog.png"
fi

echo "== control.exe"
probe=$build/x64/tests/wine/sheet_probe.exe
cat >"$out/control.profile" <<'EOF'
# A Marlet whose temperatures hold still, for the control.exe test.
[device]
type = 4
[temperature]
cpu = 47
io = 36
drift = 0
EOF
export TMIVRO_PROFILE
TMIVRO_PROFILE=$(tm_winpath "$out/control.profile")
export TMIVRO_LOG
TMIVRO_LOG=$(tm_winpath "$out/control-calls.log")
rm -f "$out/control-calls.log"
tm_wine_desktop 120 control.exe 'C:\windows\system32\TmRoveVodore.cpl' 2>"$out/control.err" &
control_pid=$!
tm_wine_desktop 120 "$probe" --caption "Eigenschaften von Marlet" --timeout 20 \
    --shots "$(tm_winpath "$out")" --expect 1168=47 --expect 1185=36 2>"$out/probe.err" |
    tee "$out/probe.log"
count_log "$out/probe.log" sheet_probe
ended=1
for _ in $(seq 1 200); do
    if ! kill -0 "$control_pid" 2>/dev/null; then
        ended=0
        break
    fi
    sleep 0.1
done
check $ended "control.exe ends after the sheet is cancelled"
if [ $ended -ne 0 ]; then
    kill "$control_pid" 2>/dev/null
fi
wait "$control_pid" 2>/dev/null
grep -q IvroGetTemperature "$out/control-calls.log" 2>/dev/null
check $? "the applet in control.exe read the simulator's temperatures (call log)"
shot=$(find "$out" -maxdepth 1 -name '*-temperaturen.bmp' | head -n 1)
if [ -n "$shot" ] && convert "$shot" "$out/control-sheet.png" 2>/dev/null; then
    check 0 "screenshot of the sheet in control.exe: $out/control-sheet.png"
else
    check 1 "screenshot of the sheet in control.exe"
fi
unset TMIVRO_PROFILE TMIVRO_LOG

tm_wine_cleanup
trap - EXIT
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
