# Cross build for 64-bit Windows with mingw-w64 (posix thread model), the
# tests run under Wine.
#
#   cmake -S . -B build-windows -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#     -DVORNMT_WINDOWS_DEPS=build-windows/deps
#
# VORNMT_WINDOWS_DEPS is the prefix scripts/windows-deps filled (TinyXML,
# GoogleTest, and a link to the Boost headers); it defaults to the
# environment variable of the same name, then to build-windows/deps.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VORNMT_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VORNMT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORNMT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VORNMT_MINGW_TRIPLE}-windres)

if(NOT VORNMT_WINDOWS_DEPS)
  if(DEFINED ENV{VORNMT_WINDOWS_DEPS})
    set(VORNMT_WINDOWS_DEPS "$ENV{VORNMT_WINDOWS_DEPS}")
  else()
    set(VORNMT_WINDOWS_DEPS "${CMAKE_CURRENT_LIST_DIR}/../build-windows/deps")
  endif()
endif()
get_filename_component(VORNMT_WINDOWS_DEPS "${VORNMT_WINDOWS_DEPS}" ABSOLUTE)
# try_compile projects read this file again; hand them the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VORNMT_WINDOWS_DEPS)

# Headers and libraries come only from the deps prefix and the mingw-w64
# sysroot, never from the build machine's /usr/include or /usr/lib; build
# tools still come from the build machine.
set(CMAKE_FIND_ROOT_PATH "${VORNMT_WINDOWS_DEPS}" /usr/${VORNMT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest and try_run start the .exe files through Wine, in a Wine prefix of
# their own inside the build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run;${CMAKE_BINARY_DIR}/wine")
