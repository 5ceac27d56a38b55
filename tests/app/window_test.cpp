// The window driven end to end, offscreen, with chosen answers to its dialogs.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <deque>
#include <filesystem>

#include "app/folder_dialog.h"
#include "app/label_dialog.h"
#include "app/main_window.h"
#include "support/cp1251.h"
#include "testkit/memory_device.h"
#include "support/host.h"
#include "testkit/files.h"
#include "testkit/image_builder.h"
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
  EXPECT_EQ(status.toStdString(), "Image written, 1 warning: " + testkit::NoBootFilesWarning(temp_ / "src"));
  Bytes image = testkit::ReadBytes(temp_ / "old.iso");
  ASSERT_GE(image.size(), 305u * 2048);
  EXPECT_EQ(std::string(image.begin() + 40, image.begin() + 46), "CD-ROM");
  EXPECT_EQ(Bytes(image.begin(), image.begin() + 2048),
            Bytes(image.begin() + 225 * 2048, image.begin() + 226 * 2048));
}

// "Volume label..." sits in the menu bar, the window's context menu and on
// Ctrl+L, not in the strip, whose size and tab order stay; what it answers
// goes into the compiles after.
TEST_F(WindowTest, TheVolumeLabelDialogLeavesTheStripAsItIsAndLabelsTheNextCompile) {
  window_->show();
  window_->resize(window_->minimumSizeHint());
  QApplication::processEvents();
  EXPECT_EQ(window_->strip->size(), QSize(433, 105));
  EXPECT_EQ(window_->contextMenuPolicy(), Qt::ActionsContextMenu);
  ASSERT_TRUE(window_->actions().contains(window_->volumeLabelAction));
  EXPECT_EQ(window_->volumeLabelAction->text(), "Volume label...");
  EXPECT_EQ(window_->decompileButton->nextInFocusChain(), window_->compileButton);

  dialogs_.labelAnswers = {{"Перевод", "", "0x10", ""}};
  EXPECT_EQ(window_->volumeLabelAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
  window_->volumeLabelAction->trigger();
  ASSERT_EQ(dialogs_.labelShown.size(), 1u);
  EXPECT_EQ(window_->ChosenLabelFields().volumeId, std::optional<uint32_t>(16));

  fs::create_directories(temp_.Path() / "src");
  testkit::WriteText(temp_ / "src/file.txt", "content");
  dialogs_.folders = {temp_ / "src"};
  dialogs_.targets = {temp_ / "new.iso"};
  Click(window_->compileButton);
  const Bytes image = testkit::ReadBytes(temp_ / "new.iso");
  ASSERT_GE(image.size(), 2048u);
  EXPECT_EQ(std::string(image.begin() + 40, image.begin() + 48), Utf8ToCp1251("Перевод") + '\0');
  EXPECT_EQ(image[75], 0x10);
}

// The dialog shows the fields and the problem it is given, and gives back
// what is typed, the ids without blanks around them.
TEST(LabelDialogTest, ShowsTheFieldsAndTheProblemAndGivesBackWhatIsTyped) {
  LabelDialog dialog(nullptr, {"CD", "c", "0x00000001", ""}, "Root id: \"x\" is not a 32-bit number");
  EXPECT_EQ(dialog.textEdit->text(), "CD");
  EXPECT_EQ(dialog.volumeIdEdit->text(), "0x00000001");
  EXPECT_FALSE(dialog.problemLine->isHidden());
  EXPECT_TRUE(dialog.problemLine->text().startsWith("Root id:"));
  dialog.commentEdit->setText("Комментарий");
  dialog.rootIdEdit->setText(" 77 ");
  const TypedLabelFields typed = dialog.Fields();
  EXPECT_EQ(std::vector<std::string>({typed.text, typed.comment, typed.volumeId, typed.rootId}),
            std::vector<std::string>({"CD", "Комментарий", "0x00000001", "77"}));
  EXPECT_TRUE(LabelDialog(nullptr, {}, "").problemLine->isHidden());
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

// At the window's smallest size the strip is the described one: 433 by 105,
// each control where it was placed, and growing the window moves only
// Compile ISO and the right-hand option with the right edge.
TEST_F(WindowTest, TheStripKeepsItsDescribedPlacesAtTheSmallestSize) {
  window_->show();
  window_->resize(window_->minimumSizeHint());
  QApplication::processEvents();
  EXPECT_EQ(window_->strip->size(), QSize(433, 105));
  const std::vector<std::pair<QWidget*, QRect>> described = {
      {window_->decompileButton, {8, 8, 84, 25}},    {window_->compileButton, {328, 8, 99, 25}},
      {window_->cancelButton, {184, 44, 72, 25}},    {window_->progressBar, {8, 72, 417, 13}},
      {window_->additionalInfoBox, {8, 48, 169, 17}}, {window_->discLabelBox, {264, 48, 169, 17}},
      {window_->imageChoice, {98, 4, 112, 17}},      {window_->driveChoice, {98, 22, 112, 17}},
      {window_->driveList, {212, 16, 110, 21}},      {window_->statusLine, {8, 88, 417, 15}}};
  for (const auto& [control, place] : described) {
    EXPECT_EQ(control->geometry(), place) << control->metaObject()->className();
    EXPECT_EQ(control->parentWidget(), window_->strip);
  }

  window_->resize(window_->width() + 200, window_->height() + 100);
  QApplication::processEvents();
  EXPECT_EQ(window_->strip->height(), 105);
  EXPECT_EQ(window_->compileButton->geometry(), QRect(528, 8, 99, 25));
  EXPECT_EQ(window_->decompileButton->geometry(), QRect(8, 8, 84, 25));
  EXPECT_EQ(window_->driveList->geometry(), QRect(212, 16, 110, 21));
  EXPECT_EQ(window_->statusLine->width(), 617);
  EXPECT_GT(window_->tree->height(), 100);
}

// Stands in for the desktop's opener of files, so that no program starts.
class UrlRecorder : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened << url; }
};

