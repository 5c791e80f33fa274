#include "support/faulty_file_system.h"

#include <algorithm>

namespace kovo::testing {

const char* FileCallName(FileCall call) {
  switch (call) {
    case FileCall::Open: return "open";
    case FileCall::Read: return "read";
    case FileCall::Write: return "write";
    case FileCall::Sync: return "sync";
    case FileCall::Close: return "close";
    case FileCall::Describe: return "describe";
    case FileCall::Lock: return "lock";
    case FileCall::Create: return "create";
    case FileCall::SyncFolder: return "sync-folder";
    case FileCall::Remove: return "remove";
  }
  return "?";
}

namespace {

// Runs the fault's own action, if any, and returns the code it reports.
int Strike(const Fault& fault) {
  if (fault.Then) fault.Then();
  return fault.Code;
}

}  // namespace

std::optional<Fault> FaultyFileSystem::Take(FileCall call) {
  calls_.push_back(FileCallName(call));
  const int seen = ++seen_[static_cast<int>(call)];
  if (fault_ && fault_->Call == call && fault_->Occurrence == seen) return fault_;
  return std::nullopt;
}

OpenResult FaultyFileSystem::OpenExisting(const char* name) {
  if (const auto fault = Take(FileCall::Open)) return OpenResult{Strike(*fault), kNoFile};
  const OpenResult result = real_.OpenExisting(name);
  if (result.ok()) ++open_handles_;
  return result;
}

IoResult FaultyFileSystem::Read(FileHandle file, void* buffer, std::size_t size) {
  if (const auto fault = Take(FileCall::Read)) {
    const IoResult partial = real_.Read(file, buffer, std::min(size, fault->Count));
    return IoResult{Strike(*fault), partial.Count};
  }
  return real_.Read(file, buffer, size);
}

IoResult FaultyFileSystem::WriteAt(FileHandle file, std::uint64_t offset, const void* data,
                                   std::size_t size) {
  if (const auto fault = Take(FileCall::Write)) {
    const IoResult partial = real_.WriteAt(file, offset, data, std::min(size, fault->Count));
    return IoResult{Strike(*fault), partial.Count};
  }
  return real_.WriteAt(file, offset, data, size);
}

IoResult FaultyFileSystem::Sync(FileHandle file) {
  if (const auto fault = Take(FileCall::Sync)) return IoResult{Strike(*fault), 0};
  return real_.Sync(file);
}

IoResult FaultyFileSystem::Close(FileHandle file) {
  --open_handles_;
  const IoResult closed = real_.Close(file);
  if (const auto fault = Take(FileCall::Close)) return IoResult{Strike(*fault), 0};
  return closed;
}

DescribeResult FaultyFileSystem::Describe(FileHandle file) {
  if (const auto fault = Take(FileCall::Describe)) return DescribeResult{Strike(*fault), {}, 0};
  return real_.Describe(file);
}

DescribeResult FaultyFileSystem::DescribeName(const char* name) {
  if (const auto fault = Take(FileCall::Describe)) return DescribeResult{Strike(*fault), {}, 0};
  return real_.DescribeName(name);
}

IoResult FaultyFileSystem::Lock(FileHandle file, LockMode mode) {
  if (const auto fault = Take(FileCall::Lock)) return IoResult{Strike(*fault), 0};
  return real_.Lock(file, mode);
}

OpenResult FaultyFileSystem::CreateNew(const char* name) {
  if (const auto fault = Take(FileCall::Create)) return OpenResult{Strike(*fault), kNoFile};
  const OpenResult result = real_.CreateNew(name);
  if (result.ok()) ++open_handles_;
  return result;
}

IoResult FaultyFileSystem::SyncFolder(const char* name) {
  if (const auto fault = Take(FileCall::SyncFolder)) return IoResult{Strike(*fault), 0};
  return real_.SyncFolder(name);
}

IoResult FaultyFileSystem::Remove(const char* name) {
  if (const auto fault = Take(FileCall::Remove)) return IoResult{Strike(*fault), 0};
  return real_.Remove(name);
}

}  // namespace kovo::testing
