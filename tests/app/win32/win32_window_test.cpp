// The Windows window driven end to end through its controls' own messages,
// with chosen answers to its dialogs; its own boxes, and the folder dialog,
// run as the user meets them, read and clicked by a timer inside their
// modal loops.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <dlgs.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>

#include "app/win32/file_dialogs.h"
#include "app/win32/folder_dialog.h"
#include "app/win32/dialog_template.h"
#include "app/win32/main_window.h"
#include "app/win32/text_dialog.h"
#include "app/win32/wide_text.h"
#include "support/cp1251.h"
#include "testkit/files.h"
#include "testkit/image_builder.h"
#include "testkit/memory_device.h"
#include "testkit/process.h"
#include "testkit/sample_disc.h"
#include "testkit/scripted_dialogs.h"
#include "testkit/temp_folder.h"

namespace zanthrel::app {
namespace {

namespace fs = std::filesystem;
using testkit::Bytes;
using testkit::ScriptedDialogs;

// The window takes and gives paths in UTF-8, while std::filesystem reads a
// narrow string in the ANSI code page.
std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string TextOf(HWND control) {
  std::wstring text(size_t(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(size_t(GetWindowTextW(control, text.data(), int(text.size()))));
  return WideToUtf8(text);
}

bool Checked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// Dispatches the window's messages until `done` or 20 seconds.
bool PumpUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(2);
  }
  return true;
}

void Press(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// Answers every box of the title that the window shows, from a timer that
// runs inside the box's modal loop: keeps its text, then presses `button`.
class BoxWatcher {
 public:
  explicit BoxWatcher(std::wstring title) : title_(std::move(title)) {
    window_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowSubclass(window_, OnTimer, 1, reinterpret_cast<DWORD_PTR>(this));
    SetTimer(window_, 1, 30, nullptr);
  }
  ~BoxWatcher() { DestroyWindow(window_); }
  BoxWatcher(const BoxWatcher&) = delete;
  BoxWatcher& operator=(const BoxWatcher&) = delete;

  int button = IDOK;
  // The text of each box, in turn, and whether it had the button to open a log.
  std::vector<std::string> texts;
  std::vector<bool> withLogButton;

 private:
  static LRESULT CALLBACK OnTimer(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR self) {
    if (message != WM_TIMER) return DefSubclassProc(window, message, wParam, lParam);
    reinterpret_cast<BoxWatcher*>(self)->Tick();
    return 0;
  }
  void Tick() {
    HWND box = FindWindowW(L"#32770", title_.c_str());
    if (!box || !IsWindowVisible(box)) return;
    std::string text = TextOf(GetDlgItem(box, kTextField));
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    texts.push_back(text);
    withLogButton.push_back(GetDlgItem(box, kOpenLogButton) != nullptr);
    Press(box, GetDlgItem(box, button) ? button : IDOK);
  }

  std::wstring title_;
  HWND window_;
};

// A control's place in its window's client area.
RECT PlaceOf(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::vector<int> Box(const RECT& rect) {
  return {int(rect.left), int(rect.top), int(rect.right - rect.left), int(rect.bottom - rect.top)};
}

// Explorer's drop of `paths`: a DROPFILES with the wide paths behind it,
// each ended by a zero, with one more zero at the end. The window owns it
// once it is sent.
HDROP MakeDrop(const std::vector<std::string>& paths) {
  std::wstring names;
  for (const std::string& path : paths) names += Utf8ToWide(path) + L'\0';
  names += L'\0';
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::copy(names.begin(), names.end(), reinterpret_cast<wchar_t*>(drop + 1));
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

class Win32WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    services_.dialogs = &dialogs_;
    services_.listDrives = [this] { return drives_; };
    services_.device = &device_;
    window_ = std::make_unique<MainWindow>(services_);
    window_->onJobFinished = [this](const std::string& status) { finished_.push_back(status); };
    ShowWindow(window_->Handle(), SW_SHOW);
  }
  // Clicks as the mouse would; the status text of the job it started, if any.
  std::string Click(HWND button) {
    return RunJob([button] { SendMessageW(button, BM_CLICK, 0, 0); });
  }
  // A command of the menu bar, as choosing it sends it.
  std::string Choose(int command) {
    return RunJob([this, command] { SendMessageW(window_->Handle(), WM_COMMAND, MAKEWPARAM(command, 0), 0); });
  }
  std::string Drop(const std::vector<std::string>& paths) {
    return RunJob(
        [&] { SendMessageW(window_->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0); });
  }
  // Does `act`; when it started a job, waits for its end and checks the
  // controls on the way.
  std::string RunJob(const std::function<void()>& act) {
    const size_t before = finished_.size();
    act();
    if (!window_->JobRunning()) return "";
    EXPECT_FALSE(IsWindowEnabled(window_->decompileButton));
    EXPECT_FALSE(IsWindowEnabled(window_->compileButton));
    EXPECT_TRUE(IsWindowVisible(window_->progressBar));
    EXPECT_TRUE(PumpUntil([&] { return finished_.size() > before; }));
    EXPECT_TRUE(IsWindowEnabled(window_->decompileButton));
    EXPECT_TRUE(IsWindowEnabled(window_->compileButton));
    EXPECT_FALSE(IsWindowVisible(window_->progressBar));
    EXPECT_FALSE(IsWindowVisible(window_->cancelButton));
    return finished_.size() > before ? finished_.back() : "";
  }
  std::vector<std::string> ComboItems() {
    std::vector<std::string> items;
    const LRESULT count = SendMessageW(window_->driveList, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      std::wstring item(size_t(SendMessageW(window_->driveList, CB_GETLBTEXTLEN, WPARAM(i), 0)) + 1, L'\0');
      item.resize(size_t(SendMessageW(window_->driveList, CB_GETLBTEXT, WPARAM(i),
                                      reinterpret_cast<LPARAM>(item.data()))));
      items.push_back(WideToUtf8(item));
    }
    return items;
  }
  LRESULT ComboSelection() { return SendMessageW(window_->driveList, CB_GETCURSEL, 0, 0); }
  // The first column of every row of the tree.
  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    const LRESULT count = SendMessageW(window_->entryList, LVM_GETITEMCOUNT, 0, 0);
    for (LRESULT row = 0; row < count; ++row) rows.push_back(Cell(int(row), 0));
    return rows;
  }
  std::string Cell(int row, int column) {
    std::wstring text(1024, L'\0');
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text.data();
    item.cchTextMax = int(text.size());
    text.resize(size_t(SendMessageW(window_->entryList, LVM_GETITEMTEXTW, WPARAM(row), reinterpret_cast<LPARAM>(&item))));
    return WideToUtf8(text);
  }
  void Select(const std::vector<std::string>& rows) {
    const std::vector<std::string> all = Rows();
    for (const std::string& row : rows) {
      const auto found = std::find(all.begin(), all.end(), row);
      ASSERT_NE(found, all.end()) << row;
      LVITEMW state{};
      state.stateMask = LVIS_SELECTED;
      state.state = LVIS_SELECTED;
      SendMessageW(window_->entryList, LVM_SETITEMSTATE, WPARAM(found - all.begin()), reinterpret_cast<LPARAM>(&state));
    }
  }
  std::string TipText() {
    std::wstring text(4096, L'\0');
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = window_->Handle();
    tool.uId = reinterpret_cast<UINT_PTR>(window_->statusLine);
    tool.lpszText = text.data();
    SendMessageW(window_->statusTip, TTM_GETTEXTW, WPARAM(text.size()), reinterpret_cast<LPARAM>(&tool));
    text.resize(text.find(L'\0'));
    return WideToUtf8(text);
  }
  // What decompile writes of the image `name` in the temporary folder, by
  // path below its PARCE_ folder.
  std::map<std::string, std::string> Decompiled(const std::string& name) {
    DecompileRequest request = ImageDecompileRequest(temp_ / name, false, false);
    request.outputDir = temp_ / "decompiled";
    EXPECT_TRUE(DecompileImageFile(request).opened);
    return testkit::TreeOf(temp_ / ("decompiled/PARCE_" + name.substr(0, name.find('.'))));
  }

  testkit::TempFolder temp_;
  BoxWatcher failures_{kFailureDialogTitle};
  BoxWatcher reports_{L"Verify"};
  ScriptedDialogs dialogs_;
  std::vector<DriveEntry> drives_;
  MemoryDevice device_;
  WindowServices services_;
  std::unique_ptr<MainWindow> window_;
  std::vector<std::string> finished_;
};

TEST_F(Win32WindowTest, OpensWithTheControlsTextsAndTabOrderOfTheQtWindow) {
  EXPECT_EQ(TextOf(window_->Handle()), "Zanthrel " ZANTHREL_VERSION " [https://zanthrel.org]");
  EXPECT_EQ(TextOf(window_->decompileButton), "De-Compile");
  EXPECT_EQ(TextOf(window_->compileButton), "Compile ISO");
  EXPECT_EQ(TextOf(window_->additionalInfoBox), "Create additional info");
  EXPECT_EQ(TextOf(window_->discLabelBox), "Extract \"Disc label\"");
  EXPECT_EQ(TextOf(window_->imageChoice), "ISO, BIN, NRG");
  EXPECT_EQ(TextOf(window_->driveChoice), "CD-ROM");
  EXPECT_EQ(TextOf(window_->statusLine), "Ожидание");
  EXPECT_TRUE(Checked(window_->imageChoice));
  EXPECT_FALSE(Checked(window_->driveChoice));
  EXPECT_FALSE(Checked(window_->additionalInfoBox));
  EXPECT_FALSE(Checked(window_->discLabelBox));
  for (HWND hidden : {window_->driveList, window_->progressBar, window_->cancelButton}) {
    EXPECT_FALSE(IsWindowVisible(hidden));
  }
  // Tab walks the buttons, the boxes, then the chosen radio button, and
  // on below the strip.
  std::vector<HWND> order{window_->decompileButton};
  for (int i = 0; i < 5; ++i) {
    order.push_back(GetNextDlgTabItem(window_->Handle(), order.back(), FALSE));
  }
  EXPECT_EQ(order, (std::vector<HWND>{window_->decompileButton, window_->compileButton,
                                      window_->additionalInfoBox, window_->discLabelBox,
                                      window_->imageChoice, window_->entryList}));
}

// The window opens with room for the tree; made as small as it goes, it is
// the strip with every control where it was.
TEST_F(Win32WindowTest, ResizesDownToTheStripAndTheTreeFillsTheRest) {
  HWND window = window_->Handle();
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_GT(client.bottom, 300);
  SetWindowPos(window, nullptr, 0, 0, 50, 50, SWP_NOMOVE | SWP_NOZORDER);
  GetClientRect(window, &client);
  EXPECT_EQ(Box(client), (std::vector<int>{0, 0, 433, 105}));
  EXPECT_EQ(Box(PlaceOf(window_->decompileButton)), (std::vector<int>{8, 8, 84, 25}));
  EXPECT_EQ(Box(PlaceOf(window_->compileButton)), (std::vector<int>{328, 8, 99, 25}));
  EXPECT_EQ(Box(PlaceOf(window_->imageChoice)), (std::vector<int>{98, 4, 112, 17}));
  EXPECT_EQ(Box(PlaceOf(window_->driveChoice)), (std::vector<int>{98, 22, 112, 17}));
  EXPECT_EQ(Box(PlaceOf(window_->additionalInfoBox)), (std::vector<int>{8, 48, 169, 17}));
  EXPECT_EQ(Box(PlaceOf(window_->discLabelBox)), (std::vector<int>{264, 48, 169, 17}));
  EXPECT_EQ(Box(PlaceOf(window_->cancelButton)), (std::vector<int>{184, 44, 72, 25}));
  EXPECT_EQ(Box(PlaceOf(window_->progressBar)), (std::vector<int>{8, 72, 417, 13}));
  EXPECT_EQ(Box(PlaceOf(window_->statusLine)), (std::vector<int>{8, 88, 417, 15}));

  SetClientSize(window, 800, 600);
  EXPECT_EQ(Box(PlaceOf(window_->compileButton)), (std::vector<int>{695, 8, 99, 25}));
  EXPECT_EQ(Box(PlaceOf(window_->statusLine)), (std::vector<int>{8, 88, 784, 15}));
  const RECT list = PlaceOf(window_->entryList);
  EXPECT_EQ(list.right, 792);
  EXPECT_EQ(list.bottom, 592);
  EXPECT_GT(list.top, PlaceOf(window_->extractButton).bottom);
  EXPECT_GT(PlaceOf(window_->summaryText).top, 105);
}

// The icon in the caption and the exe's version resource, from the
// resource script that zanthrel.exe is linked with too.
TEST_F(Win32WindowTest, WindowShowsItsIconAndTheExeCarriesItsVersion) {
  EXPECT_NE(SendMessageW(window_->Handle(), WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_NE(SendMessageW(window_->Handle(), WM_GETICON, ICON_SMALL, 0), 0);
  std::wstring exe(MAX_PATH, L'\0');
  exe.resize(GetModuleFileNameW(nullptr, exe.data(), DWORD(exe.size())));
  std::vector<BYTE> info(GetFileVersionInfoSizeW(exe.c_str(), nullptr));
  ASSERT_FALSE(info.empty());
  ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, DWORD(info.size()), info.data()));
  wchar_t* version = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040904B0\\ProductVersion",
                             reinterpret_cast<void**>(&version), &length));
  EXPECT_EQ(WideToUtf8(version), ZANTHREL_VERSION);
  VS_FIXEDFILEINFO* fixed = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
}

