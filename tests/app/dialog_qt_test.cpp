// The Qt dialog on the offscreen platform: start-up state, look, the Load
// checks through its buttons, status lines from a worker, the file dialog,
// message boxes, and closing while an upgrade runs.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <atomic>
#include <climits>
#include <set>
#include <thread>

#include "app_values.h"
#include "dialog_template.h"
#include "dialog_units.h"
#include "exchange.h"
#include "fake_dialog_view.h"
#include "progress_band.h"
#include "qt_test_support.h"
#include "resource.h"
#include "status_report.h"
#include "upgrade_steps.h"
#include "velloran_app.h"
#include "velloran_dialog_qt.h"

namespace velloran {
namespace {

using namespace std::chrono_literals;
using testing::FakeComProc;
using testing::FreePorts;
using testing::ProcessEventsUntil;
using testing::RecordingLauncher;
using testing::WhenModal;
using testing::kEventBound;

struct Box {
  QString caption;
  QString text;
};

class DialogQtTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::TestApplication();
    g_strImagePath.Set("");
    g_nComPort = 0;
    g_nBaudRate = 0;
    g_bUpgrading = 0;
  }

  DialogServices Services(std::set<unsigned> free_ports = {3, 10}) {
    return testing::FakeServices(FreePorts(std::move(free_ports)), launcher_, g_bUpgrading);
  }

  void Intercept(QtVelloranDialog &dialog) {
    dialog.SetMessageBoxPresenter([this](const QString &caption, const QString &text) { boxes_.push_back({caption, text}); });
  }

  static QComboBox *Combo(QtVelloranDialog &dialog, int id) { return qobject_cast<QComboBox *>(dialog.control(id)); }
  static QAbstractButton *Button(QtVelloranDialog &dialog, int id) {
    return qobject_cast<QAbstractButton *>(dialog.control(id));
  }

  RecordingLauncher launcher_;
  std::vector<Box> boxes_;
};

TEST_F(DialogQtTest, StartUpState) {
  g_bUpgrading = 1;
  QtVelloranDialog dialog(Services({3, 10}));
  for (int id : {IDC_RADIO_USB, IDC_RADIO_SERIAL, IDC_RADIO_NET, IDC_RADIO_LPT}) {
    EXPECT_FALSE(Button(dialog, id)->isChecked()) << id;
  }
  QComboBox *port = Combo(dialog, IDC_COMBO_PORT);
  ASSERT_EQ(port->count(), 2);
  EXPECT_EQ(port->itemText(0), "COM10 ");
  EXPECT_EQ(port->itemText(1), "COM3 ");
  EXPECT_EQ(port->currentText(), "COM10 ");
  QComboBox *baud = Combo(dialog, IDC_COMBO_BAUD);
  ASSERT_EQ(baud->count(), 6);
  EXPECT_EQ(baud->itemText(5), "115200");
  EXPECT_EQ(baud->currentText(), "4800");
  EXPECT_EQ(g_bUpgrading.load(), 0);
  EXPECT_EQ(qobject_cast<QLineEdit *>(dialog.control(IDC_EDIT_PATH))->text(), "");
  EXPECT_EQ(qobject_cast<QProgressBar *>(dialog.control(IDC_PROGRESS))->value(), 0);
}

// Pixels of a row's right half that differ from its background.
int MarkedPixelsInRightHalf(const QImage &image, const QRect &row) {
  const QColor background = image.pixelColor(row.right() - 1, row.top() + 1);
  int marked = 0;
  for (int y = row.top() + 1; y < row.bottom(); ++y) {
    for (int x = row.left() + row.width() / 2; x < row.right() - 1; ++x) {
      if (image.pixelColor(x, y) != background) ++marked;
    }
  }
  return marked;
}

