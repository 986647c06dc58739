// The dialog's serial Load claims its port for the whole run, as the command
// line does: no other program can take it in the procedure's close/reopen
// pause, the claim goes when the worker ends, and a port that another
// program holds is refused with a box before anything starts. The port is a
// pseudo-terminal; "another program" is an open of its own with the lock.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "../transport/pty_pair.h"
#include "app_values.h"
#include "device_names.h"
#include "fake_dialog_view.h"
#include "resource.h"
#include "velloran_dlg.h"

namespace velloran {
namespace {

std::atomic<bool> g_procedureMayEnd{false};
std::atomic<bool> g_othersCouldLockDuringRun{true};

// Whether an open of the node's own can take its lock, as another program's
// open would.
bool OthersCanLock(const std::string &node) {
  const int fd = open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  const bool locked = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
  if (fd >= 0) close(fd);
  return locked;
}

std::string g_node;
unsigned ProcedureThatLooksAtItsPort(void *) {
  g_othersCouldLockDuringRun = OthersCanLock(g_node);
  while (!g_procedureMayEnd) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return 0;
}

TEST(DialogPortClaim, SerialLoadHoldsItsPortUntilTheWorkerEndsAndRefusesAHeldOne) {
  testing::PtyPair printer;
  g_node = printer.slave_path();
  setenv(platform::kDeviceMapVariable, ("COM200=" + g_node).c_str(), 1);
  std::atomic<int> busy{0};
  IdleThreadLauncher launcher(busy);
  testing::FakeDialogView view;
  DialogServices services = testing::FakeServices(
      [](unsigned port) { return port == 200 ? ComPortState::kFree : ComPortState::kAbsent; }, launcher, busy);
  services.serial_procedure = ProcedureThatLooksAtItsPort;
  CVelloranDlg dlg(view, services);
  dlg.OnInitDialog();
  g_strImagePath.Set("/tmp/fw.upd");
  view.checked[IDC_RADIO_SERIAL] = true;
  ASSERT_EQ(view.texts[IDC_COMBO_PORT], "COM200 ");

  // Held by another program: a box that says so, and no worker.
  const int rival = open(g_node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_EQ(flock(rival, LOCK_EX | LOCK_NB), 0);
  dlg.OnBnClickedLoad();
  close(rival);
  ASSERT_EQ(view.boxes.size(), 1u);
  EXPECT_EQ(view.boxes[0].rfind("COM200 Is In Use By ", 0), 0u) << view.boxes[0];
  EXPECT_FALSE(launcher.Running());
  EXPECT_EQ(busy.load(), 0);

  // Free: the run holds it throughout, and lets it go when it ends.
  dlg.OnBnClickedLoad();
  EXPECT_TRUE(launcher.Running());
  EXPECT_FALSE(OthersCanLock(g_node));
  g_procedureMayEnd = true;
  for (int i = 0; i < 1000 && launcher.Running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_FALSE(launcher.Running());
  EXPECT_FALSE(g_othersCouldLockDuringRun);
  EXPECT_TRUE(OthersCanLock(g_node));
  EXPECT_EQ(view.boxes.size(), 1u);
  unsetenv(platform::kDeviceMapVariable);
}

}  // namespace
}  // namespace velloran
