#include "verify/verify.h"

#include <algorithm>
#include <future>
#include <optional>
#include <set>

#include "opera/records.h"
#include "support/cp1251.h"
#include "volume/entry.h"
#include "volume/label.h"
#include "volume/walk.h"

namespace zanthrel {

namespace {

// File blocks are compared across copies this many at a time.
constexpr uint32_t kChunkBlocks = 64;
constexpr size_t kLabelOwner = SIZE_MAX;

struct Claim {
  BlockSpan blocks;
  size_t owner;  // index into Verifier::owners
};

// An entry kept whole after the directory block that held it is gone.
struct StoredEntry {
  std::vector<uint8_t> bytes;
  opera::EntryView View() const { return {bytes.data(), bytes.data() + bytes.size()}; }
};

// One copy of a directory as its walk met it: the bytes of its blocks in
// chain order and its entries.
struct DirectoryCopy {
  std::vector<uint8_t> bytes;
  std::vector<StoredEntry> entries;
};

class CollectingVisitor : public DirectoryVisitor {
 public:
  CollectingVisitor(DirectoryCopy& copy, uint32_t blockSize) : copy_(copy), blockSize_(blockSize) {}
  void OnBlock(const uint8_t* block) override {
    copy_.bytes.insert(copy_.bytes.end(), block, block + blockSize_);
  }
  bool OnEntry(const opera::EntryView& entry) override {
    const uint8_t* start = entry.Bytes();
    copy_.entries.push_back({{start, start + opera::EntryLength(entry.LastCopyIndex())}});
    return true;
  }

 private:
  DirectoryCopy& copy_;
  uint32_t blockSize_;
};

// Adds blocks to a list of problems, joining them to the last span when they
// follow on in the same copy.
void AddBlocks(std::vector<CopyProblem>& list, const std::string& path, uint32_t copy, BlockSpan blocks) {
  if (!list.empty()) {
    CopyProblem& last = list.back();
    const uint64_t lastEnd = uint64_t(last.blocks.firstBlock) + last.blocks.blockCount;
    if (last.path == path && last.copy == copy && lastEnd == blocks.firstBlock) {
      last.blocks.blockCount =
          uint32_t(std::min<uint64_t>(uint64_t(last.blocks.blockCount) + blocks.blockCount, UINT32_MAX));
      return;
    }
  }
  list.push_back({path, copy, blocks});
}

void AddBlock(std::vector<CopyProblem>& list, const std::string& path, uint32_t copy, uint32_t block) {
  AddBlocks(list, path, copy, {block, 1});
}

// The disc blocks that records [first, end) of a copy lie in, counted as
// RecordBlock counts them.
BlockSpan RecordBlocks(uint32_t copy, uint64_t first, uint64_t end, uint32_t recordSize,
                       uint32_t volumeBlockSize) {
  const uint64_t from = first * recordSize / volumeBlockSize;
  const uint64_t to = (end - 1) * recordSize / volumeBlockSize;
  return {RecordBlock(copy, first, recordSize, volumeBlockSize),
          uint32_t(std::min<uint64_t>(to - from + 1, UINT32_MAX))};
}

// Every entry, folder or file, is checked in as many copies as decompile
// reads of a file.
std::vector<uint32_t> CopiesOf(const opera::EntryView& entry) { return HandledCopiesOf(entry).Blocks(); }

class Verifier {
 public:
  Verifier(ImageSource& source, VerifyReport& report, const Progress& progress)
      : source_(source), report_(report), progress_(progress) {}

  // The directory or file `name`, whose path path_ holds.
  void Directory(const std::string& name, const std::vector<uint32_t>& copies, uint32_t blockCount,
                 uint32_t blockSize);
  void File(const std::string& name, const opera::EntryView& entry);
  // Sorts the claims and reports the blocks claimed twice and those nobody claims.
  void SweepClaims();

