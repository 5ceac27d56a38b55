// Times backward seeks in a gzip-compressed image against one full
// decompression of the same file, and prints the peak resident memory.
//   gzip_seek_bench [MiB] [seeks]
#include <sys/resource.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "opera/records.h"
#include "source/image_source.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zanthrel;
  const uint32_t mib = argc > 1 ? uint32_t(std::atoi(argv[1])) : 300;
  const int seeks = argc > 2 ? std::atoi(argv[2]) : 2000;
  const uint32_t blocks = mib * 512;
  auto folder = std::filesystem::temp_directory_path() / "zanthrel-gzip-bench";
  std::filesystem::create_directories(folder);
  std::string path = (folder / "image.iso.gz").string();

  std::vector<uint8_t> block(2048);
  std::mt19937 random(1);
  gzFile out = gzopen(path.c_str(), "wb1");
  for (uint32_t b = 0; b < blocks; ++b) {
    for (size_t i = 0; i < block.size(); i += 4) opera::WriteBig32(&block[i], random() % 64);
    opera::WriteBig32(&block[0], b);
    if (b == 0) {
      std::copy(std::begin(opera::kLabelSignature), std::end(opera::kLabelSignature), block.begin());
      opera::WriteBig32(&block[opera::label::kBlockSize], 2048);
    }
    gzwrite(out, block.data(), unsigned(block.size()));
  }
  gzclose(out);

  auto start = std::chrono::steady_clock::now();
  gzFile in = gzopen(path.c_str(), "rb");
  while (gzread(in, block.data(), unsigned(block.size())) > 0) {
  }
  gzclose(in);
  double decompress = Seconds(start);

  start = std::chrono::steady_clock::now();
  ImageSource source;
  if (!OpenImageFile(source, path)) return std::fprintf(stderr, "open failed\n"), 1;
  // Alternate between the far end and random earlier blocks: every second seek goes back.
  std::uniform_int_distribution<uint32_t> anywhere(1, blocks - 1);
  int wrong = 0;
  for (int i = 0; i < seeks; ++i) {
    uint32_t target = i % 2 == 0 ? blocks - 1 - uint32_t(i) : anywhere(random);
    if (!Seek(source, target, 2048, 0) || !ReadRecords(source, block.data(), 2048, 1) ||
        opera::ReadBig32(block.data()) != target) {
      ++wrong;
    }
  }
  double seeking = Seconds(start);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("image %u MiB, %d reads (half of them backward seeks)\n", mib, seeks);
  std::printf("one full gzread pass: %.2f s\n", decompress);
  std::printf("open + seeks + reads: %.2f s (%.2fx), wrong reads %d\n", seeking, seeking / decompress,
              wrong);
  std::printf("peak resident memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);
  std::filesystem::remove_all(folder);
  return wrong == 0 ? 0 : 1;
}
