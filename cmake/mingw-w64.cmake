# Cross-compiling the Windows build with Debian's mingw-w64, for the
# processor and compiler prefix that the including toolchain file sets.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${KOVO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KOVO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KOVO_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KOVO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
