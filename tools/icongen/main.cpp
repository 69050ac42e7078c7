// murvik-icons: writes Murvik's icon files into a directory: murvik-16.png,
// murvik-48.png (each icon pixel 3 x 3) and murvik.svg.
#include <QFile>
#include <QImage>
#include <QString>
#include <cstdio>

#include "viewer/icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("Usage: murvik-icons DIRECTORY\n", stderr);
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  bool ok = murvik::IconImage(1).save(dir + "/murvik-16.png", "PNG");
  ok = murvik::IconImage(3).save(dir + "/murvik-48.png", "PNG") && ok;
  QFile svg(dir + "/murvik.svg");
  ok = svg.open(QIODevice::WriteOnly) && svg.write(murvik::IconSvg().toUtf8()) >= 0 && ok;
  if (!ok) {
    std::fprintf(stderr, "murvik-icons: cannot write the icons into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
