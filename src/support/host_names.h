// Reversible encoding of Opera names into names that every host accepts.
#pragma once

#include <string>
#include <string_view>

namespace zanthrel {

// Every byte outside the host-safe class becomes "!" and two upper-case hex digits.
std::string EncodeHostName(std::string_view operaName);
// The inverse: "!" and two hex digits (either case) give that byte; "!00" adds nothing.
std::string DecodeHostName(std::string_view hostName);

// True when the name can stand as one folder name on every host as it is.
bool IsPortableFolderName(std::string_view operaName);
// The host name of a file: EncodeHostName, besides which an empty name becomes
// "!00" and a name made only of dots has every dot escaped, so that no name can
// lead outside the folder that receives it. DecodeHostName gives the name back.
std::string HostFileName(std::string_view operaName);
// The host name of a folder: the name as it stands when it is portable, else HostFileName.
std::string HostFolderName(std::string_view operaName);

}  // namespace zanthrel
