// Text at the door to the window system: UTF-8 inside the program, UTF-16 in
// every call to Windows, whose wchar_t is a UTF-16 unit. Bytes that are not
// UTF-8, and lone surrogates, come out as U+FFFD rather than stopping the
// conversion.
#pragma once

#include <string>
#include <string_view>

#include "support/windows_paths.h"

namespace zanthrel::app {

inline std::wstring Utf8ToWide(std::string_view text) {
  const std::u16string wide = Utf8ToUtf16Replacing(text);
  return std::wstring(wide.begin(), wide.end());
}

inline std::string WideToUtf8(std::wstring_view text) {
  return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

}  // namespace zanthrel::app
