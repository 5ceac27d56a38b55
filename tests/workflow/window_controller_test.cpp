// The window controller driven as a window drives it, with a view that
// records what it is told and answers to its dialogs chosen beforehand. The
// job's end reaches the test's thread as it would reach the window's.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>

#include "opera/records.h"
#include "support/cp1251.h"
#include "testkit/files.h"
#include "testkit/image_builder.h"
#include "testkit/memory_device.h"
#include "testkit/sample_disc.h"
#include "testkit/scripted_dialogs.h"
#include "testkit/temp_folder.h"
#include "workflow/window_controller.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::ScriptedDialogs;

// What the window was told, one line per call, in order.
class RecordingView : public WindowView {
 public:
  std::vector<std::string> shown;
  // Filled from the job's thread.
  std::vector<int> posted;
  // The last image shown.
  std::optional<BrowsedImage> image;

  void ShowJobStarted() override { shown.push_back("started"); }
  void ShowProgress(int percent) override { shown.push_back("progress " + std::to_string(percent)); }
  void DisableCancel() override { shown.push_back("cancel disabled"); }
  void ShowJobEnded(const std::string& status) override { shown.push_back("ended: " + status); }
  void ShowStatus(const std::string& text) override { shown.push_back("status: " + text); }
  void ShowFailure(const std::string& reason, const std::string& logPath) override {
    shown.push_back("failure: " + reason + (logPath.empty() ? "" : " | log " + logPath));
  }
  void ShowImage(const BrowsedImage& shownImage) override {
    shown.push_back("image: " + shownImage.imagePath);
    image = shownImage;
  }
  void ShowReport(const std::string& title, const std::string& text) override {
    shown.push_back("report " + title + ": " + text);
  }
  void ShowDrives(const std::vector<std::string>& names) override {
    std::string line = "drives:";
    for (const std::string& name : names) line += " " + name;
    shown.push_back(line);
  }
  void HideDrives() override { shown.push_back("drives hidden"); }

  void PostProgress(int percent) override {
    const std::lock_guard lock(mutex_);
    posted.push_back(percent);
  }
  void PostJobEnd() override {
    const std::lock_guard lock(mutex_);
    ended_ = true;
    endPosted_.notify_all();
  }

  // Waits up to 20 seconds for the job's end to be posted, as a window's
  // message loop would, and takes it.
  bool WaitForJobEnd() {
    std::unique_lock lock(mutex_);
    const bool ended = endPosted_.wait_for(lock, std::chrono::seconds(20), [this] { return ended_; });
    ended_ = false;
    return ended;
  }
  std::vector<int> Posted() {
    const std::lock_guard lock(mutex_);
    return posted;
  }

 private:
  std::mutex mutex_;
  std::condition_variable endPosted_;
  bool ended_ = false;
};

class WindowControllerTest : public ::testing::Test {
 protected:
  WindowControllerTest() {
    services_.dialogs = &dialogs_;
    services_.listDrives = [this] {
      ++listed_;
      return drives_;
    };
    services_.device = &device_;
    controller_ = std::make_unique<WindowController>(view_, services_);
  }
  // Runs the job just started to its end, as the window would: the status line.
  std::string FinishJob() {
    EXPECT_TRUE(controller_->JobRunning());
    EXPECT_TRUE(view_.WaitForJobEnd());
    controller_->FinishJob();
    EXPECT_FALSE(controller_->JobRunning());
    for (auto line = view_.shown.rbegin(); line != view_.shown.rend(); ++line) {
      if (line->rfind("ended: ", 0) == 0) return line->substr(7);
    }
    return "";
  }
  // A folder still being compiled when Cancel comes: a sparse file of 3 GiB.
  void MakeLongCompile() {
    fs::create_directories(temp_.Path() / "src");
    testkit::WriteText(temp_ / "src/big", "");
    fs::resize_file(temp_.Path() / "src/big", 3ull << 30);
    testkit::WriteText(temp_ / "old.iso", "the old image");
    dialogs_.folders = {temp_ / "src"};
    dialogs_.targets = {temp_ / "old.iso"};
  }

  testkit::TempFolder temp_;
  ScriptedDialogs dialogs_;
  std::vector<DriveEntry> drives_;
  int listed_ = 0;
  MemoryDevice device_;
  WindowServices services_;
  RecordingView view_;
  std::unique_ptr<WindowController> controller_;
};