TEST_F(Win32WindowTest, RadioSwitchingRefillsAndHidesTheDriveList) {
  drives_ = {{"C:", 3}, {"E:", 2}, {"D:", 5}, {"R:", 6}};
  Click(window_->driveChoice);
  EXPECT_TRUE(Checked(window_->driveChoice));
  EXPECT_TRUE(IsWindowVisible(window_->driveList));
  EXPECT_EQ(ComboItems(), (std::vector<std::string>{"E:", "D:"}));
  EXPECT_EQ(ComboSelection(), 0);
  SendMessageW(window_->driveList, CB_SETCURSEL, 1, 0);

  // Clicking the selected radio button fires nothing: the list stays.
  drives_ = {{"F:", 5}};
  Click(window_->driveChoice);
  EXPECT_EQ(ComboItems(), (std::vector<std::string>{"E:", "D:"}));
  Click(window_->imageChoice);
  EXPECT_FALSE(IsWindowVisible(window_->driveList));
  EXPECT_EQ(ComboItems().size(), 2u);  // kept while hidden
  EXPECT_EQ(ComboSelection(), 1);
  Click(window_->driveChoice);
  EXPECT_EQ(ComboItems(), std::vector<std::string>{"F:"});
}

TEST_F(Win32WindowTest, DecompileWritesBesideTheImageWithTheOptions) {
  const fs::path folder = temp_.Path() / u8"Образы";
  fs::create_directories(folder);
  testkit::WriteGzip(temp_ / "game.iso.gz", testkit::MakeSampleDisc().image);
  fs::rename(temp_.Path() / "game.iso.gz", folder / "game.iso.gz");
  dialogs_.images = {Utf8(folder / "game.iso.gz")};
  dialogs_.decompileFolders = {Utf8(folder)};
  SendMessageW(window_->additionalInfoBox, BM_CLICK, 0, 0);
  SendMessageW(window_->discLabelBox, BM_CLICK, 0, 0);
  EXPECT_EQ(Click(window_->decompileButton), "Образ демонтирован успешно. Выход.");
  EXPECT_EQ(dialogs_.decompileFolderProposed, std::vector<std::string>{Utf8(folder)});
  EXPECT_EQ(TextOf(window_->statusLine), "Образ демонтирован успешно. Выход.");
  for (const char* name : {"PARCE_game/LaunchMe", "PARCE_game/Disc label", "game.spy", "game.log"}) {
    EXPECT_TRUE(fs::exists(folder / name)) << name;
  }
}