// The browse view below the strip, driven through its controls.
class BrowseWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    fs::create_directories(temp_.Path() / "discs");
    testkit::WriteBytes(temp_ / "discs/game.iso", disc_.image);
    window_->show();
  }
  // Waits for the job started by `act`, which must start one: its status.
  QString RunJob(const std::function<void()>& act) {
    QSignalSpy finished(window_.get(), &MainWindow::JobFinished);
    act();
    EXPECT_TRUE(window_->JobRunning());
    EXPECT_FALSE(window_->verifyButton->isEnabled());
    EXPECT_EQ(window_->statusLine->text(), "Working…");
    EXPECT_TRUE(finished.wait(20000));
    return finished.isEmpty() ? QString() : finished.front().front().toString();
  }
  QTreeWidgetItem* Item(const QString& path) {
    for (QTreeWidgetItemIterator item(window_->tree); *item; ++item) {
      if ((*item)->data(0, Qt::UserRole).toString() == path) return *item;
    }
    ADD_FAILURE() << "no entry " << path.toStdString();
    return nullptr;
  }
  // The window's modal dialog, closed once read.
  template <typename Dialog>
  QPointer<Dialog> ModalDialog() {
    QPointer<Dialog> dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    EXPECT_NE(dialog, nullptr);
    return dialog;
  }
  // A drag of the local `path` over the window, then its drop; whether the
  // window took the drag.
  bool Drop(const std::string& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(20, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(20, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &drop);
    return true;
  }

  const testkit::SampleDisc disc_ = testkit::MakeSampleDisc();
};

