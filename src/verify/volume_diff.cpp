#include "verify/volume_diff.h"

#include <algorithm>
#include <functional>
#include <map>
#include <utility>

#include "opera/records.h"
#include "support/text.h"
#include "volume/entry.h"
#include "volume/label.h"
#include "volume/walk.h"

namespace zanthrel {

namespace {

// Bytes of each file read at a time from either volume, in turn.
constexpr size_t kPieceBytes = 256 << 10;

// Where an entry stands in its folder's blocks, which changes whenever an
// entry is added or removed beside it: not a field of the entry itself.
constexpr uint32_t kPlacementBits = opera::kLastInBlockBit | opera::kLastInDirectoryBit;

// An entry under the key it is matched by: its names joined by a zero byte,
// each followed by how many entries of its folder had the name up to it, so
// that keys sort as paths do with folders before what they hold.
struct KeyedEntry {
  std::string key;
  std::string path;  // as shown
  ListedEntry entry;
};

struct KeyedFolder {
  std::string key;
  std::string path;
};

struct KeyedListing {
  bool read = false;
  std::vector<KeyedEntry> entries;
  std::vector<KeyedFolder> unreadableFolders;
};

// Gives the entries of a walk their keys, from the paths the listing hands
// over, in walk order: a folder is open from its entry until an entry that
// does not lie below it.
class EntryKeys {
 public:
  KeyedEntry Next(const ListedEntry& entry) {
    while (!open_.empty() && !Below(entry.path, open_.back().entry.path)) open_.pop_back();
    const KeyedEntry* parent = open_.empty() ? nullptr : &open_.back();
    const std::string name = parent ? entry.path.substr(parent->entry.path.size() + 1) : entry.path;
    const std::string parentKey = parent ? parent->key : "";
    const uint32_t occurrence = ++seen_[parentKey + '\0' + name];
    KeyedEntry keyed{parentKey + '\0' + name + '\x01' + UnsignedDecimal(occurrence),
                     parent ? parent->path + "/" + name : name, entry};
    if (occurrence > 1) keyed.path.append("#").append(UnsignedDecimal(occurrence));
    if (entry.flags & opera::kDirectoryBit) open_.push_back(keyed);
    return keyed;
  }
  // The folder whose entry came last, which the listing could not read.
  KeyedFolder LastFolder() const { return {open_.back().key, open_.back().path}; }

 private:
  static bool Below(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
  }

