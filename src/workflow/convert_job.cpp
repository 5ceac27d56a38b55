#include "workflow/convert_job.h"

#include <cstring>
#include <optional>
#include <vector>

#include "source/disc_image.h"
#include "source/image_source.h"
#include "support/text.h"

namespace zanthrel {

namespace {

constexpr size_t kChunkSectors = 256;

// Raw MODE1 sectors keep their user data from byte 16; checks each sector,
// as the image source does, from sector `first` on, then gathers the user
// data at the front of the buffer and gives its length.
size_t GatherUserData(uint8_t* buffer, size_t length, uint64_t first, SectorFindings& findings) {
  const size_t sectors = length / kRawSectorSize;
  for (size_t k = 0; k < sectors; ++k) {
    findings.Note(first + k, CheckRawSector(buffer + k * kRawSectorSize, 1));
    std::memmove(buffer + k * kSectorSize, buffer + k * kRawSectorSize + kRawUserDataOffset, kSectorSize);
  }
  return sectors * kSectorSize;
}

void ConvertToPlainImage(const std::string& imagePath, const std::string& outputPath, ReplaceRule replace,
                         Host& host, const Progress& progress, ConvertReport& report) {
  if (Status output = CheckConvertOutput(host, imagePath, outputPath, replace); !output) {
    report.refused = true;
    report.failure = output.Failure().text;
    return;
  }
  ImageSource source;
  const OpenStatus opened = OpenImageFile(source, imagePath, host, progress);
  if (!opened) {
    report.failure = imagePath + ": " + opened.Failure().text;
    return;
  }
  report.opened = true;
  report.container = source.Container();
  const bool raw = source.RawSectors();
  Close(source);
  // The source has found the label; the track is read through a stream of
  // its own from the first byte, which the source's stream of a gzip image
  // no longer keeps.
  Result<std::unique_ptr<ImageStream>> reopened = ImageStream::Open(host, imagePath, progress);
  if (!reopened) {
    report.failure = imagePath + ": cannot be opened again (" + reopened.Failure().text + ")";
    return;
  }
  ImageStream& stream = **reopened;
  // A gzip file tells how far it is inflated as it is read; the length of
  // any other is known at once.
  const std::optional<uint64_t> trackLength =
      progress && !stream.IsGzip() ? stream.Length() : std::optional<uint64_t>();
  // Every sector is written, a damaged one as read, and counted.
  stream.KeepDamaged(true);
  SectorFindings rawFindings;
  Result<TemporaryFile> output = TemporaryFile::CreateBeside(host, outputPath);
  if (!output) {
    report.failure = outputPath + ": cannot be written (" + ErrorText(output.Failure().code) + ")";
    return;
  }
  const size_t chunk = kChunkSectors * (raw ? kRawSectorSize : kSectorSize);
  std::vector<uint8_t> buffer(chunk);
  for (;;) {
    const int64_t read = stream.Read(buffer.data(), chunk);
    // A short read is the end of the data, unless the next read fails.
    if (read < 0 || (size_t(read) < chunk && stream.Read(buffer.data() + read, 1) < 0)) {
      report.failure = imagePath + ": read error in the data track at byte " +
                       UnsignedDecimal64(stream.Tell()) + "; nothing written";
      return;
    }
    const size_t length =
        raw ? GatherUserData(buffer.data(), size_t(read), report.bytes / kSectorSize, rawFindings) : size_t(read);
    if (Status written = output->File().WriteAt(report.bytes, buffer.data(), length); !written) {
      report.failure = outputPath + ": cannot be written (" + ErrorText(written.Failure().code) + ")";
      return;
    }
    report.bytes += length;
    if (trackLength) progress(stream.Tell(), *trackLength);
    if (size_t(read) < chunk) break;
  }
  // A gzip image whose spool filled up ends early through no fault of its own.
  if (const std::optional<Error> failure = stream.HostFailure()) {
    report.failure = failure->text + "; nothing written";
    return;
  }
  const SectorFindings* findings = raw ? &rawFindings : stream.Findings();
  if (findings) {
    report.correctedSectors = findings->corrected.Count();
    report.damagedSectors = findings->damaged.Count();
  }
  if (Status committed = output->Commit(); !committed) {
    report.failure = outputPath + ": cannot be put in place (" + ErrorText(committed.Failure().code) + ")";
    return;
  }
  report.files.push_back(outputPath);
  // A plain or gzip image has its one track; only a container can hold more.
  if (report.container.empty()) return;
  if (Result<std::unique_ptr<DiscImage>> disc = OpenDiscImage(host, imagePath)) {
    for (const DiscTrack& track : (*disc)->Tracks()) {
      if (track.mode == FrameMode::kAudio) ++report.audioTracksLeftOut;
    }
  }
}

// Every track, as the disc image delivers its frames. The files beside the
// one named are known once the disc is open, and are checked then.
void ConvertToDiscImage(const std::string& imagePath, const std::string& outputPath, ReplaceRule replace,
                        Host& host, const Progress& progress, ConvertReport& report) {
  if (Status output = CheckConvertOutput(host, imagePath, outputPath, replace); !output) {
    report.refused = true;
    report.failure = output.Failure().text;
    return;
  }
  Result<std::unique_ptr<DiscImage>> disc = OpenDiscImage(host, imagePath);
  if (!disc) {
    report.failure = disc.Failure().text;
    return;
  }
  report.opened = true;
  report.container = (*disc)->Description();
  for (const std::string& path : OutputPaths(report.format, (*disc)->Tracks(), outputPath)) {
    Status output = CheckConvertOutput(host, imagePath, path, replace);
    if (output && path != outputPath) output = CheckBesideOutput(host, path, replace);
    if (!output) {
      report.refused = true;
      report.failure = output.Failure().text;
      return;
    }
  }
  Result<WrittenFiles> written = WriteDiscAs(report.format, **disc, outputPath, host, progress);
  if (!written) {
    report.failure = written.Failure().text;
    return;
  }
  report.files = std::move(written->paths);
  report.bytes = written->bytes;
}

}  // namespace

ConvertReport ConvertImage(const std::string& imagePath, const std::string& outputPath, ReplaceRule replace,
                           Host& host, std::optional<ImageFormat> format, const Progress& progress) {
  ConvertReport report;
  report.format = OutputFormat(outputPath, format);
  if (report.format == ImageFormat::kIso) {
    ConvertToPlainImage(imagePath, outputPath, replace, host, progress, report);
  } else {
    ConvertToDiscImage(imagePath, outputPath, replace, host, progress, report);
  }
  return report;
}

}  // namespace zanthrel
