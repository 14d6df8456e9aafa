#include "gui/usage/ShareRow.h"

#include <QLabel>
#include <QLayout>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>

#include "gui/theme/ThemeStyle.h"

namespace kestrio::gui {
namespace {

constexpr int kBarHeight = 6;

}  // namespace

QLabel* makeListLabel(QWidget* parent, const QString& name, const char* role, int pixels,
                      bool bold) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setProperty(kThemeRoleProperty, role);
  QFont font = label->font();
  font.setPixelSize(pixels);
  font.setBold(bold);
  label->setFont(font);
  label->setTextFormat(Qt::PlainText);
  return label;
}

void clearListRows(QLayout* rows) {
  while (QLayoutItem* item = rows->takeAt(0)) {
    if (QWidget* old = item->widget()) {
      old->hide();
      old->deleteLater();
    }
    delete item;
  }
}

ShareBar::ShareBar(float share, const QString& name, QWidget* parent)
    : QWidget(parent), share_(std::clamp(share, 0.0f, 1.0f)) {
  setObjectName(name);
  setProperty(kThemeRoleProperty, kRoleBlock);
  setAttribute(Qt::WA_StyledBackground);
  setFixedHeight(kBarHeight);
  fill_ = new QWidget(this);
  fill_->setProperty(kThemeRoleProperty, kRoleLine);
  fill_->setAttribute(Qt::WA_StyledBackground);
}

void ShareBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int width = static_cast<int>(std::lround(share_ * static_cast<float>(this->width())));
  fill_->setGeometry(0, 0, width, height());
}

}  // namespace kestrio::gui
