// The volume label: its 132 bytes read from block 0, and the fields that
// readers of the volume take from it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "opera/records.h"
#include "source/image_source.h"
#include "volume/copy_list.h"

namespace zanthrel {

struct Label {
  std::array<uint8_t, opera::kLabelSize> bytes{};

  opera::LabelView View() const { return opera::LabelView(bytes.data()); }
  // The root copies to try, held to the label's eight slots.
  CopyList RootCopies() const {
    return {bytes.data() + opera::label::kRootCopies, View().RootCopiesToUse()};
  }
};

// The label of an open source; nothing when it cannot be read.
std::optional<Label> ReadLabel(ImageSource& source);

// The label's own text and its comment, Windows-1251, up to the first zero byte.
std::string LabelText(const opera::LabelView& label);
std::string LabelComment(const opera::LabelView& label);

}  // namespace zanthrel
