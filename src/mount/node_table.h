// The numbers the mount gives the kernel for the paths it is told of. A path
// keeps its number while the kernel holds it: each answer that names it
// counts once, each forget takes its count off, and at zero it is dropped, so
// the table holds no more than the kernel's own cache of names. Numbers are
// never given twice, so a late forget can never drop a newer node.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "mount/disc_listing.h"

namespace zanthrel {

struct KnownNode {
  std::string path;  // "/" or "/" followed by names joined by "/"
  DiscNode node;
  uint64_t lookups = 0;
};

class NodeTable {
 public:
  static constexpr uint64_t kRoot = 1;  // what the kernel calls the root, never forgotten

  explicit NodeTable(DiscNode root);

  // The number of `path`, given to the kernel once more.
  uint64_t Tell(const std::string& path, const DiscNode& node);
  // The number of `path` while the kernel holds it, else 0.
  uint64_t NumberOf(const std::string& path) const;
  // Null for a number the kernel has forgotten or was never given.
  const KnownNode* Find(uint64_t number) const;
  void Forget(uint64_t number, uint64_t count);
  size_t Size() const { return nodes_.size(); }

 private:
  std::unordered_map<uint64_t, KnownNode> nodes_;
  std::unordered_map<std::string, uint64_t> numbers_;
  uint64_t next_ = kRoot + 1;
};

// `path` of a folder with `name` below it.
std::string ChildPath(const std::string& folder, const std::string& name);

}  // namespace zanthrel
