// velloran: the firmware upgrade dialog.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "dialog_services.h"
#include "velloran_app.h"

CVelloranApp theApp{velloran::DefaultDialogServices()};

int main(int argc, char *argv[]) {
  {
    QApplication application(argc, argv);
    theApp.InitInstance();
  }
  // Nothing waits for an upgrade that still runs: the process ends now,
  // without the static destructors that the worker may still be using.
  if (velloran::DefaultProcedureLauncher().Running()) {
    std::fflush(nullptr);
    std::quick_exit(0);
  }
  return 0;
}
