// One run of the utility: the switch, the banner, load, pack, sort when
// asked, store, and one status line per phase.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/fatal_report.h"
#include "console/standard_output.h"
#include "directory/directory_entry.h"
#include "directory/file_system.h"
#include "directory/store_journal.h"

namespace kovo {

struct ImageRelease {
  void operator()(DirectoryImage* image) const;
  void operator()(StoreScratch* scratch) const;
};
using ImagePtr = std::unique_ptr<DirectoryImage, ImageRelease>;
using ScratchPtr = std::unique_ptr<StoreScratch, ImageRelease>;

// Hands out a zero-filled image, or nothing when memory runs out. It takes
// the memory with calloc: operator new, even its nothrow form, reports
// exhaustion with an exception, and an exception needs memory of its own.
using ImageAllocator = std::function<ImagePtr()>;
ImagePtr AllocateImage();
// The store's working memory, taken with the images; nothing when it runs out.
ScratchPtr AllocateScratch();

struct RunOutcome {
  int ExitStatus = 0;
  std::optional<FatalFailure> Fatal;  // to be reported before the process ends
};

struct RunContext {
  Console& Display;
  FileSystem& Files;
  ImageAllocator Allocate = AllocateImage;
  std::uint32_t PhasePauseMs = 150;
};

RunOutcome RunMaintenance(RunContext& context, const std::optional<std::string>& argument);

void ShowBanner(Console& console);

}  // namespace kovo
