#include "workflow/compile_job.h"

#include <memory>

#include "source/disc_image.h"

namespace zanthrel {

namespace {

// The plain image that a CUE/BIN or a CHD is written from: a name of its own
// beside the output, which a compile of a folder holding it passes over, and
// gone again however the run ends.
class IntermediateImage {
 public:
  static Result<IntermediateImage> Reserve(Host& host, const std::string& output) {
    const std::string stem = output + ".iso.zanthrel-" + std::to_string(CurrentProcessNumber()) + "-";
    Error last{output + ": no free temporary name", EEXIST};
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string path = stem + std::to_string(attempt);
      Result<HostFile> file = host.CreateNewFile(path);
      if (file) {
        host.RemoveOnInterrupt(path);
        return IntermediateImage(host, path);
      }
      last = file.Failure();
      if (last.code != EEXIST) break;
    }
    return last;
  }
  IntermediateImage(IntermediateImage&& other) noexcept : host_(other.host_), path_(std::move(other.path_)) {
    other.path_.clear();
  }
  IntermediateImage& operator=(IntermediateImage&&) = delete;
  ~IntermediateImage() {
    if (path_.empty()) return;
    (void)host_->RemoveFile(path_);
    host_->KeepOnInterrupt(path_);
  }
  const std::string& Path() const { return path_; }

 private:
  IntermediateImage(Host& host, std::string path) : host_(&host), path_(std::move(path)) {}
  Host* host_;
  std::string path_;
};

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

CompileReport CompileThroughPlainImage(const CompileRequest& request, ImageFormat format,
                                       const CompileOptions& options) {
  Host& host = *request.host;
  Result<IntermediateImage> plain = IntermediateImage::Reserve(host, request.imagePath);
  if (!plain) {
    CompileReport report;
    report.failure = request.imagePath + ": cannot be created (" + ErrorText(plain.Failure().code) + ")";
    return report;
  }
  CompileReport report = CompileImage(request.folder, plain->Path(), request.bootArea, options);
  // The plain image is this run's business; the user asked for the other one.
  ReplaceAll(report.failure, plain->Path(), request.imagePath);
  for (std::string& warning : report.warnings) ReplaceAll(warning, plain->Path(), request.imagePath);
  if (!report.written) return report;
  report.written = false;
  Result<std::unique_ptr<DiscImage>> disc = OpenDiscImage(host, plain->Path());
  if (!disc) {
    report.failure = request.imagePath + ": the image built cannot be read again (" + disc.Failure().text + ")";
    return report;
  }
  Result<WrittenFiles> written = WriteDiscAs(format, **disc, request.imagePath, host);
  if (!written) {
    report.failure = written.Failure().text;
    return report;
  }
  report.written = true;
  return report;
}

}  // namespace

CompileReport CompileFolderToImage(const CompileRequest& request) {
  Result<LabelChoice> label = LabelChoiceOf(request.label);
  if (!label) {
    CompileReport report;
    report.refused = true;
    report.failure = request.imagePath + ": not written, " + label.Failure().text;
    return report;
  }
  const ImageFormat format = OutputFormat(request.imagePath, request.format);
  // A compiled disc has its one data track.
  for (const std::string& path : OutputPaths(format, {DiscTrack{}}, request.imagePath)) {
    Status output = CheckCompileOutput(*request.host, request.folder, path, request.replace);
    if (output && path != request.imagePath) output = CheckBesideOutput(*request.host, path, request.replace);
    if (!output) {
      CompileReport report;
      report.refused = true;
      report.failure = output.Failure().text;
      return report;
    }
  }
  CompileOptions options;
  options.progress = request.progress;
  options.fileAdded = request.fileAdded;
  options.host = request.host;
  options.ids = request.ids;
  options.cancel = request.cancel;
  options.outsideLinks = request.outsideLinks;
  options.names = request.names;
  options.label = *label;
  if (format == ImageFormat::kIso) {
    return CompileImage(request.folder, request.imagePath, request.bootArea, options);
  }
  return CompileThroughPlainImage(request, format, options);
}

}  // namespace zanthrel
