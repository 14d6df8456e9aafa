#include "gui/plan/PlanScreenRegistry.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QSpinBox>
#include <QVBoxLayout>

#include "gui/shell/ViewRegistry.h"
#include "gui/theme/ThemeStyle.h"

namespace kestrio::gui {
namespace {

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

// The summary box: a label in a 1-pixel grey frame.
QLabel* summaryBox(const std::string& text, QWidget* parent) {
  auto* label = new QLabel(qs(text), parent);
  label->setObjectName(QStringLiteral("summaryView"));
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignCenter);
  label->setMinimumHeight(44);
  label->setStyleSheet(
      QStringLiteral("QLabel#summaryView { border: 1px solid grey; padding: 6px; }"));
  return label;
}

// Rows tall enough to hit with a finger or to read at a glance, as a picker wheel's are.
void roomyRows(QListWidget* list) {
  list->setStyleSheet(QStringLiteral("QListWidget::item { min-height: 34px; padding-left: 6px; }"));
}

QVBoxLayout* paneLayout(QWidget* pane) {
  auto* layout = new QVBoxLayout(pane);
  layout->setContentsMargins(16, 12, 16, 12);
  layout->setSpacing(10);
  return layout;
}

QDateTime toQt(kestrio::Date date) {
  return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(date.secondsSince1970 * 1000));
}

kestrio::Date fromQt(const QDateTime& time) {
  return kestrio::Date{static_cast<double>(time.toMSecsSinceEpoch()) / 1000.0};
}

// The store could not be written: said at once, over the pane.
void reportNotStored(QWidget* pane, const std::string& why) {
  QMessageBox::warning(pane, QStringLiteral("Not Saved"),
                       QStringLiteral("The change could not be saved: %1").arg(qs(why)));
}

}  // namespace

// --- Plan type ---

PlanTypeScreen::PlanTypeScreen(std::shared_ptr<kestrio::PlanTypeViewController> controller)
    : controller_(std::move(controller)) {
  setObjectName(QStringLiteral("planTypeView"));
  auto* layout = paneLayout(this);
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("planTypes"));
  roomyRows(list_);
  for (const std::string& caption : kestrio::PlanTypeViewController::rows()) {
    list_->addItem(qs(caption));
  }
  layout->addWidget(list_);
  setFocusProxy(list_);
  const auto choose = [this](int row) { controller_->didSelectRowAtIndexPath(row); };
  connect(list_, &QListWidget::itemActivated, this,
          [this, choose](QListWidgetItem* item) { choose(list_->row(item)); });
  connect(list_, &QListWidget::itemClicked, this,
          [this, choose](QListWidgetItem* item) { choose(list_->row(item)); });
  controller_->reloadData = [view = QPointer<PlanTypeScreen>(this)] {
    if (view) view->reload();
  };
  reload();
}

void PlanTypeScreen::reload() {
  for (int row = 0; row < list_->count(); ++row) {
    list_->item(row)->setData(Qt::CheckStateRole,
                              controller_->accessoryCheckmark(row) ? Qt::Checked : Qt::Unchecked);
  }
  list_->setCurrentRow(controller_->planType);
}

// --- Start day ---

StartDayScreen::StartDayScreen(std::shared_ptr<kestrio::StartDayViewController> controller)
    : controller_(std::move(controller)) {
  setObjectName(QStringLiteral("startDayView"));
  auto* layout = paneLayout(this);
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("pickerView"));
  roomyRows(list_);
  for (const std::string& title : controller_->rowTitles()) list_->addItem(qs(title));
  // The wheel starts on its first row without picking it: focusing the list must not store.
  list_->setCurrentRow(0);
  summary_ = summaryBox(controller_->selectedDate, this);
  layout->addWidget(list_, 1);
  layout->addWidget(summary_);
  setFocusProxy(list_);
  // Moving through the list with the arrows picks as a wheel does.
  connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row < 0) return;
    const bool stored = controller_->didSelectRow(row);
    summary_->setText(qs(controller_->selectedDate));
    if (!stored) reportNotStored(this, "the settings file could not be written");
  });
}

// --- Days ---

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

// --- Dates ---

