// The compile run: a host folder becomes a complete Opera image of 2048-byte
// blocks, with its volume label, the boot area on request, and the root
// directory last.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "compile/unique_ids.h"
#include "support/cancel.h"
#include "support/cp1251.h"
#include "support/host.h"
#include "support/progress.h"

namespace zanthrel {

// Label fields chosen instead of a compile's own; texts are Windows-1251 of
// at most 32 bytes.
struct LabelChoice {
  std::optional<std::string> text;
  std::optional<std::string> comment;
  std::optional<uint32_t> volumeId;
  std::optional<uint32_t> rootId;
};

struct CompileOptions {
  // Bytes copied against the bytes of every file found below the folder.
  Progress progress;
  // Each host file, as it is added to the image.
  FileWritten fileAdded;
  Host* host = &SystemHost();
  // The generator that the front end keeps; a fresh one when null, which
  // gives the ids of a process's first image.
  UniqueIdGenerator* ids = nullptr;
  CancelToken cancel;
  // Links that lead out of the folder are stored (each a warning) or left out.
  bool outsideLinks = true;
  // The names stored as Windows-1251 or, for a disc meant to be read so, as UTF-8.
  TextEncoding names = TextEncoding::kCp1251;
  // Label fields that replace the compile's own and a root label file's.
  LabelChoice label;
};

struct CompileReport {
  bool written = false;  // the image is in place
  bool cancelled = false;  // stopped by the user; nothing was written
  bool refused = false;  // the image path holds what must not be replaced; nothing was done
  uint32_t blockCount = 0;
  // Why the image could not be written ("path: reason"); empty when it was.
  std::string failure;
  // Every file or folder that could not be taken whole: "path: reason".
  std::vector<std::string> problems;
  // Every file or folder stored under another name than its own, so that no
  // two children of a folder share one: "path: stored as "name" (why)".
  std::vector<std::string> renamed;
  // What the user may want to know though nothing was lost: each link that
  // leads out of the folder, each folder stored again, an image larger than
  // a CD: "path: what".
  std::vector<std::string> warnings;
  // The root's "Disc label" file that the volume label was taken from, not
  // stored as a file; empty when there was none.
  std::string labelFile;
};

// The image is written through a temporary file beside it and put in place
// only when every write succeeded, so a failed run leaves an existing image
// as it was.
CompileReport CompileImage(const std::string& folder, const std::string& imagePath, bool bootArea,
                           const CompileOptions& options = {});

}  // namespace zanthrel
