#include "volume/listing.h"

#include <optional>

#include "opera/records.h"
#include "support/text.h"
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
  bool OnEntry(const opera::EntryView& entry, bool whole) override {
    if (!whole) return false;
    std::string name = FieldText(entry.NameField(), opera::entry::kNameWidth);
    std::string path = path_.empty() ? name : path_ + "/" + name;
    const uint32_t copies = entry.LastCopyIndex() + 1;
    out_.push_back({path, entry.Flags(), entry.ByteCount(), entry.BlockCount(), copies,
                    copies > 0 ? entry.Copy(0) : 0});
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
  const uint32_t copies = opera::CopiesToUse(entry.LastCopyIndex(), entry.CopiesInBlock());
  for (uint32_t i = 0; i < copies; ++i) {
    if (ListCopy(path, entry.Copy(i), entry.BlockCount(), entry.BlockSize(), out)) return true;
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
