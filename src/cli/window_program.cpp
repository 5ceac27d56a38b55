#include "cli/window_program.h"

#include <dlfcn.h>

#include <cstdlib>
#include <vector>

#include "support/text.h"

namespace zanthrel::cli {

namespace {

constexpr char kWindowProgramName[] = "zanthrel-window";

// The three calls of libxcb that open a connection, tell whether it failed
// and close it, looked up at run time: the command line needs no X library.
struct XcbCalls {
  void* (*connect)(const char* display, int* screen);
  int (*hasError)(void* connection);
  void (*disconnect)(void* connection);
};

class LoadedLibrary {
 public:
  explicit LoadedLibrary(const char* name) : handle_(dlopen(name, RTLD_NOW | RTLD_LOCAL)) {}
  ~LoadedLibrary() {
    if (handle_) dlclose(handle_);
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  std::optional<XcbCalls> Xcb() const {
    if (!handle_) return std::nullopt;
    XcbCalls calls{reinterpret_cast<void* (*)(const char*, int*)>(dlsym(handle_, "xcb_connect")),
                   reinterpret_cast<int (*)(void*)>(dlsym(handle_, "xcb_connection_has_error")),
                   reinterpret_cast<void (*)(void*)>(dlsym(handle_, "xcb_disconnect"))};
    if (!calls.connect || !calls.hasError || !calls.disconnect) return std::nullopt;
    return calls;
  }

 private:
  void* handle_;
};

bool Named(const char* variable) {
  const char* value = std::getenv(variable);
  return value && *value;
}

}  // namespace

std::optional<std::string> DisplayFailure() {
  if (Named("WAYLAND_DISPLAY") || Named("QT_QPA_PLATFORM") || !Named("DISPLAY")) return std::nullopt;
  const std::string display = std::getenv("DISPLAY");
  const LoadedLibrary library("libxcb.so.1");
  const std::optional<XcbCalls> xcb = library.Xcb();
  if (!xcb) return "the display " + display + " cannot be opened: libxcb.so.1 is not installed";
  void* connection = xcb->connect(display.c_str(), nullptr);
  // A failed connection is an object too, which must be closed.
  const bool failed = xcb->hasError(connection) != 0;
  xcb->disconnect(connection);
  if (failed) return "the display " + display + " cannot be opened, so the window cannot be shown";
  return std::nullopt;
}

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    if (Named(name)) return true;
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
