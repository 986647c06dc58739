// The application object on Windows: initialises the common controls and
// runs the main dialog modally; the program ends when the dialog closes.
#pragma once

#include <windows.h>

#include "dialog_services.h"

class CVelloranApp {
 public:
  explicit CVelloranApp(HINSTANCE instance) : instance_(instance) {}

  // Shows the dialog until it closes; returns false (the program does not
  // go on after the dialog).
  bool InitInstance();

 private:
  HINSTANCE instance_;
};