TEST_F(WindowControllerTest, DriveChoiceListsTheOfferedDrivesAndDecompilesTheSelectedOne) {
  drives_ = {{"/dev/sda", kDriveFixed}, {"/dev/sr0", kDriveCdRom}, {"/dev/ram0", kDriveRamDisk},
             {"/dev/sr1", kDriveCdRom}};
  // The window opens on image files: choosing them again changes nothing.
  controller_->ImageChoiceSelected();
  EXPECT_TRUE(view_.shown.empty());
  controller_->DriveChoiceSelected();
  controller_->DriveChoiceSelected();
  EXPECT_EQ(listed_, 1);
  EXPECT_EQ(view_.shown, std::vector<std::string>{"drives: /dev/sr0 /dev/sr1"});

  // No selection, or one past the list, asks nothing and starts nothing.
  controller_->DecompileClicked(false, false, -1);
  controller_->DecompileClicked(false, false, 2);
  EXPECT_EQ(dialogs_.asked, 0);
  EXPECT_FALSE(controller_->JobRunning());

  const testkit::SampleDisc disc = testkit::MakeSampleDisc();
  device_.discs["/dev/sr1"].bytes = disc.image;
  fs::create_directories(temp_.Path() / "chosen");
  dialogs_.folders = {temp_ / "chosen"};
  controller_->DecompileClicked(true, false, 1);
  EXPECT_EQ(FinishJob(), "Образ демонтирован успешно. Выход.");
  EXPECT_EQ(testkit::ReadBytes(temp_ / "chosen/PARCE_CD-ROM/LaunchMe"), disc.launchMe);
  EXPECT_TRUE(fs::exists(temp_.Path() / "chosen/cd-rom.spy"));
  EXPECT_FALSE(fs::exists(temp_.Path() / "chosen/PARCE_CD-ROM/Disc label"));
  EXPECT_FALSE(device_.Locked("/dev/sr1"));
  // The bar moves only when the percentage does, from the 0 it starts at.
  const std::vector<int> posted = view_.Posted();
  ASSERT_FALSE(posted.empty());
  EXPECT_NE(posted.front(), 0);
  for (size_t i = 1; i < posted.size(); ++i) EXPECT_NE(posted[i], posted[i - 1]);

  // Back to image files, and to drives: the list is asked for anew.
  drives_ = {{"/dev/sr2", kDriveCdRom}};
  view_.shown.clear();
  controller_->ImageChoiceSelected();
  controller_->ImageChoiceSelected();
  controller_->DriveChoiceSelected();
  EXPECT_EQ(view_.shown, (std::vector<std::string>{"drives hidden", "drives: /dev/sr2"}));
  EXPECT_EQ(listed_, 2);
}

TEST_F(WindowControllerTest, ImageChoiceDecompilesBesideTheImageWithTheOptions) {
  fs::create_directories(temp_.Path() / "discs");
  testkit::WriteBytes(temp_ / "discs/game.iso", testkit::MakeSampleDisc().image);
  controller_->DecompileClicked(true, true, -1);  // the file dialog cancelled
  EXPECT_FALSE(controller_->JobRunning());
  EXPECT_EQ(dialogs_.asked, 1);
  dialogs_.images = {temp_ / "discs/game.iso"};
  dialogs_.decompileFolders = {temp_ / "discs"};
  controller_->DecompileClicked(false, true, -1);
  EXPECT_EQ(FinishJob(), "Образ демонтирован успешно. Выход.");
  EXPECT_EQ(view_.shown.front(), "started");
  EXPECT_TRUE(fs::exists(temp_.Path() / "discs/PARCE_game/Disc label"));
  EXPECT_FALSE(fs::exists(temp_.Path() / "discs/game.spy"));
}

