// The walk that a compile makes through a host tree, written once because
// three passes must take the same path through it: the count of bytes for
// progress, the listing of folders ahead of the writer on a thread of its
// own, and the writer of the image. Each folder is listed by ScanFolder (so
// the image being written is never among its children) and its children are
// visited in list order, depth first. A child folder that is already on the
// path from the root is left out, so that a link loop ends; a folder reached
// by two paths is entered each time and becomes two folders of the image, as
// a disc may hold the same files in two places on purpose.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "compile/folder_scan.h"
#include "support/host.h"

namespace zanthrel {

enum class FolderLevel { kRoot, kBelowRoot };

// A listing can be handed from the thread that made it to the writer while
// the walk that made it still reads it.
using SharedFolderList = std::shared_ptr<const FolderList>;

// The tree that a compile reads.
struct SourceTree {
  Host& host;
  std::string root;  // its real full path
  FileIdentity rootIdentity;
  // Host objects never listed as part of the tree: the image being written.
  std::vector<FileIdentity> excluded;
  // Links that lead out of the root are listed (each a warning) or left out.
  bool outsideLinks = true;
  // The root's listing when it was made before the walk; the walk lists
  // the root afresh when it is null.
  SharedFolderList rootList = {};

  // The listing of one folder of the tree.
  SharedFolderList List(const std::string& path) const;
};

struct WalkFolder {
  std::string path;  // as the host takes it
  SharedFolderList list;
  FolderLevel level;
  // The root of an image with a boot area and each boot-code folder below
  // it ("system" in the root, then "kernel" inside each of them): the
  // folders whose files may have copies in the boot slots.
  bool bootArea;
  // Inside a folder walked before by another path (FolderAgain), whose
  // children have been met already.
  bool again = false;
};

// What one pass does at each step of the walk. `index` is a child's place in
// its folder's listing and `path` its host path. A pass stops the walk by
// answering false.
class TreeVisitor {
 public:
  virtual ~TreeVisitor() = default;
  // The listing of the folder at `path`, the next one the walk enters; a
  // pass that has it already listed gives it here.
  virtual SharedFolderList List(const SourceTree& tree, const std::string& path) {
    return tree.List(path);
  }
  // A folder, listed, before its children.
  virtual bool Enter(const WalkFolder&) { return true; }
  virtual void File(const WalkFolder&, size_t /*index*/, const std::string& /*path*/) {}
  // A child folder that leads back to a folder on the path; it is left out.
  virtual void LinkLoop(const WalkFolder&, size_t /*index*/, const std::string& /*path*/) {}
  // A child folder walked before at `firstPath`, about to be walked again
  // (Descend follows). Only the first of a subtree walked again is told.
  virtual void FolderAgain(const WalkFolder&, size_t /*index*/, const std::string& /*path*/,
                           const std::string& /*firstPath*/) {}
  // A child folder about to be walked, before it is listed.
  virtual void Descend(const WalkFolder&, size_t /*index*/, const std::string& /*path*/) {}
  // Back in the folder after the walk of a child folder.
  virtual bool Ascend(const WalkFolder&) { return true; }
  // A folder after all its children.
  virtual void Leave(const WalkFolder&) {}
};

// Walks the tree. `bootArea` only marks the boot-code folders on the way;
// the path does not depend on it. False when the visitor stopped the walk.
bool WalkTree(const SourceTree& tree, bool bootArea, TreeVisitor& visitor);

}  // namespace zanthrel
