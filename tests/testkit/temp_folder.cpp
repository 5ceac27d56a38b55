#include "testkit/temp_folder.h"

#include <random>
#include <stdexcept>
#include <system_error>

#include "testkit/files.h"

namespace zanthrel::testkit {

TempFolder::TempFolder() : TempFolder(std::filesystem::temp_directory_path()) {}

TempFolder::TempFolder(const std::filesystem::path& base) {
  // A fresh name taken by creating it, as mkdtemp does, on every host.
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const std::filesystem::path candidate = base / ("zanthrel-test-" + std::to_string(random() % 1000000000));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) path_ = candidate;
  }
  if (path_.empty()) throw std::runtime_error("cannot make a folder in " + base.string());
  previous_ = std::filesystem::current_path();
  std::filesystem::current_path(path_);
}

std::string TempFolder::operator/(const std::string& name) const { return Utf8Of(path_ / PathOf(name)); }

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
  // Tests may leave folders without write or search rights behind.
  for (auto it = std::filesystem::recursive_directory_iterator(
           path_, std::filesystem::directory_options::skip_permission_denied, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
  }
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace zanthrel::testkit
