#!/usr/bin/env bash
# Screenshots of the program's dialogs under Xvfb: the main dialog's status painting in each
# state, the staging dialog, and the PC-suite guide with and without its Download button.
#   scripts/look-screens.sh [display]      (default: a free one that Xvfb picks)
# The pictures go to build/<preset>/screens/*.png. scripts/run.sh --languages shows the dialogs in
# every language of the image, measured, on one page.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
display="${1:-}"

scripts/setup.sh
preset=$(scripts/windows-preset.sh)
cmake --preset "$preset" >/dev/null
cmake --build "build/$preset" --target LookDemo DownloadCheckSim device_image

screens="$root/build/$preset/screens"
prefix="$screens/prefix"
demo="$screens/program"
arch=win32
[ "$preset" = test64 ] && arch=win64
rm -rf "$demo"
mkdir -p "$demo/tools"
scripts/wine-prefix.sh "$prefix" "$arch" display

# The demo's program folder: the demo, the device library, the English texts and a profile (it
# lists the program: the staging demo is cancelled at its first file, a list without it is refused).
cp "build/$preset/sim/LookDemo.exe" "build/$preset/image/Devpoke.dll" "$demo/"
cp "build/$preset/image/tools/"lang_AutoRun_*.opt "$demo/tools/"
printf '[FILES]\r\nfilecount=1\r\nfile00=Plugstart.exe\r\n[WEB]\r\nnorvopcsuite_test_ver=1.0.0.0\r\ncd_include=1\r\nnorvopcsuite_def_downurl=download/pcsuite\r\n' >"$demo/config.ini"

# Xvfb on the display given, or on one that no other server holds (it names it when it is ready).
named="$screens/display.txt"
rm -f "$named"
if [ -n "$display" ]; then
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  sleep 1
else
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$named" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 200); do
    [ -s "$named" ] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.05
  done
  [ -s "$named" ] || { echo "Xvfb could not start on a free display" >&2; exit 1; }
  display=":$(head -n 1 "$named")"
fi
cleanup() {
  wineserver -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
echo "display $display"

export WINEPREFIX="$prefix" WINEDEBUG=-all DISPLAY="$display"
wine_run() { scripts/wine-for.sh "$demo/LookDemo.exe" "$@"; }
# No window manager under Xvfb: Wine draws the frames itself.
wine_run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
mkdir -p "$prefix/drive_c/plugstart_sim"
printf '[answer]\r\nresult=1\r\nresult_text=MSG_SUCCESS\r\ncandidate1=http://dl.example.com\r\n' \
  >"$prefix/drive_c/plugstart_sim/download_check.ini"

shot() { # name, then the demo's arguments
  local name="$1"
  shift
  wine_run "$demo/LookDemo.exe" "$@" &
  local program=$!
  sleep 4
  import -window root "$screens/$name.png"
  wait "$program" || true
  echo "screenshot: $screens/$name.png"
}

for state in initial driver kit launching; do
  shot "status-$state" status "$state"
done
shot staging staging
rm -f "$demo/NorvoPsLvDlChk.dll"
shot guide-without-download guide
cp "build/$preset/sim/NorvoPsLvDlChk.dll" "$demo/"
shot guide-with-download guide
