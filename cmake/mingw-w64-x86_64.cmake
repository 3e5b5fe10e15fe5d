# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix thread model),
# run under Wine for tests: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VANTELO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VANTELO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANTELO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VANTELO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VANTELO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)


# Static libraries only (the zlib test oracle too): nothing to ship beside the programs.
set(ZLIB_USE_STATIC_LIBS ON)
