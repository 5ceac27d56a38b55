#include "compile/folder_scan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "support/text.h"

namespace zanthrel {

namespace {

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

// ASCII letters folded to upper case, ties broken by the raw bytes.
bool FolderOrder(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const uint8_t x = uint8_t(FoldAscii(a[i])), y = uint8_t(FoldAscii(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

}  // namespace

FolderList ScanFolder(const std::string& path, const std::vector<HostObject>& excluded) {
  FolderList list;
  std::unique_ptr<DIR, DirCloser> dir(opendir(path.c_str()));
  if (!dir) {
    list.problems.push_back(path + ": folder cannot be listed (" + std::strerror(errno) + ")");
    return list;
  }
  while (dirent* child = readdir(dir.get())) {
    const std::string name = child->d_name;
    if (name == "." || name == "..") continue;
    const std::string childPath = JoinPath(path, name);
    struct stat info;
    if (stat(childPath.c_str(), &info) != 0) {
      list.problems.push_back(childPath + ": cannot be read (" + std::strerror(errno) + ")");
      continue;
    }
    const HostObject object{info.st_dev, info.st_ino};
    if (std::find(excluded.begin(), excluded.end(), object) != excluded.end()) continue;
    if (S_ISDIR(info.st_mode)) {
      if (name[0] == '.') continue;
      list.items.push_back({true, name, object, 0});
    } else if (S_ISREG(info.st_mode)) {
      list.items.push_back({false, name, object, uint64_t(info.st_size)});
    } else {
      // A pipe or a device could block or never end.
      list.problems.push_back(childPath + ": not a regular file, left out");
    }
  }
  std::sort(list.items.begin(), list.items.end(), [](const FolderItem& a, const FolderItem& b) {
    return FolderOrder(a.hostName, b.hostName);
  });
  return list;
}

}  // namespace zanthrel