// Another folder chosen is where the next De-Compile offers to write.
TEST_F(Win32WindowTest, DecompileWritesIntoTheFolderChosenAndOffersItNextTime) {
  testkit::WriteBytes(temp_ / "game.iso", testkit::MakeSampleDisc().image);
  fs::create_directories(temp_.Path() / "out");
  for (int run = 0; run < 2; ++run) {
    dialogs_.images = {temp_ / "game.iso"};
    dialogs_.decompileFolders = {temp_ / "out"};
    dialogs_.writeInto = {true};
    EXPECT_EQ(Click(window_->decompileButton), "Образ демонтирован успешно. Выход.");
  }
  EXPECT_EQ(dialogs_.decompileFolderProposed, (std::vector<std::string>{Utf8(temp_.Path()), temp_ / "out"}));
  EXPECT_TRUE(fs::exists(temp_.Path() / "out/PARCE_game/LaunchMe"));
  EXPECT_FALSE(fs::exists(temp_.Path() / "PARCE_game"));
}

// Decompiling again over an edited folder asks first; no writes nothing.
TEST_F(Win32WindowTest, DecompilingAgainAsksBeforeWritingIntoTheFolder) {
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
  Click(window_->decompileButton);
  EXPECT_EQ(dialogs_.writeIntoAsked.size(), 1u);
  EXPECT_EQ(testkit::ReadText(temp_ / "discs/PARCE_game/LaunchMe"), "edited");
  EXPECT_EQ(testkit::ReadText(temp_ / "discs/game.log"), "old log");

  dialogs_.images = {temp_ / "discs/game.iso"};
  dialogs_.decompileFolders = {temp_ / "discs"};
  dialogs_.writeInto = {true};
  EXPECT_EQ(Click(window_->decompileButton), "Образ демонтирован успешно. Выход.");
  EXPECT_EQ(testkit::ReadBytes(temp_ / "discs/PARCE_game/LaunchMe"), disc.launchMe);
}

