#include "viewer/startup.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QStringList>

#include "viewer/icon.h"

namespace murvik {

void SetUpApplication() {
  QApplication::setApplicationName(QStringLiteral("Murvik"));
  QApplication::setApplicationVersion(QStringLiteral(MURVIK_VERSION_TEXT));
  QApplication::setDesktopFileName(QStringLiteral(MURVIK_APP_ID));
  QApplication::setWindowIcon(QIcon(QPixmap::fromImage(IconImage())));
}

QString CommandLineText(int argc, const char* const* argv) {
  QStringList words;
  for (int i = 1; i < argc; ++i) words << QString::fromLocal8Bit(argv[i]);
  return words.join(QLatin1Char(' '));
}

QString DefaultReplayPath(const QString& directory) {
  const QString name = QStringLiteral("replay.rep");
  return directory.endsWith(QLatin1Char('/')) ? directory + name : directory + QLatin1Char('/') + name;
}

}  // namespace murvik
