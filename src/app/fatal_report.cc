#include "app/fatal_report.h"

#include <cstdint>
#include <algorithm>
#include <cstdio>

namespace kovo {
namespace {

bool OutOfMemory(const Status& failure) { return failure.Failed == Step::Memory; }

std::uint32_t CodeLocation(const Status& failure) {
  switch (failure.Failed) {
    case Step::Memory: return 0x00402A18;  // taking the images
    case Step::Recover: return 0x00405BE0;
    case Step::Journal: return 0x00405C48;
    case Step::Write: return 0x00405C5E;
    case Step::Sync: return 0x00405C79;
    case Step::Close: return 0x00405C94;
    default: return 0x00405C31;  // the reopen
  }
}

const char* NamedMessage(int code) {
  switch (code) {
    case kFileNotFound: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case kAccessDenied: return "File access denied";
    case kShortRead: return "Read beyond end of file";
    case kShortWrite: return "Disk full";
    case 106: return "Invalid numeric input";
    default: return nullptr;
  }
}

struct MessageText {
  char Text[32];
};

MessageText MessageOf(const Status& failure) {
  MessageText message{};
  const char* named = OutOfMemory(failure) ? "Out of memory" : NamedMessage(failure.Code);
  if (named != nullptr) {
    std::snprintf(message.Text, sizeof message.Text, "%s", named);
  } else {
    std::snprintf(message.Text, sizeof message.Text, "I/O error %d", failure.Code);
  }
  return message;
}

}  // namespace

std::string InOutErrorMessage(int code) {
  return MessageOf(Status{code, Step::Reopen}).Text;
}

std::size_t FormatFatalReport(const Status& failure, std::string_view module_name, char* out,
                              std::size_t capacity) {
  // No message is empty or ends in a full stop of its own.
  const char* kind = OutOfMemory(failure) ? "EOutOfMemory" : "EInOutError";
  const int length = std::snprintf(out, capacity, "Exception %s in module %.*s at %08X.\r\n%s.", kind,
                                   static_cast<int>(module_name.size()), module_name.data(),
                                   static_cast<unsigned>(CodeLocation(failure)), MessageOf(failure).Text);
  if (length < 0 || capacity == 0) return 0;
  return std::min(static_cast<std::size_t>(length), capacity - 1);
}

void WriteFatalReport(const Status& failure) {
  char name[4096];
  char report[sizeof name + kFatalReportOverhead];
  WriteStandardOutput(report, FormatFatalReport(failure, ExecutableName(name, sizeof name), report, sizeof report));
}

}  // namespace kovo
