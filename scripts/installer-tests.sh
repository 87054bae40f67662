#!/usr/bin/env bash
# The scenarios below are functions that scenario() calls by name.
# shellcheck disable=SC2317
# Tests the release installers (scripts/release.sh) under Wine, in a fresh
# 64-bit prefix of their own (build/installer-wineprefix, made anew on every
# run) on a private Xvfb display:
#  - the x64 setup, silent (/S): the applet in system32, the uninstall entry
#    in the 64-bit registry view, no simulator unless /SIMULATOR is given;
#    the entry's QuietUninstallString lasts until everything is removed;
#    Wine's control.exe opens the installed applet (sheet_probe from the x64
#    test build visits every page and cancels);
#  - /SIMULATOR refused (exit code 183) beside the driver package's key or a
#    TmIvro.dll in either system folder; a TmIvro.dll that was there, or that
#    replaced the simulator later, stays on uninstall;
#  - installed twice: one entry, the own older simulator replaced; an applet
#    copied by hand is put back on uninstall; an applet that cannot be
#    written ends with 1603 and no entry;
#  - with control.exe holding the applet, setup and uninstaller end with 3010
#    and schedule only renamed files for the next boot, so that a
#    reinstallation before the restart survives it;
#  - the x86 setup refuses the 64-bit prefix without /FORCE32 (1633); with it,
#    the applet goes to syswow64, its entry into the 32-bit view, and the
#    32-bit control.exe opens it;
#  - the x86 setup in a 32-bit prefix of its own (build/installer-wineprefix32),
#    as on the panel PCs;
#  - each silent uninstall leaves neither files nor the registry key behind;
#  - the report tool TmRoveReport.exe beside the uninstaller, where it runs;
#  - the zips hold the applet, the report tool, the simulator (in Simulator\),
#    the Group Policy templates (in PolicyDefinitions\) and LIESMICH.txt;
#  - the release applets export CPlApplet only and import system DLLs only.
# The setups are 32-bit programs: on a machine that cannot run those, every
# scenario that runs one is skipped with a line that says why.
# Prints "N passed, M failed, K skipped" last; exits 1 on failure.
# Usage: scripts/installer-tests.sh   (TM_SKIP_BUILD=1: use build/dist and
#        build/release as they are; otherwise scripts/release.sh runs first)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TM_BUILD_DIR:-$root/build}
out=$build/installer-tests
# shellcheck source=scripts/checks.sh
. "$root/scripts/checks.sh"

finish() {
    summary
    exit
}

if [ "${TM_SKIP_BUILD:-0}" != 1 ]; then
    "$root/scripts/release.sh" || exit 1
fi
version=$(sed -n 's/.*VALUE "FileVersion", "\([^"]*\)".*/\1/p' "$root/res/TmRoveVodore.rc" | head -n 1)
probe=$build/x64/tests/wine/sheet_probe.exe
for f in "$build/dist/TmRoveVodore-$version-x64-setup.exe" \
    "$build/dist/TmRoveVodore-$version-x86-setup.exe" "$probe"; do
    [ -f "$f" ]
    check $? "there is $f (scripts/release.sh; sheet_probe: scripts/build.sh x64)"
done
[ "$failed" -eq 0 ] || finish