// Decompiling again into a folder that holds files asks first: no writes
// nothing, not even the log; yes writes over the disc's files as before.
TEST_F(WindowControllerTest, AFolderThatHoldsFilesIsWrittenIntoOnlyWhenTheUserSaysYes) {
  fs::create_directories(temp_.Path() / "discs");
  const testkit::SampleDisc disc = testkit::MakeSampleDisc();
  testkit::WriteBytes(temp_ / "discs/game.iso", disc.image);
  dialogs_.images = {temp_ / "discs/game.iso"};
  dialogs_.decompileFolders = {temp_ / "discs"};
  controller_->DecompileClicked(false, false, -1);
  EXPECT_EQ(FinishJob(), "Образ демонтирован успешно. Выход.");
  EXPECT_TRUE(dialogs_.writeIntoAsked.empty());  // the folder was new

  testkit::WriteText(temp_ / "discs/PARCE_game/LaunchMe", "edited");
  testkit::WriteText(temp_ / "discs/game.log", "old log");
  view_.shown.clear();
  dialogs_.images = {temp_ / "discs/game.iso"};
  dialogs_.decompileFolders = {temp_ / "discs"};
  dialogs_.writeInto = {false};
  controller_->DecompileClicked(true, false, -1);
  EXPECT_FALSE(controller_->JobRunning());
  EXPECT_TRUE(view_.shown.empty());
  EXPECT_EQ(dialogs_.writeIntoAsked, std::vector<std::string>{temp_ / "discs/PARCE_game"});
  EXPECT_EQ(testkit::ReadText(temp_ / "discs/PARCE_game/LaunchMe"), "edited");
  EXPECT_EQ(testkit::ReadText(temp_ / "discs/game.log"), "old log");
  EXPECT_FALSE(fs::exists(temp_.Path() / "discs/game.spy"));

  dialogs_.images = {temp_ / "discs/game.iso"};
  dialogs_.decompileFolders = {temp_ / "discs"};
  dialogs_.writeInto = {true};
  controller_->DecompileClicked(true, false, -1);
  EXPECT_EQ(FinishJob(), "Образ демонтирован успешно. Выход.");
  EXPECT_EQ(dialogs_.writeIntoAsked.size(), 2u);
  EXPECT_EQ(testkit::ReadBytes(temp_ / "discs/PARCE_game/LaunchMe"), disc.launchMe);
  EXPECT_TRUE(fs::exists(temp_.Path() / "discs/game.spy"));

  // A drive's folder is asked about the same way.
  drives_ = {{"/dev/sr0", kDriveCdRom}};
  device_.discs["/dev/sr0"].bytes = disc.image;
  controller_->DriveChoiceSelected();
  fs::create_directories(temp_.Path() / "chosen/PARCE_CD-ROM");
  testkit::WriteText(temp_ / "chosen/PARCE_CD-ROM/LaunchMe", "edited");
  dialogs_.folders = {temp_ / "chosen"};
  controller_->DecompileClicked(false, false, 0);
  EXPECT_FALSE(controller_->JobRunning());
  EXPECT_EQ(dialogs_.writeIntoAsked.back(), temp_ / "chosen/PARCE_CD-ROM");
  EXPECT_EQ(testkit::ReadText(temp_ / "chosen/PARCE_CD-ROM/LaunchMe"), "edited");
  EXPECT_FALSE(fs::exists(temp_.Path() / "chosen/cd-rom.log"));
}

TEST_F(WindowControllerTest, WhileAJobRunsTheButtonsAskNothingAndCancelStopsIt) {
  controller_->CancelClicked();  // no job: nothing to stop
  EXPECT_TRUE(view_.shown.empty());
  MakeLongCompile();
  controller_->CompileClicked();
  ASSERT_TRUE(controller_->JobRunning());
  EXPECT_EQ(dialogs_.asked, 2);
  dialogs_.images = {temp_ / "old.iso"};
  dialogs_.folders = {temp_ / "src"};
  controller_->CompileClicked();
  controller_->DecompileClicked(false, false, -1);
  EXPECT_EQ(dialogs_.asked, 2);
  controller_->CancelClicked();
  EXPECT_EQ(FinishJob(),
            "Image not written: " + (temp_ / "old.iso") + ": not written, stopped by the user");
  EXPECT_EQ(view_.shown.front(), "started");
  EXPECT_EQ(view_.shown[view_.shown.size() - 2], "cancel disabled");
  EXPECT_EQ(testkit::ReadText(temp_ / "old.iso"), "the old image");
  // An end told twice is shown once.
  const size_t shown = view_.shown.size();
  controller_->FinishJob();
  EXPECT_EQ(view_.shown.size(), shown);

  // The next job starts with Cancel unpressed.
  fs::remove(temp_.Path() / "src/big");
  dialogs_.targets = {temp_ / "old.iso"};
  controller_->CompileClicked();
  EXPECT_EQ(FinishJob(), "Image written, 1 warning: " + testkit::NoBootFilesWarning(temp_ / "src"));
}

