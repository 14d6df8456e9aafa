#include "gui/plan/StartDateScreen.h"

#include <QDateTimeEdit>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "gui/plan/PlanWidgets.h"
#include "gui/shell/DateEntry.h"
#include "gui/theme/ThemeStyle.h"
#include "services/StringFormatter.h"

namespace kestrio::gui {

namespace {

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

QDateTime toQt(kestrio::Date date) {
  return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(date.secondsSince1970 * 1000));
}

kestrio::Date fromQt(const QDateTime& time) {
  return kestrio::Date{static_cast<double>(time.toMSecsSinceEpoch()) / 1000.0};
}

}  // namespace

StartDateScreen::StartDateScreen(
    kestrio::Platform& platform, std::shared_ptr<kestrio::ViewController> controller,
    std::function<kestrio::Date()> minimum, std::function<kestrio::Date()> maximum,
    std::function<kestrio::Date()> current,
    std::function<std::optional<std::string>(kestrio::Date)> changed,
    std::function<std::optional<kestrio::Date>(const std::string&, std::string&)> typed)
    : controller_(std::move(controller)) {
  setObjectName(QStringLiteral("datePickerView"));
  auto* layout = paneLayout(this);
  auto* form = new QFormLayout;
  picker_ = new QDateTimeEdit(this);
  picker_->setObjectName(QStringLiteral("datePicker"));
  shell::prepareCalendarPopup(picker_);
  shell::showInPlatformForm(
      picker_, kestrio::StringFormatter::getLocalizedShortDateShortTimePattern(platform));
  picker_->setKeyboardTracking(false);
  picker_->setDateTimeRange(toQt(minimum()), toQt(maximum()));
  picker_->setDateTime(toQt(current()));
  form->addRow(QStringLiteral("&Starts"), picker_);
  // The window the pane allows, so a refused moment is no surprise.
  auto* limits =
      new QLabel(QStringLiteral("Any moment from %1 up to now.")
                     .arg(qs(kestrio::StringFormatter::getLocalizedShortDateShortTimeStringFromDate(
                         platform, minimum()))),
                 this);
  limits->setObjectName(QStringLiteral("dateLimits"));
  limits->setProperty(kThemeRoleProperty, kRoleDetail);
  limits->setWordWrap(true);
  form->addRow(QString(), limits);
  if (typed) {
    // A typed date goes through the picker, so it is stored as a picked one.
    typed_ = new shell::TypedDateField(
        [this, typed](const std::string& text) {
          std::string why;
          if (const std::optional<kestrio::Date> date = typed(text, why)) {
            picker_->setDateTime(toQt(*date));
          }
          return why;
        },
        this);
    form->addRow(QString(), typed_);
  }
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

}  // namespace kestrio::gui
