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

  // Appends the copy's entries (and all below them) to `out`; on failure `out` is left as it was.
  bool ListCopy(const std::string& path, uint32_t first, uint32_t count, uint32_t size,
                std::vector<ListedEntry>& out);
  bool ListDirectory(const std::string& path, const opera::EntryView& entry,
                     std::vector<ListedEntry>& out);
};

class ListingVisitor : public DirectoryVisitor {
 public:
  ListingVisitor(Lister& lister, const std::string& path, std::vector<ListedEntry>& out)
      : lister_(lister), path_(path), out_(out) {}
  void OnBlock(const uint8_t*) override {}
  bool OnEntry(const opera::EntryView& entry) override {
    const std::string name = EntryName(entry);
    std::string path = path_.empty() ? name : path_ + "/" + name;
    // An entry's copy list lies inside its block: every copy it counts is there.
    const CopyList copies = CopiesOf(entry);
    out_.push_back({path, entry.Flags(), entry.ByteCount(), entry.BlockCount(), copies.count,
                    copies.count > 0 ? copies[0] : 0});
    return !entry.IsDirectory() || lister_.ListDirectory(path, entry, out_);
  }

 private:
  Lister& lister_;
  const std::string& path_;
  std::vector<ListedEntry>& out_;
};

bool Lister::ListCopy(const std::string& path, uint32_t first, uint32_t count, uint32_t size,
                      std::vector<ListedEntry>& out) {
  if (!walking.Enter(first)) return false;
  const size_t mark = out.size();
  ListingVisitor visitor(*this, path, out);
  const bool complete = WalkDirectoryCopy(source, first, count, size, visitor).end == WalkEnd::kComplete;
  walking.Leave(complete);
  if (!complete) out.resize(mark);
  return complete;
}

bool Lister::ListDirectory(const std::string& path, const opera::EntryView& entry,
                           std::vector<ListedEntry>& out) {
  const CopyList copies = CopiesOf(entry);
  for (uint32_t i = 0; i < copies.count; ++i) {
    if (ListCopy(path, copies[i], entry.BlockCount(), entry.BlockSize(), out)) return true;
  }
  return false;
}

}  // namespace

bool ListTree(ImageSource& source, std::vector<ListedEntry>& entries) {
  const std::optional<Label> label = ReadLabel(source);
  if (!label) return false;
  const opera::LabelView view = label->View();
  const CopyList rootCopies = label->RootCopies();
  Lister lister{source, {}};
  for (uint32_t i = 0; i < rootCopies.count; ++i) {
    if (lister.ListCopy("", rootCopies[i], view.RootBlockCount(), view.RootBlockSize(), entries)) return true;
  }
  return false;
}

}  // namespace zanthrel
