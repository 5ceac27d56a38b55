#include "source/image_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "opera/records.h"

namespace zanthrel {

namespace {

OpenError Refusal(OpenFailure why) { return {why, OpenFailureText(why)}; }

bool HasSignature(const uint8_t* bytes, size_t length) {
  return std::memcmp(bytes, opera::kLabelSignature, length) == 0;
}

// The 4-byte word search for a label head at a 2048-aligned offset.
bool SearchLabel(ImageStream& stream, uint64_t& found) {
  uint8_t word[4];
  static const uint8_t kHead[4] = {0x01, 0x5A, 0x5A, 0x5A};
  for (;;) {
    if (stream.Read(word, 4) != 4) return false;
    if (std::memcmp(word, kHead, 4) != 0) continue;
    if (stream.Read(word, 4) != 4) return false;
    if (word[0] != 0x5A || word[1] != 0x5A) continue;
    uint64_t candidate = stream.Tell() - 8;
    stream.Seek(candidate);
    if ((candidate & 2047) == 0) {
      found = candidate;
      return true;
    }
    stream.Seek(candidate + 8);
  }
}

}  // namespace

std::string OpenFailureText(OpenFailure failure) {
  switch (failure) {
    case OpenFailure::kNone: return "opened";
    case OpenFailure::kCannotOpen: return "cannot be opened";
    case OpenFailure::kNotAFile: return "not an image file";
    case OpenFailure::kTooShort: return "too short to be a disc image (under 2352 bytes)";
    case OpenFailure::kNoLabel: return "no Opera volume label found";
    case OpenFailure::kBlockSizeZero: return "the volume label gives block size 0";
    case OpenFailure::kSectorSize: return "the drive's sectors are not 2048 bytes";
    case OpenFailure::kNotADrive: return "not a drive (an image file is read without --drive)";
    case OpenFailure::kEmptyDisc: return "no disc in the drive";
    case OpenFailure::kReadError: return "read error while searching for the volume label";
    case OpenFailure::kSpoolFailure: return "the unpacked image cannot be written to a temporary file";
    case OpenFailure::kContainer: return "the disc container cannot be read";
  }
  return "unknown failure";
}

ImageSource::~ImageSource() { Close(*this); }

// Carries whole blocks of the record index into the block number, in 32-bit
// unsigned arithmetic, only when the blocks are an exact number of records.
void ImageSource::Normalise(uint32_t& block, uint32_t& index, uint32_t recordSize) const {
  uint32_t q = uint32_t(index * recordSize) / blockSize_;
  uint32_t blockBytes = q * blockSize_;
  if (blockBytes % recordSize == 0) {
    index -= blockBytes / recordSize;
    block += q;
  }
}

// Byte offset of (block, index) in the disc's user data, or false on overflow.
bool ImageSource::UserDataOffset(uint32_t block, uint32_t recordSize, uint32_t index,
                                 uint64_t& offset) const {
  uint64_t blocks = uint64_t(block) * blockSize_;
  uint64_t records = uint64_t(index) * recordSize;
  return !__builtin_add_overflow(blocks, records, &offset) &&
         !__builtin_add_overflow(offset, labelOffset_, &offset);
}

bool ImageSource::CheckSector(uint8_t* raw, uint64_t sector) {
  const SectorCondition condition = CheckRawSector(raw, 1);
  findings_.Note(sector, condition);
  return condition != SectorCondition::kDamaged;
}

bool ImageSource::LoadRawSector() {
  const uint64_t sector = stream_->Tell() / kRawSectorSize;
  if (stream_->Read(sectorBuffer_.data(), kRawSectorSize) != kRawSectorSize) return false;
  bufferedDamaged_ = !CheckSector(sectorBuffer_.data(), sector);
  return true;
}

bool ImageSource::LoadDriveSector() {
  return device_->ReadDevice(deviceHandle_, sectorBuffer_.data(), kSectorSize) ==
         int64_t(kSectorSize);
}

// Copies n bytes from the buffered sector onward; the count copied, 0 when a
// following sector cannot be loaded. The next sector is loaded only when bytes
// from it are wanted, so that the last sector of an image can be read whole.
uint32_t ImageSource::ReadBuffered(uint8_t* destination, uint32_t n) {
  const uint32_t dataStart = rawSectors_ ? kRawUserDataOffset : 0;
  uint32_t copied = 0;
  while (n > 0) {
    if (sectorPos_ == kSectorSize) {
      bool loaded = kind_ == SourceKind::kDrive ? LoadDriveSector() : LoadRawSector();
      if (!loaded) return 0;
      sectorPos_ = 0;
    }
    if (bufferedDamaged_ && !keepDamaged_) return 0;
    const uint32_t take = std::min(n, kSectorSize - sectorPos_);
    std::memcpy(destination, sectorBuffer_.data() + dataStart + sectorPos_, take);
    sectorPos_ += take;
    destination += take;
    copied += take;
    n -= take;
  }
  return copied;
}

// Reads n bytes of a raw image's user data from the buffered sector onward
// into `destination`: whole sectors many at a read, each read's sectors then
// gathered, the last one kept buffered as a sector-by-sector read leaves it.
// False when a sector cannot be loaded.
bool ImageSource::ReadRawUserData(uint8_t* destination, uint64_t n) {
  constexpr uint32_t kRunSectors = 32;
  while (n > 0) {
    if (sectorPos_ < kSectorSize || n < kSectorSize) {
      const uint32_t take = uint32_t(std::min<uint64_t>(n, kSectorSize));
      if (ReadBuffered(destination, take) != take) return false;
      destination += take;
      n -= take;
      continue;
    }
    const uint32_t sectors = uint32_t(std::min<uint64_t>(n / kSectorSize, kRunSectors));
    sectorRun_.resize(size_t(kRunSectors) * kRawSectorSize);
    const int64_t bytes = int64_t(sectors) * kRawSectorSize;
    const uint64_t firstSector = stream_->Tell() / kRawSectorSize;
    if (stream_->Read(sectorRun_.data(), size_t(bytes)) != bytes) return false;
    for (uint32_t k = 0; k < sectors; ++k, destination += kSectorSize) {
      uint8_t* raw = sectorRun_.data() + size_t(k) * kRawSectorSize;
      bufferedDamaged_ = !CheckSector(raw, firstSector + k);
      if (bufferedDamaged_ && !keepDamaged_) return false;
      std::memcpy(destination, raw + kRawUserDataOffset, kSectorSize);
    }
    std::memcpy(sectorBuffer_.data(), sectorRun_.data() + size_t(sectors - 1) * kRawSectorSize,
                kRawSectorSize);
    n -= uint64_t(sectors) * kSectorSize;
  }
  return true;
}

// The end of the user data, in the same bytes as UserDataOffset: a raw
// image ends with its last whole sector, a drive with its disc.
std::optional<uint64_t> ImageSource::UserDataEnd() {
  if (endAsked_) return userDataEnd_;
  endAsked_ = true;
  if (kind_ == SourceKind::kDrive) {
    userDataEnd_ = device_->GetDiscSize(deviceHandle_);
  } else if (const std::optional<uint64_t> length = stream_->Length()) {
    userDataEnd_ = rawSectors_ ? *length / kRawSectorSize * kSectorSize : *length;
  }
  return userDataEnd_;
}

namespace {

// A file that is no container of tracks is told by its sectors and whether it is packed.
ContainerFields FieldsOfImageFile(const ImageStream& stream, bool raw) {
  if (stream.IsContainer()) return stream.TrackFields();
  const std::string format = stream.IsGzip() ? "gzip" : raw ? "raw" : "iso";
  const std::string description = raw ? "raw 2352" : stream.IsGzip() ? "gzip" : "plain";
  return {format, {}, 0, RecordModeName(raw ? kMode1Raw : kCooked), description};
}

}  // namespace

OpenStatus OpenImageFile(ImageSource& source, const std::string& path, Host& host,
                         Progress searchProgress) {
  // Pipes and character devices are refused before they are opened: opening
  // or reading one may never end.
  const Result<PathInfo> info = host.InfoOf(path);
  if (info && info->kind == PathKind::kFolder) return OpenError{OpenFailure::kNotAFile, "is a folder"};
  if (info && info->kind == PathKind::kOther) {
    return OpenError{OpenFailure::kNotAFile,
                     "neither a file nor a block device (a pipe or a character device may never end)"};
  }
  Result<std::unique_ptr<ImageStream>> opened = ImageStream::Open(host, path, std::move(searchProgress));
  if (!opened && opened.Failure().code == 0) return OpenError{OpenFailure::kContainer, opened.Failure().text};
  if (!opened) {
    return OpenError{OpenFailure::kCannotOpen,
                     OpenFailureText(OpenFailure::kCannotOpen) + " (" + ErrorText(opened.Failure().code) + ")"};
  }
  std::unique_ptr<ImageStream>& stream = *opened;
  if (stream->Read(source.sectorBuffer_.data(), kRawSectorSize) != kRawSectorSize) {
    return Refusal(OpenFailure::kTooShort);
  }
  uint32_t blockSize;
  uint64_t labelOffset = 0;
  bool raw = HasSignature(source.sectorBuffer_.data() + kRawUserDataOffset, 6);
  if (raw) {
    blockSize = opera::ReadBig32(source.sectorBuffer_.data() + kRawUserDataOffset +
                                 opera::label::kBlockSize);
  } else {
    // A damaged sector on the way must not hide the label: it is searched as read.
    stream->KeepDamaged(true);
    stream->Seek(0);
    const bool found = SearchLabel(*stream, labelOffset) &&
                       stream->Read(source.sectorBuffer_.data(), opera::kLabelSize) == opera::kLabelSize;
    stream->KeepDamaged(false);
    if (!found) return Refusal(OpenFailure::kNoLabel);
    blockSize = opera::ReadBig32(source.sectorBuffer_.data() + opera::label::kBlockSize);
  }
  // Every block address multiplies and divides by the block size.
  if (blockSize == 0) return Refusal(OpenFailure::kBlockSizeZero);
  // Nothing before the label is read again.
  if (Status kept = stream->KeepFrom(labelOffset); !kept) {
    return OpenError{OpenFailure::kSpoolFailure,
                     OpenFailureText(OpenFailure::kSpoolFailure) + " (" + kept.Failure().text + ")"};
  }

  source.container_ = raw ? "raw 2352" : stream->Container();
  source.containerFields_ = FieldsOfImageFile(*stream, raw);
  source.stream_ = std::move(stream);
  source.open_ = true;
  source.rawSectors_ = raw;
  source.kind_ = SourceKind::kImageFile;
  source.labelOffset_ = labelOffset;
  source.name_ = path;
  source.blockSize_ = blockSize;
  source.sectorPos_ = 0;
  source.positionKnown_ = false;
  source.bufferedDamaged_ = false;
  source.keepDamaged_ = false;
  source.findings_ = {};
  source.endAsked_ = false;
  source.userDataEnd_.reset();
  return {};
}

OpenStatus OpenDrive(ImageSource& source, DeviceOperations& device, const std::string& driveName) {
  Result<DeviceHandle> opened = device.OpenForReading(driveName);
  if (!opened) {
    return OpenError{OpenFailure::kCannotOpen,
                     OpenFailureText(OpenFailure::kCannotOpen) + " (" + ErrorText(opened.Failure().code) + ")"};
  }
  const DeviceHandle handle = *opened;
  device.LockMedia(handle);
  auto fail = [&](OpenFailure why) {
    device.UnlockMedia(handle);
    device.CloseDevice(handle);
    return Refusal(why);
  };
  // A drive always tells its sector size; what tells none is a file or some other device.
  const uint32_t sectorSize = device.GetSectorSize(handle);
  if (sectorSize == 0) return fail(OpenFailure::kNotADrive);
  if (sectorSize != kSectorSize) return fail(OpenFailure::kSectorSize);
  uint64_t discSize = device.GetDiscSize(handle);
  if (discSize == 0) return fail(OpenFailure::kEmptyDisc);
  uint64_t sectors = discSize / kSectorSize;
  for (uint64_t i = 0; i < sectors; ++i) {
    if (device.ReadDevice(handle, source.sectorBuffer_.data(), kSectorSize) != int64_t(kSectorSize)) {
      return fail(OpenFailure::kReadError);
    }
    if (!HasSignature(source.sectorBuffer_.data(), 8)) continue;
    uint32_t blockSize = opera::ReadBig32(source.sectorBuffer_.data() + opera::label::kBlockSize);
    if (blockSize == 0) return fail(OpenFailure::kBlockSizeZero);
    source.open_ = true;
    source.rawSectors_ = false;
    source.bufferedDamaged_ = false;
    source.kind_ = SourceKind::kDrive;
    source.containerFields_ = {"drive", {}, 0, RecordModeName(kCooked), "drive"};
    source.labelOffset_ = i * kSectorSize;
    source.blockSize_ = blockSize;
    source.name_ = driveName;
    source.sectorPos_ = 0;
    source.device_ = &device;
    source.deviceHandle_ = handle;
    source.positionKnown_ = false;
    source.endAsked_ = false;
    source.userDataEnd_.reset();
    device.UnlockMedia(handle);
    return {};
  }
  return fail(OpenFailure::kNoLabel);
}

bool Seek(ImageSource& source, uint32_t block, uint32_t recordSize, uint32_t recordIndex) {
  if (!source.open_) return false;
  if (recordSize != 0) {
    source.Normalise(block, recordIndex, recordSize);
    // Every caller seeks to whole blocks, so the pair alone names the byte position.
    if (source.positionKnown_ && block == source.currentBlock_ &&
        recordIndex == source.currentRecord_) {
      return true;
    }
  }
  // A failed repositioning may leave the stream or buffer anywhere.
  source.positionKnown_ = false;
  uint64_t offset;
  if (!source.UserDataOffset(block, recordSize, recordIndex, offset)) return false;
  if (source.kind_ == SourceKind::kDrive) {
    uint64_t sectorStart = offset & ~uint64_t(kSectorSize - 1);
    if (sectorStart > uint64_t(INT64_MAX) ||
        source.device_->SeekTo(source.deviceHandle_, int64_t(sectorStart)) < 0 ||
        !source.LoadDriveSector()) {
      return false;
    }
    source.sectorPos_ = uint32_t(offset & (kSectorSize - 1));
  } else if (source.rawSectors_) {
    uint64_t sector = offset >> 11;
    source.stream_->Seek(sector * kRawSectorSize);
    if (!source.LoadRawSector()) return false;
    source.sectorPos_ = uint32_t(offset & (kSectorSize - 1));
  } else {
    source.stream_->Seek(offset);
  }
  source.currentBlock_ = block;
  source.currentRecord_ = recordIndex;
  source.positionKnown_ = true;
  return true;
}

bool ReadRecords(ImageSource& source, void* buffer, uint32_t recordSize, uint32_t count) {
  if (!source.open_ || recordSize == 0) return false;
  auto* destination = static_cast<uint8_t*>(buffer);
  if (source.kind_ == SourceKind::kImageFile && source.rawSectors_) {
    // All records at once, so that whole sectors are read many at a time.
    if (!source.ReadRawUserData(destination, uint64_t(recordSize) * count)) {
      source.positionKnown_ = false;
      return false;
    }
    source.currentRecord_ += count;
    source.Normalise(source.currentBlock_, source.currentRecord_, recordSize);
    return true;
  }
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t* record = destination + size_t(i) * recordSize;
    bool whole = source.kind_ == SourceKind::kImageFile && !source.rawSectors_
                     ? source.stream_->Read(record, recordSize) == int64_t(recordSize)
                     : source.ReadBuffered(record, recordSize) == recordSize;
    if (!whole) {
      source.positionKnown_ = false;
      return false;
    }
    ++source.currentRecord_;
  }
  source.Normalise(source.currentBlock_, source.currentRecord_, recordSize);
  return true;
}

