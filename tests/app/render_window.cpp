// Renders the main window offscreen into a PNG file, for the README: the
// strip alone, or the browse view of IMAGE with its tree opened and one file
// selected, as a user about to extract it sees it.
//   render_window OUTPUT.png [IMAGE [ENTRY]]
#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QPixmap>
#include <QTimer>
#include <QTreeWidget>

#include "app/main_window.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) return 2;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  zanthrel::app::MainWindow window;
  window.additionalInfoBox->setChecked(true);
  window.show();
  if (argc >= 3) {
    QEventLoop loop;
    QObject::connect(&window, &zanthrel::app::MainWindow::JobFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, [&loop] { loop.exit(1); });
    // As given, so that the picture shows no path of the machine it was made on.
    window.OpenImage(QString::fromLocal8Bit(argv[2]));
    if (loop.exec() != 0) return 1;
    window.tree->expandAll();
    if (argc == 4) {
      const QList<QTreeWidgetItem*> found =
          window.tree->findItems(QString::fromUtf8(argv[3]), Qt::MatchExactly | Qt::MatchRecursive);
      if (found.isEmpty()) return 1;
      window.tree->setCurrentItem(found.front());
    }
  }
  QApplication::processEvents();
  return window.grab().save(argv[1]) ? 0 : 1;
}
