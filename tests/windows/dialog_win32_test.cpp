// The Win32 dialog as the system builds it from template 102: the dialog and
// its thirteen controls, the resources around it, and the way status lines
// and message boxes of a worker reach it, also while it closes.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <cwctype>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "../app/fake_dialog_view.h"
#include "app_values.h"
#include "dialog_template.h"
#include "file_filter.h"
#include "open_file_dialog.h"
#include "program_name.h"
#include "resource.h"
#include "status_report.h"
#include "upgrade_steps.h"
#include "velloran_dialog_win32.h"

namespace {

using velloran::testing::FakeComProc;
using velloran::testing::FakeLptProc;
using velloran::testing::FakeUsbProc;
using velloran::testing::RecordingLauncher;

// Runs the thread's messages until done() holds or 10 s have passed.
bool PumpUntil(const std::function<bool()> &done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  // One message at a time: a worker that sends line after line keeps the
  // queue from ever running empty (each line repaints the log).
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    MSG message;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
  }
  return true;
}

// Dialog template 102 as the resource holds it.
struct TemplateItem {
  DWORD style = 0, ex_style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  int id = 0;
  std::wstring window_class, text;
};
struct DialogResource {
  DWORD style = 0, ex_style = 0;
  short cx = 0, cy = 0;
  std::wstring title, font;
  WORD points = 0;
  std::vector<TemplateItem> items;
};

// Reads an extended dialog template (DLGTEMPLATEEX and its items).
class TemplateReader {
 public:
  explicit TemplateReader(const BYTE *data) : p_(data) {}
  template <typename T>
  T Read() {
    T value;
    memcpy(&value, p_, sizeof value);
    p_ += sizeof value;
    return value;
  }
  // A name or ordinal: 0 none, 0xFFFF then an ordinal, else a string.
  std::wstring ReadNameOrOrdinal() {
    WORD first = Read<WORD>();
    if (first == 0) return {};
    if (first == 0xFFFF) return L"#" + std::to_wstring(Read<WORD>());
    p_ -= sizeof(WORD);
    return ReadString();
  }
  std::wstring ReadString() {
    std::wstring text;
    for (WORD c = Read<WORD>(); c != 0; c = Read<WORD>()) text.push_back(static_cast<wchar_t>(c));
    return text;
  }
  void AlignToDword(const BYTE *base) {
    while ((p_ - base) % 4 != 0) ++p_;
  }
  const BYTE *position() const { return p_; }

 private:
  const BYTE *p_;
};

DialogResource LoadDialogResource(int id) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceExA(module, MAKEINTRESOURCEA(5) /* RT_DIALOG */, MAKEINTRESOURCEA(id),
                                MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
  DialogResource dialog;
  if (found == nullptr) {
    ADD_FAILURE() << "no Chinese (Simplified) dialog " << id;
    return dialog;
  }
  auto *base = static_cast<const BYTE *>(LockResource(LoadResource(module, found)));
  TemplateReader in(base);
  EXPECT_EQ(in.Read<WORD>(), 1);       // version
  EXPECT_EQ(in.Read<WORD>(), 0xFFFF);  // extended template
  in.Read<DWORD>();                    // help id
  dialog.ex_style = in.Read<DWORD>();
  dialog.style = in.Read<DWORD>();
  WORD count = in.Read<WORD>();
  in.Read<short>();
  in.Read<short>();
  dialog.cx = in.Read<short>();
  dialog.cy = in.Read<short>();
  EXPECT_EQ(in.ReadNameOrOrdinal(), L"");  // no menu
  EXPECT_EQ(in.ReadNameOrOrdinal(), L"");  // the standard dialog class
  dialog.title = in.ReadString();
  dialog.points = in.Read<WORD>();
  in.Read<WORD>();  // weight
  in.Read<BYTE>();  // italic
  in.Read<BYTE>();  // character set
  dialog.font = in.ReadString();
  for (WORD i = 0; i < count; ++i) {
    in.AlignToDword(base);
    TemplateItem item;
    in.Read<DWORD>();  // help id
    item.ex_style = in.Read<DWORD>();
    item.style = in.Read<DWORD>();
    item.x = in.Read<short>();
    item.y = in.Read<short>();
    item.cx = in.Read<short>();
    item.cy = in.Read<short>();
    item.id = static_cast<int>(in.Read<DWORD>());
    item.window_class = in.ReadNameOrOrdinal();
    item.text = in.ReadNameOrOrdinal();
    WORD extra = in.Read<WORD>();
    for (WORD skip = 0; skip < extra; ++skip) in.Read<BYTE>();
    dialog.items.push_back(item);
  }
  return dialog;
}

