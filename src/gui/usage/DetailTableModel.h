#pragma once

#include <QAbstractTableModel>

#include "app/MainViewController.h"

namespace kestrio::gui {

// The fourteen rows of a usage screen's detail list: the title left, the value right in the
// network's colour. Read-only; the rows come straight from the controller.
class DetailTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kTitleColumn = 0;
  static constexpr int kValueColumn = 1;
  static constexpr int kFontPixelSize = 16;
  // On a phone held upright: smaller titles, so that the widest values stay whole.
  static constexpr int kCompactTitlePixelSize = 13;
  static constexpr int kCompactValuePixelSize = 15;

  explicit DetailTableModel(kestrio::MainViewController& controller, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The controller's values changed: every view redraws.
  void reload();
  void setCompact(bool compact) { compact_ = compact; }

 private:
  kestrio::MainViewController& controller_;
  bool compact_ = false;
};

}  // namespace kestrio::gui
