#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <exception>

#include "app/qt_dialogs.h"

// The resources of a static library are linked in only when named, and
// only from outside any namespace.
static void LoadResources() { Q_INIT_RESOURCE(zanthrel); }

namespace zanthrel::app {

namespace {

// The strip as it was described: 433 by 105, each control at its size.
constexpr int kStripWidth = 433;
constexpr int kStripHeight = 105;

template <typename Control>
Control* Sized(Control* control, int width, int height) {
  control->setFixedSize(width, height);
  return control;
}

// A control that comes and goes keeps its place, so that nothing else moves.
template <typename Control>
Control* KeepingPlace(Control* control) {
  QSizePolicy policy = control->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  control->setSizePolicy(policy);
  return control;
}

// `control` `offset` pixels below the top of its row.
QVBoxLayout* Lowered(QWidget* control, int offset) {
  auto* column = new QVBoxLayout;
  column->setSpacing(0);
  column->addSpacing(offset);
  column->addWidget(control);
  column->addStretch(1);
  return column;
}

// The tree's columns, in order.
enum Column { kNameColumn, kSizeColumn, kTypeColumn, kCopiesColumn, kFirstBlockColumn };

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace

MainWindow::MainWindow(WindowServices services, QWidget* parent) : QMainWindow(parent) {
  if (!services.dialogs) {
    ownDialogs_ = std::make_unique<QtDialogs>(this);
    services.dialogs = ownDialogs_.get();
  }
  controller_ = std::make_unique<WindowController>(static_cast<WindowView&>(*this), std::move(services));

  setWindowTitle(Text(WindowTitle()));
  LoadResources();
  setWindowIcon(QIcon(":/zanthrel.png"));
  setAcceptDrops(true);
  QMenu* fileMenu = menuBar()->addMenu("&File");
  openAction = fileMenu->addAction("&Open...");
  openAction->setShortcut(QKeySequence::Open);
  quitAction = fileMenu->addAction("&Quit");
  quitAction->setShortcut(QKeySequence::Quit);
  connect(openAction, &QAction::triggered, this, [this] { controller_->OpenClicked(); });
  connect(quitAction, &QAction::triggered, this, &QWidget::close);
  // The label of the next compiles: in the menu bar, the window's context
  // menu and on Ctrl+L, outside the strip.
  volumeLabelAction = menuBar()->addMenu("&Options")->addAction("Volume label...");
  volumeLabelAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  addAction(volumeLabelAction);
  setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(volumeLabelAction, &QAction::triggered, this, &MainWindow::VolumeLabelClick);

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(MakeStrip());
  auto* line = new QFrame(central);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  layout->addWidget(line);
  layout->addWidget(MakeBrowser(), 1);
  setCentralWidget(central);
  resize(kStripWidth + 240, 480);
}

QWidget* MainWindow::MakeStrip() {
  strip = new QWidget(this);
  decompileButton = Sized(new QPushButton("De-Compile", strip), 84, 25);
  compileButton = Sized(new QPushButton("Compile ISO", strip), 99, 25);
  cancelButton = KeepingPlace(Sized(new QPushButton("Cancel", strip), 72, 25));
  cancelButton->hide();
  progressBar = KeepingPlace(new QProgressBar(strip));
  progressBar->setFixedHeight(13);
  progressBar->setRange(0, 100);
  progressBar->setTextVisible(false);
  progressBar->hide();
  additionalInfoBox = Sized(new QCheckBox("Create additional info", strip), 169, 17);
  discLabelBox = Sized(new QCheckBox("Extract \"Disc label\"", strip), 169, 17);
  imageChoice = Sized(new QRadioButton("ISO, BIN, NRG", strip), 112, 17);
  driveChoice = Sized(new QRadioButton("CD-ROM", strip), 112, 17);
  imageChoice->setChecked(true);
  driveList = KeepingPlace(Sized(new QComboBox(strip), 110, 21));
  driveList->setEditable(false);
  driveList->hide();
  statusLine = new QLabel(kIdleStatus, strip);
  statusLine->setFixedHeight(15);
  // A long status shows its start; the whole of it is the tooltip.
  statusLine->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

  // Rows of the described strip: the buttons and the source choice; the
  // options around Cancel; the progress bar; the status line. The spacings
  // put each control where it was described at the strip's smallest size.
  auto* choices = new QVBoxLayout;
  choices->setSpacing(1);
  choices->addWidget(imageChoice);
  choices->addWidget(driveChoice);
  auto* top = new QHBoxLayout;
  top->setSpacing(0);
  top->setContentsMargins(0, 0, 6, 0);
  top->addLayout(Lowered(decompileButton, 4));
  top->addSpacing(6);
  top->addLayout(choices);
  top->addSpacing(2);
  top->addLayout(Lowered(driveList, 12));
  top->addStretch(1);
  top->addLayout(Lowered(compileButton, 4));
  auto* options = new QHBoxLayout;
  options->setSpacing(0);
  options->addWidget(additionalInfoBox);
  options->addStretch(7);
  options->addWidget(cancelButton);
  options->addStretch(8);
  options->addWidget(discLabelBox);
  auto* lines = new QVBoxLayout;
  lines->setSpacing(3);
  lines->setContentsMargins(0, 0, 8, 0);
  lines->addWidget(progressBar);
  lines->addWidget(statusLine);
  auto* rows = new QVBoxLayout(strip);
  rows->setContentsMargins(8, 4, 0, 2);
  rows->setSpacing(0);
  rows->addLayout(top);
  rows->addSpacing(5);
  rows->addLayout(options);
  rows->addSpacing(3);
  rows->addLayout(lines);
  strip->setMinimumSize(kStripWidth, kStripHeight);
  strip->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

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
  return strip;
}

QWidget* MainWindow::MakeBrowser() {
  auto* browser = new QWidget(this);
  summary = new QLabel("Open an image (File > Open, or drop it here) to see what is on it.", browser);
  summary->setWordWrap(true);
  summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
  tree = new QTreeWidget(browser);
  tree->setHeaderLabels({"Name", "Size", "Type", "Copies", "First block"});
  tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
  tree->setUniformRowHeights(true);
  tree->header()->setSectionResizeMode(kNameColumn, QHeaderView::Stretch);
  tree->header()->setStretchLastSection(false);
  extractButton = new QPushButton("Extract...", browser);
  verifyButton = new QPushButton("Verify", browser);
  convertButton = new QPushButton("Convert...", browser);
  SetImageButtonsEnabled(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(extractButton);
  buttons->addWidget(verifyButton);
  buttons->addWidget(convertButton);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(browser);
  layout->setContentsMargins(8, 6, 8, 8);
  layout->addWidget(summary);
  layout->addWidget(tree, 1);
  layout->addLayout(buttons);

  connect(extractButton, &QPushButton::clicked, this, [this] { controller_->ExtractClicked(SelectedEntries()); });
  connect(verifyButton, &QPushButton::clicked, this, [this] { controller_->VerifyClicked(); });
  connect(convertButton, &QPushButton::clicked, this, [this] { controller_->ConvertClicked(); });
  connect(tree, &QTreeWidget::itemSelectionChanged, this, [this] {
    extractButton->setEnabled(imageShown_ && !JobRunning() && !tree->selectedItems().isEmpty());
  });
  return browser;
}

MainWindow::~MainWindow() {
  // A job still running stops while the window can still hear its end.
  controller_.reset();
}

std::vector<std::string> MainWindow::SelectedEntries() const {
  std::vector<std::string> paths;
  // In the tree's order, not the order they were clicked in.
  for (QTreeWidgetItemIterator item(tree, QTreeWidgetItemIterator::Selected); *item; ++item) {
    paths.push_back((*item)->data(kNameColumn, Qt::UserRole).toString().toStdString());
  }
  return paths;
}

void MainWindow::ImageChoiceClick() { controller_->ImageChoiceSelected(); }

void MainWindow::DriveChoiceClick() { controller_->DriveChoiceSelected(); }

void MainWindow::DecompileButtonClick() {
  controller_->DecompileClicked(additionalInfoBox->isChecked(), discLabelBox->isChecked(),
                                driveList->currentIndex());
}

void MainWindow::VolumeLabelClick() { controller_->VolumeLabelClicked(); }

void MainWindow::CompileButtonClick() { controller_->CompileClicked(); }

void MainWindow::CancelButtonClick() { controller_->CancelClicked(); }

void MainWindow::OpenImage(const QString& path) { controller_->OpenImage(path.toStdString()); }

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!JobRunning() && !urls.isEmpty() && urls.front().isLocalFile()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.front().isLocalFile()) return;
  event->acceptProposedAction();
  // One image is shown at a time: the first of several dropped.
  controller_->PathDropped(urls.front().toLocalFile().toStdString());
}

void MainWindow::SetImageButtonsEnabled(bool enabled) {
  extractButton->setEnabled(enabled && !tree->selectedItems().isEmpty());
  verifyButton->setEnabled(enabled);
  convertButton->setEnabled(enabled);
}

void MainWindow::ShowJobStarted() {
  decompileButton->setEnabled(false);
  compileButton->setEnabled(false);
  openAction->setEnabled(false);
  SetImageButtonsEnabled(false);
  cancelButton->setEnabled(true);
  cancelButton->show();
  progressBar->setValue(0);
  progressBar->show();
}

void MainWindow::ShowProgress(int percent) { progressBar->setValue(percent); }

void MainWindow::DisableCancel() { cancelButton->setEnabled(false); }

void MainWindow::ShowJobEnded(const std::string& status) {
  progressBar->hide();
  cancelButton->hide();
  decompileButton->setEnabled(true);
  compileButton->setEnabled(true);
  openAction->setEnabled(true);
  SetImageButtonsEnabled(imageShown_);
  ShowStatus(status);
  emit JobFinished(Text(StatusLineOf(status)));
}

void MainWindow::ShowStatus(const std::string& text) {
  statusLine->setText(Text(StatusLineOf(text)));
  statusLine->setToolTip(Text(text));
}

void MainWindow::ShowFailure(const std::string& reason, const std::string& logPath) {
  // Window-modal and not waited for, so that the job's end is shown first.
  auto* box = new QMessageBox(QMessageBox::Warning, "Zanthrel", Text(reason), QMessageBox::Close, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  if (!logPath.empty()) {
    QPushButton* openLog = box->addButton("Open log", QMessageBox::ActionRole);
    // The box stays open, so that the reason can still be read beside the log.
    openLog->disconnect();
    connect(openLog, &QPushButton::clicked, box, [path = Text(logPath)] {
      QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    });
  }
  failureBox = box;
  box->open();
}

void MainWindow::ShowImage(const BrowsedImage& image) {
  QStringList lines;
  lines << Text(image.imagePath);
  for (const std::string& line : VolumeSummaryLines(image)) lines << Text(line);
  summary->setText(lines.join("\n"));
  tree->clear();
  // Entries come each folder before what it holds: the folder last met at
  // each depth is the parent of the next one deeper.
  std::vector<QTreeWidgetItem*> parents;
  for (const BrowseEntry& entry : image.entries) {
    parents.resize(size_t(entry.depth));
    auto* item = parents.empty() ? new QTreeWidgetItem(tree) : new QTreeWidgetItem(parents.back());
    item->setText(kNameColumn, Text(entry.name));
    item->setData(kNameColumn, Qt::UserRole, Text(entry.path));
    item->setText(kSizeColumn, entry.folder ? QString() : QString::number(entry.size));
    item->setText(kTypeColumn, Text(entry.type));
    item->setText(kCopiesColumn, QString::number(entry.copies));
    item->setText(kFirstBlockColumn, QString::number(entry.firstBlock));
    for (Column column : {kSizeColumn, kCopiesColumn, kFirstBlockColumn}) {
      item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (entry.folder) {
      item->setIcon(kNameColumn, style()->standardIcon(QStyle::SP_DirIcon));
      parents.push_back(item);
    } else {
      item->setIcon(kNameColumn, style()->standardIcon(QStyle::SP_FileIcon));
    }
  }
  tree->expandToDepth(0);
  for (int column = kSizeColumn; column <= kFirstBlockColumn; ++column) tree->resizeColumnToContents(column);
  imageShown_ = true;
}

void MainWindow::ShowReport(const std::string& title, const std::string& text) {
  auto* dialog = new QDialog(this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(Text(title));
  auto* report = new QPlainTextEdit(Text(text), dialog);
  report->setReadOnly(true);
  report->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
  connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(dialog);
  layout->addWidget(report);
  layout->addWidget(buttons);
  dialog->resize(560, 320);
  dialog->open();
}

void MainWindow::ShowDrives(const std::vector<std::string>& names) {
  driveList->clear();
  for (const std::string& name : names) driveList->addItem(Text(name));
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
  // The window's class and the desktop entry that names it (StartupWMClass).
  QApplication::setDesktopFileName("zanthrel");
  try {
    MainWindow window;
    window.show();
    // An image named on the command line, as a file manager passes it.
    if (argc > 1) window.OpenImage(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath());
    return QApplication::exec();
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, "Zanthrel", error.what());
  } catch (...) {
    QMessageBox::critical(nullptr, "Zanthrel", "");
  }
  return 1;
}

}  // namespace zanthrel::app
