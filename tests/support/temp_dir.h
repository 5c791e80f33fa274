// A temporary folder removed with its contents at the end of the test, a
// working folder for the rest of a scope, and whole-file reads and writes.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace kovo::testing {

class TempDir {
 public:
  TempDir() {
    const auto base = std::filesystem::temp_directory_path();
    do {
      path_ = (base / ("kovo-test-" + std::to_string(std::random_device()()))).string();
    } while (!std::filesystem::create_directory(path_));
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

class ScopedWorkingDirectory {
 public:
  explicit ScopedWorkingDirectory(const std::string& path) { std::filesystem::current_path(path); }
  ~ScopedWorkingDirectory() { std::filesystem::current_path(previous_); }

 private:
  const std::filesystem::path previous_ = std::filesystem::current_path();
};

inline void WriteFileBytes(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

inline std::string ReadFileBytes(const std::string& path) {  // empty when missing
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace kovo::testing
