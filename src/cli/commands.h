// The subcommands of the command line; each returns the process exit status:
// 0 done, 1 the run failed or finished with problems, 2 bad usage or a source
// that cannot be opened.
#pragma once

#include <string>
#include <vector>

#include "support/cp1251.h"
#include "workflow/compile_job.h"
#ifdef ZANTHREL_WITH_MOUNT
#include "mount/fuse_mount.h"
#endif

namespace zanthrel::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
// Stopped by Ctrl-C, as a shell reports a process that SIGINT ended.
inline constexpr int kExitCancelled = 130;

struct DecompileArgs {
  std::string image;
  std::string drive;
  std::string outputDir = ".";
  bool info = false;
  bool discLabel = false;
  bool force = false;  // write into a PARCE folder that is not empty
  bool allowOverlaps = false;
  bool layout = false;  // record the disc's layout beside the log
  bool quiet = false;
  bool verbose = false;  // name each file as it is written
  TextEncoding logEncoding = TextEncoding::kCp1251;  // of the log and the block map
  TextEncoding names = TextEncoding::kCp1251;        // what the disc's names are read as
};

struct CompileArgs {
  std::string folder;
  std::string image;
  bool noBootArea = false;
  bool quiet = false;
  bool verbose = false;  // name each host file as it is added
  bool force = false;  // replace an IMAGE that exists
  bool noOutsideLinks = false;
  std::string format;  // "iso", "cue", "chd", or empty for IMAGE's extension
  std::string layout;  // build by this layout file, as decompile --layout wrote it
  TextEncoding names = TextEncoding::kCp1251;  // what the names are stored as
  LabelFields label;  // --volume-label, --volume-comment, --volume-id, --root-id
};

int RunDecompile(const DecompileArgs& args);
int RunCompile(const CompileArgs& args, UniqueIdGenerator& ids);
// How `info` speaks: to a person, in the log's own words, or to a script.
enum class InfoFormat { kEnglish, kLogText, kJson };

// The reading commands take several images, `jobs` of them read at once, and
// report on each in the order given; with more than one, a summary line ends
// the output and the run exits 1 when any image failed.
int RunInfo(const std::vector<std::string>& images, InfoFormat format, unsigned jobs);
int RunDrives();
int RunList(const std::vector<std::string>& images, bool json, TextEncoding names, unsigned jobs);
// Reads every copy of everything; exit 1 when damage was found.
int RunVerify(const std::vector<std::string>& images, bool json, unsigned jobs);
// Which entries of two images differ; exit 0 equal, 1 they differ or could
// not be compared whole, 2 an image cannot be opened.
int RunDiff(const std::string& first, const std::string& second, bool json);
// `format`: "iso", "cue", "chd", or empty for OUT's extension.
int RunConvert(const std::string& image, const std::string& output, const std::string& format, bool quiet,
               bool force);
#ifdef ZANTHREL_WITH_MOUNT
// `nonEmpty` mounts on a folder that holds something; it is refused otherwise.
int RunMount(const MountRequest& request, bool nonEmpty);
#endif

// "zanthrel: " + message, on stderr.
void PrintError(const std::string& message);

}  // namespace zanthrel::cli
