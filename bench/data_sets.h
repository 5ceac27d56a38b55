// The benchmark's data: host trees and Opera images made for timing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zanthrel::bench {

// The options every benchmark program takes: --zanthrel PATH, --runs N,
// --scale F, --sets LETTERS, --dir FOLDER (where the data and the outputs go,
// such as a tmpfs or a disk), --only WORD (the pairs whose name holds WORD).
struct BenchOptions {
  std::string zanthrel = "zanthrel";
  int runs = 5;
  double scale = 1.0;
  std::string sets;
  std::string dir;
  std::string only;
};
BenchOptions ParseBenchOptions(int argc, char** argv, const std::string& defaultSets);
// A new folder `stem` + "XXXXXX" made unique; throws when it cannot be made.
std::string MakeWorkFolder(const std::string& stem);

// (a) 300 files of 1 MiB in 4 folders.
void MakeLargeFiles(const std::string& folder, double scale);
// (b) 20,000 files of 1-8 KiB in 200 folders three levels deep.
void MakeSmallFiles(const std::string& folder, double scale);
// (c) a deep and wide tree whose directories take several blocks (60+ entries),
// written both as a host folder and as an image in which every file has two copies.
void MakeDeepTreeWithCopies(const std::string& folder, const std::string& image, double scale);

// The same image in raw 2352-byte sectors, and gzip-compressed.
void WriteRawImage(const std::string& image, const std::string& raw);
void WriteGzipImage(const std::string& image, const std::string& gzip);
// `frames` CD audio frames of a 440 Hz tone, which FLAC shrinks as it does music.
std::vector<uint8_t> ToneFrames(size_t frames);

}  // namespace zanthrel::bench
