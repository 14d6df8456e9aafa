#include "gui/plan/DaysScreen.h"

#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "gui/plan/PlanWidgets.h"

namespace kestrio::gui {

namespace {

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

DaysScreen::DaysScreen(std::shared_ptr<kestrio::DaysViewController> controller)
    : controller_(std::move(controller)) {
  setObjectName(QStringLiteral("daysView"));
  auto* layout = paneLayout(this);
  auto* form = new QFormLayout;
  days_ = new QSpinBox(this);
  days_->setObjectName(QStringLiteral("pickerView"));
  days_->setRange(kestrio::DaysViewController::kFewestDays, kestrio::DaysViewController::kMostDays);
  days_->setSuffix(QStringLiteral(" days"));
  // Typing "30" stores 30 once, not 3 first.
  days_->setKeyboardTracking(false);
  days_->setValue(controller_->selectedRow() + kestrio::DaysViewController::kFewestDays);
  form->addRow(QStringLiteral("Cycle &length"), days_);
  summary_ = summaryBox(controller_->selectedDate, this);
  layout->addLayout(form);
  layout->addWidget(summary_);
  layout->addStretch(1);
  setFocusProxy(days_);
  connect(days_, &QSpinBox::valueChanged, this, [this](int value) {
    const bool stored = controller_->didSelectRow(value - kestrio::DaysViewController::kFewestDays);
    summary_->setText(qs(controller_->selectedDate));
    if (!stored) reportNotStored(this, "the settings file could not be written");
  });
}

}  // namespace kestrio::gui
