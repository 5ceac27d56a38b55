// The image source: an image file (plain or gzip, 2048-byte or raw 2352-byte
// sectors) or a disc in a drive, read as positioned records addressed by block
// from the block that holds the volume label.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "source/drive/device.h"
#include "source/image_stream.h"
#include "source/sector_check.h"
#include "support/host.h"
#include "support/progress.h"
#include "support/result.h"

namespace zanthrel {

inline constexpr uint32_t kSectorSize = 2048;
inline constexpr uint32_t kRawSectorSize = 2352;
inline constexpr uint32_t kRawUserDataOffset = 16;

// Why an open failed, so that a caller can say it.
enum class OpenFailure {
  kNone,
  kCannotOpen,     // the file or device cannot be opened
  kNotAFile,       // a folder, a pipe or a character device
  kTooShort,       // fewer than 2352 bytes (after decompression)
  kNoLabel,        // no Opera volume label where one may stand
  kBlockSizeZero,  // the label gives block size 0
  kSectorSize,     // the drive's sectors are not 2048 bytes
  kNotADrive,      // opened as a drive, but it tells no sector size: a file
  kEmptyDisc,      // the drive reports no disc size
  kReadError,      // a read failed while the label was searched
  kSpoolFailure,   // the unpacked image cannot be written to a temporary file
  kContainer,      // a disc container that is damaged, or whose track file is missing or short
};
std::string OpenFailureText(OpenFailure failure);

// Why a source did not open: the kind of failure and its words, with the
// host's own reason where it gave one.
struct OpenError {
  OpenFailure failure = OpenFailure::kNone;
  std::string text;
};
using OpenStatus = Result<void, OpenError>;

// An image file or a drive: what a source reads from.
enum class SourceKind { kImageFile, kDrive };

class ImageSource;

// `searchProgress` hears how far a gzip file is inflated while the label is searched.
OpenStatus OpenImageFile(ImageSource& source, const std::string& path, Host& host = SystemHost(),
                         Progress searchProgress = {});
OpenStatus OpenDrive(ImageSource& source, DeviceOperations& device, const std::string& driveName);
bool Seek(ImageSource& source, uint32_t block, uint32_t recordSize, uint32_t recordIndex);
bool ReadRecords(ImageSource& source, void* buffer, uint32_t recordSize, uint32_t count);
// Whether CopyRecordsToFile copies inside the operating system: plain and
// gzip images of 2048-byte sectors. Any other source is read out and written
// back, which the caller can do on two threads at once.
bool CopiesInsideTheSystem(const ImageSource& source);
// Copies up to `count` whole records of `recordSize` bytes from the current
// position straight into `output` at `outputOffset`, where the source allows
// it (CopiesInsideTheSystem). Gives the records copied, which stop short at
// the end of the image or a failed write, or -1 when the source reads record
// by record only. Seek before reading the source again.
int64_t CopyRecordsToFile(ImageSource& source, uint32_t recordSize, uint32_t count,
                          const HostFile& output, uint64_t outputOffset);
// Where `count` bytes from byte `offset` of a copy from `block` on lie in the
// image file, when it is a plain image of 2048-byte sectors that holds them
// whole: so that they can be handed on inside the system (a splice) without
// being read here. None for any other source.
struct FileSpan {
  NativeHandle file = kNoHandle;
  uint64_t offset = 0;
  uint64_t length = 0;
};
std::optional<FileSpan> PlainFileSpan(ImageSource& source, uint32_t block, uint64_t offset, uint64_t count);
// Whether record `index` of `recordSize` bytes in a copy from `block` on lies
// past the end of the image, whole or in part, so that no read of it can
// succeed; told without reading it. The first question inflates a gzip image
// to its end. False when the end cannot be told.
bool PastTheEnd(ImageSource& source, uint32_t block, uint32_t recordSize, uint64_t index);
void Close(ImageSource& source);
// The host's failure that has cut the source short (a full spool), if any.
std::optional<Error> HostFailureOf(const ImageSource& source);
bool PrepareDrive(ImageSource& source);
bool ReleaseDrive(ImageSource& source);

// Raw sectors are checked as they are read (CheckRawSector): a corrected one
// reads mended, a damaged one cannot be read. Whether the source's sectors
// carry any check that tells damage: raw sectors, a CHD's hunks, a drive's
// own correction; not the 2048-byte sectors of a plain or gzip image.
bool SectorsChecked(const ImageSource& source);
// What the checks of raw sectors have found so far, sectors numbered by
// their 2048 user bytes from the start of the image's data (block 0 of the
// volume lies at LabelOffset()); null for a source without raw sectors.
const SectorFindings* SectorFindingsOf(const ImageSource& source);
// Blocks of the volume, in the label's block size.
struct BlockRun {
  uint64_t first = 0;
  uint64_t count = 0;
};
// The blocks that hold part of `sectors`; none for sectors before block 0.
BlockRun BlocksOfSectors(const ImageSource& source, const SectorRun& sectors);
// The sectors that hold part of `blocks` blocks from block `firstBlock` on.
SectorRun SectorsOfBlocks(const ImageSource& source, uint64_t firstBlock, uint64_t blocks);
// With `keep`, damaged sectors read as they are instead of failing the read:
// the last resort when no copy of a block reads intact.
void KeepDamagedSectors(ImageSource& source, bool keep);

// The source's position is its own: only the operations above move it, so
// that what they remember of it (the buffered sector, whether the stream
// stands where the fields say) always holds.
class ImageSource {
 public:
  ImageSource() = default;
  ImageSource(const ImageSource&) = delete;
  ImageSource& operator=(const ImageSource&) = delete;
  ~ImageSource();

