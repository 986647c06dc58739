// CComPort comm events: dispatch of an event mask to the hooks, and the
// notifications that the hooks send to a window or thread.
#include "com_port.h"

void CComPort::HandleEvent(DWORD dwMask) {
  const DWORD options = dwOption_;
  if ((dwMask & EV_RXCHAR) != 0 && (options & EN_RX_THREAD) == 0) {
    DWORD n = GetQueueCount(TRUE);
    if (n != 0xFFFFFFFFu && n > 0) ReceiveStep(n, 2 * n + 64);
  }
  if ((dwMask & EV_TXEMPTY) != 0) {
    if (WatchThreadHasTxWork()) WriteFromBuffer(1024);
    OnTxEmpty();
  }
  if ((dwMask & EV_RXFLAG) != 0) OnRxFlag();
  if ((dwMask & EV_CTS) != 0) OnCts();
  if ((dwMask & EV_DSR) != 0) OnDsr();
  if ((dwMask & EV_RING) != 0) OnRing();
  if ((dwMask & EV_RLSD) != 0) OnRlsd();
  if ((dwMask & EV_BREAK) != 0) OnBreak();
  if ((dwMask & EV_ERR) != 0) OnError();
}

void CComPort::Notify(UINT uMsg, LPARAM lParam, BOOL bPost) {
  if (hNotifyWnd_ != NULL && ::IsWindow(hNotifyWnd_)) {
    if (bPost) {
      ::PostMessageA(hNotifyWnd_, uMsg, dwPort_, lParam);
    } else {
      ::SendMessageA(hNotifyWnd_, uMsg, dwPort_, lParam);
    }
  }
  if (dwNotifyThreadId_ != 0) ::PostThreadMessageA(dwNotifyThreadId_, uMsg, dwPort_, lParam);
}

namespace {
LPARAM Flag(DWORD status, DWORD bit) { return (status & bit) != 0 ? 1 : 0; }
}  // namespace

void CComPort::OnReceive() { Notify(WM_COM_RECEIVE, 0, TRUE); }
void CComPort::OnCts() { Notify(WM_COM_CTS, Flag(GetModemStatus(), MS_CTS_ON), TRUE); }
void CComPort::OnDsr() { Notify(WM_COM_DSR, Flag(GetModemStatus(), MS_DSR_ON), TRUE); }
void CComPort::OnRing() { Notify(WM_COM_RING, Flag(GetModemStatus(), MS_RING_ON), TRUE); }
void CComPort::OnRlsd() { Notify(WM_COM_RLSD, Flag(GetModemStatus(), MS_RLSD_ON), TRUE); }
void CComPort::OnBreak() {
  if (IsOpen()) ::ClearCommBreak(hComm_);
  Notify(WM_COM_BREAK, 0, TRUE);
}
void CComPort::OnTxEmpty() { Notify(WM_COM_TXEMPTY, 0, TRUE); }
void CComPort::OnError() { Notify(WM_COM_ERROR, static_cast<LPARAM>(GetCommErrors()), TRUE); }
void CComPort::OnRxFlag() { Notify(WM_COM_RXFLAG, 0, TRUE); }
void CComPort::OnSpare1() { Notify(WM_COM_SPARE1, 0, TRUE); }
void CComPort::OnSpare2() { Notify(WM_COM_SPARE2, 0, TRUE); }
void CComPort::OnSpare3() { Notify(WM_COM_SPARE3, 0, TRUE); }
void CComPort::OnSpare4() { Notify(WM_COM_SPARE4, 0, TRUE); }
void CComPort::OnSpare5() { Notify(WM_COM_SPARE5, 0, TRUE); }
