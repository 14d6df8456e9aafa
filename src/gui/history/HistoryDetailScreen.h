#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "history/HistoryDetailViewController.h"
#include "history/HistoryView.h"

class QTableWidget;
class QToolButton;

namespace kestrio::gui {

class HistoryNavBar;

// One billing period: its dates, its amounts and its days in three titled sections. The back
// button (or Escape, or Alt+Left) returns to the list; the action button mails or charts the
// days; "Save CSV…" writes them to a file of the user's choice.
class HistoryDetailScreen : public QWidget, public kestrio::HistoryView {
  Q_OBJECT

 public:
  HistoryDetailScreen(std::shared_ptr<kestrio::HistoryDetailViewController> controller,
                      QWidget* parent = nullptr);
  ~HistoryDetailScreen() override;

  kestrio::HistoryDetailViewController& controller() { return *controller_; }
  QTableWidget* table() const { return table_; }
  QToolButton* backButton() const { return backButton_; }
  QToolButton* actionButton() const { return actionButton_; }
  QToolButton* saveCsvButton() const { return saveCsvButton_; }
  std::function<QString()> chooseCsvFile;

  // --- HistoryView ---
  void reloadData() override;
  void deleteRow(int) override {}
  // The phone idiom on a narrow screen, the tablet idiom otherwise.
  bool isTablet() const override;
  int screenHeight() const override;

 signals:
  void backRequested();

 private:
  void saveCsv();
  // Each row as high as its wrapped name needs at the column's width.
  void fitRowHeights();
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool fitQueued_ = false;

  std::shared_ptr<kestrio::HistoryDetailViewController> controller_;
  HistoryNavBar* bar_ = nullptr;
  QTableWidget* table_ = nullptr;
  QToolButton* backButton_ = nullptr;
  QToolButton* actionButton_ = nullptr;
  QToolButton* saveCsvButton_ = nullptr;
};

}  // namespace kestrio::gui
