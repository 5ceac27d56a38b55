// A disc as mastering tools lay them out, with all that zanthrel's own
// compile never makes: every directory in several copies far apart, some
// files in several copies (one of them not equal to the first), directories
// over several blocks, entries in no sorted order, odd types, flags, ids,
// burst and gap values, a label with its own text, comment and ids, files
// whose last block goes on past their end, and blocks that no entry claims
// holding data (a boot area with extra copies of files among them).
#pragma once

#include <map>
#include <string>

#include "testkit/files.h"

namespace zanthrel::testkit {

struct MasteredDisc {
  Bytes image;  // 2048-byte blocks, as many as the label counts
  // Every file decompile writes from it (the label entry left out), by the
  // host path it writes it as, "/" between the parts, with its content.
  std::map<std::string, Bytes> files;
  // Every folder decompile makes, the same way.
  std::vector<std::string> folders;
};

// `differingCopy`: the third copy of "zeta.dat" is not equal to the first,
// which verify calls damage; without it every copy of a file is equal, and
// verify finds the disc clean but for the blocks no entry claims.
MasteredDisc MakeMasteredDisc(bool differingCopy = true);

// Writes the mastered disc's image as `name` in `folder` (UTF-8 paths, "/"
// between their parts) and gives the file's full path.
std::string WriteMasteredDisc(const std::string& folder, const std::string& name = "mastered.iso",
                              bool differingCopy = true);

}  // namespace zanthrel::testkit
