// murvik: the window that shows a replay's chat.
#include <QApplication>

#include "viewer/frm_murvik.h"
#include "viewer/startup.h"

int main(int argc, char** argv) {
  // Every argument belongs to the replay's path, so Qt is shown none of them
  // and takes its own settings from the environment only.
  int qt_argc = 1;
  char fallback_name[] = "murvik";
  char* qt_argv[] = {argc > 0 ? argv[0] : fallback_name, nullptr};
  QApplication app(qt_argc, qt_argv);
  murvik::SetUpApplication();
  murvik::frmMurvik window(murvik::CommandLineText(argc, argv));
  window.show();
  return app.exec();
}
