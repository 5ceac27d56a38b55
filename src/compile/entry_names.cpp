#include "compile/entry_names.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "support/host_names.h"
#include "support/text.h"

namespace zanthrel {

void MakeEntryName(std::string_view hostName, uint8_t field[32]) {
  const std::string name = DecodeHostName(hostName);
  std::memcpy(field, name.data(), std::min<size_t>(name.size(), 32));
}

uint32_t MakeEntryType(std::string_view hostName) {
  const std::string extension = ExtensionOf(hostName);
  uint32_t type = 0;
  for (size_t i = 0; i < 4; ++i) {
    type = (type << 8) | (i < extension.size() ? uint8_t(extension[i]) : uint8_t(' '));
  }
  return type;
}

bool IsSpecialName(std::string_view hostName, std::string_view fixedName) {
  return TrimBlanks(LowerCase(FileNameOf(hostName))) == fixedName;
}

}  // namespace zanthrel
