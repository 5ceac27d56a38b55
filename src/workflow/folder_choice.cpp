#include "workflow/folder_choice.h"

namespace zanthrel {

std::string CreateFolderQuestion(const std::string& path) {
  return "The folder\n" + path + "\ndoes not exist. Create it?";
}

FolderAnswer AcceptFolder(const std::string& path,
                          const std::function<bool(const std::string& path)>& confirmCreate,
                          Host& host) {
  if (path.empty()) return {};
  const Result<PathInfo> info = host.InfoOf(path);
  if (info && info->kind == PathKind::kFolder) return {FolderChoice::kAccepted, ""};
  if (!confirmCreate(path)) return {};
  if (Status made = MakeFolderPath(host, path); !made) {
    return {FolderChoice::kNotCreated,
            "The folder cannot be created: " + ErrorText(made.Failure().code)};
  }
  return {FolderChoice::kAccepted, ""};
}

}  // namespace zanthrel
