#include "decompile/describe.h"

#include <optional>

#include "decompile/log_texts.h"
#include "support/text.h"
#include "volume/entry.h"
#include "volume/label.h"

namespace zanthrel {

namespace {

using log_text::Win;

// Tab, label, value, line end; the labels come in UTF-8 and are stored converted.
struct Line {
  std::string label;
  explicit Line(const char* utf8) : label(Win(utf8)) {}
};

std::string HexDec(uint32_t value) { return Hex8(value) + " (" + UnsignedDecimal(value) + ")"; }

std::string CopyLine(int32_t index, uint32_t block) {
  return "\t\t" + SignedDecimal(index) + ") " + Hex8(block) + "(" + UnsignedDecimal(block) + ")\n";
}

}  // namespace

std::string DescribeLabel(ImageSource& source) {
  const std::optional<Label> label = ReadLabel(source);
  return label ? DescribeLabelBytes(label->bytes.data()) : "";
}

std::string DescribeLabelBytes(const uint8_t* labelBytes) {
  namespace L = opera::label;
  static const std::string heading = Win("Информация начального сектора(метки):\n");
  static const Line comment("\tКомментарий:\t"), identifier("\tИдентификатор:\t"),
      volumeId("\tУникальный идентфикатор тома:\t"), blockSize("\tРазмер блока в томе:\t"),
      blockCount("\tКоличество блоков в томе:\t"), rootId("\tУникальный идентфикатор корня:\t"),
      rootBlocks("\tКоличество блоков в корне:\t"), rootBlockSize("\tРазмер блока в корне:\t"),
      rootCopies("\tКоличество копий корня:\t");
  static const std::string extra = Win("Дополнительно:\n");
  static const std::string imageSize = Win("\tРазмер образа: ");
  static const std::string dataSize = Win("\tРазмер данных: ");
  static const std::string bytes = Win(" байт\n");

  const opera::LabelView label(labelBytes);
  const uint32_t lastCopy = label.LastRootCopy();

  std::string text = heading;
  text += comment.label + LabelComment(label) + "\n";
  text += identifier.label + LabelText(label) + "\n";
  text += volumeId.label + Hex8(label.Field(L::kVolumeId)) + "\n";
  text += blockSize.label + UnsignedDecimal(label.Field(L::kBlockSize)) + "\n";
  text += blockCount.label + UnsignedDecimal(label.BlockCount()) + "\n";
  text += rootId.label + Hex8(label.Field(L::kRootId)) + "\n";
  text += rootBlocks.label + UnsignedDecimal(label.RootBlockCount()) + "\n";
  text += rootBlockSize.label + UnsignedDecimal(label.RootBlockSize()) + "\n";
  text += rootCopies.label + UnsignedDecimal(lastCopy + 1);
  if (lastCopy > L::kRootCopySlots - 1) text += log_text::LimitMark();
  text += "\n";
  for (uint32_t i = 0; i < label.RootCopiesToUse(); ++i) text += CopyLine(int32_t(i), label.RootCopy(i));
  // Fixed: the block size counts as signed, the block count as unsigned, in
  // 64 bits, as every log has shown a label's size.
  const uint64_t size = uint64_t(int64_t(int32_t(label.Field(L::kBlockSize)))) * label.BlockCount();
  text += extra;
  text += imageSize + UnsignedDecimal64(size) + bytes;
  text += dataSize + UnsignedDecimal64(size) + bytes;
  text += "\n";
  return text;
}

std::string DescribeDirectoryHeader(const uint8_t* block) {
  namespace H = opera::header;
  static const Line next("\tСледующий блок:\t"), previous("\tПредыдущий блок:\t"),
      flags("\tФлаги:\t"), firstFree("\tПервый свободный байт:\t"),
      firstEntry("\tСмещение на первую запись:\t");
  auto field = [block](size_t offset) { return opera::ReadBig32(block + offset); };
  std::string text;
  text += next.label + HexDec(field(H::kNextBlock)) + "\n";
  text += previous.label + HexDec(field(H::kPreviousBlock)) + "\n";
  text += flags.label + Hex8(field(H::kFlags)) + "\n";
  text += firstFree.label + HexDec(field(H::kFirstFree)) + "\n";
  text += firstEntry.label + HexDec(field(H::kFirstEntry)) + "\n";
  return text;
}

std::string DescribeEntry(const opera::EntryView& entry) {
  namespace E = opera::entry;
  // Fixed: the labels, "???" and all, are the log's own words, which stored logs are compared with.
  static const Line flags("\tФлаги:\t"), uniqueId("\tУникальный идентификатор:\t"),
      type("\tТип:\t"), blockSize("\tРазмер блока:\t"), byteCount("\tРазмер файла:\t"),
      blockCount("\tРазмер в блоках:\t"), burst("\tBurst(Взрыв)???:\t"),
      gap("\tGap(Промежуток)???:\t"), name("\tИмя:\t"), copies("\tКоличество копий:\t");
  const uint32_t lastCopy = entry.LastCopyIndex();
  std::string text;
  text += flags.label + Hex8(entry.Flags()) + "\n";
  text += uniqueId.label + Hex8(entry.Field(E::kUniqueId)) + "\n";
  text += type.label + Hex8(entry.Field(E::kType)) + "(" + FieldText(entry.Bytes() + E::kType, 4) +
          ")\n";
  text += blockSize.label + UnsignedDecimal(entry.BlockSize()) + "\n";
  text += byteCount.label + UnsignedDecimal(entry.ByteCount()) + "\n";
  text += blockCount.label + UnsignedDecimal(entry.BlockCount()) + "\n";
  text += burst.label + HexDec(entry.Field(E::kBurst)) + "\n";
  text += gap.label + HexDec(entry.Field(E::kGap)) + "\n";
  text += name.label + EntryName(entry) + "\n";
  text += copies.label + UnsignedDecimal(lastCopy + 1);
  if (lastCopy > opera::kEntryCopiesHandled - 1) text += log_text::LimitMark();
  text += "\n";
  const CopyList listed = HandledCopiesOf(entry);
  for (uint32_t i = 0; i < listed.count; ++i) text += CopyLine(int32_t(i), listed[i]);
  return text;
}

}  // namespace zanthrel
