#include "workflow/compile_job.h"

namespace zanthrel {

CompileReport CompileFolderToImage(const CompileRequest& request) {
  if (Status output = CheckCompileOutput(*request.host, request.folder, request.imagePath, request.replace);
      !output) {
    CompileReport report;
    report.refused = true;
    report.failure = output.Failure().text;
    return report;
  }
  CompileOptions options;
  options.progress = request.progress;
  options.host = request.host;
  options.ids = request.ids;
  options.cancel = request.cancel;
  options.outsideLinks = request.outsideLinks;
  options.names = request.names;
  return CompileImage(request.folder, request.imagePath, request.bootArea, options);
}

}  // namespace zanthrel
