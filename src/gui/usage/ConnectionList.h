#pragma once

#include <QWidget>
#include <vector>

#include "app/MainViewController.h"

class QLabel;
class QVBoxLayout;

namespace kestrio::gui {

// "Networks this period" on a usage screen: per connection its name, its amount, a bar of its
// share and whether it is metered, with a button that offers to mark it metered or not. It
// draws the controller's rows and forwards the choice; it computes nothing.
class ConnectionList : public QWidget {
  Q_OBJECT

 public:
  explicit ConnectionList(QWidget* parent = nullptr);

  // Shows the rows under the title; the whole section is hidden while the title is.
  void setRows(const std::vector<kestrio::ConnectionRow>& rows, const kestrio::Label& title);
  // Whether the buttons take a fingertip's size (a phone held upright).
  void setTouch(bool touch) { touch_ = touch; }

 signals:
  // The user chose a metered setting for the connection with this UUID.
  void meteredChosen(const QString& uuid, kestrio::ConnectionMetered value);

 private:
  void rebuild(const std::vector<kestrio::ConnectionRow>& rows);
  QWidget* makeRow(const kestrio::ConnectionRow& row);

  QLabel* title_ = nullptr;
  QVBoxLayout* rowsLayout_ = nullptr;
  std::vector<kestrio::ConnectionRow> shown_;
  bool touch_ = false;
};

}  // namespace kestrio::gui
