// The file seam of the platform the program is built for.
#pragma once

#ifdef _WIN32
#include "directory/win32_file_system.h"
namespace kovo {
using PlatformFileSystem = Win32FileSystem;
}
#else
#include "directory/posix_file_system.h"
namespace kovo {
using PlatformFileSystem = PosixFileSystem;
}
#endif
