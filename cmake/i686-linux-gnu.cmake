# 32-bit PC Linux (Debian: g++-i686-linux-gnu).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KOVO_CROSS_PREFIX i686-linux-gnu)
set(KOVO_DEBIAN_ARCH i386)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
