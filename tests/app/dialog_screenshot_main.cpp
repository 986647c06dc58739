// Pictures of the dialog for the documentation: the dialog as it opens, and
// during a serial upgrade of whatever printer the given COM port leads to
// (scripts/screenshot-dialog.sh puts the simulated printer there).
//
// Usage: velloran-dialog-screenshot IMAGE.upd COMn IDLE.png UPGRADING.png
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyleFactory>
#include <QThread>
#include <cstdio>
#include <string>

#include "app_values.h"
#include "dialog_services.h"
#include "resource.h"
#include "velloran_dialog_qt.h"

namespace {

void Wait(int milliseconds) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// The dialog as the screen shows it.
bool Save(QWidget &dialog, const char *path) {
  QPixmap picture = dialog.screen()->grabWindow(0, dialog.x(), dialog.y(), dialog.width(), dialog.height());
  if (picture.isNull() || !picture.save(path)) {
    std::fprintf(stderr, "velloran-dialog-screenshot: cannot save %s\n", path);
    return false;
  }
  std::printf("saved %s\n", path);
  return true;
}

}  // namespace

int main(int argc, char *argv[]) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: velloran-dialog-screenshot IMAGE.upd COMn IDLE.png UPGRADING.png\n");
    return 2;
  }
  QApplication application(argc, argv);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QtVelloranDialog dialog(velloran::DefaultDialogServices());
  dialog.RegisterAsUpgradeWindow();
  dialog.SetMessageBoxPresenter([](const QString &, const QString &text) {
    std::printf("message box: %s\n", text.toStdString().c_str());
  });
  dialog.move(0, 0);
  dialog.show();
  Wait(1000);
  if (!Save(dialog, argv[3])) return 1;

  // What the user does: Open an image, pick the serial link and the port,
  // press Load.
  std::string image = QFileInfo(argv[1]).absoluteFilePath().toStdString();
  g_strImagePath.Set(image);
  dialog.SetText(IDC_EDIT_PATH, image);
  qobject_cast<QRadioButton *>(dialog.control(IDC_RADIO_SERIAL))->click();
  auto *port = qobject_cast<QComboBox *>(dialog.control(IDC_COMBO_PORT));
  int entry = port->findText(QString(argv[2]) + " ", Qt::MatchStartsWith);
  if (entry < 0) {
    std::fprintf(stderr, "velloran-dialog-screenshot: %s is not listed as a free port\n", argv[2]);
    return 1;
  }
  port->setCurrentIndex(entry);
  qobject_cast<QPushButton *>(dialog.control(IDC_BUTTON_LOAD))->click();

  // The picture is taken halfway through sending the image: after the
  // erase (red band), back in the blue band.
  auto *bar = qobject_cast<QProgressBar *>(dialog.control(IDC_PROGRESS));
  velloran::ProcedureLauncher &launcher = velloran::DefaultProcedureLauncher();
  bool erased = false;
  bool saved = false;
  QElapsedTimer timer;
  timer.start();
  while (launcher.Running() && timer.elapsed() < 120000) {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    erased = erased || bar->styleSheet().contains("#ff0000");
    if (!saved && erased && bar->styleSheet().contains("#0000ff") && bar->value() >= 40) {
      Wait(50);
      saved = Save(dialog, argv[4]);
    }
  }
  if (!saved) std::fprintf(stderr, "velloran-dialog-screenshot: the upgrade never reached the sending phase\n");
  dialog.reject();
  return saved && !launcher.Running() ? 0 : 1;
}
