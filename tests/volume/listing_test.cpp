// The listing of a tree: a folder that cannot be read is named and the rest
// listed; a copy that fails after naming one leaves no trace of it.
#include "volume/listing.h"

#include <gtest/gtest.h>

#include "source/image_source.h"
#include "testkit/image_builder.h"
#include "testkit/temp_folder.h"

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
