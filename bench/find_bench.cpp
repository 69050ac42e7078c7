// Time of one search as the find box runs it while a word is typed: every
// match found and highlighted, the current one selected and the box painted,
// in the chat of a 100 MiB game replay (about 4,300 lines). Prints the median
// of several runs for a few terms; run it with QT_QPA_PLATFORM=offscreen where
// there is no display.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryFile>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "extract/extract.h"
#include "replay_writer.h"
#include "viewer/find_box.h"
#include "viewer/output_box.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QTemporaryFile replay;
  if (!replay.open()) return 1;
  murvik::SynthesizeReplay("game", 100ull << 20, 7, [&](const std::string& bytes) {
    return replay.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
  });
  replay.close();
  const murvik::ChatResult chat = murvik::ExtractChat(QFile::encodeName(replay.fileName()).toStdString());
  if (!chat.status.ok()) return 1;

  murvik::OutputBox box;
  box.resize(760, 520);
  box.SetText(QString::fromLatin1(chat.Text()));
  box.show();
  murvik::FindBox find(&box);
  find.Open();
  auto* term_box = find.findChild<QLineEdit*>("txtFind");
  std::printf("chat: %d lines\n", box.document()->blockCount());
  for (const char* term : {"e", "gg", "rematch", "no such words"}) {
    term_box->setText(QString::fromLatin1(term));
    std::vector<double> ms;
    for (int run = 0; run < 15; ++run) {
      QElapsedTimer timer;
      timer.start();
      find.Search();
      app.processEvents();  // the repaint with the highlights
      ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::nth_element(ms.begin(), ms.begin() + ms.size() / 2, ms.end());
    std::printf("search \"%s\": %d matches, median %.2f ms\n", term, int(box.extraSelections().size()),
                ms[ms.size() / 2]);
  }
  return 0;
}
