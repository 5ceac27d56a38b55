#include "testkit/files.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "support/text.h"

namespace zanthrel::testkit {

std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string text = std::filesystem::path(path).make_preferred().u8string();
  return std::string(text.begin(), text.end());
}

std::string HostPath(std::string path) {
  std::replace(path.begin(), path.end(), '/', kPathSeparator);
  return path;
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, Bytes(text.begin(), text.end()));
}

void WriteGzip(const std::string& path, const Bytes& bytes) {
#ifdef _WIN32
  gzFile out = gzopen_w(PathOf(path).c_str(), "wb1");
#else
  gzFile out = gzopen(path.c_str(), "wb1");
#endif
  if (!out) throw std::runtime_error("cannot write " + path);
  size_t done = 0;
  while (done < bytes.size()) {
    unsigned n = unsigned(std::min<size_t>(bytes.size() - done, 1 << 20));
    gzwrite(out, bytes.data() + done, n);
    done += n;
  }
  gzclose(out);
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(PathOf(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::string& path) {
  Bytes bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

std::map<std::string, std::string> TreeOf(const std::string& root) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> tree;
  for (const auto& item : fs::recursive_directory_iterator(PathOf(root))) {
    const std::u8string generic = fs::relative(item.path(), PathOf(root)).generic_u8string();
    const std::string relative(generic.begin(), generic.end());
    if (item.is_directory()) {
      tree[relative + "/"] = "";
    } else if (item.is_regular_file()) {
      tree[relative] = ReadText(Utf8Of(item.path()));
    }
  }
  return tree;
}

std::vector<std::string> NamesBelow(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> names;
  for (const auto& item : fs::recursive_directory_iterator(folder)) {
    names.push_back(fs::relative(item.path(), folder).generic_string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string NoBootFilesWarning(const std::string& folder) {
  return Utf8Of(std::filesystem::canonical(PathOf(folder))) +
         ": the image will not boot; missing: LaunchMe, rom_tags, bannerscreen, system/kernel/boot_code, "
         "system/kernel/os_code, system/kernel/misc_code";
}

Bytes Pattern(size_t size, uint32_t seed) {
  Bytes bytes(size);
  uint32_t state = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    state = state * 1664525u + 1013904223u;
    b = uint8_t(state >> 24);
  }
  return bytes;
}

Bytes Concat(const Bytes& front, const Bytes& back) {
  Bytes joined(front.size() + back.size());
  if (!front.empty()) std::memcpy(joined.data(), front.data(), front.size());
  if (!back.empty()) std::memcpy(joined.data() + front.size(), back.data(), back.size());
  return joined;
}

Bytes Slice(const Bytes& bytes, size_t at, size_t n) {
  return Bytes(bytes.begin() + long(at), bytes.begin() + long(at + n));
}

Bytes RawFraming(const Bytes& userData) {
  Bytes raw((userData.size() + 2047) / 2048 * 2352, 0);
  for (size_t at = 0; at < userData.size(); at += 2048) {
    uint8_t* sector = raw.data() + at / 2048 * 2352;
    for (int i = 1; i < 11; ++i) sector[size_t(i)] = 0xFF;  // sync pattern
    sector[15] = 1;                                          // mode 1
    size_t n = std::min<size_t>(2048, userData.size() - at);
    std::memcpy(sector + 16, userData.data() + at, n);
  }
  return raw;
}

}  // namespace zanthrel::testkit