// "Volume label..." asks again, showing why, until its answer can be stored;
// the fields then go into every compile after, and a cancel keeps them.
TEST_F(WindowControllerTest, TheLabelChosenIsAskedUntilItFitsAndKeptForTheCompilesAfter) {
  fs::create_directories(temp_.Path() / "src");
  testkit::WriteText(temp_ / "src/file", "content");
  const TypedLabelFields badId{"Игра", "", "0xZZ", ""};
  const TypedLabelFields tooLong{std::string(33, 'x'), "", "", ""};
  const TypedLabelFields good{"Игра", "v2", "0xdeadbeef", "12"};
  dialogs_.labelAnswers = {badId, tooLong, good};
  controller_->VolumeLabelClicked();
  ASSERT_EQ(dialogs_.labelShown.size(), 3u);
  EXPECT_EQ(dialogs_.labelShown[0].second, "");
  EXPECT_EQ(dialogs_.labelShown[1].first.volumeId, "0xZZ");  // the answer is shown again to mend
  EXPECT_TRUE(dialogs_.labelShown[1].second.starts_with("Volume id: \"0xZZ\" is not a 32-bit number"))
      << dialogs_.labelShown[1].second;
  EXPECT_TRUE(dialogs_.labelShown[2].second.starts_with("the volume label \"xxx")) << dialogs_.labelShown[2].second;

  dialogs_.labelAnswers = {};
  controller_->VolumeLabelClicked();  // cancelled: the fields stay
  ASSERT_EQ(dialogs_.labelShown.size(), 4u);
  const TypedLabelFields shown = dialogs_.labelShown[3].first;
  EXPECT_EQ(std::vector<std::string>({shown.text, shown.comment, shown.volumeId, shown.rootId}),
            std::vector<std::string>({"Игра", "v2", "0xDEADBEEF", "0x0000000C"}));

  for (const char* image : {"first.iso", "second.iso"}) {
    dialogs_.folders = {temp_ / "src"};
    dialogs_.targets = {temp_ / image};
    controller_->CompileClicked();
    FinishJob();
    const testkit::Bytes bytes = testkit::ReadBytes(temp_ / image);
    ASSERT_GE(bytes.size(), 2048u);
    EXPECT_EQ(std::string(bytes.begin() + 40, bytes.begin() + 44), Utf8ToCp1251("Игра")) << image;
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 10), "v2") << image;
    EXPECT_EQ(opera::ReadBig32(&bytes[72]), 0xDEADBEEFu) << image;
    EXPECT_EQ(opera::ReadBig32(&bytes[84]), 12u) << image;
  }
}

TEST_F(WindowControllerTest, IdsRunOnFromImageToImageAndAClosedWindowStopsItsJob) {
  fs::create_directories(temp_.Path() / "src");
  testkit::WriteText(temp_ / "src/file", "content");
  for (const char* image : {"first.iso", "second.iso"}) {
    dialogs_.folders = {temp_ / "src"};
    dialogs_.targets = {temp_ / image};
    controller_->CompileClicked();
    EXPECT_EQ(FinishJob(), "Image written, 1 warning: " + testkit::NoBootFilesWarning(temp_ / "src"));
  }
  // The same folder twice, with other ids the second time.
  EXPECT_NE(testkit::ReadBytes(temp_ / "first.iso"), testkit::ReadBytes(temp_ / "second.iso"));

  MakeLongCompile();
  controller_->CompileClicked();
  ASSERT_TRUE(controller_->JobRunning());
  const auto closed = std::chrono::steady_clock::now();
  controller_.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - closed, std::chrono::seconds(20));
  EXPECT_EQ(testkit::ReadText(temp_ / "old.iso"), "the old image");
}