  std::vector<KeyedEntry> open_;
  std::map<std::string, uint32_t> seen_;
};

KeyedListing ListKeyed(ImageSource& source) {
  KeyedListing listing;
  EntryKeys keys;
  listing.read =
      ListTree(source, {[&](const ListedEntry& entry) { listing.entries.push_back(keys.Next(entry)); },
                        [&](const std::string&) { listing.unreadableFolders.push_back(keys.LastFolder()); }});
  std::sort(listing.entries.begin(), listing.entries.end(),
            [](const KeyedEntry& a, const KeyedEntry& b) { return a.key < b.key; });
  return listing;
}

// Whether `key` lies below one of the folders that could not be read.
bool Hidden(const std::string& key, const std::vector<KeyedFolder>& folders) {
  return std::any_of(folders.begin(), folders.end(), [&key](const KeyedFolder& folder) {
    return key.size() > folder.key.size() && key.compare(0, folder.key.size(), folder.key) == 0 &&
           key[folder.key.size()] == '\0';
  });
}

FieldChange NumberChange(const char* name, uint64_t first, uint64_t second) {
  return {name, false, first, second, {}, {}};
}

FieldChange TextChange(const char* name, const std::string& first, const std::string& second) {
  return {name, true, 0, 0, first, second};
}

std::vector<FieldChange> FieldChanges(const ListedEntry& a, const ListedEntry& b) {
  std::vector<FieldChange> changes;
  const auto number = [&changes](const char* name, uint64_t first, uint64_t second) {
    if (first != second) changes.push_back(NumberChange(name, first, second));
  };
  number("flags", a.flags & ~kPlacementBits, b.flags & ~kPlacementBits);
  if (a.type != b.type) changes.push_back(TextChange("type", a.type, b.type));
  number("id", a.uniqueId, b.uniqueId);
  number("blockSize", a.blockSize, b.blockSize);
  number("bytes", a.byteCount, b.byteCount);
  number("blocks", a.blockCount, b.blockCount);
  number("burst", a.burst, b.burst);
  number("gap", a.gap, b.gap);
  number("copies", a.copies, b.copies);
  return changes;
}

std::vector<Difference> LabelDifferences(const Label& first, const Label& second) {
  const opera::LabelView a = first.View();
  const opera::LabelView b = second.View();
  std::vector<FieldChange> changes;
  const auto text = [&changes](const char* name, const std::string& one, const std::string& two) {
    if (one != two) changes.push_back(TextChange(name, one, two));
  };
  const auto number = [&](const char* name, size_t offset) {
    if (a.Field(offset) != b.Field(offset)) changes.push_back(NumberChange(name, a.Field(offset), b.Field(offset)));
  };
  text("text", LabelText(a), LabelText(b));
  text("comment", LabelComment(a), LabelComment(b));
  number("volumeId", opera::label::kVolumeId);
  number("rootId", opera::label::kRootId);
  number("blocks", opera::label::kBlockCount);
  std::vector<Difference> differences;
  for (FieldChange& change : changes) {
    Difference difference;
    difference.fields.push_back(std::move(change));
    differences.push_back(std::move(difference));
  }
  return differences;
}

// The bytes a file gives, in pieces: each block from the copy the reading
// stands on, else from the next copy that gives it, never an earlier one, as
// decompile reads a file.
class FileStream {
 public:
  FileStream(ImageSource& source, const ListedEntry& entry)
      : source_(source),
        copies_(entry.copyBlocks.begin(),
                entry.copyBlocks.begin() + std::min<size_t>(entry.copyBlocks.size(), opera::kEntryCopiesHandled)),
        blockSize_(entry.blockSize),
        blocks_(entry.blockSize == 0 ? 0 : (entry.fileBytes + entry.blockSize - 1) / entry.blockSize) {}

  const uint8_t* Data() const { return buffer_.data() + begin_; }
  size_t Ready() const { return end_ - begin_; }
  void Consume(size_t bytes) { begin_ += bytes; }
  // Reads the next piece; false when one of its blocks no copy gives (FailedBlock).
  bool Refill() {
    if (copies_.empty() || blockSize_ > kMaxBlockSize || next_ >= blocks_) return false;
    const uint32_t count = uint32_t(std::min<uint64_t>(std::max<size_t>(1, kPieceBytes / blockSize_), blocks_ - next_));
    buffer_.resize(size_t(count) * blockSize_);
    const bool whole = Seek(source_, copies_[copy_], blockSize_, uint32_t(next_)) &&
                       ReadRecords(source_, buffer_.data(), blockSize_, count);
    for (uint32_t k = 0; !whole && k < count; ++k) {
      if (!ReadBlock(uint32_t(next_ + k), buffer_.data() + size_t(k) * blockSize_)) {
        next_ += k;
        return false;
      }
    }
    next_ += count;
    begin_ = 0;
    end_ = buffer_.size();
    return true;
  }
  uint64_t FailedBlock() const { return next_; }

 private:
  bool ReadBlock(uint32_t block, uint8_t* out) {
    for (size_t copy = copy_; copy < copies_.size(); ++copy) {
      if (Seek(source_, copies_[copy], blockSize_, block) && ReadRecords(source_, out, blockSize_, 1)) {
        copy_ = copy;
        return true;
      }
    }
    return false;
  }

