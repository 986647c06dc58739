// The main dialog's behaviour, independent of the toolkit that shows it:
// the COM port list, the Open and Load commands, and the status lines of a
// running upgrade procedure.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dialog_services.h"
#include "dialog_view.h"

class CVelloranDlg {
 public:
  CVelloranDlg(velloran::DialogView &view, velloran::DialogServices services);

  // Start-up: port list with entry 0 selected, the baud rates with "4800"
  // selected, busy flag cleared. Returns true.
  bool OnInitDialog();

  // Lists the free COM ports as "COMn " entries.
  void FillComPortList();

  void OnBnClickedOpen();
  void OnBnClickedLoad();
  void OnCbnSelchangeComboPort() {}

  // A status line from the running procedure; takes ownership of text.
  // Appends the line to the log and moves the progress bar. Returns 0.
  int OnUpgradeStatus(std::string *text, int code);
  void AppendLog(std::string text);

  const std::string &log() const { return m_strLog; }
  const std::vector<uint32_t> &present_ports() const { return m_arrPresentPorts; }
  const std::vector<uint32_t> &free_ports() const { return m_arrFreePorts; }
  const std::vector<uint32_t> &busy_ports() const { return m_arrBusyPorts; }

 private:
  bool Busy() const;
  void StartProcedure(velloran::UpgradeProcedure procedure, std::unique_ptr<velloran::platform::PortClaim> claim);

  velloran::DialogView &view_;
  velloran::DialogServices services_;
  std::string m_strLog;
  std::vector<uint32_t> m_arrPresentPorts;
  std::vector<uint32_t> m_arrFreePorts;
  std::vector<uint32_t> m_arrBusyPorts;
};
