#include "gui/history/HistoryDetailScreen.h"

#include <QAction>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <QTableWidget>
#include <QTextLayout>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Theme.h"
#include "gui/history/HistoryWidgets.h"
#include "gui/shell/NavigationStack.h"
#include "gui/theme/ThemeStyle.h"

namespace kestrio::gui {
namespace {

constexpr int kRowHeight = 44;
constexpr int kHeaderHeight = 36;

QTableWidgetItem* cellItem(const std::string& text, const QColor& colour, Qt::Alignment align) {
  auto* item = new QTableWidgetItem(QString::fromStdString(text));
  // Rows show their text only: choosing one does nothing.
  item->setFlags(Qt::ItemIsEnabled);
  item->setForeground(colour);
  item->setTextAlignment(align | Qt::AlignVCenter);
  return item;
}

}  // namespace

HistoryDetailScreen::HistoryDetailScreen(
    std::shared_ptr<kestrio::HistoryDetailViewController> controller, QWidget* parent)
    : QWidget(parent), controller_(std::move(controller)) {
  setObjectName(QStringLiteral("historyDetail"));
  setProperty(shell::kOwnBarProperty, true);
  controller_->setView(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  bar_ = new HistoryNavBar(this);
  backButton_ = new QToolButton(bar_);
  backButton_->setObjectName(QStringLiteral("backButton"));
  backButton_->setText(tr("‹ History"));
  // Alt+Left is the navigation stack's, as on every pushed screen.
  backButton_->setToolTip(tr("Back (Esc, Alt+Left)"));
  connect(backButton_, &QToolButton::clicked, this, &HistoryDetailScreen::backRequested);
  bar_->addLeft(backButton_);
  saveCsvButton_ = new QToolButton(bar_);
  saveCsvButton_->setObjectName(QStringLiteral("saveCsvButton"));
  saveCsvButton_->setText(tr("Save CSV…"));
  connect(saveCsvButton_, &QToolButton::clicked, this, &HistoryDetailScreen::saveCsv);
  bar_->addRight(saveCsvButton_);
  actionButton_ = new QToolButton(bar_);
  actionButton_->setObjectName(QStringLiteral("actionButton"));
  actionButton_->setText(tr("Actions…"));
  actionButton_->setToolTip(tr("Mail or chart the days of this period"));
  connect(actionButton_, &QToolButton::clicked, this,
          [this] { controller_->actionButtonTapped(); });
  bar_->addRight(actionButton_);
  layout->addWidget(bar_);

  auto* back = new QAction(this);
  back->setShortcut(QKeySequence(Qt::Key_Escape));
  back->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(back, &QAction::triggered, this, &HistoryDetailScreen::backRequested);
  addAction(back);

  table_ = new QTableWidget(this);
  table_->setObjectName(QStringLiteral("historyDetailTable"));
  table_->setColumnCount(2);
  styleHistoryTable(table_);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  // A long name (a connection's) wraps onto the lines it needs rather than being cut off; the
  // rows grow as the names' column narrows.
  table_->setWordWrap(true);
  table_->viewport()->installEventFilter(this);
  layout->addWidget(table_, 1);
  // Shown, the screen gives the keyboard to its rows: the arrows scroll through the days.
  setFocusProxy(table_);

  chooseCsvFile = [this] { return askForCsvFile(this); };
  reloadData();
}

HistoryDetailScreen::~HistoryDetailScreen() {
  controller_->setView(nullptr);
}

void HistoryDetailScreen::reloadData() {
  bar_->setTitle(QString::fromStdString(controller_->title()));
  const QColor title = toQColor(KestrioColors::tableCellForegroundColor());
  const QColor detail = toQColor(KestrioColors::tableCellDetailForegroundColor());
  const QColor header = toQColor(KestrioColors::appSubheaderColor());
  const QColor cell = toQColor(KestrioColors::tableCellBackgroundColor());
  const QColor background = toQColor(KestrioColors::appBackgroundColor());
  QFont headerFont = font();
  headerFont.setPixelSize(14);
  QFont rowFont = font();
  rowFont.setPixelSize(16);

  int count = 0;
  for (const auto& section : controller_->sections())
    count += 1 + static_cast<int>(section.rows.size());
  table_->clearSpans();
  table_->setRowCount(count);
  int row = 0;
  for (const auto& section : controller_->sections()) {
    auto* head = cellItem(section.header, header, Qt::AlignLeft);
    head->setFont(headerFont);
    head->setBackground(background);
    table_->setItem(row, 0, head);
    table_->setSpan(row, 0, 1, 2);
    table_->setRowHeight(row, kHeaderHeight);
    ++row;
    for (const auto& entry : section.rows) {
      auto* left = cellItem(entry.title, title, Qt::AlignLeft);
      auto* right = cellItem(entry.detail, detail, Qt::AlignRight);
      left->setFont(rowFont);
      right->setFont(rowFont);
      left->setBackground(cell);
      right->setBackground(cell);
      table_->setItem(row, 0, left);
      table_->setItem(row, 1, right);
      table_->setRowHeight(row, kRowHeight);
      ++row;
    }
  }
  fitRowHeights();
}

bool HistoryDetailScreen::eventFilter(QObject* watched, QEvent* event) {
  // The names' column takes its new width once the table has laid out its columns: the rows
  // follow after that.
  if (watched == table_->viewport() && event->type() == QEvent::Resize && !fitQueued_) {
    fitQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          fitQueued_ = false;
          fitRowHeights();
        },
        Qt::QueuedConnection);
  }
  return QWidget::eventFilter(watched, event);
}

void HistoryDetailScreen::fitRowHeights() {
  // The text's room in a cell, as the style lays it out.
  const int margin =
      table_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table_) + 1;
  const int width = table_->columnWidth(0) - 2 * margin;
  if (width <= 0) return;
  for (int row = 0; row < table_->rowCount(); ++row) {
    const QTableWidgetItem* item = table_->item(row, 0);
    if (item == nullptr || table_->columnSpan(row, 0) > 1) continue;
    QTextLayout text(item->text(), item->font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    text.setTextOption(option);
    int lines = 0;
    text.beginLayout();
    for (QTextLine line = text.createLine(); line.isValid(); line = text.createLine()) {
      line.setLineWidth(width);
      ++lines;
    }
    text.endLayout();
    const int lineSpacing = QFontMetrics(item->font()).lineSpacing();
    table_->setRowHeight(row, kRowHeight + std::max(0, lines - 1) * lineSpacing);
  }
}

bool HistoryDetailScreen::isTablet() const {
  return isTabletScreen(screen());
}

int HistoryDetailScreen::screenHeight() const {
  const QScreen* shown = screen();
  return shown ? shown->geometry().height() : 0;
}

void HistoryDetailScreen::saveCsv() {
  const QString path = chooseCsvFile ? chooseCsvFile() : QString();
  if (path.isEmpty()) return;
  controller_->saveCsv(path.toStdString());
}

}  // namespace kestrio::gui
