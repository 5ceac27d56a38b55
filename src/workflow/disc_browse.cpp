#include "workflow/disc_browse.h"

namespace zanthrel {

BrowsedImage BrowseImageFile(const std::string& imagePath, Host&, const Progress&) {
  BrowsedImage image;
  image.imagePath = imagePath;
  image.failure = imagePath + ": not read";
  return image;
}

std::vector<std::string> VolumeSummaryLines(const BrowsedImage& image) {
  return {"Label: " + image.label, "Container: " + image.container};
}

ExtractReport ExtractEntries(const std::string&, const std::vector<std::string>&, const std::string& folder,
                             Host&, const Progress&, CancelToken) {
  ExtractReport report;
  report.failure = folder + ": not written";
  return report;
}

}  // namespace zanthrel
