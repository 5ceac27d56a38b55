// The text that crosses the door to the window system, and the filters of
// the file dialogs, as Windows reads them.
#include <gtest/gtest.h>

#include <string>

#include "app/win32/dialog_filter.h"
#include "app/win32/wide_text.h"

namespace zanthrel::app {
namespace {

using namespace std::string_literals;

TEST(WideTextTest, RoundTripsCyrillicAndTextBeyondTheFirstPlane) {
  for (const std::string& text :
       {"Игры\\a!3Ab"s, "C:\\Образы\\Демо диск.final.iso"s, "\xF0\x9F\x92\xBF disc"s, "a\0b"s, ""s}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(WideToUtf8(Utf8ToWide(text)), text);
  }
  EXPECT_EQ(Utf8ToWide("Ёж"), L"\x0401\x0436");
  // One character outside the first plane is a surrogate pair at the door.
  EXPECT_EQ(Utf8ToWide("\xF0\x9F\x92\xBF"), L"\xD83D\xDCBF");
  // The longest path Windows takes comes through whole.
  const std::string longPath = "\\\\?\\C:" + std::string(32000, 'x');
  EXPECT_EQ(WideToUtf8(Utf8ToWide(longPath)), longPath);
}

TEST(WideTextTest, WhatIsNotUtf8BecomesTheReplacementCharacter) {
  // Windows-1251 bytes handed over by mistake, and a lone surrogate from a file name.
  EXPECT_EQ(Utf8ToWide("a\xC8\xE3ры"), L"a\xFFFD\xFFFD\x0440\x044B");
  EXPECT_EQ(WideToUtf8(std::wstring(L"a\xD800z")), "a\xEF\xBF\xBDz");
}

TEST(DialogFilterTest, PairsOfDescriptionAndPatternsEndWithTwoZeros) {
  EXPECT_EQ(ImageFileFilter(),
            L"Disc images (*.iso *.bin *.img *.cue *.chd *.nrg *.gz)\0"
            L"*.iso;*.bin;*.img;*.cue;*.chd;*.nrg;*.gz\0"
            L"All files (*.*)\0*.*\0\0"s);
  EXPECT_EQ(ImageToWriteFilter(),
            L"CD Image \".iso\" (*.iso)\0*.iso\0CUE/BIN \".cue\" (*.cue)\0*.cue\0CHD \".chd\" (*.chd)\0*.chd\0\0"s);
  EXPECT_EQ(DialogFilter({{"Образы", "*.iso"}}), L"Образы (*.iso)\0*.iso\0\0"s);
  EXPECT_EQ(DialogFilter({}), L"\0"s);
}

}  // namespace
}  // namespace zanthrel::app
