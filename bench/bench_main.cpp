// Times zanthrel against the plain copy of the same bytes, alternating runs in
// one process, and checks the figures that the tool must reach.
//
//   zanthrel_bench [--zanthrel PATH] [--runs N] [--scale F] [--sets abc]
//                  [--dir FOLDER] [--only WORD]
//
// For each data set and pair it prints the median time ratio and the peak
// resident memory of zanthrel (and, for the pairs that write a CHD, the ratio
// of the two files' sizes), and exits 1 when a ratio or the memory passes its
// limit. The data and the outputs go into a new folder inside FOLDER (the
// system's temporary folder by default), so that one run can time a tmpfs
// and another a disk.
//
// On an ext4 disk, time one set per run, and start no sooner than five
// minutes after many files were deleted there (by an earlier run, say): for
// that long the file system passes over the inodes just freed, and making a
// file costs ten times what it does otherwise, for both programs alike.
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "data_sets.h"
#include "testkit/container_disc.h"

namespace {

namespace fs = std::filesystem;
using zanthrel::bench::MakeDeepTreeWithCopies;
using zanthrel::bench::MakeLargeFiles;
using zanthrel::bench::MakeSmallFiles;
using zanthrel::bench::ToneFrames;
using zanthrel::bench::WriteGzipImage;
using zanthrel::bench::WriteRawImage;

constexpr double kMemoryLimitMiB = 32;
// Writing and reading a CHD holds hunks in flight on every core.
constexpr double kContainerMemoryLimitMiB = 64;

struct Timing {
  double seconds;
  double peakMiB;
};

// Runs a program, stdout optionally into a file; its wall time and peak memory.
// chdman's progress goes to stderr, a line per percent, and is dropped.
Timing Run(const std::vector<std::string>& argv, const std::string& stdoutPath = "") {
  auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child == 0) {
    if (!stdoutPath.empty()) {
      int fd = open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd, 1);
    }
    if (argv[0] == "chdman") dup2(open("/dev/null", O_WRONLY), 2);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("failed: " + argv[0] + " " + (argv.size() > 1 ? argv[1] : ""));
  }
  return {seconds, usage.ru_maxrss / 1024.0};
}

struct Pair {
  std::string name;
  double limit;
  std::function<void()> clean;
  std::function<Timing()> zanthrel;
  std::function<Timing()> baseline;
  double memoryLimitMiB = kMemoryLimitMiB;
  // zanthrel's output against the baseline's, in bytes, after the last run;
  // none for a pair whose outputs need not match in size.
  std::function<double()> sizeRatio = nullptr;
  double sizeLimit = 0;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

bool Measure(const std::string& set, const Pair& pair, int runs) {
  std::vector<double> ratios, ours, theirs;
  double peak = 0;
  // One round untimed: a disk that has just deleted many files (the last
  // pair's outputs) makes new ones several times more slowly for some
  // seconds, which would time the file system's clean-up, not the programs.
  pair.clean();
  pair.zanthrel();
  pair.clean();
  pair.baseline();
  for (int i = 0; i < runs; ++i) {
    pair.clean();
    Timing z = pair.zanthrel();
    pair.clean();
    Timing b = pair.baseline();
    ratios.push_back(z.seconds / b.seconds);
    ours.push_back(z.seconds);
    theirs.push_back(b.seconds);
    peak = std::max(peak, z.peakMiB);
  }
  const double ratio = Median(ratios);
  const double size = pair.sizeRatio ? pair.sizeRatio() : 0;
  const bool ok = ratio <= pair.limit && peak < pair.memoryLimitMiB && size <= pair.sizeLimit;
  const std::string sizeText =
      pair.sizeRatio ? "  size ratio " + std::to_string(size).substr(0, 4) + " (limit " +
                           std::to_string(pair.sizeLimit).substr(0, 4) + ")"
                     : "";
  std::printf("set %s  %-28s ratio %.2f (limit %.2f)  zanthrel %.3f s  baseline %.3f s  peak %.1f MiB%s"
              "  %s\n",
              set.c_str(), pair.name.c_str(), ratio, pair.limit, Median(ours), Median(theirs), peak,
              sizeText.c_str(), ok ? "ok" : "OVER");
  std::fflush(stdout);
  return ok;
}

uintmax_t BytesBelow(const fs::path& folder) {
  uintmax_t total = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) total += entry.file_size();
  }
  return total;
}

// Lets the page cache go of the file at `path`, or of every file below it,
// as far as they are written back.
void DropFromPageCache(const fs::path& path) {
  auto drop = [](const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
  };
  if (fs::is_regular_file(path)) drop(path);
  if (!fs::is_directory(path)) return;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(path)) {
    if (entry.is_regular_file()) drop(entry.path());
  }
}

