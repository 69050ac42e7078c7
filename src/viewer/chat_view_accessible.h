// What a screen reader sees of the chat view: its text, caret and selection.
#ifndef MURVIK_VIEWER_CHAT_VIEW_ACCESSIBLE_H_
#define MURVIK_VIEWER_CHAT_VIEW_ACCESSIBLE_H_

#include <QAccessibleInterface>
#include <QString>

namespace murvik {

// A factory for QAccessible::installFactory: the accessible interface of a
// ChatView (text, caret, selection, positions on screen), nullptr for any
// other object.
QAccessibleInterface* ChatViewAccessible(const QString& class_name, QObject* object);

}  // namespace murvik

#endif  // MURVIK_VIEWER_CHAT_VIEW_ACCESSIBLE_H_
