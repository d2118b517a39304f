# Cross-compiles the Windows build (Tarnwell.8bf and tarnwell.exe) with Debian's mingw-w64
# (the posix-threads flavour, so std::thread and friends work) and runs the Windows test
# programs through Wine.
#
# The third-party libraries (zlib, libjpeg, libpng, libtiff, GoogleTest) are cross-compiled
# from Debian's source packages into TARNWELL_WINDOWS_DEPS by scripts/windows-deps.sh. When
# that folder is not complete yet, the first configure runs the script.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARNWELL_MINGW_TRIPLE x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${TARNWELL_MINGW_TRIPLE}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TARNWELL_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TARNWELL_MINGW_TRIPLE}-windres REQUIRED)
find_program(TARNWELL_MINGW_OBJDUMP NAMES ${TARNWELL_MINGW_TRIPLE}-objdump)

# Try-compiles inside this configure must see the same deps folder.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TARNWELL_WINDOWS_DEPS)
if(NOT TARNWELL_WINDOWS_DEPS)
  # Outside a preset: keep the libraries inside the build folder being configured.
  set(TARNWELL_WINDOWS_DEPS "${CMAKE_BINARY_DIR}/deps")
endif()
set(TARNWELL_WINDOWS_PREFIX "${TARNWELL_WINDOWS_DEPS}/prefix")

# Build the libraries on first use. The script sets TARNWELL_DEPS_BUILDING while it runs
# the libraries' own configures with this file, which must not start it again.
if(NOT DEFINED ENV{TARNWELL_DEPS_BUILDING} AND NOT EXISTS "${TARNWELL_WINDOWS_DEPS}/complete.stamp")
  get_filename_component(_tw_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
  message(STATUS "Building the Windows libraries into ${TARNWELL_WINDOWS_DEPS} (first run only)")
  execute_process(COMMAND bash "${_tw_root}/scripts/windows-deps.sh" "${TARNWELL_WINDOWS_DEPS}"
                  RESULT_VARIABLE _tw_deps_result)
  if(NOT _tw_deps_result EQUAL 0)
    message(FATAL_ERROR "scripts/windows-deps.sh failed (${_tw_deps_result}); see its output above")
  endif()
endif()

# Libraries and headers come from the mingw sysroot and our own prefix, never from Linux.
set(CMAKE_FIND_ROOT_PATH /usr/${TARNWELL_MINGW_TRIPLE} "${TARNWELL_WINDOWS_PREFIX}")
list(APPEND CMAKE_PREFIX_PATH "${TARNWELL_WINDOWS_PREFIX}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# 64-bit Windows only promises 16-byte stack alignment and GCC cannot realign the stack
# there, so 256- and 512-bit values it spills in the wide-lane paths chosen at run time may
# sit misaligned: have the assembler write every aligned vector move as an unaligned one,
# which costs nothing on aligned data and cannot fault on the rest.
set(CMAKE_C_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")

# The module must load on a bare Windows: the C++ run-time, libgcc and winpthread go inside
# it instead of arriving as DLLs an editor's machine does not have.
set(_tw_static_link "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_tw_static_link}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_tw_static_link}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_tw_static_link}")

# Test programs run under Wine through a wrapper that keeps Wine's prefix in the build
# folder and says plainly when Wine is missing (scripts/windows-test.sh installs it, and
# skips the tests with a message where it cannot).
get_filename_component(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/windows-run.sh" ABSOLUTE)
