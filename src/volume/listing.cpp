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
  WalkPath walking;
  TreeListing& out;

  // Appends the copy's entries (and all below them) to `out`; on failure `out` is left as it was.
  bool ListCopy(const std::string& path, uint32_t first, uint32_t count, uint32_t size);
  // Lists the first copy of the folder that reads; false when none does.
  bool ListDirectory(const std::string& path, const opera::EntryView& entry);
};

class ListingVisitor : public DirectoryVisitor {
 public:
  ListingVisitor(Lister& lister, const std::string& path) : lister_(lister), path_(path) {}
  void OnBlock(const uint8_t*) override {}
  bool OnEntry(const opera::EntryView& entry) override {
    const std::string name = EntryName(entry);
    std::string path = path_.empty() ? name : path_ + "/" + name;
    // An entry's copy list lies inside its block: every copy it counts is there.
    const CopyList copies = CopiesOf(entry);
    lister_.out.entries.push_back({path, entry.Flags(), entry.ByteCount(), entry.BlockCount(),
                                   copies.count, copies.count > 0 ? copies[0] : 0});
    // A folder that cannot be read is named; the folders beside it still are listed.
    if (entry.IsDirectory() && !lister_.ListDirectory(path, entry)) {
      lister_.out.unreadableFolders.push_back(std::move(path));
    }
    return true;
  }

 private:
  Lister& lister_;
  const std::string& path_;
};

bool Lister::ListCopy(const std::string& path, uint32_t first, uint32_t count, uint32_t size) {
  if (!walking.Enter(first)) return false;
  const size_t entries = out.entries.size(), unreadable = out.unreadableFolders.size();
  ListingVisitor visitor(*this, path);
  const bool complete = WalkDirectoryCopy(source, first, count, size, visitor).end == WalkEnd::kComplete;
  walking.Leave(complete);
  if (!complete) {
    out.entries.resize(entries);
    out.unreadableFolders.resize(unreadable);
  }
  return complete;
}

bool Lister::ListDirectory(const std::string& path, const opera::EntryView& entry) {
  const CopyList copies = CopiesOf(entry);
  for (uint32_t i = 0; i < copies.count; ++i) {
    if (ListCopy(path, copies[i], entry.BlockCount(), entry.BlockSize())) return true;
  }
  return false;
}

}  // namespace

bool ListTree(ImageSource& source, TreeListing& listing) {
  const std::optional<Label> label = ReadLabel(source);
  if (!label) return false;
  const opera::LabelView view = label->View();
  const CopyList rootCopies = label->RootCopies();
  Lister lister{source, {}, listing};
  for (uint32_t i = 0; i < rootCopies.count; ++i) {
    if (lister.ListCopy("", rootCopies[i], view.RootBlockCount(), view.RootBlockSize())) return true;
  }
  return false;
}

}  // namespace zanthrel
