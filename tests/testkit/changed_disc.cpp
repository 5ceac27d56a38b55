#include "testkit/changed_disc.h"

#include "testkit/image_builder.h"

namespace zanthrel::testkit {

ChangedDiscs MakeChangedDiscs() {
  const Bytes launchMe = Pattern(5000, 1);
  const Bytes a = Pattern(3000, 2);
  EntryFields aBin = FileEntry("a.bin", 8, 3000);
  EntryFields bBin = FileEntry("b.bin", 10, 10);

  ImageBuilder before(20);
  before.Label({});
  before.Directory(1, {FileEntry("LaunchMe", 3, 5000), DirEntry("Data", 2), FileEntry("keep.txt", 6, 100),
                       FileEntry("old.txt", 7, 50), LabelEntry()});
  bBin.flags = 0xC0000002;
  before.Directory(2, {aBin, bBin});
  before.Data(3, launchMe);
  before.Data(6, Pattern(100, 3));
  before.Data(7, Pattern(50, 4));
  before.Data(8, a);
  before.Data(10, Bytes(10, 5));

  ImageBuilder after(24);
  LabelFields label;
  label.labelText = "GAME";
  label.volumeId = 0x12345678;
  after.Label(label);
  after.Directory(1, {FileEntry("LaunchMe", 3, 5000), DirEntry("Data", 2), FileEntry("keep.txt", 12, 100),
                      LabelEntry()});
  aBin.type = "*zap";
  aBin.id = 0x44444444;
  bBin.flags = 2;
  EntryFields newTxt = FileEntry("new.txt", 13, 20);
  newTxt.flags = 0xC0000002;
  after.Directory(2, {aBin, bBin, newTxt});
  Bytes changed = launchMe;
  changed[4500] ^= 0xFF;
  after.Data(3, changed);
  after.Data(12, Pattern(100, 3));
  after.Data(8, a);
  after.Data(10, Bytes(10, 5));
  after.Data(13, Bytes(20, 6));
  return {before.Image(), after.Image()};
}

}  // namespace zanthrel::testkit
