// The window driven end to end, offscreen, with chosen answers to its dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <deque>
#include <filesystem>

#include "app/folder_dialog.h"
#include "app/main_window.h"
#include "testkit/memory_device.h"
#include "support/host.h"
#include "testkit/files.h"
#include "testkit/sample_disc.h"
#include "testkit/scripted_dialogs.h"
#include "testkit/temp_folder.h"

namespace zanthrel::app {
namespace {

namespace fs = std::filesystem;
using testkit::Bytes;
using testkit::ScriptedDialogs;

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    services_.dialogs = &dialogs_;
    services_.listDrives = [this] { return drives_; };
    services_.device = &device_;
    window_ = std::make_unique<MainWindow>(services_);
  }
  QString Click(QPushButton* button) {
    QSignalSpy finished(window_.get(), &MainWindow::JobFinished);
    QTest::mouseClick(button, Qt::LeftButton);
    if (!window_->JobRunning()) return {};
    EXPECT_FALSE(window_->decompileButton->isEnabled());
    EXPECT_FALSE(window_->compileButton->isEnabled());
    EXPECT_TRUE(finished.wait(20000));
    EXPECT_TRUE(window_->decompileButton->isEnabled());
    EXPECT_TRUE(window_->progressBar->isHidden());
    EXPECT_TRUE(window_->cancelButton->isHidden());
    return finished.isEmpty() ? QString() : finished.front().front().toString();
  }

