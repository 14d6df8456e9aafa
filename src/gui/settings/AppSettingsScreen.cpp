#include "gui/settings/AppSettingsScreen.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>

#include "gui/settings/NumberField.h"
#include "gui/theme/ThemeStyle.h"

namespace kestrio::gui {
namespace {

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

// Sliders move in thousandths of their range.
constexpr int kSliderSteps = 1000;

}  // namespace

AppSettingsScreen::AppSettingsScreen(
    std::shared_ptr<kestrio::settings::AppSettingsViewController> controller, QWidget* parent)
    : QWidget(parent), controller_(std::move(controller)) {
  setObjectName(QStringLiteral("settingsView"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  scroll_ = new QScrollArea(this);
  scroll_->setObjectName(QStringLiteral("settingsScroll"));
  scroll_->setWidgetResizable(true);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  layout->addWidget(scroll_);
  setFocusPolicy(Qt::StrongFocus);

  // A nested screen is reused: its latest view takes over, a view already gone does nothing.
  const QPointer<AppSettingsScreen> self(this);
  controller_->reloadData = [self] {
    if (self) self->reload();
  };
  controller_->endEditing = [self] {
    QWidget* focused = QApplication::focusWidget();
    if (self && focused && qobject_cast<QLineEdit*>(focused) && self->isAncestorOf(focused)) {
      focused->clearFocus();
    }
  };
  reload();

  // The focused row stays in sight, above an on-screen keyboard too.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now && content_ && content_->isAncestorOf(now)) scroll_->ensureWidgetVisible(now, 0, 24);
  });
}

AppSettingsScreen::~AppSettingsScreen() = default;

void AppSettingsScreen::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Header heights follow the width; rebuild when it changed noticeably.
  if (std::abs(width() - builtForWidth_) > 40) reload();
}

void AppSettingsScreen::reload() {
  const int scrolled = scroll_->verticalScrollBar()->value();
  builtForWidth_ = width();
  auto* content = new QWidget;
  content->setObjectName(QStringLiteral("settingsContent"));
  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(12, 8, 12, 16);
  layout->setSpacing(2);
  for (int section = 0; section < controller_->numberOfSections(); ++section) {
    if (QWidget* header = buildHeader(section, content)) layout->addWidget(header);
    auto* block = new QFrame(content);
    block->setObjectName(QStringLiteral("settingsSection"));
    block->setProperty(kThemeRoleProperty, kRoleBlock);
    auto* rows = new QVBoxLayout(block);
    rows->setContentsMargins(10, 4, 10, 4);
    rows->setSpacing(0);
    for (int row = 0; row < controller_->numberOfRowsInSection(section); ++row) {
      rows->addWidget(buildRow({section, row}, block));
    }
    layout->addWidget(block);
    const QString footer = qs(controller_->footerForSection(section)).trimmed();
    if (!footer.isEmpty()) {
      auto* label = new QLabel(footer, content);
      label->setObjectName(QStringLiteral("settingsFooter"));
      label->setProperty(kThemeRoleProperty, kRoleDetail);
      label->setWordWrap(true);
      label->setContentsMargins(4, 2, 4, 6);
      layout->addWidget(label);
    }
  }
  if (controller_->numberOfSections() == 0) {
    // An empty tab would leave the user guessing: it says which file could not be used.
    const std::string why = controller_->unavailableReason();
    if (!why.empty()) {
      auto* label = new QLabel(qs("The settings cannot be shown: " + why), content);
      label->setObjectName(QStringLiteral("settingsUnavailable"));
      label->setWordWrap(true);
      label->setTextInteractionFlags(Qt::TextSelectableByMouse);
      layout->addWidget(label);
    }
  }
  layout->addStretch(1);
  // The old rows go after the event that may have come from one of them.
  QWidget* old = scroll_->takeWidget();
  scroll_->setWidget(content);
  if (old) old->deleteLater();
  content_ = content;
  scroll_->verticalScrollBar()->setValue(scrolled);
}