TEST_F(DialogQtTest, PortEntriesAreTheNameAloneWithTheNodeBesideThemInTheList) {
  DialogServices services = Services({3, 10});
  services.describe_port = [](unsigned port) { return port == 10 ? std::string("/dev/pts/3") : std::string(); };
  QtVelloranDialog dialog(std::move(services));
  dialog.show();
  QComboBox *port = Combo(dialog, IDC_COMBO_PORT);
  ASSERT_EQ(port->count(), 2);
  EXPECT_EQ(port->itemText(0), "COM10 ");
  EXPECT_EQ(port->itemText(1), "COM3 ");
  EXPECT_EQ(port->currentText(), "COM10 ");
  EXPECT_EQ(port->itemData(0, Qt::ToolTipRole).toString(), "/dev/pts/3");
  EXPECT_TRUE(port->itemData(1, Qt::ToolTipRole).toString().isEmpty());

  // The edit field shows the whole name from its first letter.
  QLineEdit *edit = port->lineEdit();
  EXPECT_EQ(edit->text(), "COM10 ");
  // The caret can stand behind the last digit without the text scrolling.
  auto caret = [edit] { return edit->inputMethodQuery(Qt::ImCursorRectangle).toRect(); };
  EXPECT_EQ(edit->cursorPosition(), 0);
  const int start = caret().center().x();
  edit->setCursorPosition(5);
  edit->grab();  // the field scrolls, if it must, when it paints
  EXPECT_EQ(caret().center().x() - start, QFontMetrics(edit->font()).horizontalAdvance("COM10"));
  EXPECT_LT(caret().center().x(), edit->width());
  edit->setCursorPosition(0);

  // The open list shows the node in the row of its entry only.
  port->showPopup();
  QAbstractItemView *list = port->view();
  ASSERT_TRUE(ProcessEventsUntil([&] { return list->isVisible(); }, 5s));
  const QImage image = list->viewport()->grab().toImage();
  const QRect noted = list->visualRect(list->model()->index(0, 0));
  const QRect plain = list->visualRect(list->model()->index(1, 0));
  EXPECT_GT(MarkedPixelsInRightHalf(image, noted), 20);
  EXPECT_EQ(MarkedPixelsInRightHalf(image, plain), 0);
  port->hidePopup();
}

TEST_F(DialogQtTest, NoFreePortLeavesTheComboEmpty) {
  QtVelloranDialog dialog(Services({}));
  EXPECT_EQ(Combo(dialog, IDC_COMBO_PORT)->count(), 0);
  EXPECT_EQ(Combo(dialog, IDC_COMBO_PORT)->currentText(), "");
}

TEST_F(DialogQtTest, LooksLikeItsTemplate) {
  QtVelloranDialog dialog(Services());
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Velloran-V4.0");
  EXPECT_FALSE(dialog.windowIcon().availableSizes().isEmpty()) << "the application icon";
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "not resizable";
  EXPECT_FALSE(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(dialog.windowFlags() & Qt::WindowCloseButtonHint);

  QFontMetrics metrics(dialog.font());
  DialogUnits units(metrics.horizontalAdvance(kDialogUnitAlphabet), metrics.height());
  EXPECT_EQ(dialog.width(), units.ToPixelsX(319));
  EXPECT_EQ(dialog.height(), units.ToPixelsY(154));
  EXPECT_EQ(dialog.font().pointSize(), 9);
  int group_boxes = 0;
  for (const ControlTemplate &spec : MainDialogTemplate().controls) {
    if (spec.id == IDC_STATIC) {
      ++group_boxes;
      continue;
    }
    QWidget *widget = dialog.control(spec.id);
    ASSERT_NE(widget, nullptr) << spec.id;
    DialogRect r = units.ToPixels(spec.rect);
    if (spec.kind == ControlKind::kComboBox) r.cy = widget->sizeHint().height();  // closed, without its list
    EXPECT_EQ(widget->geometry(), QRect(r.x, r.y, r.cx, r.cy)) << spec.id;
    EXPECT_EQ(widget->isVisible(), spec.visible) << spec.id;
    if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
      EXPECT_EQ(button->text().toStdString(), spec.text);
    }
  }
  EXPECT_EQ(group_boxes, 2);
  // The push buttons lie above the group box that frames them.
  QWidget *load = dialog.control(IDC_BUTTON_LOAD);
  EXPECT_EQ(dialog.childAt(load->geometry().center()), load);
  EXPECT_FALSE(qobject_cast<QPushButton *>(load)->autoDefault());

  // One group: checking a radio button unchecks the others.
  Button(dialog, IDC_RADIO_USB)->click();
  Button(dialog, IDC_RADIO_LPT)->click();
  EXPECT_FALSE(Button(dialog, IDC_RADIO_USB)->isChecked());
  EXPECT_TRUE(Button(dialog, IDC_RADIO_LPT)->isChecked());
}

