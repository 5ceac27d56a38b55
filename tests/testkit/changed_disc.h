// Two discs that differ by one change of every kind that `diff` names, for
// the tests of the comparison and of the command.
#pragma once

#include "testkit/files.h"

namespace zanthrel::testkit {

// `before` (20 blocks): the root holds LaunchMe (5000 bytes, blocks 3-5),
// the folder Data (block 2), keep.txt (100 bytes, block 6), old.txt (50
// bytes, block 7) and the label entry; Data holds a.bin (3000 bytes, blocks
// 8-9, type "    ") and b.bin (10 bytes, block 10, flagged the last of its
// folder). `after` (24 blocks): the label's text "GAME" instead of
// "CD-ROM" and volume id 0x12345678 instead of 0x11111111; LaunchMe's byte
// 4500 changed; keep.txt moved to block 12; old.txt removed; a.bin of type
// "*zap" and id 0x44444444 instead of 0x33333333; Data/new.txt (20 bytes,
// block 13) added after b.bin, which is no longer flagged the last.
struct ChangedDiscs {
  Bytes before;
  Bytes after;
};

ChangedDiscs MakeChangedDiscs();

}  // namespace zanthrel::testkit
