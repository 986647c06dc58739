#include "velloran_dlg.h"

#include <cstdio>

#include "app_values.h"
#include "file_filter.h"
#include "port_number.h"
#include "progress_band.h"
#include "resource.h"

namespace {

constexpr const char *kBaudRates[] = {"4800", "9600", "19200", "38400", "57600", "115200"};

constexpr const char *kSelectFile = "Please Select File！";
constexpr const char *kSerialPortError = "Serial Port Error！";
constexpr const char *kSelectPort = "Please Select Port！";

}  // namespace

CVelloranDlg::CVelloranDlg(velloran::DialogView &view, velloran::DialogServices services)
    : view_(view), services_(std::move(services)) {}

bool CVelloranDlg::OnInitDialog() {
  FillComPortList();
  view_.SelectComboEntry(IDC_COMBO_PORT, 0);
  int index = 0;
  for (const char *rate : kBaudRates) view_.InsertComboEntry(IDC_COMBO_BAUD, index++, rate);
  view_.SelectComboEntry(IDC_COMBO_BAUD, 0);
  services_.busy_flag->store(0);
  return true;
}

void CVelloranDlg::ProbeComPorts(std::vector<uint32_t> &present, std::vector<uint32_t> &free,
                                 std::vector<uint32_t> &busy) {
  velloran::ProbeComPorts(services_.probe_port, present, free, busy);
}

void CVelloranDlg::FillComPortList() {
  ProbeComPorts(m_arrPresentPorts, m_arrFreePorts, m_arrBusyPorts);
  for (uint32_t port : m_arrFreePorts) {
    char entry[16];
    std::snprintf(entry, sizeof entry, "COM%u ", static_cast<unsigned>(port));
    // The entry stays "COMn " exactly: Load reads the number back from it.
    std::string note = services_.describe_port ? services_.describe_port(port) : std::string();
    if (note.empty()) {
      view_.AddComboEntry(IDC_COMBO_PORT, entry);
    } else {
      view_.AddComboEntryWithNote(IDC_COMBO_PORT, entry, note);
    }
  }
}

void CVelloranDlg::OnBnClickedOpen() {
  std::optional<std::string> path = view_.ChooseFileToOpen(velloran::kImageFileFilter);
  if (!path) return;
  g_strImagePath.Set(*path);
  view_.SetText(IDC_EDIT_PATH, *path);
}

bool CVelloranDlg::Busy() const {
  return services_.busy_flag->load() == 1 || services_.launcher->Running();
}

void CVelloranDlg::OnBnClickedLoad() {
  if (Busy()) return;
  if (g_strImagePath.IsEmpty()) {
    view_.ShowMessageBox(kSelectFile);
    return;
  }
  if (view_.IsChecked(IDC_RADIO_USB)) {
    StartProcedure(services_.usb_procedure);
    return;
  }
  if (view_.IsChecked(IDC_RADIO_SERIAL)) {
    std::string port = view_.GetText(IDC_COMBO_PORT);
    if (port.empty()) {
      view_.ShowMessageBox(kSerialPortError);
      return;
    }
    std::string baud = view_.GetText(IDC_COMBO_BAUD);
    g_nComPort.store(velloran::PortNumberFromText(port));
    g_nBaudRate.store(velloran::ParseDecimal(baud));
    StartProcedure(services_.serial_procedure);
    return;
  }
  if (view_.IsChecked(IDC_RADIO_LPT)) {
    StartProcedure(services_.lpt_procedure);
    return;
  }
  view_.ShowMessageBox(kSelectPort);
}

// The flag is raised before the thread starts, so that a second Load before
// the procedure raises it itself is ignored; it drops again if no thread
// could be started.
void CVelloranDlg::StartProcedure(velloran::UpgradeProcedure procedure) {
  services_.busy_flag->store(1);
  if (!services_.launcher->Launch(procedure)) services_.busy_flag->store(0);
}

int CVelloranDlg::OnUpgradeStatus(std::string *text, int code) {
  AppendLog(*text);
  delete text;
  if (std::optional<velloran::BarState> bar = velloran::BarStateForCode(code)) {
    view_.SetBarColor(IDC_PROGRESS, bar->color);
    view_.SetBarPosition(IDC_PROGRESS, bar->position);
  }
  return 0;
}

void CVelloranDlg::AppendLog(std::string text) {
  m_strLog = view_.GetText(IDC_EDIT_LOG);
  m_strLog += text;
  m_strLog += "\r\n";
  view_.SetText(IDC_EDIT_LOG, m_strLog);
  view_.ScrollToBottom(IDC_EDIT_LOG);
}
