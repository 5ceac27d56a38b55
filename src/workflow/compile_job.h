// What "Compile ISO" does, for the window and the command line alike.
#pragma once

#include <string>

#include "compile/compile_run.h"

namespace zanthrel {

struct CompileRequest {
  std::string folder;
  std::string imagePath;
  bool bootArea = true;
  Progress progress;
};

// Runs the compile; the current directory is the same afterwards.
CompileReport CompileFolderToImage(const CompileRequest& request);

}  // namespace zanthrel
