// How a running upgrade procedure reaches "the application's main window".
//
// A front end (the dialog, or the command-line tool) registers itself while
// it lives. The procedures send each status line synchronously, handing over
// a newly allocated text, and raise message boxes that block the worker until
// they are dismissed. With nothing registered nothing is delivered; nor once
// a procedure has honoured a stop request (upgrade_stop.h).
//
// Thread rules: SendUpgradeStatus and UpgradeMessageBox are called on the
// worker thread. SetUpgradeWindow may be called on any thread; unregistering
// (nullptr) returns only once no delivery to the old window is in progress,
// so a window may be destroyed right after. A window whose delivery waits for
// its own user-interface thread must therefore stop waiting (and drop the
// line) once it starts closing, before it unregisters on that thread.
#pragma once

#include <string>

#include "status_meaning.h"

namespace velloran {

// The status message number: WM_USER + 100.
inline constexpr unsigned WM_UPGRADE_STATUS = 0x0400 + 100;

class UpgradeWindow {
 public:
  virtual ~UpgradeWindow() = default;
  // One status line without line end, its progress code and what it means.
  // Ownership of text passes to the window, which deletes it. Returns when
  // handled.
  virtual void OnUpgradeStatus(std::string *text, int code, const StatusMeaning &meaning) = 0;
  // A modal message box (one OK button, warning icon, the program's name as
  // caption); returns when the user has dismissed it.
  virtual void ShowMessageBox(const std::string &text, const StatusMeaning &meaning) = 0;
};

// Registers the main window (nullptr unregisters, see above).
void SetUpgradeWindow(UpgradeWindow *window);

// Sends one status line with its progress code to the registered window.
void SendUpgradeStatus(const StatusReport &report, int code);

// Raises a message box in the registered window and waits until it is closed.
void UpgradeMessageBox(const StatusReport &report);

}  // namespace velloran
