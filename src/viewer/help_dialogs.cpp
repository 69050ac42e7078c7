#include "viewer/help_dialogs.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace murvik {
namespace {

QString Tr(const char* text) { return QCoreApplication::translate("HelpDialogs", text); }

}  // namespace

QDialog* MakeKeysHelp(const QList<QAction*>& actions, QWidget* parent) {
  auto* dialog = new QDialog(parent);
  dialog->setObjectName(QStringLiteral("dlgKeys"));
  dialog->setWindowTitle(Tr("Keyboard shortcuts"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);

  auto* list = new QTreeWidget(dialog);
  list->setObjectName(QStringLiteral("lstKeys"));
  list->setAccessibleName(Tr("Keyboard shortcuts"));
  list->setHeaderLabels({Tr("Keys"), Tr("Action")});
  list->setRootIsDecorated(false);
  list->setSelectionMode(QAbstractItemView::NoSelection);
  for (const QAction* action : actions) {
    if (action->shortcuts().isEmpty()) continue;
    QStringList keys;
    for (const QKeySequence& key : action->shortcuts()) keys << key.toString(QKeySequence::NativeText);
    new QTreeWidgetItem(list, {keys.join(Tr(", ")), action->statusTip()});
  }
  // Every row shown whole, without scrolling.
  list->resizeColumnToContents(0);
  list->resizeColumnToContents(1);
  // (with room for scroll bars, which a larger font may still need)
  const int frame = 2 * list->frameWidth() + list->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  list->setMinimumSize(
      list->columnWidth(0) + list->columnWidth(1) + frame + list->fontMetrics().averageCharWidth() * 2,
      list->header()->sizeHint().height() + list->topLevelItemCount() * list->sizeHintForRow(0) + frame + 2);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
  buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("cmdClose"));
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);

  auto* layout = new QVBoxLayout(dialog);
  layout->addWidget(list);
  layout->addWidget(buttons);
  list->setFocus();  // where a screen reader starts reading
  return dialog;
}

QDialog* MakeAbout(QWidget* parent) {
  auto* box = new QMessageBox(parent);
  box->setObjectName(QStringLiteral("dlgAbout"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowTitle(Tr("About Murvik"));
  box->setIconPixmap(parent->windowIcon().pixmap(48));
  box->setTextFormat(Qt::RichText);
  box->setText(QStringLiteral("<b>Murvik</b> %1").arg(QStringLiteral(MURVIK_VERSION_TEXT)));
  box->setInformativeText(
      Tr("Shows the chat of a recorded multiplayer game, one line per message, rebuilt from the keys "
         "the players typed.<p>Copyright (c) 2026 the Murvik developers. Released under the MIT "
         "licence.<p>Runs on Qt %1.<p>The manual: <tt>man murvik</tt>")
          .arg(QString::fromLatin1(qVersion())));
  box->setStandardButtons(QMessageBox::Close);
  box->setEscapeButton(QMessageBox::Close);
  box->button(QMessageBox::Close)->setObjectName(QStringLiteral("cmdClose"));
  return box;
}

}  // namespace murvik