 private:
  // Owners are kept as a tree of names, so that no depth of tree costs more
  // than its names; a path is spelled out only for a report.
  struct OwnerNode {
    size_t parent;  // kLabelOwner for the root
    std::string name;
  };
  size_t Owner(const std::string& name) {
    owners_.push_back({directoryOwner_, name});
    return owners_.size() - 1;
  }
  std::string PathOf(size_t owner) const {
    std::vector<const std::string*> names;
    for (size_t at = owner; owners_[at].parent != kLabelOwner; at = owners_[at].parent) {
      names.push_back(&owners_[at].name);
    }
    std::string path = names.empty() ? "/" : "";
    for (auto name = names.rbegin(); name != names.rend(); ++name) path += "/" + **name;
    return path;
  }
  void ClaimCopies(size_t owner, const std::vector<uint32_t>& copies, uint32_t count, uint32_t size);
  // Reads one copy of a directory whole; false when it could not be.
  bool ReadDirectoryCopy(const std::string& path, uint32_t index, uint32_t first, uint32_t blockCount,
                         uint32_t blockSize, DirectoryCopy& copy);
  // Records of copy c from ends[c] on lie past the end of the image: they are
  // not read, and a copy whose read fails there gets its end set.
  void CompareChunk(const std::string& path, const std::vector<uint32_t>& copies, uint32_t blockSize,
                    uint32_t firstIndex, uint32_t count, std::vector<uint32_t>& ends);
  // Counts a file with one copy, and names it when its sectors carry no
  // check where others do: nothing could show its damage.
  void NoteOneCopy(const std::string& path, uint32_t firstBlock, uint64_t bytes);

