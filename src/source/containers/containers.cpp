#include "source/containers/containers.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "source/chd/chd_container.h"
#include "source/chd/chd_header.h"
#include "source/containers/cue_container.h"
#include "source/containers/cue_sheet.h"
#include "source/containers/nrg_container.h"
#include "source/containers/raw_container.h"
#include "source/gzip_inflater.h"

namespace zanthrel {

namespace {

using Track = std::unique_ptr<DataTrack>;
using Disc = std::unique_ptr<DiscImage>;

constexpr size_t kHeadSize = 64;
constexpr size_t kTailSize = 12;

// What every probe is shown of a file: its first and last bytes, and its size.
struct FileEnds {
  const uint8_t* head;
  size_t headLength;
  const uint8_t* tail;
  size_t tailLength;
  uint64_t size;
};

// A kind of file that the table tells apart: whether a file looks like one,
// and its data track or its whole disc once it does. An open may still find
// that the file is none (null), which leaves it an image.
struct ContainerFormat {
  std::string_view name;
  bool (*probe)(const FileEnds& ends);
  Result<Track> (*open)(Host& host, const std::string& path, HostFile& file, const FileEnds& ends);
  Result<Disc> (*openDisc)(Host& host, const std::string& path, HostFile& file, const FileEnds& ends);
};

bool ProbeChd(const FileEnds& ends) { return HasChdMagic(ends.head, ends.headLength); }
bool ProbeGzip(const FileEnds& ends) { return HasGzipMagic(ends.head, ends.headLength); }
bool ProbeNrg(const FileEnds& ends) { return NrgVersion(ends.tail, ends.tailLength) != 0; }
bool ProbeRawMode2(const FileEnds& ends) { return RawMode2Format(ends.head, ends.headLength).has_value(); }
bool ProbeCueSheet(const FileEnds& ends) { return ends.size <= kMaxCueSheetSize; }

Result<Track> OpenChd(Host&, const std::string&, HostFile& file, const FileEnds& ends) {
  return OpenChdTrack(std::move(file), ends.size);
}

// The image stream inflates a gzip file itself; the file is an image.
Result<Track> OpenGzip(Host&, const std::string&, HostFile&, const FileEnds&) { return Track(); }

Result<Track> OpenNrg(Host&, const std::string&, HostFile& file, const FileEnds& ends) {
  return OpenNrgTrack(std::move(file), ends.size);
}

Result<Track> OpenRawMode2(Host&, const std::string&, HostFile& file, const FileEnds& ends) {
  return OpenRawTrack(std::move(file), ends.size, *RawMode2Format(ends.head, ends.headLength));
}

Result<Disc> OpenChdAsDisc(Host&, const std::string&, HostFile& file, const FileEnds& ends) {
  return OpenChdDisc(std::move(file), ends.size);
}

Result<Disc> OpenGzipAsDisc(Host&, const std::string&, HostFile&, const FileEnds&) { return Disc(); }

Result<Disc> OpenNrgAsDisc(Host&, const std::string&, HostFile& file, const FileEnds& ends) {
  return OpenNrgDisc(std::move(file), ends.size);
}

Result<Disc> OpenRawMode2AsDisc(Host&, const std::string&, HostFile& file, const FileEnds& ends) {
  const RecordFormat format = *RawMode2Format(ends.head, ends.headLength);
  if (ends.size < format.recordSize) return Error{"raw MODE2 image: not one whole sector"};
  return OpenRawDisc(std::move(file), ends.size, format);
}

// The file's text when it reads as a cue sheet; none when it does not.
Result<std::optional<std::string>> CueSheetText(HostFile& file, const FileEnds& ends) {
  std::string text(size_t(ends.size), '\0');
  Result<size_t> read = file.ReadAt(0, text.data(), text.size());
  if (!read) return read.Failure();
  text.resize(*read);
  if (!LooksLikeCueSheet(text)) return std::optional<std::string>();
  return std::optional<std::string>(std::move(text));
}

Result<Track> OpenCueSheet(Host& host, const std::string& path, HostFile& file, const FileEnds& ends) {
  Result<std::optional<std::string>> text = CueSheetText(file, ends);
  if (!text) return text.Failure();
  if (!*text) return Track();
  return OpenCueTrack(host, path, **text);
}

Result<Disc> OpenCueSheetAsDisc(Host& host, const std::string& path, HostFile& file, const FileEnds& ends) {
  Result<std::optional<std::string>> text = CueSheetText(file, ends);
  if (!text) return text.Failure();
  if (!*text) return Disc();
  return OpenCueDisc(host, path, **text);
}

// The first format whose probe says yes takes the file. Certain magics that
// cost nothing to test come first: CHD's at the head, gzip's (no container,
// but a compressed file must not be taken for one by chance bytes), and
// NRG's footer at the tail. A raw MODE2 first sector is a weaker sign, so it
// is asked only after them; the cue sheet comes last, since only reading the
// whole small file as text tells it.
constexpr ContainerFormat kFormats[] = {
    {"CHD", ProbeChd, OpenChd, OpenChdAsDisc},
    {"gzip", ProbeGzip, OpenGzip, OpenGzipAsDisc},
    {"NRG", ProbeNrg, OpenNrg, OpenNrgAsDisc},
    {"raw MODE2", ProbeRawMode2, OpenRawMode2, OpenRawMode2AsDisc},
    {"cue sheet", ProbeCueSheet, OpenCueSheet, OpenCueSheetAsDisc},
};

// The file's ends, and the format that takes it; null for none.
Result<const ContainerFormat*> FindFormat(HostFile& file, FileEnds& ends, uint8_t* head, uint8_t* tail) {
  Result<PathInfo> info = file.Info();
  if (!info) return info.Failure();
  const uint64_t size = info->size;
  Result<size_t> headLength = file.ReadAt(0, head, kHeadSize);
  if (!headLength) return headLength.Failure();
  const size_t tailLength = size_t(std::min<uint64_t>(size, kTailSize));
  Result<size_t> tailRead = file.ReadAt(size - tailLength, tail, tailLength);
  if (!tailRead) return tailRead.Failure();

  ends = FileEnds{head, *headLength, tail, *tailRead, size};
  for (const ContainerFormat& format : kFormats) {
    if (format.probe(ends)) return &format;
  }
  return static_cast<const ContainerFormat*>(nullptr);
}

}  // namespace

Result<std::unique_ptr<DataTrack>> OpenContainer(Host& host, const std::string& path, HostFile& file) {
  uint8_t head[kHeadSize] = {}, tail[kTailSize] = {};
  FileEnds ends{};
  Result<const ContainerFormat*> format = FindFormat(file, ends, head, tail);
  if (!format) return format.Failure();
  if (!*format) return Track();
  return (*format)->open(host, path, file, ends);
}

Result<std::unique_ptr<DiscImage>> OpenContainerDisc(Host& host, const std::string& path, HostFile& file) {
  uint8_t head[kHeadSize] = {}, tail[kTailSize] = {};
  FileEnds ends{};
  Result<const ContainerFormat*> format = FindFormat(file, ends, head, tail);
  if (!format) return format.Failure();
  if (!*format) return Disc();
  return (*format)->openDisc(host, path, file, ends);
}

}  // namespace zanthrel
