#include "compile/folder_scan.h"

#include <algorithm>

#include "support/text.h"

namespace zanthrel {

namespace {

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

// Fixed: ASCII letters folded to upper case, ties broken by the raw bytes, so
// that one folder gives the same image on every host and in every run.
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

FolderList ScanFolder(Host& host, const std::string& path, const std::vector<FileIdentity>& excluded) {
  FolderList list;
  Result<std::vector<FolderChild>> children = host.ListFolder(path);
  if (!children) {
    list.problems.push_back(path + ": folder cannot be listed (" + ErrorText(children.Failure().code) + ")");
    return list;
  }
  for (const FolderChild& child : *children) {
    const std::string childPath = JoinPath(path, child.name);
    if (!child.info) {
      list.problems.push_back(childPath + ": cannot be read (" + ErrorText(child.info.Failure().code) + ")");
      continue;
    }
    const PathInfo& info = *child.info;
    if (std::find(excluded.begin(), excluded.end(), info.identity) != excluded.end()) continue;
    if (info.kind == PathKind::kFolder) {
      if (child.name[0] == '.') continue;
      list.items.push_back({true, child.name, info.identity, 0, 0, 0});
    } else if (info.kind == PathKind::kFile && IsTemporaryFileName(child.name)) {
      // What an interrupted compile left behind, where it could leave anything.
      list.problems.push_back(childPath + ": a temporary image of this program, left out");
    } else if (info.kind == PathKind::kFile) {
      list.items.push_back(
          {false, child.name, info.identity, info.size, info.modifiedSeconds, info.modifiedNanoseconds});
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
