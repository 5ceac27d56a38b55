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

namespace zanthrel::app {

namespace {

template <typename Control>
Control* Place(Control* control, int left, int top, int width, int height) {
  control->setGeometry(left, top, width, height);
  return control;
}

}  // namespace

MainWindow::MainWindow(WindowServices services, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  if (!services.dialogs) {
    ownDialogs_ = std::make_unique<QtDialogs>(this);
    services.dialogs = ownDialogs_.get();
  }
  controller_ = std::make_unique<WindowController>(static_cast<WindowView&>(*this), std::move(services));

  setWindowTitle(QString::fromStdString(WindowTitle()));
  setFixedSize(433, 105);
  decompileButton = Place(new QPushButton("De-Compile", this), 8, 8, 84, 25);
  compileButton = Place(new QPushButton("Compile ISO", this), 328, 8, 99, 25);
  cancelButton = Place(new QPushButton("Cancel", this), 184, 44, 72, 25);
  cancelButton->hide();
  progressBar = Place(new QProgressBar(this), 8, 72, 417, 13);
  progressBar->setRange(0, 100);
  progressBar->setTextVisible(false);
  progressBar->hide();
  additionalInfoBox = Place(new QCheckBox("Create additional info", this), 8, 48, 169, 17);
  discLabelBox = Place(new QCheckBox("Extract \"Disc label\"", this), 264, 48, 169, 17);
  imageChoice = Place(new QRadioButton("ISO, BIN, NRG", this), 98, 4, 112, 17);
  driveChoice = Place(new QRadioButton("CD-ROM", this), 98, 22, 112, 17);
  imageChoice->setChecked(true);
  driveList = Place(new QComboBox(this), 212, 16, 110, 21);
  driveList->setEditable(false);
  driveList->hide();
  statusLine = Place(new QLabel(kIdleStatus, this), 8, 88, 417, 15);

  setTabOrder(decompileButton, compileButton);
  setTabOrder(compileButton, progressBar);
  setTabOrder(progressBar, additionalInfoBox);
  setTabOrder(additionalInfoBox, discLabelBox);
  setTabOrder(discLabelBox, imageChoice);
  setTabOrder(imageChoice, driveChoice);
  setTabOrder(driveChoice, driveList);

  connect(decompileButton, &QPushButton::clicked, this, &MainWindow::DecompileButtonClick);
  connect(compileButton, &QPushButton::clicked, this, &MainWindow::CompileButtonClick);
  connect(cancelButton, &QPushButton::clicked, this, &MainWindow::CancelButtonClick);
  connect(imageChoice, &QRadioButton::toggled, this, [this](bool on) {
    if (on) ImageChoiceClick();
  });
  connect(driveChoice, &QRadioButton::toggled, this, [this](bool on) {
    if (on) DriveChoiceClick();
  });
}

MainWindow::~MainWindow() {
  // A job still running stops while the window can still hear its end.
  controller_.reset();
}

void MainWindow::ImageChoiceClick() { controller_->ImageChoiceSelected(); }

void MainWindow::DriveChoiceClick() { controller_->DriveChoiceSelected(); }

void MainWindow::DecompileButtonClick() {
  controller_->DecompileClicked(additionalInfoBox->isChecked(), discLabelBox->isChecked(),
                                driveList->currentIndex());
}

void MainWindow::CompileButtonClick() { controller_->CompileClicked(); }

void MainWindow::CancelButtonClick() { controller_->CancelClicked(); }

void MainWindow::ShowJobStarted() {
  decompileButton->setEnabled(false);
  compileButton->setEnabled(false);
  cancelButton->setEnabled(true);
  cancelButton->show();
  progressBar->setValue(0);
  progressBar->show();
}

void MainWindow::ShowProgress(int percent) { progressBar->setValue(percent); }

void MainWindow::DisableCancel() { cancelButton->setEnabled(false); }

void MainWindow::ShowJobEnded(const std::string& status) {
  const QString text = QString::fromStdString(status);
  progressBar->hide();
  cancelButton->hide();
  decompileButton->setEnabled(true);
  compileButton->setEnabled(true);
  ShowStatus(status);
  emit JobFinished(text);
}

void MainWindow::ShowStatus(const std::string& text) {
  statusLine->setText(QString::fromStdString(StatusLineOf(text)));
  statusLine->setToolTip(QString::fromStdString(text));
}

void MainWindow::ShowFailure(const std::string& reason, const std::string&) {
  // Window-modal and not waited for, so that the job's end is shown first.
  auto* box = new QMessageBox(QMessageBox::Warning, "Zanthrel", QString::fromStdString(reason),
                              QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void MainWindow::ShowImage(const BrowsedImage&) {}

void MainWindow::ShowReport(const std::string& title, const std::string& text) {
  QMessageBox::information(this, QString::fromStdString(title), QString::fromStdString(text));
}

void MainWindow::ShowDrives(const std::vector<std::string>& names) {
  driveList->clear();
  for (const std::string& name : names) driveList->addItem(QString::fromStdString(name));
  driveList->setCurrentIndex(driveList->count() > 0 ? 0 : -1);
  driveList->show();
}

void MainWindow::HideDrives() { driveList->hide(); }

void MainWindow::PostProgress(int percent) {
  QMetaObject::invokeMethod(this, [this, percent] { ShowProgress(percent); }, Qt::QueuedConnection);
}

void MainWindow::PostJobEnd() {
  QMetaObject::invokeMethod(this, [this] { controller_->FinishJob(); }, Qt::QueuedConnection);
}

int RunWindow(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("Zanthrel");
  // The installed desktop entry and icon (share/applications, share/icons).
  QApplication::setDesktopFileName("zanthrel");
  QApplication::setWindowIcon(QIcon::fromTheme("zanthrel"));
  try {
    MainWindow window;
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
