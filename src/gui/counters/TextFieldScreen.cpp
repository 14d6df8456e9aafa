#include "gui/counters/TextFieldScreen.h"

#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/counters/CounterWidgets.h"
#include "gui/shell/WindowNavigator.h"
#include "gui/theme/ThemeStyle.h"

namespace kestrio::gui {

namespace {

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

TextFieldScreen::TextFieldScreen(std::shared_ptr<kestrio::TextFieldViewController> controller,
                                 QWidget* parent)
    : QWidget(parent), controller_(std::move(controller)) {
  setObjectName(QStringLiteral("textField"));
  setProperty(shell::kPresentedSizeProperty, kCounterPaneSize);
  auto* cancel = paneBarButton(tr("Cancel"), "cancelButton", this);
  auto* done = paneBarButton(tr("Done"), "doneButton", this);
  connect(cancel, &QToolButton::clicked, this, [this] { controller_->cancel(); });
  connect(done, &QToolButton::clicked, this, [this] { controller_->done(); });
  label_ = new QLabel(this);
  label_->setObjectName(QStringLiteral("label"));
  label_->setProperty(kThemeRoleProperty, kRoleDetail);
  field_ = new QLineEdit(this);
  field_->setObjectName(QStringLiteral("textField"));
  field_->setMaxLength(200);
  connect(field_, &QLineEdit::textEdited, this,
          [this](const QString& text) { controller_->textField = text.toStdString(); });
  connect(field_, &QLineEdit::returnPressed, this, [this] { controller_->done(); });

  auto* body = new QWidget(this);
  auto* bodyLayout = new QVBoxLayout(body);
  bodyLayout->setContentsMargins(16, 16, 16, 16);
  bodyLayout->addWidget(label_);
  bodyLayout->addWidget(field_);
  bodyLayout->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(navigationBar(qs(controller_->title()), cancel, done));
  layout->addWidget(body, 1);
  setFocusProxy(field_);
  controller_->setView(this);
}

TextFieldScreen::~TextFieldScreen() {
  controller_->setView(nullptr);
}

void TextFieldScreen::reloadData() {
  label_->setText(qs(controller_->labelText));
  field_->setPlaceholderText(qs(controller_->placeholderText));
  field_->setText(qs(controller_->textField));
  // Once the pane is shown: the old text selected, so typing replaces it.
  QTimer::singleShot(0, field_, [field = field_] {
    field->setFocus();
    field->selectAll();
  });
}

}  // namespace kestrio::gui