  testkit::TempFolder temp_;
  ScriptedDialogs dialogs_;
  std::vector<DriveEntry> drives_;
  MemoryDevice device_;
  WindowServices services_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(WindowTest, RadioSwitchingRefillsAndHidesTheDriveList) {
  drives_ = {{"/dev/sda", 3}, {"/dev/sdb", 2}, {"/dev/sr0", 5}, {"/dev/ram0", 6}};
  window_->show();
  // The window opens on image files, with no drive list shown.
  EXPECT_TRUE(window_->imageChoice->isChecked());
  EXPECT_TRUE(window_->driveList->isHidden());
  window_->driveChoice->click();
  EXPECT_TRUE(window_->driveList->isVisible());
  ASSERT_EQ(window_->driveList->count(), 2);
  EXPECT_EQ(window_->driveList->itemText(0), "/dev/sdb");
  EXPECT_EQ(window_->driveList->currentIndex(), 0);
  window_->driveList->setCurrentIndex(1);

  drives_ = {{"/dev/sr1", 5}};
  window_->imageChoice->click();
  EXPECT_TRUE(window_->driveList->isHidden());
  EXPECT_EQ(window_->driveList->count(), 2);  // kept while hidden
  EXPECT_EQ(window_->driveList->currentIndex(), 1);
  window_->driveChoice->click();
  ASSERT_EQ(window_->driveList->count(), 1);
  EXPECT_EQ(window_->driveList->itemText(0), "/dev/sr1");
}

TEST_F(WindowTest, DecompileWritesBesideTheImageWithTheOptions) {
  fs::create_directories(temp_.Path() / "discs");
  testkit::WriteBytes(temp_ / "discs/game.iso.gz", testkit::MakeSampleDisc().image);
  dialogs_.images = {temp_ / "discs/game.iso.gz"};
  dialogs_.decompileFolders = {temp_ / "discs"};
  window_->additionalInfoBox->setChecked(true);
  window_->discLabelBox->setChecked(true);
  EXPECT_EQ(Click(window_->decompileButton), "Образ демонтирован успешно. Выход.");
  EXPECT_EQ(window_->statusLine->text(), "Образ демонтирован успешно. Выход.");
  EXPECT_EQ(testkit::NamesBelow(temp_.Path() / "discs"),
            (std::vector<std::string>{"PARCE_game", "PARCE_game/Disc label",
                                      "PARCE_game/LaunchMe", "PARCE_game/Игры",
                                      "PARCE_game/Игры/a!3Ab", "game.iso.gz",
                                      "game.log", "game.spy"}));

  fs::remove_all(temp_.Path() / "discs/PARCE_game");
  window_->additionalInfoBox->setChecked(false);
  window_->discLabelBox->setChecked(false);
  dialogs_.images = {temp_ / "discs/game.iso.gz"};
  dialogs_.decompileFolders = {temp_ / "discs"};
  Click(window_->decompileButton);
  EXPECT_EQ(testkit::NamesBelow(temp_.Path() / "discs/PARCE_game"),
            (std::vector<std::string>{"LaunchMe", "Игры", "Игры/a!3Ab"}));
}

// Decompiling again over an edited folder asks first; no writes nothing.
TEST_F(WindowTest, DecompilingAgainAsksBeforeWritingIntoTheFolder) {
  fs::create_directories(temp_.Path() / "discs");
  const testkit::SampleDisc disc = testkit::MakeSampleDisc();
  testkit::WriteBytes(temp_ / "discs/game.iso", disc.image);
  dialogs_.images = {temp_ / "discs/game.iso"};
  dialogs_.decompileFolders = {temp_ / "discs"};
  EXPECT_EQ(Click(window_->decompileButton), "Образ демонтирован успешно. Выход.");
  testkit::WriteText(temp_ / "discs/PARCE_game/LaunchMe", "edited");
  testkit::WriteText(temp_ / "discs/game.log", "old log");

  dialogs_.images = {temp_ / "discs/game.iso"};
  dialogs_.decompileFolders = {temp_ / "discs"};
  dialogs_.writeInto = {false};
  EXPECT_EQ(Click(window_->decompileButton), QString());
  EXPECT_EQ(dialogs_.writeIntoAsked, std::vector<std::string>{temp_ / "discs/PARCE_game"});
  EXPECT_EQ(testkit::ReadText(temp_ / "discs/PARCE_game/LaunchMe"), "edited");
  EXPECT_EQ(testkit::ReadText(temp_ / "discs/game.log"), "old log");

  dialogs_.images = {temp_ / "discs/game.iso"};
  dialogs_.decompileFolders = {temp_ / "discs"};
  dialogs_.writeInto = {true};
  EXPECT_EQ(Click(window_->decompileButton), "Образ демонтирован успешно. Выход.");
  EXPECT_EQ(testkit::ReadBytes(temp_ / "discs/PARCE_game/LaunchMe"), disc.launchMe);
}

TEST_F(WindowTest, CancelledDialogsAndUnopenableImagesChangeNothing) {
  Click(window_->decompileButton);  // the file dialog cancelled
  dialogs_.folders = {std::nullopt};
  Click(window_->compileButton);  // the folder dialog cancelled
  dialogs_.folders = {temp_.Path().string()};
  Click(window_->compileButton);  // the save dialog cancelled
  EXPECT_EQ(dialogs_.asked, 4);
  EXPECT_TRUE(testkit::NamesBelow(temp_.Path()).empty());
  EXPECT_EQ(window_->statusLine->text(), "Ожидание");

  testkit::WriteBytes(temp_ / "junk.iso", Bytes(5000, 1));
  dialogs_.images = {temp_ / "junk.iso"};
  dialogs_.decompileFolders = {temp_.Path().string()};
  const QString status = Click(window_->decompileButton);
  EXPECT_TRUE(status.contains("no Opera volume label found")) << status.toStdString();
  EXPECT_EQ(testkit::NamesBelow(temp_.Path()), (std::vector<std::string>{"junk.iso"}));
}

TEST_F(WindowTest, CompileWritesAnImageWithTheBootArea) {
  fs::create_directories(temp_.Path() / "src/sub");
  testkit::WriteText(temp_ / "src/sub/file.txt", "content");
  testkit::WriteText(temp_ / "old.iso", "to be replaced");
  dialogs_.folders = {temp_ / "src"};
  dialogs_.targets = {temp_ / "old.iso"};
  const QString status = Click(window_->compileButton);
  EXPECT_EQ(status.toStdString(), "Image written: " + (temp_ / "old.iso"));
  Bytes image = testkit::ReadBytes(temp_ / "old.iso");
  ASSERT_GE(image.size(), 305u * 2048);
  EXPECT_EQ(std::string(image.begin() + 40, image.begin() + 46), "CD-ROM");
  EXPECT_EQ(Bytes(image.begin(), image.begin() + 2048),
            Bytes(image.begin() + 225 * 2048, image.begin() + 226 * 2048));
}

TEST_F(WindowTest, CancelStopsACompileAndKeepsTheOldImage) {
  fs::create_directories(temp_.Path() / "src");
  // A sparse file of 3 GiB: still compiling when Cancel is clicked.
  testkit::WriteText(temp_ / "src/big", "");
  fs::resize_file(temp_.Path() / "src/big", 3ull << 30);
  testkit::WriteText(temp_ / "old.iso", "the old image");
  dialogs_.folders = {temp_ / "src"};
  dialogs_.targets = {temp_ / "old.iso"};
  EXPECT_TRUE(window_->cancelButton->isHidden());
  QSignalSpy finished(window_.get(), &MainWindow::JobFinished);
  QTest::mouseClick(window_->compileButton, Qt::LeftButton);
  ASSERT_TRUE(window_->JobRunning());
  EXPECT_FALSE(window_->cancelButton->isHidden());
  QTest::mouseClick(window_->cancelButton, Qt::LeftButton);
  EXPECT_FALSE(window_->cancelButton->isEnabled());
  ASSERT_TRUE(finished.wait(20000));
  EXPECT_EQ(finished.front().front().toString().toStdString(),
            "Image not written: " + (temp_ / "old.iso") + ": not written, stopped by the user");
  EXPECT_TRUE(window_->cancelButton->isHidden());
  EXPECT_EQ(testkit::ReadText(temp_ / "old.iso"), "the old image");
  EXPECT_EQ(testkit::NamesBelow(temp_.Path()), (std::vector<std::string>{"old.iso", "src", "src/big"}));
}

TEST_F(WindowTest, DriveBranchDecompilesIntoTheChosenFolder) {
  window_->driveChoice->click();
  Click(window_->decompileButton);  // no drive offered: nothing is asked
  EXPECT_EQ(dialogs_.asked, 0);

  drives_ = {{"/dev/sr0", 5}};
  const testkit::SampleDisc disc = testkit::MakeSampleDisc();
  device_.discs["/dev/sr0"].bytes = disc.image;
  window_->imageChoice->click();
  window_->driveChoice->click();
  dialogs_.folders = {temp_ / "chosen"};
  fs::create_directories(temp_.Path() / "chosen");
  EXPECT_EQ(Click(window_->decompileButton), "Образ демонтирован успешно. Выход.");
  EXPECT_TRUE(fs::exists(temp_.Path() / "chosen/cd-rom.log"));
  EXPECT_EQ(testkit::ReadBytes(temp_ / "chosen/PARCE_CD-ROM/LaunchMe"), disc.launchMe);
  // Both options start unchecked: no block map and no label file.
  EXPECT_FALSE(fs::exists(temp_.Path() / "chosen/cd-rom.spy"));
  EXPECT_FALSE(fs::exists(temp_.Path() / "chosen/PARCE_CD-ROM/Disc label"));
  EXPECT_FALSE(device_.Locked("/dev/sr0"));
}

TEST(FolderDialogTest, TypedMissingFolderIsConfirmedThenCreatedWithItsParents) {
  testkit::TempFolder temp;
  std::vector<QString> asked;
  bool answer = false;
  FolderDialog dialog(nullptr, "/start", [&](const QString& path) {
    asked.push_back(path);
    return answer;
  });
  EXPECT_EQ(dialog.Path().toStdString(), "/start");
  const QString missing = QString::fromStdString(temp / "a/b/c");
  dialog.PathField()->setText(missing);
  dialog.show();
  dialog.accept();
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_TRUE(dialog.isVisible());  // No keeps the dialog open
  EXPECT_FALSE(fs::exists(temp.Path() / "a"));
  answer = true;
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(fs::is_directory(temp.Path() / "a/b/c"));
  EXPECT_EQ(asked.size(), 2u);

  FolderDialog existing(nullptr, "", [&](const QString&) { return false; });
  existing.PathField()->setText(QString::fromStdString(temp.Path().string()));
  existing.accept();
  EXPECT_EQ(existing.result(), QDialog::Accepted);  // an existing folder needs no question
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_NE(existing.findChild<QPushButton*>(), nullptr);
}

}  // namespace
}  // namespace zanthrel::app

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
