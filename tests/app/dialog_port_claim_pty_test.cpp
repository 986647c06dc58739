// The dialog's serial Load claims its port (a pseudo-terminal) until the
// worker ends, as the command line does; a port that another program holds
// (an open of the test's own with the lock) is refused with a box.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <thread>

#include "../transport/pty_pair.h"
#include "app_values.h"
#include "device_names.h"
#include "fake_dialog_view.h"
#include "resource.h"
#include "velloran_dlg.h"

namespace velloran {
namespace {

std::string g_node;
std::atomic<bool> g_mayEnd{false}, g_lockableDuringRun{true};

// Whether another opener could take the node's lock.
bool Lockable() {
  const int fd = open(g_node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  const bool locked = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
  if (fd >= 0) close(fd);
  return locked;
}

unsigned LookAtThePortAndWait(void *) {
  g_lockableDuringRun = Lockable();
  while (!g_mayEnd) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return 0;
}

TEST(DialogPortClaim, SerialLoadHoldsItsPortUntilTheWorkerEndsAndRefusesAHeldOne) {
  testing::PtyPair printer;
  g_node = printer.slave_path();
  setenv(platform::kDeviceMapVariable, ("COM200=" + g_node).c_str(), 1);
  std::atomic<int> busy{0};
  IdleThreadLauncher launcher(busy);
  testing::FakeDialogView view;
  DialogServices services = testing::FakeServices([](unsigned) { return ComPortState::kFree; }, launcher, busy);
  services.serial_procedure = LookAtThePortAndWait;
  CVelloranDlg dlg(view, services);
  g_strImagePath.Set("/tmp/fw.upd");
  view.checked[IDC_RADIO_SERIAL] = true;
  view.texts[IDC_COMBO_PORT] = "COM200 ";

  const int rival = open(g_node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_EQ(flock(rival, LOCK_EX | LOCK_NB), 0);
  dlg.OnBnClickedLoad();
  close(rival);
  ASSERT_EQ(view.boxes.size(), 1u);
  EXPECT_EQ(view.boxes[0].rfind("COM200 Is In Use By ", 0), 0u) << view.boxes[0];
  EXPECT_FALSE(launcher.Running());

  dlg.OnBnClickedLoad();
  EXPECT_FALSE(Lockable());
  g_mayEnd = true;
  for (int i = 0; i < 1000 && launcher.Running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_FALSE(launcher.Running());
  EXPECT_FALSE(g_lockableDuringRun);
  EXPECT_TRUE(Lockable());
  EXPECT_EQ(view.boxes.size(), 1u);
  unsetenv(platform::kDeviceMapVariable);
}

}  // namespace
}  // namespace velloran