bool CopiesInsideTheSystem(const ImageSource& source) {
  return source.open_ && source.kind_ == SourceKind::kImageFile && !source.rawSectors_ &&
         !source.stream_->IsContainer();
}

int64_t CopyRecordsToFile(ImageSource& source, uint32_t recordSize, uint32_t count,
                          const HostFile& output, uint64_t outputOffset) {
  if (recordSize == 0 || !CopiesInsideTheSystem(source)) return -1;
  const uint64_t copied =
      source.stream_->CopyTo(source.stream_->Tell(), uint64_t(recordSize) * count, output, outputOffset);
  source.positionKnown_ = false;
  const uint64_t records = copied / recordSize;
  // Keep whole records only, as a record-by-record read would have written.
  if (copied % recordSize != 0 && !output.Truncate(outputOffset + records * recordSize)) return 0;
  return int64_t(records);
}

std::optional<FileSpan> PlainFileSpan(ImageSource& source, uint32_t block, uint64_t offset, uint64_t count) {
  if (!CopiesInsideTheSystem(source) || source.stream_->IsGzip()) return std::nullopt;
  const std::optional<uint64_t> end = source.UserDataEnd();
  uint64_t start, last;
  if (!end || __builtin_add_overflow(source.labelOffset_ + uint64_t(block) * source.blockSize_, offset, &start) ||
      __builtin_add_overflow(start, count, &last) || last > *end) {
    return std::nullopt;
  }
  return FileSpan{source.stream_->PlainFileHandle(), start, count};
}