# The release builds link as the test builds do: the one export, and no
# DLLs of the compiler's runtime beside the system's.
system_dll='^(kernel32|user32|gdi32|comctl32|comdlg32|shlwapi|version|advapi32|shell32|msvcrt|ole32|oleaut32|uxtheme|ntdll|tmivro)\.dll$'
for arch in x64 x86; do
    objdump=x86_64-w64-mingw32-objdump
    [ "$arch" = x64 ] || objdump=i686-w64-mingw32-objdump
    dump=$("$objdump" -p "$build/release/$arch/TmRoveVodore.cpl")
    names=$(echo "$dump" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\t\[ *[0-9]*\] //p')
    [ "$names" = CPlApplet ]
    check $? "$arch: the release TmRoveVodore.cpl exports CPlApplet only"
    bad=$(echo "$dump" | sed -n 's/^\tDLL Name: //p' | tr '[:upper:]' '[:lower:]' | grep -Ev "$system_dll")
    [ -z "$bad" ]
    check $? "$arch: the release TmRoveVodore.cpl imports only system DLLs and TmIvro.dll${bad:+ (also: ${bad//$'\n'/ })}"
    bad=$("$objdump" -p "$build/release/$arch/TmRoveReport.exe" | sed -n 's/^\tDLL Name: //p' |
        tr '[:upper:]' '[:lower:]' | grep -Ev "$system_dll")
    [ -z "$bad" ]
    check $? "$arch: the release TmRoveReport.exe imports only system DLLs and TmIvro.dll${bad:+ (also: ${bad//$'\n'/ })}"
done

# The zips for installing by hand hold the same files as the setups.
for arch in x64 x86; do
    name=TmRoveVodore-$version-$arch
    listing=$(zip -sf "$build/dist/$name.zip" 2>/dev/null | sed 's/^ *//')
    for f in TmRoveVodore.cpl TmRoveReport.exe Simulator/TmIvro.dll LIESMICH.txt \
        PolicyDefinitions/TmRoveVodore.admx PolicyDefinitions/de-DE/TmRoveVodore.adml \
        PolicyDefinitions/en-US/TmRoveVodore.adml; do
        grep -qxF "$name/$f" <<<"$listing"
        check $? "$arch: $name.zip holds $name/$f"
    done
done
[ "$failed" -eq 0 ] || finish
mkdir -p "$out"
rm -rf "${out:?}"/*

# A prefix of our own, never the shared test prefix: the installers must
# meet a Windows that has seen nothing of the applet.
export TM_WINEPREFIX=$build/installer-wineprefix
export TM_XVFB=1
# shellcheck source=scripts/wine-env.sh
. "$root/scripts/wine-env.sh"
started=$SECONDS

# Each scenario begins with what Windows has after the one before.
scenario() {  # title, function
    if [ -n "$TM_NO32_REASON" ]; then
        skip "$1: not run; the setups are 32-bit programs, and $TM_NO32_REASON"
    else
        echo "== $1"
        "$2"
    fi
}

if tm_runs_32bit; then
    trap tm_wine_cleanup EXIT
    rm -rf "$WINEPREFIX"
    tm_wine 300 wineboot -i >/dev/null 2>&1 && timeout 120 "$TM_WINESERVER" -w
    check $? "a fresh Wine prefix $WINEPREFIX"
    [ "$failed" -eq 0 ] || finish
    tm_start_xvfb || {
        check 1 "Xvfb started"
        finish
    }
fi

key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TmRoveVodore'
# What runs Windows programs: the 64-bit prefix's Wine, or wine_win32 for
# the 32-bit prefix of the panel PCs' Windows.
wine=tm_wine
pfx32=$build/installer-wineprefix32
wine_win32() {  # seconds, arguments...
    local limit=$1
    shift
    timeout -k 5 "$limit" env WINEPREFIX="$pfx32" WINEARCH=win32 WINELOADER="$TM_WINE32" \
        "LANG=$TM_WINE_LOCALE" "LC_ALL=$TM_WINE_LOCALE" "$TM_WINE32" "$@" </dev/null
}
sys64=$(tm_system_dir x64)
sys32=$(tm_system_dir x86)

# The data of a value of the uninstall key in one registry view (64 or 32);
# fails when there is no such value.
reg_value() {  # view, value name
    local line
    line=$("$wine" 60 reg query "$key" /v "$2" "/reg:$1" 2>/dev/null | tr -d '\r' |
        grep -a -E "^ +$2 +REG_") || return 1
    echo "$line" | sed -E "s/^ +$2 +REG_[A-Z_]+ +//"
}

has_key() {  # view
    "$wine" 60 reg query "$key" "/reg:$1" >/dev/null 2>&1
}

# Runs a Windows command line from a batch file, as software distribution
# does, and sets code to its exit code: a Unix exit status would keep only
# its low byte (3010 would read 194). True when the code is 0.
run_cmdline() {  # Windows command line
    printf '@%s\r\n@echo exit=%%ERRORLEVEL%%\r\n' "$1" >"$out/run.bat"
    code=$("$wine" 180 cmd /c "$(tm_winpath "$out/run.bat")" 2>/dev/null | tr -d '\r' |
        sed -n 's/^exit=//p')
    code=${code:-none}
    [ "$code" = 0 ]
}

run_setup() {  # arch, arguments...
    local arch=$1
    shift
    run_cmdline "\"$(tm_winpath "$build/dist/TmRoveVodore-$version-$arch-setup.exe")\" $*"
}

# The entry's QuietUninstallString, run the way a caller waits for it.
run_quiet_uninstall() {  # registry view
    local cmdline
    cmdline=$(reg_value "$1" QuietUninstallString) || {
        code=none
        return 1
    }
    run_cmdline "$cmdline"
}

# What Windows deletes or renames at the next boot.
pending_renames() {
    tm_wine 60 reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
        /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' | grep -a PendingFileRenameOperations
}

# The uninstaller copies itself to the temporary folder and starts the copy;
# the prefix's server ends once that has finished.
run_uninstall() {  # Unix path of Uninstall.exe
    tm_wine 180 "$1" /S >/dev/null 2>&1
    timeout 120 "$TM_WINESERVER" -w
}

# The uninstall entry: the values a Windows user and the Programs list see.
check_entry() {  # arch, view, install folder (Windows path)
    local name
    # reg.exe writes the console's code page; the umlaut is not compared.
    local bits=64
    [ "$1" = x64 ] || bits=32
    name=$(reg_value "$2" DisplayName)
    [[ $name == "Control Center f"*"r Tolmek Panel-PCs ($bits-Bit)" ]]
    check $? "$1: the uninstall entry in the $2-bit registry view names the applet"
    [ "$(reg_value "$2" DisplayVersion)" = "$version" ]
    check $? "$1: the uninstall entry has version $version"
    [ "$(reg_value "$2" UninstallString)" = "\"$3\\Uninstall.exe\"" ]
    check $? "$1: the uninstall entry runs $3\\Uninstall.exe"
    local other=32
    [ "$2" = 64 ] || other=64
    ! has_key "$other"
    check $? "$1: no uninstall entry in the $other-bit registry view"
}

# Wine's control.exe of the architecture opens the installed applet; the
# probe visits every page, saves a picture of each and presses Cancel.
open_control() {  # arch, Windows path of the applet, output folder
    local arch=$1 dir=$3
    mkdir -p "$dir"
    tm_wine_desktop 120 "$(tm_control_exe "$arch")" "$2" 2>"$dir/control.err" &
    local control_pid=$!
    tm_wine_desktop 120 "$probe" --caption "Eigenschaften von Marlet" --timeout 30 \
        --shots "$(tm_winpath "$dir")" 2>"$dir/probe.err" | tr -d '\r' >"$dir/probe.log"
    local summary
    summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$dir/probe.log" | tail -n 1)
    [[ $summary == *" passed, 0 failed" ]] && [[ $summary != "0 passed"* ]]
    check $? "$arch: control.exe shows the installed applet's sheet (sheet_probe: ${summary:-no summary}; $dir/probe.log)"
    wait_ended "$control_pid" 20
    check $? "$arch: control.exe ends after the sheet is cancelled"
    timeout 60 "$TM_WINESERVER" -w
}

pf64='C:\Program Files\TmRoveVodore'
pf64_unix="$WINEPREFIX/drive_c/Program Files/TmRoveVodore"
pf32='C:\Program Files (x86)\TmRoveVodore'
pf32_unix="$WINEPREFIX/drive_c/Program Files (x86)/TmRoveVodore"
rel64=$build/release/x64
rel32=$build/release/x86

setup_x64_default() {
    run_setup x64 /S
    check $? "x64: the silent setup ends with exit code 0"
    cmp -s "$sys64/TmRoveVodore.cpl" "$rel64/TmRoveVodore.cpl"
    check $? "x64: TmRoveVodore.cpl is in system32"
    for chm in "$rel64"/*.chm; do
        [ -f "$chm" ] || continue
        cmp -s "$sys64/TmRoveVodore.chm" "$chm"
        check $? "x64: the help file TmRoveVodore.chm is in system32"
    done
    [ ! -e "$sys64/TmIvro.dll" ] && [ ! -e "$sys32/TmIvro.dll" ]
    check $? "x64: the simulator is not installed unless chosen"
    [ ! -e "$sys32/TmRoveVodore.cpl" ]
    check $? "x64: nothing in syswow64"
    [ -f "$pf64_unix/Uninstall.exe" ]
    check $? "x64: the uninstaller is $pf64\\Uninstall.exe"
    cmp -s "$pf64_unix/TmRoveReport.exe" "$rel64/TmRoveReport.exe" && [ ! -e "$sys64/TmRoveReport.exe" ]
    check $? "x64: the report tool is beside it, not in system32"
    for f in TmRoveVodore.admx de-DE/TmRoveVodore.adml en-US/TmRoveVodore.adml; do
        cmp -s "$pf64_unix/PolicyDefinitions/$f" "$root/policy/$f"
        check $? "x64: the Group Policy template $pf64\\PolicyDefinitions\\${f//\//\\}"
    done
    check_entry x64 64 "$pf64"
    ! reg_value 64 SimulatorInstalled >/dev/null
    check $? "x64: the entry records no simulator"
    # No wait for the prefix's server: the call itself must last until the
    # uninstaller is done.
    run_quiet_uninstall 64
    check $? "x64: the QuietUninstallString ends with exit code 0 ($code)"
    [ ! -e "$sys64/TmRoveVodore.cpl" ] && [ ! -e "$sys64/TmRoveVodore.chm" ] && ! has_key 64
    check $? "x64: when the QuietUninstallString returns, the applet, the help file and the entry are gone"
    # Windows lets the running uninstaller move itself away; Wine does not.
    left=$(find "$pf64_unix" -mindepth 1 ! -name Uninstall.exe 2>/dev/null)
    [ -z "$left" ]
    check $? "x64: the install folder holds nothing but the running uninstaller${left:+ ($left)}"
    rm -rf "$pf64_unix"
}

# A second run of the setup: one entry, the simulator record kept, and the
# setup's own older simulator replaced by the new one.
setup_x64_twice() {
    run_setup x64 /S /SIMULATOR
    check $? "x64 twice: the first installation ends with exit code 0 ($code)"
    # An older simulator of this setup: other content, the time it recorded.
    cp -p "$sys64/TmIvro.dll" "$out/installed-TmIvro.dll"
    { cat "$rel64/TmIvro.dll"; echo "older simulator"; } >"$sys64/TmIvro.dll"
    touch -r "$out/installed-TmIvro.dll" "$sys64/TmIvro.dll"
    run_setup x64 /S
    check $? "x64 twice: the second installation ends with exit code 0 ($code)"
    cmp -s "$sys64/TmIvro.dll" "$rel64/TmIvro.dll" && cmp -s "$sys64/TmRoveVodore.cpl" "$rel64/TmRoveVodore.cpl"
    check $? "x64 twice: the applet is in place and the setup's older simulator is replaced"
    [ "$(reg_value 64 SimulatorInstalled)" = 0x1 ] && ! has_key 32
    check $? "x64 twice: one entry, which still records the simulator"
    run_uninstall "$pf64_unix/Uninstall.exe"
    [ ! -e "$sys64/TmIvro.dll" ] && [ ! -e "$sys64/TmRoveVodore.cpl" ] && ! has_key 64
    check $? "x64 twice: the uninstaller removes the applet, the simulator and the entry"
}

# An applet copied by hand from the zip: kept aside, and back after the
# uninstallation.
setup_x64_by_hand() {
    { cat "$rel64/TmRoveVodore.cpl"; echo "copied by hand"; } >"$out/hand.cpl"
    cp "$out/hand.cpl" "$sys64/TmRoveVodore.cpl"
    run_setup x64 /S
    check $? "x64 over a copy by hand: the setup ends with exit code 0 ($code)"
    cmp -s "$sys64/TmRoveVodore.cpl" "$rel64/TmRoveVodore.cpl"
    check $? "x64 over a copy by hand: the setup's applet is in place"
    run_uninstall "$pf64_unix/Uninstall.exe"
    cmp -s "$sys64/TmRoveVodore.cpl" "$out/hand.cpl" && [ ! -e "$pf64_unix" ] && ! has_key 64
    check $? "x64 over a copy by hand: the uninstaller puts the copy back and removes its folder and entry"
    rm -f "$sys64/TmRoveVodore.cpl"
}

# A file that cannot be written (here a folder of the applet's name): a
# failure, and no entry for files that are not there.
setup_x64_failed_write() {
    mkdir "$sys64/TmRoveVodore.cpl"
    run_setup x64 /S
    [ "$code" = 1603 ] && ! has_key 64 && [ ! -e "$pf64_unix" ]
    check $? "x64, the applet cannot be written: exit code 1603 ($code), no entry, no install folder"
    rmdir "$sys64/TmRoveVodore.cpl"
    # And one the uninstaller cannot remove: the entry stays for what is left.
    run_setup x64 /S
    rm "$sys64/TmRoveVodore.cpl"
    mkdir "$sys64/TmRoveVodore.cpl"
    run_quiet_uninstall 64
    [ "$code" = 1603 ] && [ -d "$sys64/TmRoveVodore.cpl" ] && has_key 64
    check $? "x64, the applet cannot be removed: the uninstaller ends with exit code 1603 ($code) and keeps the entry"
    rmdir "$sys64/TmRoveVodore.cpl"
    run_uninstall "$pf64_unix/Uninstall.exe"
    ! has_key 64 && [ ! -e "$sys64/TmRoveVodore.chm" ]
    check $? "x64: once it can, the uninstaller removes the rest and the entry"
}

# Wait until a Wine process has the file mapped (a loaded DLL).
wait_loaded() {  # name of the file in system32, seconds
    local i
    for ((i = 0; i < $2; i++)); do
        grep -qs "system32/$1" /proc/[0-9]*/maps && return 0
        sleep 1
    done
    return 1
}

