#include "volume/layout_file.h"

#include <algorithm>
#include <optional>
#include <set>

#include "opera/records.h"
#include "support/cp1251.h"
#include "support/json_reader.h"
#include "support/text.h"
#include "volume/walk.h"

namespace zanthrel {

namespace {

// The most copies a directory block can hold for one entry, and so the most
// any entry or directory that reads has.
constexpr uint64_t kMaxCopies = kMaxBlockSize / 4;
constexpr uint32_t kTextFieldWidth = 32;

std::string Number(uint64_t value) { return UnsignedDecimal64(value); }

std::string Cp1251Field(std::string_view bytes) { return JsonString(Cp1251ToUtf8(bytes)); }

std::string NumberList(const uint32_t* values, size_t count) {
  std::string text = "[";
  for (size_t i = 0; i < count; ++i) text += (i ? "," : "") + Number(values[i]);
  return text + "]";
}

std::string HeaderLine(const DiscLayout& layout) {
  const LayoutLabel& label = layout.label;
  return "{\"zanthrelLayout\":" + Number(uint64_t(layout.version)) +
         ",\"imageBlocks\":" + Number(layout.imageBlocks) +
         ",\"directories\":" + Number(layout.directories.size()) +
         ",\"patches\":" + Number(layout.patches.size()) +
         ",\"blocksFile\":" + JsonString(layout.blocksFile) +
         ",\"label\":{\"recordType\":" + Number(label.recordType) + ",\"version\":" + Number(label.version) +
         ",\"flags\":" + Number(label.flags) + ",\"comment\":" + Cp1251Field(label.comment) +
         ",\"text\":" + Cp1251Field(label.text) + ",\"volumeId\":" + Number(label.volumeId) +
         ",\"blockSize\":" + Number(label.blockSize) + ",\"blockCount\":" + Number(label.blockCount) +
         ",\"rootId\":" + Number(label.rootId) + ",\"rootBlockCount\":" + Number(label.rootBlockCount) +
         ",\"rootBlockSize\":" + Number(label.rootBlockSize) + ",\"lastRootCopy\":" + Number(label.lastRootCopy) +
         ",\"rootCopies\":" + NumberList(label.rootCopies.data(), label.rootCopies.size()) + "}}\n";
}

std::string DirectoryLine(const LayoutDirectory& directory) {
  std::string blocks = "[";
  for (size_t i = 0; i < directory.blocks.size(); ++i) {
    const LayoutDirectoryBlock& block = directory.blocks[i];
    blocks += std::string(i ? "," : "") + "{\"next\":" + Number(block.next) + ",\"previous\":" +
              Number(block.previous) + ",\"flags\":" + Number(block.flags) + ",\"firstFree\":" +
              Number(block.firstFree) + ",\"firstEntry\":" + Number(block.firstEntry) +
              ",\"entries\":" + Number(block.entryCount) + "}";
  }
  return "{\"directory\":" + JsonString(directory.hostPath) + ",\"blockSize\":" + Number(directory.blockSize) +
         ",\"blockCount\":" + Number(directory.blockCount) +
         ",\"copies\":" + NumberList(directory.copies.data(), directory.copies.size()) +
         ",\"entries\":" + Number(directory.entries.size()) + ",\"blocks\":" + blocks + "]}\n";
}

std::string EntryLine(const LayoutEntry& entry) {
  const std::string_view type(reinterpret_cast<const char*>(entry.type.data()), entry.type.size());
  return "{\"entry\":" + JsonString(entry.hostPath) + ",\"name\":" + Cp1251Field(entry.name) +
         ",\"flags\":" + Number(entry.flags) + ",\"uniqueId\":" + Number(entry.uniqueId) +
         ",\"type\":" + Cp1251Field(type) + ",\"blockSize\":" + Number(entry.blockSize) +
         ",\"byteCount\":" + Number(entry.byteCount) + ",\"blockCount\":" + Number(entry.blockCount) +
         ",\"burst\":" + Number(entry.burst) + ",\"gap\":" + Number(entry.gap) +
         ",\"lastCopyIndex\":" + Number(entry.lastCopyIndex) +
         ",\"copies\":" + NumberList(entry.copies.data(), entry.copies.size()) +
         ",\"sha1\":" + JsonString(entry.sha1) + "}\n";
}

std::string PatchLine(const LayoutPatch& patch) {
  return "{\"patch\":" + Number(patch.firstBlock) + ",\"blocks\":" + Number(patch.blockCount) +
         ",\"offset\":" + Number(patch.offset) + "}\n";
}

// Whether a path (UTF-8, "/" between its parts) stays below the folder it is
// taken from, on every host: relative, no drive, no "." or "..", no empty
// part, no backslash and no byte below 0x20.
bool StaysInside(std::string_view path) {
  if (path.empty()) return false;
  size_t start = 0;
  for (;;) {
    const size_t end = std::min(path.find('/', start), path.size());
    const std::string_view part = path.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (end == path.size()) break;
    start = end + 1;
  }
  for (const char c : path) {
    if (uint8_t(c) < 0x20 || c == '\\' || c == ':') return false;
  }
  return true;
}

// One line's object, read member by member; the first fault is kept, and a
// member that nothing asked for is one.
class LineReader {
 public:
  LineReader(const JsonValue& object, size_t line) : object_(object), line_(line) {}

