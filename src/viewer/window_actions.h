// The window's user actions, one row each in a table: the menu text, the
// keys, the status tip and when the action can do anything. The context
// menu, the keys help and the controls' tooltips all show what the rows say,
// so a key is named where it is bound and nowhere else.
#ifndef MURVIK_VIEWER_WINDOW_ACTIONS_H_
#define MURVIK_VIEWER_WINDOW_ACTIONS_H_

#include <QKeySequence>
#include <QList>
#include <array>
#include <cstddef>

class QAction;
class QMenu;
class QWidget;

namespace murvik {

enum class WindowAction {
  kCopy,
  kSelectAll,
  kFind,
  kFindNext,
  kFindPrevious,
  kOpen,
  kReload,
  kNextReplay,
  kPreviousReplay,
  kFirstReplay,
  kLastReplay,
  kGo,
  kLowercase,
  kCancel,
  kClose,
  kKeysHelp,
  kAbout,
};
inline constexpr size_t kWindowActionCount = static_cast<size_t>(WindowAction::kAbout) + 1;

// What the actions' enabled states follow.
struct WindowState {
  bool path_named = false;     // the path box names a replay
  bool reading = false;        // a replay is being read
  bool chat_shown = false;     // the output box holds text
  bool selection = false;      // some of it is selected
  bool other_replays = false;  // the folder of the path box's replay holds another
  bool find_matches = false;   // the find box is open and finds something
};

// Whether `action` would do anything in `state`.
bool ActionEnabled(WindowAction action, const WindowState& state);

// The keys of `action`, the first being the one menus show.
QList<QKeySequence> ActionKeys(WindowAction action);

// The window's actions, made from the table. Those whose keys the window
// binds are added to it; every action is parented to it.
class WindowActions {
 public:
  explicit WindowActions(QWidget* window);

  QAction* get(WindowAction action) const { return actions_[static_cast<size_t>(action)]; }
  // Every action, in the table's order.
  QList<QAction*> all() const;
  // Enables each action as `state` says.
  void Update(const WindowState& state);
  // The chat's context menu, in groups: copying, finding, opening, help.
  // Deleted when closed.
  QMenu* ContextMenu(QWidget* parent) const;

 private:
  std::array<QAction*, kWindowActionCount> actions_{};
};

}  // namespace murvik

#endif  // MURVIK_VIEWER_WINDOW_ACTIONS_H_
