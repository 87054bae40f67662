#!/usr/bin/env bash
# Builds the release: TmRoveVodore.cpl, the report tool TmRoveReport.exe and
# the device simulator TmIvro.dll for
# i686 (x86, the panel PCs' 32-bit Windows) and x86_64 (x64), optimised for
# size and stripped, then for each architecture an installer (makensis) and a
# zip of the same files for installing by hand.
#   build/release-x86, build/release-x64   the release builds (MinSizeRel,
#                                          stripped; the linker maps *.map show
#                                          what takes the space)
#   build/release/<arch>/                  what is shipped, and sizes.txt
#   build/dist/TmRoveVodore-<version>-<arch>-setup.exe, ...-<arch>.zip
# The help file TmRoveVodore.chm (help/) joins both when the build has it;
# the Group Policy templates (policy/) join both as PolicyDefinitions/.
# Fails when the stripped i686 applet is above its size budget of 400 KB
# (TM_SIZE_BUDGET, in bytes).
# Usage: scripts/release.sh [x86|x64]...   (default: both)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TM_BUILD_DIR:-$root/build}
jobs=$(nproc)
budget=${TM_SIZE_BUDGET:-$((400 * 1024))}

archs=("$@")
[ ${#archs[@]} -gt 0 ] || archs=(x86 x64)

# The version of the applet's version resource: "2.01" and 2,1,0,0.
rc=$root/res/TmRoveVodore.rc
version=$(sed -n 's/.*VALUE "FileVersion", "\([^"]*\)".*/\1/p' "$rc" | head -n 1)
version_num=$(sed -n 's/^FILEVERSION \([0-9, ]*\).*/\1/p' "$rc" | tr -d ' ' | tr ',' '.')
if [ -z "$version" ] || [ -z "$version_num" ]; then
    echo "release: no version in $rc" >&2
    exit 1
fi

for tool in makensis zip; do
    command -v "$tool" >/dev/null || {
        echo "release: $tool is missing (scripts/setup.sh installs it)" >&2
        exit 1
    }
done

dist=$build/dist
mkdir -p "$dist"

for arch in "${archs[@]}"; do
    case $arch in
        x86) toolchain=mingw-i686.cmake prefix=i686-w64-mingw32 ;;
        x64) toolchain=mingw-x86_64.cmake prefix=x86_64-w64-mingw32 ;;
        *) echo "release: unknown architecture $arch (x86 or x64)" >&2; exit 2 ;;
    esac
    echo "== release: $arch"
    dir=$build/release-$arch
    # Configured every time: a build folder from before a new target (the
    # help file) would not know it yet.
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" >/dev/null
    targets=(TmRoveVodore TmRoveReport TmIvro)
    [ -f "$root/help/CMakeLists.txt" ] && targets+=(tm_help)
    cmake --build "$dir" -j "$jobs" --target "${targets[@]}"

    out=$build/release/$arch
    rm -rf "$out"
    mkdir -p "$out"
    # Linked stripped already; strip once more in case of a build by hand.
    "$prefix-strip" -o "$out/TmRoveVodore.cpl" "$dir/TmRoveVodore.cpl"
    "$prefix-strip" -o "$out/TmIvro.dll" "$dir/simulator/TmIvro.dll"
    "$prefix-strip" -o "$out/TmRoveReport.exe" "$dir/TmRoveReport.exe"
    # The build places the help file beside the applet.
    [ -f "$dir/TmRoveVodore.chm" ] && cp "$dir/TmRoveVodore.chm" "$out/TmRoveVodore.chm"
    cp -r "$root/policy" "$out/PolicyDefinitions"

    size=$(stat -c %s "$out/TmRoveVodore.cpl")
    {
        echo "TmRoveVodore.cpl $size"
        echo "TmIvro.dll $(stat -c %s "$out/TmIvro.dll")"
        echo "TmRoveReport.exe $(stat -c %s "$out/TmRoveReport.exe")"
    } >"$out/sizes.txt"
    echo "release: $arch TmRoveVodore.cpl: $size bytes ($((size / 1024)) KB), TmIvro.dll: $(stat -c %s "$out/TmIvro.dll") bytes"
    if [ "$arch" = x86 ] && [ "$size" -gt "$budget" ]; then
        echo "release: FAILED: the stripped i686 TmRoveVodore.cpl is $size bytes, above its budget of $budget bytes ($((budget / 1024)) KB)." >&2
        echo "release: what takes the space: $dir/TmRoveVodore.map (the linker map; the" >&2
        echo "         archive members at its top name what pulled each one in)" >&2
        exit 1
    fi

    # The installer.
    setup=$dist/TmRoveVodore-$version-$arch-setup.exe
    defs=(-DARCH="$arch" -DVERSION="$version" -DVERSION_NUM="$version_num"
          -DSRCDIR="$out" -DOUTFILE="$setup")
    [ -f "$out/TmRoveVodore.chm" ] && defs+=(-DHELP)
    makensis -V2 -WX "${defs[@]}" "$root/installer/TmRoveVodore.nsi"

    # The zip: the applet (and help) and the report tool at the top, the simulator in a folder of
    # its own so that nobody copies it over the device's library by mistake.
    name=TmRoveVodore-$version-$arch
    stage=$build/release/zip-$arch/$name
    rm -rf "$build/release/zip-$arch"
    mkdir -p "$stage/Simulator"
    cp "$out/TmRoveVodore.cpl" "$out/TmRoveReport.exe" "$stage/"
    [ -f "$out/TmRoveVodore.chm" ] && cp "$out/TmRoveVodore.chm" "$stage/"
    cp "$out/TmIvro.dll" "$stage/Simulator/"
    cp -r "$out/PolicyDefinitions" "$stage/"
    # Notepad of older Windows wants CR LF and a byte-order mark for UTF-8.
    {
        printf '\xef\xbb\xbf'
        sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$arch/g" -e 's/$/\r/' "$root/installer/LIESMICH.txt"
    } >"$stage/LIESMICH.txt"
    rm -f "$dist/$name.zip"
    (cd "$build/release/zip-$arch" && zip -q -r -X "$dist/$name.zip" "$name")
    echo "release: $setup"
    echo "release: $dist/$name.zip"
done
