// SetupComm, Get/SetCommTimeouts and Get/SetCommState: the DCB on termios.
//
// The line settings go through termios2 (TCGETS2/TCSETS2), which carries any
// baud rate; the standard rates keep their Bnnn codes so that every program
// that reads the settings back (the far end of a pseudo-terminal included)
// sees the usual values. DCB fields that termios cannot hold are kept per
// handle and reported back as set.
#include "file_object.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace velloran::platform {
namespace {

struct SpeedCode {
  DWORD rate;
  unsigned code;
};

constexpr SpeedCode kSpeedCodes[] = {
    {50, B50},         {75, B75},           {110, B110},         {134, B134},
    {150, B150},       {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},     {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},     {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200}, {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000}, {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};
constexpr DWORD kHighestRate = 4000000;

unsigned CodeForRate(DWORD rate) {
  for (const SpeedCode &entry : kSpeedCodes) {
    if (entry.rate == rate) return entry.code;
  }
  return BOTHER;  // any other rate, given in c_ospeed
}

DWORD RateFor(const termios2 &settings) {
  unsigned code = settings.c_cflag & CBAUD;
  for (const SpeedCode &entry : kSpeedCodes) {
    if (entry.code == code) return entry.rate;
  }
  return settings.c_ospeed;
}

unsigned SizeFlag(BYTE byte_size) {
  switch (byte_size) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
  }
}

BYTE ByteSizeFor(unsigned cflag) {
  switch (cflag & CSIZE) {
    case CS5: return 5;
    case CS6: return 6;
    case CS7: return 7;
    default: return 8;
  }
}

// The DCB values that this system can carry out; the rest are refused
// rather than ignored.
bool Supported(const DCB &dcb) {
  if (dcb.BaudRate == 0 || dcb.BaudRate > kHighestRate) return false;
  if (dcb.ByteSize < 5 || dcb.ByteSize > 8) return false;
  if (dcb.Parity > SPACEPARITY) return false;
  switch (dcb.StopBits) {
    case ONESTOPBIT: break;
    case ONE5STOPBITS: if (dcb.ByteSize != 5) return false; break;
    case TWOSTOPBITS: if (dcb.ByteSize == 5) return false; break;
    default: return false;
  }
  // No DSR/DTR handshake, RTS toggling, null stripping, error-character
  // replacement or abort-on-error on Linux ttys.
  if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE || dcb.fRtsControl == RTS_CONTROL_TOGGLE) return false;
  if (dcb.fOutxDsrFlow || dcb.fDsrSensitivity || dcb.fNull || dcb.fErrorChar || dcb.fAbortOnError) {
    return false;
  }
  if ((dcb.fOutX || dcb.fInX) && dcb.XonChar == dcb.XoffChar) return false;
  return true;
}

// Raises or lowers one modem line; a pseudo-terminal has none, which is no
// failure.
bool SetLine(int fd, int line, bool on) {
  if (ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0) return true;
  return errno == ENOTTY || errno == EINVAL;
}

}  // namespace

bool SetRawMode(int fd) {
  termios2 settings{};
  if (ioctl(fd, TCGETS2, &settings) != 0) return false;
  settings.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
  settings.c_oflag &= ~OPOST;
  settings.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  settings.c_cflag &= ~(CSIZE | PARENB);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  return ioctl(fd, TCSETS2, &settings) == 0;
}

BOOL FileObject::Setup(DWORD, DWORD) {
  // The queue sizes are a recommendation; Linux ttys have fixed queues.
  Lock lock(mutex_);
  if (!Ready(true)) return FALSE;
  return TRUE;
}

BOOL FileObject::GetTimeouts(LPCOMMTIMEOUTS timeouts) {
  Lock lock(mutex_);
  if (!Ready(false)) return FALSE;
  *timeouts = timeouts_;
  return TRUE;
}

BOOL FileObject::SetTimeouts(const COMMTIMEOUTS &timeouts) {
  if (timeouts.ReadIntervalTimeout == MAXDWORD && timeouts.ReadTotalTimeoutMultiplier == MAXDWORD &&
      timeouts.ReadTotalTimeoutConstant == MAXDWORD) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Lock lock(mutex_);
  if (!Ready(false)) return FALSE;
  // Requests already running keep the time-outs they started with.
  timeouts_ = timeouts;
  return TRUE;
}

