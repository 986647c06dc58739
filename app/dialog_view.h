// What the dialog's logic needs from the window that shows it. Each toolkit
// (Qt on Linux, Win32 on Windows) implements it over its own controls;
// controls are named by their ids from resource.h. All calls come on the
// user-interface thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velloran {

class DialogView {
 public:
  virtual ~DialogView() = default;

  // Radio buttons.
  virtual bool IsChecked(int id) const = 0;

  // The current text of an edit box or of a combo box's edit field.
  virtual std::string GetText(int id) const = 0;
  virtual void SetText(int id, const std::string &text) = 0;

  // Combo boxes: an entry added where a sorted combo keeps it (at the end of
  // an unsorted one), an entry inserted at a position (no sorting), and
  // selecting an entry by position, which copies it into the edit field.
  virtual void AddComboEntry(int id, const std::string &text) = 0;
  // An entry added as AddComboEntry does, with a note that the open list
  // shows beside it (the device a port name stands for). The note is never
  // part of the entry's text; a view without room for it drops it.
  virtual void AddComboEntryWithNote(int id, const std::string &text, const std::string &note) {
    (void)note;
    AddComboEntry(id, text);
  }
  virtual void InsertComboEntry(int id, int index, const std::string &text) = 0;
  virtual void SelectComboEntry(int id, int index) = 0;

  // Scrolls a multi-line edit box to its last line.
  virtual void ScrollToBottom(int id) = 0;

  // Progress bar: colour as 0x00BBGGRR, position within 0 to 100.
  virtual void SetBarColor(int id, uint32_t color) = 0;
  virtual void SetBarPosition(int id, int position) = 0;

  // A modal message box: the text, one OK button, the warning icon, the
  // program's name as caption. Returns when the user has closed it.
  virtual void ShowMessageBox(const std::string &text) = 0;

  // The file-open dialog with a filter such as kImageFileFilter, its first
  // choice preselected. Returns the full path, or nothing when cancelled.
  virtual std::optional<std::string> ChooseFileToOpen(const std::string &filter) = 0;
};

}  // namespace velloran
