#include "testkit/scratch_folder.h"

#include <cstdlib>

namespace zanthrel::testkit {

namespace {

#ifdef _WIN32
constexpr const char* kVariable = "TMP";
void Set(const char* value) { _putenv_s(kVariable, value); }
void Unset() { _putenv_s(kVariable, ""); }
#else
constexpr const char* kVariable = "TMPDIR";
void Set(const char* value) { setenv(kVariable, value, 1); }
void Unset() { unsetenv(kVariable); }
#endif

}  // namespace

ScratchFolderOverride::ScratchFolderOverride(const std::string& folder) {
  if (const char* previous = std::getenv(kVariable)) {
    previous_ = previous;
    hadPrevious_ = true;
  }
  Set(folder.c_str());
}

ScratchFolderOverride::~ScratchFolderOverride() {
  if (hadPrevious_) {
    Set(previous_.c_str());
  } else {
    Unset();
  }
}

}  // namespace zanthrel::testkit
