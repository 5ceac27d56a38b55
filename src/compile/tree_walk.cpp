#include "compile/tree_walk.h"

#include <algorithm>
#include <map>

#include "compile/entry_names.h"
#include "support/cp1251.h"
#include "support/text.h"

namespace zanthrel {

namespace {

bool IsBootCodeFolder(const std::string& name, FolderLevel level) {
  return IsSpecialName(name, level == FolderLevel::kRoot ? "system" : "kernel");
}

struct IdentityOrder {
  bool operator()(const FileIdentity& a, const FileIdentity& b) const {
    return a.device != b.device ? a.device < b.device : a.object < b.object;
  }
};

struct WalkState {
  // Folders on the path from the root to the folder being walked.
  std::vector<FileIdentity> onPath;
  // Every folder walked so far, with the path it was first walked at.
  std::map<FileIdentity, std::string, IdentityOrder> walked;
  // Folders on the path that were walked before, each inside the last.
  size_t again = 0;
};

bool Walk(const SourceTree& tree, TreeVisitor& visitor, const WalkFolder& folder, WalkState& state) {
  std::vector<FileIdentity>& onPath = state.onPath;
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
    const auto [first, isNew] = state.walked.try_emplace(item.identity, path);
    if (!isNew && state.again == 0) visitor.FolderAgain(folder, i, path, first->second);
    if (!isNew) ++state.again;
    visitor.Descend(folder, i, path);
    onPath.push_back(item.identity);
    SharedFolderList list = visitor.List(tree, path);
    const bool walked =
        Walk(tree, visitor, {std::move(path), std::move(list), FolderLevel::kBelowRoot, bootArea, state.again > 0},
             state);
    onPath.pop_back();
    if (!isNew) --state.again;
    if (!walked || !visitor.Ascend(folder)) return false;
  }
  visitor.Leave(folder);
  return true;
}

}  // namespace

SharedFolderList SourceTree::List(const std::string& path) const {
  if (rootList && path == root) return rootList;
  return std::make_shared<const FolderList>(ScanFolder(host, path, {excluded, root, outsideLinks}));
}

bool WalkTree(const SourceTree& tree, bool bootArea, TreeVisitor& visitor) {
  WalkState state{{tree.rootIdentity}, {{tree.rootIdentity, tree.root}}, 0};
  const WalkFolder root{tree.root, visitor.List(tree, tree.root), FolderLevel::kRoot, bootArea};
  return Walk(tree, visitor, root, state);
}

}  // namespace zanthrel
