#include "compile/volume_label.h"

#include <algorithm>
#include <cstring>

#include "compile/entry_names.h"
#include "compile/image_file.h"
#include "support/host_names.h"
#include "support/text.h"
#include "volume/entry.h"

namespace zanthrel {

namespace {

using opera::WriteBig32;
namespace L = opera::label;

// The name a root child is stored under before any is made unique, as
// StoredNames gives it.
std::string StoredNameOf(const std::string& hostName, TextEncoding names) {
  uint8_t field[opera::entry::kNameWidth] = {};
  MakeEntryName(names == TextEncoding::kUtf8 ? hostName : Utf8ToCp1251(hostName), field);
  return FieldText(field, sizeof field);
}

std::optional<std::array<uint8_t, opera::kLabelSize>> ReadWholeLabel(Host& host, const std::string& path) {
  Result<HostFile> file = host.OpenFile(path);
  if (!file) return std::nullopt;
  std::array<uint8_t, opera::kLabelSize + 1> bytes{};
  Result<size_t> read = file->ReadAt(0, bytes.data(), bytes.size());
  if (!read || *read != opera::kLabelSize) return std::nullopt;
  if (!std::equal(std::begin(opera::kLabelSignature), std::end(opera::kLabelSignature), bytes.begin())) {
    return std::nullopt;
  }
  std::array<uint8_t, opera::kLabelSize> label{};
  std::copy_n(bytes.begin(), label.size(), label.begin());
  return label;
}

void PutText(uint8_t* label, size_t offset, const std::string& text) {
  std::memset(&label[offset], 0, L::kTextWidth);
  std::memcpy(&label[offset], text.data(), std::min(text.size(), L::kTextWidth));
}

}  // namespace

std::optional<LabelFile> FindLabelFile(Host& host, const std::string& root, const FolderList& list,
                                       TextEncoding names) {
  for (const FolderItem& item : list.items) {
    if (item.isDirectory || item.size != opera::kLabelSize) continue;
    if (!IsDiscLabelName(StoredNameOf(item.hostName, names))) continue;
    const std::string path = JoinPath(root, item.hostName);
    if (std::optional<std::array<uint8_t, opera::kLabelSize>> bytes = ReadWholeLabel(host, path)) {
      return LabelFile{item.hostName, path, *bytes};
    }
  }
  return std::nullopt;
}

// Fixed: a compile without a choice or a label file writes this label byte
// for byte, ids drawn in this order, as every image before it.
void StartLabel(uint8_t* label, UniqueIdGenerator& ids) {
  label[L::kRecordType] = 1;
  std::memset(&label[L::kSync], 0x5A, 5);
  label[L::kVersion] = 1;
  std::memcpy(&label[L::kLabelText], "CD-ROM", 6);
  WriteBig32(&label[L::kVolumeId], ids.NewUniqueId());
  WriteBig32(&label[L::kBlockSize], kImageBlockSize);
  WriteBig32(&label[L::kRootId], ids.NewUniqueId());
  WriteBig32(&label[L::kRootBlockSize], kImageBlockSize);
}

void TakeLabelFields(uint8_t* label, const LabelChoice& chosen, const LabelFile* file) {
  if (file) {
    // The fields a user sets; the rest describe the image being written.
    for (size_t offset : {L::kComment, L::kLabelText}) {
      std::memcpy(&label[offset], &file->bytes[offset], L::kTextWidth);
    }
    for (size_t offset : {L::kVolumeId, L::kRootId}) std::memcpy(&label[offset], &file->bytes[offset], 4);
  }
  if (chosen.comment) PutText(label, L::kComment, *chosen.comment);
  if (chosen.text) PutText(label, L::kLabelText, *chosen.text);
  if (chosen.volumeId) WriteBig32(&label[L::kVolumeId], *chosen.volumeId);
  if (chosen.rootId) WriteBig32(&label[L::kRootId], *chosen.rootId);
}

}  // namespace zanthrel
