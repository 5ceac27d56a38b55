// Renders the main window offscreen into a PNG file, for the README.
//   render_window OUTPUT.png
#include <QApplication>
#include <QCheckBox>
#include <QPixmap>

#include "app/main_window.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  zanthrel::app::MainWindow window;
  window.additionalInfoBox->setChecked(true);
  window.show();
  return window.grab().save(argv[1]) ? 0 : 1;
}
