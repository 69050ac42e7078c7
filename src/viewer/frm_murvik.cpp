#include "viewer/frm_murvik.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMimeData>
#include <QPixmap>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <array>
#include <chrono>
#include <limits>

#include "viewer/chat_view.h"
#include "viewer/find_box.h"
#include "viewer/help_dialogs.h"
#include "viewer/icon.h"
#include "viewer/reading_panel.h"
#include "viewer/replay_folder.h"
#include "viewer/startup.h"

// Off unless asked for, e.g. with QT_LOGGING_RULES="murvik.viewer.info=true".
Q_LOGGING_CATEGORY(lcViewer, "murvik.viewer", QtWarningMsg)

namespace murvik {

namespace {

const char kFailureText[] = "Failed to open replay";

// At start the window is not shown yet, so it may wait for a read as long
// as the reading panel would take to appear.
constexpr std::chrono::milliseconds kQuickReadAtStart{200};
constexpr int kNoticeMs = 4000;

// The one local file a drag carries; empty when it carries anything else.
QString DraggedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  const QList<QUrl> urls = data->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) return {};
  return urls.front().toLocalFile();
}

}  // namespace

frmMurvik::frmMurvik(const QString& command_line, std::optional<TwipScale> scale, QWidget* parent)
    : QWidget(parent), geometry_(DesignGeometry()) {
  setObjectName(QStringLiteral("frmMurvik"));
  setWindowTitle(QStringLiteral(MURVIK_CAPTION));
  setWindowIcon(QIcon(QPixmap::fromImage(IconImage())));
  setAcceptDrops(true);

  chk_lowercase_ = new QCheckBox(tr("&Lowercase"), this);
  chk_lowercase_->setObjectName(QStringLiteral("chkLowercase"));

  txt_replay_ = new QLineEdit(QStringLiteral("replay.rep"), this);
  txt_replay_->setObjectName(QStringLiteral("txtReplay"));
  // A file dropped on the path box opens it, like anywhere else on the window.
  txt_replay_->setAcceptDrops(false);
  txt_replay_->setAccessibleName(tr("Replay path"));
  txt_replay_->setAccessibleDescription(tr("The replay file to open; Enter opens it"));

  text1_ = new ChatView(this);
  text1_->setObjectName(QStringLiteral("Text1"));
  text1_->setAccessibleName(tr("Chat"));
  text1_->setAccessibleDescription(tr("The chat of the replay, one line for each message"));
  text1_->SetPlaceholderText(
      tr("To open a replay, press %1, or type its path below and press Go, or drop the file here. %2 lists the keys.")
          .arg(QKeySequence(QKeySequence::Open).toString(QKeySequence::NativeText),
               QKeySequence(QKeySequence::HelpContents).toString(QKeySequence::NativeText)));

  cmd_go_ = new QPushButton(tr("&Go"), this);
  cmd_go_->setObjectName(QStringLiteral("cmdGo"));

  // Over the output box, outside the layout; hidden until asked for.
  find_box_ = new FindBox(text1_);
  // In the output box's place while a read takes long; outside the layout.
  reading_panel_ = new ReadingPanel(this, [this] { Cancel(); });
  // Over the output box's top-right corner, outside the layout.
  lbl_notice_ = new QLabel(text1_);
  lbl_notice_->setObjectName(QStringLiteral("lblNotice"));
  lbl_notice_->setFrameShape(QFrame::StyledPanel);
  lbl_notice_->setAutoFillBackground(true);
  lbl_notice_->setMargin(4);
  lbl_notice_->hide();
  notice_time_ = new QTimer(this);
  notice_time_->setObjectName(QStringLiteral("tmrNotice"));
  notice_time_->setSingleShot(true);
  connect(notice_time_, &QTimer::timeout, lbl_notice_, &QWidget::hide);
  document_ = new ReplayDocument(this);

  setTabOrder(txt_replay_, chk_lowercase_);
  setTabOrder(chk_lowercase_, cmd_go_);
  setTabOrder(cmd_go_, text1_);
  txt_replay_->setFocus();

  connect(cmd_go_, &QPushButton::clicked, this, &frmMurvik::Go);
  connect(txt_replay_, &QLineEdit::returnPressed, this, &frmMurvik::Go);
  connect(chk_lowercase_, &QCheckBox::clicked, this, &frmMurvik::Lowercase);
  MakeActions();
  ConnectDocument();

  scale_ = scale ? *scale : FittingScale();
  const QSize inner = scale_.ToPixels(kDesignInnerSize);
  qCInfo(lcViewer, "scale: %d dpi, %.2f twips a pixel; design inner size %d x %d px", scale_.dpi(),
         scale_.TwipsPerPixel(), inner.width(), inner.height());
  resize(inner);
  Place();

  Load(command_line);
}