TEST_F(Win32WindowTest, CancelledDialogsAndUnopenableImagesChangeNothing) {
  Click(window_->decompileButton);  // the file dialog cancelled
  dialogs_.folders = {std::nullopt};
  Click(window_->compileButton);  // the folder dialog cancelled
  dialogs_.folders = {Utf8(temp_.Path())};
  Click(window_->compileButton);  // the save dialog cancelled
  EXPECT_EQ(dialogs_.asked, 4);
  EXPECT_TRUE(testkit::NamesBelow(temp_.Path()).empty());
  EXPECT_EQ(TextOf(window_->statusLine), "Ожидание");

  testkit::WriteBytes(temp_ / "junk.iso", Bytes(5000, 1));
  dialogs_.images = {temp_ / "junk.iso"};
  dialogs_.decompileFolders = {Utf8(temp_.Path())};
  const std::string status = Click(window_->decompileButton);
  EXPECT_NE(status.find("no Opera volume label found"), std::string::npos) << status;
  EXPECT_EQ(failures_.texts, std::vector<std::string>{status});
  EXPECT_EQ(testkit::NamesBelow(temp_.Path()), std::vector<std::string>{"junk.iso"});
}

// "Volume label..." is an item of the menu bar, outside the client area that
// the strip fills; what its dialog answers labels the compiles after.
TEST_F(Win32WindowTest, TheVolumeLabelMenuItemLabelsTheNextCompile) {
  HMENU bar = GetMenu(window_->Handle());
  ASSERT_NE(bar, nullptr);
  HMENU options = GetSubMenu(bar, 1);
  ASSERT_NE(options, nullptr);
  wchar_t text[64] = {};
  GetMenuStringW(bar, 1, text, 64, MF_BYPOSITION);
  EXPECT_EQ(std::wstring(text), L"&Options");
  GetMenuStringW(options, 0, text, 64, MF_BYPOSITION);
  EXPECT_EQ(std::wstring(text), L"Volume label...");

  dialogs_.labelAnswers = {{"Перевод", "", "", "0x20"}};
  SendMessageW(window_->Handle(), WM_COMMAND, MAKEWPARAM(GetMenuItemID(options, 0), 0), 0);
  ASSERT_EQ(dialogs_.labelShown.size(), 1u);

  fs::create_directories(temp_.Path() / "src");
  testkit::WriteText(temp_ / "src/file.txt", "content");
  dialogs_.folders = {temp_ / "src"};
  dialogs_.targets = {temp_ / "new.iso"};
  Click(window_->compileButton);
  const Bytes image = testkit::ReadBytes(temp_ / "new.iso");
  ASSERT_GE(image.size(), 2048u);
  EXPECT_EQ(std::string(image.begin() + 40, image.begin() + 48), Utf8ToCp1251("Перевод") + '\0');
  EXPECT_EQ(image[87], 0x20);
}

