// The listing of a tree, handed over as it is walked: a folder that cannot be
// read is named and the rest listed; a directory copy that breaks off hands
// over nothing of its tree, not even the folders it would have named.
#include "volume/listing.h"

#include <gtest/gtest.h>

#include "source/image_source.h"
#include "testkit/files.h"
#include "testkit/image_builder.h"
#include "testkit/temp_folder.h"
#include "volume/summary.h"

namespace zanthrel {
namespace {

std::vector<std::string> Paths(const TreeListing& listing) {
  std::vector<std::string> paths;
  for (const ListedEntry& entry : listing.entries) paths.push_back(entry.path);
  return paths;
}

TreeListing List(const testkit::Bytes& image, bool& read) {
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "disc.iso", image);
  ImageSource source;
  EXPECT_TRUE(OpenImageFile(source, temp / "disc.iso"));
  TreeListing listing;
  read = ListTree(source, listing);
  return listing;
}

TEST(ListingTest, AWholeTreeIsHandedOverInWalkOrder) {
  testkit::ImageBuilder builder(7);
  builder.Label({});
  builder.Directory(1, {testkit::DirEntry("sub", 2), testkit::FileEntry("a", 6, 1)});
  builder.Directory(2, {testkit::FileEntry("c", 6, 1), testkit::DirEntry("deeper", 3)});
  builder.Directory(3, {testkit::FileEntry("d", 6, 1)});
  bool read = false;
  const TreeListing listing = List(builder.Image(), read);
  EXPECT_TRUE(read);
  EXPECT_EQ(Paths(listing), (std::vector<std::string>{"sub", "sub/c", "sub/deeper", "sub/deeper/d", "a"}));
  EXPECT_TRUE(listing.unreadableFolders.empty());
}

TEST(ListingTest, UnreadableFoldersAreNamedAndTheirNeighboursListed) {
  testkit::ImageBuilder builder(8);
  builder.Label({});
  builder.Directory(1, {testkit::DirEntry("gone", 500), testkit::DirEntry("zeroed", 2),
                        testkit::DirEntry("kept", 3), testkit::FileEntry("f", 4, 1)});
  builder.Directory(3, {testkit::DirEntry("inner", 600), testkit::FileEntry("g", 4, 1)});
  bool read = false;
  const TreeListing listing = List(builder.Image(), read);
  EXPECT_TRUE(read);
  EXPECT_EQ(Paths(listing),
            (std::vector<std::string>{"gone", "zeroed", "kept", "kept/inner", "kept/g", "f"}));
  EXPECT_EQ(listing.unreadableFolders, (std::vector<std::string>{"gone", "zeroed", "kept/inner"}));

  // Each is named right after its own entry, before anything beside it.
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "disc.iso", builder.Image());
  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, temp / "disc.iso"));
  std::vector<std::string> order;
  EXPECT_TRUE(ListTree(source, {[&order](const ListedEntry& entry) { order.push_back(entry.path); },
                                [&order](const std::string& folder) { order.push_back("!" + folder); }}));
  EXPECT_EQ(order, (std::vector<std::string>{"gone", "!gone", "zeroed", "!zeroed", "kept", "kept/inner",
                                             "!kept/inner", "kept/g", "f"}));
}

// Root copy 0 lists "a" and the folder "sub" with "c" in it, then its second
// block lies past the image; root copy 1 holds "b" alone.
testkit::Bytes BrokenFirstCopy() {
  testkit::ImageBuilder builder(7);
  testkit::LabelFields label;
  label.rootCopies = {1, 4};
  label.rootBlockCount = 2;
  builder.Label(label);
  builder.Directory(1, {testkit::FileEntry("a", 6, 1), testkit::DirEntry("sub", 2)}, testkit::Links(20, 0xFFFFFFFF));
  builder.Directory(2, {testkit::FileEntry("c", 6, 1), testkit::DirEntry("deeper", 3)});
  builder.Directory(3, {testkit::FileEntry("d", 6, 1)});
  builder.Directory(4, {testkit::FileEntry("b", 6, 1)});
  return builder.Image();
}

TEST(ListingTest, ACopyThatBreaksOffHandsOverNothingOfItsTree) {
  bool read = false;
  EXPECT_EQ(Paths(List(BrokenFirstCopy(), read)), std::vector<std::string>{"b"});
  EXPECT_TRUE(read);

  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "disc.iso", BrokenFirstCopy());
  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, temp / "disc.iso"));
  const std::optional<VolumeSummary> summary = SummarizeVolume(source);
  ASSERT_TRUE(summary);
  EXPECT_EQ(summary->files, 1u);
  EXPECT_EQ(summary->folders, 0u);
  EXPECT_EQ(summary->unreadableFolders, 0u);
}

TEST(ListingTest, RootCopyThatFailsLateTakesItsNamesAlong) {
  // Root copy 0: a folder past the image, then a second block that is past it too.
  testkit::ImageBuilder builder(8);
  testkit::LabelFields label;
  label.rootCopies = {1, 3};
  label.rootBlockCount = 2;
  builder.Label(label);
  builder.Directory(1, {testkit::DirEntry("gone", 500)}, testkit::Links(100, 0xFFFFFFFF));
  builder.Directory(3, {testkit::FileEntry("f", 5, 1)});
  bool read = false;
  const TreeListing listing = List(builder.Image(), read);
  EXPECT_TRUE(read);
  EXPECT_EQ(Paths(listing), std::vector<std::string>{"f"});
  EXPECT_TRUE(listing.unreadableFolders.empty());

  // No root copy reads: nothing at all.
  builder.Directory(3, {testkit::FileEntry("f", 5, 1)}, testkit::Links(100, 0xFFFFFFFF));
  const TreeListing none = List(builder.Image(), read);
  EXPECT_FALSE(read);
  EXPECT_TRUE(none.entries.empty() && none.unreadableFolders.empty());
}

}  // namespace
}  // namespace zanthrel