frmMurvik::~frmMurvik() = default;

void frmMurvik::MakeActions() {
  using A = WindowAction;
  actions_ = std::make_unique<WindowActions>(this);
  const auto on = [this](A action, auto&& slot) { connect(actions_->get(action), &QAction::triggered, this, slot); };
  on(A::kCopy, [this] { text1_->Copy(); });
  on(A::kSelectAll, [this] { text1_->SelectAll(); });
  on(A::kFind, &frmMurvik::Find);
  on(A::kFindNext, [this] { find_box_->Next(); });
  on(A::kFindPrevious, [this] { find_box_->Previous(); });
  on(A::kOpen, &frmMurvik::OpenFile);
  on(A::kReload, &frmMurvik::Go);
  for (const auto& [action, step] : {std::pair{A::kNextReplay, ReplayStep::kNext},
                                     {A::kPreviousReplay, ReplayStep::kPrevious},
                                     {A::kFirstReplay, ReplayStep::kFirst},
                                     {A::kLastReplay, ReplayStep::kLast}})
    on(action, [this, step = step] { Step(step); });
  on(A::kGo, [this] { cmd_go_->click(); });
  on(A::kLowercase, [this] { chk_lowercase_->click(); });
  on(A::kCancel, &frmMurvik::Cancel);
  on(A::kClose, &QWidget::close);
  on(A::kKeysHelp, [this] { MakeKeysHelp(actions_->all(), this)->open(); });
  on(A::kAbout, [this] { MakeAbout(this)->open(); });

  text1_->SetContextMenu([this](QWidget* parent) {
    UpdateActions();
    return actions_->ContextMenu(parent);
  });
  connect(text1_, &ChatView::selectionChanged, this, &frmMurvik::UpdateActions);
  connect(text1_, &ChatView::textChanged, this, &frmMurvik::UpdateActions);
  connect(txt_replay_, &QLineEdit::textChanged, this, &frmMurvik::UpdateActions);
  connect(find_box_, &FindBox::matchesChanged, this, &frmMurvik::UpdateActions);

  const auto keys = [this](A action) {
    QStringList names;
    for (const QKeySequence& key : actions_->get(action)->shortcuts()) names << key.toString(QKeySequence::NativeText);
    return names.join(tr(" or "));
  };
  txt_replay_->setToolTip(tr("The replay to open: Enter opens it, %1 chooses a file; %2 and %3 open the next and "
                             "the previous replay in its folder")
                              .arg(keys(A::kOpen), keys(A::kNextReplay), keys(A::kPreviousReplay)));
  cmd_go_->setToolTip(tr("Open the replay named in the path box (%1)").arg(keys(A::kGo)));
  chk_lowercase_->setToolTip(tr("Show the chat in lower case (%1)").arg(keys(A::kLowercase)));
}

void frmMurvik::UpdateActions() {
  const QString path = PathBoxPath();
  // The folder is listed again when the path changes, and whenever a read
  // begins or ends, as replays come and go.
  if (path != replays_listed_for_) {
    replays_listed_for_ = path;
    other_replays_ = HoldsOtherReplays(path);
  }
  WindowState state;
  state.path_named = !path.isEmpty();
  state.reading = document_->reading();
  state.chat_shown = !text1_->chat().empty();
  state.selection = text1_->selection_start() != text1_->selection_end();
  state.other_replays = other_replays_;
  state.find_matches = find_box_->isVisible() && !text1_->highlights().empty();
  actions_->Update(state);
}

