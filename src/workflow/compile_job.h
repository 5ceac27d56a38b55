// What "Compile ISO" does, for the window and the command line alike.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "compile/compile_run.h"
#include "compile/unique_ids.h"
#include "workflow/image_format.h"
#include "workflow/label_fields.h"
#include "workflow/output_guard.h"

namespace zanthrel {

struct CompileRequest {
  std::string folder;
  std::string imagePath;
  // By default the one the image path's extension names.
  std::optional<ImageFormat> format;
  bool bootArea = true;
  // Links that lead out of the folder are stored, each a warning, or left out.
  bool outsideLinks = true;
  // What the names are stored as on the disc.
  TextEncoding names = TextEncoding::kCp1251;
  // The volume label's text, comment and ids, where the user chose them.
  LabelFields label;
  // The command line sets its own rules; the window's save dialog has asked.
  ReplaceRule replace = ReplaceRule::kAskedByDialog;
  Progress progress;
  // Each host file, as it is added to the image.
  FileWritten fileAdded;
  // Builds by this layout file (written by decompile with its layout) from
  // the folder decompile wrote, instead of compiling the folder afresh.
  std::string layoutPath;
  // Each entry that a build by layout moved, added or removed, then the
  // summary of how many blocks differ from the original.
  std::function<void(const std::string&)> layoutChange;
  // The generator that the front end keeps for the life of the process.
  UniqueIdGenerator* ids = nullptr;
  Host* host = &SystemHost();
  CancelToken cancel;
};

// A CUE/BIN or a CHD is written from the plain image, which is built first
// beside it under a temporary name and removed again; every message names
// the image asked for. A label text that cannot be stored refuses the run.
CompileReport CompileFolderToImage(const CompileRequest& request);

}  // namespace zanthrel
