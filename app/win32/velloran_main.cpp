// Velloran.exe: the firmware upgrade dialog.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "dialog_services.h"
#include "velloran_app_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  CVelloranApp app(instance);
  app.InitInstance();
  // Nothing waits for an upgrade that still runs: the process ends now,
  // without the static destructors that the worker may still be using.
  if (velloran::DefaultProcedureLauncher().Running()) {
    std::fflush(nullptr);
    std::_Exit(0);
  }
  return 0;
}
