// A data track kept as fixed-size records in one host file: a raw .bin, a
// track of a cue sheet, a track of an NRG image.
#pragma once

#include <string>
#include <vector>

#include "source/cd_sector.h"
#include "source/data_track.h"
#include "support/host.h"

namespace zanthrel {

class FileTrack : public DataTrack {
 public:
  // `sectors` records of `format` from byte `start` of `file` on; `fields`
  // name the container and track, and the mode is told by `format`.
  FileTrack(HostFile file, uint64_t start, RecordFormat format, uint64_t sectors, ContainerFields fields);

  uint64_t SectorCount() const override { return sectors_; }
  std::string Description() const override { return fields_.description; }
  ContainerFields Fields() const override { return fields_; }
  size_t ReadSectors(uint64_t first, size_t count, uint8_t* destination) override;
  bool Checked() const override { return format_.recordSize != kUserDataSize; }
  const SectorFindings* Findings() const override { return Checked() ? &findings_ : nullptr; }
  void KeepDamaged(bool keep) override { keepDamaged_ = keep; }

 private:
  // Checks record `sector`, read into `record`, and gives its user data;
  // null when it is damaged and damage is not kept.
  const uint8_t* CheckedUserData(uint64_t sector, uint8_t* record);

  HostFile file_;
  uint64_t start_;
  RecordFormat format_;
  uint64_t sectors_;
  ContainerFields fields_;
  std::vector<uint8_t> records_;  // whole records on their way to the user data
  SectorFindings findings_;
  bool keepDamaged_ = false;
};

// Records of `format` that a file of `fileSize` bytes holds from `start` on.
inline uint64_t RecordsFrom(uint64_t fileSize, uint64_t start, RecordFormat format) {
  return fileSize > start ? (fileSize - start) / format.recordSize : 0;
}

}  // namespace zanthrel
