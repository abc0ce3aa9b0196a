# Cross-building for 64-bit Windows with MinGW-w64 (Debian package
# g++-mingw-w64-x86-64-posix):
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#
# The posix-threads compiler, whose C++ runtime has the full <thread> and
# <mutex>; the programs are linked statically, so they run without any
# MinGW DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MIVOR_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MIVOR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MIVOR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MIVOR_MINGW_TRIPLE}-windres)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Headers, libraries and CMake packages come from the MinGW tree only, never
# from the host's (its GoogleTest, for one, is not for Windows); programs run
# at build time are the host's.
set(CMAKE_FIND_ROOT_PATH /usr/${MIVOR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
