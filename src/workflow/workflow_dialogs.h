// The questions that the window's workflows ask the user, behind one small
// interface, so that tests can answer them.
#pragma once

#include <optional>
#include <string>

#include "workflow/label_fields.h"

namespace zanthrel {

class WorkflowDialogs {
 public:
  virtual ~WorkflowDialogs() = default;
  // An image file to open (disc images of every container offered, or any
  // file); nothing when cancelled.
  virtual std::optional<std::string> ChooseImageFile() = 0;
  // A folder, which exists once chosen; nothing when cancelled.
  virtual std::optional<std::string> SelectFolder() = 0;
  // The folder a De-Compile of an image writes into, `proposed` offered
  // first; it exists once chosen. Nothing when cancelled.
  virtual std::optional<std::string> ChooseDecompileFolder(const std::string& proposed) = 0;
  // The image file to write (ISO, CUE/BIN or CHD, the choice giving a name
  // without extension its suffix), the dialog opened in `startFolder` with
  // `suggestedName` typed; nothing when cancelled.
  virtual std::optional<std::string> ChooseImageToWrite(const std::string& startFolder,
                                                        const std::string& suggestedName) = 0;
  // Yes or no to WriteIntoFolderQuestion(folder): whether a decompile goes on
  // into a folder that holds files already.
  virtual bool ConfirmWriteInto(const std::string& folder) = 0;
  // Yes or no to CompileFolderQuestion(folder): whether a folder dropped on
  // the window is compiled.
  virtual bool ConfirmCompileFolder(const std::string& folder) = 0;
  // The "Volume label..." dialog, filled with `current` and, when an answer
  // before could not be stored, showing `problem`; nothing when cancelled.
  virtual std::optional<TypedLabelFields> EditLabelFields(const TypedLabelFields& current,
                                                          const std::string& problem) = 0;
};

}  // namespace zanthrel
