// The image source: an image file (plain or gzip, 2048-byte or raw 2352-byte
// sectors) or a disc in a drive, read as positioned records addressed by block
// from the block that holds the volume label.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "source/drive/device.h"
#include "source/image_stream.h"
#include "support/host.h"
#include "support/progress.h"
#include "support/result.h"

namespace zanthrel {

inline constexpr int32_t kKindImageFile = 0;
inline constexpr int32_t kKindDrive = 1;
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

struct ImageSource {
  std::string name;
  // The disc container and track read, for a user ("CHD v5 (...), track 1 of
  // 2 (MODE1_RAW)", "raw 2352"); empty for a plain or gzip image of 2048-byte
  // sectors.
  std::string container;
  bool open = false;
  bool rawSectors = false;
  bool trayLocked = false;
  int32_t kind = kKindImageFile;
  uint64_t labelOffset = 0;
  uint32_t currentBlock = 0;
  uint32_t blockSize = 0;
  uint32_t currentRecord = 0;
  std::unique_ptr<ImageStream> stream;         // image file
  DeviceOperations* device = nullptr;          // drive
  DeviceHandle deviceHandle = kInvalidDevice;  // drive
  // 0..2048: 2048 when the buffered sector has been read to its end and the
  // next one is loaded only when it is wanted.
  uint32_t sectorPos = 0;
  std::array<uint8_t, kRawSectorSize> sectorBuffer{};
  // Whole raw sectors read many at a time, on their way to a reader's buffer.
  std::vector<uint8_t> sectorRun;
  uint8_t ExtractDiscLabel = 0;
  uint8_t NoAdditionalInfo = 1;
  // Cleared when a failed read leaves the stream somewhere the position fields
  // do not describe, so that the next Seek repositions for real.
  bool positionKnown = false;

  ImageSource() = default;
  ImageSource(const ImageSource&) = delete;
  ImageSource& operator=(const ImageSource&) = delete;
  ~ImageSource();
};

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
void Close(ImageSource& source);
// The host's failure that has cut the source short (a full spool), if any.
std::optional<Error> HostFailureOf(const ImageSource& source);
bool PrepareDrive(ImageSource& source);
bool ReleaseDrive(ImageSource& source);

}  // namespace zanthrel
