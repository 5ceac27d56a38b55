// Text at the door to the window system: UTF-8 inside the program, UTF-16 in
// every call to Windows. Bytes that are not UTF-8, and lone surrogates, come
// out as U+FFFD rather than stopping the conversion.
#pragma once

#include <string>
#include <string_view>

namespace zanthrel::app {

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

}  // namespace zanthrel::app