TEST_F(BrowseWindowTest, AnOpenedImageShowsItsTreeAndTwoSelectedFilesExtractAsDecompileWritesThem) {
  EXPECT_FALSE(window_->windowIcon().isNull());
  EXPECT_FALSE(window_->extractButton->isEnabled());
  EXPECT_FALSE(window_->verifyButton->isEnabled());
  dialogs_.images = {temp_ / "discs/game.iso"};
  dialogs_.decompileFolders = {temp_ / "discs"};
  EXPECT_EQ(RunJob([&] { window_->decompileButton->click(); }), "Образ демонтирован успешно. Выход.");

  // The image decompiled is shown: the volume, and the tree under the host's names.
  EXPECT_TRUE(window_->summary->text().contains("Label: CD-ROM")) << window_->summary->text().toStdString();
  EXPECT_TRUE(window_->summary->text().contains("Folders: 1, files: 2"));
  ASSERT_EQ(window_->tree->topLevelItemCount(), 2);
  QTreeWidgetItem* launchMe = Item("LaunchMe");
  QTreeWidgetItem* ab = Item("Игры/a!3Ab");
  ASSERT_TRUE(launchMe && ab);
  EXPECT_EQ(ab->parent(), Item("Игры"));
  EXPECT_EQ(ab->text(0), "a!3Ab");
  const QStringList columns = {launchMe->text(0), launchMe->text(1), launchMe->text(3), launchMe->text(4)};
  EXPECT_EQ(columns, (QStringList{"LaunchMe", "5000", "1", "3"}));
  EXPECT_EQ(window_->tree->columnCount(), 5);

  EXPECT_FALSE(window_->extractButton->isEnabled());  // nothing selected
  launchMe->setSelected(true);
  ab->setSelected(true);
  ASSERT_TRUE(window_->extractButton->isEnabled());
  fs::create_directories(temp_.Path() / "out");
  dialogs_.folders = {temp_ / "out"};
  EXPECT_EQ(RunJob([&] { window_->extractButton->click(); }).toStdString(), "Extracted 2 into " + (temp_ / "out"));
  EXPECT_EQ(testkit::NamesBelow(temp_.Path() / "out"), (std::vector<std::string>{"LaunchMe", "a!3Ab"}));
  EXPECT_EQ(testkit::ReadBytes(temp_ / "out/LaunchMe"), testkit::ReadBytes(temp_ / "discs/PARCE_game/LaunchMe"));
  EXPECT_EQ(testkit::ReadBytes(temp_ / "out/a!3Ab"), testkit::ReadBytes(temp_ / "discs/PARCE_game/Игры/a!3Ab"));
  EXPECT_TRUE(window_->verifyButton->isEnabled());
}

TEST_F(BrowseWindowTest, VerifyShowsItsReportAndConvertWritesAChd) {
  window_->OpenImage(QString::fromStdString(temp_ / "discs/game.iso"));
  QSignalSpy finished(window_.get(), &MainWindow::JobFinished);
  ASSERT_TRUE(finished.wait(20000));
  EXPECT_EQ(RunJob([&] { window_->verifyButton->click(); }), "Verify: clean");
  QPointer<QDialog> report = ModalDialog<QDialog>();
  ASSERT_TRUE(report);
  const QPlainTextEdit* text = report->findChild<QPlainTextEdit*>();
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(text->toPlainText().endsWith("\nclean\n")) << text->toPlainText().toStdString();
  report->close();

  dialogs_.targets = {temp_ / "game.chd"};
  EXPECT_EQ(RunJob([&] { window_->convertButton->click(); }).toStdString(), "Image written: " + (temp_ / "game.chd"));
  EXPECT_EQ(dialogs_.targetsOffered, std::vector<std::string>{(temp_ / "discs") + " | game.chd"});
  const testkit::Bytes chd = testkit::ReadBytes(temp_ / "game.chd");
  ASSERT_GE(chd.size(), 8u);
  EXPECT_EQ(std::string(chd.begin(), chd.begin() + 8), "MComprHD");
  // The CHD reads as the image did.
  EXPECT_TRUE(Drop(temp_ / "game.chd"));
  ASSERT_TRUE(finished.wait(20000));
  EXPECT_TRUE(window_->summary->text().contains("CHD")) << window_->summary->text().toStdString();
  EXPECT_NE(Item("Игры/a!3Ab"), nullptr);
}