# Ends every program of the prefix and boots it again: Wine carries out the
# renames and deletions scheduled for the next boot.
restart_wine() {  # pid of a program started here
    timeout 30 "$TM_WINESERVER" -k
    wait_ended "$1" 20
    tm_wine 120 wineboot -r >/dev/null 2>&1
    timeout 60 "$TM_WINESERVER" -w
}

# The applet open in control.exe while setups run: its file is renamed aside
# and that name, never TmRoveVodore.cpl's, deleted at the next boot; a
# reinstallation before that boot keeps its files after it.
setup_x64_in_use() {
    run_setup x64 /S /SIMULATOR
    check $? "x64 in use: the first installation ends with exit code 0 ($code)"
    echo "older build" >>"$sys64/TmRoveVodore.cpl"
    cp "$sys64/TmRoveVodore.cpl" "$out/older.cpl"
    tm_wine_desktop 300 "$(tm_control_exe x64)" 'C:\windows\system32\TmRoveVodore.cpl' 2>/dev/null &
    local control_pid=$! f aside=""
    wait_loaded TmRoveVodore.cpl 60
    check $? "x64 in use: control.exe has loaded the applet"
    run_setup x64 /S
    [ "$code" = 3010 ]
    check $? "x64 in use: the setup ends with exit code 3010, restart needed ($code)"
    for f in "$sys64"/*.tmp; do
        cmp -s "$f" "$out/older.cpl" && aside=${f##*/}
    done
    cmp -s "$sys64/TmRoveVodore.cpl" "$rel64/TmRoveVodore.cpl" && [ -n "$aside" ] &&
        [ "$(reg_value 64 DisplayVersion)" = "$version" ]
    check $? "x64 in use: the new applet is in place, the old one renamed aside (${aside:-none}), the entry written"
    pending=$(pending_renames)
    [[ ${pending,,} == *"system32\\${aside,,}"* ]] && ! grep -qiE 'TmRoveVodore\.cpl|TmIvro\.dll' <<<"$pending"
    check $? "x64 in use: only the renamed files are deleted at the next boot (${pending##* })"
    restart_wine "$control_pid"
    left=$(find "$sys64" -maxdepth 1 -iname 'ns*.tmp')
    cmp -s "$sys64/TmRoveVodore.cpl" "$rel64/TmRoveVodore.cpl" && cmp -s "$sys64/TmIvro.dll" "$rel64/TmIvro.dll" &&
        [ -z "$left" ]
    check $? "x64 in use: after the restart the new applet and simulator are there, the renamed files gone${left:+ ($left)}"

    tm_wine_desktop 300 "$(tm_control_exe x64)" 'C:\windows\system32\TmRoveVodore.cpl' 2>/dev/null &
    control_pid=$!
    wait_loaded TmRoveVodore.cpl 60
    check $? "x64 in use: control.exe has loaded the applet again"
    run_quiet_uninstall 64
    [ "$code" = 3010 ] && [ ! -e "$sys64/TmRoveVodore.cpl" ] && [ ! -e "$sys64/TmIvro.dll" ] && ! has_key 64
    check $? "x64 in use: the uninstaller ends with exit code 3010 ($code) and the applet, the simulator and the entry are gone"
    pending=$(pending_renames)
    [ -n "$pending" ] && ! grep -qiE 'TmRoveVodore\.cpl|TmIvro\.dll' <<<"$pending"
    check $? "x64 in use: the uninstaller schedules renamed files only, no path of the applet or the simulator"
    # Reinstalled before the restart, as after a quick uninstall and install.
    rm -rf "$pf64_unix"
    run_setup x64 /S /SIMULATOR
    check $? "x64 in use: a reinstallation before the restart ends with exit code 0 ($code)"
    restart_wine "$control_pid"
    left=$(find "$sys64" -maxdepth 1 -iname 'ns*.tmp')
    cmp -s "$sys64/TmRoveVodore.cpl" "$rel64/TmRoveVodore.cpl" && cmp -s "$sys64/TmIvro.dll" "$rel64/TmIvro.dll" &&
        [ -z "$left" ]
    check $? "x64 in use: after the restart the reinstalled applet and simulator are there, the renamed files gone${left:+ ($left)}"
    run_uninstall "$pf64_unix/Uninstall.exe"
    [ ! -e "$sys64/TmRoveVodore.cpl" ] && ! has_key 64
    check $? "x64 in use: the last uninstallation removes the applet and the entry"
}

