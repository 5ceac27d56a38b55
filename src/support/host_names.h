// Reversible encoding of Opera names into names that every host accepts.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace zanthrel {

// What a host's disks refuse besides the portable rules. Windows: the device
// names CON, PRN, AUX, NUL, COM1-9 and LPT1-9 (any letter case, any
// extension), names ending in a dot or a space, and names of one folder that
// differ only in letter case.
enum class HostNameRules { kPosix, kWindows };
#ifdef _WIN32
inline constexpr HostNameRules kThisHostRules = HostNameRules::kWindows;
#else
inline constexpr HostNameRules kThisHostRules = HostNameRules::kPosix;
#endif

// Every byte outside the host-safe class becomes "!" and two upper-case hex digits.
std::string EncodeHostName(std::string_view operaName);
// The inverse: "!" and two hex digits (either case) give that byte; "!00" adds nothing.
std::string DecodeHostName(std::string_view hostName);

// True when the name can stand as one folder name on every host as it is.
bool IsPortableFolderName(std::string_view operaName);
// The host name of a file: EncodeHostName, besides which an empty name becomes
// "!00" and a name made only of dots has every dot escaped, so that no name can
// lead outside the folder that receives it. Under the Windows rules a device
// name has its first byte escaped and a final dot or space is escaped.
// DecodeHostName gives the name back.
std::string HostFileName(std::string_view operaName, HostNameRules rules = kThisHostRules);
// The host name of a folder: the name as it stands when it is portable (and,
// under the Windows rules, acceptable there), else HostFileName.
std::string HostFolderName(std::string_view operaName, HostNameRules rules = kThisHostRules);

// The host names of one folder's entries, given in disc order. Under the
// Windows rules a name equal to an earlier, different one but for letter case
// has its letters escaped, one at a time from the left, until it stands
// apart, so that no file takes the place of another on a disk that ignores
// case. A name met twice gets the same host name both times.
class FolderHostNames {
 public:
  explicit FolderHostNames(HostNameRules rules = kThisHostRules) : rules_(rules) {}
  std::string FileName(std::string_view operaName) { return Distinct(HostFileName(operaName, rules_)); }
  std::string FolderName(std::string_view operaName) {
    return Distinct(HostFolderName(operaName, rules_));
  }

 private:
  std::string Distinct(std::string hostName);

  HostNameRules rules_;
  std::map<std::string, std::string> taken_;  // lower-case form -> the name handed out
};

}  // namespace zanthrel
