// A strict reader of one JSON value, for files that people may edit: whole
// numbers that are not negative, strings that are UTF-8, no member named
// twice, and a depth that a small text cannot make deep. Anything else is
// refused with the place and the reason.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/result.h"

namespace zanthrel {

struct JsonValue {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  Kind kind = Kind::kNull;
  bool boolean = false;
  uint64_t number = 0;
  std::string text;  // UTF-8; may hold zero bytes written as \u0000
  std::vector<JsonValue> items;
  // An object's members in the order written: their names and their values.
  // Two lists, as a value cannot hold a pair of itself before it is complete.
  std::vector<std::string> names;
  std::vector<JsonValue> members;

  // The member of that name, or null.
  const JsonValue* Member(std::string_view name) const;
};

// How deep arrays and objects may nest.
inline constexpr size_t kMaxJsonDepth = 16;

// One value, with nothing but blanks around it. The error says where:
// "at byte 12: ...", counted from 1.
Result<JsonValue> ParseJson(std::string_view text);

// `text` (UTF-8, any bytes) as a JSON string with its quotes: the quote, the
// backslash and every byte below 0x20 and 0x7F escaped.
std::string JsonString(std::string_view text);

// The name of a kind, for messages: "a number", "a string", ...
std::string_view JsonKindName(JsonValue::Kind kind);

}  // namespace zanthrel
