#!/usr/bin/env bash
# wine-prefix.sh PREFIX ARCH(win32|win64) [display]
# Makes a throwaway Wine prefix for the tests or the demo: a fresh prefix, the headless graphics
# driver unless "display" is given, and drive R: typed as a CD-ROM drive on PREFIX/cdrom-r
# (and S: on PREFIX/cdrom-s) so that GetDriveTypeW reports DRIVE_CDROM there.
set -euo pipefail
prefix="$1"
arch="$2"
mode="${3:-headless}"
export WINEPREFIX="$prefix" WINEARCH="$arch" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ "$arch" = win64 ]; then
  wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
else
  wine=$(command -v wine)
fi
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

reg() { "$wine" reg "$@" >/dev/null 2>&1; }

make_prefix() {
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w 2>/dev/null || true
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  "$wine" wineboot -i >/dev/null 2>&1
  "$wineserver" -w

  # A fresh prefix links the user's shell folders (Desktop, Documents, ..., and the Templates
  # folder deep under AppData) to the Linux home: a program under test must write into the
  # prefix, never into the host's home.
  find "$prefix/drive_c/users" -type l -print0 | while IFS= read -r -d '' link; do
    rm -f "$link"
    mkdir -p "$link"
  done

  if [ "$mode" != display ]; then
    reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
  fi
  # No crash dialogs: a crashing test must end, not wait for a click.
  reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
  for letter in r s; do
    mkdir -p "$prefix/cdrom-$letter"
    ln -sfn "$prefix/cdrom-$letter" "$prefix/dosdevices/$letter:"
    reg add 'HKLM\Software\Wine\Drives' /v "$letter:" /d cdrom /f
  done
  "$wineserver" -w
  # Drive types are read when the prefix starts.
  "$wineserver" -k 2>/dev/null || true
}

# A server of an earlier prefix at this path may still be on its way out when this starts (the
# wait above returns before it has gone), and the first making fails: it is made once more.
for attempt in 1 2; do
  # The making runs in a subshell of its own with -e in force, its failure caught here.
  set +e
  (set -e; make_prefix)
  made=$?
  set -e
  [ "$made" -eq 0 ] && break
  echo "making the wine prefix failed (attempt $attempt)" >&2
  sleep 1
done
[ "$made" -eq 0 ] || exit "$made"
echo "wine prefix ready: $prefix ($arch, $mode)"
