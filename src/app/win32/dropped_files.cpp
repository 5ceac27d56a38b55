#include "app/win32/dropped_files.h"

#include <shellapi.h>

#include "app/win32/wide_text.h"

namespace zanthrel::app {

std::vector<std::string> TakeDroppedPaths(HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring path(size_t(DragQueryFileW(drop, i, nullptr, 0)) + 1, L'\0');
    path.resize(DragQueryFileW(drop, i, path.data(), UINT(path.size())));
    paths.push_back(WideToUtf8(path));
  }
  DragFinish(drop);
  return paths;
}

}  // namespace zanthrel::app