// The browse view: an image opened shows its tree under the names decompile
// writes, and what is extracted from it is what decompile writes.
class BrowseControllerTest : public WindowControllerTest {
 protected:
  BrowseControllerTest() {
    fs::create_directories(temp_.Path() / "discs");
    testkit::WriteBytes(temp_ / "discs/game.iso", disc_.image);
  }
  // The lines shown from the last job's start on.
  std::vector<std::string> ShownSince(size_t first) const {
    return {view_.shown.begin() + std::ptrdiff_t(first), view_.shown.end()};
  }
  std::string OpenSample() {
    controller_->OpenImage(temp_ / "discs/game.iso");
    return FinishJob();
  }

  const testkit::SampleDisc disc_ = testkit::MakeSampleDisc();
};

TEST_F(BrowseControllerTest, AnOpenedImageShowsItsVolumeAndTheTreeDecompileWouldWrite) {
  dialogs_.images = {std::nullopt};
  controller_->OpenClicked();  // File > Open cancelled
  EXPECT_FALSE(controller_->JobRunning());
  EXPECT_TRUE(controller_->ImagePath().empty());

  dialogs_.images = {temp_ / "discs/game.iso"};
  controller_->OpenClicked();
  EXPECT_EQ(FinishJob(), "Opened: " + (temp_ / "discs/game.iso"));
  EXPECT_EQ(view_.shown[0], "started");
  EXPECT_EQ(view_.shown[1], "status: Working…");
  EXPECT_EQ(controller_->ImagePath(), temp_ / "discs/game.iso");
  ASSERT_TRUE(view_.image.has_value());
  const BrowsedImage& image = *view_.image;
  EXPECT_EQ(VolumeSummaryLines(image),
            (std::vector<std::string>{"Label: CD-ROM", "Container: plain", "Blocks: 8 of 2048 bytes",
                                      "Folders: 1, files: 2"}));
  // The label entry is left out and "a:b" gets the host name decompile gives it.
  ASSERT_EQ(image.entries.size(), 3u);
  const BrowseEntry& launchMe = image.entries[0];
  EXPECT_EQ(launchMe.path, "LaunchMe");
  EXPECT_EQ(launchMe.depth, 0);
  EXPECT_FALSE(launchMe.folder);
  EXPECT_EQ(launchMe.size, 5000u);
  EXPECT_EQ(launchMe.copies, 1u);
  EXPECT_EQ(launchMe.firstBlock, 3u);
  EXPECT_EQ(image.entries[1].path, "Игры");
  EXPECT_TRUE(image.entries[1].folder);
  EXPECT_EQ(image.entries[1].firstBlock, 2u);
  EXPECT_EQ(image.entries[2].path, "Игры/a!3Ab");
  EXPECT_EQ(image.entries[2].name, "a!3Ab");
  EXPECT_EQ(image.entries[2].depth, 1);
  EXPECT_EQ(image.entries[2].size, 10u);

  // An image that does not open fails with its whole reason; the one shown stays.
  testkit::WriteBytes(temp_ / "junk.iso", testkit::Bytes(5000, 1));
  const size_t before = view_.shown.size();
  controller_->PathDropped(temp_ / "junk.iso");
  const std::string status = FinishJob();
  EXPECT_NE(status.find("junk.iso"), std::string::npos) << status;
  EXPECT_EQ(view_.shown.back(), "failure: " + status);
  EXPECT_EQ(controller_->ImagePath(), temp_ / "discs/game.iso");
  for (const std::string& line : ShownSince(before)) EXPECT_NE(line.rfind("image: ", 0), 0u) << line;
}

