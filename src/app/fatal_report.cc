#include "app/fatal_report.h"

#include <cstdint>
#include <algorithm>
#include <cstdio>

namespace kovo {
namespace {

std::uint32_t CodeLocation(FatalStep step) {
  switch (step) {
    case FatalStep::TakeImages: return 0x00402A18;
    case FatalStep::Recover: return 0x00405BE0;
    case FatalStep::Reopen: return 0x00405C31;
    case FatalStep::Journal: return 0x00405C48;
    case FatalStep::Write: return 0x00405C5E;
    case FatalStep::Sync: return 0x00405C79;
    case FatalStep::Close: return 0x00405C94;
  }
  return 0;
}

const char* KindName(FatalKind kind) {
  return kind == FatalKind::OutOfMemory ? "EOutOfMemory" : "EInOutError";
}

const char* NamedMessage(int code) {
  switch (code) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    case 100: return "Read beyond end of file";
    case 101: return "Disk full";
    case 106: return "Invalid numeric input";
    default: return nullptr;
  }
}

struct MessageText {
  char Text[32];
};

MessageText MessageOf(const FatalFailure& failure) {
  MessageText message{};
  const char* named = failure.Kind == FatalKind::OutOfMemory ? "Out of memory"
                                                             : NamedMessage(failure.Code);
  if (named != nullptr) {
    std::snprintf(message.Text, sizeof message.Text, "%s", named);
  } else {
    std::snprintf(message.Text, sizeof message.Text, "I/O error %d", failure.Code);
  }
  return message;
}

}  // namespace

FatalStep FatalStepOf(StoreStep step) {
  switch (step) {
    case StoreStep::Journal: return FatalStep::Journal;
    case StoreStep::Write: return FatalStep::Write;
    case StoreStep::Sync: return FatalStep::Sync;
    case StoreStep::Close: return FatalStep::Close;
    default: return FatalStep::Reopen;
  }
}

std::string InOutErrorMessage(int code) {
  return MessageOf(FatalFailure{FatalKind::InOutError, FatalStep::Reopen, code}).Text;
}

std::size_t FormatFatalReport(const FatalFailure& failure, std::string_view module_name,
                              char* out, std::size_t capacity) {
  const MessageText message = MessageOf(failure);
  const std::string_view text(message.Text);
  const char* full_stop = !text.empty() && text.back() != '.' ? "." : "";
  const int length = std::snprintf(out, capacity, "Exception %s in module %.*s at %08X.\r\n%s%s",
                                    KindName(failure.Kind), static_cast<int>(module_name.size()),
                                    module_name.data(),
                                    static_cast<unsigned>(CodeLocation(failure.Step)),
                                    message.Text, full_stop);
  if (length < 0 || capacity == 0) return 0;
  return std::min(static_cast<std::size_t>(length), capacity - 1);
}

std::string FatalReportText(const FatalFailure& failure, std::string_view module_name) {
  std::string report(module_name.size() + kFatalReportOverhead, '\0');
  report.resize(FormatFatalReport(failure, module_name, report.data(), report.size()));
  return report;
}

}  // namespace kovo
