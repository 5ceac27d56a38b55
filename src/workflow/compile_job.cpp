#include "workflow/compile_job.h"

#include <memory>

#include "compile/layout_build.h"
#include "source/disc_image.h"
#include "support/text.h"
#include "volume/layout_file.h"

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

// Layout files are text of a few lines per entry: far below this.
constexpr uint64_t kMaxLayoutFileSize = 256 << 20;

Result<DiscLayout> ReadLayoutFile(Host& host, const std::string& path) {
  Result<HostFile> file = host.OpenFile(path);
  if (!file) return Error{path + ": cannot be read (" + ErrorText(file.Failure().code) + ")", file.Failure().code};
  const Result<PathInfo> info = file->Info();
  if (!info) return Error{path + ": cannot be read (" + ErrorText(info.Failure().code) + ")", info.Failure().code};
  if (info->size > kMaxLayoutFileSize) return Error{path + ": too large for a layout file", EFBIG};
  std::string text(size_t(info->size), '\0');
  Result<size_t> read = file->ReadAt(0, text.data(), text.size());
  if (!read || *read != text.size()) return Error{path + ": cannot be read whole", EIO};
  Result<DiscLayout> layout = ParseLayout(text);
  if (!layout) return Error{path + ": " + layout.Failure().text, layout.Failure().code};
  return layout;
}

// "12 of 400 blocks differ from the original, 3 added at its end"
std::string LayoutSummary(const LayoutBuildReport& built, uint32_t originalBlocks) {
  const uint64_t added = built.blockCount > originalBlocks ? built.blockCount - originalBlocks : 0;
  if (built.blocksChanged == 0 && added == 0) return "all " + std::to_string(originalBlocks) + " blocks as in the original";
  std::string text = "at most " + std::to_string(built.blocksChanged - std::min(built.blocksChanged, added)) +
                     " of " + std::to_string(originalBlocks) + " blocks differ from the original";
  if (added > 0) text += ", " + std::to_string(added) + " added at its end";
  return text;
}

// The image built by the layout, through a temporary file put in place only
// when every write succeeded, as a compile does.
CompileReport CompileByLayout(const CompileRequest& request, const std::string& imagePath) {
  Host& host = *request.host;
  CompileReport report;
  Result<DiscLayout> layout = ReadLayoutFile(host, request.layoutPath);
  if (!layout) {
    report.failure = layout.Failure().text;
    return report;
  }
  if (Status output = CheckImageOutput(host, imagePath); !output) {
    report.refused = true;
    report.failure = output.Failure().text;
    return report;
  }
  const Result<std::string> image = AbsolutePath(host, imagePath);
  if (!image) {
    report.failure = image.Failure().text;
    return report;
  }
  Result<TemporaryFile> temporary = TemporaryFile::CreateBeside(host, *image);
  if (!temporary) {
    report.failure = imagePath + ": cannot be created (" + ErrorText(temporary.Failure().code) + ")";
    return report;
  }
  LayoutBuildOptions options;
  options.host = &host;
  options.ids = request.ids;
  options.names = request.names;
  options.changed = request.layoutChange;
  options.cancel = request.cancel;
  const uint32_t originalBlocks = layout->imageBlocks;
  const std::string blocksPath = JoinPath(ParentFolderOf(request.layoutPath), layout->blocksFile);
  const LayoutBuildReport built = BuildByLayout(*layout, request.folder, blocksPath, temporary->File(), options);
  report.warnings = built.warnings;
  report.cancelled = built.cancelled;
  if (!built.written) {
    report.failure = built.cancelled ? imagePath + ": not written, stopped by the user" : built.failure;
    return report;
  }
  if (Status placed = temporary->Commit(); !placed) {
    report.failure = imagePath + ": cannot be put in place (" + ErrorText(placed.Failure().code) + ")";
    return report;
  }
  if (request.layoutChange) request.layoutChange(LayoutSummary(built, originalBlocks));
  report.written = true;
  report.blockCount = built.blockCount;
  return report;
}

// The plain image, compiled afresh or built by the layout.
CompileReport CompilePlainImage(const CompileRequest& request, const std::string& imagePath,
                                const CompileOptions& options) {
  if (!request.layoutPath.empty()) return CompileByLayout(request, imagePath);
  return CompileImage(request.folder, imagePath, request.bootArea, options);
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
  CompileReport report = CompilePlainImage(request, plain->Path(), options);
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
    return CompilePlainImage(request, request.imagePath, options);
  }
  return CompileThroughPlainImage(request, format, options);
}

}  // namespace zanthrel