TEST_F(BrowseControllerTest, ExtractedEntriesHoldTheBytesAndNamesOfDecompile) {
  controller_->ExtractClicked({"LaunchMe"});  // no image shown: nothing asked
  EXPECT_EQ(dialogs_.asked, 0);
  dialogs_.images = {temp_ / "discs/game.iso"};
  dialogs_.decompileFolders = {temp_ / "discs"};
  controller_->DecompileClicked(false, false, -1);
  EXPECT_EQ(FinishJob(), "Образ демонтирован успешно. Выход.");
  // The image decompiled is shown.
  EXPECT_EQ(controller_->ImagePath(), temp_ / "discs/game.iso");

  controller_->ExtractClicked({});  // nothing selected
  EXPECT_EQ(dialogs_.asked, 2);
  fs::create_directories(temp_.Path() / "out");
  dialogs_.folders = {temp_ / "out"};
  controller_->ExtractClicked({"LaunchMe", "Игры/a!3Ab"});
  EXPECT_EQ(FinishJob(), "Extracted 2 into " + (temp_ / "out"));
  EXPECT_EQ(testkit::NamesBelow(temp_.Path() / "out"), (std::vector<std::string>{"LaunchMe", "a!3Ab"}));
  EXPECT_EQ(testkit::ReadBytes(temp_ / "out/LaunchMe"), testkit::ReadBytes(temp_ / "discs/PARCE_game/LaunchMe"));
  EXPECT_EQ(testkit::ReadBytes(temp_ / "out/a!3Ab"), testkit::ReadBytes(temp_ / "discs/PARCE_game/Игры/a!3Ab"));
  EXPECT_EQ(testkit::ReadBytes(temp_ / "out/a!3Ab"), disc_.gamesAB);

  // A folder comes with all it holds; what is there already is never replaced.
  testkit::WriteText(temp_ / "out/LaunchMe", "mine");
  dialogs_.folders = {temp_ / "out", temp_ / "out"};
  controller_->ExtractClicked({"Игры"});
  EXPECT_EQ(FinishJob(), "Extracted 1 into " + (temp_ / "out"));
  EXPECT_EQ(testkit::ReadBytes(temp_ / "out/Игры/a!3Ab"), disc_.gamesAB);
  controller_->ExtractClicked({"LaunchMe"});
  const std::string status = FinishJob();
  EXPECT_EQ(status, "Not extracted: " + (temp_ / "out/LaunchMe") + ": exists already, not replaced");
  EXPECT_EQ(view_.shown.back(), "failure: " + status);
  EXPECT_EQ(testkit::ReadText(temp_ / "out/LaunchMe"), "mine");
}

TEST_F(BrowseControllerTest, CancelStopsALongExtractAndLeavesNoHalfWrittenFile) {
  // A root holding one file of almost 4 GiB of zeros.
  testkit::WriteImageWithOneLargeFile(temp_ / "big.iso", 0xFFFFF000u);
  controller_->OpenImage(temp_ / "big.iso");
  FinishJob();
  ASSERT_EQ(controller_->ImagePath(), temp_ / "big.iso");

  fs::create_directories(temp_.Path() / "out");
  dialogs_.folders = {temp_ / "out"};
  controller_->ExtractClicked({"big"});
  ASSERT_TRUE(controller_->JobRunning());
  controller_->CancelClicked();
  EXPECT_EQ(FinishJob(), "Extract stopped by the user; " + (temp_ / "out") + " holds what was written");
  EXPECT_TRUE(testkit::NamesBelow(temp_.Path() / "out").empty());
}

TEST_F(BrowseControllerTest, VerifyShowsItsReportAndConvertWritesAChdThatBrowsesTheSame) {
  OpenSample();
  const std::vector<BrowseEntry> entries = view_.image->entries;
  controller_->VerifyClicked();
  EXPECT_EQ(FinishJob(), "Verify: clean");
  const std::string& report = view_.shown.back();
  EXPECT_EQ(report.rfind("report Verify: " + (temp_ / "discs/game.iso") + ": 8 blocks", 0), 0u) << report;
  EXPECT_NE(report.find("\nclean\n"), std::string::npos) << report;

  dialogs_.targets = {std::nullopt, temp_ / "game.chd"};
  controller_->ConvertClicked();  // the save dialog cancelled
  EXPECT_FALSE(controller_->JobRunning());
  controller_->ConvertClicked();
  EXPECT_EQ(FinishJob(), "Image written: " + (temp_ / "game.chd"));
  // The save dialog opened beside the image, a CHD of its name suggested.
  EXPECT_EQ(dialogs_.targetsOffered, std::vector<std::string>(2, (temp_ / "discs") + " | game.chd"));
  controller_->PathDropped(temp_ / "game.chd");
  FinishJob();
  ASSERT_EQ(controller_->ImagePath(), temp_ / "game.chd");
  ASSERT_EQ(view_.image->entries.size(), entries.size());
  for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(view_.image->entries[i].path, entries[i].path);
  EXPECT_NE(view_.image->container.find("CHD"), std::string::npos) << view_.image->container;
}

