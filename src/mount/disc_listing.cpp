#include "mount/disc_listing.h"

#include "opera/records.h"
#include "support/cp1251.h"
#include "support/host_names.h"
#include "volume/entry.h"
#include "volume/walk.h"

namespace zanthrel {

namespace {

DiscNode NodeOf(const opera::EntryView& entry, const VolumeExtent& volume) {
  DiscNode node;
  node.folder = entry.IsDirectory();
  node.size = node.folder ? 0 : FileBytes(entry, volume);
  node.blockSize = entry.BlockSize();
  node.blockCount = entry.BlockCount();
  node.type = entry.Field(opera::entry::kType);
  // A file is read from no more copies than decompile tries.
  node.copies = (node.folder ? CopiesOf(entry) : HandledCopiesOf(entry)).Blocks();
  return node;
}

size_t CostOf(const std::string& name, const DiscNode& node) {
  return sizeof(DiscNode) + 64 + name.size() + node.copies.size() * sizeof(uint32_t);
}

class ListingVisitor : public DirectoryVisitor {
 public:
  ListingVisitor(DiscListing& listing, const ListingOptions& options, bool root)
      : listing_(listing), options_(options), root_(root), names_(kThisHostRules, options.names) {}

  void OnBlock(const uint8_t*) override {}

  bool OnEntry(const opera::EntryView& entry) override {
    const std::string name = EntryName(entry);
    if (entry.IsDirectory()) {
      return Add(TextAsUtf8(names_.FolderName(name), options_.names), NodeOf(entry, options_.volume));
    }
    // Decompile leaves the root's label entry out.
    if (root_ && IsDiscLabelName(name)) return true;
    const std::string hostName = TextAsUtf8(names_.FileName(name), options_.names);
    DiscNode node = NodeOf(entry, options_.volume);
    if (!options_.allCopies || node.copies.size() < 2) return Add(hostName, std::move(node));
    for (size_t i = 0; i < node.copies.size(); ++i) {
      DiscNode copy = node;
      copy.copies = {node.copies[i]};
      copy.size = FileBytesFrom(entry, options_.volume, node.copies[i]);
      if (!Add(hostName + ";" + std::to_string(i + 1), std::move(copy))) return false;
    }
    return true;
  }

 private:
  // A later entry of the same host name (a copy's "name;2" met by a disc name)
  // replaces the earlier.
  bool Add(const std::string& name, DiscNode node) {
    if (auto old = listing_.children.find(name); old != listing_.children.end()) {
      listing_.cost -= CostOf(old->first, old->second);
    }
    listing_.cost += CostOf(name, node);
    listing_.children.insert_or_assign(name, std::move(node));
    return listing_.cost <= options_.maxCost;
  }

  DiscListing& listing_;
  const ListingOptions& options_;
  const bool root_;
  // The names decompile gives, so that a copy of the mount is a decompile.
  FolderHostNames names_;
};

}  // namespace

std::shared_ptr<const DiscListing> ListFolder(ImageSource& source, const DiscNode& node,
                                              const std::vector<uint32_t>& pathBlocks,
                                              const ListingOptions& options) {
  // The folders above were listed before; a copy among them leads back up.
  WalkPath walking;
  walking.EnterLevel(pathBlocks);
  for (uint32_t copy : node.copies) {
    if (!walking.Enter(copy)) continue;
    auto listing = std::make_shared<DiscListing>();
    listing->firstBlock = copy;
    ListingVisitor visitor(*listing, options, pathBlocks.empty());
    const bool complete =
        WalkDirectoryCopy(source, copy, node.blockCount, node.blockSize, visitor).end == WalkEnd::kComplete;
    walking.Leave(complete);
    if (complete) return listing;
  }
  return nullptr;
}

}  // namespace zanthrel