// A memory file system, where deleting costs nothing later, and memory just
// freed is filled again far more quickly than memory never touched.
bool InMemory(const fs::path& folder) {
  struct statfs info {};
  return ::statfs(folder.c_str(), &info) == 0 && info.f_type == TMPFS_MAGIC;
}

// Measures the pairs whose name holds `only`. On a disk, the outputs of the
// pairs done stay while it has room for those of every pair still to come
// with half its space to spare: deleting a few hundred thousand files there
// slows the making of new ones for minutes (ext4 passes over the inodes just
// freed), which would time that, not the programs. Where room is short, each
// pair's outputs go before the next pair.
bool MeasurePairs(const std::string& set, const std::vector<Pair>& pairs, int runs,
                  const std::string& only, const fs::path& dir) {
  std::vector<const Pair*> chosen;
  for (const Pair& pair : pairs) {
    if (pair.name.find(only) != std::string::npos) chosen.push_back(&pair);
  }
  // Each timed or untimed run of either program writes about the tree's bytes.
  const uintmax_t pairBytes = 2 * uintmax_t(runs + 1) * BytesBelow(dir / "tree");
  bool ok = true;
  for (size_t i = 0; i < chosen.size(); ++i) {
    ok = Measure(set, *chosen[i], runs) && ok;
    const uintmax_t still = pairBytes * (chosen.size() - 1 - i);
    if (fs::space(dir).available < 2 * still) {
      fs::remove_all(dir / "out");
      fs::remove_all(dir / "copy");
    }
  }
  return ok;
}

// Set (a) as a cue sheet with its .bins and as the CHD that chdman makes of
// them: decompile of the CHD against chdman's own extraction of it, decompile
// of the cue sheet against decompile of the plain image, and convert between
// the two containers against chdman doing the same.
bool MeasureContainers(const fs::path& dir, const std::string& image, int runs, const std::string& only,
                       const std::function<void()>& clean, const fs::path& out, const fs::path& copy,
                       const std::string& zanthrel) {
  const std::vector<std::string> names = {"decompile chd / chdman extractcd", "decompile cue/bin / plain",
                                          "convert cue to chd / chdman createcd",
                                          "convert chd to cue / chdman extractcd"};
  if (std::none_of(names.begin(), names.end(),
                   [&](const std::string& name) { return name.find(only) != std::string::npos; })) {
    return true;
  }
  const std::string chd = (dir / "image.chd").string();
  std::ifstream imageFile(image, std::ios::binary);
  // 30 seconds of audio after the data, as a disc is ripped.
  const std::string cue =
      zanthrel::testkit::WriteCueSet(dir.string(), "image", imageFile, ToneFrames(30 * 75), true);
  Run({"chdman", "createcd", "-i", cue, "-o", chd}, "/dev/null");
  auto decompile = [&](const std::string& source) {
    return [&, source] { return Run({zanthrel, "decompile", "-q", "-o", out.string(), source}); };
  };
  auto extract = [&] {
    return Run(
        {"chdman", "extractcd", "-i", chd, "-o", copy.string() + ".cue", "-ob", copy.string() + ".bin"},
        "/dev/null");
  };
  // The sizes of the last run's CHDs, zanthrel's and chdman's.
  uintmax_t ourChd = 0, theirChd = 0;
  const std::vector<Pair> pairs = {
      // chdman extracts on one core; decompile decodes its hunks on all of them.
      {names[0], 0.55, clean, decompile(chd), extract},
      {names[1], 1.5, clean, decompile(cue), decompile(image)},
      {names[2], 1.0, clean,
       [&] {
         const std::string target = (out / "image.chd").string();
         const Timing timing = Run({zanthrel, "convert", "-q", cue, target});
         ourChd = fs::file_size(target);
         return timing;
       },
       [&] {
         const std::string target = copy.string() + ".chd";
         const Timing timing = Run({"chdman", "createcd", "-i", cue, "-o", target}, "/dev/null");
         theirChd = fs::file_size(target);
         return timing;
       },
       kContainerMemoryLimitMiB, [&] { return double(ourChd) / double(theirChd); }, 1.02},
      {names[3], 1.0, clean,
       [&] { return Run({zanthrel, "convert", "-q", chd, (out / "image.cue").string()}); }, extract,
       kContainerMemoryLimitMiB},
  };
  return MeasurePairs("a", pairs, runs, only, dir);
}

}  // namespace

