#include "support/host_names.h"

#include <array>

#include "support/text.h"
#include "support/utf8.h"

namespace zanthrel {

namespace {

constexpr std::array<bool, 256> MakeHostSafeClass() {
  std::array<bool, 256> safe{};
  auto mark = [&safe](int from, int to) {
    for (int b = from; b <= to; ++b) safe[size_t(b)] = true;
  };
  mark(0x20, 0x20);
  mark(0x23, 0x29);
  mark(0x2B, 0x2E);
  mark(0x30, 0x39);
  mark(0x3B, 0x3B);
  mark(0x3D, 0x3D);
  mark(0x40, 0x5B);
  mark(0x5D, 0x7B);
  mark(0x7D, 0x7E);
  mark(0xA8, 0xA8);
  mark(0xB8, 0xB8);
  mark(0xC0, 0xFF);
  return safe;
}

constexpr std::array<bool, 256> kHostSafe = MakeHostSafeClass();

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsOnlyDots(std::string_view name) {
  return !name.empty() && name.find_first_not_of('.') == std::string_view::npos;
}

std::string Escape(char c) {
  std::string escaped(1, '!');
  escaped += HexByteText(uint8_t(c), 2, false);
  return escaped;
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9: what stands before the first dot, blanks
// after it ignored, as Windows reads it.
bool IsWindowsDeviceName(std::string_view name) {
  std::string stem = LowerCase(name.substr(0, name.find('.')));
  while (!stem.empty() && (stem.back() == ' ' || stem.back() == '.')) stem.pop_back();
  if (stem == "con" || stem == "prn" || stem == "aux" || stem == "nul") return true;
  return stem.size() == 4 && (stem.starts_with("com") || stem.starts_with("lpt")) && stem[3] >= '1' &&
         stem[3] <= '9';
}

// A host name that Windows would take for a device or trim.
std::string WindowsSafe(std::string name) {
  if (name.empty()) return name;
  // "CON." is CON too: the device test comes before the final dot is escaped.
  if (IsWindowsDeviceName(name)) name.replace(0, 1, Escape(name[0]));
  if (name.back() == '.' || name.back() == ' ') name.replace(name.size() - 1, 1, Escape(name.back()));
  return name;
}

}  // namespace

std::string EncodeHostName(std::string_view operaName, TextEncoding names) {
  std::string host;
  host.reserve(operaName.size());
  for (size_t at = 0; at < operaName.size(); ++at) {
    const char c = operaName[at];
    const uint8_t byte = uint8_t(c);
    // Fixed: names read as Windows-1251 keep the byte classes that every
    // decompiled folder was named by; UTF-8 is read only when asked for.
    if (names == TextEncoding::kUtf8 && byte >= 0x80) {
      if (const size_t length = DecodeUtf8(operaName, at).length; length > 0) {
        host.append(operaName.substr(at, length));
        at += length - 1;
        continue;
      }
      host += Escape(c);
      continue;
    }
    if (kHostSafe[byte]) {
      host += c;
    } else {
      host += '!';
      host += HexByteText(byte, 2, false);
    }
  }
  return host;
}

std::string DecodeHostName(std::string_view hostName) {
  std::string opera;
  opera.reserve(hostName.size());
  for (size_t i = 0; i < hostName.size(); ++i) {
    if (hostName[i] == '!' && i + 2 < hostName.size() && HexValue(hostName[i + 1]) >= 0 &&
        HexValue(hostName[i + 2]) >= 0) {
      char byte = char(HexValue(hostName[i + 1]) * 16 + HexValue(hostName[i + 2]));
      if (byte != 0) opera += byte;
      i += 2;
    } else {
      opera += hostName[i];
    }
  }
  return opera;
}

bool IsPortableFolderName(std::string_view operaName, TextEncoding names) {
  if (operaName.empty() || IsOnlyDots(operaName)) return false;
  // Read as UTF-8, a name must be UTF-8 to stand on the host as it is.
  for (size_t at = 0; names == TextEncoding::kUtf8 && at < operaName.size();) {
    if (uint8_t(operaName[at]) < 0x80) {
      ++at;
    } else if (const size_t length = DecodeUtf8(operaName, at).length; length > 0) {
      at += length;
    } else {
      return false;
    }
  }
  for (char c : operaName) {
    uint8_t byte = uint8_t(c);
    if (byte < 0x20) return false;
    if (std::string_view("\"*/:<>?\\|").find(c) != std::string_view::npos) return false;
  }
  return true;
}

std::string HostFileName(std::string_view operaName, HostNameRules rules, TextEncoding names) {
  if (operaName.empty()) return "!00";
  if (IsOnlyDots(operaName)) {
    std::string escaped;
    for (size_t i = 0; i < operaName.size(); ++i) escaped += "!2E";
    return escaped;
  }
  std::string host = EncodeHostName(operaName, names);
  return rules == HostNameRules::kWindows ? WindowsSafe(std::move(host)) : host;
}

std::string HostFolderName(std::string_view operaName, HostNameRules rules, TextEncoding names) {
  if (!IsPortableFolderName(operaName, names)) return HostFileName(operaName, rules, names);
  const std::string name(operaName);
  if (rules == HostNameRules::kWindows && WindowsSafe(name) != name) {
    return HostFileName(operaName, rules, names);
  }
  return name;
}

std::string NumberedHostName(const std::string& hostName, unsigned number) {
  const size_t dot = hostName.rfind('.');
  const size_t stem = dot != std::string::npos && dot > 0 ? dot : hostName.size();
  return hostName.substr(0, stem) + '~' + std::to_string(number) + hostName.substr(stem);
}

std::string FolderHostNames::Key(const std::string& hostName) const {
  return rules_ == HostNameRules::kWindows ? LowerCase(hostName) : hostName;
}

std::string FolderHostNames::ApartInCase(std::string hostName) const {
  // Escapes already in the name ("!" and two hex digits) stay as they are.
  for (size_t at = 0;;) {
    const auto place = taken_.find(Key(hostName));
    if (place == taken_.end() || place->second == hostName) return hostName;
    while (at < hostName.size() && (hostName[at] == '!' || !IsCp1251Letter(uint8_t(hostName[at])))) {
      at += hostName[at] == '!' ? 3 : 1;
    }
    if (at >= hostName.size()) return hostName;
    hostName.replace(at, 1, Escape(hostName[at]));
    at += 3;
  }
}

std::string FolderHostNames::Distinct(std::string hostName) {
  if (rules_ == HostNameRules::kWindows) hostName = ApartInCase(std::move(hostName));
  // Only names handed out so far count: a later entry whose own name is
  // taken by a number takes a number in its turn, so the earlier of two
  // entries that meet always keeps its name.
  std::string unique = hostName;
  numbered_ = !taken_.emplace(Key(unique), unique).second;
  if (!numbered_) return unique;
  // Names are never given back, so every number below the last one tried
  // for this name is still taken: a folder of one name many times over
  // costs no more than one try each.
  unsigned& number = nextNumber_.try_emplace(Key(hostName), 1).first->second;
  do {
    unique = NumberedHostName(hostName, number++);
  } while (!taken_.emplace(Key(unique), unique).second);
  return unique;
}

}  // namespace zanthrel
