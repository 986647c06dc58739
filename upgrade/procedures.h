// The three upgrade procedures. Each is the whole body of a worker thread.
// Its parameter is null (the image is read from the path of app_values.h) or
// an image already loaded, as a const ImageLoadResult * (image.h) that
// outlives the procedure: then what was shown of it is what is sent. The
// other inputs come from the process-wide values of app_values.h; every step
// reports through
// status_report.h. Each sets g_bUpgrading to 1 when it starts and back to 0 at
// every way out.
//
// Result: kUpgradeCompleted when the printer acknowledged the finish frame
// (on the parallel port: when the finish frame was written), otherwise
// kUpgradeFailed. The dialog ignores it; the command-line tool turns it into
// its exit status.
#pragma once

namespace velloran {
inline constexpr unsigned kUpgradeCompleted = 0;
inline constexpr unsigned kUpgradeFailed = 1;
}  // namespace velloran

unsigned UsbUpgradeProc(void *pParam);
unsigned ComUpgradeProc(void *pParam);
unsigned LptUpgradeProc(void *pParam);