  uint64_t Number(std::string_view name, uint64_t max = UINT32_MAX) {
    const JsonValue* value = Find(name, JsonValue::Kind::kNumber);
    if (!value) return 0;
    if (value->number > max) Fail("\"" + std::string(name) + "\" is more than " + UnsignedDecimal64(max));
    return value->number;
  }
  std::string Text(std::string_view name) {
    const JsonValue* value = Find(name, JsonValue::Kind::kString);
    return value ? value->text : std::string();
  }
  // A Windows-1251 field, written as the UTF-8 form of its bytes.
  std::string Cp1251(std::string_view name, size_t maxBytes) {
    const std::string text = Text(name);
    std::string bytes = Utf8ToCp1251(text);
    if (Cp1251ToUtf8(bytes) != text) Fail("\"" + std::string(name) + "\" holds a character Windows-1251 has not");
    if (bytes.size() > maxBytes) Fail("\"" + std::string(name) + "\" is longer than " + UnsignedDecimal64(maxBytes) + " bytes");
    return bytes;
  }
  // A list of 32-bit numbers, at most `max` of them.
  std::vector<uint32_t> Numbers(std::string_view name, uint64_t max) {
    std::vector<uint32_t> numbers;
    const JsonValue* value = Find(name, JsonValue::Kind::kArray);
    if (!value) return numbers;
    if (value->items.size() > max) {
      Fail("\"" + std::string(name) + "\" holds more than " + UnsignedDecimal64(max) + " numbers");
      return numbers;
    }
    for (const JsonValue& item : value->items) {
      if (item.kind != JsonValue::Kind::kNumber || item.number > UINT32_MAX) {
        Fail("\"" + std::string(name) + "\" must hold numbers up to 4294967295");
        return {};
      }
      numbers.push_back(uint32_t(item.number));
    }
    return numbers;
  }
  const JsonValue* Find(std::string_view name, JsonValue::Kind kind) {
    asked_.insert(std::string(name));
    const JsonValue* value = object_.Member(name);
    if (!value) {
      Fail("member \"" + std::string(name) + "\" is missing");
      return nullptr;
    }
    if (value->kind != kind) {
      Fail("\"" + std::string(name) + "\" must be " + std::string(JsonKindName(kind)));
      return nullptr;
    }
    return value;
  }
  void Fail(std::string what) {
    if (error_.empty()) error_ = std::move(what);
  }
  // The first fault of the line, unknown members included, as its message.
  std::optional<Error> Finish() {
    for (const std::string& name : object_.names) {
      if (!asked_.contains(name)) Fail("unknown member \"" + EscapeControls(name) + "\"");
    }
    if (error_.empty()) return std::nullopt;
    return Error{"line " + UnsignedDecimal64(line_) + ": " + error_};
  }

