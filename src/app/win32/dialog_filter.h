// The filters of the file-open and file-save dialogs, in the form that
// GetOpenFileNameW wants: description and patterns, each ended by a zero,
// with one more zero at the end.
#pragma once

#include <string>
#include <vector>

namespace zanthrel::app {

struct FileFilter {
  std::string name;      // "Disc images"
  std::string patterns;  // "*.iso *.bin", as the description shows them
};

// The description reads "name (patterns)"; the patterns are joined by ";".
std::wstring DialogFilter(const std::vector<FileFilter>& filters);

// Disc images of every container, then any file.
std::wstring ImageFileFilter();
// The choices of the save dialog: ISO, CUE/BIN, CHD.
std::wstring ImageToWriteFilter();

}  // namespace zanthrel::app
