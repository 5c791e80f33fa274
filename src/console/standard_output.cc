#include "console/standard_output.h"

namespace kovo {

void StandardOutput::WriteChar(std::uint8_t byte) {
  Put(byte);
  EndOperation();
}

void StandardOutput::WriteString(std::string_view text) {
  for (char byte : text) Put(static_cast<std::uint8_t>(byte));
  EndOperation();
}

void StandardOutput::WriteLineEnd() {
  Put('\r');
  Put('\n');
  EndOperation();
}

void StandardOutput::Put(std::uint8_t byte) {
  if (used_ == kOutputBufferSize) EndOperation();
  buffer_[used_++] = byte;
}

void StandardOutput::EndOperation() {
  if (used_ == 0) return;
  device_.DeviceWrite(buffer_, used_);
  used_ = 0;
}

}  // namespace kovo
