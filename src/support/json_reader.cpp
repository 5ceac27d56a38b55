#include "support/json_reader.h"

#include "support/text.h"
#include "support/utf8.h"

namespace zanthrel {

namespace {

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  Result<JsonValue> Document() {
    JsonValue value;
    SkipBlanks();
    if (!Value(value, 0)) return Failure();
    SkipBlanks();
    if (at_ != text_.size()) {
      Fail("text after the value");
      return Failure();
    }
    return value;
  }

 private:
  bool Fail(std::string_view what) {
    if (error_.empty()) error_ = "at byte " + UnsignedDecimal64(at_ + 1) + ": " + std::string(what);
    return false;
  }
  Error Failure() const { return {error_}; }

  void SkipBlanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' ||
                                  text_[at_] == '\r')) {
      ++at_;
    }
  }
  bool Take(char c) {
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return Fail("not a JSON value");
    at_ += word.size();
    return true;
  }

  bool Value(JsonValue& value, size_t depth) {
    if (at_ >= text_.size()) return Fail("the text ends where a value should be");
    const char c = text_[at_];
    if (c == '{' || c == '[') {
      if (depth >= kMaxJsonDepth) return Fail("nested too deep");
      return c == '{' ? Object(value, depth + 1) : Array(value, depth + 1);
    }
    if (c == '"') {
      value.kind = JsonValue::Kind::kString;
      return String(value.text);
    }
    if (c >= '0' && c <= '9') return Number(value);
    if (c == '-') return Fail("a negative number");
    if (c == 't' || c == 'f') {
      value.kind = JsonValue::Kind::kBool;
      value.boolean = c == 't';
      return Word(c == 't' ? "true" : "false");
    }
    if (c == 'n') return Word("null");
    return Fail("not a JSON value");
  }

  bool Number(JsonValue& value) {
    value.kind = JsonValue::Kind::kNumber;
    if (text_[at_] == '0' && at_ + 1 < text_.size() && text_[at_ + 1] >= '0' && text_[at_ + 1] <= '9') {
      return Fail("a number with a leading zero");
    }
    uint64_t number = 0;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
      if (__builtin_mul_overflow(number, 10, &number) ||
          __builtin_add_overflow(number, uint64_t(text_[at_] - '0'), &number)) {
        return Fail("a number too large");
      }
      ++at_;
    }
    if (at_ < text_.size() && (text_[at_] == '.' || text_[at_] == 'e' || text_[at_] == 'E')) {
      return Fail("a number that is not whole");
    }
    value.number = number;
    return true;
  }

  bool Hex4(char32_t& code) {
    if (text_.size() - at_ < 4) return Fail("a \\u escape cut short");
    code = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[at_++];
      const int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
      if (digit < 0) return Fail("a \\u escape that is not four hex digits");
      code = code * 16 + char32_t(digit);
    }
    return true;
  }

  bool Escape(std::string& out) {
    if (at_ >= text_.size()) return Fail("a string that does not end");
    const char c = text_[at_++];
    switch (c) {
      case '"': out += '"'; return true;
      case '\\': out += '\\'; return true;
      case '/': out += '/'; return true;
      case 'b': out += '\b'; return true;
      case 'f': out += '\f'; return true;
      case 'n': out += '\n'; return true;
      case 'r': out += '\r'; return true;
      case 't': out += '\t'; return true;
      case 'u': break;
      default: return Fail("an unknown escape");
    }
    char32_t code;
    if (!Hex4(code)) return false;
    if (code >= 0xDC00 && code <= 0xDFFF) return Fail("a lone surrogate");
    if (code >= 0xD800 && code <= 0xDBFF) {
      char32_t low;
      if (!Take('\\') || !Take('u') || !Hex4(low) || low < 0xDC00 || low > 0xDFFF) {
        return Fail("a lone surrogate");
      }
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(out, code);
    return true;
  }

  bool String(std::string& out) {
    ++at_;  // the opening quote
    for (;;) {
      if (at_ >= text_.size()) return Fail("a string that does not end");
      const auto c = uint8_t(text_[at_]);
      if (c == '"') {
        ++at_;
        return true;
      }
      if (c < 0x20) return Fail("a control character in a string");
      if (c == '\\') {
        ++at_;
        if (!Escape(out)) return false;
        continue;
      }
      const Utf8Char character = DecodeUtf8(text_, at_);
      if (character.length == 0) return Fail("a string that is not UTF-8");
      out.append(text_.substr(at_, character.length));
      at_ += character.length;
    }
  }

  bool Array(JsonValue& value, size_t depth) {
    value.kind = JsonValue::Kind::kArray;
    ++at_;
    SkipBlanks();
    if (Take(']')) return true;
    for (;;) {
      SkipBlanks();
      value.items.emplace_back();
      if (!Value(value.items.back(), depth)) return false;
      SkipBlanks();
      if (Take(']')) return true;
      if (!Take(',')) return Fail("an array without a comma or its end");
    }
  }

  bool Object(JsonValue& value, size_t depth) {
    value.kind = JsonValue::Kind::kObject;
    ++at_;
    SkipBlanks();
    if (Take('}')) return true;
    for (;;) {
      SkipBlanks();
      if (at_ >= text_.size() || text_[at_] != '"') return Fail("an object member without a name");
      std::string name;
      if (!String(name)) return false;
      if (value.Member(name)) return Fail("a member named twice: " + EscapeControls(name));
      SkipBlanks();
      if (!Take(':')) return Fail("a member name without a colon");
      SkipBlanks();
      value.names.push_back(std::move(name));
      value.members.emplace_back();
      if (!Value(value.members.back(), depth)) return false;
      SkipBlanks();
      if (Take('}')) return true;
      if (!Take(',')) return Fail("an object without a comma or its end");
    }
  }

  std::string_view text_;
  size_t at_ = 0;
  std::string error_;
};

}  // namespace

const JsonValue* JsonValue::Member(std::string_view name) const {
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return &members[i];
  }
  return nullptr;
}

Result<JsonValue> ParseJson(std::string_view text) { return Reader(text).Document(); }

std::string JsonString(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = uint8_t(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string_view JsonKindName(JsonValue::Kind kind) {
  switch (kind) {
    case JsonValue::Kind::kNull: return "null";
    case JsonValue::Kind::kBool: return "true or false";
    case JsonValue::Kind::kNumber: return "a number";
    case JsonValue::Kind::kString: return "a string";
    case JsonValue::Kind::kArray: return "an array";
    case JsonValue::Kind::kObject: return "an object";
  }
  return "";
}

}  // namespace zanthrel
