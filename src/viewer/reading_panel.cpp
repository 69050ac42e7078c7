#include "viewer/reading_panel.h"

#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace murvik {

namespace {

constexpr int kSteps = 1000;  // the bar's range: a tenth of a percent a step

}  // namespace

ReadingPanel::ReadingPanel(QWidget* parent, std::function<void()> on_cancel) : QFrame(parent) {
  setObjectName(QStringLiteral("fraReading"));
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Sunken);
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
  lbl_reading_ = new QLabel(this);
  lbl_reading_->setObjectName(QStringLiteral("lblReading"));
  lbl_reading_->setAlignment(Qt::AlignCenter);
  lbl_reading_->setWordWrap(true);
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("barReading"));
  bar_->setRange(0, kSteps);
  bar_->setAccessibleName(tr("Share of the replay read"));
  cmd_cancel_ = new QPushButton(tr("Cancel"), this);
  cmd_cancel_->setObjectName(QStringLiteral("cmdCancel"));
  cmd_cancel_->setAccessibleDescription(tr("Stops reading the replay; Esc does the same"));
  connect(cmd_cancel_, &QPushButton::clicked, this, std::move(on_cancel));
  auto* column = new QVBoxLayout(this);
  column->addStretch();
  column->addWidget(lbl_reading_);
  column->addWidget(bar_);
  column->addWidget(cmd_cancel_, 0, Qt::AlignHCenter);
  column->addStretch();
  hide();
}

void ReadingPanel::Start(const QString& file) {
  lbl_reading_->setText(tr("Reading %1").arg(QFileInfo(file).fileName()));
  bar_->setValue(0);
  show();
  raise();
}

void ReadingPanel::SetShare(double share) { bar_->setValue(int(std::lround(share * kSteps))); }

}  // namespace murvik
