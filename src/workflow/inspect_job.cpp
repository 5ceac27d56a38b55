#include "workflow/inspect_job.h"

#include "decompile/describe.h"
#include "opera/records.h"

namespace zanthrel {

namespace {

ImageOpening OpenForReading(ImageSource& source, const std::string& image, Host& host) {
  ImageOpening opening;
  const OpenStatus opened = OpenImageFile(source, image, host);
  opening.opened = opened.Ok();
  if (!opened) opening.failure = opened.Failure().text;
  if (opened) opening.container = source.Container();
  return opening;
}

}  // namespace

InfoReport SummarizeImageFile(const std::string& image, Host& host) {
  InfoReport report;
  ImageSource source;
  report.opening = OpenForReading(source, image, host);
  if (report.opening.opened) report.summary = SummarizeVolume(source);
  return report;
}

LabelReport DescribeImageLabel(const std::string& image, Host& host) {
  LabelReport report;
  ImageSource source;
  report.opening = OpenForReading(source, image, host);
  if (report.opening.opened) report.description = DescribeLabel(source);
  return report;
}

ListReport ListImageFile(const std::string& image, Host& host) {
  ListReport report;
  ImageSource source;
  report.opening = OpenForReading(source, image, host);
  if (report.opening.opened) report.treeRead = ListTree(source, report.entries);
  return report;
}

VerifyImageReport VerifyImageFile(const std::string& image, Host& host) {
  VerifyImageReport report;
  ImageSource source;
  report.opening = OpenForReading(source, image, host);
  if (report.opening.opened) report.verify = VerifyImage(source);
  return report;
}

const char* ListedKind(const ListedEntry& entry) {
  return (entry.flags & opera::kDirectoryBit) ? "dir" : "file";
}

std::vector<DriveEntry> DrivesToOffer() { return OfferedDrives(ListDrives()); }

}  // namespace zanthrel
