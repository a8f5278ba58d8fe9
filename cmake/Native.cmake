# The native build of the portable core: unit tests with GoogleTest and libFuzzer targets.
enable_testing()

add_library(plug_portable STATIC ${PLUGSTART_PORTABLE_SOURCES})
target_include_directories(plug_portable PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(plug_portable PRIVATE -Wall -Wextra)

set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_subdirectory(tests/native)

if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_subdirectory(fuzz)
endif()

# The image check (scripts/check-image.py) against broken copies of an image made from device/.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME image_check_tests COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/image/test_check_image.py)
add_test(NAME pe_flags_tests COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/image/test_pe_flags.py)
