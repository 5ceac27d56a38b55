// "Volume label...": the label's text and comment and the volume and root
// ids that the window's next compiles write, as a modal dialog of native
// controls; each field left empty keeps the compile's own.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "workflow/label_fields.h"

namespace zanthrel::app {

// Shows `current` and, when not empty, `problem`: why the last answer was
// not taken. The fields answered, or nothing when cancelled.
std::optional<TypedLabelFields> AskLabelFields(HWND owner, const TypedLabelFields& current,
                                               const std::string& problem);

}  // namespace zanthrel::app
