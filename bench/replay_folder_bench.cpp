// Time of one step to the next or the previous replay, as Alt+Right and
// Alt+Left take it, in a folder of 10,000 replays (empty files: only the
// names count) beside a few other files. Prints the median of several runs.
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "viewer/replay_folder.h"

int main() {
  constexpr int kReplays = 10000;
  QTemporaryDir dir;
  if (!dir.isValid()) return 1;
  for (int i = 0; i < kReplays; ++i) {
    // Names as games save them, in mixed case, and some files that are no replays.
    const QString name = QString::fromLatin1(i % 3 ? "game%1.rep" : "Game%1.REP").arg(i);
    QFile file(dir.filePath(i % 100 ? name : name + QStringLiteral(".txt")));
    if (!file.open(QIODevice::WriteOnly)) return 1;
  }
  const QString from = dir.filePath("game5000.rep");
  for (const auto step : {murvik::ReplayStep::kNext, murvik::ReplayStep::kPrevious}) {
    std::vector<double> ms;
    murvik::FolderStep stepped{};
    for (int run = 0; run < 15; ++run) {
      QElapsedTimer timer;
      timer.start();
      stepped = murvik::StepThroughFolder(from, step);
      ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::nth_element(ms.begin(), ms.begin() + ms.size() / 2, ms.end());
    std::printf("%s of game5000.rep among %d files: %s, median %.2f ms\n",
                step == murvik::ReplayStep::kNext ? "next" : "previous", kReplays,
                qPrintable(QFileInfo(stepped.path).fileName()), ms[ms.size() / 2]);
  }
  return 0;
}
