#include "gui/shell/QtUi.h"

#include <QDesktopServices>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "gui/shell/UndoBar.h"

namespace kestrio::gui {
namespace {

constexpr const char* kIndexProperty = "alertButtonIndex";

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

QtUi::QtUi(QWidget* parent) : QObject(parent), parentWidget_(parent) {}

QtUi::~QtUi() {
  pending_.clear();
  // The delegates of still-open dialogs may not outlive this Ui; nobody could answer them.
  for (const Open& entry : open_) {
    if (entry.dialog) delete entry.dialog.data();
  }
}

void QtUi::showAlert(const kestrio::Alert& alert, kestrio::AlertDelegate* delegate) {
  prune();
  // Two alerts stacked over each other (the news and the rating prompt at a launch) leave the
  // keyboard with neither: the second waits for the first.
  if (!openDialogs().isEmpty() || !pending_.isEmpty()) {
    pending_.append(Pending{alert, delegate});
    return;
  }
  openAlert(alert, delegate);
}

void QtUi::showNextPending() {
  prune();
  if (pending_.isEmpty() || !openDialogs().isEmpty()) return;
  const Pending next = pending_.takeFirst();
  openAlert(next.alert, next.delegate);
}

void QtUi::openAlert(const kestrio::Alert& alert, kestrio::AlertDelegate* delegate) {
  auto* dialog = new QDialog(parentWidget_);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setObjectName("alertDialog");
  dialog->setWindowTitle(qs(alert.title));
  dialog->setMinimumWidth(300);

  auto* layout = new QVBoxLayout(dialog);
  auto* title = new QLabel(qs(alert.title), dialog);
  title->setObjectName(kTitleName);
  title->setWordWrap(true);
  title->setAlignment(Qt::AlignCenter);
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  layout->addWidget(title);

  // Some prompts carry only line breaks as their message, to make room for the field.
  const QString message = qs(alert.message).trimmed();
  if (!message.isEmpty()) {
    auto* text = new QLabel(message, dialog);
    text->setObjectName(kMessageName);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignCenter);
    text->setTextFormat(Qt::PlainText);
    layout->addWidget(text);
  }

  QLineEdit* field = nullptr;
  if (alert.textField) {
    field = new QLineEdit(qs(alert.textField->text), dialog);
    field->setObjectName(kTextFieldName);
    if (alert.textField->numeric) field->setInputMethodHints(Qt::ImhFormattedNumbersOnly);
    field->selectAll();
    layout->addWidget(field);
  }

  // Cancel first (index 0), then the other buttons from index 1, left to right.
  auto* buttons = new QHBoxLayout;
  const auto addButton = [&](const std::string& text, int index) {
    auto* button = new QPushButton(qs(text), dialog);
    button->setProperty(kIndexProperty, index);
    // Return answers the button that has the focus, whichever it is.
    button->setAutoDefault(true);
    connect(button, &QPushButton::clicked, this, [this, dialog, index] { deliver(dialog, index); });
    buttons->addWidget(button);
    return button;
  };
  QPushButton* cancel = nullptr;
  if (!alert.cancelButton.empty()) cancel = addButton(alert.cancelButton, 0);
  QPushButton* first = nullptr;
  for (std::size_t i = 0; i < alert.otherButtons.size(); ++i) {
    QPushButton* button = addButton(alert.otherButtons[i], static_cast<int>(i) + 1);
    if (!first) first = button;
  }
  // Return answers the action the alert offers (or dismisses an alert without one), unless that
  // action destroys something: then Cancel is chosen until the user moves the focus.
  QPushButton* preferred = (alert.destructive && cancel) || !first ? cancel : first;
  if (preferred) preferred->setDefault(true);
  layout->addLayout(buttons);

  // Escape or the window's close button: the answer of the cancel button.
  connect(dialog, &QDialog::rejected, this, [this, dialog] { deliver(dialog, 0); });

