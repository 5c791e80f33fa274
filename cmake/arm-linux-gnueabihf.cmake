# 32-bit ARM Linux with hardware floating point, ARMv7 and later, such as
# Raspberry Pi OS on a Pi 2 or later (Debian: g++-arm-linux-gnueabihf).
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(KOVO_CROSS_PREFIX arm-linux-gnueabihf)
set(KOVO_DEBIAN_ARCH armhf)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
