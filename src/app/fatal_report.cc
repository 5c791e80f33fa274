#include "app/fatal_report.h"

#include <cstdint>
#include <cstdio>

namespace kovo {
namespace {

std::uint32_t CodeLocation(FatalStep step) {
  switch (step) {
    case FatalStep::TakeImages: return 0x00402A18;
    case FatalStep::Reopen: return 0x00405C31;
    case FatalStep::Write: return 0x00405C5E;
    case FatalStep::Sync: return 0x00405C79;
    case FatalStep::Close: return 0x00405C94;
  }
  return 0;
}

const char* KindName(FatalKind kind) {
  return kind == FatalKind::OutOfMemory ? "EOutOfMemory" : "EInOutError";
}

std::string MessageOf(const FatalFailure& failure) {
  return failure.Kind == FatalKind::OutOfMemory ? "Out of memory" : InOutErrorMessage(failure.Code);
}

}  // namespace

FatalStep FatalStepOf(StoreStep step) {
  switch (step) {
    case StoreStep::Write: return FatalStep::Write;
    case StoreStep::Sync: return FatalStep::Sync;
    case StoreStep::Close: return FatalStep::Close;
    default: return FatalStep::Reopen;
  }
}

std::string InOutErrorMessage(int code) {
  switch (code) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    case 100: return "Read beyond end of file";
    case 101: return "Disk full";
    case 106: return "Invalid numeric input";
    default: return "I/O error " + std::to_string(code);
  }
}

std::string FatalReportText(const FatalFailure& failure, std::string_view module_name) {
  char location[9];
  std::snprintf(location, sizeof location, "%08X", static_cast<unsigned>(CodeLocation(failure.Step)));
  std::string report = "Exception ";
  report += KindName(failure.Kind);
  report += " in module ";
  report += module_name;
  report += " at ";
  report += location;
  report += ".\r\n";
  const std::string message = MessageOf(failure);
  report += message;
  if (!message.empty() && message.back() != '.') report += '.';
  return report;
}

}  // namespace kovo
