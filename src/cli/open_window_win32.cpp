#include "cli/open_window.h"

#include "app/run_window.h"

namespace zanthrel::cli {

// The native window costs nothing at start-up: it runs in this process.
std::optional<int> OpenWindow(int argc, char** argv) {
  if (!app::WindowCanOpen()) return std::nullopt;
  return app::RunWindow(argc, argv);
}

}  // namespace zanthrel::cli
