#include "viewer/window_actions.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QWidget>

namespace murvik {
namespace {

// One action: its object name, menu text and status tip (translated in the
// "WindowActions" context), the platform's standard keys, if any, and keys of
// its own after them, and whether the window binds them.
struct ActionRow {
  WindowAction action;
  const char* name;
  const char* text;
  const char* tip;
  QKeySequence::StandardKey standard;
  std::array<int, 2> keys;
  // Whether the window binds the keys itself. The others' keys belong to a
  // control (Go's and Lowercase's access keys, the chat's Ctrl+C and Ctrl+A,
  // the find box's F3), which keeps taking them; the action only names them.
  bool window_binds;
};

constexpr auto kNone = QKeySequence::UnknownKey;
constexpr int kAlt = Qt::AltModifier, kCtrl = Qt::ControlModifier, kShift = Qt::ShiftModifier;

// clang-format off
constexpr ActionRow kRows[] = {
  {WindowAction::kCopy, "actCopy", QT_TRANSLATE_NOOP("WindowActions", "&Copy"),
   QT_TRANSLATE_NOOP("WindowActions", "Copy the selected chat"), QKeySequence::Copy, {}, false},
  {WindowAction::kSelectAll, "actSelectAll", QT_TRANSLATE_NOOP("WindowActions", "Select A&ll"),
   QT_TRANSLATE_NOOP("WindowActions", "Select the whole chat"), QKeySequence::SelectAll, {}, false},
  {WindowAction::kFind, "actFind", QT_TRANSLATE_NOOP("WindowActions", "&Find..."),
   QT_TRANSLATE_NOOP("WindowActions", "Find text in the chat"), QKeySequence::Find, {}, true},
  {WindowAction::kFindNext, "actFindNext", QT_TRANSLATE_NOOP("WindowActions", "Find Ne&xt"),
   QT_TRANSLATE_NOOP("WindowActions", "Go to the next match (in the find box: also Enter)"), kNone,
   {Qt::Key_F3}, false},
  {WindowAction::kFindPrevious, "actFindPrevious", QT_TRANSLATE_NOOP("WindowActions", "Find Pre&vious"),
   QT_TRANSLATE_NOOP("WindowActions", "Go to the previous match (in the find box: also Shift+Enter)"), kNone,
   {kShift | Qt::Key_F3}, false},
  {WindowAction::kOpen, "actOpen", QT_TRANSLATE_NOOP("WindowActions", "&Open..."),
   QT_TRANSLATE_NOOP("WindowActions", "Choose a replay in a file dialog and open it"), QKeySequence::Open, {},
   true},
  {WindowAction::kReload, "actReload", QT_TRANSLATE_NOOP("WindowActions", "&Reload"),
   QT_TRANSLATE_NOOP("WindowActions", "Read the replay named in the path box again"), kNone,
   {Qt::Key_F5, kCtrl | Qt::Key_R}, true},
  {WindowAction::kNextReplay, "actNextReplay", QT_TRANSLATE_NOOP("WindowActions", "&Next replay"),
   QT_TRANSLATE_NOOP("WindowActions", "Open the next replay in the same folder"), kNone,
   {kAlt | Qt::Key_Right, kCtrl | Qt::Key_PageDown}, true},
  {WindowAction::kPreviousReplay, "actPreviousReplay", QT_TRANSLATE_NOOP("WindowActions", "&Previous replay"),
   QT_TRANSLATE_NOOP("WindowActions", "Open the previous replay in the same folder"), kNone,
   {kAlt | Qt::Key_Left, kCtrl | Qt::Key_PageUp}, true},
  {WindowAction::kFirstReplay, "actFirstReplay", QT_TRANSLATE_NOOP("WindowActions", "F&irst replay"),
   QT_TRANSLATE_NOOP("WindowActions", "Open the first replay in the same folder"), kNone, {kAlt | Qt::Key_Home},
   true},
  {WindowAction::kLastReplay, "actLastReplay", QT_TRANSLATE_NOOP("WindowActions", "L&ast replay"),
   QT_TRANSLATE_NOOP("WindowActions", "Open the last replay in the same folder"), kNone, {kAlt | Qt::Key_End},
   true},
  {WindowAction::kGo, "actGo", QT_TRANSLATE_NOOP("WindowActions", "&Go"),
   QT_TRANSLATE_NOOP("WindowActions", "Open the replay named in the path box (in the path box: also Enter)"),
   kNone, {kAlt | Qt::Key_G}, false},
  {WindowAction::kLowercase, "actLowercase", QT_TRANSLATE_NOOP("WindowActions", "&Lowercase"),
   QT_TRANSLATE_NOOP("WindowActions", "Show the chat in lower case"), kNone, {kAlt | Qt::Key_L}, false},
  {WindowAction::kCancel, "actCancel", QT_TRANSLATE_NOOP("WindowActions", "Cancel &reading"),
   QT_TRANSLATE_NOOP("WindowActions", "Stop reading the replay"), kNone, {Qt::Key_Escape}, true},
  {WindowAction::kClose, "actClose", QT_TRANSLATE_NOOP("WindowActions", "&Close"),
   QT_TRANSLATE_NOOP("WindowActions", "Close the window"), QKeySequence::Close, {kCtrl | Qt::Key_Q}, true},
  {WindowAction::kKeysHelp, "actKeysHelp", QT_TRANSLATE_NOOP("WindowActions", "&Keyboard shortcuts"),
   QT_TRANSLATE_NOOP("WindowActions", "List every key and what it does"), QKeySequence::HelpContents,
   {Qt::Key_F1}, true},
  {WindowAction::kAbout, "actAbout", QT_TRANSLATE_NOOP("WindowActions", "About &Murvik"),
   QT_TRANSLATE_NOOP("WindowActions", "The program's version, licence and manual"), kNone, {}, true},
};
// clang-format on
// Row(action) finds a row by its place: the rows stand in the enum's order.
constexpr bool InEnumOrder() {
  for (size_t i = 0; i < std::size(kRows); ++i)
    if (static_cast<size_t>(kRows[i].action) != i) return false;
  return std::size(kRows) == kWindowActionCount;
}
static_assert(InEnumOrder(), "one row for each action, in the enum's order");

const ActionRow& Row(WindowAction action) { return kRows[static_cast<size_t>(action)]; }

QString Translated(const char* text) { return QCoreApplication::translate("WindowActions", text); }

}  // namespace

bool ActionEnabled(WindowAction action, const WindowState& s) {
  switch (action) {
    case WindowAction::kCopy:
      return s.selection;
    case WindowAction::kSelectAll:
    case WindowAction::kFind:
      return s.chat_shown;
    case WindowAction::kFindNext:
    case WindowAction::kFindPrevious:
      return s.find_matches;
    case WindowAction::kReload:
      return s.path_named;
    case WindowAction::kNextReplay:
    case WindowAction::kPreviousReplay:
    case WindowAction::kFirstReplay:
    case WindowAction::kLastReplay:
      return s.other_replays;
    case WindowAction::kCancel:
      return s.reading;
    case WindowAction::kOpen:
    case WindowAction::kGo:
    case WindowAction::kLowercase:
    case WindowAction::kClose:
    case WindowAction::kKeysHelp:
    case WindowAction::kAbout:
      return true;
  }
  return true;
}

QList<QKeySequence> ActionKeys(WindowAction action) {
  const ActionRow& row = Row(action);
  QList<QKeySequence> keys;
  if (row.standard != kNone) keys = QKeySequence::keyBindings(row.standard);
  for (int key : row.keys)
    if (key != 0 && !keys.contains(QKeySequence(key))) keys << QKeySequence(key);
  return keys;
}

WindowActions::WindowActions(QWidget* window) {
  for (const ActionRow& row : kRows) {
    auto* action = new QAction(Translated(row.text), window);
    action->setObjectName(QString::fromLatin1(row.name));
    action->setStatusTip(Translated(row.tip));
    action->setShortcuts(ActionKeys(row.action));
    if (row.window_binds) window->addAction(action);
    actions_[static_cast<size_t>(row.action)] = action;
  }
}

QList<QAction*> WindowActions::all() const { return QList<QAction*>(actions_.begin(), actions_.end()); }

void WindowActions::Update(const WindowState& state) {
  for (const ActionRow& row : kRows) get(row.action)->setEnabled(ActionEnabled(row.action, state));
}

QMenu* WindowActions::ContextMenu(QWidget* parent) const {
  using A = WindowAction;
  auto* menu = new QMenu(parent);
  menu->setObjectName(QStringLiteral("mnuChat"));
  menu->setAttribute(Qt::WA_DeleteOnClose);
  const std::initializer_list<std::initializer_list<A>> groups = {
      {A::kCopy, A::kSelectAll},
      {A::kFind},
      {A::kOpen, A::kReload, A::kNextReplay, A::kPreviousReplay},
      {A::kKeysHelp, A::kAbout},
  };
  for (const auto& group : groups) {
    if (!menu->isEmpty()) menu->addSeparator();
    for (A action : group) menu->addAction(get(action));
  }
  return menu;
}

}  // namespace murvik