  // The path or drive name it was opened from.
  const std::string& Name() const { return name_; }
  // The disc container and track read, for a user ("CHD v5 (...), track 1 of
  // 2 (MODE1_RAW)", "raw 2352"); empty for a plain or gzip image of 2048-byte
  // sectors.
  const std::string& Container() const { return container_; }
  // What the image came in, plain and drive included, as fields.
  const ContainerFields& ContainerAsFields() const { return containerFields_; }
  bool IsOpen() const { return open_; }
  SourceKind Kind() const { return kind_; }
  // Whole 2352-byte sectors, whose user data the source picks out.
  bool RawSectors() const { return rawSectors_; }
  bool IsGzip() const { return stream_ && stream_->IsGzip(); }
  bool TrayLocked() const { return trayLocked_; }
  // Where the label stands: block 0 of the volume.
  uint64_t LabelOffset() const { return labelOffset_; }
  uint32_t BlockSize() const { return blockSize_; }
  // The position after the last Seek or read: whole blocks, then records.
  uint32_t CurrentBlock() const { return currentBlock_; }
  uint32_t CurrentRecord() const { return currentRecord_; }

 private:
  friend OpenStatus OpenImageFile(ImageSource&, const std::string&, Host&, Progress);
  friend OpenStatus OpenDrive(ImageSource&, DeviceOperations&, const std::string&);
  friend bool Seek(ImageSource&, uint32_t, uint32_t, uint32_t);
  friend bool ReadRecords(ImageSource&, void*, uint32_t, uint32_t);
  friend bool CopiesInsideTheSystem(const ImageSource&);
  friend std::optional<FileSpan> PlainFileSpan(ImageSource&, uint32_t, uint64_t, uint64_t);
  friend int64_t CopyRecordsToFile(ImageSource&, uint32_t, uint32_t, const HostFile&, uint64_t);
  friend bool PastTheEnd(ImageSource&, uint32_t, uint32_t, uint64_t);
  friend void Close(ImageSource&);
  friend std::optional<Error> HostFailureOf(const ImageSource&);
  friend bool PrepareDrive(ImageSource&);
  friend bool ReleaseDrive(ImageSource&);
  friend bool SectorsChecked(const ImageSource&);
  friend const SectorFindings* SectorFindingsOf(const ImageSource&);
  friend void KeepDamagedSectors(ImageSource&, bool);
  friend BlockRun BlocksOfSectors(const ImageSource&, const SectorRun&);
  friend SectorRun SectorsOfBlocks(const ImageSource&, uint64_t, uint64_t);

  void Normalise(uint32_t& block, uint32_t& index, uint32_t recordSize) const;
  bool UserDataOffset(uint32_t block, uint32_t recordSize, uint32_t index, uint64_t& offset) const;
  bool LoadRawSector();
  // Checks the raw sector at `raw`, sector `sector` of the image, and notes
  // what the check found; false when it is damaged.
  bool CheckSector(uint8_t* raw, uint64_t sector);
  bool LoadDriveSector();
  uint32_t ReadBuffered(uint8_t* destination, uint32_t n);
  bool ReadRawUserData(uint8_t* destination, uint64_t n);
  std::optional<uint64_t> UserDataEnd();

  std::string name_;
  std::string container_;
  ContainerFields containerFields_;
  bool open_ = false;
  bool rawSectors_ = false;
  bool trayLocked_ = false;
  SourceKind kind_ = SourceKind::kImageFile;
  uint64_t labelOffset_ = 0;
  uint32_t currentBlock_ = 0;
  uint32_t blockSize_ = 0;
  uint32_t currentRecord_ = 0;
  std::unique_ptr<ImageStream> stream_;         // image file
  DeviceOperations* device_ = nullptr;          // drive
  DeviceHandle deviceHandle_ = kInvalidDevice;  // drive
  // 0..2048: 2048 when the buffered sector has been read to its end and the
  // next one is loaded only when it is wanted.
  uint32_t sectorPos_ = 0;
  std::array<uint8_t, kRawSectorSize> sectorBuffer_{};
  // The buffered raw sector failed its check and its ECC could not mend it.
  bool bufferedDamaged_ = false;
  bool keepDamaged_ = false;
  SectorFindings findings_;  // of a raw image's sectors
  // Whole raw sectors read many at a time, on their way to a reader's buffer.
  std::vector<uint8_t> sectorRun_;
  // Cleared when a failed read leaves the stream somewhere the position fields
  // do not describe, so that the next Seek repositions for real.
  bool positionKnown_ = false;
  // Where the user data ends, counted as record positions are, once asked.
  bool endAsked_ = false;
  std::optional<uint64_t> userDataEnd_;
};

}  // namespace zanthrel
