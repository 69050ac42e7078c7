// The window's two help dialogs: the keys, listed from the actions
// themselves, and About.
#ifndef MURVIK_VIEWER_HELP_DIALOGS_H_
#define MURVIK_VIEWER_HELP_DIALOGS_H_

#include <QList>

class QAction;
class QDialog;
class QWidget;

namespace murvik {

// A dialog (object name "dlgKeys") listing, in two columns, the keys of
// every action in `actions` that has keys and what it does; Esc or Close
// closes it. Deleted when closed.
QDialog* MakeKeysHelp(const QList<QAction*>& actions, QWidget* parent);

// The About dialog (object name "dlgAbout"): the name, version, what Murvik
// does, its licence, the Qt it runs on and where the manual is. Deleted when
// closed.
QDialog* MakeAbout(QWidget* parent);

}  // namespace murvik

#endif  // MURVIK_VIEWER_HELP_DIALOGS_H_
