#include "workflow/compile_job.h"

namespace zanthrel {

CompileReport CompileFolderToImage(const CompileRequest& request) {
  CompileOptions options;
  options.progress = request.progress;
  options.host = request.host;
  options.ids = request.ids;
  options.cancel = request.cancel;
  return CompileImage(request.folder, request.imagePath, request.bootArea, options);
}

}  // namespace zanthrel
