#include "support/windows_paths.h"

#include <gtest/gtest.h>

namespace zanthrel {
namespace {

TEST(WindowsPathsTest, Utf8AndUtf16RoundTripAndRefuseWhatIsNotUtf8) {
  const std::string mixed = "a\xD0\x9F\xE2\x84\x96\xF0\x9F\x98\x80z";  // a, П, №, 😀, z
  const std::optional<std::u16string> wide = Utf8ToUtf16(mixed);
  ASSERT_TRUE(wide);
  EXPECT_EQ(*wide, (std::u16string{u'a', 0x041F, 0x2116, 0xD83D, 0xDE00, u'z'}));
  EXPECT_EQ(Utf16ToUtf8(*wide), mixed);
  EXPECT_EQ(Utf8ToUtf16(std::string("a\0b", 3))->size(), 3u);  // roots lists hold zeros

  for (const char* bad : {"\xFF", "\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                          "ab\xC3", "\xE2\x84", "\x80"}) {
    EXPECT_FALSE(Utf8ToUtf16(bad)) << bad;
  }
  // A lone surrogate, legal in a Windows name, comes out as U+FFFD.
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'x', 0xD800, u'y'}), "x\xEF\xBF\xBDy");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00}), "\xEF\xBF\xBD");
}

TEST(WindowsPathsTest, TextToShowHasWhatIsNotUtf8Replaced) {
  const std::string mixed = "a\xD0\x9F\xE2\x84\x96\xF0\x9F\x98\x80z";
  EXPECT_EQ(Utf8ToUtf16Replacing(mixed), *Utf8ToUtf16(mixed));
  EXPECT_EQ(Utf8ToUtf16Replacing(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
  // Windows-1251 bytes handed over by mistake: one U+FFFD for each lead byte
  // and the continuation bytes it rightly takes, one for each stray byte.
  EXPECT_EQ(Utf8ToUtf16Replacing("a\xC8\xE3\xD1\x80\xD1\x8B"),
            (std::u16string{u'a', 0xFFFD, 0xFFFD, 0x0440, 0x044B}));
  EXPECT_EQ(Utf8ToUtf16Replacing("\xE2\x84z"), (std::u16string{0xFFFD, u'z'}));
  EXPECT_EQ(Utf8ToUtf16Replacing("\xC0\x80"), (std::u16string{0xFFFD, 0xFFFD}));
  EXPECT_EQ(Utf8ToUtf16Replacing("\xED\xA0\x80"), (std::u16string{0xFFFD, 0xFFFD, 0xFFFD}));
  EXPECT_EQ(Utf8ToUtf16Replacing("\xF4\x90\x80\x80!"),
            (std::u16string{0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, u'!'}));
  EXPECT_EQ(Utf8ToUtf16Replacing("\xFF\x80"), (std::u16string{0xFFFD, 0xFFFD}));
  EXPECT_EQ(Utf8ToUtf16Replacing("ab\xF0\x9F\x98"), (std::u16string{u'a', u'b', 0xFFFD}));
}

TEST(WindowsPathsTest, AbsolutePathsHaveADrivePartOrAreUnc) {
  for (const char* path : {"C:\\x", "c:/x", "\\\\server\\share", "//server/share", "\\\\?\\C:\\x",
                           "\\\\.\\D:"}) {
    EXPECT_TRUE(IsWindowsAbsolutePath(path)) << path;
  }
  for (const char* path : {"x", "C:", "C:x", "\\x", "/x", "1:\\x", ""}) {
    EXPECT_FALSE(IsWindowsAbsolutePath(path)) << path;
  }
}

TEST(WindowsPathsTest, LongPathFormAndBack) {
  EXPECT_EQ(LongPathForm(u"C:\\games\\disc.iso"), u"\\\\?\\C:\\games\\disc.iso");
  EXPECT_EQ(LongPathForm(u"C:/games/disc.iso"), u"\\\\?\\C:\\games\\disc.iso");
  EXPECT_EQ(LongPathForm(u"\\\\server\\share\\a"), u"\\\\?\\UNC\\server\\share\\a");
  EXPECT_EQ(LongPathForm(u"\\\\?\\C:\\a"), u"\\\\?\\C:\\a");
  EXPECT_EQ(LongPathForm(u"\\\\.\\D:"), u"\\\\.\\D:");
  // Past the 260-character limit of the plain form.
  const std::u16string deep = u"C:\\" + std::u16string(300, u'd') + u"\\file.bin";
  EXPECT_EQ(LongPathForm(deep), u"\\\\?\\" + deep);

  EXPECT_EQ(WithoutLongPathPrefix(u"\\\\?\\C:\\a"), u"C:\\a");
  EXPECT_EQ(WithoutLongPathPrefix(u"\\\\?\\UNC\\server\\share"), u"\\\\server\\share");
  EXPECT_EQ(WithoutLongPathPrefix(u"C:\\a"), u"C:\\a");
  EXPECT_EQ(WithoutLongPathPrefix(LongPathForm(deep)), deep);
}

}  // namespace
}  // namespace zanthrel