TEST_F(DialogQtTest, TabReachesTheTemplatesTabStopsOnly) {
  // Template 102 marks the two combo boxes, the two edit boxes and the two
  // push buttons as tab stops; the radio buttons take the focus by click.
  QtVelloranDialog dialog(Services());
  const std::set<int> tab_stops = {IDC_COMBO_PORT, IDC_EDIT_PATH, IDC_BUTTON_OPEN,
                                   IDC_BUTTON_LOAD, IDC_EDIT_LOG,  IDC_COMBO_BAUD};
  for (const ControlTemplate &spec : MainDialogTemplate().controls) {
    if (spec.id == IDC_STATIC) continue;
    bool tab = (dialog.control(spec.id)->focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
    EXPECT_EQ(tab, tab_stops.contains(spec.id)) << spec.id;
  }
  for (int id : {IDC_RADIO_USB, IDC_RADIO_SERIAL, IDC_RADIO_LPT}) {
    EXPECT_EQ(dialog.control(id)->focusPolicy(), Qt::ClickFocus) << id;
  }
}

TEST_F(DialogQtTest, LoadReportsMissingChoicesInOrder) {
  QtVelloranDialog dialog(Services({}));
  Intercept(dialog);
  Button(dialog, IDC_BUTTON_LOAD)->click();
  g_strImagePath.Set("/tmp/fw.upd");
  Button(dialog, IDC_BUTTON_LOAD)->click();
  Button(dialog, IDC_RADIO_SERIAL)->click();
  Button(dialog, IDC_BUTTON_LOAD)->click();
  ASSERT_EQ(boxes_.size(), 3u);
  EXPECT_EQ(boxes_[0].text, "Please Select File！");
  EXPECT_EQ(boxes_[1].text, "Please Select Port！");
  EXPECT_EQ(boxes_[2].text, "Serial Port Error！");
  EXPECT_EQ(boxes_[0].caption, QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
  EXPECT_TRUE(launcher_.launched.empty());
}

TEST_F(DialogQtTest, SerialLoadTakesThePortNumberFromTheComboText) {
  QtVelloranDialog dialog(Services({12}));
  Intercept(dialog);
  g_strImagePath.Set("/tmp/fw.upd");
  Button(dialog, IDC_RADIO_SERIAL)->click();
  struct Case {
    const char *text;
    int port;
  };
  for (Case c : {Case{"COM12 ", 12}, Case{"COM5", 5}, Case{"nothing", 0}, Case{"COM123456789012345678", INT_MAX}}) {
    Combo(dialog, IDC_COMBO_PORT)->setEditText(c.text);
    g_bUpgrading = 0;
    launcher_.launched.clear();
    Button(dialog, IDC_BUTTON_LOAD)->click();
    EXPECT_EQ(g_nComPort.load(), c.port) << c.text;
    EXPECT_EQ(g_nBaudRate.load(), 4800);
    EXPECT_EQ(launcher_.launched, (std::vector<UpgradeProcedure>{&FakeComProc})) << c.text;
  }
  EXPECT_TRUE(boxes_.empty());
}

// The chunk's colour, sampled in the middle of the filled part.
QColor ChunkColor(QProgressBar *bar) {
  QImage image = bar->grab().toImage();
  int x = 2 + (bar->width() - 4) * bar->value() / 200;
  return image.pixelColor(x, bar->height() / 2);
}

TEST_F(DialogQtTest, StatusLinesFromAWorkerColourTheBar) {
  QtVelloranDialog dialog(Services());
  dialog.RegisterAsUpgradeWindow();
  dialog.show();
  auto *bar = qobject_cast<QProgressBar *>(dialog.control(IDC_PROGRESS));
  struct Case {
    int code;
    QColor color;
    int position;
  };
  const QColor blue(0, 0, 255), green(0, 255, 0), red(255, 0, 0);
  uint32_t packet = 0;
  for (Case c : {Case{100, blue, 100}, Case{101, green, 1}, Case{200, green, 100}, Case{250, red, 50},
                 Case{300, red, 100}, Case{-1, red, 100}, Case{301, red, 100}, Case{30, blue, 30}}) {
    std::atomic<bool> sent{false};
    ++packet;
    std::thread worker([&] {
      SendUpgradeStatus({StatusId::kPacketSentFormat, packet}, c.code);
      sent = true;
    });
    EXPECT_TRUE(ProcessEventsUntil([&] { return sent.load(); }, kEventBound));
    worker.join();
    EXPECT_EQ(bar->value(), c.position) << c.code;
    EXPECT_EQ(ChunkColor(bar), c.color) << c.code;
  }
  std::string log = dialog.GetText(IDC_EDIT_LOG);
  EXPECT_TRUE(log.starts_with(PacketSentLine(1) + "\r\n" + PacketSentLine(2) + "\r\n")) << log;
  EXPECT_TRUE(log.ends_with("\r\n" + PacketSentLine(7) + "\r\n" + PacketSentLine(8) + "\r\n")) << log;
  auto *box = qobject_cast<QPlainTextEdit *>(dialog.control(IDC_EDIT_LOG));
  EXPECT_EQ(box->document()->blockCount(), 9) << "eight lines and the empty last one";
  EXPECT_EQ(box->verticalScrollBar()->value(), box->verticalScrollBar()->maximum());
}

TEST_F(DialogQtTest, OpenUsesTheFileDialogWithTheImageFilter) {
  QTemporaryDir dir;
  QString file = dir.filePath("firmware.upd");
  QFile(file).open(QIODevice::WriteOnly);
  QtVelloranDialog dialog(Services());
  QStringList shown;
  QString selected;
  WhenModal([&] {
    auto *files = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
    if (!files) return false;
    auto *types = files->findChild<QComboBox *>("fileTypeCombo");
    shown.clear();
    for (int i = 0; types && i < types->count(); ++i) shown << types->itemText(i);
    selected = files->selectedNameFilter();
    // Typed into the name field as a user does: selectFile() leaves that
    // field alone once it has the focus, which depends on when the window
    // became active.
    auto *name = files->findChild<QLineEdit *>("fileNameEdit");
    if (!name) return false;
    name->setText(file);
    static_cast<QDialog *>(files)->accept();
    return !files->isVisible();  // not taken (yet): try again
  });
  Button(dialog, IDC_BUTTON_OPEN)->click();
  EXPECT_EQ(shown, (QStringList{"upd(*.upd)", "所有文件(*.*)"}));
  EXPECT_TRUE(selected.startsWith("upd(*.upd)"));
  EXPECT_EQ(QString::fromStdString(g_strImagePath.Get()), file);
  EXPECT_EQ(qobject_cast<QLineEdit *>(dialog.control(IDC_EDIT_PATH))->text(), file);

  WhenModal([&] {
    auto *files = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
    if (files) files->reject();
    return files != nullptr;
  });
  Button(dialog, IDC_BUTTON_OPEN)->click();
  EXPECT_EQ(QString::fromStdString(g_strImagePath.Get()), file) << "cancel changes nothing";
}

void PressKey(QWidget *fallback, Qt::Key key) {
  QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : fallback, &event);
}

TEST_F(DialogQtTest, EscCloses) {
  QtVelloranDialog dialog(Services());
  WhenModal([&] {
    if (!dialog.isVisible()) return false;
    PressKey(&dialog, Qt::Key_Escape);
    return true;
  });
  EXPECT_EQ(dialog.exec(), QDialog::Rejected);
}

TEST_F(DialogQtTest, EnterClosesUnlessOnAButton) {
  QtVelloranDialog dialog(Services());
  Intercept(dialog);
  WhenModal([&] {
    if (!dialog.isVisible()) return false;
    QApplication::setActiveWindow(&dialog);
    dialog.control(IDC_BUTTON_LOAD)->setFocus();
    EXPECT_EQ(QApplication::focusWidget(), dialog.control(IDC_BUTTON_LOAD));
    PressKey(&dialog, Qt::Key_Return);  // clicks Load: no image chosen
    EXPECT_TRUE(dialog.isVisible());
    dialog.control(IDC_EDIT_PATH)->setFocus();
    PressKey(&dialog, Qt::Key_Return);
    return true;
  });
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Please Select File！");
}

// A procedure that waits before it would mark itself busy, as a slow start.
std::atomic<int> g_slowStarts{0};
std::atomic<bool> g_releaseSlowStart{false};
std::atomic<int> g_slowStartPolicy{-1};
std::atomic<int> g_slowStartNice{0};
unsigned SlowStartProc(void *) {
  g_slowStarts++;
  g_slowStartPolicy = sched_getscheduler(0);
  g_slowStartNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  while (!g_releaseSlowStart) std::this_thread::sleep_for(5ms);
  return 0;  // leaves the busy flag as it found it
}

TEST_F(DialogQtTest, SecondLoadBeforeTheProcedureStartsIsIgnored) {
  IdleThreadLauncher launcher(g_bUpgrading);
  DialogServices services = Services();
  services.launcher = &launcher;
  services.usb_procedure = SlowStartProc;
  QtVelloranDialog dialog(services);
  Intercept(dialog);
  g_strImagePath.Set("/tmp/fw.upd");
  Button(dialog, IDC_RADIO_USB)->click();
  Button(dialog, IDC_BUTTON_LOAD)->click();
  Button(dialog, IDC_BUTTON_LOAD)->click();
  ASSERT_TRUE(ProcessEventsUntil([] { return g_slowStarts.load() == 1; }, kEventBound));
  Button(dialog, IDC_BUTTON_LOAD)->click();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(g_slowStarts.load(), 1);
  // Idle priority is the lowest nice value of the normal policy, which busy
  // work cannot hold off outright as it can a SCHED_IDLE thread.
  EXPECT_EQ(g_slowStartPolicy.load(), SCHED_OTHER);
  EXPECT_EQ(g_slowStartNice.load(), 19) << "the worker runs at idle priority";
  g_releaseSlowStart = true;
  ASSERT_TRUE(ProcessEventsUntil([&] { return !launcher.Running(); }, kEventBound));
  EXPECT_EQ(g_bUpgrading.load(), 0) << "cleared behind a procedure that did not";
  Button(dialog, IDC_BUTTON_LOAD)->click();  // a finished upgrade allows the next
  ASSERT_TRUE(ProcessEventsUntil([&] { return !launcher.Running(); }, kEventBound));
  EXPECT_EQ(g_slowStarts.load(), 2);
  EXPECT_TRUE(boxes_.empty());
}

// A procedure that keeps reporting until told to stop, first raising a
// message box when asked to.
std::atomic<bool> g_chattyStop{false};
std::atomic<bool> g_chattyBox{false};
std::atomic<int> g_chattyLines{0};
unsigned ChattyProc(void *) {
  g_bUpgrading = 1;
  if (g_chattyBox) UpgradeMessageBox(StatusId::kBoxUpgradeComplete);
  for (int i = 0; !g_chattyStop; ++i) {
    SendUpgradeStatus({StatusId::kPacketSentFormat, static_cast<uint32_t>(i)}, i % 301);
    g_chattyLines++;
    std::this_thread::sleep_for(1ms);
  }
  g_bUpgrading = 0;
  return 0;
}

class ClosingTest : public DialogQtTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ClosingTest, ClosingWhileAnUpgradeRunsEndsPromptlyAndLeavesTheWorkerAlone) {
  g_chattyStop = false;
  g_chattyBox = GetParam();
  g_chattyLines = 0;
  IdleThreadLauncher launcher(g_bUpgrading);
  DialogServices services = Services();
  services.launcher = &launcher;
  services.usb_procedure = ChattyProc;
  std::chrono::steady_clock::time_point closed;
  QString box_title, box_text;
  int box_buttons = 0;
  QMessageBox::Icon box_icon = QMessageBox::NoIcon;
  {
    QtVelloranDialog dialog(services);
    dialog.RegisterAsUpgradeWindow();
    g_strImagePath.Set("/tmp/fw.upd");
    WhenModal([&] {
      if (!dialog.isVisible()) return false;
      if (!launcher.Running()) {
        Button(dialog, IDC_RADIO_USB)->click();
        Button(dialog, IDC_BUTTON_LOAD)->click();
        return false;
      }
      if (GetParam()) {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) return false;
        box_title = box->windowTitle();
        box_text = box->text();
        box_icon = box->icon();
        box_buttons = static_cast<int>(box->buttons().size());
      } else if (dialog.logic().log().size() < 200) {
        return false;
      }
      closed = std::chrono::steady_clock::now();
      dialog.reject();  // with the worker waiting for this thread
      return true;
    });
    dialog.exec();
  }
  auto gone = std::chrono::steady_clock::now();
  // The worker goes on until told to stop: closing did not wait for it.
  EXPECT_LT(gone - closed, kEventBound);
  if (GetParam()) {
    EXPECT_EQ(box_text, "Upgrade Complete！");
    EXPECT_EQ(box_title, QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    EXPECT_EQ(box_icon, QMessageBox::Warning);
    EXPECT_EQ(box_buttons, 1);
  }
  // The worker goes on reporting into nothing.
  int lines = g_chattyLines;
  EXPECT_TRUE(ProcessEventsUntil([&] { return g_chattyLines > lines + 20; }, kEventBound));
  g_chattyStop = true;
  EXPECT_TRUE(ProcessEventsUntil([&] { return !launcher.Running(); }, kEventBound));
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutMessageBox, ClosingTest, ::testing::Bool());

TEST_F(DialogQtTest, InitInstanceRunsTheDialogUntilItCloses) {
  CVelloranApp app(Services({4}));
  QString title;
  WhenModal([&] {
    auto *dialog = qobject_cast<QtVelloranDialog *>(QApplication::activeModalWidget());
    if (!dialog) return false;
    title = dialog->windowTitle();
    dialog->close();
    return true;
  });
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(title, "Velloran-V4.0");
  // Unregistered on the way out: a late status line goes nowhere.
  std::thread worker([] {
    SendUpgradeStatus(StatusId::kExit, 50);
    UpgradeMessageBox(StatusId::kBoxUpgradeComplete);
  });
  worker.join();
}

}  // namespace
}  // namespace velloran