void frmMurvik::ConnectDocument() {
  document_->SetViewPlace([this]() -> std::optional<ViewPlace> {
    // A replay read again while its first read is still going is shown as Go shows it.
    if (!text1_->isVisible()) return std::nullopt;
    return ViewPlace{text1_->AtEnd(), text1_->top_line()};
  });
  connect(document_, &ReplayDocument::Started, this, &frmMurvik::ShowStarted);
  connect(document_, &ReplayDocument::Progress, this, &frmMurvik::ShowProgress);
  connect(document_, &ReplayDocument::Loaded, this, &frmMurvik::ShowLoaded);
  connect(document_, &ReplayDocument::Failed, this, &frmMurvik::ShowFailed);
  connect(document_, &ReplayDocument::Cancelled, this, &frmMurvik::ShowCancelled);
  connect(document_, &ReplayDocument::Removed, this,
          [this] { ShowNotice(tr("The replay was removed; this is its chat as last read."), true); });
}

TwipScale frmMurvik::FittingScale() const {
  const ControlGeometry design = DesignGeometry();
  const auto size_of = [](const TwipRect& r) { return TwipSize{r.width, r.height}; };
  // The button's caption, with the style's margins around it; the style's
  // minimum button width is not part of the caption.
  const QStyle* style = cmd_go_->style();
  const int go_width = cmd_go_->fontMetrics().size(Qt::TextShowMnemonic, cmd_go_->text()).width() +
                       2 * style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, cmd_go_) +
                       2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, cmd_go_);
  const std::array<PixelNeed, 3> needs = {{
      {size_of(design.chk_lowercase), chk_lowercase_->sizeHint().width(), chk_lowercase_->sizeHint().height()},
      {size_of(design.txt_replay), 0, txt_replay_->sizeHint().height()},
      {size_of(design.cmd_go), go_width, cmd_go_->sizeHint().height()},
  }};
  return ScaleThatFits(logicalDpiY(), needs);
}

void frmMurvik::Load(const QString& command_line) {
  txt_replay_->setText(DefaultReplayPath(QCoreApplication::applicationDirPath()));
  if (command_line.isEmpty()) return;
  txt_replay_->setText(command_line);
  Go();
  document_->WaitFor(kQuickReadAtStart);
}

QString frmMurvik::PathBoxPath() const { return QString(txt_replay_->text()).remove(QLatin1Char('"')); }

void frmMurvik::Go() {
  const QString path = PathBoxPath();
  txt_replay_->setText(path);
  document_->Open(path);
}

void frmMurvik::ShowStarted(bool again) {
  EndReading();
  if (!again) {
    lbl_notice_->hide();
    text1_->SetChat(nullptr);
    text1_->hide();
  }
  replays_listed_for_.clear();  // replays may have come or gone
  UpdateActions();
}

void frmMurvik::ShowLoaded(std::shared_ptr<const ChatLines> chat, std::optional<ViewPlace> restore) {
  EndReading();
  text1_->SetPlaceholderText(tr("This replay holds no chat."));
  text1_->SetChat(std::move(chat));
  ShowInLetterCase();
  if (restore) {
    // The same replay, grown or rewritten: the view stays where it was.
    lbl_notice_->hide();
    text1_->ScrollToLine(restore->at_end ? std::numeric_limits<size_t>::max() : restore->top_line);
  }
  if (find_box_->isVisible()) find_box_->Search();
}

void frmMurvik::ShowFailed(const QString& reason) {
  EndReading();
  qCInfo(lcViewer, "%s: %s", qUtf8Printable(document_->path()), qUtf8Printable(reason));
  text1_->SetPlaceholderText(tr("This replay holds no chat."));
  text1_->SetText(kFailureText);
  ShowInLetterCase();
  if (find_box_->isVisible()) find_box_->Search();
}

void frmMurvik::ShowInLetterCase() {
  // The text agrees with the check box from the start.
  text1_->SetLetterCase(chk_lowercase_->isChecked() ? LetterCase::kLower : LetterCase::kAsIs);
  text1_->show();
}

void frmMurvik::ShowCancelled() {
  EndReading();
  text1_->SetPlaceholderText(tr("Reading the replay was cancelled; its chat is not shown. Press Go to read it again."));
  text1_->SetChat(nullptr);
  text1_->show();
}

