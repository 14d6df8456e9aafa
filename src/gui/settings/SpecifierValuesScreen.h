#pragma once

#include <QListWidget>
#include <memory>

#include "settings/SpecifierValuesViewController.h"

namespace kestrio::gui {

// The choices of a multi-value row, the current one checked; a click, Return or Space chooses.
class SpecifierValuesScreen : public QListWidget {
  Q_OBJECT

 public:
  explicit SpecifierValuesScreen(
      std::shared_ptr<kestrio::settings::SpecifierValuesViewController> controller,
      QWidget* parent = nullptr);
  void reload();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::shared_ptr<kestrio::settings::SpecifierValuesViewController> controller_;
};

}  // namespace kestrio::gui
