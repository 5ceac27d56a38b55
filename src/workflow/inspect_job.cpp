#include "workflow/inspect_job.h"

#include "decompile/describe.h"
#include "opera/records.h"
#include "source/disc_image.h"

namespace zanthrel {

namespace {

// Opens the image for reading only and, when it opened, lets `inspect` fill
// the report; a host that failed the reading on the way is told, as
// decompile tells it.
template <typename Report, typename Inspect>
Report InspectImageFile(const std::string& image, Host& host, const Progress& progress, Inspect inspect) {
  Report report;
  ImageSource source;
  report.opening = OpenImageForReading(source, image, host, progress);
  if (!report.opening.opened) return report;
  inspect(source, report);
  if (const std::optional<Error> failure = HostFailureOf(source)) {
    report.hostFailure = OpenFailureText(OpenFailure::kSpoolFailure) + ": " + failure->text;
  }
  return report;
}

// Every track of a container that holds more than one. A plain, gzip or raw
// image is one track, and is not read again to tell it.
std::vector<TrackSummary> TracksOf(const ImageSource& source, const std::string& image, Host& host) {
  if (source.Container().empty() || source.RawSectors()) return {};
  Result<std::unique_ptr<DiscImage>> disc = OpenDiscImage(host, image);
  if (!disc || (*disc)->Tracks().size() < 2) return {};
  std::vector<TrackSummary> tracks;
  for (size_t k = 0; k < (*disc)->Tracks().size(); ++k) {
    const DiscTrack& track = (*disc)->Tracks()[k];
    tracks.push_back({track.number, std::string(CueModeName(track.mode)), track.frames - track.storedPregap,
                      track.storedPregap + track.pregap, k == (*disc)->VolumeTrack()});
  }
  return tracks;
}

}  // namespace

ImageOpening OpenImageForReading(ImageSource& source, const std::string& image, Host& host,
                                 const Progress& progress) {
  ImageOpening opening;
  const OpenStatus opened = OpenImageFile(source, image, host, progress);
  opening.opened = opened.Ok();
  if (!opened) opening.failure = opened.Failure().text;
  if (opened) opening.container = source.Container();
  if (opened) opening.containerFields = source.ContainerAsFields();
  return opening;
}

InfoReport SummarizeImageFile(const std::string& image, Host& host, const Progress& progress) {
  InfoReport report = InspectImageFile<InfoReport>(image, host, progress, [&](ImageSource& source, InfoReport& read) {
    read.summary = SummarizeVolume(source);
    read.tracks = TracksOf(source, image, host);
  });
  if (const Result<PathInfo> file = host.InfoOf(image); report.opening.opened && file) {
    report.fileBytes = file->size;
  }
  return report;
}

LabelReport DescribeImageLabel(const std::string& image, Host& host, const Progress& progress) {
  return InspectImageFile<LabelReport>(image, host, progress, [](ImageSource& source, LabelReport& report) {
    report.description = DescribeLabel(source);
  });
}

ListReport ListImageFile(const std::string& image, Host& host) {
  ListReport gathered;
  ListReport report = ListImageFile(
      image,
      {[&gathered](const ListedEntry& entry) { gathered.entries.push_back(entry); },
       [&gathered](const std::string& folder) { gathered.unreadableFolders.push_back(folder); }},
      host);
  report.entries = std::move(gathered.entries);
  report.unreadableFolders = std::move(gathered.unreadableFolders);
  return report;
}

ListReport ListImageFile(const std::string& image, const ListingReceiver& receiver, Host& host,
                         const Progress& progress) {
  return InspectImageFile<ListReport>(image, host, progress, [&receiver](ImageSource& source,
                                                                         ListReport& report) {
    // Once the host has failed the reading, what reads no longer is not the
    // disc's fault: nothing more is handed over, the failure is told instead.
    const auto hostWorks = [&source] { return !HostFailureOf(source); };
    report.treeRead = ListTree(source, {[&](const ListedEntry& entry) {
                                          if (hostWorks()) receiver.entry(entry);
                                        },
                                        [&](const std::string& folder) {
                                          if (hostWorks()) receiver.unreadableFolder(folder);
                                        }});
  });
}

VerifyImageReport VerifyImageFile(const std::string& image, Host& host, const Progress& progress) {
  return InspectImageFile<VerifyImageReport>(image, host, progress, [&host, &progress](ImageSource& source,
                                                                                       VerifyImageReport& report) {
    report.verify = VerifyImageAndContainer(source, host, progress);
  });
}

const char* ListedKind(const ListedEntry& entry) {
  return (entry.flags & opera::kDirectoryBit) ? "dir" : "file";
}

std::vector<DriveEntry> DrivesToOffer() { return OfferedDrives(ListDrives()); }

}  // namespace zanthrel
