// Runs a decompile of a built image inside a temporary folder and gives back
// the log and the extracted tree.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "decompile/decompile_run.h"
#include "testkit/files.h"
#include "testkit/temp_folder.h"

namespace zanthrel::testkit {

struct DecompileRunResult {
  bool ok = false;
  DecompileOutcome outcome = DecompileOutcome::kNotOpen;
  std::string log;  // Windows-1251 bytes
  std::vector<std::string> renamed;
  std::vector<std::string> damaged;
};

class DecompileFixture : public ::testing::Test {
 protected:
  // Writes the image as temp/<file>, decompiles it into temp/PARCE_<base> with
  // the log temp/<base>.log, and reads the log back.
  DecompileRunResult Run(const Bytes& image, bool extractDiscLabel = false, bool additionalInfo = false,
                      const std::string& file = "disc.iso", bool gzip = false);
  // Full path of the output folder, as the run sees it.
  std::string Root() const;
  // The full path of `relative` ("/" between its parts) in the output folder.
  std::string Out(const std::string& relative) const { return HostPath(Root() + "/" + relative); }
  // The full path of `name` beside the log, where the block map goes.
  std::string Beside(const std::string& name) const;
  // Every file and folder below the temporary folder, relative, folders with a trailing "/".
  std::map<std::string, std::string> Tree() const;

  TempFolder temp_;
};

}  // namespace zanthrel::testkit