TEST_F(Win32WindowTest, CompileReplacesTheImageAndCancelKeepsTheOldOne) {
  fs::create_directories(temp_.Path() / "src/sub");
  testkit::WriteText(temp_ / "src/sub/file.txt", "content");
  testkit::WriteText(temp_ / "old.iso", "to be replaced");
  dialogs_.folders = {temp_ / "src"};
  dialogs_.targets = {temp_ / "old.iso"};
  EXPECT_EQ(Click(window_->compileButton), "Image written, 1 warning: " + testkit::NoBootFilesWarning(temp_ / "src"));
  const Bytes image = testkit::ReadBytes(temp_ / "old.iso");
  ASSERT_GE(image.size(), 305u * 2048);
  EXPECT_EQ(std::string(image.begin() + 40, image.begin() + 46), "CD-ROM");

  // A sparse file of 3 GiB: still compiling when Cancel is clicked.
  testkit::WriteText(temp_ / "src/big", "");
  fs::resize_file(temp_.Path() / "src/big", 3ull << 30);
  testkit::WriteText(temp_ / "old.iso", "the old image");
  dialogs_.folders = {temp_ / "src"};
  dialogs_.targets = {temp_ / "old.iso"};
  SendMessageW(window_->compileButton, BM_CLICK, 0, 0);
  ASSERT_TRUE(window_->JobRunning());
  EXPECT_TRUE(IsWindowVisible(window_->cancelButton));
  SendMessageW(window_->cancelButton, BM_CLICK, 0, 0);
  EXPECT_FALSE(IsWindowEnabled(window_->cancelButton));
  ASSERT_TRUE(PumpUntil([&] { return !finished_.empty() && finished_.size() == 2; }));
  EXPECT_EQ(finished_.back(),
            "Image not written: " + (temp_ / "old.iso") + ": not written, stopped by the user");
  EXPECT_EQ(testkit::ReadText(temp_ / "old.iso"), "the old image");
  EXPECT_EQ(testkit::NamesBelow(temp_.Path()),
            (std::vector<std::string>{"old.iso", "src", "src/big", "src/sub", "src/sub/file.txt"}));
}

TEST_F(Win32WindowTest, DriveBranchDecompilesIntoTheChosenFolder) {
  Click(window_->driveChoice);
  Click(window_->decompileButton);  // no drive offered: nothing is asked, and the box says so
  EXPECT_EQ(dialogs_.asked, 0);
  EXPECT_EQ(failures_.texts, std::vector<std::string>{"No CD-ROM or removable drive found"});
  EXPECT_EQ(TextOf(window_->statusLine), "No CD-ROM or removable drive found");

  drives_ = {{"D:", 5}};
  const testkit::SampleDisc disc = testkit::MakeSampleDisc();
  device_.discs["D:"].bytes = disc.image;
  Click(window_->imageChoice);
  Click(window_->driveChoice);
  fs::create_directories(temp_.Path() / "chosen");
  dialogs_.folders = {temp_ / "chosen"};
  EXPECT_EQ(Click(window_->decompileButton), "Образ демонтирован успешно. Выход.");
  EXPECT_TRUE(fs::exists(temp_.Path() / "chosen/cd-rom.log"));
  EXPECT_EQ(testkit::ReadBytes(temp_ / "chosen/PARCE_CD-ROM/LaunchMe"), disc.launchMe);
  EXPECT_FALSE(fs::exists(temp_.Path() / "chosen/PARCE_CD-ROM/Disc label"));
  EXPECT_FALSE(device_.Locked("D:"));
}

// The sample disc opened from the menu, from a dropped file and from a
// path given on start: each shows the volume and the tree of the names
// decompile writes; two files taken out have decompile's bytes.
TEST_F(Win32WindowTest, OpenedImageShowsItsTreeAndExtractsSelectedFilesAsDecompileDoes) {
  const testkit::SampleDisc disc = testkit::MakeSampleDisc();
  testkit::WriteBytes(temp_ / "game.iso", disc.image);
  const std::map<std::string, std::string> decompiled = Decompiled("game.iso");
  EXPECT_FALSE(IsWindowEnabled(window_->extractButton));

  dialogs_.images = {temp_ / "game.iso"};
  EXPECT_NE(Choose(kOpenCommand), "");
  std::vector<std::string> names;
  for (const auto& [path, content] : decompiled) names.push_back(path);
  const std::vector<std::string> shown = Rows();
  std::vector<std::string> rows = shown;
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, names);
  const std::string summary = TextOf(window_->summaryText);
  EXPECT_NE(summary.find("CD-ROM"), std::string::npos) << summary;
  const int launchMe = int(std::find(shown.begin(), shown.end(), "LaunchMe") - shown.begin());
  EXPECT_EQ((std::vector<std::string>{Cell(launchMe, 1), Cell(launchMe, 3), Cell(launchMe, 4)}),
            (std::vector<std::string>{"5000", "1", "3"}));
  for (HWND button : {window_->extractButton, window_->verifyButton, window_->convertButton}) {
    EXPECT_TRUE(IsWindowEnabled(button));
  }

  // Nothing selected: nothing asked.
  Click(window_->extractButton);
  EXPECT_TRUE(dialogs_.folders.empty());
  const std::string gamesFile = *std::find_if(names.begin(), names.end(), [](const std::string& name) {
    return name.find('/') != std::string::npos && name.back() != '/';
  });
  Select({"LaunchMe", gamesFile});
  fs::create_directories(temp_.Path() / "taken");
  dialogs_.folders = {temp_ / "taken"};
  EXPECT_NE(Click(window_->extractButton), "");
  EXPECT_TRUE(failures_.texts.empty());
  const std::string gamesName = gamesFile.substr(gamesFile.rfind('/') + 1);
  EXPECT_EQ(testkit::TreeOf(temp_ / "taken"),
            (std::map<std::string, std::string>{{"LaunchMe", decompiled.at("LaunchMe")},
                                                {gamesName, decompiled.at(gamesFile)}}));

  // Dropped, another image takes the tree's place.
  testkit::ImageBuilder other(3);
  other.Label({});
  other.Directory(1, {testkit::FileEntry("only", 2, 7)});
  testkit::WriteBytes(temp_ / "other.iso", other.Image());
  Drop({temp_ / "other.iso"});
  EXPECT_EQ(Rows(), std::vector<std::string>{"only"});
}