  ImageSource& source_;
  VerifyReport& report_;
  const Progress& progress_;
  uint64_t bytesChecked_ = 0;
  std::vector<OwnerNode> owners_;
  size_t directoryOwner_ = kLabelOwner;  // of the directory being walked
  std::vector<Claim> claims_;
  std::string path_ = "/";  // of the entry being checked
  // Every copy of each directory on the current path, a level per directory,
  // so that a directory inside itself is reported, not followed.
  WalkPath walking_;
  // Directories already walked, by their first copy: one met again under
  // another entry is claimed again but not read again.
  std::set<uint32_t> walked_;
};

std::vector<BlockSpan> BlockSpansOf(const ImageSource& source, const SectorRuns& sectors) {
  std::vector<BlockSpan> spans;
  for (const SectorRun& run : sectors.Runs()) {
    const BlockRun blocks = BlocksOfSectors(source, run);
    if (blocks.count == 0 || blocks.first > UINT32_MAX) continue;
    spans.push_back({uint32_t(blocks.first), uint32_t(std::min<uint64_t>(blocks.count, UINT32_MAX))});
  }
  return spans;
}

// What the sector checks found, once every copy has been read.
void ReportSectorChecks(const ImageSource& source, VerifyReport& report) {
  const SectorFindings* findings = SectorFindingsOf(source);
  report.sectorsChecked = SectorsChecked(source) && (!findings || findings->anyChecked);
  if (!findings) return;
  report.correctedSectors = BlockSpansOf(source, findings->corrected);
  report.damagedSectors = BlockSpansOf(source, findings->damaged);
}

void Verifier::ClaimCopies(size_t owner, const std::vector<uint32_t>& copies, uint32_t count,
                           uint32_t size) {
  const uint64_t bytes = uint64_t(count) * size;
  const uint64_t blocks = (bytes + source_.BlockSize() - 1) / source_.BlockSize();
  if (blocks == 0) return;
  for (uint32_t first : copies) {
    claims_.push_back({{first, uint32_t(std::min<uint64_t>(blocks, UINT32_MAX))}, owner});
  }
}

bool Verifier::ReadDirectoryCopy(const std::string& path, uint32_t index, uint32_t first,
                                 uint32_t blockCount, uint32_t blockSize, DirectoryCopy& copy) {
  if (walking_.OnPath(first)) {
    report_.corrupt.push_back({path, index, {first, 1}});
    return false;
  }
  ++report_.copiesRead;
  CollectingVisitor visitor(copy, blockSize);
  const WalkResult result = WalkDirectoryCopy(source_, first, blockCount, blockSize, visitor);
  switch (result.end) {
    case WalkEnd::kComplete: return true;
    case WalkEnd::kSeekFailed:
    case WalkEnd::kReadFailed: AddBlock(report_.unreadable, path, index, result.failedBlock); return false;
    case WalkEnd::kDamaged: report_.corrupt.push_back({path, index, {result.failedBlock, 1}}); return false;
    case WalkEnd::kCorrupt:
    case WalkEnd::kStopped: report_.corrupt.push_back({path, index, {first, 1}}); return false;
  }
  return false;
}

void Verifier::Directory(const std::string& name, const std::vector<uint32_t>& copies,
                         uint32_t blockCount, uint32_t blockSize) {
  const std::string& path = path_;
  ++report_.directories;
  const size_t owner = Owner(name);
  ClaimCopies(owner, copies, blockCount, blockSize);
  if (copies.empty() || !walked_.insert(copies[0]).second) return;
  if (walking_.Full()) {
    report_.corrupt.push_back({path, 0, {copies[0], 1}});
    return;
  }
  std::optional<DirectoryCopy> first;
  for (uint32_t i = 0; i < copies.size(); ++i) {
    DirectoryCopy copy;
    if (!ReadDirectoryCopy(path, i, copies[i], blockCount, blockSize, copy)) continue;
    if (!first) {
      first = std::move(copy);
      continue;
    }
    // Blocks are compared in the order the walk met them.
    const size_t blocks = std::max(first->bytes.size(), copy.bytes.size()) / blockSize;
    for (size_t k = 0; k < blocks; ++k) {
      const size_t at = k * blockSize;
      const bool same = at + blockSize <= first->bytes.size() && at + blockSize <= copy.bytes.size() &&
                        std::equal(first->bytes.begin() + at, first->bytes.begin() + at + blockSize,
                                   copy.bytes.begin() + at);
      if (!same) {
        AddBlock(report_.differing, path, i, RecordBlock(copies[i], k, blockSize, source_.BlockSize()));
      }
    }
  }
  if (!first) return;
  // Only the entries are kept while the levels below are checked.
  first->bytes = {};
  walking_.EnterLevel(copies);
  const size_t parentOwner = directoryOwner_;
  directoryOwner_ = owner;
  const size_t parentLength = path_.size();
  for (const StoredEntry& stored : first->entries) {
    const opera::EntryView entry = stored.View();
    const std::string childName = Cp1251ToUtf8(EntryName(entry));
    path_ += (parentLength == 1 ? "" : "/") + childName;
    if (entry.IsDirectory()) {
      Directory(childName, CopiesOf(entry), entry.BlockCount(), entry.BlockSize());
    } else {
      File(childName, entry);
    }
    path_.resize(parentLength);
  }
  directoryOwner_ = parentOwner;
  walking_.LeaveLevel();
}

void Verifier::CompareChunk(const std::string& path, const std::vector<uint32_t>& copies, uint32_t blockSize,
                            uint32_t firstIndex, uint32_t count, std::vector<uint32_t>& ends) {
  // Each block is held against the first copy that could read it; two
  // buffers, whatever the number of copies.
  std::vector<uint8_t> reference(size_t(count) * blockSize);
  std::vector<bool> referenceRead(count);
  std::vector<uint8_t> block(blockSize);
  for (uint32_t c = 0; c < copies.size(); ++c) {
    bool positioned = false;
    for (uint32_t k = 0; k < count && firstIndex + k < ends[c]; ++k) {
      const uint32_t index = firstIndex + k;
      if (!positioned) positioned = Seek(source_, copies[c], blockSize, index);
      // After a failure the next block is sought again.
      positioned = positioned && ReadRecords(source_, block.data(), blockSize, 1);
      const uint32_t discBlock = RecordBlock(copies[c], index, blockSize, source_.BlockSize());
      uint8_t* held = reference.data() + size_t(k) * blockSize;
      if (!positioned && PastTheEnd(source_, copies[c], blockSize, index)) {
        ends[c] = index;
      } else if (!positioned) {
        AddBlock(report_.unreadable, path, c, discBlock);
      } else if (!referenceRead[k]) {
        std::copy(block.begin(), block.end(), held);
        referenceRead[k] = true;
      } else if (!std::equal(block.begin(), block.end(), held)) {
        AddBlock(report_.differing, path, c, discBlock);
      }
    }
  }
}

void Verifier::File(const std::string& name, const opera::EntryView& entry) {
  const std::string& path = path_;
  ++report_.files;
  const std::vector<uint32_t> copies = CopiesOf(entry);
  const uint32_t blockSize = entry.BlockSize();
  const uint32_t blockCount = entry.BlockCount();
  if (blockCount == 0 || copies.empty()) return;
  if (blockSize == 0 || blockSize > kMaxBlockSize) {
    report_.corrupt.push_back({path, 0, {copies[0], 0}});
    return;
  }
  ClaimCopies(Owner(name), copies, blockCount, blockSize);
  report_.copiesRead += copies.size();
  // A copy is read up to the end of the image and no further: what an entry
  // claims past it is one finding, however many blocks it claims.
  std::vector<uint32_t> ends(copies.size(), blockCount);
  const uint32_t chunk = std::max<uint32_t>(1, kChunkBlocks * 2048 / blockSize);
  for (uint32_t index = 0; index < *std::max_element(ends.begin(), ends.end());
       index += std::min(chunk, blockCount - index)) {
    const uint32_t count = std::min(chunk, blockCount - index);
    CompareChunk(path, copies, blockSize, index, count, ends);
    bytesChecked_ += uint64_t(count) * blockSize;
    if (progress_) progress_(bytesChecked_, uint64_t(report_.volumeBlocks) * source_.BlockSize());
  }
  for (uint32_t c = 0; c < copies.size(); ++c) {
    if (ends[c] == blockCount) continue;
    AddBlocks(report_.unreadable, path, c,
              RecordBlocks(copies[c], ends[c], blockCount, blockSize, source_.BlockSize()));
  }
  if (copies.size() == 1) NoteOneCopy(path, copies[0], uint64_t(blockCount) * blockSize);
}

void Verifier::NoteOneCopy(const std::string& path, uint32_t firstBlock, uint64_t bytes) {
  ++report_.oneCopyFiles;
  // Its sectors have just been read, so the findings hold them.
  const SectorFindings* findings = SectorFindingsOf(source_);
  if (!findings || !findings->anyChecked) return;
  const SectorRun sectors =
      SectorsOfBlocks(source_, firstBlock, (bytes + source_.BlockSize() - 1) / source_.BlockSize());
  if (findings->unchecked.Touches(sectors.first, sectors.count)) report_.unchecked.push_back(path);
}

void Verifier::SweepClaims() {
  std::sort(claims_.begin(), claims_.end(), [](const Claim& a, const Claim& b) {
    return a.blocks.firstBlock < b.blocks.firstBlock;
  });
  const uint64_t volume = report_.volumeBlocks;
  // Block 0 holds the label, which no entry needs to claim.
  uint64_t covered = 1;
  size_t coveredBy = kLabelOwner;
  auto unclaimedUpTo = [&](uint64_t end) {
    end = std::min(end, volume);
    if (covered < end) report_.unclaimed.push_back({uint32_t(covered), uint32_t(end - covered)});
  };
  for (const Claim& claim : claims_) {
    const uint64_t first = claim.blocks.firstBlock;
    const uint64_t end = first + claim.blocks.blockCount;
    if (first > covered) {
      unclaimedUpTo(first);
    } else if (first < covered && coveredBy != kLabelOwner && coveredBy != claim.owner) {
      // Two entries of one path (one name twice in a folder) are not told apart.
      std::string firstPath = PathOf(coveredBy), secondPath = PathOf(claim.owner);
      if (firstPath != secondPath) {
        report_.shared.push_back({{uint32_t(first), uint32_t(std::min(end, covered) - first)},
                                  std::move(firstPath),
                                  std::move(secondPath)});
      }
    }
    if (end > covered) {
      covered = end;
      coveredBy = claim.owner;
    }
  }
  unclaimedUpTo(volume);
}

}  // namespace

VerifyReport VerifyImage(ImageSource& source, const Progress& progress) {
  VerifyReport report;
  const std::optional<Label> label = ReadLabel(source);
  if (!label) return report;
  report.labelRead = true;
  const opera::LabelView view = label->View();
  report.volumeBlocks = view.BlockCount();
  Verifier verifier(source, report, progress);
  verifier.Directory("", label->RootCopies().Blocks(), view.RootBlockCount(), view.RootBlockSize());
  verifier.SweepClaims();
  ReportSectorChecks(source, report);
  return report;
}

namespace {

// The sectors of `runs` that `reported` does not hold.
SectorRuns Unreported(const SectorRuns& runs, const SectorRuns& reported) {
  SectorRuns left;
  for (const SectorRun& run : runs.Runs()) {
    for (uint64_t sector = run.first; sector < run.first + run.count; ++sector) {
      if (!reported.Touches(sector, 1)) left.Add(sector);
    }
  }
  return left;
}

}  // namespace

VerifyReport VerifyImageAndContainer(ImageSource& source, Host& host, const Progress& progress) {
  // The check reads its own handle of the file and, of the source, only what
  // the open settled (its name and kind), which the walk leaves alone.
  std::future<ContainerCheck> check =
      std::async(std::launch::async, [&source, &host] { return CheckContainerOf(source, host); });
  VerifyReport report = VerifyImage(source, progress);
  report.container = check.get();
  const SectorFindings* findings = SectorFindingsOf(source);
  if (!findings) return report;
  for (TrackSectors& track : report.container.tracks) {
    if (!track.holdsVolume) continue;
    track.corrected = Unreported(track.corrected, findings->corrected);
    track.damaged = Unreported(track.damaged, findings->damaged);
  }
  return report;
}

}  // namespace zanthrel
