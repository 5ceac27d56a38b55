#include "workflow/disc_browse.h"

#include <memory>
#include <optional>

#include "mount/disc_index.h"
#include "source/image_source.h"
#include "support/cp1251.h"
#include "support/text.h"
#include "opera/records.h"
#include "volume/label.h"

namespace zanthrel {

namespace {

// Bytes read and written at a time while extracting.
constexpr size_t kExtractChunk = 256 * 1024;

std::string TypeText(uint32_t type) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char byte = char((type >> shift) & 0xFF);
    text += (byte >= 0x20 && byte < 0x7F) ? byte : '.';
  }
  return text;
}

std::string IndexPath(const std::string& path) { return "/" + path; }

std::string ChildPath(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : folder + "/" + name;
}

// An image opened and indexed as decompile names and reads it.
struct OpenedIndex {
  ImageSource source;
  std::unique_ptr<DiscIndex> index;
};

Result<std::unique_ptr<OpenedIndex>> OpenIndex(const std::string& imagePath, Host& host,
                                               const Progress& progress) {
  auto opened = std::make_unique<OpenedIndex>();
  const OpenStatus status = OpenImageFile(opened->source, imagePath, host, progress);
  if (!status) return Error{imagePath + ": " + status.Failure().text};
  Result<std::unique_ptr<DiscIndex>> index = DiscIndex::Open(opened->source, {});
  if (!index) return index.Failure();
  opened->index = std::move(*index);
  return opened;
}

void AddFolder(DiscIndex& index, const std::string& path, int depth, BrowsedImage& image) {
  const auto listing = index.List(IndexPath(path));
  if (!listing) {
    image.unreadableFolders.push_back(path.empty() ? "/" : path);
    return;
  }
  // The listing is shared with the index's cache, which a folder below may evict.
  const std::shared_ptr<const DiscListing> held = *listing;
  for (const auto& [name, node] : held->children) {
    BrowseEntry entry;
    entry.path = ChildPath(path, name);
    entry.name = name;
    entry.depth = depth;
    entry.folder = node.folder;
    entry.size = node.size;
    entry.type = TypeText(node.type);
    entry.copies = uint32_t(node.copies.size());
    entry.firstBlock = node.copies.empty() ? 0 : node.copies.front();
    image.entries.push_back(entry);
    if (node.folder) {
      ++image.folders;
      AddFolder(index, entry.path, depth + 1, image);
    } else {
      ++image.files;
    }
  }
}

// Writes the entry at `path` of the disc as `target`, a folder with all it holds.
class Extraction {
 public:
  Extraction(DiscIndex& index, Host& host, const Progress& progress, CancelToken cancel, uint64_t total)
      : index_(index), host_(host), progress_(progress), cancel_(cancel), total_(total), buffer_(kExtractChunk) {}

  uint64_t Done() const { return done_; }

  // Writes the entry at `path` of the disc as the child `name` of `parent`:
  // made there relative to the open folder, never through a link.
  Status Write(const std::string& path, const DiscNode& node, const HostFolder& parent, const std::string& name) {
    const std::string target = JoinPath(parent.path, name);
    if (cancel_.Requested()) return Error{target + ": stopped by the user"};
    if (host_.EntryTypeOf(target)) return Error{target + ": exists already, not replaced"};
    if (node.folder) return WriteFolder(path, parent, name);
    return WriteFile(node, parent, name);
  }

 private:
  Status WriteFolder(const std::string& path, const HostFolder& parent, const std::string& name) {
    Result<HostFolder> folder = host_.MakeFolderIn(parent, name);
    if (!folder) return folder.Failure();
    const auto listing = index_.List(IndexPath(path));
    if (!listing) return Error{path + ": no copy of the folder can be read"};
    const std::shared_ptr<const DiscListing> held = *listing;
    for (const auto& [childName, child] : held->children) {
      if (Status written = Write(ChildPath(path, childName), child, *folder, childName); !written) return written;
    }
    return {};
  }

