// A DialogView that records what the dialog's logic does to it, a launcher
// that records the procedures it is asked to start, and services made of
// them.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "dialog_services.h"
#include "dialog_view.h"
#include "procedure_launcher.h"

namespace velloran::testing {

class FakeDialogView : public DialogView {
 public:
  bool IsChecked(int id) const override { return checked.count(id) != 0 && checked.at(id); }
  std::string GetText(int id) const override {
    ++reads[id];
    auto it = texts.find(id);
    return it == texts.end() ? std::string() : it->second;
  }
  void SetText(int id, const std::string &text) override { texts[id] = text; }
  void AddComboEntry(int id, const std::string &text) override { entries[id].push_back(text); }
  void AddComboEntryWithNote(int id, const std::string &text, const std::string &note) override {
    entries[id].push_back(text);
    notes[id][text] = note;
  }
  void InsertComboEntry(int id, int index, const std::string &text) override {
    entries[id].insert(entries[id].begin() + index, text);
  }
  void SelectComboEntry(int id, int index) override {
    std::vector<std::string> &list = entries[id];
    texts[id] = index >= 0 && index < static_cast<int>(list.size()) ? list[index] : std::string();
  }
  void ScrollToBottom(int id) override { ++scrolls[id]; }
  void SetBarColor(int, uint32_t color) override { bar_colors.push_back(color); }
  void SetBarPosition(int, int position) override { bar_positions.push_back(position); }
  void ShowMessageBox(const std::string &text) override { boxes.push_back(text); }
  std::optional<std::string> ChooseFileToOpen(const std::string &filter) override {
    filters.push_back(filter);
    return chosen_file;
  }

  std::map<int, bool> checked;
  std::map<int, std::string> texts;
  mutable std::map<int, int> reads;
  std::map<int, std::vector<std::string>> entries;
  std::map<int, std::map<std::string, std::string>> notes;  // entry text -> note
  std::map<int, int> scrolls;
  std::vector<uint32_t> bar_colors;
  std::vector<int> bar_positions;
  std::vector<std::string> boxes;
  std::vector<std::string> filters;
  std::optional<std::string> chosen_file;
};

class RecordingLauncher : public ProcedureLauncher {
 public:
  bool Launch(UpgradeProcedure procedure, std::unique_ptr<platform::PortClaim>) override {
    launched.push_back(procedure);
    return succeed;
  }
  bool Running() const override { return false; }

  std::vector<UpgradeProcedure> launched;
  bool succeed = true;
};

// Three distinguishable procedures that are never run.
inline unsigned FakeUsbProc(void *) { return 0; }
inline unsigned FakeComProc(void *) { return 0; }
inline unsigned FakeLptProc(void *) { return 0; }

// Services with the given port probe that start the fake procedures above
// through launcher.
inline DialogServices FakeServices(ComPortProber probe, ProcedureLauncher &launcher, std::atomic<int> &busy_flag) {
  DialogServices services;
  services.probe_port = std::move(probe);
  services.launcher = &launcher;
  services.busy_flag = &busy_flag;
  services.usb_procedure = FakeUsbProc;
  services.serial_procedure = FakeComProc;
  services.lpt_procedure = FakeLptProc;
  return services;
}

}  // namespace velloran::testing
