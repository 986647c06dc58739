#include "velloran_app_win32.h"

#include <commctrl.h>

#include "velloran_dialog_win32.h"

bool CVelloranApp::InitInstance() {
  // The classic controls, the progress bar among them.
  INITCOMMONCONTROLSEX classes{};
  classes.dwSize = sizeof classes;
  classes.dwICC = ICC_WIN95_CLASSES;
  InitCommonControlsEx(&classes);

  Win32VelloranDialog dialog(instance_, velloran::DefaultDialogServices());
  dialog.RegisterAsUpgradeWindow();
  dialog.DoModal();
  return false;
}