BOOL FileObject::GetState(LPDCB dcb) {
  Lock lock(mutex_);
  if (!Ready(true)) return FALSE;
  termios2 settings{};
  if (ioctl(fd_, TCGETS2, &settings) != 0) {
    SetLastError(FailIo(errno));
    return FALSE;
  }
  *dcb = DCB{};
  dcb->DCBlength = sizeof(DCB);
  dcb->BaudRate = RateFor(settings);
  dcb->fBinary = 1;
  dcb->fParity = (settings.c_iflag & INPCK) != 0;
  // CRTSCTS is both directions at once; report the halves that were asked
  // for, or both when the setting came from elsewhere.
  bool hardware_flow = (settings.c_cflag & CRTSCTS) != 0;
  bool asked_cts = extras_.outx_cts_flow;
  bool asked_rts = extras_.rts_control == RTS_CONTROL_HANDSHAKE;
  if (hardware_flow) {
    dcb->fOutxCtsFlow = asked_cts || !asked_rts;
    dcb->fRtsControl = asked_rts || !asked_cts ? RTS_CONTROL_HANDSHAKE : extras_.rts_control;
  } else {
    dcb->fOutxCtsFlow = 0;
    dcb->fRtsControl = asked_rts ? RTS_CONTROL_ENABLE : extras_.rts_control;
  }
  dcb->fDtrControl = extras_.dtr_control;
  dcb->fTXContinueOnXoff = extras_.tx_continue_on_xoff;
  dcb->fOutX = (settings.c_iflag & IXON) != 0;
  dcb->fInX = (settings.c_iflag & IXOFF) != 0;
  dcb->XonLim = extras_.xon_limit;
  dcb->XoffLim = extras_.xoff_limit;
  dcb->ByteSize = ByteSizeFor(settings.c_cflag);
  if (!(settings.c_cflag & PARENB)) {
    dcb->Parity = NOPARITY;
  } else if (settings.c_cflag & CMSPAR) {
    dcb->Parity = (settings.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
  } else {
    dcb->Parity = (settings.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
  }
  if (settings.c_cflag & CSTOPB) {
    dcb->StopBits = dcb->ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
  } else {
    dcb->StopBits = ONESTOPBIT;
  }
  dcb->XonChar = static_cast<char>(settings.c_cc[VSTART]);
  dcb->XoffChar = static_cast<char>(settings.c_cc[VSTOP]);
  dcb->ErrorChar = extras_.error_char;
  dcb->EofChar = extras_.eof_char;
  dcb->EvtChar = extras_.event_char;
  return TRUE;
}

BOOL FileObject::SetState(const DCB &dcb) {
  Lock lock(mutex_);
  if (!Ready(true)) return FALSE;
  if (!Supported(dcb)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  termios2 before{};
  if (ioctl(fd_, TCGETS2, &before) != 0) {
    SetLastError(FailIo(errno));
    return FALSE;
  }
  termios2 settings = before;
  bool hardware_flow = dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE;
  settings.c_cflag &= ~(CBAUD | CIBAUD | CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
  settings.c_cflag |= CodeForRate(dcb.BaudRate) | SizeFlag(dcb.ByteSize) | CLOCAL | CREAD;
  settings.c_ispeed = settings.c_ospeed = dcb.BaudRate;  // input speed follows output
  if (dcb.StopBits != ONESTOPBIT) settings.c_cflag |= CSTOPB;
  switch (dcb.Parity) {
    case ODDPARITY: settings.c_cflag |= PARENB | PARODD; break;
    case EVENPARITY: settings.c_cflag |= PARENB; break;
    case MARKPARITY: settings.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case SPACEPARITY: settings.c_cflag |= PARENB | CMSPAR; break;
    default: break;
  }
  if (hardware_flow) settings.c_cflag |= CRTSCTS;
  settings.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY);
  if (dcb.fParity) settings.c_iflag |= INPCK;
  if (dcb.fOutX) settings.c_iflag |= IXON;
  if (dcb.fInX) settings.c_iflag |= IXOFF;
  settings.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
  settings.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
  if (ioctl(fd_, TCSETS2, &settings) != 0) {
    SetLastError(FailIo(errno));
    return FALSE;
  }
  // A driver may keep its own frame (a pseudo-terminal is always 8 bits
  // without parity); a frame that did not reach the line is refused, and
  // the line keeps what it had.
  termios2 taken{};
  constexpr unsigned kFrame = CSIZE | CSTOPB | PARENB | PARODD | CMSPAR;
  if (ioctl(fd_, TCGETS2, &taken) != 0 || (taken.c_cflag & kFrame) != (settings.c_cflag & kFrame)) {
    ioctl(fd_, TCSETS2, &before);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  bool lines_set = SetLine(fd_, TIOCM_DTR, dcb.fDtrControl == DTR_CONTROL_ENABLE);
  if (!hardware_flow) lines_set = SetLine(fd_, TIOCM_RTS, dcb.fRtsControl == RTS_CONTROL_ENABLE) && lines_set;
  if (!lines_set) {
    SetLastError(FailIo(errno));
    return FALSE;
  }
  extras_.dtr_control = dcb.fDtrControl;
  extras_.rts_control = dcb.fRtsControl;
  extras_.outx_cts_flow = dcb.fOutxCtsFlow;
  extras_.tx_continue_on_xoff = dcb.fTXContinueOnXoff;
  extras_.xon_limit = dcb.XonLim;
  extras_.xoff_limit = dcb.XoffLim;
  extras_.error_char = dcb.ErrorChar;
  extras_.eof_char = dcb.EofChar;
  extras_.event_char = dcb.EvtChar;
  return TRUE;
}

}  // namespace velloran::platform

using namespace velloran::platform;

BOOL SetupComm(HANDLE hFile, DWORD dwInQueue, DWORD dwOutQueue) {
  return WithFile(hFile, hFile, [&](FileObject &file) { return file.Setup(dwInQueue, dwOutQueue); });
}

BOOL GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
  return WithFile(hFile, lpCommTimeouts, [&](FileObject &file) { return file.GetTimeouts(lpCommTimeouts); });
}

BOOL SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
  return WithFile(hFile, lpCommTimeouts, [&](FileObject &file) { return file.SetTimeouts(*lpCommTimeouts); });
}

BOOL GetCommState(HANDLE hFile, LPDCB lpDCB) {
  return WithFile(hFile, lpDCB, [&](FileObject &file) { return file.GetState(lpDCB); });
}

BOOL SetCommState(HANDLE hFile, LPDCB lpDCB) {
  return WithFile(hFile, lpDCB, [&](FileObject &file) { return file.SetState(*lpDCB); });
}
