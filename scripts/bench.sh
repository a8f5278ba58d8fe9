#!/usr/bin/env bash
# The release figures in one run: builds the release image and the Windows test build, then
#   - the sizes of the release image's programs;
#   - under Wine (bench/ReleaseBench.cpp), as ratios of medians of repeated runs: a CD start with
#     nothing to install against a trivial Win32 process, and the staging copy against a bare
#     CopyFileW loop over the same files.
# The program runs from drive R:, a CD-ROM drive holding the test build's image (the simulated
# device and the stand-ins for the maker's installers), in a prefix of its own.
#   scripts/bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/setup.sh

echo "== building the release image"
cmake --preset release >/dev/null
cmake --build build/release >/dev/null

preset=$(scripts/windows-preset.sh)
echo "== building the $preset image and the benchmark"
cmake --preset "$preset" >/dev/null
cmake --build "build/$preset" --target device_image release_bench >/dev/null

echo "== sizes in the release image (build/release/image)"
for file in Plugstart.exe Devpoke.dll tools/NorvoAutorunService.exe tools/NorvoServiceRemover.exe \
            tools/NorvoSetCDROMAutoRun.exe; do
  awk -v name="$file" -v bytes="$(stat -c %s "build/release/image/$file")" \
    'BEGIN { printf "  %-32s %9d bytes  %7.1f KB\n", name, bytes, bytes / 1024 }'
done

prefix="$root/build/$preset/bench/prefix"
arch=win32
[ "$preset" = test64 ] && arch=win64
echo "== preparing the Wine prefix ($arch)"
scripts/wine-prefix.sh "$prefix" "$arch" >/dev/null
export WINEPREFIX="$prefix" WINEDEBUG=-all LANG=en_US.UTF-8 LC_ALL=
trap 'wineserver -k 2>/dev/null || true' EXIT
bench="build/$preset/bench/release_bench.exe"
# Every real Windows has the Shell Hardware Detection service; without it the CD start would ask
# to repair the autoplay settings.
scripts/wine-for.sh "$bench" reg add 'HKLM\System\CurrentControlSet\Services\ShellHWDetection' \
  /v Start /t REG_DWORD /d 2 /f >/dev/null 2>&1
rm -rf "$prefix/cdrom-r"
cp -r "build/$preset/image" "$prefix/cdrom-r"

echo "== under Wine"
scripts/wine-exec.sh "$bench"
