# The Windows build: the deliverables and, with PLUGSTART_BUILD_TESTS, the tests under Wine.
enable_language(RC)

# Flags of our own targets (not of GoogleTest's). A warning stops the build.
add_library(plug_build_flags INTERFACE)
target_compile_options(plug_build_flags INTERFACE -Wall -Wextra -Werror)
target_compile_definitions(plug_build_flags INTERFACE
  UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 WINVER=0x0501 _WIN32_IE=0x0600)
target_include_directories(plug_build_flags INTERFACE ${PROJECT_SOURCE_DIR})
# The release build is made small: optimised for size (the program waits on the system, not on its
# own code), every function and datum in a section of its own so that the linker drops what
# nothing uses, no run-time type information (nothing asks for it), symbols stripped.
target_compile_options(plug_build_flags INTERFACE
  $<$<CONFIG:Release>:-Os -ffunction-sections -fdata-sections> $<$<AND:$<CONFIG:Release>,$<COMPILE_LANGUAGE:CXX>>:-fno-rtti>)
target_link_options(plug_build_flags INTERFACE -static -static-libgcc -static-libstdc++
  $<$<CONFIG:Release>:-s -Wl,--gc-sections>)

# A static library of one subsystem folder; what links it gets our flags and include root.
function(plug_library name)
  add_library(${name} STATIC ${ARGN})
  target_link_libraries(${name} PUBLIC plug_build_flags)
endfunction()

# plug_without_runtime(target entry [stdcall_argument_bytes])
# Links target without the C and C++ runtimes: kernel32 and the libraries it names, libgcc's
# helpers, the few C routines of framework/MemoryRoutines.c, and entry as its entry point (a
# stdcall entry names the size of its arguments, which 32-bit names carry). Its own sources are
# compiled without exceptions and run-time type information; every library it links must need
# no runtime either (a missing symbol fails the link). No global object may need a constructor:
# nothing would run it.
function(plug_without_runtime target entry)
  set(symbol ${entry})
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(symbol _${entry})
    if(ARGC GREATER 2)
      set(symbol ${symbol}@${ARGV2})
    endif()
  endif()
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/framework/MemoryRoutines.c)
  set_source_files_properties(${PROJECT_SOURCE_DIR}/framework/MemoryRoutines.c TARGET_DIRECTORY ${target}
    PROPERTIES COMPILE_OPTIONS -fno-tree-loop-distribute-patterns)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>
    -fno-asynchronous-unwind-tables $<$<CONFIG:Release>:-Os>)
  target_link_options(${target} PRIVATE -nostdlib -Wl,--entry,${symbol})
  target_link_libraries(${target} PRIVATE kernel32 gcc)
endfunction()

# plug_run_from_swap(target): marks the file of target so that Windows copies it to the page file
# before running it from removable media. Every executable on the device's CD needs it: the CD
# goes away at the mode change while the program and its tools still run from it. GNU ld has no
# option for the flag; scripts/pe_flags.py sets it after linking.
function(plug_run_from_swap target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/scripts/pe_flags.py --set-run-from-swap $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()

# A static library for programs without a runtime (plug_without_runtime): compiled without
# exceptions, so that it calls for no unwinder.
function(plug_library_without_runtime name)
  plug_library(${name} ${ARGN})
  target_compile_options(${name} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>
    -fno-asynchronous-unwind-tables $<$<CONFIG:Release>:-Os>)
endfunction()

set(PLUGSTART_ASSET_DIR ${PROJECT_BINARY_DIR}/assets)
set(PLUGSTART_ASSETS ${PLUGSTART_ASSET_DIR}/Plugstart.ico)
foreach(bitmap 131 132 134 147 148 149 151 152 153 156 164 169 170)
  list(APPEND PLUGSTART_ASSETS ${PLUGSTART_ASSET_DIR}/${bitmap}.bmp)
endforeach()
set(PLUGSTART_ASSETS ${PLUGSTART_ASSETS} CACHE INTERNAL "")
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_command(OUTPUT ${PLUGSTART_ASSETS}
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/scripts/make_assets.py ${PLUGSTART_ASSET_DIR}
  DEPENDS ${PROJECT_SOURCE_DIR}/scripts/make_assets.py
  COMMENT "Drawing the program's icon and bitmaps")
add_custom_target(plug_assets DEPENDS ${PLUGSTART_ASSETS})

plug_library(plug_portable ${PLUGSTART_PORTABLE_SOURCES})
# Programs without a runtime (plug_without_runtime) link the portable core too: libgcc after it,
# for any helper its code calls (such as 64-bit division in 32-bit code).
target_link_libraries(plug_portable INTERFACE gcc)

add_subdirectory(framework)
add_subdirectory(config)
add_subdirectory(skin)
add_subdirectory(autoplay)
add_subdirectory(registry)
add_subdirectory(run)
add_subdirectory(process)
add_subdirectory(version)
add_subdirectory(service)
add_subdirectory(detect)
add_subdirectory(core)
add_subdirectory(tools)
add_subdirectory(companion)
add_subdirectory(workflow)
add_subdirectory(app)
add_subdirectory(devpoke)
if(PLUGSTART_BUILD_TESTS)
  # Before the device image, which places the simulated device and the stand-ins in test builds.
  add_subdirectory(sim)
endif()
add_subdirectory(device)
add_subdirectory(bench)

if(PLUGSTART_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests)
endif()