bool PastTheEnd(ImageSource& source, uint32_t block, uint32_t recordSize, uint64_t index) {
  if (!source.open_) return false;
  const std::optional<uint64_t> end = source.UserDataEnd();
  if (!end) return false;
  uint64_t records, offset;
  return __builtin_mul_overflow(index, uint64_t(recordSize), &records) ||
         __builtin_add_overflow(uint64_t(block) * source.blockSize_, records, &offset) ||
         __builtin_add_overflow(offset, source.labelOffset_ + recordSize, &offset) || offset > *end;
}

void Close(ImageSource& source) {
  if (!source.open_) return;
  if (source.kind_ == SourceKind::kDrive) {
    source.device_->UnlockMedia(source.deviceHandle_);
    source.device_->CloseDevice(source.deviceHandle_);
    source.deviceHandle_ = kInvalidDevice;
    source.device_ = nullptr;
  } else {
    source.stream_.reset();
  }
  source.open_ = false;
}

std::optional<Error> HostFailureOf(const ImageSource& source) {
  if (!source.stream_) return std::nullopt;
  return source.stream_->HostFailure();
}

bool SectorsChecked(const ImageSource& source) {
  if (!source.open_) return false;
  return source.kind_ == SourceKind::kDrive || source.rawSectors_ || source.stream_->SectorsChecked();
}

