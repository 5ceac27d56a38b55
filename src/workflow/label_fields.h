// The volume label fields that a user types for a compile, checked once for
// the command line and the window alike. Texts come in UTF-8; a failure's
// text says what is wrong and what would do.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "compile/compile_run.h"
#include "support/result.h"

namespace zanthrel {

// The label fields a user asks for, as typed; what is not given stays the compile's own.
struct LabelFields {
  std::optional<std::string> text;
  std::optional<std::string> comment;
  std::optional<uint32_t> volumeId;
  std::optional<uint32_t> rootId;
};

// The label's text or its comment as stored: Windows-1251, at most 32 bytes.
Result<std::string> LabelTextBytes(const std::string& text);
// A volume or root id: decimal, or hexadecimal after "0x", of 32 bits.
Result<uint32_t> LabelIdNumber(const std::string& typed);
// The id as the window shows it: "0x" and eight hexadecimal digits.
std::string LabelIdText(uint32_t id);

// The fields as a dialog shows them, each empty when not chosen: the texts
// as typed and the ids as LabelIdText writes them.
struct TypedLabelFields {
  std::string text;
  std::string comment;
  std::string volumeId;
  std::string rootId;
};
TypedLabelFields TypedLabelFieldsOf(const LabelFields& fields);
// The fields a dialog's answer chooses; the failure of the first that
// cannot be stored, naming it.
Result<LabelFields> LabelFieldsOf(const TypedLabelFields& typed);

// The fields as a compile takes them; the failure of the first text that
// has no form to store.
Result<LabelChoice> LabelChoiceOf(const LabelFields& fields);

}  // namespace zanthrel
