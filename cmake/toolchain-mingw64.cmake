# Cross-compiles the 64-bit Windows DLL with Debian's mingw-w64.
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake ...
# The posix thread model is needed: GCC's win32 model has no std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QVX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QVX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QVX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QVX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QVX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The GCC runtime DLLs are not beside the programs under Wine or on a host's
# machine: link them in, so the DLL and the test programs stand alone.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs the Windows programs through Wine. Debian's wine64 package puts
# no wine64 on the PATH.
find_program(QVX_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT QVX_WINE64)
  find_program(QVX_WINE64 NAMES wine64 wine)
endif()
if(QVX_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QVX_WINE64})
endif()
