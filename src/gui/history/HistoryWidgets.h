#pragma once

#include <QString>
#include <QStyledItemDelegate>
#include <QWidget>

class QLabel;
class QScreen;
class QHBoxLayout;
class QTableView;
class QVBoxLayout;

namespace kestrio::gui {

// The bar above a history screen: buttons on the left, the title in the middle, buttons on the
// right, on the navigation bar's colour; the title above the buttons where it would not fit
// between them.
class HistoryNavBar : public QWidget {
  Q_OBJECT

 public:
  explicit HistoryNavBar(QWidget* parent = nullptr);
  void setTitle(const QString& title);
  QLabel* titleLabel() const { return title_; }
  void addLeft(QWidget* widget);
  void addRight(QWidget* widget);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void elideTitle();
  void placeTitle();

  QString fullTitle_;
  QVBoxLayout* outer_ = nullptr;
  QHBoxLayout* row_ = nullptr;
  bool titleAbove_ = false;
  QHBoxLayout* left_ = nullptr;
  QHBoxLayout* right_ = nullptr;
  QLabel* title_ = nullptr;
};

// Draws a list row as the history list shows it: the network's icon, the title with the detail
// under it, and on the right a chevron, or "Delete" on a row that can be deleted now.
class HistoryRowDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  static constexpr int kDetailRole = Qt::UserRole + 1;
  static constexpr int kDeletableRole = Qt::UserRole + 2;
  // The area of the "Delete" mark within a row's rectangle.
  static QRect deleteArea(const QRect& row);

  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Whether a screen gets the tablet idiom: unless its narrower side is below 600 points.
bool isTabletScreen(const QScreen* screen);

// The table look of the history screens: cell colours of the theme, no grid, whole rows.
void styleHistoryTable(QTableView* table);

// Asks where to save the history as CSV, starting in the user's documents; empty when cancelled.
QString askForCsvFile(QWidget* parent);

}  // namespace kestrio::gui
