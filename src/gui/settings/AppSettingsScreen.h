#pragma once

#include <QWidget>
#include <memory>

#include "settings/AppSettingsViewController.h"

class QScrollArea;
class QVBoxLayout;

namespace kestrio::gui {

// Draws a settings screen: its sections, each with a header, its rows and a footer, in a
// scrolling list. Every control carries its row's key (the "key" property) and forwards the
// user's changes to the controller; Tab walks the rows, Space or Return opens or presses one.
class AppSettingsScreen : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kKeyProperty = "key";

  explicit AppSettingsScreen(
      std::shared_ptr<kestrio::settings::AppSettingsViewController> controller,
      QWidget* parent = nullptr);
  ~AppSettingsScreen() override;

  kestrio::settings::AppSettingsViewController& controller() { return *controller_; }
  // The control or row widget of a key; nothing when no row has it.
  QWidget* controlForKey(const QString& key) const;
  // Redraws every row from the controller.
  void reload();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QWidget* buildRow(kestrio::IndexPath path, QWidget* parent);
  QWidget* buildHeader(int section, QWidget* parent);

  std::shared_ptr<kestrio::settings::AppSettingsViewController> controller_;
  QScrollArea* scroll_ = nullptr;
  QWidget* content_ = nullptr;
  int builtForWidth_ = 0;
};

}  // namespace kestrio::gui
