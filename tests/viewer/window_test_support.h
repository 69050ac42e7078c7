// What the window tests share: writing a synthesized replay, finding the
// window's controls by name, and a window shown and active.
#ifndef MURVIK_TESTS_VIEWER_WINDOW_TEST_SUPPORT_H_
#define MURVIK_TESTS_VIEWER_WINDOW_TEST_SUPPORT_H_

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QTest>
#include <memory>

#include "replay_writer.h"
#include "viewer/frm_murvik.h"
#include "viewer/output_box.h"

namespace murvik::testing {

inline const QString kFailure = QStringLiteral("Failed to open replay");

// Writes what `w` holds to `path` and returns `path`.
inline QString Write(const QString& path, ReplayWriter& w) {
  const std::string bytes = w.Take();
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), static_cast<qint64>(bytes.size())) < 0)
    qFatal("cannot write %s", qPrintable(path));
  return path;
}

struct Controls {
  QCheckBox* chk;
  QLineEdit* txt;
  OutputBox* text1;
  QPushButton* go;
};

inline Controls Find(const frmMurvik& w) {
  return {w.findChild<QCheckBox*>("chkLowercase"), w.findChild<QLineEdit*>("txtReplay"),
          w.findChild<OutputBox*>("Text1"), w.findChild<QPushButton*>("cmdGo")};
}

// A window shown and active, at 15 twips a pixel unless told otherwise.
inline std::unique_ptr<frmMurvik> Shown(const QString& command_line = {}, TwipScale scale = TwipScale(96)) {
  auto w = std::make_unique<frmMurvik>(command_line, scale);
  w->show();
  w->activateWindow();
  if (!QTest::qWaitForWindowActive(w.get())) qWarning("window not active");
  return w;
}

}  // namespace murvik::testing

#endif  // MURVIK_TESTS_VIEWER_WINDOW_TEST_SUPPORT_H_
