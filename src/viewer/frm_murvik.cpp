#include "viewer/frm_murvik.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMimeData>
#include <QPixmap>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>
#include <QStyle>
#include <QUrl>
#include <array>

#include "extract/extract.h"
#include "viewer/find_box.h"
#include "viewer/icon.h"
#include "viewer/output_box.h"
#include "viewer/startup.h"

// Off unless asked for, e.g. with QT_LOGGING_RULES="murvik.viewer.info=true".
Q_LOGGING_CATEGORY(lcViewer, "murvik.viewer", QtWarningMsg)

namespace murvik {

namespace {

const char kFailureText[] = "Failed to open replay";

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

  text1_ = new OutputBox(this);
  text1_->setObjectName(QStringLiteral("Text1"));
  text1_->setAccessibleName(tr("Chat"));
  text1_->setAccessibleDescription(tr("The chat of the replay, one line for each message"));
  text1_->setPlaceholderText(
      tr("To open a replay, press %1, or type its path below and press Go, or drop the file here.")
          .arg(QKeySequence(QKeySequence::Open).toString(QKeySequence::NativeText)));

  cmd_go_ = new QPushButton(tr("&Go"), this);
  cmd_go_->setObjectName(QStringLiteral("cmdGo"));

  // Over the output box, outside the layout; hidden until asked for.
  find_box_ = new FindBox(text1_);

  setTabOrder(txt_replay_, chk_lowercase_);
  setTabOrder(chk_lowercase_, cmd_go_);
  setTabOrder(cmd_go_, text1_);
  txt_replay_->setFocus();

  connect(cmd_go_, &QPushButton::clicked, this, &frmMurvik::Go);
  connect(txt_replay_, &QLineEdit::returnPressed, this, &frmMurvik::Go);
  connect(chk_lowercase_, &QCheckBox::clicked, this, &frmMurvik::Lowercase);
  new QShortcut(QKeySequence::Find, this, this, &frmMurvik::Find);
  new QShortcut(QKeySequence::Open, this, this, &frmMurvik::OpenFile);
  new QShortcut(QKeySequence::Close, this, this, &QWidget::close);
  // Some platforms bind no key to Quit; Ctrl+Q closes the window everywhere.
  auto* quit = new QShortcut(QKeySequence::Quit, this, this, &QWidget::close);
  if (!quit->keys().contains(QKeySequence(Qt::CTRL | Qt::Key_Q))) quit->setKeys(quit->keys() << (Qt::CTRL | Qt::Key_Q));

  scale_ = scale ? *scale : FittingScale();
  const QSize inner = scale_.ToPixels(kDesignInnerSize);
  qCInfo(lcViewer, "scale: %d dpi, %.2f twips a pixel; design inner size %d x %d px", scale_.dpi(),
         scale_.TwipsPerPixel(), inner.width(), inner.height());
  resize(inner);
  Place();

  Load(command_line);
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
}

void frmMurvik::Go() {
  QString path = txt_replay_->text();
  path.remove(QLatin1Char('"'));
  txt_replay_->setText(path);

  text1_->SetText(QString());
  text1_->hide();
  const ChatResult result = ExtractChat(QFile::encodeName(path).toStdString());
  QString text = result.status.ok() ? QString::fromLatin1(result.Text()) : QString::fromLatin1(kFailureText);
  // The text agrees with the check box from the start.
  if (chk_lowercase_->isChecked()) text = text.toLower();
  text1_->setPlaceholderText(tr("This replay holds no chat."));
  text1_->SetText(text);
  text1_->show();
  if (find_box_->isVisible()) find_box_->Search();
}

void frmMurvik::Lowercase() {
  const QString& text = text1_->Text();
  text1_->SetText(chk_lowercase_->checkState() == Qt::Checked ? text.toLower() : text.toUpper());
  if (find_box_->isVisible()) find_box_->Search();
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
  const QDir folder = QFileInfo(QString(txt_replay_->text()).remove(QLatin1Char('"'))).absoluteDir();
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
  cmd_go_->setGeometry(scale_.ToPixels(geometry_.cmd_go));
}

}  // namespace murvik
