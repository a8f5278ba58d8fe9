# 64-bit Windows: used for the test and demo builds on hosts whose kernel cannot run
# 32-bit programs (and therefore cannot run 32-bit Wine). The code is the same.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PLUGSTART_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
