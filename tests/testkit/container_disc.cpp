#include "testkit/container_disc.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "testkit/cd_sectors.h"
#include "testkit/image_builder.h"
#include "testkit/log_text.h"

namespace zanthrel::testkit {

namespace {

// "mm:ss:ff" of a count of frames.
std::string Msf(size_t frames) {
  char text[32];
  std::snprintf(text, sizeof text, "%02zu:%02zu:%02zu", frames / 4500, frames / 75 % 60, frames % 75);
  return text;
}

}  // namespace

Bytes TextBytes(size_t size, uint32_t seed) {
  static const char kText[] = "the quick brown fox jumps over the lazy dog 0123456789\n";
  const Bytes noise = Pattern(size, seed);
  Bytes text(size);
  for (size_t i = 0; i < size; ++i) text[i] = uint8_t(kText[noise[i] % (sizeof kText - 1)]);
  return text;
}

ContainerDisc MakeContainerDisc() {
  ImageBuilder builder(288);
  LabelFields label;
  label.comment = "container test";
  builder.Label(label);
  const Bytes text = TextBytes(80 * 2048 - 300, 1), noise = Pattern(104 * 2048, 2);
  const Bytes piece = Pattern(8 * 2048, 3), other = TextBytes(8 * 2048, 4);
  const Bytes repeat = Concat(Concat(Concat(Concat(piece, other), piece), other), piece);
  const Bytes twice = TextBytes(8 * 2048 - 5, 5);
  EntryFields twiceEntry = FileEntry("Twice", ContainerDisc::kTwiceCopies[0], uint32_t(twice.size()));
  twiceEntry.copies.push_back(ContainerDisc::kTwiceCopies[1]);
  builder.Directory(
      1, {FileEntry("Text", 8, uint32_t(text.size())), DirEntry(Win("Игры"), 2),
          FileEntry("Noise", 88, uint32_t(noise.size())), FileEntry("Repeat", 192, uint32_t(repeat.size())),
          FileEntry("Zeros", 232, 24 * 2048), twiceEntry, LabelEntry()});
  builder.Directory(2, {FileEntry("a:b", 3, 10)});
  builder.Data(3, Pattern(10, 6));
  builder.Data(8, text);
  builder.Data(88, noise);
  builder.Data(192, repeat);
  builder.Data(232, Bytes(24 * 2048, 0));
  builder.Data(ContainerDisc::kTwiceCopies[0], twice);
  builder.Data(ContainerDisc::kTwiceCopies[1], twice);
  return {builder.Image(), twice};
}

std::string WriteCueSet(const std::string& folder, const std::string& name, std::istream& image,
                        const Bytes& audio, bool filePerTrack) {
  const std::string track1 = filePerTrack ? name + " (Track 1).bin" : name + ".bin";
  const std::string track2 = name + " (Track 2).bin";
  std::ofstream out(PathOf(folder + "/" + track1), std::ios::binary);
  size_t dataFrames = 0;
  Bytes piece(512 * 2048);
  while (image.read(reinterpret_cast<char*>(piece.data()), std::streamsize(piece.size())) || image.gcount() > 0) {
    piece.resize(size_t(image.gcount()));
    const Bytes raw = Mode1Sectors(piece, uint32_t(dataFrames));
    out.write(reinterpret_cast<const char*>(raw.data()), std::streamsize(raw.size()));
    dataFrames += raw.size() / 2352;
    piece.resize(512 * 2048);
  }
  std::string sheet;
  if (filePerTrack) {
    out.close();
    WriteBytes(folder + "/" + track2, audio);
    sheet = "FILE \"" + track1 + "\" BINARY\r\n  TRACK 01 MODE1/2352\r\n    INDEX 01 00:00:00\r\n";
    sheet += "FILE \"" + track2 + "\" BINARY\r\n  TRACK 02 AUDIO\r\n    INDEX 00 00:00:00\r\n";
    sheet += "    INDEX 01 00:02:00\r\n";
  } else {
    out.write(reinterpret_cast<const char*>(audio.data()), std::streamsize(audio.size()));
    out.close();
    sheet = "FILE \"" + track1 + "\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n";
    sheet += "  TRACK 02 AUDIO\n    INDEX 00 " + Msf(dataFrames) + "\n";
    sheet += "    INDEX 01 " + Msf(dataFrames + 150) + "\n";
  }
  if (!out) throw std::runtime_error("cannot write " + folder + "/" + track1);
  WriteText(folder + "/" + name + ".cue", sheet);
  return folder + "/" + name + ".cue";
}

std::string WriteCueSet(const std::string& folder, const std::string& name, const Bytes& image,
                        bool filePerTrack, size_t audioFrames) {
  std::istringstream in(std::string(image.begin(), image.end()));
  return WriteCueSet(folder, name, in, AudioFrames(audioFrames, 7), filePerTrack);
}

}  // namespace zanthrel::testkit
