#include "volume/summary.h"

#include "opera/records.h"
#include "source/image_stream.h"
#include "support/cp1251.h"
#include "volume/label.h"
#include "volume/listing.h"

namespace zanthrel {

std::optional<VolumeSummary> SummarizeVolume(ImageSource& source) {
  namespace L = opera::label;
  const std::optional<Label> read = ReadLabel(source);
  if (!read) return std::nullopt;
  const opera::LabelView label = read->View();
  VolumeSummary summary;
  summary.labelText = Cp1251ToUtf8(LabelText(label));
  summary.comment = Cp1251ToUtf8(LabelComment(label));
  summary.volumeId = label.Field(L::kVolumeId);
  summary.blockSize = label.Field(L::kBlockSize);
  summary.blockCount = label.BlockCount();
  summary.imageBytes = uint64_t(summary.blockSize) * summary.blockCount;
  summary.rootCopies = read->RootCopies().Blocks();
  summary.container = source.ContainerAsFields().description;
  summary.treeRead = ListTree(source, {[&summary](const ListedEntry& entry) {
                                         if (entry.flags & opera::kDirectoryBit) {
                                           ++summary.folders;
                                         } else {
                                           ++summary.files;
                                           summary.fileBytes += entry.byteCount;
                                         }
                                       },
                                       [&summary](const std::string&) { ++summary.unreadableFolders; }});
  return summary;
}

}  // namespace zanthrel