setup_x64_simulator() {
    run_setup x64 /S /SIMULATOR
    check $? "x64 /SIMULATOR: the silent setup ends with exit code 0"
    cmp -s "$sys64/TmIvro.dll" "$rel64/TmIvro.dll"
    check $? "x64 /SIMULATOR: the simulator TmIvro.dll is in system32"
    [ "$(reg_value 64 SimulatorInstalled)" = 0x1 ]
    check $? "x64 /SIMULATOR: the entry records the simulator as installed by the setup"
    open_control x64 'C:\windows\system32\TmRoveVodore.cpl' "$out/x64"
    # The installed report tool finds the library in the system folder.
    run_cmdline "\"$pf64\\TmRoveReport.exe\" /sections:switches /out:$(tm_winpath "$out/report.txt")"
    check $? "x64 /SIMULATOR: the installed report tool ends with exit code 0 ($code)"
    iconv -f UTF-16LE -t UTF-8 "$out/report.txt" 2>/dev/null | grep -q '^Device type: Marlet K2'
    check $? "x64 /SIMULATOR: its report names the simulated Marlet"
    run_uninstall "$pf64_unix/Uninstall.exe"
    [ ! -e "$sys64/TmRoveVodore.cpl" ] && [ ! -e "$sys64/TmIvro.dll" ] && [ ! -e "$pf64_unix" ]
    check $? "x64 /SIMULATOR: the uninstaller removes the applet and the simulator it installed"
    ! has_key 64
    check $? "x64 /SIMULATOR: the uninstaller removes the uninstall entry"
}

