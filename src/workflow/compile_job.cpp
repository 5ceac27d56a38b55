#include "workflow/compile_job.h"

#include "support/host.h"

namespace zanthrel {

CompileReport CompileFolderToImage(const CompileRequest& request) {
  const std::string start = CurrentDirectory();
  CompileOptions options;
  options.progress = request.progress;
  CompileReport report;
  CompileImage(request.folder, request.imagePath, request.bootArea ? 1 : 0, options, &report);
  EnterDirectory(start);
  return report;
}

}  // namespace zanthrel
