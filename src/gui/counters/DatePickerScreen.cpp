#include "gui/counters/DatePickerScreen.h"

#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "gui/counters/CounterWidgets.h"
#include "gui/shell/DateEntry.h"
#include "gui/shell/WindowNavigator.h"
#include "gui/theme/ThemeStyle.h"

namespace kestrio::gui {

namespace {

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

DatePickerScreen::DatePickerScreen(std::shared_ptr<kestrio::DatePickerViewController> controller,
                                   const std::string& datePattern, QWidget* parent)
    : QWidget(parent), controller_(std::move(controller)) {
  setObjectName(QStringLiteral("datePicker"));
  setProperty(shell::kPresentedSizeProperty, kCounterPaneSize);
  auto* cancel = paneBarButton(tr("Cancel"), "cancelButton", this);
  done_ = paneBarButton(tr("Done"), "doneButton", this);
  connect(cancel, &QToolButton::clicked, this, [this] { controller_->cancel(); });
  // A date typed but not yet handed over is taken first; a refused one keeps the pane open.
  const auto finish = [this] {
    if (typed_->commit()) controller_->done();
  };
  connect(done_, &QToolButton::clicked, this, finish);

  txtDate_ = new QLineEdit(this);
  txtDate_->setObjectName(QStringLiteral("txtDate"));
  txtDate_->setReadOnly(true);
  txtDate_->setAlignment(Qt::AlignCenter);
  txtDate_->setFocusPolicy(Qt::NoFocus);
  picker_ = new QDateTimeEdit(this);
  picker_->setObjectName(QStringLiteral("datePicker"));
  shell::prepareCalendarPopup(picker_);
  shell::showInPlatformForm(picker_, datePattern);
  connect(picker_, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime& when) {
    if (drawing_) return;
    controller_->setSelectedDate(kestrio::Date{static_cast<double>(when.toSecsSinceEpoch())});
  });
  btnNoEndDate_ = new QPushButton(qs(kestrio::DatePickerViewController::kNoEndDate), this);
  btnNoEndDate_->setObjectName(QStringLiteral("btnNoEndDate"));
  btnNoEndDate_->setAutoDefault(false);  // Return means Done here, never "No End Date"
  connect(btnNoEndDate_, &QPushButton::clicked, this, [this] { controller_->noEndDateSelected(); });
  typed_ = new shell::TypedDateField(
      [this](const std::string& text) {
        std::string why;
        if (const std::optional<kestrio::Date> date = controller_->typedDate(text, why)) {
          controller_->setSelectedDate(*date);
        }
        return why;
      },
      this);
  auto* enter = new QShortcut(QKeySequence(Qt::Key_Return), this);
  connect(enter, &QShortcut::activated, this, finish);

  auto* body = new QWidget(this);
  auto* bodyLayout = new QVBoxLayout(body);
  bodyLayout->setContentsMargins(16, 16, 16, 16);
  bodyLayout->setSpacing(12);
  bodyLayout->addWidget(txtDate_);
  bodyLayout->addWidget(picker_);
  bodyLayout->addWidget(typed_);
  bodyLayout->addWidget(btnNoEndDate_);
  bodyLayout->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(navigationBar(qs(controller_->title()), cancel, done_));
  layout->addWidget(body, 1);
  controller_->setView(this);
  setFocusProxy(picker_);
}

DatePickerScreen::~DatePickerScreen() {
  controller_->setView(nullptr);
}

void DatePickerScreen::reloadData() {
  drawing_ = true;
  // The picker shows the desktop's own time; the instants it hands over do not depend on it.
  const auto toQt = [](kestrio::Date date) {
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(std::ceil(date.secondsSince1970)));
  };
  picker_->setMinimumDateTime(toQt(controller_->minimumDate));
  picker_->setDateTime(toQt(controller_->datePicker));
  txtDate_->setText(qs(controller_->txtDate));
  drawing_ = false;
}

}  // namespace kestrio::gui
