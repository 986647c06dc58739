#include "velloran_dialog_win32.h"

#include <commctrl.h>

#include <thread>
#include <vector>

#include "open_file_dialog.h"
#include "program_name.h"
#include "resource.h"

namespace {

// A message box that the worker asks for: wParam points to the text; the
// sender waits until the user has closed the box.
constexpr UINT kShowMessageBoxMessage = WM_APP + 1;

}  // namespace

Win32VelloranDialog::Win32VelloranDialog(HINSTANCE resources, velloran::DialogServices services)
    : resources_(resources),
      m_hIcon(LoadIconA(resources, MAKEINTRESOURCEA(IDR_MAINFRAME))),
      chooser_(velloran::ShowOpenFileDialog),
      logic_(*this, std::move(services)) {}

Win32VelloranDialog::~Win32VelloranDialog() {
  if (hwnd_ != nullptr) Close(IDCANCEL);
  if (registered_) velloran::SetUpgradeWindow(nullptr);
}

INT_PTR Win32VelloranDialog::DoModal() {
  modal_ = true;
  ui_thread_ = GetCurrentThreadId();
  return DialogBoxParamW(resources_, MAKEINTRESOURCEW(IDD_VELLORAN_DIALOG), nullptr, DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

HWND Win32VelloranDialog::Create() {
  modal_ = false;
  ui_thread_ = GetCurrentThreadId();
  return CreateDialogParamW(resources_, MAKEINTRESOURCEW(IDD_VELLORAN_DIALOG), nullptr, DialogProc,
                            reinterpret_cast<LPARAM>(this));
}

void Win32VelloranDialog::RegisterAsUpgradeWindow() {
  registered_ = true;
  velloran::SetUpgradeWindow(this);
}

void Win32VelloranDialog::Close(int command) {
  if (closing_.exchange(true)) return;
  if (registered_) UnregisterWhileAnswering();
  HWND hwnd = hwnd_;
  if (hwnd == nullptr) return;
  if (modal_) {
    EndDialog(hwnd, command);
  } else {
    DestroyWindow(hwnd);
  }
}

// Unregistering waits for a delivery in progress, and a worker inside
// SendMessageA waits for this thread: so unregister on a helper thread and
// keep answering sent messages (which, closing, are dropped) meanwhile.
void Win32VelloranDialog::UnregisterWhileAnswering() {
  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread helper([done] {
    velloran::SetUpgradeWindow(nullptr);
    SetEvent(done);
  });
  while (MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  helper.join();
  CloseHandle(done);
  registered_ = false;
}

INT_PTR CALLBACK Win32VelloranDialog::DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto *self = reinterpret_cast<Win32VelloranDialog *>(lparam);
    SetWindowLongPtrA(hwnd, DWLP_USER, lparam);
    self->hwnd_ = hwnd;
    self->OnInitDialog();
    return TRUE;  // the focus goes to the first control that takes it
  }
  auto *self = reinterpret_cast<Win32VelloranDialog *>(GetWindowLongPtrA(hwnd, DWLP_USER));
  if (self == nullptr) return FALSE;
  if (message == WM_NCDESTROY) {
    self->hwnd_ = nullptr;
    return FALSE;
  }
  return self->HandleMessage(message, wparam, lparam);
}

INT_PTR Win32VelloranDialog::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      return OnPaint();
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(m_hIcon);
    case WM_COMMAND:
      return OnCommand(LOWORD(wparam), HIWORD(wparam));
    case WM_CLOSE:
      Close(IDCANCEL);
      return TRUE;
    case kShowMessageBoxMessage:
      if (!closing_) PresentMessageBox(*reinterpret_cast<const std::string *>(wparam));
      return TRUE;
    default:
      break;
  }
  if (message == velloran::WM_UPGRADE_STATUS) {
    auto *text = reinterpret_cast<std::string *>(wparam);
    LRESULT result = 0;
    if (closing_) {
      delete text;
    } else {
      result = logic_.OnUpgradeStatus(text, static_cast<int>(lparam));
    }
    SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
    return TRUE;
  }
  return FALSE;
}

void Win32VelloranDialog::OnInitDialog() {
  SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  // The port field is 39 units wide; with the edit control's margins taken
  // from the font, "COM10 " is wider than the room left, and the field
  // scrolls to its caret, which the focus puts behind the text ("OM10").
  COMBOBOXINFO port{};
  port.cbSize = sizeof port;
  if (GetComboBoxInfo(GetDlgItem(hwnd_, IDC_COMBO_PORT), &port) && port.hwndItem != nullptr) {
    SendMessageA(port.hwndItem, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(0, 0));
  }
  logic_.OnInitDialog();
}