  Status WriteFile(const DiscNode& node, const HostFolder& parent, const std::string& name) {
    const std::string target = JoinPath(parent.path, name);
    Result<HostFile> file = host_.CreateFileIn(parent, name);
    if (!file) return file.Failure();
    for (uint64_t offset = 0; offset < node.size;) {
      if (cancel_.Requested()) return Removed(std::move(*file), parent, name, Error{target + ": stopped by the user"});
      const auto read = index_.Read(node, offset, buffer_.data(), buffer_.size());
      if (!read || *read == 0) {
        return Removed(std::move(*file), parent, name,
                       Error{target + ": a block of the file cannot be read from any copy"});
      }
      if (Status written = file->WriteAt(offset, buffer_.data(), *read); !written) {
        return Removed(std::move(*file), parent, name, written.Failure());
      }
      offset += *read;
      done_ += *read;
      if (progress_) progress_(done_, total_);
    }
    return {};
  }

  // A file left half written would pass for the disc's.
  Status Removed(HostFile file, const HostFolder& parent, const std::string& name, Error error) {
    file.Close();
    (void)host_.RemoveFileIn(parent, name);
    return error;
  }

  DiscIndex& index_;
  Host& host_;
  const Progress& progress_;
  CancelToken cancel_;
  uint64_t total_;
  uint64_t done_ = 0;
  std::vector<uint8_t> buffer_;
};

// The bytes of the files of `node` at `path`, folders below included.
uint64_t BytesBelow(DiscIndex& index, const std::string& path, const DiscNode& node) {
  if (!node.folder) return node.size;
  const auto listing = index.List(IndexPath(path));
  if (!listing) return 0;
  const std::shared_ptr<const DiscListing> held = *listing;
  uint64_t bytes = 0;
  for (const auto& [name, child] : held->children) bytes += BytesBelow(index, ChildPath(path, name), child);
  return bytes;
}

}  // namespace

BrowsedImage BrowseImageFile(const std::string& imagePath, Host& host, const Progress& progress) {
  BrowsedImage image;
  image.imagePath = imagePath;
  Result<std::unique_ptr<OpenedIndex>> opened = OpenIndex(imagePath, host, progress);
  if (!opened) {
    image.failure = opened.Failure().text;
    return image;
  }
  ImageSource& source = (*opened)->source;
  const std::optional<Label> label = ReadLabel(source);
  if (!label) {
    image.failure = imagePath + ": the volume label cannot be read";
    return image;
  }
  image.opened = true;
  image.label = Cp1251ToUtf8(LabelText(label->View()));
  image.container = source.ContainerAsFields().description;
  image.blockSize = label->View().Field(opera::label::kBlockSize);
  image.blockCount = label->View().BlockCount();
  AddFolder(*(*opened)->index, "", 0, image);
  return image;
}

std::vector<std::string> VolumeSummaryLines(const BrowsedImage& image) {
  std::vector<std::string> lines = {
      "Label: " + image.label,
      "Container: " + image.container,
      "Blocks: " + UnsignedDecimal(image.blockCount) + " of " + UnsignedDecimal(image.blockSize) + " bytes",
      "Folders: " + UnsignedDecimal64(image.folders) + ", files: " + UnsignedDecimal64(image.files)};
  if (!image.unreadableFolders.empty()) {
    lines.push_back("Unreadable folders: " + std::to_string(image.unreadableFolders.size()));
  }
  return lines;
}

ExtractReport ExtractEntries(const std::string& imagePath, const std::vector<std::string>& paths,
                             const std::string& folder, Host& host, const Progress& progress,
                             CancelToken cancel) {
  ExtractReport report;
  Result<std::unique_ptr<OpenedIndex>> opened = OpenIndex(imagePath, host, {});
  if (!opened) {
    report.failure = opened.Failure().text;
    return report;
  }
  DiscIndex& index = *(*opened)->index;
  std::vector<DiscNode> nodes;
  uint64_t total = 0;
  for (const std::string& path : paths) {
    const auto node = index.Lookup(IndexPath(path));
    if (!node) {
      report.failure = imagePath + ": " + path + ": not found on the disc";
      return report;
    }
    total += BytesBelow(index, path, *node);
    nodes.push_back(*node);
  }
  Extraction extraction(index, host, progress, cancel, total);
  const HostFolder into = host.OpenFolder(folder);
  for (size_t i = 0; i < paths.size(); ++i) {
    const std::string name = paths[i].substr(paths[i].rfind('/') + 1);
    const Status written = extraction.Write(paths[i], nodes[i], into, name);
    if (cancel.Requested()) {
      report.cancelled = true;
      break;
    }
    if (!written) {
      report.failure = written.Failure().text;
      break;
    }
    report.written.push_back(JoinPath(folder, name));
  }
  report.bytes = extraction.Done();
  return report;
}

}  // namespace zanthrel