QWidget* AppSettingsScreen::buildHeader(int section, QWidget* parent) {
  const QFont labelFont = font();
  QFont bold = labelFont;
  bold.setBold(true);
  const QFontMetrics metrics(bold);
  const kestrio::settings::SectionHeader header = controller_->headerForSection(
      section, static_cast<float>(std::max(width(), 320)),
      [&metrics](const std::string& text, float wrapWidth) {
        return static_cast<float>(metrics
                                      .boundingRect(QRect(0, 0, static_cast<int>(wrapWidth), 10000),
                                                    Qt::TextWordWrap, qs(text))
                                      .height());
      });
  if (header.height <= 0) return nullptr;
  auto* label = new QLabel(parent);
  label->setObjectName(QStringLiteral("settingsHeader"));
  label->setWordWrap(true);
  label->setFont(bold);
  label->setMinimumHeight(static_cast<int>(header.height));
  label->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
  label->setContentsMargins(4, 6, 4, 4);
  if (header.custom) {
    label->setText(qs(header.custom->title));
    QFont headerFont = label->font();
    headerFont.setPointSizeF(std::max(9.0f, header.custom->fontSize * 0.75f));
    label->setFont(headerFont);
    label->setStyleSheet(
        QStringLiteral("color: %1;").arg(toQColor(header.custom->textColor).name()));
  } else {
    label->setText(qs(header.title));
    label->setProperty(kThemeRoleProperty, kRoleDetail);
  }
  return label;
}