StartDateScreen::StartDateScreen(std::shared_ptr<kestrio::ViewController> controller,
                                 std::function<kestrio::Date()> minimum,
                                 std::function<kestrio::Date()> maximum,
                                 std::function<kestrio::Date()> current,
                                 std::function<std::optional<std::string>(kestrio::Date)> changed)
    : controller_(std::move(controller)) {
  setObjectName(QStringLiteral("datePickerView"));
  auto* layout = paneLayout(this);
  auto* form = new QFormLayout;
  picker_ = new QDateTimeEdit(this);
  picker_->setObjectName(QStringLiteral("datePicker"));
  picker_->setCalendarPopup(true);
  picker_->setKeyboardTracking(false);
  picker_->setDateTimeRange(toQt(minimum()), toQt(maximum()));
  picker_->setDateTime(toQt(current()));
  form->addRow(QStringLiteral("&Starts"), picker_);
  // The window the pane allows, so a refused moment is no surprise.
  auto* limits = new QLabel(QStringLiteral("Any moment from %1 up to now.")
                                .arg(QLocale().toString(toQt(minimum()), QLocale::ShortFormat)),
                            this);
  limits->setObjectName(QStringLiteral("dateLimits"));
  limits->setProperty(kThemeRoleProperty, kRoleDetail);
  limits->setWordWrap(true);
  form->addRow(QString(), limits);
  summary_ = summaryBox("", this);
  summary_->setVisible(false);
  layout->addLayout(form);
  layout->addWidget(summary_);
  layout->addStretch(1);
  setFocusProxy(picker_);
  connect(picker_, &QDateTimeEdit::dateTimeChanged, this, [this, changed](const QDateTime& time) {
    const std::optional<std::string> text = changed(fromQt(time));
    if (!text) {
      reportNotStored(this, "the settings file could not be written");
      return;
    }
    summary_->setVisible(!text->empty());
    summary_->setText(qs(*text));
  });
}

// --- Quota and current usage ---

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

void registerPlanScreens(shell::ViewRegistry& views) {
  views.add<kestrio::PlanTypeViewController>(
      [](const std::shared_ptr<kestrio::PlanTypeViewController>& c) {
        return new PlanTypeScreen(c);
      });
  views.add<kestrio::StartDayViewController>(
      [](const std::shared_ptr<kestrio::StartDayViewController>& c) {
        return new StartDayScreen(c);
      });
  views.add<kestrio::DaysViewController>(
      [](const std::shared_ptr<kestrio::DaysViewController>& c) { return new DaysScreen(c); });
  const auto customStart = [](const std::shared_ptr<kestrio::CustomDatePickerController>& c) {
    return new StartDateScreen(
        c, [c] { return c->minimumDate; }, [c] { return c->maximumDate; }, [c] { return c->date; },
        [c](kestrio::Date picked) -> std::optional<std::string> {
          if (!c->dateChanged(picked)) return std::nullopt;
          return std::string();
        });
  };
  views.add<kestrio::CustomDatePickerController>(customStart);
  views.add<kestrio::CustomWiFiDatePickerController>(
      [customStart](const std::shared_ptr<kestrio::CustomWiFiDatePickerController>& c) {
        return customStart(c);
      });
  views.add<kestrio::StartDateViewController>(
      [](const std::shared_ptr<kestrio::StartDateViewController>& c) {
        return new StartDateScreen(
            c, [c] { return c->minimumDate; }, [c] { return c->maximumDate; },
            [c] { return c->date; },
            [c](kestrio::Date picked) -> std::optional<std::string> {
              if (!c->dateChanged(picked)) return std::nullopt;
              return c->selectedDate;
            });
      });
  views.add<kestrio::QuotaViewController>(
      [](const std::shared_ptr<kestrio::QuotaViewController>& c) {
        return new QuotaScreen(
            c, c->wheels, c->selectedQuota,
            [c](std::int64_t amount, int unit) { return c->setAmount(amount, unit); },
            [] { return std::string("the settings file could not be written"); });
      });
  views.add<kestrio::CurrentUsageViewController>(
      [](const std::shared_ptr<kestrio::CurrentUsageViewController>& c) {
        return new QuotaScreen(
            c, c->wheels, c->selectedQuota,
            [c](std::int64_t amount, int unit) { return c->setAmount(amount, unit); },
            [c] { return c->failure; });
      });
}

}  // namespace kestrio::gui
