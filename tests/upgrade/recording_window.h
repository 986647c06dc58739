// A main window for tests that records every status line and message box.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "status_report.h"

namespace velloran {

class RecordingWindow : public UpgradeWindow {
 public:
  void OnUpgradeStatus(std::string *text, int code, const StatusMeaning &) override {
    std::unique_ptr<std::string> owned(text);
    lines.emplace_back(*owned, code);
  }
  void ShowMessageBox(const std::string &text, const StatusMeaning &) override { boxes.push_back(text); }
  std::vector<std::pair<std::string, int>> lines;
  std::vector<std::string> boxes;
};

}  // namespace velloran
