// The main dialog on Qt Widgets: template 102 laid out in pixels from its
// dialog units, the controls behind the DialogView interface, and the
// delivery of a running procedure's status lines and message boxes to the
// GUI thread.
#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>
#include <map>
#include <string>

#include "status_report.h"
#include "ui_thread_call.h"
#include "velloran_dlg.h"

class QButtonGroup;
class QComboBox;
class QMessageBox;
class QPlainTextEdit;
class QProgressBar;

class QtVelloranDialog final : public QDialog,
                               public velloran::DialogView,
                               public velloran::UpgradeWindow {
  Q_OBJECT

 public:
  explicit QtVelloranDialog(velloran::DialogServices services, QWidget *parent = nullptr);
  ~QtVelloranDialog() override;

  // Becomes the window the procedures report to, until destroyed.
  void RegisterAsUpgradeWindow();

  CVelloranDlg &logic() { return logic_; }
  // The control with the given id (group boxes have none).
  QWidget *control(int id) const;

  // Replaces the message box (caption, text) shown to the user, for tests.
  using MessageBoxPresenter = std::function<void(const QString &caption, const QString &text)>;
  void SetMessageBoxPresenter(MessageBoxPresenter presenter) { presenter_ = std::move(presenter); }

  // DialogView
  bool IsChecked(int id) const override;
  std::string GetText(int id) const override;
  void SetText(int id, const std::string &text) override;
  void AddComboEntry(int id, const std::string &text) override;
  void AddComboEntryWithNote(int id, const std::string &text, const std::string &note) override;
  void InsertComboEntry(int id, int index, const std::string &text) override;
  void SelectComboEntry(int id, int index) override;
  void ScrollToBottom(int id) override;
  void SetBarColor(int id, uint32_t color) override;
  void SetBarPosition(int id, int position) override;
  std::optional<std::string> ChooseFileToOpen(const std::string &filter) override;

  // DialogView: on the GUI thread; UpgradeWindow: from the worker.
  void ShowMessageBox(const std::string &text) override;
  void ShowMessageBox(const std::string &text, const velloran::StatusMeaning &) override { ShowMessageBox(text); }

  // UpgradeWindow, called on the worker thread. The dialog shows the line as
  // it is.
  void OnUpgradeStatus(std::string *text, int code, const velloran::StatusMeaning &meaning) override;

  void done(int result) override;

 protected:
  void keyPressEvent(QKeyEvent *event) override;

 private:
  void BuildControls();
  void PresentMessageBox(const QString &text);
  QComboBox *combo(int id) const;

  std::map<int, QWidget *> controls_;
  QButtonGroup *radio_group_ = nullptr;
  QProgressBar *m_progress = nullptr;
  QPlainTextEdit *m_editLog = nullptr;
  QComboBox *m_comboPort = nullptr;
  std::string log_text_;  // the log box's text as written, "\r\n" line ends
  QPointer<QMessageBox> open_box_;
  MessageBoxPresenter presenter_;
  velloran::UiThreadCall ui_call_;
  bool registered_ = false;
  CVelloranDlg logic_;
};