TEST_F(Win32WindowTest, VerifyShowsTheReportAndConvertWritesAChdThatOpensAlike) {
  testkit::WriteBytes(temp_ / "game.iso", testkit::MakeSampleDisc().image);
  dialogs_.images = {temp_ / "game.iso"};
  Choose(kOpenCommand);
  const std::vector<std::string> rows = Rows();

  Click(window_->verifyButton);
  ASSERT_EQ(reports_.texts.size(), 1u);
  EXPECT_NE(reports_.texts[0].find("game.iso"), std::string::npos) << reports_.texts[0];
  EXPECT_NE(reports_.texts[0].find("clean"), std::string::npos) << reports_.texts[0];

  dialogs_.targets = {temp_ / "game.chd"};
  EXPECT_EQ(Click(window_->convertButton), "Image written: " + (temp_ / "game.chd"));
  EXPECT_EQ(dialogs_.targetsOffered, std::vector<std::string>{Utf8(temp_.Path()) + " | game.chd"});
  const Bytes chd = testkit::ReadBytes(temp_ / "game.chd");
  ASSERT_GE(chd.size(), 8u);
  EXPECT_EQ(std::string(chd.begin(), chd.begin() + 8), "MComprHD");
  Drop({temp_ / "game.chd"});
  EXPECT_EQ(Rows(), rows);
  EXPECT_TRUE(failures_.texts.empty());
}

TEST_F(Win32WindowTest, CancelStopsALongExtract) {
  testkit::WriteImageWithOneLargeFile(temp_ / "big.iso", 1u << 30);
  Drop({temp_ / "big.iso"});
  ASSERT_EQ(Rows(), std::vector<std::string>{"big"});
  Select({"big"});
  fs::create_directories(temp_.Path() / "taken");
  dialogs_.folders = {temp_ / "taken"};
  SendMessageW(window_->extractButton, BM_CLICK, 0, 0);
  ASSERT_TRUE(window_->JobRunning());
  EXPECT_FALSE(IsWindowEnabled(window_->verifyButton));
  SendMessageW(window_->cancelButton, BM_CLICK, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return finished_.size() == 2; }));
  EXPECT_NE(finished_.back().find("stopped"), std::string::npos) << finished_.back();
  EXPECT_TRUE(failures_.texts.empty());
  EXPECT_LT(fs::exists(temp_.Path() / "taken/big") ? fs::file_size(temp_.Path() / "taken/big") : 0, 1ull << 30);
  EXPECT_TRUE(IsWindowEnabled(window_->extractButton));
}

// The box holds the whole reason, the status line its first line and the
// tooltip all of it; Open log hands over the log that the job wrote.
TEST_F(Win32WindowTest, FailedJobShowsItsWholeReasonAndOpensItsLog) {
  std::vector<std::string> opened;
  window_->openLog = [&](const std::string& path) { opened.push_back(path); };
  testkit::WriteBytes(temp_ / "junk.iso", Bytes(5000, 1));
  dialogs_.images = {temp_ / "junk.iso"};
  const std::string status = Choose(kOpenCommand);
  ASSERT_EQ(failures_.texts.size(), 1u);
  EXPECT_EQ(failures_.texts[0], status);
  EXPECT_NE(status.find(temp_ / "junk.iso"), std::string::npos) << status;
  EXPECT_EQ(TextOf(window_->statusLine), status.substr(0, status.find('\n')));
  EXPECT_EQ(TipText(), status);
  EXPECT_EQ(failures_.withLogButton, std::vector<bool>{false});

  // A job starts with the status line cleared of the last one's end.
  failures_.button = kOpenLogButton;
  const testkit::SampleDisc disc = testkit::MakeSampleDisc();
  Bytes damaged = disc.image;
  std::fill(damaged.begin() + 2048, damaged.begin() + 4096, 0xEE);  // the root
  testkit::WriteBytes(temp_ / "damaged.iso", damaged);
  dialogs_.images = {temp_ / "damaged.iso"};
  dialogs_.decompileFolders = {Utf8(temp_.Path())};
  SendMessageW(window_->decompileButton, BM_CLICK, 0, 0);
  EXPECT_EQ(TextOf(window_->statusLine), "Working…");
  ASSERT_TRUE(PumpUntil([&] { return finished_.size() == 2; }));
  ASSERT_EQ(failures_.texts.size(), 2u);
  EXPECT_EQ(failures_.texts[1], finished_.back());
  ASSERT_EQ(failures_.withLogButton, (std::vector<bool>{false, true}));
  EXPECT_EQ(opened, std::vector<std::string>{temp_ / "damaged.log"});
  EXPECT_TRUE(fs::exists(temp_.Path() / "damaged.log"));
}