  ImageSource& source_;
  std::vector<uint32_t> copies_;
  uint32_t blockSize_;
  uint64_t blocks_;
  uint64_t next_ = 0;
  size_t copy_ = 0;
  std::vector<uint8_t> buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
};

struct ContentOutcome {
  enum { kSame, kDiffer, kUnreadable } kind = kSame;
  uint64_t firstDifferentByte = 0;
  DiffSide side = DiffSide::kFirst;
  uint64_t block = 0;
};

// Compares the bytes two files give, a piece of one and then of the other,
// up to the first that differs. `advanced` hears of the bytes compared.
ContentOutcome CompareContent(ImageSource& firstSource, const ListedEntry& first, ImageSource& secondSource,
                              const ListedEntry& second, const std::function<void(uint64_t)>& advanced) {
  const uint64_t common = std::min(first.fileBytes, second.fileBytes);
  FileStream a(firstSource, first);
  FileStream b(secondSource, second);
  uint64_t done = 0;
  while (done < common) {
    if (a.Ready() == 0 && !a.Refill()) return {ContentOutcome::kUnreadable, 0, DiffSide::kFirst, a.FailedBlock()};
    if (b.Ready() == 0 && !b.Refill()) return {ContentOutcome::kUnreadable, 0, DiffSide::kSecond, b.FailedBlock()};
    const size_t n = size_t(std::min<uint64_t>({a.Ready(), b.Ready(), common - done}));
    const auto [at, _] = std::mismatch(a.Data(), a.Data() + n, b.Data());
    if (at != a.Data() + n) return {ContentOutcome::kDiffer, done + uint64_t(at - a.Data())};
    a.Consume(n);
    b.Consume(n);
    done += n;
    advanced(n);
  }
  if (first.fileBytes != second.fileBytes) return {ContentOutcome::kDiffer, common};
  return {};
}

// The differences found, each under the key of its entry, to be put in order.
class Findings {
 public:
  void Add(const std::string& key, Difference difference) { found_.emplace_back(key, std::move(difference)); }
  std::vector<Difference> InOrder() {
    std::stable_sort(found_.begin(), found_.end(), [](const auto& a, const auto& b) {
      return a.first != b.first ? a.first < b.first : a.second.kind < b.second.kind;
    });
    std::vector<Difference> ordered;
    for (auto& [key, difference] : found_) ordered.push_back(std::move(difference));
    return ordered;
  }