TEST_F(BrowseControllerTest, ADroppedFolderOffersCompileIsoSavedBesideIt) {
  fs::create_directories(temp_.Path() / "work/src");
  testkit::WriteText(temp_ / "work/src/file", "content");
  dialogs_.compileFolder = {false};
  controller_->PathDropped(temp_ / "work/src/");
  EXPECT_FALSE(controller_->JobRunning());
  EXPECT_TRUE(dialogs_.targetsOffered.empty());

  dialogs_.compileFolder = {true};
  dialogs_.targets = {temp_ / "work/src.iso"};
  controller_->PathDropped(temp_ / "work/src/");
  EXPECT_EQ(FinishJob(), "Image written, 1 warning: " + testkit::NoBootFilesWarning(temp_ / "work/src/"));
  EXPECT_TRUE(fs::is_regular_file(temp_.Path() / "work/src.iso"));
  // Not inside the folder, where the next compile of it would pack the image.
  EXPECT_EQ(dialogs_.targetsOffered, std::vector<std::string>{(temp_ / "work") + " | src.iso"});
  dialogs_.folders = {temp_ / "work/src"};
  dialogs_.targets = {std::nullopt};
  controller_->CompileClicked();
  EXPECT_EQ(dialogs_.targetsOffered.back(), (temp_ / "work") + " | src.iso");
}

TEST_F(BrowseControllerTest, DecompileOffersTheFolderBesideTheImageThenTheLastOneChosen) {
  dialogs_.images = {temp_ / "discs/game.iso", temp_ / "discs/game.iso"};
  dialogs_.decompileFolders = {std::nullopt};
  controller_->DecompileClicked(false, false, -1);
  EXPECT_FALSE(controller_->JobRunning());
  fs::create_directories(temp_.Path() / "elsewhere");
  dialogs_.decompileFolders = {temp_ / "elsewhere"};
  controller_->DecompileClicked(false, false, -1);
  EXPECT_EQ(FinishJob(), "Образ демонтирован успешно. Выход.");
  EXPECT_EQ(testkit::ReadBytes(temp_ / "elsewhere/PARCE_game/LaunchMe"), disc_.launchMe);
  EXPECT_TRUE(fs::exists(temp_.Path() / "elsewhere/game.log"));
  EXPECT_FALSE(fs::exists(temp_.Path() / "discs/PARCE_game"));

  testkit::WriteBytes(temp_ / "other.iso", disc_.image);
  dialogs_.images = {temp_ / "other.iso"};
  dialogs_.decompileFolders = {std::nullopt};
  controller_->DecompileClicked(false, false, -1);
  EXPECT_EQ(dialogs_.decompileFolderProposed,
            (std::vector<std::string>{temp_ / "discs", temp_ / "discs", temp_ / "elsewhere"}));
}

TEST_F(BrowseControllerTest, FailuresShowTheirWholeReasonAndTheLogAndANewJobClearsTheStatus) {
  // No drive to offer: said at once, nothing asked.
  controller_->DriveChoiceSelected();
  view_.shown.clear();
  controller_->DecompileClicked(false, false, 0);
  EXPECT_EQ(view_.shown, (std::vector<std::string>{"status: No CD-ROM or removable drive found",
                                                   "failure: No CD-ROM or removable drive found"}));
  EXPECT_EQ(dialogs_.asked, 0);
  controller_->ImageChoiceSelected();

  // A disc whose root cannot be read: the log tells more, and the box opens it.
  testkit::Bytes cut = disc_.image;
  std::fill(cut.begin() + 2048, cut.begin() + 2 * 2048, 0xFF);
  testkit::WriteBytes(temp_ / "discs/cut.iso", cut);
  dialogs_.images = {temp_ / "discs/cut.iso"};
  dialogs_.decompileFolders = {temp_ / "discs"};
  view_.shown.clear();
  controller_->DecompileClicked(false, false, -1);
  const std::string status = FinishJob();
  EXPECT_EQ(view_.shown[1], "status: Working…");
  const std::string log = temp_ / "discs/cut.log";
  EXPECT_EQ(view_.shown.back(), "failure: " + status + " | log " + log);
  EXPECT_NE(status.find("\nLog: " + log), std::string::npos) << status;
  EXPECT_EQ(StatusLineOf(status), status.substr(0, status.find('\n')));
  EXPECT_TRUE(fs::exists(log));
}

}  // namespace
}  // namespace zanthrel