const SectorFindings* SectorFindingsOf(const ImageSource& source) {
  if (!source.open_ || source.kind_ == SourceKind::kDrive) return nullptr;
  return source.rawSectors_ ? &source.findings_ : source.stream_->Findings();
}

BlockRun BlocksOfSectors(const ImageSource& source, const SectorRun& sectors) {
  const uint64_t start = sectors.first * kSectorSize;
  const uint64_t end = (sectors.first + sectors.count) * kSectorSize;
  if (end <= source.labelOffset_ || source.blockSize_ == 0) return {};
  const uint64_t from = std::max(start, source.labelOffset_) - source.labelOffset_;
  const uint64_t first = from / source.blockSize_;
  return {first, (end - source.labelOffset_ - 1) / source.blockSize_ + 1 - first};
}

SectorRun SectorsOfBlocks(const ImageSource& source, uint64_t firstBlock, uint64_t blocks) {
  const uint64_t start = source.labelOffset_ + firstBlock * source.blockSize_;
  const uint64_t end = start + blocks * source.blockSize_;
  if (end <= start) return {};
  return {start / kSectorSize, (end - 1) / kSectorSize + 1 - start / kSectorSize};
}

void KeepDamagedSectors(ImageSource& source, bool keep) {
  if (!source.open_ || source.kind_ == SourceKind::kDrive) return;
  source.keepDamaged_ = keep;
  source.stream_->KeepDamaged(keep);
}

bool PrepareDrive(ImageSource& source) {
  if (source.kind_ != SourceKind::kDrive) return true;
  uint8_t head[8] = {};
  if (source.device_->LockMedia(source.deviceHandle_)) source.trayLocked_ = true;
  Seek(source, 0, 0, 0);
  ReadRecords(source, head, 8, 1);
  if (HasSignature(head, 8)) return true;
  if (source.device_->UnlockMedia(source.deviceHandle_)) source.trayLocked_ = false;
  return false;
}

bool ReleaseDrive(ImageSource& source) {
  if (source.kind_ != SourceKind::kDrive) return true;
  if (!source.device_->UnlockMedia(source.deviceHandle_)) return false;
  source.trayLocked_ = false;
  return true;
}

}  // namespace zanthrel
