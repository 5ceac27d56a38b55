// Times browsing and reading an image through `zanthrel mount` against the
// same tree decompiled into a memory file system, and reports the mount's
// peak memory.
//
//   mount_bench [--zanthrel PATH] [--runs N] [--scale F] [--sets ab] [--dir FOLDER]
//
// Set a: 300 files of 1 MiB; set b: 20,000 small files. For each it prints
// `cat` of every file, cold (a fresh mount each run, so nothing is in the
// kernel's cache) and warm (a second `cat` on the same mount), and
// `find | wc -l` warm, all against tmpfs. The image goes in --dir (the
// temporary folder by default).
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "data_sets.h"

namespace {

namespace fs = std::filesystem;

double Seconds(const std::string& command) {
  const auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

bool Mounted(const std::string& path) { return std::system(("mountpoint -q " + path).c_str()) == 0; }

// `zanthrel mount -f` as a child, so that its peak memory can be read when it ends.
class ForegroundMount {
 public:
  ForegroundMount(const std::string& zanthrel, const std::string& image, const std::string& point)
      : point_(point) {
    child_ = fork();
    if (child_ == 0) {
      execl(zanthrel.c_str(), zanthrel.c_str(), "mount", "-f", image.c_str(), point.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 200 && !Mounted(point_); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!Mounted(point_)) throw std::runtime_error("the mount did not appear");
  }
  // Unmounts and gives the peak resident memory in MiB.
  double Leave() {
    std::system(("fusermount3 -u " + point_).c_str());
    int status = 0;
    rusage usage{};
    wait4(child_, &status, 0, &usage);
    child_ = -1;
    return usage.ru_maxrss / 1024.0;
  }
  ~ForegroundMount() {
    if (child_ > 0) Leave();
  }
  ForegroundMount(const ForegroundMount&) = delete;
  ForegroundMount& operator=(const ForegroundMount&) = delete;

 private:
  std::string point_;
  pid_t child_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
  const zanthrel::bench::BenchOptions options = zanthrel::bench::ParseBenchOptions(argc, argv, "ab");
  const std::string& zanthrel = options.zanthrel;
  const int runs = options.runs;
  const double scale = options.scale;
  const std::string& sets = options.sets;
  const fs::path work = zanthrel::bench::MakeWorkFolder(
      ((options.dir.empty() ? fs::temp_directory_path() : fs::path(options.dir)) / "zanthrel-mount-bench-").string());
  const fs::path memory = zanthrel::bench::MakeWorkFolder("/dev/shm/zanthrel-mount-bench-");
  int status = 0;
  try {
    for (char set : sets) {
      const fs::path dir = work / std::string(1, set);
      const std::string tree = (dir / "tree").string(), image = (dir / "image.iso").string();
      const std::string point = (dir / "mnt").string(), decompiled = (memory / std::string(1, set)).string();
      fs::create_directories(dir / "mnt");
      if (set == 'a') zanthrel::bench::MakeLargeFiles(tree, scale);
      if (set == 'b') zanthrel::bench::MakeSmallFiles(tree, scale);
      Seconds(zanthrel + " compile -q " + tree + " " + image);
      Seconds(zanthrel + " decompile -q -o " + decompiled + " " + image);
      const std::string onTmpfs = decompiled + "/PARCE_image";
      const std::string catAll = " -type f -exec cat {} + >/dev/null";
      const std::string count = " | wc -l >/dev/null";

      std::vector<double> catMount, catMountWarm, catTmpfs, findMount, findTmpfs;
      double peak = 0;
      for (int run = 0; run < runs; ++run) {
        ForegroundMount mount(zanthrel, image, point);
        catMount.push_back(Seconds("find " + point + catAll));
        catTmpfs.push_back(Seconds("find " + onTmpfs + catAll));
        catMountWarm.push_back(Seconds("find " + point + catAll));
        Seconds("find " + point + count);  // warms the kernel's cache of names
        findMount.push_back(Seconds("find " + point + count));
        findTmpfs.push_back(Seconds("find " + onTmpfs + count));
        peak = std::max(peak, mount.Leave());
      }
      std::printf("set %c  cat every file, fresh mount: mount %.3f s  tmpfs %.3f s  ratio %.2f\n", set,
                  Median(catMount), Median(catTmpfs), Median(catMount) / Median(catTmpfs));
      std::printf("set %c  second cat of every file: mount %.3f s  tmpfs %.3f s  ratio %.2f\n", set,
                  Median(catMountWarm), Median(catTmpfs), Median(catMountWarm) / Median(catTmpfs));
      std::printf("set %c  find | wc -l warm: mount %.3f s  tmpfs %.3f s\n", set, Median(findMount),
                  Median(findTmpfs));
      std::printf("set %c  peak memory of the mount: %.1f MiB\n", set, peak);
      std::fflush(stdout);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mount_bench: %s\n", e.what());
    status = 1;
  }
  fs::remove_all(work);
  fs::remove_all(memory);
  return status;
}
