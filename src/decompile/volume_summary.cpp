#include "decompile/volume_summary.h"

#include "decompile/listing.h"
#include "opera/records.h"
#include "source/image_stream.h"
#include "support/cp1251.h"
#include "support/text.h"

namespace zanthrel {

namespace {

std::string ContainerOf(const ImageSource& source) {
  if (source.Kind() == SourceKind::kDrive) return "drive";
  if (!source.Container().empty()) return source.Container();
  return source.IsGzip() ? "gzip" : "plain";
}

}  // namespace

std::optional<VolumeSummary> SummarizeVolume(ImageSource& source) {
  namespace L = opera::label;
  uint8_t bytes[opera::kLabelSize];
  if (!Seek(source, 0, 0, 0) || !ReadRecords(source, bytes, opera::kLabelSize, 1)) return std::nullopt;
  const opera::LabelView label(bytes);
  VolumeSummary summary;
  summary.labelText = Cp1251ToUtf8(FieldText(bytes + L::kLabelText, L::kTextWidth));
  summary.comment = Cp1251ToUtf8(FieldText(bytes + L::kComment, L::kTextWidth));
  summary.volumeId = label.Field(L::kVolumeId);
  summary.blockSize = label.Field(L::kBlockSize);
  summary.blockCount = label.BlockCount();
  summary.imageBytes = uint64_t(summary.blockSize) * summary.blockCount;
  for (uint32_t i = 0; i < label.RootCopiesToUse(); ++i) summary.rootCopies.push_back(label.RootCopy(i));
  summary.container = ContainerOf(source);
  std::vector<ListedEntry> entries;
  summary.treeRead = ListTree(source, entries);
  for (const ListedEntry& entry : entries) {
    if (entry.flags & opera::kDirectoryBit) {
      ++summary.folders;
    } else {
      ++summary.files;
      summary.fileBytes += entry.byteCount;
    }
  }
  return summary;
}

}  // namespace zanthrel
