#!/usr/bin/env bash
# The plug-in run: builds the program and its device image, makes a simulated PC (a fresh Wine
# prefix that looks like a real Windows), presents the image as CD-ROM drive R: and starts what
# its autorun.inf names, as Windows auto-run does. A robot answers the message boxes; the run
# ends with a report in build/<preset>/plugin-report/ and a summary here.
#   scripts/run.sh --help      the options (Windows version, 32 or 64 bits, PC state, limited user,
#                              the device's reply, another image or ISO, message-box answers,
#                              time-out, display)
#   scripts/run.sh --matrix    the image on every Windows, PC state and user, on one page in
#                              build/<preset>/plugin-matrix/ (the stand-ins built for --stand-ins)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

for argument in "$@"; do
  if [ "$argument" = --help ] || [ "$argument" = -h ]; then
    exec env PYTHONPATH="$root/scripts" python3 -m plugin.cli --help
  fi
done

scripts/setup.sh
preset=$(scripts/windows-preset.sh)
# A build folder configured since the presets last changed is configured anew by the build itself
# when a CMakeLists.txt changes: configuring it again would only cost a second.
if [ ! -f "build/$preset/build.ninja" ] || [ CMakePresets.json -nt "build/$preset/build.ninja" ]; then
  cmake --preset "$preset" >/dev/null
fi
cmake --build "build/$preset" --target device_image PlugRobot LookDemo DevpokeSim DownloadCheckSim SimDriverSetup SimKitSetup \
  SimQctRemover SimEmpRemover
exec env PYTHONPATH="$root/scripts" PLUGSTART_PRESET="$preset" python3 -m plugin.cli "$@"
