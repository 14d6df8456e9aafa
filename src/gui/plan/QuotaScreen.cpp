#include "gui/plan/QuotaScreen.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/plan/PlanWidgets.h"

namespace kestrio::gui {

namespace {

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

QuotaScreen::QuotaScreen(std::shared_ptr<kestrio::ViewController> controller,
                         kestrio::QuotaWheels& wheels, std::string& summary,
                         std::function<bool(std::int64_t, int)> set,
                         std::function<std::string()> failure)
    : controller_(std::move(controller)),
      wheels_(wheels),
      summaryText_(summary),
      set_(std::move(set)),
      failure_(std::move(failure)) {
  setObjectName(QStringLiteral("quotaView"));
  auto* layout = paneLayout(this);
  auto* form = new QFormLayout;
  amount_ = new QSpinBox(this);
  amount_->setObjectName(QStringLiteral("amount"));
  amount_->setRange(0, 999'999'999);
  amount_->setKeyboardTracking(false);
  unit_ = new QComboBox(this);
  unit_->setObjectName(QStringLiteral("unit"));
  for (const std::string& name : kestrio::QuotaWheels::units()) unit_->addItem(qs(name));
  form->addRow(QStringLiteral("&Amount"), amount_);
  form->addRow(QStringLiteral("&Unit"), unit_);
  summary_ = summaryBox(summaryText_, this);
  layout->addLayout(form);
  layout->addWidget(summary_);
  layout->addStretch(1);
  setFocusProxy(amount_);
  show();
  connect(amount_, &QSpinBox::valueChanged, this, [this] { changed(); });
  connect(unit_, &QComboBox::currentIndexChanged, this, [this] { changed(); });
}

void QuotaScreen::show() {
  showing_ = true;
  amount_->setValue(static_cast<int>(std::min<std::int64_t>(wheels_.value(), 999'999'999)));
  unit_->setCurrentIndex(wheels_.unit);
  summary_->setText(qs(summaryText_));
  summary_->setVisible(!summaryText_.empty());
  showing_ = false;
}

void QuotaScreen::changed() {
  if (showing_) return;
  const bool stored = set_(amount_->value(), unit_->currentIndex());
  // The amount may have moved (a quota of 0 becomes 1024).
  show();
  if (!stored) reportNotStored(this, failure_());
}

}  // namespace kestrio::gui
