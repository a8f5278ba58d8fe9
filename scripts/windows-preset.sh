#!/usr/bin/env bash
# Prints the CMake preset of the Windows test build that this host can run: "test" (32-bit, as
# shipped) when the kernel runs 32-bit programs and so 32-bit Wine, else "test64", the same
# code built for 64-bit Windows.
if [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo test
else
  echo test64
fi
