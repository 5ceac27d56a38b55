// Any byte string as a path and an image: the first byte gives the path's
// length, the path follows, the rest is the image. The path is looked up, then
// the tree is walked as a browser of the mount would, up to a bound. Every
// name must be one that stays inside its folder, and the cache within its bound.
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>

#include "mount/disc_index.h"
#include "source/image_source.h"

namespace fs = std::filesystem;

namespace {

const fs::path& ImagePath() {
  static const fs::path path = [] {
    std::string pattern = (fs::temp_directory_path() / "zanthrel-fuzz-mount-XXXXXX").string();
    return fs::path(mkdtemp(pattern.data())) / "image.iso";
  }();
  return path;
}

constexpr size_t kCacheBytes = 64 * 1024;
constexpr int kMaxPaths = 300;

void CheckName(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
      name.find('\0') != std::string::npos) {
    std::abort();
  }
}

void Browse(zanthrel::DiscIndex& index) {
  std::deque<std::string> folders = {"/"};
  uint8_t bytes[4096];
  for (int visited = 0; !folders.empty() && visited < kMaxPaths; ++visited) {
    const std::string folder = folders.front();
    folders.pop_front();
    const auto listing = index.List(folder);
    if (!listing) continue;
    for (const auto& [name, node] : (*listing)->children) {
      CheckName(name);
      const std::string path = (folder == "/" ? "" : folder) + "/" + name;
      if (node.folder) {
        folders.push_back(path);
      } else {
        const auto found = index.Lookup(path);
        if (!found) std::abort();
        (void)index.Read(*found, 0, bytes, sizeof bytes);
        (void)index.Read(*found, found->size > 100 ? found->size - 100 : 0, bytes, sizeof bytes);
      }
    }
    if (index.CachedBytes() > kCacheBytes) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t pathLength = std::min<size_t>(data[0], size - 1);
  const std::string path(reinterpret_cast<const char*>(data + 1), pathLength);
  std::ofstream(ImagePath(), std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data + 1 + pathLength), std::streamsize(size - 1 - pathLength));

  zanthrel::ImageSource source;
  if (zanthrel::OpenImageFile(source, ImagePath().string())) {
    auto index = zanthrel::DiscIndex::Open(source, {.allCopies = (data[0] & 1) != 0, .cacheBytes = kCacheBytes});
    if (index) {
      (void)(*index)->Lookup(path);
      (void)(*index)->List(path);
      Browse(**index);
    }
  }
  return 0;
}
