// The fuzz input as a file of its own, for the readers that open files
// through the host: written into one temporary folder per process.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace zanthrel::fuzz {

inline std::string WriteInput(const uint8_t* data, size_t size) {
  static const std::filesystem::path folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "zanthrel-fuzz-XXXXXX").string();
    return std::filesystem::path(mkdtemp(pattern.data()));
  }();
  const std::string path = (folder / "input").string();
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), std::streamsize(size));
  return path;
}

}  // namespace zanthrel::fuzz
