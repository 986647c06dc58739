// velloran: the firmware upgrade dialog.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dialog_command_line.h"
#include "closed_upgrade_warning.h"
#include "dialog_services.h"
#include "velloran_app.h"

CVelloranApp theApp{velloran::DefaultDialogServices()};

int main(int argc, char *argv[]) {
  if (const auto text = velloran::DialogInfoText(std::vector<std::string>(argv + 1, argv + argc))) {
    std::fputs(text->c_str(), stdout);
    return 0;
  }
  {
    QApplication application(argc, argv);
    theApp.InitInstance();
  }
  // Nothing waits for an upgrade that still runs: the process ends now,
  // without the static destructors that the worker may still be using.
  if (velloran::DefaultProcedureLauncher().Running()) {
    const std::string warning = velloran::ClosedDuringUpgradeWarning(velloran::ReachedSoFar());
    std::fprintf(stderr, "%s\n", warning.c_str());
    std::fflush(nullptr);
    std::quick_exit(0);
  }
  return 0;
}
