// The layout file's reader: any text is read or refused without a fault, and
// what it reads is written back as a text that reads as the same layout.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "volume/layout_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zanthrel;
  const Result<DiscLayout> layout = ParseLayout(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!layout) return 0;
  const std::string text = LayoutText(*layout);
  const Result<DiscLayout> again = ParseLayout(text);
  if (!again || !(*again == *layout) || LayoutText(*again) != text) std::abort();
  return 0;
}
