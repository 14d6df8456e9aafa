#include "gui/plan/PlanWidgets.h"

#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QVBoxLayout>

namespace kestrio::gui {

namespace {

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

QLabel* summaryBox(const std::string& text, QWidget* parent) {
  auto* label = new QLabel(qs(text), parent);
  label->setObjectName(QStringLiteral("summaryView"));
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignCenter);
  label->setMinimumHeight(44);
  label->setStyleSheet(
      QStringLiteral("QLabel#summaryView { border: 1px solid grey; padding: 6px; }"));
  return label;
}

void roomyRows(QListWidget* list) {
  list->setStyleSheet(QStringLiteral("QListWidget::item { min-height: 34px; padding-left: 6px; }"));
}

QVBoxLayout* paneLayout(QWidget* pane) {
  auto* layout = new QVBoxLayout(pane);
  layout->setContentsMargins(16, 12, 16, 12);
  layout->setSpacing(10);
  return layout;
}

void reportNotStored(QWidget* pane, const std::string& why) {
  QMessageBox::warning(pane, QStringLiteral("Not Saved"),
                       QStringLiteral("The change could not be saved: %1").arg(qs(why)));
}

}  // namespace kestrio::gui
