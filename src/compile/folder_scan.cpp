#include "compile/folder_scan.h"

#include <algorithm>
#include <optional>
#include <utility>

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

// Where a link leads when that is out of `root`; nothing when it stays inside
// or cannot be resolved (then it fails as it is read).
std::optional<std::string> OutsideTarget(Host& host, const std::string& link, std::string_view root) {
  const Result<std::string> target = host.RealPath(link);
  if (!target || *target == root || LiesBelow(*target, root)) return std::nullopt;
  return *target;
}

}  // namespace

FolderList ScanFolder(Host& host, const std::string& path, const ScanRules& rules) {
  FolderList list;
  // Each with the child's name, to be told in the order of the children.
  std::vector<std::pair<std::string, std::string>> linkWarnings;
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
    if (std::find(rules.excluded.begin(), rules.excluded.end(), info.identity) != rules.excluded.end()) continue;
    if (info.kind == PathKind::kFolder && child.name[0] == '.') continue;
    if (info.kind == PathKind::kFile && IsTemporaryFileName(child.name)) {
      // What an interrupted compile left behind, where it could leave anything.
      list.problems.push_back(childPath + ": a temporary image of this program, left out");
      continue;
    }
    if (info.kind != PathKind::kFolder && info.kind != PathKind::kFile) {
      // A pipe or a device could block or never end.
      list.problems.push_back(childPath + ": not a regular file, left out");
      continue;
    }
    // A tree from someone else can hold a link to the user's own files.
    if (child.link && !rules.root.empty()) {
      if (const std::optional<std::string> target = OutsideTarget(host, childPath, rules.root)) {
        linkWarnings.emplace_back(child.name, childPath + ": a link to " + *target +
                                                  ", outside the folder being compiled" +
                                                  (rules.outsideLinks ? "" : "; left out"));
        if (!rules.outsideLinks) continue;
      }
    }
    const bool file = info.kind == PathKind::kFile;
    list.items.push_back({!file, child.name, info.identity, file ? info.size : 0,
                          file ? info.modifiedSeconds : 0, file ? info.modifiedNanoseconds : 0});
  }
  std::sort(list.items.begin(), list.items.end(), [](const FolderItem& a, const FolderItem& b) {
    return FolderOrder(a.hostName, b.hostName);
  });
  std::sort(linkWarnings.begin(), linkWarnings.end(),
            [](const auto& a, const auto& b) { return FolderOrder(a.first, b.first); });
  for (auto& [name, warning] : linkWarnings) list.warnings.push_back(std::move(warning));
  return list;
}

}  // namespace zanthrel
