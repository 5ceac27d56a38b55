#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <exception>

#include "app/qt_dialogs.h"
#include "source/drive/device.h"
#include "workflow/window_jobs.h"

namespace zanthrel::app {

namespace {

template <typename Control>
Control* Place(Control* control, int left, int top, int width, int height) {
  control->setGeometry(left, top, width, height);
  return control;
}

}  // namespace

TForm1::TForm1(WindowServices services, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      services_(std::move(services)) {
  if (!services_.dialogs) {
    ownDialogs_ = std::make_unique<QtDialogs>(this);
    services_.dialogs = ownDialogs_.get();
  }
  if (!services_.listDrives) services_.listDrives = [] { return ListDrives(); };
  if (!services_.device) services_.device = &HostDevice();

  setWindowTitle(QString::fromStdString(WindowTitle()));
  setFixedSize(433, 105);
  Button1 = Place(new QPushButton("De-Compile", this), 8, 8, 84, 25);
  Button2 = Place(new QPushButton("Compile ISO", this), 328, 8, 99, 25);
  CancelButton = Place(new QPushButton("Cancel", this), 184, 44, 72, 25);
  CancelButton->hide();
  ProgressBar1 = Place(new QProgressBar(this), 8, 72, 417, 13);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->hide();
  CheckBox1 = Place(new QCheckBox("Create additional info", this), 8, 48, 169, 17);
  CheckBox2 = Place(new QCheckBox("Extract \"Disc label\"", this), 264, 48, 169, 17);
  RadioButton1 = Place(new QRadioButton("ISO, BIN, NRG", this), 98, 4, 112, 17);
  RadioButton2 = Place(new QRadioButton("CD-ROM", this), 98, 22, 112, 17);
  RadioButton1->setChecked(true);
  ComboBox1 = Place(new QComboBox(this), 212, 16, 110, 21);
  ComboBox1->setEditable(false);
  ComboBox1->hide();
  Label1 = Place(new QLabel(kIdleStatus, this), 8, 88, 417, 15);

  setTabOrder(Button1, Button2);
  setTabOrder(Button2, ProgressBar1);
  setTabOrder(ProgressBar1, CheckBox1);
  setTabOrder(CheckBox1, CheckBox2);
  setTabOrder(CheckBox2, RadioButton1);
  setTabOrder(RadioButton1, RadioButton2);
  setTabOrder(RadioButton2, ComboBox1);

  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
  connect(CancelButton, &QPushButton::clicked, this, &TForm1::CancelClick);
  connect(RadioButton1, &QRadioButton::toggled, this, [this](bool on) {
    if (on) RadioButton1Click();
  });
  connect(RadioButton2, &QRadioButton::toggled, this, [this](bool on) {
    if (on) RadioButton2Click();
  });
}

TForm1::~TForm1() {
  // A window closed mid-job stops the job rather than wait for its end.
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
}

void TForm1::RadioButton1Click() { ComboBox1->hide(); }

void TForm1::RadioButton2Click() {
  ComboBox1->clear();
  for (const DriveEntry& drive : OfferedDrives(services_.listDrives())) {
    ComboBox1->addItem(QString::fromStdString(drive.name));
  }
  ComboBox1->setCurrentIndex(ComboBox1->count() > 0 ? 0 : -1);
  ComboBox1->show();
}

void TForm1::Button1Click() {
  if (JobRunning()) return;
  const bool info = CheckBox1->isChecked();
  const bool label = CheckBox2->isChecked();
  DecompileRequest request;
  if (RadioButton1->isChecked()) {
    std::optional<std::string> image = services_.dialogs->ChooseImageFile();
    if (!image) return;
    request = ImageDecompileRequest(*image, info, label);
  } else {
    if (ComboBox1->currentIndex() < 0) return;
    std::optional<std::string> folder = services_.dialogs->SelectFolder();
    if (!folder) return;
    request = DriveDecompileRequest(ComboBox1->currentText().toStdString(), *folder,
                                    *services_.device, info, label);
  }
  StartJob([request](const Progress& progress, CancelToken cancel) {
    return QString::fromStdString(RunDecompileJob(request, progress, cancel));
  });
}

void TForm1::Button2Click() {
  if (JobRunning()) return;
  std::optional<std::string> folder = services_.dialogs->SelectFolder();
  if (!folder) return;
  std::optional<std::string> image = services_.dialogs->ChooseImageToWrite();
  if (!image) return;
  StartJob([request = WindowCompileRequest(*folder, *image, ids_)](const Progress& progress,
                                                                    CancelToken cancel) {
    return QString::fromStdString(RunCompileJob(request, progress, cancel));
  });
}

void TForm1::CancelClick() {
  if (!JobRunning()) return;
  cancel_ = true;
  CancelButton->setEnabled(false);
}

void TForm1::StartJob(std::function<QString(const Progress&, CancelToken)> job) {
  Button1->setEnabled(false);
  Button2->setEnabled(false);
  cancel_ = false;
  CancelButton->setEnabled(true);
  CancelButton->show();
  ProgressBar1->setValue(0);
  ProgressBar1->show();
  shownPercent_ = 0;
  // Reports cross to the window's thread only when the percentage moves.
  Progress progress = [this](uint64_t done, uint64_t total) {
    const int percent = ProgressPercent(done, total);
    if (shownPercent_.exchange(percent) == percent) return;
    QMetaObject::invokeMethod(this, [this, percent] { ProgressBar1->setValue(percent); },
                              Qt::QueuedConnection);
  };
  worker_ = std::thread([this, job = std::move(job), progress] {
    const QString status = job(progress, CancelToken{&cancel_});
    QMetaObject::invokeMethod(this, [this, status] { FinishJob(status); }, Qt::QueuedConnection);
  });
}

void TForm1::FinishJob(const QString& status) {
  if (worker_.joinable()) worker_.join();
  ProgressBar1->hide();
  CancelButton->hide();
  Button1->setEnabled(true);
  Button2->setEnabled(true);
  Label1->setText(status);
  Label1->setToolTip(status);
  emit JobFinished(status);
}

int RunWindow(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("Zanthrel");
  // The installed desktop entry and icon (share/applications, share/icons).
  QApplication::setDesktopFileName("zanthrel");
  QApplication::setWindowIcon(QIcon::fromTheme("zanthrel"));
  try {
    TForm1 window;
    window.show();
    return QApplication::exec();
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, "Zanthrel", error.what());
  } catch (...) {
    QMessageBox::critical(nullptr, "Zanthrel", "");
  }
  return 1;
}

}  // namespace zanthrel::app
