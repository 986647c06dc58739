#include "velloran_dlg.h"

#include <cstdio>

#include "app_values.h"
#include "device_names.h"
#include "file_filter.h"
#include "port_diagnosis.h"
#include "port_number.h"
#include "progress_band.h"
#include "resource.h"

namespace {

constexpr const char *kBaudRates[] = {"4800", "9600", "19200", "38400", "57600", "115200"};

constexpr const char *kSelectFile = "Please Select File！";
constexpr const char *kSerialPortError = "Serial Port Error！";
constexpr const char *kSelectPort = "Please Select Port！";
// Load on a serial port that another program holds, beside the texts above.
constexpr const char *kSerialPortHeld = "COM%d Is In Use By %s！";

// The box for a port whose claim was refused because another program holds
// it (naming the programs where the system shows them); nothing for any other
// refusal, which the procedure itself then meets and reports.
std::optional<std::string> HeldPortText(int port) {
  const velloran::platform::NodeDiagnosis diagnosis =
      velloran::platform::DiagnoseNode(velloran::platform::ComPortNode(static_cast<unsigned>(port)),
                                       velloran::platform::NodeUse::kSerial);
  if (diagnosis.verdict != velloran::platform::NodeVerdict::kHeld) return std::nullopt;
  std::string holders;
  for (const velloran::platform::NodeHolder &holder : diagnosis.holders)
    holders += (holders.empty() ? "" : ", ") + holder.program + " (" + std::to_string(holder.pid) + ")";
  char text[512];
  std::snprintf(text, sizeof text, kSerialPortHeld, port, holders.empty() ? "Another Program" : holders.c_str());
  return text;
}

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

void CVelloranDlg::FillComPortList() {
  velloran::ProbeComPorts(services_.probe_port, m_arrPresentPorts, m_arrFreePorts, m_arrBusyPorts);
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
    StartProcedure(services_.usb_procedure, nullptr);
    return;
  }
  if (view_.IsChecked(IDC_RADIO_SERIAL)) {
    std::string port = view_.GetText(IDC_COMBO_PORT);
    if (port.empty()) {
      view_.ShowMessageBox(kSerialPortError);
      return;
    }
    std::string baud = view_.GetText(IDC_COMBO_BAUD);
    const int number = velloran::PortNumberFromText(port);
    // The procedure closes its port for the pause after the boot switch and
    // opens it again: the claim, on the name the procedure opens, keeps it
    // this upgrade's meanwhile.
    char name[32];
    std::snprintf(name, sizeof name, "\\\\.\\COM%d", number);
    auto claim = std::make_unique<velloran::platform::PortClaim>(name);
    if (!claim->held()) {
      if (const std::optional<std::string> held = HeldPortText(number)) {
        view_.ShowMessageBox(*held);
        return;
      }
      claim.reset();
    }
    g_nComPort.store(number);
    g_nBaudRate.store(velloran::ParseDecimal(baud));
    StartProcedure(services_.serial_procedure, std::move(claim));
    return;
  }
  if (view_.IsChecked(IDC_RADIO_LPT)) {
    StartProcedure(services_.lpt_procedure, nullptr);
    return;
  }
  view_.ShowMessageBox(kSelectPort);
}

// The flag is raised before the thread starts, so that a second Load before
// the procedure raises it itself is ignored; it drops again if no thread
// could be started.
void CVelloranDlg::StartProcedure(velloran::UpgradeProcedure procedure,
                                  std::unique_ptr<velloran::platform::PortClaim> claim) {
  services_.busy_flag->store(1);
  if (!services_.launcher->Launch(procedure, std::move(claim))) services_.busy_flag->store(0);
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