setup_x64_simulator_replaced() {
    run_setup x64 /S /SIMULATOR
    check $? "x64 /SIMULATOR, replaced: the silent setup ends with exit code 0"
    cp "$rel64/TmIvro.dll" "$out/driver-TmIvro.dll"
    echo "driver package" >>"$out/driver-TmIvro.dll"
    touch -d '2001-02-03 04:05:06' "$out/driver-TmIvro.dll"
    cp -p "$out/driver-TmIvro.dll" "$sys64/TmIvro.dll"
    run_uninstall "$pf64_unix/Uninstall.exe"
    cmp -s "$sys64/TmIvro.dll" "$out/driver-TmIvro.dll" && [ ! -e "$sys64/TmRoveVodore.cpl" ] &&
        ! has_key 64
    check $? "x64 /SIMULATOR, replaced: the uninstaller leaves the TmIvro.dll that replaced the simulator"
    rm -f "$sys64/TmIvro.dll"
}

# The simulator beside the device's library, wherever it is: refused, and
# nothing installed. Without /SIMULATOR the applet installs beside it.
setup_x64_beside_driver() {
    local where
    for where in "driver key" system32 syswow64; do
        case $where in
            "driver key") tm_wine 60 reg add 'HKLM\SOFTWARE\Tolmek_Zerozureri\IVRO\Driver' /v Version \
                /t REG_SZ /d 1.0 /f /reg:64 >/dev/null 2>&1 ;;
            system32) { cat "$rel64/TmIvro.dll"; echo "driver package"; } >"$sys64/TmIvro.dll" ;;
            syswow64) { cat "$rel32/TmIvro.dll"; echo "driver package"; } >"$sys32/TmIvro.dll" ;;
        esac
        run_setup x64 /S /SIMULATOR
        [ "$code" = 183 ] && [ ! -e "$sys64/TmRoveVodore.cpl" ] && ! has_key 64
        check $? "x64 /SIMULATOR beside the driver package ($where): refused with exit code 183 ($code), nothing installed"
        if [ "$where" = system32 ]; then
            cp "$sys64/TmIvro.dll" "$out/driver-TmIvro.dll"
            run_setup x64 /S
            check $? "x64 beside a TmIvro.dll: the setup without /SIMULATOR ends with exit code 0 ($code)"
            run_uninstall "$pf64_unix/Uninstall.exe"
            cmp -s "$sys64/TmIvro.dll" "$out/driver-TmIvro.dll" && [ ! -e "$sys64/TmRoveVodore.cpl" ] && ! has_key 64
            check $? "x64 beside a TmIvro.dll: installed and uninstalled, that TmIvro.dll stays as it was"
        fi
        tm_wine 60 reg delete 'HKLM\SOFTWARE\Tolmek_Zerozureri' /f /reg:64 >/dev/null 2>&1
        rm -f "$sys64/TmIvro.dll" "$sys32/TmIvro.dll"
    done
}

