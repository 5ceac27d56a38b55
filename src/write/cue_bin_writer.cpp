#include "write/cue_bin_writer.h"

#include <algorithm>

#include "source/cd_sector.h"
#include "support/text.h"

namespace zanthrel {

namespace {

constexpr size_t kChunkFrames = 64;

// The set's name: the cue sheet's path without its ".cue".
std::string SetName(const std::string& cuePath) {
  const std::string name = FileNameOf(cuePath);
  if (name.size() > 4 && LowerCase(name.substr(name.size() - 4)) == ".cue") {
    return cuePath.substr(0, cuePath.size() - 4);
  }
  return cuePath;
}

// Redump writes "Track 01" once a disc has ten tracks or more, so that the
// files sort in disc order.
std::string TrackFileName(const std::string& setName, uint32_t number, size_t trackCount) {
  std::string digits = std::to_string(number);
  if (trackCount >= 10 && digits.size() < 2) digits = "0" + digits;
  return setName + " (Track " + digits + ").bin";
}

std::string TwoDigits(uint64_t value) { return (value < 10 ? "0" : "") + std::to_string(value); }

// CRLF, as Redump's cue sheets have it, so that a written sheet is the same
// bytes as the one in a Redump set of the same disc.
std::string CueSheetText(const std::vector<DiscTrack>& tracks, const std::vector<std::string>& paths) {
  std::string text;
  const auto line = [&text](const std::string& content) { text += content + "\r\n"; };
  for (size_t k = 0; k < tracks.size(); ++k) {
    const DiscTrack& track = tracks[k];
    line("FILE \"" + FileNameOf(paths[k + 1]) + "\" BINARY");
    line("  TRACK " + TwoDigits(track.number) + " " + std::string(CueModeName(track.mode)));
    if (track.pregap > 0) line("    PREGAP " + CdTimeText(track.pregap));
    if (track.storedPregap > 0) line("    INDEX 00 00:00:00");
    line("    INDEX 01 " + CdTimeText(track.storedPregap));
    if (track.postgap > 0) line("    POSTGAP " + CdTimeText(track.postgap));
  }
  return text;
}

Error WriteFailure(const std::string& path, const Error& error) {
  return Error{path + ": cannot be written (" + ErrorText(error.code) + ")", error.code};
}

}  // namespace

std::vector<std::string> CueBinPaths(const DiscImage& disc, const std::string& cuePath) {
  return CueBinPaths(disc.Tracks(), cuePath);
}

std::vector<std::string> CueBinPaths(const std::vector<DiscTrack>& tracks, const std::string& cuePath) {
  const std::string setName = SetName(cuePath);
  std::vector<std::string> paths{cuePath};
  for (const DiscTrack& track : tracks) paths.push_back(TrackFileName(setName, track.number, tracks.size()));
  return paths;
}

Result<WrittenFiles> WriteCueBin(DiscImage& disc, const std::string& cuePath, Host& host, Progress progress) {
  const std::vector<DiscTrack>& tracks = disc.Tracks();
  WrittenFiles written;
  written.paths = CueBinPaths(disc, cuePath);
  for (size_t k = 1; k < written.paths.size(); ++k) {
    if (FileNameOf(written.paths[k]).find('"') != std::string::npos) {
      return Error{written.paths[k] + ": a cue sheet cannot name a file with a double quote in its name"};
    }
  }
  uint64_t total = 0;
  for (const DiscTrack& track : tracks) total += track.frames * kCdFrameSize;

  std::vector<TemporaryFile> files;
  for (const std::string& path : written.paths) {
    Result<TemporaryFile> file = TemporaryFile::CreateBeside(host, path);
    if (!file) return WriteFailure(path, file.Failure());
    files.push_back(std::move(*file));
  }
  const std::string sheet = CueSheetText(tracks, written.paths);
  if (Status status = files[0].File().WriteAt(0, sheet.data(), sheet.size()); !status) {
    return WriteFailure(cuePath, status.Failure());
  }
  written.bytes = sheet.size();

  std::vector<uint8_t> buffer(kChunkFrames * kCdFrameSize);
  uint64_t done = 0;
  for (size_t k = 0; k < tracks.size(); ++k) {
    const std::string& path = written.paths[k + 1];
    for (uint64_t frame = 0; frame < tracks[k].frames;) {
      const size_t count = size_t(std::min<uint64_t>(kChunkFrames, tracks[k].frames - frame));
      Result<size_t> read = disc.ReadFrames(k, frame, count, buffer.data());
      if (!read) return Error{read.Failure().text + "; nothing written"};
      if (*read == 0) {
        return Error{"track " + std::to_string(tracks[k].number) + " ends at frame " +
                     UnsignedDecimal64(frame) + " of " + UnsignedDecimal64(tracks[k].frames) +
                     "; nothing written"};
      }
      const size_t bytes = *read * kCdFrameSize;
      if (Status status = files[k + 1].File().WriteAt(frame * kCdFrameSize, buffer.data(), bytes); !status) {
        return WriteFailure(path, status.Failure());
      }
      frame += *read;
      done += bytes;
      if (progress) progress(done, total);
    }
    written.bytes += tracks[k].frames * kCdFrameSize;
  }

  // The tracks first, the sheet last, so that a sheet in place never names a
  // file that is not; what was put in place goes again when a later one fails.
  std::vector<std::string> placed;
  for (size_t n = 0; n < files.size(); ++n) {
    const size_t k = (n + 1) % files.size();
    if (Status committed = files[k].Commit(); !committed) {
      for (const std::string& path : placed) (void)host.RemoveFile(path);
      return Error{written.paths[k] + ": cannot be put in place (" + ErrorText(committed.Failure().code) + ")"};
    }
    placed.push_back(written.paths[k]);
  }
  return written;
}

}  // namespace zanthrel
