#include "gui/usage/DetailTableModel.h"

#include <QColor>
#include <QFont>

#include "app/Theme.h"
#include "gui/theme/ThemeStyle.h"

namespace kestrio::gui {

DetailTableModel::DetailTableModel(kestrio::MainViewController& controller, QObject* parent)
    : QAbstractTableModel(parent), controller_(controller) {}

int DetailTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kestrio::MainViewController::kDetailRows;
}

int DetailTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 2;
}

QVariant DetailTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() < 0 || index.row() >= rowCount() || index.column() < 0 ||
      index.column() > kValueColumn) {
    return {};
  }
  const bool isValue = index.column() == kValueColumn;
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return isValue ? QString::fromStdString(controller_.detailValue(index.row()))
                     : QString::fromUtf8(kestrio::MainViewController::detailTitle(index.row()));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::Alignment(Qt::AlignVCenter) |
                                 (isValue ? Qt::AlignRight : Qt::AlignLeft));
    case Qt::ForegroundRole: {
      if (!isValue) return toQColor(kestrio::KestrioColors::tableCellForegroundColor());
      kestrio::Platform& platform = controller_.platform();
      return legibleOn(toQColor(controller_.isCellularMode
                                    ? kestrio::KestrioColors::cellularProgressColor(platform)
                                    : kestrio::KestrioColors::wifiProgressColor(platform)),
                       toQColor(kestrio::KestrioColors::tableCellBackgroundColor()));
    }
    case Qt::BackgroundRole:
      return toQColor(kestrio::KestrioColors::tableCellBackgroundColor());
    case Qt::FontRole: {
      QFont font;
      font.setPixelSize(!compact_ ? kFontPixelSize
                        : isValue ? kCompactValuePixelSize
                                  : kCompactTitlePixelSize);
      return font;
    }
    default:
      return {};
  }
}

Qt::ItemFlags DetailTableModel::flags(const QModelIndex& index) const {
  // The list only shows: no row can be selected or edited.
  return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void DetailTableModel::reload() {
  beginResetModel();
  endResetModel();
}

}  // namespace kestrio::gui
