#include "support/utf8.h"

#include <gtest/gtest.h>

#include "support/cp1251.h"

namespace zanthrel {
namespace {

std::string Encoded(char32_t code) {
  std::string out;
  AppendUtf8(out, code);
  return out;
}

TEST(Utf8Test, EachFormAtItsBoundaries) {
  const struct {
    char32_t code;
    const char* bytes;
  } kForms[] = {{0x01, "\x01"},
                {0x7F, "\x7F"},
                {0x80, "\xC2\x80"},
                {0x7FF, "\xDF\xBF"},
                {0x800, "\xE0\xA0\x80"},
                {0xD7FF, "\xED\x9F\xBF"},
                {0xE000, "\xEE\x80\x80"},
                {0xFFFF, "\xEF\xBF\xBF"},
                {0x10000, "\xF0\x90\x80\x80"},
                {0x10FFFF, "\xF4\x8F\xBF\xBF"}};
  for (const auto& form : kForms) {
    const std::string bytes = form.bytes;
    EXPECT_EQ(Encoded(form.code), bytes) << std::hex << uint32_t(form.code);
    const Utf8Char decoded = DecodeUtf8("ab" + bytes + "z", 2);
    EXPECT_EQ(decoded.code, form.code) << std::hex << uint32_t(form.code);
    EXPECT_EQ(decoded.length, bytes.size()) << std::hex << uint32_t(form.code);
  }
  EXPECT_EQ(DecodeUtf8(std::string_view("\0", 1), 0).length, 1u);
  // Every code but the surrogates comes back from its own form.
  for (char32_t code = 0; code <= 0x10FFFF; code += (code < 0x1000 ? 1 : 97)) {
    if (code >= 0xD800 && code <= 0xDFFF) continue;
    const std::string bytes = Encoded(code);
    const Utf8Char decoded = DecodeUtf8(bytes, 0);
    ASSERT_EQ(decoded.code, code);
    ASSERT_EQ(decoded.length, bytes.size());
  }
}

TEST(Utf8Test, WhatIsNotUtf8TakesNoBytes) {
  for (const char* bad : {"\x80",               // a continuation byte first
                          "\xBF", "\xF8\x88\x80\x80\x80", "\xFF",  // bytes that begin nothing
                          "\xC0\x80", "\xC1\xBF",                  // overlong two-byte forms
                          "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF",      // overlong three and four
                          "\xED\xA0\x80", "\xED\xBF\xBF",          // surrogates
                          "\xF4\x90\x80\x80", "\xF7\xBF\xBF\xBF",  // past U+10FFFF
                          "\xC3", "\xE2\x84", "\xF0\x9F\x98",      // cut short by the end
                          "\xC3z", "\xE2\x84z", "\xE2z\x84"}) {    // broken by a byte that does not continue
    EXPECT_EQ(DecodeUtf8(bad, 0).length, 0u) << testing::PrintToString(bad);
  }
}

TEST(Utf8Test, Windows1251MarksEachByteThatIsNotUtf8) {
  // Invalid text is taken one byte at a time, so that the valid text after it stays.
  EXPECT_EQ(Utf8ToCp1251("\xED\xA0\x80" "a"), "???a");
  EXPECT_EQ(Utf8ToCp1251("\xE2\x84" "\xD0\x9F"), "??\xCF");
  EXPECT_EQ(Utf8ToCp1251("\xF4\x90\x80\x80"), "????");
  EXPECT_EQ(Utf8ToCp1251("\xF4\x8F\xBF\xBF"), "?");  // valid, but no Windows-1251 form
  EXPECT_EQ(Utf8ToCp1251("\xC2\x98" "\xE2\x84\x96"), "\x98\xB9");
}

}  // namespace
}  // namespace zanthrel
