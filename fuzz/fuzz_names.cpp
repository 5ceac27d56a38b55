// The host-name and entry-name conversions: decoding gives back what was
// encoded, and the compile-side name and type functions never overrun.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "compile/entry_names.h"
#include "support/cp1251.h"
#include "support/host_names.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zanthrel;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string name = bytes;
  name.erase(std::remove(name.begin(), name.end(), '\0'), name.end());  // Opera names end at a zero
  if (DecodeHostName(EncodeHostName(name)) != name) std::abort();
  if (DecodeHostName(HostFileName(name)) != name) std::abort();
  if (!IsPortableFolderName(name) && DecodeHostName(HostFolderName(name)) != name) std::abort();
  const std::string folder = HostFolderName(name);
  if (folder.empty() || folder == "." || folder == ".." || folder.find('/') != std::string::npos) {
    std::abort();
  }
  if (Utf8ToCp1251(Cp1251ToUtf8(bytes)) != bytes) std::abort();

  uint8_t field[32] = {};
  MakeEntryName(bytes, field);
  MakeEntryType(bytes);
  IsSpecialName(bytes, "rom_tags");
  Utf8ToCp1251(bytes);
  return 0;
}
