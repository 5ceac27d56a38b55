// The path rules of the Windows host door, kept apart from the operating
// system so that they are tested on every host: UTF-8 inside, UTF-16 at the
// door, and the "\\?\" form that lifts the 260-character limit.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zanthrel {

// Null for text that is not UTF-8, so that no path is opened under a wrong name.
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);
// For text that is only shown: what is not UTF-8 becomes U+FFFD, one for each
// lead byte and the continuation bytes it rightly takes, or for each stray byte.
std::u16string Utf8ToUtf16Replacing(std::string_view text);
// A lone surrogate, which Windows allows in names, becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// "C:\..." or "C:/...", "\\server\share...", or "\\?\" and "\\.\" forms.
bool IsWindowsAbsolutePath(std::string_view path);
// The "\\?\" form of a full path in which "." and ".." are already resolved:
// "C:\a" gives "\\?\C:\a", "\\server\share" gives "\\?\UNC\server\share";
// forms that begin with "\\?\" or "\\.\" stay as they are. Separators become "\".
std::u16string LongPathForm(std::u16string_view fullPath);
// The inverse, for paths that the system gives back: "\\?\C:\a" gives "C:\a"
// and "\\?\UNC\server\share" gives "\\server\share".
std::u16string WithoutLongPathPrefix(std::u16string_view path);

}  // namespace zanthrel
