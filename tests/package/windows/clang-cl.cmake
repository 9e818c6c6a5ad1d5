# Stands in for Visual C++ on Linux: clang-cl compiles for the MSVC ABI and
# lld-link links. There is no Visual C++ runtime or Windows SDK here, so the
# consumer is freestanding: the mingw-w64 headers give <guiddef.h>, and
# kernel32 comes from the mingw-w64 import library, which lld-link reads.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

find_program(VORNMT_CLANG_CL NAMES clang-cl clang-cl-19 clang-cl-18 clang-cl-17 clang-cl-16 clang-cl-15 clang-cl-14 REQUIRED)
find_program(VORNMT_LLD_LINK NAMES lld-link REQUIRED)
find_program(VORNMT_LLVM_LIB NAMES llvm-lib REQUIRED)
find_program(VORNMT_LLVM_RC NAMES llvm-rc REQUIRED)
find_program(VORNMT_LLVM_MT NAMES llvm-mt REQUIRED)
set(CMAKE_C_COMPILER ${VORNMT_CLANG_CL})
set(CMAKE_CXX_COMPILER ${VORNMT_CLANG_CL})
set(CMAKE_LINKER ${VORNMT_LLD_LINK})
set(CMAKE_AR ${VORNMT_LLVM_LIB})
set(CMAKE_RC_COMPILER ${VORNMT_LLVM_RC})
set(CMAKE_MT ${VORNMT_LLVM_MT})
# Linking a test program would need the Visual C++ runtime.
set(CMAKE_C_COMPILER_WORKS TRUE)
set(CMAKE_CXX_COMPILER_WORKS TRUE)

set(vornmt_mingw_sysroot /usr/x86_64-w64-mingw32)
set(CMAKE_CXX_FLAGS_INIT "--target=x86_64-pc-windows-msvc /imsvc${vornmt_mingw_sysroot}/include")
set(CMAKE_CXX_STANDARD_LIBRARIES "${vornmt_mingw_sysroot}/lib/libkernel32.a" CACHE STRING "" FORCE)

# Packages come from where the test points CMAKE_PREFIX_PATH, nothing else.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
