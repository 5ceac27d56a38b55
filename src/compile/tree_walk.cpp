#include "compile/tree_walk.h"

#include <algorithm>

#include "compile/entry_names.h"
#include "support/cp1251.h"
#include "support/text.h"

namespace zanthrel {

namespace {

bool IsBootCodeFolder(const std::string& name, FolderLevel level) {
  return IsSpecialName(name, level == FolderLevel::kRoot ? "system" : "kernel");
}

// Folders on the path from the root to the folder being walked.
using FolderPath = std::vector<FileIdentity>;

bool Walk(const SourceTree& tree, TreeVisitor& visitor, const WalkFolder& folder, FolderPath& onPath) {
  if (!visitor.Enter(folder)) return false;
  const std::vector<FolderItem>& items = folder.list->items;
  for (size_t i = 0; i < items.size(); ++i) {
    const FolderItem& item = items[i];
    std::string path = JoinPath(folder.path, item.hostName);
    if (!item.isDirectory) {
      visitor.File(folder, i, path);
      continue;
    }
    if (std::find(onPath.begin(), onPath.end(), item.identity) != onPath.end()) {
      visitor.LinkLoop(folder, i, path);
      continue;
    }
    const bool bootArea = folder.bootArea && IsBootCodeFolder(Utf8ToCp1251(item.hostName), folder.level);
    visitor.Descend(folder, i, path);
    onPath.push_back(item.identity);
    SharedFolderList list = visitor.List(tree, path);
    const bool walked =
        Walk(tree, visitor, {std::move(path), std::move(list), FolderLevel::kBelowRoot, bootArea}, onPath);
    onPath.pop_back();
    if (!walked || !visitor.Ascend(folder)) return false;
  }
  visitor.Leave(folder);
  return true;
}

}  // namespace

SharedFolderList SourceTree::List(const std::string& path) const {
  return std::make_shared<const FolderList>(ScanFolder(host, path, excluded));
}

bool WalkTree(const SourceTree& tree, bool bootArea, TreeVisitor& visitor) {
  FolderPath onPath{tree.rootIdentity};
  const WalkFolder root{tree.root, visitor.List(tree, tree.root), FolderLevel::kRoot, bootArea};
  return Walk(tree, visitor, root, onPath);
}

}  // namespace zanthrel
