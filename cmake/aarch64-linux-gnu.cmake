# 64-bit ARM Linux (Debian: g++-aarch64-linux-gnu).
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(KOVO_CROSS_PREFIX aarch64-linux-gnu)
set(KOVO_DEBIAN_ARCH arm64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
