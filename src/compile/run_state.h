// The state of one compile run: the host it reads, the image it writes, the
// ids it hands out, the problems it meets and the bytes it counts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compile/boot_files.h"
#include "compile/image_file.h"
#include "compile/scan_ahead.h"
#include "compile/unique_ids.h"
#include "support/cancel.h"
#include "support/cp1251.h"
#include "support/host.h"
#include "support/progress.h"

namespace zanthrel {

struct CompileRun {
  CompileRun(Host& host, UniqueIdGenerator& ids, ImageFile& image)
      : host(host), ids(ids), image(image) {}

  Host& host;
  UniqueIdGenerator& ids;
  ImageFile& image;
  // One line per problem met: "path: reason".
  std::vector<std::string> problems;
  // One line per child stored under another name than its own: "path: stored as ...".
  std::vector<std::string> renamed;
  // One line per thing the user may want to know of, though nothing was lost: "path: what".
  std::vector<std::string> warnings;
  // The boot files met in the folders of the boot area.
  BootFilesFound bootFiles;
  // Lists the folders ahead of the walk, where there is one.
  ScanAhead* scans = nullptr;
  const Progress* progress = nullptr;
  FileWritten fileAdded;
  CancelToken cancel;
  // What the host names are stored as on the disc.
  TextEncoding names = TextEncoding::kCp1251;
  uint64_t totalBytes = 0;
  uint64_t bytesCopied = 0;
};

inline void Report(CompileRun& run, const std::string& path, const std::string& reason) {
  run.problems.push_back(path + ": " + reason);
}

}  // namespace zanthrel
