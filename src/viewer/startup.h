// What the program sets up before its window: the application's identity
// and the texts that start-up reads from the process.
#ifndef MURVIK_VIEWER_STARTUP_H_
#define MURVIK_VIEWER_STARTUP_H_

#include <QString>

namespace murvik {

// Application name, version and icon on the running QApplication.
void SetUpApplication();

// Every argument after the program's name, joined with single blanks, each
// exactly as received (decoded from the locale's encoding); empty for none.
QString CommandLineText(int argc, const char* const* argv);

// "replay.rep" in `directory`, joined with a single "/".
QString DefaultReplayPath(const QString& directory);

}  // namespace murvik

#endif  // MURVIK_VIEWER_STARTUP_H_