void frmMurvik::Step(ReplayStep step) {
  const FolderStep stepped = StepThroughFolder(PathBoxPath(), step);
  switch (stepped.outcome) {
    case FolderStep::kFound:
      txt_replay_->setText(stepped.path);
      return Go();
    case FolderStep::kAtFirst:
      return ShowNotice(tr("This is the first replay in its folder."));
    case FolderStep::kAtLast:
      return ShowNotice(tr("This is the last replay in its folder."));
    case FolderStep::kNoReplays:
      return ShowNotice(tr("Its folder holds no replays."));
    case FolderStep::kNoFolder:
      return ShowNotice(tr("Its folder is gone."));
  }
}

void frmMurvik::ShowNotice(const QString& text, bool lasting) {
  lbl_notice_->setText(text);
  lbl_notice_->adjustSize();
  PlaceNotice();
  lbl_notice_->show();
  lbl_notice_->raise();
  if (lasting) {
    notice_time_->stop();
  } else {
    notice_time_->start(kNoticeMs);
  }
}

void frmMurvik::PlaceNotice() {
  const QRect inside = text1_->viewport()->geometry();
  lbl_notice_->move(inside.right() + 1 - lbl_notice_->width() - 4, inside.top() + 4);
}

void frmMurvik::Cancel() { document_->Cancel(); }

void frmMurvik::ShowProgress(double share) {
  if (reading_panel_->isHidden()) {
    text1_->hide();  // a replay read again keeps its box until now
    reading_panel_->Start(document_->path());
  }
  reading_panel_->SetShare(share);
}

void frmMurvik::EndReading() {
  replays_listed_for_.clear();
  UpdateActions();
  const bool had_focus = reading_panel_->isAncestorOf(QApplication::focusWidget());
  reading_panel_->hide();
  if (had_focus) txt_replay_->setFocus(Qt::OtherFocusReason);
}

void frmMurvik::Lowercase() {
  text1_->SetLetterCase(chk_lowercase_->checkState() == Qt::Checked ? LetterCase::kLower : LetterCase::kUpper);
  // Find ignores case, so its matches stay as they are; the current one,
  // selected, stays in view as the rows change with the letters' widths.
  if (find_box_->isVisible()) text1_->ScrollTo(text1_->caret());
}

void frmMurvik::Find() { find_box_->Open(); }

void frmMurvik::OpenFile() {
  auto* dialog = new QFileDialog(this, tr("Open replay"));
  dialog->setObjectName(QStringLiteral("dlgOpen"));
  // Qt's own dialog on every desktop, so that it behaves alike everywhere and
  // can be driven as an object.
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setFileMode(QFileDialog::ExistingFile);
  dialog->setNameFilters({tr("Replays (*.rep)"), tr("All files (*)")});
  const QDir folder = QFileInfo(PathBoxPath()).absoluteDir();
  if (folder.exists()) dialog->setDirectory(folder);
  connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& path) {
    txt_replay_->setText(path);
    Go();
  });
  dialog->open();
}

void frmMurvik::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const TwipSize outer = scale_.ToTwips(frameGeometry().size());
  geometry_ = LayOut(outer, scale_.ToTwips(event->size()), geometry_);
  Place();
}

void frmMurvik::closeEvent(QCloseEvent* event) {
  // A read going on is dropped, not waited for, and nothing is followed any more.
  document_->Close();
  QWidget::closeEvent(event);
}

void frmMurvik::dragEnterEvent(QDragEnterEvent* event) {
  if (DraggedFile(event->mimeData()).isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
}

void frmMurvik::dropEvent(QDropEvent* event) {
  const QString path = DraggedFile(event->mimeData());
  if (path.isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  txt_replay_->setText(path);
  Go();
}

void frmMurvik::Place() {
  chk_lowercase_->setGeometry(scale_.ToPixels(geometry_.chk_lowercase));
  txt_replay_->setGeometry(scale_.ToPixels(geometry_.txt_replay));
  text1_->setGeometry(scale_.ToPixels(geometry_.text1));
  reading_panel_->setGeometry(text1_->geometry());
  PlaceNotice();
  cmd_go_->setGeometry(scale_.ToPixels(geometry_.cmd_go));
}

}  // namespace murvik
