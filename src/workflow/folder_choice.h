// What OK does in the folder dialog of both workflows: the path in its field
// may name a folder that does not exist yet, which is created with its
// missing parents once the user has said yes. Texts are UTF-8.
#pragma once

#include <functional>
#include <string>

#include "support/host.h"

namespace zanthrel {

inline constexpr const char* kFolderDialogTitle = "Select folder";
inline constexpr const char* kFolderHelpTitle = "Zanthrel help";
inline constexpr const char* kFolderHelpText =
    "Choose the folder to work in.\n\n"
    "De-Compile (CD-ROM) writes PARCE_CD-ROM and cd-rom.log into it; Compile ISO "
    "builds the image from its contents.\n\n"
    "You may type the path of a folder that does not exist yet: after you confirm, "
    "it is created together with any missing parent folders.";

enum class FolderChoice {
  kAccepted,    // the folder exists now
  kKeepOpen,    // nothing typed, or the user would not have it created
  kNotCreated,  // creating it failed; `FolderAnswer::failure` says why
};

struct FolderAnswer {
  FolderChoice choice = FolderChoice::kKeepOpen;
  std::string failure;
};

// The Yes/No question asked before a missing folder is created.
std::string CreateFolderQuestion(const std::string& path);

// `confirmCreate` is asked only for a path that is not an existing folder.
FolderAnswer AcceptFolder(const std::string& path,
                          const std::function<bool(const std::string& path)>& confirmCreate,
                          Host& host = SystemHost());

}  // namespace zanthrel