// A class as the system knows it: predefined ones by name, upper case.
std::wstring ClassName(const std::wstring &name) {
  std::wstring result = name == L"#128" ? L"BUTTON" : name == L"#129" ? L"EDIT" : name == L"#133" ? L"COMBOBOX" : name;
  for (wchar_t &c : result) c = static_cast<wchar_t>(towupper(c));
  return result;
}

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

struct ExpectedControl {
  int id;
  const wchar_t *window_class;  // "#n": the predefined class n
  DWORD style;
  const wchar_t *text;
};

// Template 102, control by control, in template order.
const ExpectedControl kControls[] = {
    {IDC_RADIO_USB, L"#128", kChild | BS_AUTORADIOBUTTON | WS_GROUP, L"USB"},
    {IDC_RADIO_SERIAL, L"#128", kChild | BS_AUTORADIOBUTTON, L"Serial Port"},
    {IDC_RADIO_NET, L"#128", WS_CHILD | BS_AUTORADIOBUTTON, L"\u7f51\u53e3"},
    {IDC_RADIO_LPT, L"#128", kChild | BS_AUTORADIOBUTTON, L"LPT"},
    {IDC_COMBO_PORT, L"#133", kChild | CBS_DROPDOWN | CBS_SORT | CBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, L""},
    {IDC_EDIT_PATH, L"#129", kChild | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, L""},
    {IDC_BUTTON_OPEN, L"#128", kChild | BS_PUSHBUTTON | WS_TABSTOP, L"Open"},
    {IDC_BUTTON_LOAD, L"#128", kChild | BS_PUSHBUTTON | WS_TABSTOP, L"Load"},
    {IDC_STATIC, L"#128", kChild | BS_GROUPBOX, L"Application Load"},
    {IDC_EDIT_LOG, L"#129",
     WS_CHILD | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL | WS_BORDER | WS_TABSTOP, L""},
    {IDC_PROGRESS, L"msctls_progress32", kChild | PBS_SMOOTH | WS_BORDER, L""},
    {IDC_STATIC, L"#128", kChild | BS_GROUPBOX, L"Port Configure"},
    {IDC_COMBO_BAUD, L"#133", WS_CHILD | CBS_DROPDOWN | CBS_SORT | WS_VSCROLL | WS_TABSTOP, L""},
};

class Win32DialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&classes);
  }

  void SetUp() override {
    g_strImagePath.Set("");
    velloran::DialogServices services;
    services.probe_port = [](unsigned port) {
      if (port == 3 || port == 10) return velloran::ComPortState::kFree;
      if (port == 5) return velloran::ComPortState::kBusy;
      return velloran::ComPortState::kAbsent;
    };
    services.launcher = &launcher_;
    services.busy_flag = &busy_;
    services.usb_procedure = FakeUsbProc;
    services.serial_procedure = FakeComProc;
    services.lpt_procedure = FakeLptProc;
    dialog_ = std::make_unique<Win32VelloranDialog>(GetModuleHandleA(nullptr), services);
    dialog_->SetMessageBoxPresenter([this](const std::string &caption, const std::string &text) {
      boxes_.push_back({caption, text, GetCurrentThreadId()});
    });
    ASSERT_NE(dialog_->Create(), nullptr) << "error " << GetLastError();
  }

  // Under Wine without a window manager, destroying a shown window takes
  // about 2 s: keep the number of dialogs small.
  void TearDown() override { dialog_.reset(); }

  HWND Item(int id) const { return GetDlgItem(dialog_->hwnd(), id); }

  void Click(int id) { SendMessageA(Item(id), BM_CLICK, 0, 0); }

  struct Box {
    std::string caption, text;
    DWORD thread;
  };

  RecordingLauncher launcher_;
  std::atomic<int> busy_{0};
  std::vector<Box> boxes_;
  std::unique_ptr<Win32VelloranDialog> dialog_;
};

