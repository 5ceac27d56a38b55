#include "mount/node_table.h"

#include <algorithm>
#include <utility>

namespace zanthrel {

NodeTable::NodeTable(DiscNode root) {
  nodes_.emplace(kRoot, KnownNode{"/", std::move(root), 1});
  numbers_.emplace("/", kRoot);
}

uint64_t NodeTable::Tell(const std::string& path, const DiscNode& node) {
  auto [known, added] = numbers_.try_emplace(path, next_);
  if (added) nodes_.emplace(next_++, KnownNode{path, node, 0});
  ++nodes_.at(known->second).lookups;
  return known->second;
}

uint64_t NodeTable::NumberOf(const std::string& path) const {
  const auto found = numbers_.find(path);
  return found == numbers_.end() ? 0 : found->second;
}

const KnownNode* NodeTable::Find(uint64_t number) const {
  const auto found = nodes_.find(number);
  return found == nodes_.end() ? nullptr : &found->second;
}

void NodeTable::Forget(uint64_t number, uint64_t count) {
  if (number == kRoot) return;
  const auto found = nodes_.find(number);
  if (found == nodes_.end()) return;
  KnownNode& known = found->second;
  known.lookups -= std::min(count, known.lookups);
  if (known.lookups > 0) return;
  numbers_.erase(known.path);
  nodes_.erase(found);
}

std::string ChildPath(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

}  // namespace zanthrel
