#!/usr/bin/env bash
# The main job: builds the program and its device image and starts it under Wine the way a
# plugged-in modem does: from drive R:, a CD-ROM drive holding the image, without arguments.
# On the user's display when there is one; else headless under Xvfb. A screenshot is saved
# either way (build/<preset>/demo/screenshot.png).
#   scripts/run.sh [--no-language] [--locale NAME] [--seconds N]
#     --no-language  leave the language file off the CD (shows the missing-file message)
#     --locale NAME  the user's locale, e.g. ja_JP.UTF-8 (one that scripts/setup.sh makes):
#                    Wine takes the user's language from it, and so the language file
#     --seconds N    how long to let it run before the screenshot (default 8)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

no_language=0
locale=""
seconds=8
while [ $# -gt 0 ]; do
  case "$1" in
    --no-language) no_language=1 ;;
    --locale) locale="$2"; shift ;;
    --seconds) seconds="$2"; shift ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
  shift
done

scripts/setup.sh
preset=$(scripts/windows-preset.sh)
cmake --preset "$preset" >/dev/null
cmake --build "build/$preset" --target device_image

demo="$root/build/$preset/demo"
prefix="$demo/prefix"
arch=win32
[ "$preset" = test64 ] && arch=win64
mkdir -p "$demo"
scripts/wine-prefix.sh "$prefix" "$arch" display
# Every real Windows has the Shell Hardware Detection service (a fresh prefix has not): without it
# the program would ask to repair the autoplay settings.
WINEPREFIX="$prefix" WINEDEBUG=-all scripts/wine-for.sh "build/$preset/image/Plugstart.exe" \
  reg add 'HKLM\System\CurrentControlSet\Services\ShellHWDetection' /v Start /t REG_DWORD /d 2 /f >/dev/null 2>&1

cdrom="$prefix/cdrom-r"
rm -rf "$cdrom"
cp -r "build/$preset/image" "$cdrom"
[ $no_language -eq 1 ] && rm -f "$cdrom"/tools/lang_AutoRun_*.opt

xvfb_pid=""
if [ -z "${DISPLAY:-}" ]; then
  # Xvfb has no window manager: let Wine draw the title bars and frames itself.
  WINEPREFIX="$prefix" WINEDEBUG=-all scripts/wine-for.sh "build/$preset/image/Plugstart.exe" \
    reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  export DISPLAY=:77
  Xvfb "$DISPLAY" -screen 0 1024x768x24 >/dev/null 2>&1 &
  xvfb_pid=$!
  sleep 1
fi
cleanup() {
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

export WINEPREFIX="$prefix" WINEDEBUG=-all
[ -n "$locale" ] && export LANG="$locale" LC_ALL="$locale"
echo "starting R:\\Plugstart.exe from the CD-ROM drive"
(cd "$cdrom" && scripts_dir="$root/scripts" && "$scripts_dir/wine-for.sh" "$cdrom/Plugstart.exe" start /d 'R:\' /wait 'R:\Plugstart.exe') &
program=$!
sleep "$seconds"
import -window root "$demo/screenshot.png"
echo "screenshot: $demo/screenshot.png"
trace="$(find "$prefix/drive_c/users" -name Plugstart_trace.log 2>/dev/null | head -1)"
[ -n "$trace" ] && { echo "--- trace"; cat "$trace"; }
if [ -z "$xvfb_pid" ]; then
  echo "the program runs on your display; close it to end"
  wait "$program" || true
fi
