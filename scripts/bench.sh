#!/usr/bin/env bash
# The release figures in one run: builds the release image with the benchmark's programs and
# the Windows test build's simulated device, stand-ins and benchmark, then prints
#   - the machine and its load (before and after), the Wine version;
#   - the sizes of the release image's programs, Plugstart.exe by section, and the libraries
#     that Plugstart.exe and the floor program import (they must be the same);
#   - under Wine (bench/ReleaseBench.cpp), as ratios of medians of interleaved runs: a CD start of
#     the release Plugstart.exe with nothing to install against a trivial program and a floor
#     program started from the same CD drive the same way, where that start spends its time
#     (from its support log with time stamps), and the staging copy against a bare CopyFileW
#     loop (bench/StagingBench.cpp, the release build's staging code).
# The programs run from drive R:, a CD-ROM drive holding the release image with the simulated
# device in place of its Devpoke.dll (as the plug-in run presents a maker's image), the stand-ins
# for the maker's installers, and the benchmark's programs; in a Wine prefix of its own.
#   scripts/bench.sh [OTHER_PLUGSTART.exe ...]
# Other programs given (other builds of Plugstart.exe, each under a name of its own) go onto the
# CD too and are measured like the release program, in the same rounds.
#   scripts/bench.sh --plugin [--rounds N] [--pcs xp-32,7-32,10-32,7-64,10-64] [--matrix]
# times the plug-in run instead (scripts/plugin/bench.py): runs of scripts/run.sh --hold 0
# --no-screenshots on each Windows version and architecture in turn, where each run's time goes
# (phase by phase), how soon the program starts from R:, and the run's wall time against the
# program's own job, as medians of the rounds; --matrix also times the default PC matrix.
set -euo pipefail
if [ "${1:-}" = --plugin ]; then
  shift
  cd "$(dirname "$0")/.."
  scripts/setup.sh
  preset=$(scripts/windows-preset.sh)
  cmake --preset "$preset" >/dev/null
  nice cmake --build "build/$preset" --target device_image PlugRobot LookDemo DevpokeSim DownloadCheckSim \
    SimDriverSetup SimKitSetup SimQctRemover SimEmpRemover >/dev/null
  echo "== the machine"
  echo "  $(nproc) cores: $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //')"
  echo "  load before: $(uptime | sed 's/.*load average: //') (1, 5, 15 minutes)"
  echo "  $(wine --version 2>/dev/null || wine64 --version 2>/dev/null || echo 'no Wine')"
  echo "  the commit: $(git rev-parse --short HEAD 2>/dev/null || echo '?')$(git diff --quiet 2>/dev/null || echo ' with changes')"
  echo "== plug-in runs"
  status=0
  PYTHONPATH="$PWD/scripts" python3 -m plugin.bench --root "$PWD" --preset "$preset" "$@" || status=$?
  echo "== load after: $(uptime | sed 's/.*load average: //')"
  exit "$status"
fi
others_given=()
for other in "$@"; do others_given+=("$(realpath "$other")"); done
set -- "${others_given[@]}"
cd "$(dirname "$0")/.."
root=$PWD
scripts/setup.sh

echo "== building the release image and the benchmark's programs"
cmake --preset release >/dev/null
nice cmake --build build/release >/dev/null
nice cmake --build build/release --target bench_programs >/dev/null

preset=$(scripts/windows-preset.sh)
echo "== building the $preset image (simulated device, stand-ins) and the benchmark"
cmake --preset "$preset" >/dev/null
nice cmake --build "build/$preset" --target device_image release_bench >/dev/null

echo "== the machine"
echo "  $(nproc) cores: $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //')"
echo "  load before: $(uptime | sed 's/.*load average: //') (1, 5, 15 minutes)"
echo "  $(wine --version 2>/dev/null || echo 'no 32-bit Wine')"

echo "== sizes in the release image (build/release/image)"
for file in Plugstart.exe Devpoke.dll tools/NorvoAutorunService.exe tools/NorvoServiceRemover.exe \
            tools/NorvoSetCDROMAutoRun.exe; do
  awk -v name="$file" -v bytes="$(stat -c %s "build/release/image/$file")" \
    'BEGIN { printf "  %-32s %9d bytes  %7.1f KB\n", name, bytes, bytes / 1024 }'
done
echo "  Plugstart.exe by section (bytes in the file):"
objdump -h build/release/image/Plugstart.exe | awk '$1 ~ /^[0-9]+$/ && $2 !~ /bss/ { print $2, $3 }' |
  while read -r section size; do printf "    %-10s %9d\n" "$section" "$((16#$size))"; done
imports() { objdump -p "$1" | awk '/DLL Name:/ { print tolower($3) }' | sort | tr '\n' ' '; }
plugstart_imports=$(imports build/release/image/Plugstart.exe)
floor_imports=$(imports build/release/bench/BenchFloor.exe)
echo "  libraries Plugstart.exe imports: $plugstart_imports"
if [ "$plugstart_imports" = "$floor_imports" ]; then
  echo "  the floor program imports the same"
else
  echo "  WARNING: the floor program imports others: $floor_imports"
fi

if [ "$preset" != test ]; then
  echo "== no timings: the release build is 32-bit, and this host's kernel runs no 32-bit programs"
  exit 0
fi

prefix="$root/build/$preset/bench/prefix"
echo "== preparing the Wine prefix (win32)"
scripts/wine-prefix.sh "$prefix" win32 >/dev/null
export WINEPREFIX="$prefix" WINEDEBUG=-all LANG=en_US.UTF-8 LC_ALL=
trap 'wineserver -k 2>/dev/null || true' EXIT
bench="build/$preset/bench/release_bench.exe"
# Every real Windows has the Shell Hardware Detection service; without it the CD start would ask
# to repair the autoplay settings.
scripts/wine-for.sh "$bench" reg add 'HKLM\System\CurrentControlSet\Services\ShellHWDetection' \
  /v Start /t REG_DWORD /d 2 /f >/dev/null 2>&1
cd_folder="$prefix/cdrom-r"
rm -rf "$cd_folder"
cp -r build/release/image "$cd_folder"
cp "build/$preset/sim/Devpoke.dll" "build/$preset/image/plugstart_sim.ini" "$cd_folder/"
for stand_in in DriverSetup.exe InternetKitSetup.exe UninstallMSI.exe; do
  cp "build/$preset/image/$stand_in" "$cd_folder/"
done
cp build/release/bench/BenchTrivial.exe build/release/bench/BenchFloor.exe build/release/bench/StagingBench.exe \
  "$cd_folder/"

others=()
for other in "$@"; do
  cp "$other" "$cd_folder/"
  others+=("$(basename "$other")")
done

echo "== under Wine"
scripts/wine-exec.sh "$bench" "${others[@]}"
echo "== load after: $(uptime | sed 's/.*load average: //')"
