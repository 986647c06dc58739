// The main dialog on Win32: dialog template 102 from the resources (created
// as Unicode windows, so that the template's Chinese text shows whatever the
// system's code page), its controls behind the DialogView interface, and the delivery of a running
// procedure's status lines (WM_UPGRADE_STATUS, sent with SendMessageA) and
// message boxes to the dialog's thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "status_report.h"
#include "velloran_dlg.h"

class Win32VelloranDialog final : public velloran::DialogView, public velloran::UpgradeWindow {
 public:
  // resources: the module that holds template 102 and icon 128.
  Win32VelloranDialog(HINSTANCE resources, velloran::DialogServices services);
  ~Win32VelloranDialog() override;
  Win32VelloranDialog(const Win32VelloranDialog &) = delete;
  Win32VelloranDialog &operator=(const Win32VelloranDialog &) = delete;

  // Runs the dialog modally; returns the id of the command that closed it
  // (IDOK or IDCANCEL), or -1 if it could not be created.
  INT_PTR DoModal();
  // Creates the dialog without running it; the caller's message loop drives
  // it and Close() ends it. Used by tests.
  HWND Create();
  // Ends the dialog as the command id would: no more deliveries from the
  // worker, then the window goes.
  void Close(int command);

  // Becomes the window the procedures report to, until it closes.
  void RegisterAsUpgradeWindow();

  HWND hwnd() const { return hwnd_; }
  CVelloranDlg &logic() { return logic_; }

  // Replaces the message box (caption, text) and the file dialog, for tests.
  using MessageBoxPresenter = std::function<void(const std::string &caption, const std::string &text)>;
  void SetMessageBoxPresenter(MessageBoxPresenter presenter) { presenter_ = std::move(presenter); }
  using FileChooser = std::function<std::optional<std::string>(HWND owner, const std::string &filter)>;
  void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

  // DialogView, on the dialog's thread.
  bool IsChecked(int id) const override;
  std::string GetText(int id) const override;
  void SetText(int id, const std::string &text) override;
  void AddComboEntry(int id, const std::string &text) override;
  void InsertComboEntry(int id, int index, const std::string &text) override;
  void SelectComboEntry(int id, int index) override;
  void ScrollToBottom(int id) override;
  void SetBarColor(int id, uint32_t color) override;
  void SetBarPosition(int id, int position) override;
  std::optional<std::string> ChooseFileToOpen(const std::string &filter) override;

  // DialogView: on the dialog's thread; UpgradeWindow: from the worker.
  void ShowMessageBox(const std::string &text) override;
  void ShowMessageBox(const std::string &text, const velloran::StatusMeaning &) override { ShowMessageBox(text); }

  // UpgradeWindow, called on the worker thread. The dialog shows the line as
  // it is.
  void OnUpgradeStatus(std::string *text, int code, const velloran::StatusMeaning &meaning) override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void OnInitDialog();
  bool OnCommand(int id, int notification);
  bool OnPaint();
  void PresentMessageBox(const std::string &text);
  void UnregisterWhileAnswering();

  HINSTANCE resources_;
  HWND hwnd_ = nullptr;
  HICON m_hIcon = nullptr;
  DWORD ui_thread_ = 0;
  bool modal_ = false;
  bool registered_ = false;
  std::atomic<bool> closing_{false};
  MessageBoxPresenter presenter_;
  FileChooser chooser_;
  CVelloranDlg logic_;
};
