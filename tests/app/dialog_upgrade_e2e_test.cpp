// The whole dialog against the simulated serial printer: the user picks the
// serial link and the port the printer hangs on, presses Load, and the
// upgrade runs to "Upgrade Complete！" with the bar green and full.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QProgressBar>
#include <QRadioButton>
#include <QPushButton>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "app_values.h"
#include "device_names.h"
#include "exchange.h"
#include "dialog_services.h"
#include "qt_test_support.h"
#include "resource.h"
#include "serial_printer.h"
#include "velloran_dialog_qt.h"

namespace velloran {
namespace {

using namespace std::chrono_literals;

// Runs the procedure on a thread of normal priority, and releases the port's
// claim and clears the busy flag behind it as the dialog's own launcher does. That launcher starts it at
// idle priority, and a thread of idle priority gets next to no processor time
// while the cores are busy with other work: it then misses the printer's
// reply windows, which is what idle priority means. The priority itself is
// checked in dialog_qt_test.
class NormalPriorityLauncher final : public ProcedureLauncher {
 public:
  ~NormalPriorityLauncher() override {
    if (thread_.joinable()) thread_.join();
  }
  bool Launch(UpgradeProcedure procedure, std::unique_ptr<platform::PortClaim> claim) override {
    if (thread_.joinable()) thread_.join();
    running_ = true;
    thread_ = std::thread([this, procedure, claim = std::move(claim)]() mutable {
      procedure(nullptr);
      claim.reset();
      g_bUpgrading = 0;
      running_ = false;
    });
    return true;
  }
  bool Running() const override { return running_; }

 private:
  std::atomic<bool> running_{false};
  std::thread thread_;
};

TEST(DialogUpgrade, SerialUpgradeOfTheSimulatedPrinterCompletes) {
  testing::TestApplication();
  sim::SerialPrinterOptions options;
  options.baud = 9600;
  sim::SerialPrinter printer(options);
  std::string error;
  ASSERT_TRUE(printer.Start(&error)) << error;
  setenv(platform::kDeviceMapVariable, ("COM200=" + printer.SlavePath()).c_str(), 1);

  std::vector<QString> boxes;
  NormalPriorityLauncher launcher;
  {
    DialogServices services = DefaultDialogServices();
    services.launcher = &launcher;
    QtVelloranDialog dialog(services);
    dialog.RegisterAsUpgradeWindow();
    dialog.SetMessageBoxPresenter([&](const QString &, const QString &text) { boxes.push_back(text); });
    dialog.show();
    auto *port = qobject_cast<QComboBox *>(dialog.control(IDC_COMBO_PORT));
    int entry = port->findText("COM200 ", Qt::MatchStartsWith);
    ASSERT_GE(entry, 0) << "the simulated port is listed as free";
    port->setCurrentIndex(entry);
    g_strImagePath.Set(VELLORAN_DEMO_IMAGE);
    qobject_cast<QRadioButton *>(dialog.control(IDC_RADIO_SERIAL))->click();
    qobject_cast<QPushButton *>(dialog.control(IDC_BUTTON_LOAD))->click();
    EXPECT_EQ(g_nComPort.load(), 200);

    ASSERT_TRUE(testing::ProcessEventsUntil([&] { return !launcher.Running(); }, 90s)) << dialog.logic().log();
    EXPECT_EQ(boxes, std::vector<QString>{"Upgrade Complete！"}) << dialog.logic().log();
    auto *bar = qobject_cast<QProgressBar *>(dialog.control(IDC_PROGRESS));
    EXPECT_EQ(bar->value(), 100);
    EXPECT_TRUE(bar->styleSheet().contains("#00ff00")) << bar->styleSheet().toStdString();
    EXPECT_FALSE(dialog.logic().log().empty());
  }
  unsetenv(platform::kDeviceMapVariable);

  std::ifstream file(VELLORAN_DEMO_IMAGE, std::ios::binary);
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
  ASSERT_GT(bytes.size(), 8u);
  std::vector<uint8_t> flashed = printer.FlashedImage();
  ASSERT_GE(flashed.size(), bytes.size() - 8);
  EXPECT_TRUE(std::equal(bytes.begin() + 8, bytes.end(), flashed.begin())) << "the image data arrived unchanged";
  EXPECT_EQ(printer.Counters().finishes, 1u);
}

}  // namespace
}  // namespace velloran
