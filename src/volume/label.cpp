#include "volume/label.h"

#include "support/text.h"

namespace zanthrel {

std::optional<Label> ReadLabel(ImageSource& source) {
  // A source of block size 0 has no records to count.
  if (!source.IsOpen() || source.BlockSize() == 0) return std::nullopt;
  Label label;
  if (!Seek(source, 0, 0, 0) || !ReadRecords(source, label.bytes.data(), opera::kLabelSize, 1)) {
    return std::nullopt;
  }
  return label;
}

std::string LabelText(const opera::LabelView& label) {
  return FieldText(label.Bytes() + opera::label::kLabelText, opera::label::kTextWidth);
}

std::string LabelComment(const opera::LabelView& label) {
  return FieldText(label.Bytes() + opera::label::kComment, opera::label::kTextWidth);
}

}  // namespace zanthrel
