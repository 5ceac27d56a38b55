// A positioned byte stream over an image file. A plain file is read as it is.
// A gzip file is inflated into a scratch file, only as far as reads have
// reached, so that a backward seek costs nothing and the whole image is
// inflated at most once. A disc container (CHD, NRG, cue sheet, raw MODE2
// .bin) gives the 2048-byte user data of its data track, as a plain image
// would hold it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "source/data_track.h"
#include "support/host.h"
#include "support/progress.h"
#include "support/result.h"

namespace zanthrel {

class GzipSpool;

class ImageStream {
 public:
  // `searchProgress` hears how far a gzip file is inflated while the label is searched.
  static Result<std::unique_ptr<ImageStream>> Open(Host& host, const std::string& path,
                                                  Progress searchProgress = {});
  ~ImageStream();
  ImageStream(const ImageStream&) = delete;
  ImageStream& operator=(const ImageStream&) = delete;

  // Up to `count` bytes from the current position: the count read (short at
  // the end of the data), or -1 on a read error.
  int64_t Read(void* destination, size_t count);
  // Positions never fail by themselves; a read past the end comes back short.
  void Seek(uint64_t position) { position_ = position; }
  uint64_t Tell() const { return position_; }
  bool IsGzip() const { return gzip_ != nullptr; }
  // Bytes before `position` are never read again, so a gzip file need not keep them.
  Status KeepFrom(uint64_t position);
  // Why the data ended early through no fault of the image: the spool of a
  // gzip file could not be written.
  std::optional<Error> HostFailure() const;
  // The bytes of data from the first on: a gzip file is inflated to its end
  // to tell. None when it cannot be told (a block device, a full spool).
  std::optional<uint64_t> Length();
  // The container and track read, for a user; empty for a plain or gzip file.
  std::string Container() const { return track_ ? track_->Description() : ""; }
  // The container's fields; none for a plain or gzip file.
  ContainerFields TrackFields() const { return track_ ? track_->Fields() : ContainerFields{}; }

  bool IsContainer() const { return track_ != nullptr; }
  // The plain file read, for reads made elsewhere at their own offsets; none
  // for a gzip file or a container.
  NativeHandle PlainFileHandle() const { return gzip_ || track_ ? kNoHandle : file_.Handle(); }
  // A container's track: whether its sectors carry a check, and what the
  // checks found (DataTrack).
  bool SectorsChecked() const { return track_ && track_->Checked(); }
  const SectorFindings* Findings() const { return track_ ? track_->Findings() : nullptr; }
  // A container's track delivers damaged sectors as read (DataTrack::KeepDamaged).
  // What was read before under the other rule is read again.
  void KeepDamaged(bool keep);

  // Copies up to `count` bytes from `position` on into `output` at
  // `outputOffset`, inside the operating system, for a plain or gzip file.
  // Returns the bytes copied: short at the end of the data or at the first
  // failure, and none from a container, whose data track has no file to copy from.
  uint64_t CopyTo(uint64_t position, uint64_t count, const HostFile& output, uint64_t outputOffset);

 private:
  ImageStream();
  int64_t ReadAt(uint64_t position, void* destination, size_t count);

  HostFile file_;                      // a plain file
  std::unique_ptr<GzipSpool> gzip_;    // or a gzip file
  std::unique_ptr<DataTrack> track_;   // or a container's data track
  std::vector<uint8_t> trackScratch_;  // a sector that a read takes part of
  uint64_t position_ = 0;
  std::vector<uint8_t> buffer_;
  uint64_t bufferStart_ = 0;
  size_t bufferLength_ = 0;
};

}  // namespace zanthrel