 private:
  const JsonValue& object_;
  size_t line_;
  std::set<std::string> asked_;
  std::string error_;
};

// The lines of the text, each without its newline; a last newline ends the
// last line and starts none.
std::vector<std::string_view> LinesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find('\n', start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

Error LineError(size_t line, const std::string& what) { return {"line " + UnsignedDecimal64(line) + ": " + what}; }

class LayoutReader {
 public:
  explicit LayoutReader(std::string_view text) : lines_(LinesOf(text)) {}

  Result<DiscLayout> Read() {
    if (lines_.empty()) return LineError(1, "the file is empty, not a layout");
    Result<JsonValue> first = Object(0);
    if (!first) return first.Failure();
    const JsonValue* version = first->Member("zanthrelLayout");
    if (!version) return LineError(1, "not a zanthrel layout: no member \"zanthrelLayout\"");
    if (version->kind != JsonValue::Kind::kNumber || version->number != uint64_t(kLayoutVersion)) {
      return LineError(1, "layout version " + (version->kind == JsonValue::Kind::kNumber
                                                   ? UnsignedDecimal64(version->number)
                                                   : std::string("that is not a number")) +
                              " is not known; this reader knows version " +
                              UnsignedDecimal64(uint64_t(kLayoutVersion)));
    }
    LineReader header(*first, 1);
    header.Number("zanthrelLayout");
    layout_.imageBlocks = uint32_t(header.Number("imageBlocks"));
    directories_ = header.Number("directories", UINT64_MAX);
    patches_ = header.Number("patches", UINT64_MAX);
    layout_.blocksFile = header.Text("blocksFile");
    if (!layout_.blocksFile.empty() &&
        (!StaysInside(layout_.blocksFile) || layout_.blocksFile.find('/') != std::string::npos)) {
      header.Fail("\"blocksFile\" must be a plain file name beside the layout");
    }
    if (const JsonValue* label = header.Find("label", JsonValue::Kind::kObject)) {
      if (std::optional<Error> fault = header.Finish()) return *fault;
      LineReader reader(*label, 1);
      ReadLabel(reader);
      if (std::optional<Error> fault = reader.Finish()) return *fault;
    }
    if (std::optional<Error> fault = header.Finish()) return *fault;
    // The counts are checked against the lines that follow, never allocated by.
    if (directories_ == 0) return LineError(1, "a layout without its root directory");
    for (uint64_t d = 0; d < directories_; ++d) {
      if (std::optional<Error> fault = ReadDirectory(d == 0)) return *fault;
    }
    for (uint64_t p = 0; p < patches_; ++p) {
      if (std::optional<Error> fault = ReadPatch()) return *fault;
    }
    if (next_ < lines_.size()) return LineError(next_ + 1, "a line past the layout's patches");
    return std::move(layout_);
  }

 private:
  // Line `index` (from 0) as an object.
  Result<JsonValue> Object(size_t index) {
    if (index >= lines_.size()) {
      return LineError(lines_.size(), "the file ends before its " + UnsignedDecimal64(directories_) +
                                          " directories and " + UnsignedDecimal64(patches_) + " patches");
    }
    Result<JsonValue> value = ParseJson(lines_[index]);
    if (!value) return LineError(index + 1, value.Failure().text);
    if (value->kind != JsonValue::Kind::kObject) return LineError(index + 1, "not a JSON object");
    return value;
  }

  void ReadLabel(LineReader& reader) {
    LayoutLabel& label = layout_.label;
    label.recordType = uint8_t(reader.Number("recordType", 255));
    label.version = uint8_t(reader.Number("version", 255));
    label.flags = uint8_t(reader.Number("flags", 255));
    label.comment = NoZero(reader, "comment", reader.Cp1251("comment", kTextFieldWidth));
    label.text = NoZero(reader, "text", reader.Cp1251("text", kTextFieldWidth));
    label.volumeId = uint32_t(reader.Number("volumeId"));
    label.blockSize = uint32_t(reader.Number("blockSize"));
    label.blockCount = uint32_t(reader.Number("blockCount"));
    label.rootId = uint32_t(reader.Number("rootId"));
    label.rootBlockCount = uint32_t(reader.Number("rootBlockCount"));
    label.rootBlockSize = uint32_t(reader.Number("rootBlockSize"));
    label.lastRootCopy = uint32_t(reader.Number("lastRootCopy"));
    const std::vector<uint32_t> copies = reader.Numbers("rootCopies", opera::label::kRootCopySlots);
    if (reader.Finish()) return;
    if (copies.size() != opera::label::kRootCopySlots) {
      reader.Fail("\"rootCopies\" must hold the label's 8 slots");
      return;
    }
    std::copy(copies.begin(), copies.end(), label.rootCopies.begin());
  }

  // Text fields are read up to their first zero byte: one cannot hold one.
  static std::string NoZero(LineReader& reader, std::string_view name, std::string text) {
    if (text.find('\0') != std::string::npos) reader.Fail("\"" + std::string(name) + "\" holds a zero byte");
    return text;
  }

  std::optional<Error> ReadDirectory(bool root) {
    const size_t line = next_ + 1;
    Result<JsonValue> object = Object(next_++);
    if (!object) return object.Failure();
    LineReader reader(*object, line);
    LayoutDirectory directory;
    directory.hostPath = reader.Text("directory");
    directory.blockSize = uint32_t(reader.Number("blockSize"));
    directory.blockCount = uint32_t(reader.Number("blockCount"));
    directory.copies = reader.Numbers("copies", kMaxCopies);
    const uint64_t entries = reader.Number("entries", UINT64_MAX);
    if (const JsonValue* blocks = reader.Find("blocks", JsonValue::Kind::kArray)) {
      if (blocks->items.size() > directory.blockCount) {
        reader.Fail("more blocks than \"blockCount\"");
      } else if (!blocks->items.empty() &&
                 (directory.blockSize < opera::kHeaderSize || directory.blockSize > kMaxBlockSize)) {
        reader.Fail("blocks of a size no directory that reads has");
      }
      for (size_t i = 0; i < blocks->items.size() && !reader.Finish(); ++i) {
        if (blocks->items[i].kind != JsonValue::Kind::kObject) {
          reader.Fail("\"blocks\" must hold objects");
          break;
        }
        LineReader block(blocks->items[i], line);
        directory.blocks.push_back({uint32_t(block.Number("next")), uint32_t(block.Number("previous")),
                                    uint32_t(block.Number("flags")), uint32_t(block.Number("firstFree")),
                                    uint32_t(block.Number("firstEntry")),
                                    uint32_t(block.Number("entries", directory.blockSize / opera::kEntryFixedSize))});
        if (std::optional<Error> fault = block.Finish()) return fault;
      }
    }
    if (std::optional<Error> fault = reader.Finish()) return fault;
    if (root != directory.hostPath.empty()) {
      return LineError(line, root ? "the first directory must be the root, \"\"" : "a directory path that is empty");
    }
    if (!root && !StaysInside(directory.hostPath)) return LineError(line, "a directory path that leads outside the folder");
    if (!root && !folders_.contains(directory.hostPath)) {
      return LineError(line, "a directory that no folder entry before it names");
    }
    uint64_t inBlocks = 0;
    for (const LayoutDirectoryBlock& block : directory.blocks) inBlocks += block.entryCount;
    if (entries != inBlocks) {
      return LineError(line, "\"entries\" is " + UnsignedDecimal64(entries) + " but the blocks hold " +
                                 UnsignedDecimal64(inBlocks));
    }
    for (uint64_t e = 0; e < entries; ++e) {
      Result<LayoutEntry> entry = ReadEntry(directory.hostPath);
      if (!entry) return entry.Failure();
      directory.entries.push_back(std::move(*entry));
    }
    layout_.directories.push_back(std::move(directory));
    return std::nullopt;
  }

  Result<LayoutEntry> ReadEntry(const std::string& folder) {
    const size_t line = next_ + 1;
    Result<JsonValue> object = Object(next_++);
    if (!object) return object.Failure();
    LineReader reader(*object, line);
    LayoutEntry entry;
    entry.hostPath = reader.Text("entry");
    entry.name = NoZero(reader, "name", reader.Cp1251("name", kTextFieldWidth));
    entry.flags = uint32_t(reader.Number("flags"));
    entry.uniqueId = uint32_t(reader.Number("uniqueId"));
    const std::string type = reader.Cp1251("type", 4);
    entry.blockSize = uint32_t(reader.Number("blockSize"));
    entry.byteCount = uint32_t(reader.Number("byteCount"));
    entry.blockCount = uint32_t(reader.Number("blockCount"));
    entry.burst = uint32_t(reader.Number("burst"));
    entry.gap = uint32_t(reader.Number("gap"));
    entry.lastCopyIndex = uint32_t(reader.Number("lastCopyIndex"));
    entry.copies = reader.Numbers("copies", kMaxCopies);
    entry.sha1 = reader.Text("sha1");
    if (std::optional<Error> fault = reader.Finish()) return *fault;
    if (type.size() != entry.type.size()) return LineError(line, "\"type\" must be 4 bytes");
    std::copy(type.begin(), type.end(), entry.type.begin());
    if (uint64_t(entry.lastCopyIndex) + 1 != entry.copies.size()) {
      return LineError(line, "\"copies\" must hold \"lastCopyIndex\" + 1 blocks");
    }
    if (!entry.sha1.empty() && (entry.IsDirectory() || entry.sha1.size() != 40 ||
                                entry.sha1.find_first_not_of("0123456789abcdef") != std::string::npos)) {
      return LineError(line, "\"sha1\" must be empty or 40 lower-case hex digits of a file");
    }
    if (entry.hostPath.empty()) {
      if (entry.IsDirectory()) return LineError(line, "a folder entry without a path");
      return entry;
    }
    if (!StaysInside(entry.hostPath)) return LineError(line, "a path that leads outside the folder");
    const size_t slash = entry.hostPath.rfind('/');
    const std::string_view parent =
        slash == std::string::npos ? std::string_view() : std::string_view(entry.hostPath).substr(0, slash);
    if (parent != folder) return LineError(line, "a path that does not lie in its directory");
    if (!paths_.insert(entry.hostPath).second) return LineError(line, "a path named twice");
    if (entry.IsDirectory()) folders_.insert(entry.hostPath);
    return entry;
  }

  std::optional<Error> ReadPatch() {
    const size_t line = next_ + 1;
    Result<JsonValue> object = Object(next_++);
    if (!object) return object.Failure();
    LineReader reader(*object, line);
    LayoutPatch patch;
    patch.firstBlock = uint32_t(reader.Number("patch"));
    patch.blockCount = uint32_t(reader.Number("blocks"));
    patch.offset = reader.Number("offset", UINT64_MAX);
    if (std::optional<Error> fault = reader.Finish()) return fault;
    if (patch.blockCount == 0) return LineError(line, "a patch of no blocks");
    if (uint64_t(patch.firstBlock) + patch.blockCount > layout_.imageBlocks) {
      return LineError(line, "a patch past the image's blocks");
    }
    if (patch.firstBlock < patchedUpTo_) return LineError(line, "a patch before or over the one above it");
    if (patch.offset > UINT64_MAX - uint64_t(patch.blockCount) * kSectorSize) {
      return LineError(line, "a patch past what a blocks file can hold");
    }
    if (layout_.blocksFile.empty()) return LineError(line, "a patch without a blocks file");
    patchedUpTo_ = uint64_t(patch.firstBlock) + patch.blockCount;
    layout_.patches.push_back(patch);
    return std::nullopt;
  }

  std::vector<std::string_view> lines_;
  size_t next_ = 1;
  uint64_t directories_ = 0;
  uint64_t patches_ = 0;
  DiscLayout layout_;
  std::set<std::string> paths_;    // every entry's host path so far
  std::set<std::string> folders_;  // those of folder entries
  uint64_t patchedUpTo_ = 0;
};

}  // namespace

std::string LayoutText(const DiscLayout& layout) {
  std::string text = HeaderLine(layout);
  for (const LayoutDirectory& directory : layout.directories) {
    text += DirectoryLine(directory);
    for (const LayoutEntry& entry : directory.entries) text += EntryLine(entry);
  }
  for (const LayoutPatch& patch : layout.patches) text += PatchLine(patch);
  return text;
}

Result<DiscLayout> ParseLayout(std::string_view text) { return LayoutReader(text).Read(); }

}  // namespace zanthrel
