// What the window shows of an opened image, and what it takes out of it:
// the volume in a few fields and its tree under the names decompile would
// write, and the selected entries extracted into a folder as decompile
// writes them (the same names, the same bytes).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/cancel.h"
#include "support/host.h"
#include "support/progress.h"

namespace zanthrel {

// One file or folder of the tree.
struct BrowseEntry {
  // Host names from the root down, joined by "/", UTF-8: where decompile
  // writes the entry below its PARCE_ folder. What ExtractEntries takes.
  std::string path;
  std::string name;  // the last of them
  int depth = 0;     // 0 for an entry of the root
  bool folder = false;
  uint64_t size = 0;  // the bytes decompile writes of a file; 0 for a folder
  std::string type;   // the entry's four type bytes, unprintable ones as '.'
  uint32_t copies = 0;
  uint32_t firstBlock = 0;
};

struct BrowsedImage {
  std::string imagePath;
  bool opened = false;
  // Why the image did not open or its label did not read ("path: reason").
  std::string failure;
  std::string label;      // UTF-8
  // The container and track read: "plain", "gzip", "raw 2352", "CHD v5 ...".
  std::string container;
  uint32_t blockSize = 0;
  uint32_t blockCount = 0;
  uint64_t folders = 0;  // below the root
  uint64_t files = 0;
  // Every entry, each folder before what it holds and each folder's
  // children in name order: a window builds its tree from it top down.
  std::vector<BrowseEntry> entries;
  // Folders none of whose copies lists (paths like the entries'); shown,
  // with nothing below them.
  std::vector<std::string> unreadableFolders;
};

// Opens the image, reads its label and walks its tree.
BrowsedImage BrowseImageFile(const std::string& imagePath, Host& host = SystemHost(),
                             const Progress& progress = {});

// The volume in lines for the window's summary: label, container, blocks,
// folders and files.
std::vector<std::string> VolumeSummaryLines(const BrowsedImage& image);

struct ExtractReport {
  bool cancelled = false;
  // The first thing that failed, with its path and the system's words;
  // empty when every entry was written.
  std::string failure;
  // The top paths written into the folder, one per entry asked for.
  std::vector<std::string> written;
  uint64_t bytes = 0;
};

// Writes each entry named by `paths` (BrowseEntry::path; a folder with all
// it holds) into `folder` under its own name, with the bytes decompile
// writes. Nothing already there is replaced: such an entry fails. `progress`
// hears of the bytes written against the bytes asked for.
ExtractReport ExtractEntries(const std::string& imagePath, const std::vector<std::string>& paths,
                             const std::string& folder, Host& host = SystemHost(),
                             const Progress& progress = {}, CancelToken cancel = {});

}  // namespace zanthrel