// A folder dropped offers Compile ISO, whose save dialog opens beside the
// folder with its name.
TEST_F(Win32WindowTest, DroppedFolderIsCompiledWhenTheUserSaysSo) {
  fs::create_directories(temp_.Path() / "game");
  testkit::WriteText(temp_ / "game/file.txt", "content");
  Drop({temp_ / "game"});  // asked, no
  EXPECT_TRUE(dialogs_.targetsOffered.empty());
  dialogs_.compileFolder = {true};
  dialogs_.targets = {temp_ / "game.iso"};
  EXPECT_EQ(Drop({temp_ / "game"}), "Image written, 1 warning: " + testkit::NoBootFilesWarning(temp_ / "game"));
  EXPECT_EQ(dialogs_.targetsOffered, std::vector<std::string>{Utf8(temp_.Path()) + " | game.iso"});
  EXPECT_TRUE(fs::exists(temp_.Path() / "game.iso"));
}

// The test's desktop, where the programs it starts open their windows too.
constexpr const wchar_t* kTestDesktop = L"zanthrel-window-test";

// A program started and left running; killed if the test leaves it so.
class RunningProgram {
 public:
  explicit RunningProgram(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring desktop = kTestDesktop;
    startup.lpDesktop = desktop.data();
    started_ = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process_);
  }
  ~RunningProgram() {
    if (!started_) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 1);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  bool Started() const { return started_; }
  // The exit status once it ends within 20 seconds; nothing otherwise.
  std::optional<DWORD> Wait() const {
    if (WaitForSingleObject(process_.hProcess, 20000) != WAIT_OBJECT_0) return std::nullopt;
    DWORD status = 0;
    GetExitCodeProcess(process_.hProcess, &status);
    return status;
  }

 private:
  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

// The texts of a window's child controls, read across processes (WM_GETTEXT).
std::vector<std::string> ChildTexts(HWND window) {
  std::vector<std::string> texts;
  EnumChildWindows(
      window,
      [](HWND child, LPARAM found) {
        reinterpret_cast<std::vector<std::string>*>(found)->push_back(TextOf(child));
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&texts));
  return texts;
}

// zanthrel.exe IMAGE, as Explorer runs it for an image opened with it: the
// window opens on the image, and closes as its close box closes it.
TEST(Win32StartTest, ImageGivenToTheProgramOpensInItsWindow) {
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "game.iso", testkit::MakeSampleDisc().image);
  RunningProgram program(Utf8ToWide("\"" + testkit::ZanthrelProgram() + "\" \"" + (temp / "game.iso") + "\""));
  ASSERT_TRUE(program.Started());
  HWND window = nullptr;
  std::vector<std::string> texts;
  EXPECT_TRUE(PumpUntil([&] {
    window = FindWindowW(L"#32770", Utf8ToWide(WindowTitle()).c_str());
    texts = window ? ChildTexts(window) : std::vector<std::string>{};
    return std::find(texts.begin(), texts.end(), "Opened: " + (temp / "game.iso")) != texts.end();
  })) << testing::PrintToString(texts);
  ASSERT_NE(window, nullptr);
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.Wait(), 0u);
}

// A hidden window whose timer plays the user inside a modal dialog's loop:
// each step acts on the shown dialog of the title, a tick after the step
// before, so a step runs only while the dialog stays open.
class TimedScript {
 public:
  using Step = std::function<void(HWND dialog)>;
  TimedScript(const wchar_t* title, std::vector<Step> steps) : title_(title), steps_(std::move(steps)) {
    window_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowSubclass(window_, OnTimer, 1, reinterpret_cast<DWORD_PTR>(this));
    SetTimer(window_, 1, 50, nullptr);
  }
  ~TimedScript() { DestroyWindow(window_); }
  TimedScript(const TimedScript&) = delete;
  TimedScript& operator=(const TimedScript&) = delete;

  bool Finished() const { return next_ == steps_.size(); }

 private:
  static LRESULT CALLBACK OnTimer(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR self) {
    if (message != WM_TIMER) return DefSubclassProc(window, message, wParam, lParam);
    reinterpret_cast<TimedScript*>(self)->Tick();
    return 0;
  }
  void Tick() {
    HWND dialog = FindWindowW(L"#32770", title_.c_str());
    if (!dialog || !IsWindowVisible(dialog) || Finished()) return;
    steps_[next_++](dialog);
  }

  std::wstring title_;
  std::vector<Step> steps_;
  size_t next_ = 0;
  HWND window_;
};

void Type(HWND dialog, const std::string& path) {
  SetWindowTextW(FindWindowExW(dialog, nullptr, L"Edit", nullptr), Utf8ToWide(path).c_str());
}