TEST_F(Win32DialogTest, DialogFrameFollowsTheTemplate) {
  HWND dialog = dialog_->hwnd();
  char title[64] = {};
  GetWindowTextA(dialog, title, sizeof title);
  EXPECT_STREQ(title, "Velloran-V4.0");

  LONG style = GetWindowLongA(dialog, GWL_STYLE);
  for (LONG bit : {LONG(WS_POPUP), LONG(WS_CAPTION), LONG(WS_SYSMENU), LONG(DS_MODALFRAME), LONG(DS_FIXEDSYS),
                   LONG(DS_SETFONT)}) {
    EXPECT_EQ(style & bit, bit) << std::hex << bit;
  }
  for (LONG bit : {LONG(WS_THICKFRAME), LONG(WS_MINIMIZEBOX), LONG(WS_MAXIMIZEBOX)}) EXPECT_EQ(style & bit, 0) << std::hex << bit;
  EXPECT_NE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);

  RECT size{0, 0, 319, 154};
  MapDialogRect(dialog, &size);
  RECT client;
  GetClientRect(dialog, &client);
  EXPECT_EQ(client.right, size.right);
  EXPECT_EQ(client.bottom, size.bottom);
  EXPECT_NE(SendMessageA(dialog, WM_GETICON, ICON_BIG, 0), 0);
}

TEST(DialogResource, Template102HoldsTheDialogAndItsThirteenControlsExactly) {
  DialogResource dialog = LoadDialogResource(IDD_VELLORAN_DIALOG);
  EXPECT_EQ(dialog.style, static_cast<DWORD>(DS_SETFONT | DS_MODALFRAME | DS_FIXEDSYS | WS_POPUP | WS_VISIBLE |
                                             WS_CAPTION | WS_SYSMENU));
  EXPECT_EQ(dialog.ex_style, static_cast<DWORD>(WS_EX_APPWINDOW));
  EXPECT_EQ(dialog.cx, 319);
  EXPECT_EQ(dialog.cy, 154);
  EXPECT_EQ(dialog.title, L"Velloran-V4.0");
  EXPECT_EQ(dialog.font, L"MS Shell Dlg");
  EXPECT_EQ(dialog.points, 9);

  const velloran::DialogTemplate &shared = velloran::MainDialogTemplate();
  ASSERT_EQ(dialog.items.size(), std::size(kControls));
  ASSERT_EQ(shared.controls.size(), std::size(kControls));
  for (size_t i = 0; i < std::size(kControls); ++i) {
    const TemplateItem &item = dialog.items[i];
    const ExpectedControl &expected = kControls[i];
    SCOPED_TRACE("control " + std::to_string(i) + " id " + std::to_string(expected.id));
    EXPECT_EQ(item.id, expected.id);
    EXPECT_EQ(ClassName(item.window_class), ClassName(expected.window_class));
    EXPECT_EQ(item.style, expected.style) << std::hex << (item.style ^ expected.style);
    EXPECT_EQ(item.ex_style, 0u);
    EXPECT_EQ(item.text, expected.text);
    // The layout every view shares says the same.
    const velloran::ControlTemplate &layout = shared.controls[i];
    EXPECT_EQ(layout.id, expected.id);
    EXPECT_EQ(layout.visible, (expected.style & WS_VISIBLE) != 0);
    EXPECT_EQ(layout.tab_stop, (expected.style & WS_TABSTOP) != 0);
    EXPECT_EQ((std::vector<int>{item.x, item.y, item.cx, item.cy}),
              (std::vector<int>{layout.rect.x, layout.rect.y, layout.rect.cx, layout.rect.cy}));
  }
}

TEST_F(Win32DialogTest, ControlsStandInTemplateOrderAtTheirPlaces) {
  DialogResource dialog = LoadDialogResource(IDD_VELLORAN_DIALOG);
  HWND child = GetWindow(dialog_->hwnd(), GW_CHILD);
  for (const TemplateItem &item : dialog.items) {
    SCOPED_TRACE("id " + std::to_string(item.id));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetDlgCtrlID(child) & 0xFFFF, item.id & 0xFFFF);
    EXPECT_EQ(IsWindowVisible(child) != FALSE, (item.style & WS_VISIBLE) != 0);
    wchar_t text[64] = {};
    GetWindowTextW(child, text, 64);
    bool combo = ClassName(item.window_class) == L"COMBOBOX";
    if (!combo) {
      EXPECT_EQ(std::wstring(text), item.text);
    }
    // The dialog manager converts position and size separately.
    RECT position{item.x, item.y, item.cx, item.cy};
    MapDialogRect(dialog_->hwnd(), &position);
    RECT actual;
    GetWindowRect(child, &actual);
    MapWindowPoints(nullptr, dialog_->hwnd(), reinterpret_cast<POINT *>(&actual), 2);
    EXPECT_EQ(actual.left, position.left);
    EXPECT_EQ(actual.top, position.top);
    EXPECT_EQ(actual.right - actual.left, position.right);
    if (!combo) {  // a combo box's height is that of its closed field
      EXPECT_EQ(actual.bottom - actual.top, position.bottom);
    }
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr);
}

