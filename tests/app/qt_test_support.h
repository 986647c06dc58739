// The QApplication of the gui tests (offscreen) and waiting in its loop.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QStyleFactory>
#include <QTimer>
#include <chrono>
#include <functional>
#include <set>

#include "dialog_services.h"

namespace velloran::testing {

inline QApplication &TestApplication() {
  static int argc = 1;
  static char name[] = "velloran";
  static char *argv[] = {name, nullptr};
  static QApplication *application = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    auto *app = new QApplication(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    return app;
  }();
  return *application;
}

// The bound for a wait on something that follows as soon as another thread
// gets its turn: generous, since a loaded machine (or ThreadSanitizer) may
// hold that thread back for seconds; a wait ends as soon as its event comes.
inline constexpr std::chrono::seconds kEventBound{30};

// Runs the event loop until done() holds or the time is up; returns done().
inline bool ProcessEventsUntil(const std::function<bool()> &done, std::chrono::milliseconds limit) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > limit.count()) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Runs action from the event loop as soon as it is entered (for example by
// a modal dialog's exec), retrying until it returns true.
inline void WhenModal(std::function<bool()> action) {
  auto *timer = new QTimer;
  timer->setInterval(20);
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    if (action()) timer->deleteLater(), timer->stop();
  });
  timer->start();
}

inline ComPortProber FreePorts(std::set<unsigned> free_ports) {
  return [free_ports](unsigned port) { return free_ports.count(port) ? ComPortState::kFree : ComPortState::kAbsent; };
}

}  // namespace velloran::testing
