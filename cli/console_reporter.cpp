// Printing status lines, message boxes and the result.
#include "console_reporter.h"

#include <cstdio>
#include <memory>

#include "json_text.h"

namespace velloran::cli {
namespace {

constexpr int kBarCells = 40;
constexpr const char *kBandColours[3] = {"\x1b[34m", "\x1b[32m", "\x1b[31m"};  // blue, green, red
constexpr char kResetColour[] = "\x1b[0m";

}  // namespace

ConsoleReporter::ConsoleReporter(std::ostream &out, OutputStyle style)
    : out_(out), style_(style), start_(std::chrono::steady_clock::now()) {}

long long ConsoleReporter::ElapsedMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_)
      .count();
}

ConsoleReporter::BarState ConsoleReporter::BarFor(int code) {
  if (code < 0 || code > 300) return {};
  if (code <= 100) return {0, code};
  if (code <= 200) return {1, code - 100};
  return {2, code - 200};
}

std::string ConsoleReporter::DrawBar(const BarState &bar) {
  const int filled = bar.band < 0 ? 0 : bar.position * kBarCells / 100;
  std::string text = "[";
  if (bar.band >= 0) text += kBandColours[bar.band];
  for (int i = 0; i < filled; ++i) text += "#";
  if (bar.band >= 0) text += kResetColour;
  text.append(static_cast<size_t>(kBarCells - filled), '.');
  char percent[16];
  std::snprintf(percent, sizeof percent, "] %3d%%", bar.band < 0 ? 0 : bar.position);
  return text + percent;
}

void ConsoleReporter::ClearBar() {
  if (barShown_) out_ << "\r\x1b[K";
  barShown_ = false;
}

void ConsoleReporter::RedrawBar() {
  if (style_ != OutputStyle::kTextWithBar || bar_.band < 0) return;
  out_ << DrawBar(bar_);
  barShown_ = true;
}

void ConsoleReporter::OnUpgradeStatus(std::string *text, int code) {
  const std::unique_ptr<std::string> line(text);  // ownership passes to the window
  const long long ms = ElapsedMs();
  if (style_ == OutputStyle::kJson) {
    out_ << "{\"event\":\"status\",\"text\":" << JsonString(*line) << ",\"code\":" << code
         << ",\"ms\":" << ms << "}\n";
    out_.flush();
    return;
  }
  const BarState next = BarFor(code);
  if (next.band >= 0) bar_ = next;
  ClearBar();
  char prefix[48];
  std::snprintf(prefix, sizeof prefix, "%7.1f s  %3d  ", static_cast<double>(ms) / 1000.0, code);
  out_ << prefix << *line << "\n";
  RedrawBar();
  out_.flush();
}

void ConsoleReporter::ShowMessageBox(const std::string &text) {
  if (style_ == OutputStyle::kJson) {
    out_ << "{\"event\":\"message\",\"text\":" << JsonString(text) << "}\n";
  } else {
    ClearBar();
    out_ << ">>> " << text << "\n";
    RedrawBar();
  }
  out_.flush();
}

void ConsoleReporter::ReportResult(bool ok) {
  if (style_ == OutputStyle::kJson) {
    out_ << "{\"event\":\"result\",\"ok\":" << (ok ? "true" : "false") << "}\n";
  } else {
    ClearBar();
    out_ << (ok ? "Upgrade completed." : "Upgrade failed.") << "\n";
  }
  out_.flush();
}

}  // namespace velloran::cli