TEST(DialogResource, ResourcesHoldTheIconAndAPlainManifest) {
  HMODULE module = GetModuleHandleA(nullptr);
  EXPECT_NE(FindResourceExA(module, MAKEINTRESOURCEA(5) /* RT_DIALOG */, MAKEINTRESOURCEA(IDD_VELLORAN_DIALOG),
                            MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED)),
            nullptr);
  EXPECT_NE(LoadIconA(module, MAKEINTRESOURCEA(IDR_MAINFRAME)), nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24) /* RT_MANIFEST */);
  ASSERT_NE(found, nullptr);
  std::string manifest(static_cast<const char *>(LockResource(LoadResource(module, found))),
                       SizeofResource(module, found));
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
  EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
  EXPECT_EQ(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
}

TEST_F(Win32DialogTest, StartUpListsFreePortsSortedAndTheHiddenBaudRates) {
  HWND ports = Item(IDC_COMBO_PORT);
  ASSERT_EQ(SendMessageA(ports, CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(dialog_->GetText(IDC_COMBO_PORT), "COM10 ");
  char entry[32];
  SendMessageA(ports, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(entry));
  EXPECT_STREQ(entry, "COM3 ");

  HWND rates = Item(IDC_COMBO_BAUD);
  std::vector<std::string> listed;
  for (int i = 0; i < SendMessageA(rates, CB_GETCOUNT, 0, 0); ++i) {
    SendMessageA(rates, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry));
    listed.push_back(entry);
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"4800", "9600", "19200", "38400", "57600", "115200"}));
  EXPECT_EQ(dialog_->GetText(IDC_COMBO_BAUD), "4800");
  for (int id : {IDC_RADIO_USB, IDC_RADIO_SERIAL, IDC_RADIO_NET, IDC_RADIO_LPT}) EXPECT_FALSE(dialog_->IsChecked(id));
  EXPECT_EQ(SendMessageA(Item(IDC_PROGRESS), PBM_GETPOS, 0, 0), 0);
}

// The port field is 39 units wide: once it has the focus (its whole text
// selected, the caret at the end) it still shows "COM10" from the "C".
TEST_F(Win32DialogTest, PortFieldShowsTheWholePortNameWithTheFocus) {
  HWND combo = Item(IDC_COMBO_PORT);
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetComboBoxInfo(combo, &info));
  HWND edit = info.hwndItem;
  SendMessageA(dialog_->hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(combo), TRUE);
  PumpUntil([] { return true; });
  char text[32] = {};
  GetWindowTextA(edit, text, sizeof text);
  ASSERT_STREQ(text, "COM10 ");
  RECT client;
  GetClientRect(edit, &client);
  const LRESULT first = SendMessageA(edit, EM_POSFROMCHAR, 0, 0);
  const LRESULT behind = SendMessageA(edit, EM_POSFROMCHAR, 5, 0);  // where the "0" ends
  EXPECT_GE(static_cast<short>(LOWORD(first)), 0) << "the text is scrolled";
  EXPECT_LE(static_cast<short>(LOWORD(behind)), client.right)
      << "first " << static_cast<short>(LOWORD(first)) << " width " << client.right;
}

TEST_F(Win32DialogTest, RadioButtonsExcludeEachOtherAndLoadStartsTheCheckedLink) {
  Click(IDC_BUTTON_LOAD);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Please Select File！");
  EXPECT_EQ(boxes_[0].caption, velloran::ProgramBaseName());

  dialog_->SetFileChooser([](HWND, const std::string &filter) -> std::optional<std::string> {
    EXPECT_EQ(filter, velloran::kImageFileFilter);
    return std::string("C:\\firmware\\printer.upd");
  });
  Click(IDC_BUTTON_OPEN);
  EXPECT_EQ(dialog_->GetText(IDC_EDIT_PATH), "C:\\firmware\\printer.upd");
  EXPECT_EQ(g_strImagePath.Get(), "C:\\firmware\\printer.upd");

  Click(IDC_RADIO_USB);
  Click(IDC_RADIO_LPT);
  EXPECT_FALSE(dialog_->IsChecked(IDC_RADIO_USB));
  EXPECT_TRUE(dialog_->IsChecked(IDC_RADIO_LPT));
  busy_ = 0;
  Click(IDC_BUTTON_LOAD);
  ASSERT_EQ(launcher_.launched.size(), 1u);
  EXPECT_EQ(launcher_.launched[0], &FakeLptProc);
}

