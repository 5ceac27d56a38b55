#include "source/disc_image.h"

#include "source/containers/containers.h"
#include "source/image_stream.h"
#include "source/stream_disc.h"

namespace zanthrel {

std::string_view CueModeName(FrameMode mode) {
  switch (mode) {
    case FrameMode::kAudio: return "AUDIO";
    case FrameMode::kMode1: return "MODE1/2352";
    case FrameMode::kMode2: return "MODE2/2352";
  }
  return "MODE1/2352";
}

std::vector<int64_t> FirstFrameLbas(const std::vector<DiscTrack>& tracks) {
  std::vector<int64_t> lbas;
  if (tracks.empty()) return lbas;
  int64_t position = -int64_t(tracks.front().pregap + tracks.front().storedPregap);
  for (const DiscTrack& track : tracks) {
    position += int64_t(track.pregap);
    lbas.push_back(position);
    position += int64_t(track.frames + track.postgap);
  }
  return lbas;
}

Result<std::unique_ptr<DiscImage>> OpenDiscImage(Host& host, const std::string& path) {
  // Pipes and character devices are refused before they are opened, as the image source refuses them.
  const Result<PathInfo> info = host.InfoOf(path);
  if (info && info->kind == PathKind::kFolder) return Error{path + ": is a folder"};
  if (info && info->kind == PathKind::kOther) return Error{path + ": neither a file nor a block device"};
  Result<HostFile> file = host.OpenFile(path);
  if (!file) return Error{path + ": cannot be opened (" + ReasonOf(file.Failure(), path) + ")"};
  Result<std::unique_ptr<DiscImage>> disc = OpenContainerDisc(host, path, *file);
  if (!disc && disc.Failure().code != 0) {
    return Error{path + ": cannot be read (" + ReasonOf(disc.Failure(), path) + ")"};
  }
  if (!disc || *disc) return disc;
  file->Close();
  Result<std::unique_ptr<ImageStream>> stream = ImageStream::Open(host, path);
  if (!stream) return Error{path + ": cannot be read (" + ReasonOf(stream.Failure(), path) + ")"};
  return OpenStreamDisc(std::move(*stream), path);
}

}  // namespace zanthrel