int main(int argc, char** argv) {
  const zanthrel::bench::BenchOptions options = zanthrel::bench::ParseBenchOptions(argc, argv, "abc");
  const std::string& zanthrel = options.zanthrel;
  const int runs = options.runs;
  const double scale = options.scale;
  const std::string& sets = options.sets;
  const fs::path parent = options.dir.empty() ? fs::temp_directory_path() : fs::path(options.dir);
  const fs::path work = zanthrel::bench::MakeWorkFolder((parent / "zanthrel-bench-").string());
  bool ok = true;
  try {
    for (char set : sets) {
      const fs::path dir = work / std::string(1, set);
      const std::string tree = (dir / "tree").string(), image = (dir / "image.iso").string();
      fs::create_directories(dir);
      std::printf("set %c: making data...\n", set);
      std::fflush(stdout);
      if (set == 'a') MakeLargeFiles(tree, scale);
      if (set == 'b') MakeSmallFiles(tree, scale);
      if (set == 'c') {
        MakeDeepTreeWithCopies(tree, image, scale);
      } else {
        Run({zanthrel, "compile", "-q", tree, image});
      }
      WriteGzipImage(image, image + ".gz");
      WriteRawImage(image, (dir / "image.bin").string());
      // The archiver's view of the same tree, for the tar baselines.
      const std::string tar = (dir / "tree.tar").string();
      Run({"tar", "-cf", tar, "-C", dir.string(), "tree"});
      Run({"gzip", "-k", tar});

      // Every timed run writes into folders of its own. On a disk nothing is
      // deleted until the pair is done: a disk that has just deleted many
      // files creates new ones far more slowly, which would time the
      // clean-up, not the tool. The last run's output is written back before
      // the next starts.
      fs::path out, copy;
      int runNumber = 0;
      // Memory that a new virtual machine has never touched costs several
      // times more to fill than memory freed again, which would time the
      // machine's first use of its memory. In memory, the last run's outputs
      // go first; on a disk, once written back, they leave the page cache.
      const bool inMemory = InMemory(dir);
      auto clean = [&] {
        if (inMemory) {
          fs::remove_all(dir / "out");
          fs::remove_all(dir / "copy");
        }
        ::sync();
        if (runNumber > 0 && !inMemory) {
          DropFromPageCache(out);
          DropFromPageCache(copy);
        }
        ++runNumber;
        out = dir / "out" / std::to_string(runNumber);
        copy = dir / "copy" / std::to_string(runNumber);
        fs::create_directories(copy.parent_path());
        fs::create_directories(out);
      };
      auto decompile = [&](const std::string& source) {
        return [&, source] { return Run({zanthrel, "decompile", "-q", "-o", out.string(), source}); };
      };
      auto cp = [&](const std::string& source) {
        return [&, source] { return Run({"cp", source, copy.string()}); };
      };
      // The tree comes out as copy/tree, as decompile's comes out inside out/.
      auto untar = [&](const std::string& flags, const std::string& archive) {
        return [&, flags, archive] {
          fs::create_directories(copy);
          return Run({"tar", flags, archive, "-C", copy.string()});
        };
      };
      const std::vector<Pair> pairs = {
          {"decompile plain / cp", 1.25, clean, decompile(image), cp(image)},
          {"decompile gzip / gzip", 1.5, clean, decompile(image + ".gz"),
           [&] { return Run({"gzip", "-dc", image + ".gz"}, copy.string()); }},
          {"decompile raw / cp", 1.4, clean, decompile((dir / "image.bin").string()),
           cp((dir / "image.bin").string())},
          // Not a figure of its own: copying the files that decompile writes, to
          // show what creating that many host files costs on this machine.
          {"decompile plain / cp -r tree", 1.25, clean, decompile(image),
           [&] { return Run({"cp", "-r", tree, copy.string()}); }},
          {"compile / cp -r", 1.25, clean,
           [&] { return Run({zanthrel, "compile", "-q", tree, (out / "new.iso").string()}); },
           [&] { return Run({"cp", "-r", tree, copy.string()}); }},
          {"decompile plain / tar -xf", 0.9, clean, decompile(image), untar("-xf", tar)},
          {"decompile raw / tar -xf", 0.9, clean, decompile((dir / "image.bin").string()),
           untar("-xf", tar)},
          {"decompile gzip / tar -xzf", 1.0, clean, decompile(image + ".gz"),
           untar("-xzf", tar + ".gz")},
          {"compile / tar -cf", 1.0, clean,
           [&] { return Run({zanthrel, "compile", "-q", tree, (out / "new.iso").string()}); },
           [&] { return Run({"tar", "-cf", copy.string(), "-C", dir.string(), "tree"}); }},
      };
      ok = MeasurePairs(std::string(1, set), pairs, runs, options.only, dir) && ok;
      if (set == 'a') ok = MeasureContainers(dir, image, runs, options.only, clean, out, copy, zanthrel) && ok;
      fs::remove_all(dir);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "zanthrel_bench: %s\n", error.what());
    ok = false;
  }
  fs::remove_all(work);
  return ok ? 0 : 1;
}
