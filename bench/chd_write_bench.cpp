// Times the CHD writer against chdman createcd on the same disc, and compares
// the files' sizes and the writer's peak memory.
//
//   chd_write_bench [--scale F] [--dir FOLDER] [--runs N]
//
// The disc: a data track of 200 MiB (scaled) in which text, noise and zeros
// take turns a mebibyte each, then 10 minutes of audio (scaled) with its
// pregap stored. Exits 1 when the file is over 1.02 times chdman's, the
// writer slower than chdman or its memory over 64 MiB.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "data_sets.h"
#include "testkit/container_disc.h"
#include "testkit/files.h"
#include "testkit/frame_disc.h"
#include "write/chd_writer.h"

namespace {

namespace fs = std::filesystem;
using zanthrel::testkit::Bytes;

struct Timing {
  double seconds;
  double peakMiB;
};

// Runs `work` in a child process: its wall time and peak memory.
template <typename Work>
Timing InChild(Work work) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) _exit(work());
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("a run failed");
  return {seconds, double(usage.ru_maxrss) / 1024.0};
}

std::string MakeDisc(const std::string& folder, double scale) {
  Bytes image;
  const size_t mebibytes = std::max<size_t>(3, size_t(200 * scale));
  for (size_t m = 0; m < mebibytes; ++m) {
    const Bytes piece = m % 3 == 0   ? zanthrel::testkit::TextBytes(1 << 20, uint32_t(m))
                        : m % 3 == 1 ? zanthrel::testkit::Pattern(1 << 20, uint32_t(m))
                                     : Bytes(1 << 20, 0);
    image.insert(image.end(), piece.begin(), piece.end());
  }
  std::istringstream in(std::string(image.begin(), image.end()));
  const std::vector<uint8_t> audio = zanthrel::bench::ToneFrames(std::max<size_t>(300, size_t(45000 * scale)));
  return zanthrel::testkit::WriteCueSet(folder, "Game", in, Bytes(audio.begin(), audio.end()), true);
}

}  // namespace

int main(int argc, char** argv) {
  const zanthrel::bench::BenchOptions options = zanthrel::bench::ParseBenchOptions(argc, argv, "");
  const std::string folder = zanthrel::bench::MakeWorkFolder((options.dir.empty() ? fs::temp_directory_path().string()
                                                                                    : options.dir) +
                                                             "/chd_write_bench.");
  const std::string cue = MakeDisc(folder, options.scale);
  const std::string theirs = folder + "/chdman.chd", ours = folder + "/ours.chd";
  std::vector<double> chdmanTimes, ourTimes, peaks;
  for (int run = 0; run < std::max(1, options.runs); ++run) {
    fs::remove(theirs);
    chdmanTimes.push_back(InChild([&] {
      std::freopen("/dev/null", "w", stdout);
      std::freopen("/dev/null", "w", stderr);
      execlp("chdman", "chdman", "createcd", "-i", cue.c_str(), "-o", theirs.c_str(), nullptr);
      return 127;
    }).seconds);
    const Timing timing = InChild([&] {
      zanthrel::testkit::FrameDisc disc({zanthrel::testkit::FileTrack(zanthrel::FrameMode::kMode1,
                                                                      folder + "/Game (Track 1).bin"),
                                         zanthrel::testkit::FileTrack(zanthrel::FrameMode::kAudio,
                                                                      folder + "/Game (Track 2).bin", 150)});
      return zanthrel::WriteChd(disc, ours) ? 0 : 1;
    });
    ourTimes.push_back(timing.seconds);
    peaks.push_back(timing.peakMiB);
  }
  std::sort(chdmanTimes.begin(), chdmanTimes.end());
  std::sort(ourTimes.begin(), ourTimes.end());
  const double chdmanTime = chdmanTimes[chdmanTimes.size() / 2], ourTime = ourTimes[ourTimes.size() / 2];
  const double peak = *std::max_element(peaks.begin(), peaks.end());
  const double sizeRatio = double(fs::file_size(ours)) / double(fs::file_size(theirs));
  std::printf("chdman createcd: %.2f s, %llu bytes\n", chdmanTime, (unsigned long long)fs::file_size(theirs));
  std::printf("WriteChd:        %.2f s, %llu bytes, peak %.1f MiB\n", ourTime,
              (unsigned long long)fs::file_size(ours), peak);
  std::printf("size ratio %.4f, time ratio %.3f\n", sizeRatio, ourTime / chdmanTime);
  fs::remove_all(folder);
  return sizeRatio <= 1.02 && ourTime <= chdmanTime && peak <= 64 ? 0 : 1;
}
