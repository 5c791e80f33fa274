// The process's text output bound to the console device: a 128-byte buffer
// handed to the device when full and at the end of every write operation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "console/console_device.h"

namespace kovo {

inline constexpr std::size_t kOutputBufferSize = 128;

class StandardOutput {
 public:
  explicit StandardOutput(ConsoleDevice& device) : device_(device) {}

  void WriteChar(std::uint8_t byte);
  void WriteString(std::string_view text);
  void WriteLineEnd();

 private:
  void Put(std::uint8_t byte);
  void EndOperation();

  ConsoleDevice& device_;
  std::uint8_t buffer_[kOutputBufferSize] = {};
  std::size_t used_ = 0;
};

// The device and the stream bound to it, as the rest of the system sees them.
struct Console {
  explicit Console(Screen& screen) : Device(screen), Output(Device) {}
  ConsoleDevice Device;
  StandardOutput Output;
};

}  // namespace kovo
