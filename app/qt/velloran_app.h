// The application object: runs the main dialog modally; the program ends
// when the dialog closes.
#pragma once

#include "dialog_services.h"

class CVelloranApp {
 public:
  explicit CVelloranApp(velloran::DialogServices services) : services_(std::move(services)) {}

  // Needs the QApplication. Shows the dialog until it closes; returns false
  // (the program does not go on after the dialog).
  bool InitInstance();

 private:
  velloran::DialogServices services_;
};
