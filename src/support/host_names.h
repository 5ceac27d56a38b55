// Reversible encoding of Opera names into names that every host accepts.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "support/cp1251.h"

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

// Every byte outside the host-safe class becomes "!" and two upper-case hex
// digits. Names read as UTF-8 (`names`) keep each whole UTF-8 character past
// ASCII as it is; a byte that is not UTF-8 there is escaped.
std::string EncodeHostName(std::string_view operaName, TextEncoding names = TextEncoding::kCp1251);
// The inverse: "!" and two hex digits (either case) give that byte; "!00" adds nothing.
std::string DecodeHostName(std::string_view hostName);

// True when the name can stand as one folder name on every host as it is.
bool IsPortableFolderName(std::string_view operaName, TextEncoding names = TextEncoding::kCp1251);
// The host name of a file: EncodeHostName, besides which an empty name becomes
// "!00" and a name made only of dots has every dot escaped, so that no name can
// lead outside the folder that receives it. Under the Windows rules a device
// name has its first byte escaped and a final dot or space is escaped.
// DecodeHostName gives the name back.
std::string HostFileName(std::string_view operaName, HostNameRules rules = kThisHostRules,
                         TextEncoding names = TextEncoding::kCp1251);
// The host name of a folder: the name as it stands when it is portable (and,
// under the Windows rules, acceptable there), else HostFileName.
std::string HostFolderName(std::string_view operaName, HostNameRules rules = kThisHostRules,
                           TextEncoding names = TextEncoding::kCp1251);

// `hostName` with "~" and the number before its extension, as compile makes
// names unique: "name~1.ext"; a name whose only dot leads it has none.
std::string NumberedHostName(const std::string& hostName, unsigned number);

// The host names of one folder's entries, given in disc order, each one of
// its own, so that no entry takes the place of another: files and folders
// alike, and names that only differ past a zero byte, which reads as their end.
// Under the Windows rules a name equal to an earlier, different one but for
// letter case first has its letters escaped, one at a time from the left,
// until it stands apart; this is reversible, as compile decodes the escapes.
// A name that still meets one handed out before (the same name met again)
// takes the first NumberedHostName that none handed out before has. The
// names come from the disc's order alone, never from what the host holds, so
// every run and the mount give the same ones.
class FolderHostNames {
 public:
  explicit FolderHostNames(HostNameRules rules = kThisHostRules, TextEncoding names = TextEncoding::kCp1251)
      : rules_(rules), names_(names) {}
  std::string FileName(std::string_view operaName) {
    return Distinct(HostFileName(operaName, rules_, names_));
  }
  std::string FolderName(std::string_view operaName) {
    return Distinct(HostFolderName(operaName, rules_, names_));
  }
  // Whether the last name handed out took a number.
  bool Numbered() const { return numbered_; }

 private:
  std::string Distinct(std::string hostName);
  // Under the Windows rules: the name, its letters escaped until its
  // lower-case form is free or taken by this very name.
  std::string ApartInCase(std::string hostName) const;
  // The form that two names share when the host takes them for one.
  std::string Key(const std::string& hostName) const;

  HostNameRules rules_;
  TextEncoding names_;
  std::map<std::string, std::string> taken_;  // Key -> the name handed out
  std::map<std::string, unsigned> nextNumber_;  // Key of a name met again -> the number to try next
  bool numbered_ = false;
};

}  // namespace zanthrel
