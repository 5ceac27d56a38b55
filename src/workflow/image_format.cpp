#include "workflow/image_format.h"

#include "support/text.h"
#include "write/chd_writer.h"

namespace zanthrel {

std::optional<ImageFormat> ImageFormatNamed(std::string_view name) {
  if (name == "iso") return ImageFormat::kIso;
  if (name == "cue") return ImageFormat::kCueBin;
  if (name == "chd") return ImageFormat::kChd;
  return std::nullopt;
}

ImageFormat OutputFormat(const std::string& path, std::optional<ImageFormat> asked) {
  if (asked) return *asked;
  const std::string extension = LowerCase(ExtensionOf(path));
  if (extension == "cue") return ImageFormat::kCueBin;
  if (extension == "chd") return ImageFormat::kChd;
  return ImageFormat::kIso;
}

std::vector<std::string> OutputPaths(ImageFormat format, const std::vector<DiscTrack>& tracks,
                                     const std::string& path) {
  if (format != ImageFormat::kCueBin) return {path};
  return CueBinPaths(tracks, path);
}

Result<WrittenFiles> WriteDiscAs(ImageFormat format, DiscImage& disc, const std::string& path, Host& host,
                                 Progress progress) {
  switch (format) {
    case ImageFormat::kCueBin:
      return WriteCueBin(disc, path, host, std::move(progress));
    case ImageFormat::kChd: {
      Result<uint64_t> bytes = WriteChd(disc, path, host, std::move(progress));
      if (!bytes) return bytes.Failure();
      return WrittenFiles{{path}, *bytes};
    }
    case ImageFormat::kIso:
      break;
  }
  return Error{path + ": a plain image is written from the data track alone"};
}

}  // namespace zanthrel
