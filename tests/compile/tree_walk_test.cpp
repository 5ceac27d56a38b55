// The one walk through a host tree that the byte count, the scan ahead and
// the image writer all take, recorded step by step on real folders.
#include "compile/tree_walk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/text.h"
#include "testkit/files.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;

// Each step as a line, paths from the root with "/" between their parts.
class Recorder : public TreeVisitor {
 public:
  explicit Recorder(std::string root, size_t stopAtEnter = 0)
      : root_(std::move(root)), stopAtEnter_(stopAtEnter) {}

  std::vector<std::string> steps;

  bool Enter(const WalkFolder& folder) override {
    steps.push_back("enter " + Relative(folder.path) + (folder.bootArea ? " (boot)" : ""));
    return ++entered_ != stopAtEnter_;
  }
  void File(const WalkFolder&, size_t, const std::string& path) override {
    steps.push_back("file " + Relative(path));
  }
  void LinkLoop(const WalkFolder&, size_t, const std::string& path) override {
    steps.push_back("loop " + Relative(path));
  }
  void FolderAgain(const WalkFolder&, size_t, const std::string& path, const std::string& firstPath) override {
    steps.push_back("again " + Relative(path) + " = " + Relative(firstPath));
  }
  void Leave(const WalkFolder& folder) override { steps.push_back("leave " + Relative(folder.path)); }

 private:
  std::string Relative(const std::string& path) const {
    std::string relative = path.size() > root_.size() ? path.substr(root_.size() + 1) : ".";
    for (char& c : relative) {
      if (IsPathSeparator(c)) c = '/';
    }
    return relative;
  }

  std::string root_;
  size_t stopAtEnter_;
  size_t entered_ = 0;
};

class TreeWalkTest : public ::testing::Test {
 protected:
  TreeWalkTest() { fs::create_directories(temp_.Path() / "src"); }

  void File(const std::string& name) { testkit::WriteText(temp_ / ("src/" + name), "x"); }
  void Folder(const std::string& name) { fs::create_directories(temp_ / ("src/" + name)); }

  SourceTree Tree() {
    Host& host = SystemHost();
    const std::string root = *host.RealPath(temp_ / "src");
    return {host, root, host.InfoOf(root)->identity, {}};
  }

  testkit::TempFolder temp_;
};

TEST_F(TreeWalkTest, ChildrenInListOrderDepthFirstWithTheBootCodeFoldersMarked) {
  File("b.txt");
  File("A.txt");
  Folder("system/kernel/kernel");
  Folder("system/kernel/other");
  Folder("system/misc");
  File("system/kernel/boot_code");
  Folder("kernel/system");
  Folder(".hidden");
  File("image.iso");
  SourceTree tree = Tree();
  tree.excluded.push_back(SystemHost().InfoOf(temp_ / "src/image.iso")->identity);

  Recorder recorder(tree.root);
  EXPECT_TRUE(WalkTree(tree, true, recorder));
  const std::vector<std::string> expected = {
      "enter . (boot)",
      "file A.txt",
      "file b.txt",
      "enter kernel",
      "enter kernel/system",
      "leave kernel/system",
      "leave kernel",
      "enter system (boot)",
      "enter system/kernel (boot)",
      "file system/kernel/boot_code",
      "enter system/kernel/kernel (boot)",
      "leave system/kernel/kernel",
      "enter system/kernel/other",
      "leave system/kernel/other",
      "leave system/kernel",
      "enter system/misc",
      "leave system/misc",
      "leave system",
      "leave .",
  };
  EXPECT_EQ(recorder.steps, expected);

  // Without the boot area the path is the same and nothing is marked.
  Recorder plain(tree.root);
  EXPECT_TRUE(WalkTree(tree, false, plain));
  ASSERT_EQ(plain.steps.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    std::string step = expected[i];
    if (const size_t mark = step.find(" (boot)"); mark != std::string::npos) step.erase(mark);
    EXPECT_EQ(plain.steps[i], step);
  }
}

TEST_F(TreeWalkTest, AStopEndsTheWalkAtOnce) {
  Folder("a/deeper");
  Folder("b");
  File("c");
  const SourceTree tree = Tree();
  Recorder recorder(tree.root, 3);
  EXPECT_FALSE(WalkTree(tree, false, recorder));
  EXPECT_EQ(recorder.steps, (std::vector<std::string>{"enter .", "enter a", "enter a/deeper"}));
}

TEST_F(TreeWalkTest, LinkLoopsAreLeftOutAndAFolderLinkedTwiceIsEnteredTwiceAndTold) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links to folders as POSIX makes them";
#else
  Folder("shared");
  File("shared/f");
  Folder("b");
  fs::create_directory_symlink("../shared", temp_.Path() / "src/b/again");
  fs::create_directory_symlink("..", temp_.Path() / "src/b/up");
  fs::create_directory_symlink("../b", temp_.Path() / "src/shared/back");
  const SourceTree tree = Tree();

  Recorder recorder(tree.root);
  EXPECT_TRUE(WalkTree(tree, false, recorder));
  EXPECT_EQ(recorder.steps, (std::vector<std::string>{
                                "enter .",
                                "enter b",
                                "enter b/again",
                                "loop b/again/back",
                                "file b/again/f",
                                "leave b/again",
                                "loop b/up",
                                "leave b",
                                // Told once: shared/back, walked again inside it, is not.
                                "again shared = b/again",
                                "enter shared",
                                "enter shared/back",
                                "loop shared/back/again",
                                "loop shared/back/up",
                                "leave shared/back",
                                "file shared/f",
                                "leave shared",
                                "leave .",
                            }));
#endif
}

TEST_F(TreeWalkTest, AChainOfFoldersLinkedTwiceIsToldOncePerLinkNotPerCopy) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links to folders as POSIX makes them";
#else
  // Each level holds two links to the next: the last folder is walked 2^4 times.
  Folder("chain");
  std::string at = "chain";
  for (int level = 1; level <= 4; ++level) {
    const std::string name = "l" + std::to_string(level);
    Folder(name);
    for (const char* link : {"a", "b"}) fs::create_directory_symlink("../" + name, temp_.Path() / "src" / at / link);
    at = name;
  }
  File("l4/f");
  const SourceTree tree = Tree();
  Recorder recorder(tree.root);
  EXPECT_TRUE(WalkTree(tree, false, recorder));
  std::vector<std::string> told;
  size_t files = 0;
  for (const std::string& step : recorder.steps) {
    if (step.starts_with("again ")) told.push_back(step);
    if (step.starts_with("file ")) ++files;
  }
  EXPECT_EQ(files, 16u + 8u + 4u + 2u + 1u);  // each walk of l4: 16 below chain, 8 below l1, ...
  EXPECT_EQ(told, (std::vector<std::string>{
                      "again chain/a/a/a/b = chain/a/a/a/a",
                      "again chain/a/a/b = chain/a/a/a",
                      "again chain/a/b = chain/a/a",
                      "again chain/b = chain/a",
                      "again l1 = chain/a",
                      "again l2 = chain/a/a",
                      "again l3 = chain/a/a/a",
                      "again l4 = chain/a/a/a/a",
                  }));
#endif
}

}  // namespace
}  // namespace zanthrel
