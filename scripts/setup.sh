#!/usr/bin/env bash
# Installs what the build, the tests and the demo need, when it is missing (Debian, as root).
set -euo pipefail

packages=(cmake ninja-build python3 clang libclang-rt-14-dev googletest
          g++-mingw-w64-i686-posix mingw-w64-i686-dev g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
          wine wine64 wine32:i386 xvfb imagemagick x11-utils)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