bool Win32VelloranDialog::OnCommand(int id, int notification) {
  switch (id) {
    case IDOK:
    case IDCANCEL:
      Close(id);
      return true;
    case IDC_BUTTON_OPEN:
      if (notification != BN_CLICKED) return false;
      logic_.OnBnClickedOpen();
      return true;
    case IDC_BUTTON_LOAD:
      if (notification != BN_CLICKED) return false;
      logic_.OnBnClickedLoad();
      return true;
    case IDC_COMBO_PORT:
      if (notification != CBN_SELCHANGE) return false;
      logic_.OnCbnSelchangeComboPort();
      return true;
    default:
      return false;
  }
}

// Minimised, the dialog shows its icon centred in the client area.
bool Win32VelloranDialog::OnPaint() {
  if (!IsIconic(hwnd_)) return false;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd_, &paint);
  SendMessageA(hwnd_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  int icon_width = GetSystemMetrics(SM_CXICON);
  int icon_height = GetSystemMetrics(SM_CYICON);
  RECT client;
  GetClientRect(hwnd_, &client);
  int x = (client.right - client.left - icon_width + 1) / 2;
  int y = (client.bottom - client.top - icon_height + 1) / 2;
  DrawIcon(dc, x, y, m_hIcon);
  EndPaint(hwnd_, &paint);
  return true;
}

bool Win32VelloranDialog::IsChecked(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }

std::string Win32VelloranDialog::GetText(int id) const {
  HWND control = GetDlgItem(hwnd_, id);
  if (control == nullptr) return {};
  std::vector<char> buffer(static_cast<size_t>(GetWindowTextLengthA(control)) + 1);
  int length = GetWindowTextA(control, buffer.data(), static_cast<int>(buffer.size()));
  return std::string(buffer.data(), static_cast<size_t>(length > 0 ? length : 0));
}

void Win32VelloranDialog::SetText(int id, const std::string &text) { SetDlgItemTextA(hwnd_, id, text.c_str()); }

void Win32VelloranDialog::AddComboEntry(int id, const std::string &text) {
  SendDlgItemMessageA(hwnd_, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Win32VelloranDialog::InsertComboEntry(int id, int index, const std::string &text) {
  SendDlgItemMessageA(hwnd_, id, CB_INSERTSTRING, static_cast<WPARAM>(index),
                      reinterpret_cast<LPARAM>(text.c_str()));
}

void Win32VelloranDialog::SelectComboEntry(int id, int index) {
  SendDlgItemMessageA(hwnd_, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void Win32VelloranDialog::ScrollToBottom(int id) { SendDlgItemMessageA(hwnd_, id, WM_VSCROLL, SB_BOTTOM, 0); }

void Win32VelloranDialog::SetBarColor(int id, uint32_t color) {
  SendDlgItemMessageA(hwnd_, id, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(color));
}

void Win32VelloranDialog::SetBarPosition(int id, int position) {
  SendDlgItemMessageA(hwnd_, id, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

std::optional<std::string> Win32VelloranDialog::ChooseFileToOpen(const std::string &filter) {
  return chooser_(hwnd_, filter);
}

void Win32VelloranDialog::ShowMessageBox(const std::string &text) {
  if (GetCurrentThreadId() == ui_thread_) {
    PresentMessageBox(text);
    return;
  }
  // From the worker: the box belongs to the dialog's thread, where it is
  // modal to the dialog; the worker waits until it is closed.
  if (closing_) return;
  SendMessageA(hwnd_, kShowMessageBoxMessage, reinterpret_cast<WPARAM>(&text), 0);
}

void Win32VelloranDialog::PresentMessageBox(const std::string &text) {
  std::string caption = velloran::ProgramBaseName();
  if (presenter_) {
    presenter_(caption, text);
    return;
  }
  MessageBoxA(hwnd_, text.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void Win32VelloranDialog::OnUpgradeStatus(std::string *text, int code, const velloran::StatusMeaning &) {
  if (closing_) {
    delete text;
    return;
  }
  SendMessageA(hwnd_, velloran::WM_UPGRADE_STATUS, reinterpret_cast<WPARAM>(text), static_cast<LPARAM>(code));
}
