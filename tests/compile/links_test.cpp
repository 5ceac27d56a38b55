// Links in the folder being compiled: those that lead out of it are named,
// and left out on request; a folder reached by two paths is stored at both
// and named once. Real links on a real folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "compile/compile_run.h"
#include "testkit/files.h"
#include "testkit/image_reader.h"
#include "testkit/process.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::ImageEntry;
using testkit::ImageReader;

std::vector<std::string> Names(const ImageReader& image, uint32_t directory) {
  std::vector<std::string> names;
  for (const ImageEntry& entry : image.Directory(directory)) names.push_back(entry.name);
  return names;
}

class CompileLinksTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links as POSIX makes them";
#endif
    fs::create_directories(temp_.Path() / "secret/notes");
    testkit::WriteText(temp_ / "secret/id_rsa", "private key");
    testkit::WriteText(temp_ / "secret/notes/n.txt", "notes");
    fs::create_directories(temp_.Path() / "src/sub");
    testkit::WriteText(temp_ / "src/readme.txt", "hello");
    testkit::WriteText(temp_ / "src/sub/file", "inside");
    // Out of the folder: a file by a relative link, a folder by a full path.
    fs::create_symlink("../secret/id_rsa", temp_.Path() / "src/key");
    fs::create_directory_symlink(fs::canonical(temp_.Path() / "secret"), temp_.Path() / "src/ext");
    // Inside it: out and back in, and a second path to sub.
    fs::create_symlink("../src/readme.txt", temp_.Path() / "src/self");
    fs::create_directory_symlink("sub", temp_.Path() / "src/inner");
    // A hidden folder is left out, wherever it leads.
    fs::create_directory_symlink("../secret", temp_.Path() / "src/.hidden");
    src_ = fs::canonical(temp_.Path() / "src").string();
    secret_ = fs::canonical(temp_.Path() / "secret").string();
  }

  CompileReport Compile(const std::string& image, bool outsideLinks) {
    CompileOptions options;
    options.outsideLinks = outsideLinks;
    CompileReport report = CompileImage(temp_ / "src", temp_ / image, false, options);
    EXPECT_TRUE(report.written) << report.failure;
    EXPECT_TRUE(report.problems.empty()) << report.problems.front();
    return report;
  }

  testkit::TempFolder temp_;
  std::string src_, secret_;
};

TEST_F(CompileLinksTest, LinksOutOfTheFolderAreNamedAndStored) {
  const CompileReport report = Compile("out.iso", true);
  EXPECT_EQ(report.warnings,
            (std::vector<std::string>{
                src_ + "/ext: a link to " + secret_ + ", outside the folder being compiled",
                src_ + "/key: a link to " + secret_ + "/id_rsa, outside the folder being compiled",
                src_ + "/sub: the same folder as " + src_ + "/inner, stored again",
            }));
  const ImageReader image{testkit::ReadBytes(temp_ / "out.iso")};
  EXPECT_EQ(Names(image, image.RootBlock()),
            (std::vector<std::string>{"ext", "inner", "key", "readme.txt", "self", "sub", "Disc label"}));
  EXPECT_EQ(Names(image, image.Find(image.RootBlock(), "ext").copy),
            (std::vector<std::string>{"id_rsa", "notes"}));
  EXPECT_EQ(Names(image, image.Find(image.RootBlock(), "inner").copy), (std::vector<std::string>{"file"}));
  EXPECT_EQ(Names(image, image.Find(image.RootBlock(), "sub").copy), (std::vector<std::string>{"file"}));
}

TEST_F(CompileLinksTest, LinksOutOfTheFolderAreLeftOutOnRequestAsIfNeverThere) {
  const CompileReport report = Compile("kept.iso", false);
  EXPECT_EQ(report.warnings,
            (std::vector<std::string>{
                src_ + "/ext: a link to " + secret_ + ", outside the folder being compiled; left out",
                src_ + "/key: a link to " + secret_ + "/id_rsa, outside the folder being compiled; left out",
                src_ + "/sub: the same folder as " + src_ + "/inner, stored again",
            }));
  const testkit::Bytes kept = testkit::ReadBytes(temp_ / "kept.iso");
  // The image a folder without them gives, byte for byte (each run starts
  // its unique ids afresh).
  fs::remove(temp_.Path() / "src/ext");
  fs::remove(temp_.Path() / "src/key");
  const CompileReport without = Compile("without.iso", true);
  EXPECT_EQ(without.warnings.size(), 1u);
  EXPECT_EQ(kept, testkit::ReadBytes(temp_ / "without.iso"));
}

TEST_F(CompileLinksTest, TheCommandLineWarnsAndLeavesThemOutWithNoOutsideLinks) {
  fs::remove(temp_.Path() / "src/inner");
  testkit::ProcessOutcome run = testkit::RunZanthrel("compile src all.iso");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.out.starts_with("all.iso: image written")) << run.out;
  const std::string ext = "zanthrel: warning: " + src_ + "/ext: a link to " + secret_ +
                          ", outside the folder being compiled";
  const std::string key = "zanthrel: warning: " + src_ + "/key: a link to " + secret_ +
                          "/id_rsa, outside the folder being compiled";
  const std::string boot = "zanthrel: warning: " + testkit::NoBootFilesWarning(temp_ / "src") + "\n";
  EXPECT_EQ(run.err, ext + "\n" + key + "\n" + boot);
  run = testkit::RunZanthrel("compile --no-outside-links src mine.iso");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "mine.iso: image written, 308 blocks\n");
  EXPECT_EQ(run.err, ext + "; left out\n" + key + "; left out\n" + boot);
  const ImageReader image{testkit::ReadBytes(temp_ / "mine.iso")};
  EXPECT_EQ(Names(image, image.RootBlock()),
            (std::vector<std::string>{"readme.txt", "self", "sub", "Disc label"}));
}

}  // namespace
}  // namespace zanthrel
