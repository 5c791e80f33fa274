#include "directory/directory_file.h"

#include "directory/signal_hold.h"

namespace kovo {
namespace {

int ShortTransferCode(const IoResult& result, int short_code) {
  return result.ok() ? short_code : result.Code;
}

// Best effort: the store is already failing, so nothing here is reported.
void PutBackLoadedBytes(FileSystem& files, FileHandle handle, const DirectoryImage& loaded,
                        std::size_t changed) {
  if (changed == 0) return;
  (void)files.WriteAt(handle, 0, loaded.Bytes(), changed);
  (void)files.Sync(handle);
}

StoreResult CloseAfterFailure(FileSystem& files, FileHandle handle, StoreStep step, int code) {
  (void)files.Close(handle);
  return StoreResult{step, code};
}

}  // namespace

DirectoryFile::~DirectoryFile() {
  if (handle_ != kNoFile) (void)files_.Close(handle_);
}

FileHandle DirectoryFile::Release() {
  const FileHandle handle = handle_;
  handle_ = kNoFile;
  return handle;
}

LoadResult LoadDirectory(DirectoryFile& file, DirectoryImage& image) {
  const OpenResult opened = file.Files().OpenExisting(file.Name());
  if (!opened.ok()) return LoadResult{LoadStep::Open, opened.Code};
  file.Adopt(opened.Handle);

  const IoResult read = file.Files().Read(opened.Handle, image.Bytes(), kImageSize);
  if (!read.ok() || read.Count != kImageSize)
    return LoadResult{LoadStep::Read, ShortTransferCode(read, kShortRead)};
  return LoadResult{};
}

StoreResult StoreDirectory(DirectoryFile& file, const DirectoryImage& work,
                           const DirectoryImage& loaded) {
  FileSystem& files = file.Files();
  if (file.Handle() != kNoFile) {
    const IoResult closed = files.Close(file.Release());
    if (!closed.ok()) return StoreResult{StoreStep::Reopen, closed.Code};
  }
  const OpenResult opened = files.OpenExisting(file.Name());
  if (!opened.ok()) return StoreResult{StoreStep::Reopen, opened.Code};
  const FileHandle handle = opened.Handle;

  const SignalHold hold;
  const IoResult written = files.WriteAt(handle, 0, work.Bytes(), kImageSize);
  if (!written.ok() || written.Count != kImageSize) {
    PutBackLoadedBytes(files, handle, loaded, written.Count);
    return CloseAfterFailure(files, handle, StoreStep::Write,
                             ShortTransferCode(written, kShortWrite));
  }
  const IoResult synced = files.Sync(handle);
  if (!synced.ok()) {
    PutBackLoadedBytes(files, handle, loaded, kImageSize);
    return CloseAfterFailure(files, handle, StoreStep::Sync, synced.Code);
  }
  const IoResult closed = files.Close(handle);
  if (!closed.ok()) return StoreResult{StoreStep::Close, closed.Code};
  return StoreResult{};
}

}  // namespace kovo