setup_x86_on_x64() {
    run_setup x86 /S
    [ "$code" = 1633 ] && [ ! -e "$sys32/TmRoveVodore.cpl" ] && [ ! -e "$sys64/TmRoveVodore.cpl" ] &&
        ! has_key 32 && ! has_key 64
    check $? "x86 without /FORCE32: the setup refuses 64-bit Windows with exit code 1633 ($code), nothing installed"
    run_setup x86 /S /FORCE32 /SIMULATOR
    check $? "x86 /FORCE32: the silent setup ends with exit code 0 ($code)"
    cmp -s "$sys32/TmRoveVodore.cpl" "$rel32/TmRoveVodore.cpl" &&
        cmp -s "$sys32/TmIvro.dll" "$rel32/TmIvro.dll"
    check $? "x86 /FORCE32: TmRoveVodore.cpl and the simulator are in syswow64"
    cmp -s "$pf32_unix/TmRoveReport.exe" "$rel32/TmRoveReport.exe"
    check $? "x86 /FORCE32: the report tool is in $pf32"
    for chm in "$rel32"/*.chm; do
        [ -f "$chm" ] || continue
        cmp -s "$sys32/TmRoveVodore.chm" "$chm"
        check $? "x86 /FORCE32: the help file TmRoveVodore.chm is in syswow64"
    done
    [ ! -e "$sys64/TmRoveVodore.cpl" ] && [ ! -e "$sys64/TmIvro.dll" ]
    check $? "x86 /FORCE32: nothing in system32"
    check_entry x86 32 "$pf32"
    icon=$(reg_value 32 DisplayIcon)
    [ "${icon,,}" = 'c:\windows\syswow64\tmrovevodore.cpl,0' ]
    check $? "x86 /FORCE32: the entry's icon is the applet in SysWOW64 ($icon)"
    open_control x86 'C:\windows\system32\TmRoveVodore.cpl' "$out/x86"
    run_uninstall "$pf32_unix/Uninstall.exe"
    [ ! -e "$sys32/TmRoveVodore.cpl" ] && [ ! -e "$sys32/TmRoveVodore.chm" ] &&
        [ ! -e "$sys32/TmIvro.dll" ] && [ ! -e "$pf32_unix" ]
    check $? "x86 /FORCE32: the uninstaller removes the applet, the help file, the simulator and its own folder"
    ! has_key 32
    check $? "x86 /FORCE32: the uninstaller removes the uninstall entry"
}

# The x86 setup on 32-bit Windows, as on the panel PCs: the applet in
# System32, no simulator beside the driver package's key in the (only)
# registry view, and a quiet uninstall that can be waited for.
setup_x86_on_x86() {
    local sys=$pfx32/drive_c/windows/system32
    rm -rf "$pfx32"
    wine_win32 300 wineboot -i >/dev/null 2>&1 && WINEPREFIX=$pfx32 timeout 120 "$TM_WINESERVER" -w
    check $? "a fresh 32-bit Wine prefix $pfx32"
    wine=wine_win32
    wine_win32 60 reg add 'HKLM\SOFTWARE\Tolmek_Zerozureri\IVRO\Driver' /v Version /t REG_SZ /d 1.0 /f \
        >/dev/null 2>&1
    run_setup x86 /S /SIMULATOR
    [ "$code" = 183 ] && [ ! -e "$sys/TmRoveVodore.cpl" ] && ! has_key 32
    check $? "x86 on 32-bit Windows, /SIMULATOR beside the driver key: refused with exit code 183 ($code)"
    wine_win32 60 reg delete 'HKLM\SOFTWARE\Tolmek_Zerozureri' /f >/dev/null 2>&1
    run_setup x86 /S /SIMULATOR
    check $? "x86 on 32-bit Windows: the silent setup ends with exit code 0 ($code)"
    cmp -s "$sys/TmRoveVodore.cpl" "$rel32/TmRoveVodore.cpl" && cmp -s "$sys/TmIvro.dll" "$rel32/TmIvro.dll" &&
        [ "$(reg_value 32 DisplayVersion)" = "$version" ]
    check $? "x86 on 32-bit Windows: the applet and the simulator in System32, the entry written"
    run_quiet_uninstall 32
    [ "$code" = 0 ] && [ ! -e "$sys/TmRoveVodore.cpl" ] && [ ! -e "$sys/TmIvro.dll" ] && ! has_key 32
    check $? "x86 on 32-bit Windows: the QuietUninstallString ends with 0 ($code), the files and the entry gone"
    WINEPREFIX=$pfx32 timeout 20 "$TM_WINESERVER" -k
    wine=tm_wine
}

scenario "x64 setup: default components" setup_x64_default
scenario "x64 setup: /SIMULATOR, control.exe" setup_x64_simulator
scenario "x64 setup: /SIMULATOR, then the driver package replaces the simulator" setup_x64_simulator_replaced
scenario "x64 setup: /SIMULATOR beside the device's library" setup_x64_beside_driver
scenario "x64 setup: twice, over an older simulator of its own" setup_x64_twice
scenario "x64 setup: over an applet copied by hand" setup_x64_by_hand
scenario "x64 setup: the applet cannot be written" setup_x64_failed_write
scenario "x64 setup and uninstaller while control.exe holds the applet" setup_x64_in_use
scenario "x86 setup on 64-bit Windows" setup_x86_on_x64
scenario "x86 setup on 32-bit Windows" setup_x86_on_x86

tm_wine_cleanup
trap - EXIT
echo "installer-tests: took $((SECONDS - started)) s"
finish
