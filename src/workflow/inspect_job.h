// What the reading commands find in an image (info, list, verify) and which
// drives there are to read (drives): each opens the image itself and gives a
// report for a face to print; nothing is written.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "volume/listing.h"
#include "volume/summary.h"
#include "source/drive/drive_list.h"
#include "support/host.h"
#include "support/progress.h"
#include "verify/verify.h"

namespace zanthrel {

// How the image opened: why not, or the container and track read (empty for
// a plain image).
struct ImageOpening {
  bool opened = false;
  std::string failure;
  std::string container;
  // What the image came in, plain included, when it opened.
  ContainerFields containerFields;
};

// What every reading job tells besides its findings.
struct InspectReport {
  ImageOpening opening;
  // Set when the host failed the reading (a full temporary folder for an
  // unpacked gzip image), with its path and the system's words: the image is
  // not at fault, and nothing found is to be taken for damage.
  std::string hostFailure;
};

// A track of the image's disc, as `info` lists it.
struct TrackSummary {
  uint32_t number = 0;
  std::string mode;     // as a cue sheet names it: "AUDIO", "MODE1/2352", ...
  uint64_t frames = 0;  // from INDEX 01 on
  uint64_t pregap = 0;  // frames before INDEX 01, stored or not
  bool holdsVolume = false;
};

struct InfoReport : InspectReport {
  // Nothing when the label cannot be read.
  std::optional<VolumeSummary> summary;
  // Every track of a container of more than one; none for an image of one track.
  std::vector<TrackSummary> tracks;
  // The image file's own size as the host tells it, which is not the
  // volume's: a gzip image is smaller, a raw or CHD one frames its sectors
  // otherwise, and a cue sheet is the sheet alone. Nothing when not told.
  std::optional<uint64_t> fileBytes;
};

struct LabelReport : InspectReport {
  // The label as the decompile log describes it, Windows-1251; empty when it
  // cannot be read.
  std::string description;
};

struct ListReport : InspectReport {
  // False when the label or every root copy cannot be read; `entries` then holds nothing.
  bool treeRead = false;
  std::vector<ListedEntry> entries;
  // Folders below the root that no copy of could be read (Windows-1251 paths
  // like the entries'); the rest of the tree is listed.
  std::vector<std::string> unreadableFolders;
};

struct VerifyImageReport : InspectReport {
  VerifyReport verify;
};

// Opens `image` into `source` for reading only, saying how it went.
ImageOpening OpenImageForReading(ImageSource& source, const std::string& image, Host& host,
                                 const Progress& progress = {});

// `progress` hears how far a gzip file is inflated while the label is
// searched, in compressed bytes; verify's then of the files checked
// (VerifyImage).
InfoReport SummarizeImageFile(const std::string& image, Host& host = SystemHost(),
                              const Progress& progress = {});
LabelReport DescribeImageLabel(const std::string& image, Host& host = SystemHost(),
                               const Progress& progress = {});
ListReport ListImageFile(const std::string& image, Host& host = SystemHost());
// The same, each entry and unreadable folder handed to `receiver` as it is
// met (ListTree) and none kept in the report.
ListReport ListImageFile(const std::string& image, const ListingReceiver& receiver,
                         Host& host = SystemHost(), const Progress& progress = {});
// Reads every copy of everything.
VerifyImageReport VerifyImageFile(const std::string& image, Host& host = SystemHost(),
                                  const Progress& progress = {});

// "dir" or "file", as `list` names an entry's kind.
const char* ListedKind(const ListedEntry& entry);

// The drives of this host that De-Compile can read: CD-ROM and removable ones.
std::vector<DriveEntry> DrivesToOffer();

}  // namespace zanthrel