TEST_F(Win32DialogTest, WorkerStatusLinesAndMessageBoxesArriveOnTheDialogThread) {
  dialog_->RegisterAsUpgradeWindow();
  std::atomic<bool> done{false};
  std::thread worker([&] {
    velloran::SendUpgradeStatus(velloran::StatusId::kPreparingBoot, 10);
    velloran::SendUpgradeStatus({velloran::StatusId::kPacketSentFormat, 1}, 150);
    velloran::SendUpgradeStatus(velloran::StatusId::kExit, 301);
    velloran::UpgradeMessageBox(velloran::StatusId::kBoxWriteFailed);
    done = true;
  });
  bool finished = PumpUntil([&] { return done.load(); });
  worker.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(dialog_->GetText(IDC_EDIT_LOG), std::string(velloran::text::kPreparingBoot) + "\r\n" +
                                               velloran::PacketSentLine(1) + "\r\n" + velloran::text::kExit + "\r\n");
  EXPECT_EQ(SendMessageA(Item(IDC_PROGRESS), PBM_GETPOS, 0, 0), 50);
  EXPECT_EQ(static_cast<COLORREF>(SendMessageA(Item(IDC_PROGRESS), PBM_GETBARCOLOR, 0, 0)), RGB(0, 255, 0));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, velloran::text::kBoxWriteFailed);
  EXPECT_EQ(boxes_[0].thread, GetCurrentThreadId());
}

// What the user sees of the bar: the filled part in the colour of the band,
// drawn in the classic look that PBM_SETBARCOLOR paints.
TEST_F(Win32DialogTest, TheBarShowsTheColourOfItsBand) {
  dialog_->RegisterAsUpgradeWindow();
  HWND bar = Item(IDC_PROGRESS);
  struct Case {
    int code;
    COLORREF color;
  };
  for (Case c : {Case{50, RGB(0, 0, 255)}, Case{150, RGB(0, 255, 0)}, Case{250, RGB(255, 0, 0)}}) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
      velloran::SendUpgradeStatus(velloran::StatusId::kPreparingBoot, c.code);
      done = true;
    });
    bool sent = PumpUntil([&] { return done.load(); });
    worker.join();
    ASSERT_TRUE(sent);
    RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    RECT client;
    GetClientRect(bar, &client);
    HDC dc = GetDC(bar);
    // A quarter of the way in lies inside the filled half; the last tenth
    // is empty.
    COLORREF filled = GetPixel(dc, client.right / 4, client.bottom / 2);
    COLORREF empty = GetPixel(dc, client.right - client.right / 10, client.bottom / 2);
    ReleaseDC(bar, dc);
    EXPECT_EQ(filled, c.color) << c.code << std::hex << " got 0x" << filled;
    EXPECT_NE(empty, c.color) << c.code;
  }
}

TEST_F(Win32DialogTest, ClosingWhileAWorkerSendsNeitherHangsNorDeliversAfterwards) {
  dialog_->RegisterAsUpgradeWindow();
  std::atomic<bool> stop{false};
  std::atomic<int> sent{0};
  std::thread worker([&] {
    while (!stop) {
      velloran::SendUpgradeStatus({velloran::StatusId::kPacketSentFormat, 1}, 120);
      ++sent;
    }
  });
  ASSERT_TRUE(PumpUntil([&] { return sent.load() >= 3; }));
  dialog_->Close(IDCANCEL);
  EXPECT_EQ(dialog_->hwnd(), nullptr);
  // Unregistered: the worker's lines go nowhere and it is never blocked.
  int before = sent.load();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (sent.load() < before + 1000 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  stop = true;
  worker.join();
  EXPECT_GE(sent.load(), before + 1000);
}

TEST(Win32Texts, NarrowTextsAreInCodePage936) {
  EXPECT_EQ(std::string("所有文件！"), "\xCB\xF9\xD3\xD0\xCE\xC4\xBC\xFE\xA3\xA1");
  EXPECT_EQ(velloran::Win32FilterString(velloran::kImageFileFilter),
            std::string("upd(*.upd)\0*.upd\0\xCB\xF9\xD3\xD0\xCE\xC4\xBC\xFE(*.*)\0*.*\0\0", 36));
}

TEST(Win32Texts, ProgramNameIsTheExecutablesBaseName) {
  EXPECT_EQ(velloran::BaseNameWithoutExtension("C:\\Tools\\Velloran.exe"), "Velloran");
  EXPECT_EQ(velloran::BaseNameWithoutExtension("Z:/opt/v/velloran-cli.exe"), "velloran-cli");
  EXPECT_EQ(velloran::BaseNameWithoutExtension("C:\\v.1\\tool"), "tool");
  EXPECT_EQ(velloran::ProgramBaseName(), "windows_dialog_test");
}

}  // namespace
