#include "cli/window_program.h"

#include <cstdlib>
#include <vector>

#include "support/text.h"

namespace zanthrel::cli {

namespace {

constexpr char kWindowProgramName[] = "zanthrel-window";

}  // namespace

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

Result<std::string> FindWindowProgram(Host& host, const std::string& programFolder) {
  const std::vector<std::string> places = {
      JoinPath(programFolder, kWindowProgramName),
      JoinPath(JoinPath(JoinPath(FolderPartOf(programFolder).value_or("."), "libexec"), "zanthrel"), kWindowProgramName)};
  for (const std::string& place : places) {
    const Result<PathInfo> info = host.InfoOf(place);
    if (info && info->kind == PathKind::kFile) return place;
  }
  return Error{"the window program is not installed (" + places[0] + ", " + places[1] + ")"};
}

}  // namespace zanthrel::cli
