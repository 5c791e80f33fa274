# Cross-compiling for another Linux machine with Debian's cross compilers,
# for the processor (as uname -m names it), compiler prefix and Debian
# architecture that the including toolchain file sets.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${KOVO_CROSS_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${KOVO_CROSS_PREFIX}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${KOVO_CROSS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
