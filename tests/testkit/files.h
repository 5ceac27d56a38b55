// Reading and writing whole test files, plain and gzip-compressed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace zanthrel::testkit {

using Bytes = std::vector<uint8_t>;

// A path held in UTF-8, as the program holds paths on every host.
std::filesystem::path PathOf(const std::string& utf8);
// The path in UTF-8, with the host's separators.
std::string Utf8Of(const std::filesystem::path& path);
// A path written with "/" between its parts, with the host's separator instead.
std::string HostPath(std::string path);

void WriteBytes(const std::string& path, const Bytes& bytes);
void WriteText(const std::string& path, const std::string& text);
void WriteGzip(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);
std::string ReadText(const std::string& path);
Bytes Pattern(size_t size, uint32_t seed);
Bytes Concat(const Bytes& front, const Bytes& back);
// The `n` bytes from `at` on.
Bytes Slice(const Bytes& bytes, size_t at, size_t n);
// Every folder and regular file below `root`, by relative path with "/"
// between its parts on every host: folders with a trailing "/" and no
// content, files with their content.
std::map<std::string, std::string> TreeOf(const std::string& root);
// Every folder and file below `folder`, by relative path with "/" between its
// parts, sorted.
std::vector<std::string> NamesBelow(const std::filesystem::path& folder);
// The warning of a compile with the boot area of a folder that holds none of
// the files a bootable disc needs, the folder named by its real path.
std::string NoBootFilesWarning(const std::string& folder);
// Wraps 2048-byte sectors into raw 2352-byte sectors (user data at byte 16).
Bytes RawFraming(const Bytes& userData);

}  // namespace zanthrel::testkit
