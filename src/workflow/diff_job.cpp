#include "workflow/diff_job.h"

#include <optional>

namespace zanthrel {

DiffImagesReport DiffImageFiles(const std::string& first, const std::string& second, Host& host,
                                const Progress& progress) {
  DiffImagesReport report;
  ImageSource sources[2];
  report.opening[0] = OpenImageForReading(sources[0], first, host);
  report.opening[1] = OpenImageForReading(sources[1], second, host);
  if (!report.Opened()) return report;
  report.diff = DiffVolumes(sources[0], sources[1], progress);
  for (int i = 0; i < 2; ++i) {
    if (const std::optional<Error> failure = HostFailureOf(sources[i])) {
      report.hostFailure[i] = OpenFailureText(OpenFailure::kSpoolFailure) + ": " + failure->text;
    }
  }
  return report;
}

}  // namespace zanthrel
