#include "workflow/label_fields.h"

#include <charconv>
#include <cstdio>

#include "opera/records.h"
#include "support/cp1251.h"

namespace zanthrel {

Result<std::string> LabelTextBytes(const std::string& text) {
  std::string stored = Utf8ToCp1251(text);
  if (Cp1251ToUtf8(stored) != text) {
    return Error{"\"" + text + "\" has characters without a Windows-1251 form, which the label is stored in"};
  }
  if (stored.find('\0') != std::string::npos) return Error{"\"" + text + "\" holds a zero byte, which ends the text"};
  if (stored.size() > opera::label::kTextWidth) {
    return Error{"\"" + text + "\" is " + std::to_string(stored.size()) +
                 " bytes in Windows-1251; the label holds at most 32"};
  }
  return stored;
}

Result<uint32_t> LabelIdNumber(const std::string& typed) {
  const bool hex = typed.size() > 2 && typed[0] == '0' && (typed[1] == 'x' || typed[1] == 'X');
  const char* first = typed.data() + (hex ? 2 : 0);
  const char* last = typed.data() + typed.size();
  uint32_t value = 0;
  const auto [end, error] = std::from_chars(first, last, value, hex ? 16 : 10);
  // from_chars takes no sign or blank, but would take a minus sign: none is wanted.
  if (first == last || *first == '-' || error != std::errc() || end != last) {
    return Error{"\"" + typed + "\" is not a 32-bit number: give it in decimal (0 to 4294967295) or in hex (0x0 to 0xFFFFFFFF)"};
  }
  return value;
}

std::string LabelIdText(uint32_t id) {
  char text[11];
  std::snprintf(text, sizeof text, "0x%08X", unsigned(id));
  return text;
}

TypedLabelFields TypedLabelFieldsOf(const LabelFields& fields) {
  return {fields.text.value_or(""), fields.comment.value_or(""),
          fields.volumeId ? LabelIdText(*fields.volumeId) : "", fields.rootId ? LabelIdText(*fields.rootId) : ""};
}

Result<LabelFields> LabelFieldsOf(const TypedLabelFields& typed) {
  LabelFields fields;
  if (!typed.text.empty()) fields.text = typed.text;
  if (!typed.comment.empty()) fields.comment = typed.comment;
  const struct {
    const std::string& typed;
    std::optional<uint32_t>& field;
    const char* name;
  } ids[] = {{typed.volumeId, fields.volumeId, "Volume id"}, {typed.rootId, fields.rootId, "Root id"}};
  for (const auto& id : ids) {
    if (id.typed.empty()) continue;
    Result<uint32_t> number = LabelIdNumber(id.typed);
    if (!number) return Error{std::string(id.name) + ": " + number.Failure().text};
    id.field = *number;
  }
  if (Result<LabelChoice> choice = LabelChoiceOf(fields); !choice) return choice.Failure();
  return fields;
}

Result<LabelChoice> LabelChoiceOf(const LabelFields& fields) {
  LabelChoice choice;
  choice.volumeId = fields.volumeId;
  choice.rootId = fields.rootId;
  if (fields.text) {
    Result<std::string> text = LabelTextBytes(*fields.text);
    if (!text) return Error{"the volume label " + text.Failure().text};
    choice.text = *text;
  }
  if (fields.comment) {
    Result<std::string> comment = LabelTextBytes(*fields.comment);
    if (!comment) return Error{"the volume comment " + comment.Failure().text};
    choice.comment = *comment;
  }
  return choice;
}

}  // namespace zanthrel