TEST_F(BrowseWindowTest, CancelStopsALongExtract) {
  // A root holding one file of almost 4 GiB of zeros.
  testkit::WriteImageWithOneLargeFile(temp_ / "big.iso", 0xFFFFF000u);
  RunJob([&] { window_->OpenImage(QString::fromStdString(temp_ / "big.iso")); });
  Item("big")->setSelected(true);
  fs::create_directories(temp_.Path() / "out");
  dialogs_.folders = {temp_ / "out"};
  QSignalSpy finished(window_.get(), &MainWindow::JobFinished);
  window_->extractButton->click();
  ASSERT_TRUE(window_->JobRunning());
  EXPECT_TRUE(window_->cancelButton->isVisible());
  window_->cancelButton->click();
  EXPECT_FALSE(window_->cancelButton->isEnabled());
  ASSERT_TRUE(finished.wait(20000));
  EXPECT_TRUE(finished.front().front().toString().startsWith("Extract stopped by the user"));
  EXPECT_TRUE(testkit::NamesBelow(temp_.Path() / "out").empty());
  EXPECT_TRUE(window_->cancelButton->isHidden());
}

TEST_F(BrowseWindowTest, AFailedJobShowsItsWholeReasonWithTheLogAndTheStatusItsFirstLine) {
  UrlRecorder opener;
  QDesktopServices::setUrlHandler("file", &opener, "Open");
  testkit::Bytes broken = disc_.image;
  std::fill(broken.begin() + 2048, broken.begin() + 2 * 2048, 0xFF);  // the root unreadable
  testkit::WriteBytes(temp_ / "discs/broken.iso", broken);
  dialogs_.images = {temp_ / "discs/broken.iso"};
  dialogs_.decompileFolders = {temp_ / "discs"};
  const QString status = RunJob([&] { window_->decompileButton->click(); });
  QPointer<QMessageBox> box = ModalDialog<QMessageBox>();
  ASSERT_TRUE(box);
  EXPECT_EQ(box, window_->failureBox);
  const std::string log = temp_ / "discs/broken.log";
  EXPECT_TRUE(box->text().startsWith(status));
  EXPECT_TRUE(box->text().endsWith(QString::fromStdString("Log: " + log))) << box->text().toStdString();
  EXPECT_EQ(window_->statusLine->text(), status);
  EXPECT_EQ(window_->statusLine->toolTip(), box->text());
  QPushButton* openLog = nullptr;
  for (QAbstractButton* button : box->buttons()) {
    if (button->text() == "Open log") openLog = qobject_cast<QPushButton*>(button);
  }
  ASSERT_NE(openLog, nullptr);
  openLog->click();
  EXPECT_EQ(opener.opened, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(log))});
  EXPECT_TRUE(box->isVisible());
  box->close();
  QDesktopServices::unsetUrlHandler("file");

  // De-Compile from a drive when there is none says so.
  window_->driveChoice->click();
  window_->decompileButton->click();
  EXPECT_FALSE(window_->JobRunning());
  EXPECT_EQ(window_->statusLine->text(), "No CD-ROM or removable drive found");
  box = ModalDialog<QMessageBox>();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text(), "No CD-ROM or removable drive found");
  EXPECT_EQ(box->buttons().size(), 1);  // no log to open
  box->close();
  EXPECT_EQ(dialogs_.asked, 2);
}

TEST_F(BrowseWindowTest, ADroppedFileOpensAndADroppedFolderOffersCompileIso) {
  EXPECT_TRUE(Drop(temp_ / "discs/game.iso"));
  QSignalSpy finished(window_.get(), &MainWindow::JobFinished);
  ASSERT_TRUE(finished.wait(20000));
  EXPECT_NE(Item("LaunchMe"), nullptr);

  fs::create_directories(temp_.Path() / "work/src");
  testkit::WriteText(temp_ / "work/src/file", "content");
  dialogs_.compileFolder = {true};
  dialogs_.targets = {temp_ / "work/src.iso"};
  EXPECT_TRUE(Drop(temp_ / "work/src"));
  ASSERT_TRUE(finished.wait(20000));
  EXPECT_EQ(finished.back().front().toString().toStdString(),
            "Image written, 1 warning: " + testkit::NoBootFilesWarning(temp_ / "work/src"));
  EXPECT_TRUE(fs::is_regular_file(temp_.Path() / "work/src.iso"));
  EXPECT_EQ(dialogs_.targetsOffered, std::vector<std::string>{(temp_ / "work") + " | src.iso"});
  // The image shown stays while a folder is compiled.
  EXPECT_NE(Item("LaunchMe"), nullptr);
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

#include "window_test.moc"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
