// Pack plus sort of a full image whose first fields stand in reverse order:
// the sort's worst case, every comparison building both keys afresh.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>

#include "directory/maintenance_passes.h"

namespace {

kovo::DirectoryImage ReverseOrderedImage() {
  kovo::DirectoryImage image{};
  for (int slot = 1; slot <= kovo::kSlotCount; ++slot) {
    kovo::DirectoryEntry& entry = image.Slot(slot);
    char name[61];
    std::snprintf(name, sizeof name, "entry number %03d with a long shared prefix of text",
                  kovo::kSlotCount - slot);
    entry.Field1.Length = static_cast<std::uint8_t>(std::strlen(name));
    std::memcpy(entry.Field1.Text, name, entry.Field1.Length);
    entry.Field2.Length = 1;
    entry.Field2.Text[0] = 'x';
  }
  return image;
}

void PackAndSortFullReversedImage(benchmark::State& state) {
  const kovo::DirectoryImage load = ReverseOrderedImage();
  for (auto _ : state) {
    kovo::DirectoryImage work{};
    const int kept = kovo::PackEntries(load, work);
    kovo::SortEntries(work, kept);
    benchmark::DoNotOptimize(work);
  }
}
BENCHMARK(PackAndSortFullReversedImage)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