TEST(Win32FolderDialogTest, TypedMissingFolderIsConfirmedThenCreatedWithItsParents) {
  testkit::TempFolder temp;
  const fs::path missingPath = temp.Path() / "a" / u8"Папка" / "c";
  const std::string missing = Utf8(missingPath);
  std::vector<std::string> asked;
  bool answer = false;
  std::string shownAtStart;
  bool createdAfterNo = true;
  TimedScript script(L"Select folder",
                     {[&](HWND dialog) {
                        shownAtStart = TextOf(FindWindowExW(dialog, nullptr, L"Edit", nullptr));
                        Type(dialog, missing);
                        Press(dialog, IDOK);
                      },
                      // Still open after No.
                      [&](HWND dialog) {
                        createdAfterNo = fs::exists(temp.Path() / "a");
                        answer = true;
                        Press(dialog, IDOK);
                      }});
  const std::optional<std::string> chosen =
      ChooseFolder(nullptr, Utf8(temp.Path()), [&](const std::string& path) {
        asked.push_back(path);
        return answer;
      });
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(shownAtStart, Utf8(temp.Path()));
  EXPECT_FALSE(createdAfterNo);
  EXPECT_EQ(asked, (std::vector<std::string>{missing, missing}));
  EXPECT_EQ(chosen, missing);
  EXPECT_TRUE(fs::is_directory(missingPath));
}

TEST(Win32FolderDialogTest, ExistingFolderNeedsNoQuestionAndCancelGivesNothing) {
  testkit::TempFolder temp;
  int asked = 0;
  const auto confirm = [&](const std::string&) { return ++asked, false; };
  {
    TimedScript script(L"Select folder", {[](HWND dialog) { Press(dialog, IDOK); }});
    EXPECT_EQ(ChooseFolder(nullptr, Utf8(temp.Path()), confirm), Utf8(temp.Path()));
  }
  {
    TimedScript script(L"Select folder", {[&](HWND dialog) {
                         Type(dialog, Utf8(temp.Path() / "new"));
                         Press(dialog, IDCANCEL);
                       }});
    EXPECT_EQ(ChooseFolder(nullptr, Utf8(temp.Path()), confirm), std::nullopt);
  }
  EXPECT_EQ(asked, 0);
  EXPECT_FALSE(fs::exists(temp.Path() / "new"));
}

// Types `name` into the file name field of a file dialog (a combo box in
// some dialogs, an edit field in others) and presses OK.
TimedScript::Step Answer(const std::string& name) {
  return [name](HWND dialog) {
    HWND field = GetDlgItem(dialog, cmb13);
    if (!field) field = GetDlgItem(dialog, edt1);
    SetWindowTextW(field, Utf8ToWide(name).c_str());
    Press(dialog, IDOK);
  };
}

const TimedScript::Step kCancel = [](HWND dialog) { Press(dialog, IDCANCEL); };

TEST(Win32DialogsTest, FileDialogsStartInTheCurrentDirectoryAndAddTheSuffix) {
  testkit::TempFolder temp;  // the current directory
  testkit::WriteText(temp / "disc.chd", "");
  testkit::WriteText(temp / "old.iso", "kept until a compile replaces it");
  Win32Dialogs dialogs(nullptr);
  {
    TimedScript script(L"De-Compile", {Answer("disc.chd")});
    EXPECT_EQ(dialogs.ChooseImageFile(), Utf8(temp.Path() / "disc.chd"));
  }
  {
    TimedScript script(L"Compile ISO", {Answer("new")});
    EXPECT_EQ(dialogs.ChooseImageToWrite("", ""), Utf8(temp.Path() / "new.iso"));
  }
  {
    // An existing image is taken without a question.
    TimedScript script(L"Compile ISO", {Answer("old.iso")});
    EXPECT_EQ(dialogs.ChooseImageToWrite("", ""), Utf8(temp.Path() / "old.iso"));
  }
  {
    // Opened where the workflow asks, the name it suggests taken as it is.
    fs::create_directories(temp.Path() / "parent/game");
    std::string suggested;
    TimedScript script(L"Compile ISO", {[&](HWND dialog) {
                         HWND field = GetDlgItem(dialog, cmb13);
                         suggested = TextOf(field ? field : GetDlgItem(dialog, edt1));
                         Press(dialog, IDOK);
                       }});
    EXPECT_EQ(dialogs.ChooseImageToWrite(Utf8(temp.Path() / "parent"), "game.iso"),
              Utf8(temp.Path() / "parent" / "game.iso"));
    EXPECT_EQ(suggested, "game.iso");
  }
  {
    TimedScript script(L"De-Compile", {kCancel});
    EXPECT_EQ(dialogs.ChooseImageFile(), std::nullopt);
  }
  EXPECT_EQ(testkit::ReadText(temp / "old.iso"), "kept until a compile replaces it");
  EXPECT_FALSE(fs::exists(temp.Path() / "new.iso"));
}

TEST(Win32DialogsTest, FolderPickerGivesTheFolderChosenInIt) {
  testkit::TempFolder temp;
  fs::create_directories(temp.Path() / "picked");
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  {
    TimedScript script(L"Select folder", {Answer("picked")});
    EXPECT_EQ(PickFolder(nullptr, Utf8(temp.Path())), Utf8(temp.Path() / "picked"));
  }
  {
    TimedScript script(L"Select folder", {kCancel});
    EXPECT_EQ(PickFolder(nullptr, Utf8(temp.Path())), std::nullopt);
  }
  CoUninitialize();
}

}  // namespace
}  // namespace zanthrel::app

int main(int argc, char** argv) {
  // A desktop of the test's own, so that its windows open on the display the
  // test was given, whatever display the session's first desktop found.
  if (HDESK desktop = CreateDesktopW(zanthrel::app::kTestDesktop, nullptr, nullptr, 0, GENERIC_ALL, nullptr)) {
    SetThreadDesktop(desktop);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
