#include "data_sets.h"

#include <stdlib.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <vector>

#include "opera/records.h"
#include "testkit/cd_sectors.h"

namespace zanthrel::bench {

namespace {

void PrintUsage(std::FILE* to, const char* program) {
  std::fprintf(to,
               "usage: %s [--zanthrel PATH] [--runs N] [--scale F] [--sets LETTERS] [--dir FOLDER] [--only WORD]\n"
               "  --zanthrel PATH  the zanthrel program to time (default: zanthrel on the PATH)\n"
               "  --runs N         timed runs of each pair (default 5)\n"
               "  --scale F        size of the data sets against their full size (default 1)\n"
               "  --sets LETTERS   data sets to time: a, b, c\n"
               "  --dir FOLDER     where the data and the outputs go (default: the temporary folder)\n"
               "  --only WORD      only the pairs whose name holds WORD\n",
               program);
}

}  // namespace

BenchOptions ParseBenchOptions(int argc, char** argv, const std::string& defaultSets) {
  BenchOptions options;
  options.sets = defaultSets;
  for (int i = 1; i < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--help" || flag == "-h") {
      PrintUsage(stdout, argv[0]);
      std::exit(0);
    }
    const bool known = flag == "--zanthrel" || flag == "--runs" || flag == "--scale" || flag == "--sets" ||
                       flag == "--dir" || flag == "--only";
    if (!known || i + 1 == argc) {
      PrintUsage(stderr, argv[0]);
      std::exit(2);
    }
    if (flag == "--zanthrel") options.zanthrel = std::filesystem::absolute(argv[i + 1]).string();
    else if (flag == "--runs") options.runs = std::max(1, std::atoi(argv[i + 1]));
    else if (flag == "--scale") options.scale = std::atof(argv[i + 1]);
    else if (flag == "--sets") options.sets = argv[i + 1];
    else if (flag == "--dir") options.dir = std::filesystem::absolute(argv[i + 1]).string();
    else if (flag == "--only") options.only = argv[i + 1];
  }
  return options;
}

std::string MakeWorkFolder(const std::string& stem) {
  std::string pattern = stem + "XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make " + pattern);
  return pattern;
}