  open_.append(Open{dialog, alert, delegate});
  // However it closes (an answer, or its delegate going away), the next alert follows.
  connect(dialog, &QDialog::finished, this, &QtUi::showNextPending, Qt::QueuedConnection);
  dialog->open();
  // The keyboard goes to the alert at once, even where no window manager hands it over.
  dialog->activateWindow();
  if (field) {
    field->setFocus();
  } else if (preferred) {
    preferred->setFocus(Qt::TabFocusReason);  // shows the focus frame from the start
  }
  emit alertShown(alert, dialog);
}

void QtUi::deliver(QDialog* dialog, int buttonIndex) {
  Open* entry = find(dialog);
  if (!entry) return;  // answered already, or its delegate went away
  kestrio::Alert answered = entry->alert;
  kestrio::AlertDelegate* delegate = entry->delegate;
  open_.removeIf([dialog](const Open& e) { return e.dialog == dialog; });
  if (answered.textField) {
    if (auto* field = dialog->findChild<QLineEdit*>(kTextFieldName)) {
      answered.textField->text = field->text().toStdString();
    }
  }
  // Closes (and later deletes) the dialog; a rejection reaching here is already closing it.
  if (dialog->isVisible()) dialog->accept();
  // The delegate may show the next alert at once (a refused amount, for one).
  if (delegate) delegate->clickedButtonAtIndex(answered, buttonIndex);
}

QtUi::Open* QtUi::find(const QDialog* dialog) {
  for (Open& entry : open_) {
    if (entry.dialog == dialog) return &entry;
  }
  return nullptr;
}

const QtUi::Open* QtUi::find(const QDialog* dialog) const {
  for (const Open& entry : open_) {
    if (entry.dialog == dialog) return &entry;
  }
  return nullptr;
}

void QtUi::prune() {
  open_.removeIf([](const Open& entry) { return entry.dialog.isNull(); });
}

QList<QDialog*> QtUi::openDialogs() const {
  QList<QDialog*> result;
  for (const Open& entry : open_) {
    if (entry.dialog && entry.dialog->isVisible()) result.append(entry.dialog.data());
  }
  return result;
}

const kestrio::Alert* QtUi::alertOf(const QDialog* dialog) const {
  const Open* entry = find(dialog);
  return entry ? &entry->alert : nullptr;
}

bool QtUi::answer(QDialog* dialog, const QString& buttonText) {
  if (!find(dialog)) return false;
  for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
    if (button->text() == buttonText) {
      button->click();
      return true;
    }
  }
  return false;
}

bool QtUi::answer(QDialog* dialog, const QString& buttonText, const QString& typed) {
  if (!find(dialog)) return false;
  if (auto* field = dialog->findChild<QLineEdit*>(kTextFieldName)) field->setText(typed);
  return answer(dialog, buttonText);
}

void QtUi::forgetDelegate(const kestrio::AlertDelegate* delegate) {
  if (!delegate) return;
  pending_.removeIf([delegate](const Pending& entry) { return entry.delegate == delegate; });
  QList<QPointer<QDialog>> closing;
  for (const Open& entry : open_) {
    if (entry.delegate == delegate) closing.append(entry.dialog);
  }
  open_.removeIf([delegate](const Open& entry) { return entry.delegate == delegate; });
  for (const QPointer<QDialog>& dialog : closing) {
    if (dialog) dialog->close();
  }
}

void QtUi::showActionSheet(const kestrio::ActionSheet& sheet,
                           kestrio::ActionSheetDelegate* delegate) {
  auto* dialog = new QDialog(parentWidget_);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setObjectName("actionSheet");
  dialog->setWindowTitle(sheet.title.empty() ? QStringLiteral("Kestrio") : qs(sheet.title));
  auto* layout = new QVBoxLayout(dialog);
  if (!sheet.title.empty()) {
    auto* title = new QLabel(qs(sheet.title), dialog);
    title->setWordWrap(true);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
  }
  // Each answer is delivered once: a click, or the rejection that closing the dialog brings.
  auto answered = std::make_shared<bool>(false);
  auto answer = [dialog, delegate, sheet, answered](int index) {
    if (*answered) return;
    *answered = true;
    dialog->accept();
    if (delegate && index >= 0) delegate->clickedButtonAtIndex(sheet, index);
  };
  QPushButton* cancel = nullptr;
  for (std::size_t i = 0; i < sheet.buttons.size(); ++i) {
    const int index = static_cast<int>(i);
    auto* button = new QPushButton(qs(sheet.buttons[i]), dialog);
    button->setAutoDefault(true);
    if (sheet.destructiveButtonIndex == index) button->setObjectName("destructiveButton");
    if (sheet.cancelButtonIndex == index) cancel = button;
    connect(button, &QPushButton::clicked, dialog, [answer, index] { answer(index); });
    layout->addWidget(button);
  }
  const int cancelIndex = sheet.cancelButtonIndex.value_or(-1);
  connect(dialog, &QDialog::rejected, dialog, [answer, cancelIndex] { answer(cancelIndex); });
  dialog->open();
  dialog->activateWindow();
  if (cancel) {
    cancel->setDefault(true);
    cancel->setFocus(Qt::TabFocusReason);
  }
}

void QtUi::push(std::shared_ptr<kestrio::ViewController> screen, kestrio::ViewController* from) {
  if (navigator_.push) navigator_.push(std::move(screen), from);
}

void QtUi::present(std::shared_ptr<kestrio::ViewController> screen, kestrio::ViewController* from) {
  if (navigator_.present) navigator_.present(std::move(screen), from);
}

void QtUi::dismiss(kestrio::ViewController* screen) {
  if (navigator_.dismiss) navigator_.dismiss(screen);
}

void QtUi::offerUndo(const kestrio::UndoOffer& offer) {
  if (undoBar_) undoBar_->offer(qs(offer.message), offer.undo);
}

void QtUi::openURL(const std::string& url) {
  const QUrl target(qs(url), QUrl::StrictMode);
  // Only web and mail addresses leave the application; a local file or a scheme that starts a
  // program is never handed to the desktop.
  const QString scheme = target.scheme().toLower();
  if (!target.isValid() || (scheme != "https" && scheme != "http" && scheme != "mailto")) return;
  QDesktopServices::openUrl(target);
}

}  // namespace kestrio::gui
