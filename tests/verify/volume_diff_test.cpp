// Two volumes compared entry by entry: what each kind of change gives, and
// what cannot be read is told rather than taken for a change.
#include <gtest/gtest.h>

#include "source/image_source.h"
#include "testkit/changed_disc.h"
#include "testkit/files.h"
#include "testkit/image_builder.h"
#include "testkit/temp_folder.h"
#include "verify/volume_diff.h"

namespace zanthrel {
namespace {

using testkit::Bytes;
using testkit::DirEntry;
using testkit::FileEntry;

VolumeDiff Diff(const Bytes& first, const Bytes& second) {
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "a.iso", first);
  testkit::WriteBytes(temp / "b.iso", second);
  ImageSource a;
  ImageSource b;
  EXPECT_TRUE(OpenImageFile(a, temp / "a.iso"));
  EXPECT_TRUE(OpenImageFile(b, temp / "b.iso"));
  return DiffVolumes(a, b);
}

// Each difference as "kind path", in the order given.
std::vector<std::string> Lines(const VolumeDiff& diff) {
  const char* const words[] = {"label", "added", "removed", "content", "fields", "moved", "unreadable"};
  std::vector<std::string> lines;
  for (const Difference& difference : diff.differences) {
    lines.push_back(std::string(words[int(difference.kind)]) + " " +
                    (difference.kind == DifferenceKind::kLabel ? difference.fields[0].name : difference.path));
  }
  return lines;
}

TEST(VolumeDiffTest, EachChangeIsNamedOnceInPathOrder) {
  const testkit::ChangedDiscs discs = testkit::MakeChangedDiscs();
  const VolumeDiff diff = Diff(discs.before, discs.after);
  ASSERT_TRUE(diff.Compared());
  EXPECT_EQ(Lines(diff), (std::vector<std::string>{"label text", "label volumeId", "label blocks", "fields Data/a.bin",
                                                   "added Data/new.txt", "content LaunchMe", "moved keep.txt",
                                                   "removed old.txt"}));
  ASSERT_EQ(diff.differences.size(), 8u);
  EXPECT_EQ(diff.differences[0].fields[0].firstText, "CD-ROM");
  EXPECT_EQ(diff.differences[6].firstCopies, std::vector<uint32_t>{6});
  // The other way round, what was added is removed and the values swap (the
  // command's tests hold the rest of the values).
  const VolumeDiff back = Diff(discs.after, discs.before);
  EXPECT_EQ(Lines(back), (std::vector<std::string>{"label text", "label volumeId", "label blocks",
                                                   "fields Data/a.bin", "removed Data/new.txt", "content LaunchMe",
                                                   "moved keep.txt", "added old.txt"}));
  ASSERT_EQ(back.differences.size(), 8u);
  EXPECT_EQ(back.differences[0].fields[0].firstText, "GAME");
  EXPECT_EQ(back.differences[6].firstCopies, std::vector<uint32_t>{12});
}

TEST(VolumeDiffTest, ContentDiffersWhereOneFileIsTheStartOfTheOther) {
  const Bytes data = testkit::Pattern(6000, 7);
  testkit::ImageBuilder shorter(8);
  shorter.Label({});
  shorter.Directory(1, {FileEntry("f", 3, 4096)});
  shorter.Data(3, testkit::Slice(data, 0, 4096));
  testkit::ImageBuilder longer(8);
  longer.Label({});
  longer.Directory(1, {FileEntry("f", 3, 6000)});
  longer.Data(3, data);
  const VolumeDiff diff = Diff(shorter.Image(), longer.Image());
  EXPECT_EQ(Lines(diff), (std::vector<std::string>{"content f", "fields f"}));
  ASSERT_EQ(diff.differences.size(), 2u);
  EXPECT_EQ(diff.differences[0].firstDifferentByte, 4096u);
  EXPECT_EQ(diff.differences[0].secondBytes, 6000u);
}

TEST(VolumeDiffTest, EntriesOfOneNameAreMatchedInTheirFoldersOrder) {
  testkit::ImageBuilder first(8);
  first.Label({});
  first.Directory(1, {FileEntry("x", 3, 10), FileEntry("x", 4, 10), FileEntry("x", 5, 10)});
  first.Data(3, Bytes(10, 1));
  first.Data(4, Bytes(10, 2));
  first.Data(5, Bytes(10, 3));
  testkit::ImageBuilder second(8);
  second.Label({});
  second.Directory(1, {FileEntry("x", 3, 10), FileEntry("x", 4, 10)});
  second.Data(3, Bytes(10, 1));
  second.Data(4, Bytes(10, 9));
  EXPECT_EQ(Lines(Diff(first.Image(), second.Image())), (std::vector<std::string>{"content x#2", "removed x#3"}));
}

// What cannot be read in either image is named, and nothing below a folder
// that cannot be read is called added or removed.
TEST(VolumeDiffTest, WhatNoCopyReadsIsToldAndNeverTakenForAChange) {
  const Bytes tail = testkit::Pattern(3000, 8);
  testkit::ImageBuilder builder(9);
  testkit::LabelFields label;
  label.blockCount = 9;
  builder.Label(label);
  builder.Directory(1, {DirEntry("D", 2), FileEntry("tail", 7, 3000)});
  builder.Directory(2, {FileEntry("f", 3, 10), FileEntry("g", 4, 10)});
  builder.Data(3, Bytes(10, 1));
  builder.Data(4, Bytes(10, 2));
  builder.Data(7, tail);
  const Bytes whole = builder.Image();
  Bytes cut = whole;
  cut.resize(8 * 2048);  // the second block of "tail" is gone
  Bytes folderGone = whole;
  std::fill(folderGone.begin() + 2 * 2048, folderGone.begin() + 3 * 2048, 0);

  VolumeDiff diff = Diff(cut, whole);
  EXPECT_EQ(Lines(diff), std::vector<std::string>{"unreadable tail"});
  ASSERT_EQ(diff.differences.size(), 1u);
  EXPECT_EQ(diff.differences[0].side, DiffSide::kFirst);
  EXPECT_FALSE(diff.differences[0].folder);
  EXPECT_EQ(diff.differences[0].fileBlock, 1u);

  diff = Diff(whole, folderGone);
  EXPECT_EQ(Lines(diff), std::vector<std::string>{"unreadable D"});
  ASSERT_EQ(diff.differences.size(), 1u);
  EXPECT_EQ(diff.differences[0].side, DiffSide::kSecond);
  EXPECT_TRUE(diff.differences[0].folder);

  // Without a root that reads, nothing is compared.
  Bytes rootGone = whole;
  std::fill(rootGone.begin() + 2048, rootGone.begin() + 2 * 2048, 0);
  diff = Diff(whole, rootGone);
  EXPECT_FALSE(diff.Compared());
  EXPECT_FALSE(diff.treeRead[1]);
  EXPECT_EQ(Lines(diff), std::vector<std::string>{});
}

TEST(VolumeDiffTest, AFileIsReadFromItsNextCopyWhereOneFails) {
  const Bytes data = testkit::Pattern(4000, 9);
  testkit::ImageBuilder twoCopies(8);
  twoCopies.Label({});
  testkit::EntryFields file = FileEntry("two", 50, 4000);  // the first copy lies past the image's end
  file.copies = {50, 3};
  twoCopies.Directory(1, {file});
  twoCopies.Data(3, data);
  testkit::ImageBuilder oneCopy(8);
  oneCopy.Label({});
  oneCopy.Directory(1, {FileEntry("two", 3, 4000)});
  oneCopy.Data(3, data);
  const VolumeDiff diff = Diff(twoCopies.Image(), oneCopy.Image());
  EXPECT_EQ(Lines(diff), (std::vector<std::string>{"fields two", "moved two"}));
  ASSERT_EQ(diff.differences.size(), 2u);
  EXPECT_EQ(diff.differences[0].fields[0].name, "copies");
  EXPECT_EQ(diff.differences[1].firstCopies, (std::vector<uint32_t>{50, 3}));
}

}  // namespace
}  // namespace zanthrel
