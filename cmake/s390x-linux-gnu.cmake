# 64-bit IBM Z Linux, a big-endian machine (Debian: g++-s390x-linux-gnu); no
# package is made for it, the tests run its programs under qemu-user.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(KOVO_CROSS_PREFIX s390x-linux-gnu)
set(KOVO_DEBIAN_ARCH s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
