#pragma once

#include <QAbstractListModel>
#include <QWidget>
#include <functional>
#include <memory>

#include "history/HistoryView.h"
#include "history/HistoryViewController.h"

class QTableView;
class QToolButton;

namespace kestrio::gui {

class HistoryNavBar;

// The rows of the history list, straight from the controller.
class HistoryListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit HistoryListModel(kestrio::HistoryViewController& controller, QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  void reload();

 private:
  kestrio::HistoryViewController& controller_;
};

// The history tab's root screen: the running and closed billing periods. A row opens its
// period; the edit button lets rows from the third on be deleted (the red mark, or the Delete
// key); the action button offers clearing, the mails and the chart; "Save CSV…" writes the
// closed periods to a file of the user's choice.
class HistoryScreen : public QWidget, public kestrio::HistoryView {
  Q_OBJECT

 public:
  HistoryScreen(std::shared_ptr<kestrio::HistoryViewController> controller,
                QWidget* parent = nullptr);
  ~HistoryScreen() override;

  kestrio::HistoryViewController& controller() { return *controller_; }
  QTableView* table() const { return table_; }
  QToolButton* editButton() const { return editButton_; }
  QToolButton* actionButton() const { return actionButton_; }
  QToolButton* saveCsvButton() const { return saveCsvButton_; }
  // The file dialog of "Save CSV…"; tests replace it.
  std::function<QString()> chooseCsvFile;

  // --- HistoryView ---
  void reloadData() override;
  void deleteRow(int row) override;
  // The phone idiom on a narrow screen, the tablet idiom otherwise.
  bool isTablet() const override;
  int screenHeight() const override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void toggleEditing();
  void openRow(const QModelIndex& index);
  void saveCsv();
  void updateButtons();

  std::shared_ptr<kestrio::HistoryViewController> controller_;
  HistoryListModel* model_ = nullptr;
  HistoryNavBar* bar_ = nullptr;
  QTableView* table_ = nullptr;
  QToolButton* editButton_ = nullptr;
  QToolButton* actionButton_ = nullptr;
  QToolButton* saveCsvButton_ = nullptr;
};

}  // namespace kestrio::gui
