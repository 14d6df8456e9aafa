#include "gui/counters/CounterWidgets.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Theme.h"
#include "gui/theme/ThemeStyle.h"

namespace kestrio::gui {

QToolButton* paneBarButton(const QString& text, const char* name, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setText(text);
  button->setObjectName(QLatin1String(name));
  return button;
}

SegmentedControl::SegmentedControl(const QStringList& segments, QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(8, 4, 8, 4);
  layout->setSpacing(0);
  for (int i = 0; i < segments.size(); ++i) {
    auto* button = new QPushButton(segments[i], this);
    button->setCheckable(true);
    // In a presented pane (a dialog) the first such button would become the dialog's default,
    // and a Return that a text field lets pass would choose this segment.
    button->setAutoDefault(false);
    button->setObjectName(QStringLiteral("segment"));
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    group_.addButton(button, i);
    layout->addWidget(button);
  }
  group_.setExclusive(true);
  // The chosen segment stands out in the theme's highlight (the network's colour).
  setStyleSheet(
      QStringLiteral("QPushButton { border-radius: 0; }"
                     "QPushButton:checked { background-color: palette(highlight);"
                     " color: palette(highlighted-text); }"));
  connect(&group_, &QButtonGroup::idClicked, this, &SegmentedControl::segmentChanged);
}

int SegmentedControl::selectedSegment() const {
  return group_.checkedId();
}

void SegmentedControl::setSelectedSegment(int index) {
  if (auto* button = group_.button(index)) button->setChecked(true);
}

SectionedTable::SectionedTable(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setIndentation(0);
  setColumnCount(1);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setFocusPolicy(Qt::StrongFocus);
  connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
    if (!item || !item->data(0, kSectionRole).isValid()) return;
    emit rowActivated(item->data(0, kSectionRole).toInt(), item->data(0, kRowRole).toInt());
  });
  connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
    if (!item || !item->data(0, kSectionRole).isValid()) return;
    emit rowActivated(item->data(0, kSectionRole).toInt(), item->data(0, kRowRole).toInt());
  });
}

void SectionedTable::addSection(const QString& title) {
  auto* header = new QTreeWidgetItem(this);
  header->setFlags(Qt::ItemIsEnabled);
  auto* label = new QLabel(title);
  label->setObjectName(QStringLiteral("sectionHeader"));
  label->setProperty(kThemeRoleProperty, kRoleDetail);
  QFont font = label->font();
  font.setPixelSize(14);
  label->setFont(font);
  label->setContentsMargins(12, title.isEmpty() ? 2 : 12, 12, 4);
  setItemWidget(header, 0, label);
  header->setSizeHint(0, label->sizeHint());
  header->setExpanded(true);
}

QTreeWidgetItem* SectionedTable::addRow(int section, int row, QWidget* content, bool selectable) {
  auto* item = new QTreeWidgetItem(this);
  item->setFlags(selectable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::ItemIsEnabled);
  item->setData(0, kSectionRole, section);
  item->setData(0, kRowRole, row);
  content->setProperty(kThemeRoleProperty, kRoleBlock);
  setItemWidget(item, 0, content);
  item->setSizeHint(0, content->sizeHint());
  return item;
}

QWidget* titledRow(const QString& title, const QString& detail, bool detailBelow, bool disclosure,
                   QWidget* trailing) {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(12, 8, 12, 8);
  auto* texts = detailBelow ? static_cast<QBoxLayout*>(new QVBoxLayout)
                            : static_cast<QBoxLayout*>(new QHBoxLayout);
  auto* titleLabel = new QLabel(title, row);
  titleLabel->setObjectName(QStringLiteral("rowTitle"));
  titleLabel->setProperty(kThemeRoleProperty, kRoleTitle);
  titleLabel->setWordWrap(detailBelow);
  titleLabel->setTextFormat(Qt::PlainText);
  texts->addWidget(titleLabel);
  if (!detail.isNull()) {
    auto* detailLabel = new QLabel(detail, row);
    detailLabel->setObjectName(QStringLiteral("rowDetail"));
    detailLabel->setProperty(kThemeRoleProperty, kRoleDetail);
    detailLabel->setTextFormat(Qt::PlainText);
    detailLabel->setWordWrap(detailBelow);
    if (!detailBelow) {
      texts->addStretch(1);
      detailLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    texts->addWidget(detailLabel);
  }
  layout->addLayout(texts, 1);
  if (trailing) layout->addWidget(trailing);
  if (disclosure) {
    auto* mark = new QLabel(QStringLiteral("\u203A"), row);
    mark->setObjectName(QStringLiteral("disclosure"));
    mark->setProperty(kThemeRoleProperty, kRoleDetail);
    QFont font = mark->font();
    font.setPointSize(font.pointSize() + 6);
    mark->setFont(font);
    layout->addWidget(mark);
  }
  return row;
}

QWidget* navigationBar(const QString& title, QWidget* left, QWidget* right) {
  auto* bar = new QWidget;
  bar->setObjectName(QStringLiteral("navigationBar"));
  bar->setProperty(kThemeRoleProperty, kRoleBlock);
  auto* layout = new QHBoxLayout(bar);
  layout->setContentsMargins(8, 6, 8, 6);
  auto* titleLabel = new QLabel(title, bar);
  titleLabel->setObjectName(QStringLiteral("navigationTitle"));
  titleLabel->setProperty(kThemeRoleProperty, kRoleTitle);
  titleLabel->setAlignment(Qt::AlignCenter);
  titleLabel->setTextFormat(Qt::PlainText);
  QFont font = titleLabel->font();
  font.setPointSize(16);
  font.setBold(true);
  titleLabel->setFont(font);
  // Equal room on both sides keeps the title centred.
  auto* leftSlot = new QWidget(bar);
  auto* rightSlot = new QWidget(bar);
  for (auto [slot, button] : {std::pair{leftSlot, left}, std::pair{rightSlot, right}}) {
    auto* slotLayout = new QHBoxLayout(slot);
    slotLayout->setContentsMargins(0, 0, 0, 0);
    if (button) slotLayout->addWidget(button);
    slot->setMinimumWidth(72);  // a "Cancel" wide: the bar fits a phone held upright
    slot->setAttribute(Qt::WA_TranslucentBackground);
    slot->setStyleSheet(QStringLiteral("background: transparent;"));
  }
  layout->addWidget(leftSlot, 0, Qt::AlignLeft);
  layout->addWidget(titleLabel, 1);
  layout->addWidget(rightSlot, 0, Qt::AlignRight);
  return bar;
}

QCheckBox* onOffSwitch(bool on, QWidget* parent) {
  auto* box = new QCheckBox(parent);
  box->setObjectName(QStringLiteral("onOffSwitch"));
  box->setChecked(on);
  box->setText(on ? QStringLiteral("On") : QStringLiteral("Off"));
  QObject::connect(box, &QCheckBox::toggled, box, [box](bool checked) {
    box->setText(checked ? QStringLiteral("On") : QStringLiteral("Off"));
  });
  return box;
}

}  // namespace kestrio::gui
