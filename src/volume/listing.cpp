#include "volume/listing.h"

#include <optional>

#include "opera/records.h"
#include "volume/entry.h"
#include "volume/label.h"
#include "volume/walk.h"

namespace zanthrel {

namespace {

struct Lister {
  ImageSource& source;
  const ListingReceiver& receiver;
  VolumeExtent volume;
  WalkPath walking;
  std::string path;  // of the directory being walked, Opera names joined by "/"

  // Hands over the copy's entries (and all below them) when its blocks read whole.
  bool ListCopy(uint32_t first, uint32_t count, uint32_t size);
  // Lists the first copy of the folder that reads; false when none does.
  bool ListDirectory(const opera::EntryView& entry);
};

// Walks a copy's own blocks and nothing below them.
class ReadabilityCheck : public DirectoryVisitor {
 public:
  void OnBlock(const uint8_t*) override {}
  bool OnEntry(const opera::EntryView&) override { return true; }
};

class ListingVisitor : public DirectoryVisitor {
 public:
  explicit ListingVisitor(Lister& lister) : lister_(lister) {}
  void OnBlock(const uint8_t*) override {}
  bool OnEntry(const opera::EntryView& entry) override {
    std::string& path = lister_.path;
    const size_t parent = path.size();
    if (parent != 0) path += '/';
    path += EntryName(entry);
    // An entry's copy list lies inside its block: every copy it counts is there.
    const CopyList copies = CopiesOf(entry);
    const auto* type = reinterpret_cast<const char*>(entry.Bytes() + opera::entry::kType);
    lister_.receiver.entry({path, entry.Flags(), entry.ByteCount(), entry.BlockCount(), copies.count,
                            copies.count > 0 ? copies[0] : 0, entry.Field(opera::entry::kUniqueId),
                            std::string(type, 4), copies.Blocks(), entry.BlockSize(),
                            entry.Field(opera::entry::kBurst), entry.Field(opera::entry::kGap),
                            entry.IsDirectory() ? 0 : FileBytes(entry, lister_.volume)});
    // A folder that cannot be read is named; the folders beside it still are listed.
    if (entry.IsDirectory() && !lister_.ListDirectory(entry)) lister_.receiver.unreadableFolder(path);
    path.resize(parent);
    return true;
  }

 private:
  Lister& lister_;
};

bool Lister::ListCopy(uint32_t first, uint32_t count, uint32_t size) {
  if (!walking.Enter(first)) return false;
  ReadabilityCheck check;
  const bool readable = WalkDirectoryCopy(source, first, count, size, check).end == WalkEnd::kComplete;
  ListingVisitor visitor(*this);
  const bool complete =
      readable && WalkDirectoryCopy(source, first, count, size, visitor).end == WalkEnd::kComplete;
  walking.Leave(complete);
  return complete;
}

bool Lister::ListDirectory(const opera::EntryView& entry) {
  const CopyList copies = CopiesOf(entry);
  for (uint32_t i = 0; i < copies.count; ++i) {
    if (ListCopy(copies[i], entry.BlockCount(), entry.BlockSize())) return true;
  }
  return false;
}

}  // namespace

bool ListTree(ImageSource& source, const ListingReceiver& receiver) {
  const std::optional<Label> label = ReadLabel(source);
  if (!label) return false;
  const opera::LabelView view = label->View();
  const CopyList rootCopies = label->RootCopies();
  Lister lister{source, receiver, VolumeExtentOf(view), {}, {}};
  for (uint32_t i = 0; i < rootCopies.count; ++i) {
    if (lister.ListCopy(rootCopies[i], view.RootBlockCount(), view.RootBlockSize())) return true;
  }
  return false;
}

bool ListTree(ImageSource& source, TreeListing& listing) {
  return ListTree(source, {[&listing](const ListedEntry& entry) { listing.entries.push_back(entry); },
                           [&listing](const std::string& folder) { listing.unreadableFolders.push_back(folder); }});
}

}  // namespace zanthrel