 private:
  std::vector<std::pair<std::string, Difference>> found_;
};

Difference EntryDifference(DifferenceKind kind, const KeyedEntry& keyed) {
  Difference difference;
  difference.kind = kind;
  difference.path = keyed.path;
  return difference;
}

Difference UnreadableFolder(const KeyedFolder& folder, DiffSide side) {
  Difference difference;
  difference.kind = DifferenceKind::kUnreadable;
  difference.path = folder.path;
  difference.side = side;
  difference.folder = true;
  return difference;
}

// The root's label entry gives the label's bytes, which the label's own
// lines compare field by field.
bool LabelEntry(const ListedEntry& entry) {
  return entry.path.find('/') == std::string::npos && IsDiscLabelName(entry.path);
}

// Two entries of one key, one from each volume.
struct Pair {
  const KeyedEntry* first;
  const KeyedEntry* second;
};

// Files whose bytes are compared once every entry is matched, in the order
// of the first volume's blocks, so that its reading runs forward.
void CompareFiles(std::vector<Pair>& files, ImageSource& firstSource, ImageSource& secondSource,
                  const Progress& progress, Findings& findings) {
  std::sort(files.begin(), files.end(), [](const Pair& a, const Pair& b) {
    return a.first->entry.firstBlock < b.first->entry.firstBlock;
  });
  uint64_t total = 0;
  for (const Pair& pair : files) total += pair.first->entry.fileBytes;
  uint64_t done = 0;
  const auto advanced = [&](uint64_t bytes) {
    done += bytes;
    if (progress) progress(done, total);
  };
  for (const Pair& pair : files) {
    const ListedEntry& a = pair.first->entry;
    const ListedEntry& b = pair.second->entry;
    const ContentOutcome outcome = CompareContent(firstSource, a, secondSource, b, advanced);
    const bool moved = a.copyBlocks != b.copyBlocks;
    if (outcome.kind == ContentOutcome::kSame && !moved) continue;
    Difference difference = EntryDifference(DifferenceKind::kMoved, *pair.first);
    difference.firstCopies = a.copyBlocks;
    difference.secondCopies = b.copyBlocks;
    if (outcome.kind == ContentOutcome::kDiffer) {
      difference.kind = DifferenceKind::kContent;
      difference.firstBytes = a.fileBytes;
      difference.secondBytes = b.fileBytes;
      difference.firstDifferentByte = outcome.firstDifferentByte;
    } else if (outcome.kind == ContentOutcome::kUnreadable) {
      difference.kind = DifferenceKind::kUnreadable;
      difference.side = outcome.side;
      difference.fileBlock = outcome.block;
    }
    findings.Add(pair.first->key, std::move(difference));
  }
}

void CompareEntries(const KeyedListing& first, const KeyedListing& second, ImageSource& firstSource,
                    ImageSource& secondSource, const Progress& progress, Findings& findings) {
  for (const KeyedFolder& folder : first.unreadableFolders) {
    findings.Add(folder.key, UnreadableFolder(folder, DiffSide::kFirst));
  }
  for (const KeyedFolder& folder : second.unreadableFolders) {
    findings.Add(folder.key, UnreadableFolder(folder, DiffSide::kSecond));
  }
  std::vector<Pair> files;
  auto a = first.entries.begin();
  auto b = second.entries.begin();
  while (a != first.entries.end() || b != second.entries.end()) {
    if (b == second.entries.end() || (a != first.entries.end() && a->key < b->key)) {
      // Below a folder the other volume cannot read, nothing can be told.
      if (!Hidden(a->key, second.unreadableFolders)) {
        Difference removed = EntryDifference(DifferenceKind::kRemoved, *a);
        removed.entry = a->entry;
        findings.Add(a->key, std::move(removed));
      }
      ++a;
      continue;
    }
    if (a == first.entries.end() || b->key < a->key) {
      if (!Hidden(b->key, first.unreadableFolders)) {
        Difference added = EntryDifference(DifferenceKind::kAdded, *b);
        added.entry = b->entry;
        findings.Add(b->key, std::move(added));
      }
      ++b;
      continue;
    }
    if (std::vector<FieldChange> changes = FieldChanges(a->entry, b->entry); !changes.empty()) {
      Difference fields = EntryDifference(DifferenceKind::kFields, *a);
      fields.fields = std::move(changes);
      findings.Add(a->key, std::move(fields));
    }
    const bool firstFolder = (a->entry.flags & opera::kDirectoryBit) != 0;
    const bool secondFolder = (b->entry.flags & opera::kDirectoryBit) != 0;
    if (!firstFolder && !secondFolder && !LabelEntry(a->entry)) {
      files.push_back({&*a, &*b});
    } else if (firstFolder && secondFolder && a->entry.copyBlocks != b->entry.copyBlocks) {
      // A folder's own bytes are its entries, compared one by one.
      Difference moved = EntryDifference(DifferenceKind::kMoved, *a);
      moved.firstCopies = a->entry.copyBlocks;
      moved.secondCopies = b->entry.copyBlocks;
      findings.Add(a->key, std::move(moved));
    }
    ++a;
    ++b;
  }
  CompareFiles(files, firstSource, secondSource, progress, findings);
}

}  // namespace

uint64_t VolumeDiff::Count(DifferenceKind kind) const {
  return uint64_t(std::count_if(differences.begin(), differences.end(),
                                [kind](const Difference& difference) { return difference.kind == kind; }));
}

VolumeDiff DiffVolumes(ImageSource& first, ImageSource& second, const Progress& progress) {
  VolumeDiff diff;
  const std::optional<Label> firstLabel = ReadLabel(first);
  const std::optional<Label> secondLabel = ReadLabel(second);
  diff.labelRead[0] = firstLabel.has_value();
  diff.labelRead[1] = secondLabel.has_value();
  if (!firstLabel || !secondLabel) return diff;
  Findings findings;
  for (Difference& difference : LabelDifferences(*firstLabel, *secondLabel)) findings.Add("", std::move(difference));
  const KeyedListing firstListing = ListKeyed(first);
  const KeyedListing secondListing = ListKeyed(second);
  diff.treeRead[0] = firstListing.read;
  diff.treeRead[1] = secondListing.read;
  diff.entries[0] = firstListing.entries.size();
  diff.entries[1] = secondListing.entries.size();
  if (diff.Compared()) CompareEntries(firstListing, secondListing, first, second, progress, findings);
  diff.differences = findings.InOrder();
  return diff;
}

}  // namespace zanthrel
