#pragma once

#include <QWidget>
#include <map>
#include <memory>
#include <string>

#include "app/MainView.h"
#include "app/MainViewController.h"

class QBoxLayout;
class QLabel;
class QTableView;
class QToolButton;
class QPushButton;
class QScrollArea;
class QResizeEvent;

namespace kestrio::gui {

class ApplicationList;
class ConnectionList;
class DetailTableModel;
class UsageGaugeWidget;

// The usage screen of one network: the status area (figures, gauge, status word) and the
// detail table. It draws the controller's state and forwards the user's actions; every figure
// comes from the controller.
class MainScreen : public QWidget, public kestrio::MainView {
  Q_OBJECT

 public:
  MainScreen(kestrio::Platform& platform, kestrio::Ui& ui, kestrio::NotificationCenter& center,
             bool cellular, QWidget* parent = nullptr);
  ~MainScreen() override;

  kestrio::MainViewController& controller();
  bool isCellular() const { return cellular_; }
  bool isLandscape() const { return landscape_; }
  // Whether the detail table follows the figures in the status area's one scrolling column.
  bool isOneColumn() const { return oneColumn_; }
  // A full refresh: the controller renders both networks and asks the view to draw.
  void refresh();
  // Reads the applications the latest pass stored (a repaint alone never reads a file).
  void reloadApplications();
  // Copies every field of the controller into the widgets.
  void repaintFromController();

  // --- MainView ---
  std::string layoutName() const override;
  void setNeedsDisplay() override;
  void selectTab(int index) override;
  void setContentSize(int width, int height) override;

  // Widgets for tests and the window.
  QLabel* label(const QString& objectName) const;
  QTableView* detailTable() const { return table_; }
  DetailTableModel* detailModel() const { return model_; }
  // The gauge of the screen's own network.
  UsageGaugeWidget* gaugeWidget() const { return gauge_; }
  QWidget* statusArea() const { return statusArea_; }
  QToolButton* editButton() const { return editButton_; }
  QPushButton* resetButton() const { return resetButton_; }
  ConnectionList* connectionList() const { return connections_; }
  ApplicationList* applicationList() const { return applications_; }

 signals:
  void tabRequested(int index);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct NetworkLabels;
  void buildStatusArea();
  void buildNetworkBlock(NetworkLabels& labels, const QString& suffix);
  // Side by side, stacked or in one column, as `size` and the figures shown want.
  void arrange(const QSize& size);
  void setLandscape(bool landscape);
  void setOneColumn(bool oneColumn);
  // In one column the table is as tall as its rows: the status area scrolls, not the table.
  void fitTableToRows();
  // The width the side-by-side layout needs to show every value whole.
  int landscapeWidth() const;
  void applyThemeNow();
  void scheduleTheme();
  void updateStatusHeight();
  void paintNetwork(const kestrio::NetworkStatus& status, NetworkLabels& labels);

  kestrio::Platform& platform_;
  kestrio::Ui& ui_;
  kestrio::NotificationCenter& center_;
  bool cellular_;
  bool landscape_ = false;
  bool oneColumn_ = false;
  // The least size the controller asked the status area to have.
  QSize contentSize_;
  bool themePending_ = false;
  int milestoneToken_ = 0;
  std::unique_ptr<kestrio::MainViewController> controller_;

  QBoxLayout* mainLayout_ = nullptr;
  QScrollArea* statusScroll_ = nullptr;
  QWidget* statusArea_ = nullptr;
  QTableView* table_ = nullptr;
  DetailTableModel* model_ = nullptr;
  UsageGaugeWidget* gauge_ = nullptr;
  QLabel* titleLabel_ = nullptr;
  QLabel* placeLabel_ = nullptr;
  QLabel* updatedLabel_ = nullptr;
  QToolButton* editButton_ = nullptr;
  QPushButton* resetButton_ = nullptr;
  ConnectionList* connections_ = nullptr;
  ApplicationList* applications_ = nullptr;
  std::unique_ptr<NetworkLabels> cellularLabels_;
  std::unique_ptr<NetworkLabels> wifiLabels_;
};

}  // namespace kestrio::gui
