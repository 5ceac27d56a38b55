#include "app/win32/dialog_filter.h"

#include "app/win32/wide_text.h"
#include "workflow/window_jobs.h"

namespace zanthrel::app {

std::wstring DialogFilter(const std::vector<FileFilter>& filters) {
  std::wstring filter;
  for (const FileFilter& entry : filters) {
    filter += Utf8ToWide(entry.name + " (" + entry.patterns + ")");
    filter += L'\0';
    std::wstring patterns = Utf8ToWide(entry.patterns);
    for (wchar_t& c : patterns) {
      if (c == L' ') c = L';';
    }
    filter += patterns;
    filter += L'\0';
  }
  filter += L'\0';
  return filter;
}

std::wstring ImageFileFilter() {
  return DialogFilter({{kImageFilesName, kImageFilePatterns}, {kAllFilesName, "*.*"}});
}

std::wstring ImageToWriteFilter() {
  std::vector<FileFilter> filters;
  for (const ImageToWriteChoice& choice : kImagesToWrite) filters.push_back({choice.name, choice.pattern});
  return DialogFilter(filters);
}

}  // namespace zanthrel::app