QWidget* AppSettingsScreen::buildRow(kestrio::IndexPath path, QWidget* parent) {
  const kestrio::settings::RowDisplay row = controller_->rowAt(path);
  const QString key = qs(row.key);
  auto* cell = new QWidget(parent);
  cell->setObjectName(QStringLiteral("settingsRow"));
  cell->setProperty(kKeyProperty, key);
  cell->setMinimumHeight(40);
  auto* layout = new QHBoxLayout(cell);
  layout->setContentsMargins(0, 2, 0, 2);
  auto* title = new QLabel(qs(row.title), cell);
  title->setObjectName(QStringLiteral("rowTitle"));
  title->setProperty(kThemeRoleProperty, kRoleTitle);
  title->setWordWrap(true);
  auto select = [this, path] { controller_->didSelectRowAtIndexPath(path); };

  if (row.type == kestrio::settings::kPSToggleSwitchSpecifier) {
    auto* toggle = new QCheckBox(cell);
    toggle->setObjectName(QStringLiteral("settingsSwitch"));
    toggle->setProperty(kKeyProperty, key);
    toggle->setChecked(row.switchOn);
    toggle->setAccessibleName(qs(row.title));
    title->setBuddy(toggle);
    connect(toggle, &QCheckBox::toggled, this,
            [this, path](bool on) { controller_->toggledValue(path, on); });
    layout->addWidget(title, 1);
    layout->addWidget(toggle);
  } else if (row.type == kestrio::settings::kPSTextFieldSpecifier) {
    const bool number = row.keyboardType == 4 || row.keyboardType == 8;
    QLineEdit* field =
        number ? new NumberField(qs(row.text), cell) : new QLineEdit(qs(row.text), cell);
    field->setObjectName(QStringLiteral("settingsTextField"));
    field->setProperty(kKeyProperty, key);
    field->setAlignment(Qt::AlignLeft);
    field->setAccessibleName(qs(row.title));
    if (row.secure) field->setEchoMode(QLineEdit::Password);
    if (number) field->setInputMethodHints(Qt::ImhFormattedNumbersOnly);
    field->setMinimumWidth(120);
    title->setBuddy(field);
    connect(field, &QLineEdit::textEdited, this, [this, path](const QString& text) {
      controller_->textChanged(path, text.toStdString());
    });
    // Return ("Done") ends the edit; an ended edit whose text was refused says why.
    connect(field, &QLineEdit::returnPressed, field, [field] { field->clearFocus(); });
    connect(field, &QLineEdit::editingFinished, this,
            [this, path] { controller_->textEditingEnded(path); });
    layout->addWidget(title, 1);
    layout->addWidget(field, 1);
  } else if (row.type == kestrio::settings::kPSSliderSpecifier) {
    auto* slider = new QSlider(Qt::Horizontal, cell);
    slider->setObjectName(QStringLiteral("settingsSlider"));
    slider->setProperty(kKeyProperty, key);
    slider->setRange(0, kSliderSteps);
    const float span = row.maximumValue - row.minimumValue;
    const float at = span > 0 ? (row.sliderValue - row.minimumValue) / span : 0;
    slider->setValue(static_cast<int>(std::lround(std::clamp(at, 0.0f, 1.0f) * kSliderSteps)));
    slider->setAccessibleName(qs(row.title.empty() ? row.key : row.title));
    connect(slider, &QSlider::valueChanged, this, [this, path, row](int step) {
      controller_->sliderChanged(path, row.minimumValue + (row.maximumValue - row.minimumValue) *
                                                              static_cast<float>(step) /
                                                              kSliderSteps);
    });
    if (!row.title.empty())
      layout->addWidget(title);
    else
      title->hide();
    layout->addWidget(slider, 1);
  } else if (row.type == kestrio::settings::kButtonSpecifier) {
    title->hide();
    auto* button = new QPushButton(qs(row.title), cell);
    button->setObjectName(QStringLiteral("settingsButton"));
    button->setProperty(kKeyProperty, key);
    button->setAutoDefault(true);
    connect(button, &QPushButton::clicked, this, select);
    layout->addWidget(button, 1);
  } else if (row.selectable &&
             (row.disclosure || row.type != kestrio::settings::kPSTitleValueSpecifier)) {
    // A row that opens something: one flat button with the title, the detail and the mark.
    title->hide();
    auto* button = new QPushButton(cell);
    button->setObjectName(QStringLiteral("settingsDisclosure"));
    button->setProperty(kKeyProperty, key);
    button->setFlat(true);
    button->setAutoDefault(true);
    button->setAccessibleName(qs(row.title));
    auto* inner = new QHBoxLayout(button);
    inner->setContentsMargins(2, 0, 2, 0);
    auto* name = new QLabel(qs(row.title), button);
    name->setProperty(kThemeRoleProperty, kRoleTitle);
    name->setWordWrap(true);
    name->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* detail =
        new QLabel(qs(row.detail) + (row.disclosure ? QStringLiteral("  ›") : QString()), button);
    detail->setObjectName(QStringLiteral("rowDetail"));
    detail->setProperty(kThemeRoleProperty, kRoleDetail);
    detail->setAttribute(Qt::WA_TransparentForMouseEvents);
    detail->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    inner->addWidget(name, 1);
    inner->addWidget(detail);
    button->setMinimumHeight(std::max(36, inner->sizeHint().height()));
    connect(button, &QPushButton::clicked, this, select);
    layout->addWidget(button, 1);
  } else {
    // Shown only: a title and its value.
    auto* detail = new QLabel(qs(row.detail), cell);
    detail->setObjectName(QStringLiteral("rowDetail"));
    detail->setProperty(kThemeRoleProperty, kRoleDetail);
    detail->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    detail->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(title, 1);
    layout->addWidget(detail);
  }
  return cell;
}

QWidget* AppSettingsScreen::controlForKey(const QString& key) const {
  if (!content_) return nullptr;
  for (QWidget* widget : content_->findChildren<QWidget*>()) {
    if (widget->property(kKeyProperty).toString() == key &&
        widget->objectName() != QLatin1String("settingsRow")) {
      return widget;
    }
  }
  return nullptr;
}

}  // namespace kestrio::gui
