// Opens a replay in the window as a user does (its path typed into the path
// box, Enter), then times what a user does with a large chat: the chat shown
// after Enter, the longest time the window did not answer meanwhile, the
// peak memory, and Ctrl+End, Ctrl+A, Ctrl+C, a find of "e", Lowercase and a
// resize of the window.
// Prints two lines of figures; bench/window runs it for each replay under
// Xvfb. Only controls found by name are used, so it builds against any
// version of the window.
//
// Usage: murvik-window-bench REPLAY
#include <sys/resource.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "viewer/frm_murvik.h"

namespace {

double PeakMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss) / 1024;
}

// Milliseconds that `act` and the events it leaves (the repaint) take.
double TimeMs(const std::function<void()>& act) {
  QElapsedTimer timer;
  timer.start();
  act();
  QCoreApplication::processEvents();
  return double(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s REPLAY\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  murvik::frmMurvik window;
  window.show();
  window.activateWindow();
  if (!QTest::qWaitForWindowActive(&window)) return 1;
  QTest::qWait(200);
  auto* path_box = window.findChild<QLineEdit*>(QStringLiteral("txtReplay"));
  auto* text1 = window.findChild<QWidget*>(QStringLiteral("Text1"));
  auto* lowercase = window.findChild<QCheckBox*>(QStringLiteral("chkLowercase"));
  path_box->setText(QString::fromLocal8Bit(argv[1]));
  const double idle_peak = PeakMiB();

  // A timer that should tick every 5 ms: the longest gap between its ticks
  // is the longest time the window did not answer.
  QElapsedTimer clock;
  qint64 last_tick = 0, stall = 0;
  QTimer ticks;
  ticks.setTimerType(Qt::PreciseTimer);
  QObject::connect(&ticks, &QTimer::timeout, [&] {
    stall = std::max(stall, clock.nsecsElapsed() - last_tick);
    last_tick = clock.nsecsElapsed();
  });
  ticks.start(5);
  clock.start();
  QTest::keyClick(path_box, Qt::Key_Return);
  stall = std::max(stall, clock.nsecsElapsed() - last_tick);  // a Go that blocks does so inside the click
  while (!text1->isVisible() && clock.elapsed() < 120000)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  text1->repaint();
  const double shown_ms = double(clock.nsecsElapsed()) / 1e6;
  stall = std::max(stall, clock.nsecsElapsed() - last_tick);
  ticks.stop();
  std::printf("shown %.1f ms, did not answer for %.1f ms at most, peak %.1f MiB (idle %.1f)\n", shown_ms,
              double(stall) / 1e6, PeakMiB(), idle_peak);
  std::fflush(stdout);  // a window that takes minutes for what follows has given this much

  text1->setFocus();
  const double end_ms = TimeMs([&] { QTest::keySequence(text1, QKeySequence::MoveToEndOfDocument); });
  const double all_ms = TimeMs([&] { QTest::keySequence(text1, QKeySequence::SelectAll); });
  const double copy_ms = TimeMs([&] { QTest::keySequence(text1, QKeySequence::Copy); });
  const double find_ms = TimeMs([&] {
    QTest::keySequence(text1, QKeySequence::Find);
    QTest::keyClick(window.findChild<QLineEdit*>(QStringLiteral("txtFind")), Qt::Key_E);
  });
  const double lower_ms = TimeMs([&] { lowercase->click(); });
  // Until the output box has its new width and has painted at it.
  const double resize_ms = TimeMs([&] {
    const int width = text1->width();
    window.resize(window.width() + 160, window.height());
    QElapsedTimer waited;
    waited.start();
    while (text1->width() == width && waited.elapsed() < 5000) QCoreApplication::processEvents();
    text1->repaint();
  });
  qsizetype pasted = 0;
  const double paste_ms = TimeMs([&] { pasted = QGuiApplication::clipboard()->text().size(); });
  std::printf(
      "Ctrl+End %.1f ms, Ctrl+A %.1f ms, Ctrl+C %.1f ms, find e %.1f ms, Lowercase %.1f ms, resize %.1f ms; "
      "pasting the copy %.1f ms (%lld characters)\n",
      end_ms, all_ms, copy_ms, find_ms, lower_ms, resize_ms, paste_ms, static_cast<long long>(pasted));
  return 0;
}