namespace {

namespace fs = std::filesystem;
using opera::WriteBig32;

std::vector<uint8_t> RandomBytes(std::mt19937& random, size_t size) {
  std::vector<uint8_t> bytes(size);
  // Text-like data, so that gzip has something to do and something to gain.
  static const char kText[] = "the quick brown fox jumps over the lazy dog 0123456789\n";
  for (size_t i = 0; i < size; i += 4) {
    uint32_t r = random();
    for (size_t k = 0; k < 4 && i + k < size; ++k) bytes[i + k] = uint8_t(kText[(r >> (8 * k)) % 55]);
  }
  return bytes;
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

int Scaled(int count, double scale) { return std::max(1, int(count * scale)); }

// A name made of a prefix, a number and a suffix.
std::string Numbered(const char* prefix, int number, const char* suffix = "") {
  std::string name = prefix;
  name += std::to_string(number);
  name += suffix;
  return name;
}

// Writes an image block by block, handing out blocks in order.
class ImageWriter {
 public:
  explicit ImageWriter(const std::string& path) : out_(path, std::ios::binary) {
    std::vector<uint8_t> placeholder(2048, 0);
    Append(placeholder);
  }
  uint32_t Append(const std::vector<uint8_t>& bytes) {
    const uint32_t first = next_;
    std::vector<uint8_t> padded = bytes;
    padded.resize((bytes.size() + 2047) / 2048 * 2048, 0);
    out_.write(reinterpret_cast<const char*>(padded.data()), std::streamsize(padded.size()));
    next_ += uint32_t(padded.size() / 2048);
    return first;
  }
  void WriteBlockZero(const std::vector<uint8_t>& block) {
    out_.seekp(0);
    out_.write(reinterpret_cast<const char*>(block.data()), 2048);
  }
  uint32_t Next() const { return next_; }

 private:
  std::ofstream out_;
  uint32_t next_ = 0;
};

struct DeepTree {
  ImageWriter& image;
  std::mt19937 random{7};
  int filesPerFolder;
  int depth;

  // Writes a folder's files (two copies each) and sub-folders; returns its first block and count.
  std::pair<uint32_t, uint32_t> Folder(const fs::path& path, int level) {
    fs::create_directories(path);
    std::vector<std::vector<uint8_t>> entries;
    for (int i = 0; i < filesPerFolder; ++i) {
      std::vector<uint8_t> data = RandomBytes(random, 1024 + random() % (63 * 1024));
      const std::string name = Numbered("file", i, ".dat");
      WriteFile(path / name, data);
      const uint32_t copy0 = image.Append(data), copy1 = image.Append(data);
      entries.push_back(Entry(2, name, uint32_t(data.size()), uint32_t((data.size() + 2047) / 2048),
                              {copy0, copy1}));
    }
    for (int s = 0; level < depth && s < 3; ++s) {
      const std::string name = Numbered("folder", s);
      auto [first, count] = Folder(path / name, level + 1);
      entries.push_back(Entry(7, name, 2048, count, {first}));
    }
    return WriteDirectory(entries);
  }

  std::vector<uint8_t> Entry(uint32_t flags, const std::string& name, uint32_t bytes,
                             uint32_t blocks, const std::vector<uint32_t>& copies) {
    std::vector<uint8_t> entry(68 + 4 * copies.size(), 0);
    WriteBig32(&entry[0], flags);
    WriteBig32(&entry[4], random());
    std::memcpy(&entry[8], flags == 7 ? "*dir" : "dat ", 4);
    WriteBig32(&entry[12], 2048);
    WriteBig32(&entry[16], bytes);
    WriteBig32(&entry[20], blocks);
    WriteBig32(&entry[24], 1);
    std::memcpy(&entry[32], name.data(), std::min<size_t>(32, name.size()));
    WriteBig32(&entry[64], uint32_t(copies.size() - 1));
    for (size_t i = 0; i < copies.size(); ++i) WriteBig32(&entry[68 + 4 * i], copies[i]);
    return entry;
  }

  std::pair<uint32_t, uint32_t> WriteDirectory(std::vector<std::vector<uint8_t>>& entries) {
    std::vector<std::vector<uint8_t>> blocks;
    size_t at = 0;
    while (at < entries.size() || blocks.empty()) {
      std::vector<uint8_t> block(2048);
      opera::FillPattern(block.data(), block.size());
      size_t offset = 20;
      while (at < entries.size() && offset + entries[at].size() <= 2048) {
        if (at + 1 == entries.size()) {
          WriteBig32(&entries[at][0], opera::ReadBig32(&entries[at][0]) | opera::kLastInDirectoryBit);
        }
        std::memcpy(&block[offset], entries[at].data(), entries[at].size());
        offset += entries[at].size();
        ++at;
      }
      const uint32_t index = uint32_t(blocks.size());
      WriteBig32(&block[0], at < entries.size() ? index + 1 : opera::kNone);
      WriteBig32(&block[4], index - 1);
      WriteBig32(&block[8], 0);
      WriteBig32(&block[12], uint32_t(offset));
      WriteBig32(&block[16], 20);
      blocks.push_back(block);
    }
    std::vector<uint8_t> all;
    for (const auto& block : blocks) all.insert(all.end(), block.begin(), block.end());
    return {image.Append(all), uint32_t(blocks.size())};
  }
};

}  // namespace

void MakeLargeFiles(const std::string& folder, double scale) {
  std::mt19937 random(1);
  for (int i = 0; i < Scaled(300, scale); ++i) {
    const fs::path dir = fs::path(folder) / Numbered("part", i % 4);
    fs::create_directories(dir);
    WriteFile(dir / Numbered("file", i, ".bin"), RandomBytes(random, 1 << 20));
  }
}

void MakeSmallFiles(const std::string& folder, double scale) {
  std::mt19937 random(2);
  const int folders = Scaled(200, scale), files = Scaled(20000, scale);
  for (int i = 0; i < files; ++i) {
    const int f = i % folders;
    const fs::path dir = fs::path(folder) / Numbered("a", f % 5) / Numbered("b", f / 5 % 8) /
                         Numbered("c", f / 40);
    fs::create_directories(dir);
    WriteFile(dir / Numbered("f", i, ".txt"), RandomBytes(random, 1024 + random() % 7169));
  }
}

void MakeDeepTreeWithCopies(const std::string& folder, const std::string& image, double scale) {
  ImageWriter writer(image);
  DeepTree tree{writer, std::mt19937(3), Scaled(60, scale), 3};
  auto [root, rootBlocks] = tree.Folder(folder, 0);
  std::vector<uint8_t> label(2048);
  opera::FillPattern(label.data(), label.size());
  std::memset(label.data(), 0, opera::kLabelSize);
  std::memcpy(label.data(), opera::kLabelSignature, 8);
  std::memcpy(&label[opera::label::kLabelText], "CD-ROM", 6);
  WriteBig32(&label[opera::label::kBlockSize], 2048);
  WriteBig32(&label[opera::label::kBlockCount], writer.Next());
  WriteBig32(&label[opera::label::kRootBlockCount], rootBlocks);
  WriteBig32(&label[opera::label::kRootBlockSize], 2048);
  WriteBig32(&label[opera::label::kRootCopies], root);
  writer.WriteBlockZero(label);
}

void WriteRawImage(const std::string& image, const std::string& raw) {
  std::ifstream in(image, std::ios::binary);
  std::ofstream out(raw, std::ios::binary);
  // Real EDC and ECC, as a disc's sectors carry them, so that reading the
  // image costs their check.
  constexpr size_t kSectorsAtOnce = 512;
  std::vector<uint8_t> user(kSectorsAtOnce * 2048);
  uint32_t lba = 0;
  while (in.read(reinterpret_cast<char*>(user.data()), std::streamsize(user.size())) || in.gcount() > 0) {
    const std::vector<uint8_t> sectors =
        testkit::Mode1Sectors(std::vector<uint8_t>(user.begin(), user.begin() + in.gcount()), lba);
    out.write(reinterpret_cast<const char*>(sectors.data()), std::streamsize(sectors.size()));
    lba += uint32_t(sectors.size() / 2352);
  }
}

void WriteGzipImage(const std::string& image, const std::string& gzip) {
  std::ifstream in(image, std::ios::binary);
  gzFile out = gzopen(gzip.c_str(), "wb6");
  std::vector<char> chunk(1 << 20);
  while (in.read(chunk.data(), std::streamsize(chunk.size())) || in.gcount() > 0) {
    gzwrite(out, chunk.data(), unsigned(in.gcount()));
  }
  gzclose(out);
}

std::vector<uint8_t> ToneFrames(size_t frames) {
  std::vector<uint8_t> samples(frames * 2352);
  for (size_t i = 0; i < samples.size() / 4; ++i) {
    const int16_t value = int16_t(8000 * std::sin(double(i) * 2 * 3.14159265 * 440 / 44100));
    for (size_t channel = 0; channel < 2; ++channel) {
      samples[4 * i + 2 * channel] = uint8_t(value);
      samples[4 * i + 2 * channel + 1] = uint8_t(uint16_t(value) >> 8);
    }
  }
  return samples;
}

}  // namespace zanthrel::bench
