#include "velloran_app.h"

#include <QApplication>
#include <QStyleFactory>

#include "velloran_dialog_qt.h"

bool CVelloranApp::InitInstance() {
  // Fusion paints the progress bar plainly in the colour it is given.
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QtVelloranDialog dialog(services_);
  dialog.RegisterAsUpgradeWindow();
  dialog.exec();
  return false;
}
