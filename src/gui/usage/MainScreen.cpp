#include "gui/usage/MainScreen.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <string_view>

#include "app/Theme.h"
#include "gui/shell/QtUi.h"
#include "gui/theme/Icons.h"
#include "gui/theme/ThemeStyle.h"
#include "gui/usage/ApplicationList.h"
#include "gui/usage/ConnectionList.h"
#include "gui/usage/DetailTableModel.h"
#include "gui/usage/UsageGaugeWidget.h"

namespace kestrio::gui {
namespace {

using kestrio::Label;
using kestrio::NetworkStatus;

// The controller's text fields of one network, by the name the Wi-Fi copy carries with the
// suffix "Wifi".
struct Field {
  const char* name;
  Label NetworkStatus::*member;
};

constexpr Field kFields[] = {
    {"lblMonthlyUsage", &NetworkStatus::lblMonthlyUsage},
    {"lblMonthlyUsageSent", &NetworkStatus::lblMonthlyUsageSent},
    {"lblMonthlyUsageRecd", &NetworkStatus::lblMonthlyUsageRecd},
    {"lblCurrentPeriod", &NetworkStatus::lblCurrentPeriod},
    {"lblDays", &NetworkStatus::lblDays},
    {"lblNextBillingDate", &NetworkStatus::lblNextBillingDate},
    {"lblAvailable", &NetworkStatus::lblAvailable},
    {"lblRemainingUsage", &NetworkStatus::lblRemainingUsage},
    {"lblIdealUsage", &NetworkStatus::lblIdealUsage},
    {"lblIdealActualDiff", &NetworkStatus::lblIdealActualDiff},
    {"lblDailySuggested", &NetworkStatus::lblDailySuggested},
    {"lblQuotaOverDate", &NetworkStatus::lblQuotaOverDate},
    {"lblProjected", &NetworkStatus::lblProjected},
    {"lblPlanHint", &NetworkStatus::lblPlanHint},
    {"lblModem", &NetworkStatus::lblModem},
};

// The sent and received parts have no flag of their own: they go with the period's usage.
const char* visibilityOwner(const std::string& name) {
  if (name == "lblMonthlyUsageSent" || name == "lblMonthlyUsageRecd") return "lblMonthlyUsage";
  return nullptr;
}

// The facts listed under the tiles: caption and field.
constexpr std::pair<const char*, const char*> kFacts[] = {
    {"IDEAL USAGE", "lblIdealUsage"},       {"OVERAGE LIKELY", "lblQuotaOverDate"},
    {"PROJECTED USE", "lblProjected"},      {"NEXT BILL DATE", "lblNextBillingDate"},
    {"CURRENT PERIOD", "lblCurrentPeriod"},
};

constexpr int kStatusIconSize = 22;
constexpr int kTableRowHeight = 50;

QFont pixelFont(const QFont& base, int pixels, bool bold = false) {
  QFont font = base;
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QLabel* makeLabel(QWidget* parent, const QString& name, const char* role, int pixels,
                  bool bold = false) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setProperty(kThemeRoleProperty, role);
  label->setFont(pixelFont(label->font(), pixels, bold));
  label->setTextFormat(Qt::PlainText);
  return label;
}

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

// A scroll area that asks for its whole content: in portrait the status area then takes its
// natural height and the table what is left, scrolling only when the window is short.
class StatusScrollArea : public QScrollArea {
 public:
  using QScrollArea::QScrollArea;
  QSize sizeHint() const override {
    const QWidget* content = widget();
    if (!content) return QScrollArea::sizeHint();
    const int frame = 2 * frameWidth();
    return content->sizeHint().expandedTo(content->minimumSize()) + QSize(frame, frame);
  }
};

}  // namespace

struct MainScreen::NetworkLabels {
  QWidget* block = nullptr;
  UsageGaugeWidget* gauge = nullptr;
  QLabel* statusIcon = nullptr;
  QLabel* unit = nullptr;
  std::map<std::string, QLabel*> fields;
  // Captions and frames shown only while the field they belong to is.
  std::vector<std::pair<QWidget*, std::string>> followers;
};

MainScreen::MainScreen(kestrio::Platform& platform, kestrio::Ui& ui,
                       kestrio::NotificationCenter& center, bool cellular, QWidget* parent)
    : QWidget(parent),
      platform_(platform),
      ui_(ui),
      center_(center),
      cellular_(cellular),
      controller_(std::make_unique<kestrio::MainViewController>(platform, ui, center, this)),
      cellularLabels_(std::make_unique<NetworkLabels>()),
      wifiLabels_(std::make_unique<NetworkLabels>()) {
  setObjectName(cellular ? "CellularUsageView" : "WiFiUsageView");
  // The layout decides the network; the detail list reads it before the first refresh too.
  controller_->isCellularMode = cellular;
  // Styled before it has children: each child is styled once, when first laid out.
  applyThemeNow();

  buildStatusArea();

  model_ = new DetailTableModel(*controller_, this);
  model_->setCompact(platform_.userInterfaceIdiom() == kestrio::UserInterfaceIdiom::Phone);
  table_ = new QTableView(this);
  table_->setObjectName("detailTable");
  table_->setModel(model_);
  table_->horizontalHeader()->hide();
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(kTableRowHeight);
  table_->horizontalHeader()->setSectionResizeMode(DetailTableModel::kTitleColumn,
                                                   QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setSectionResizeMode(DetailTableModel::kValueColumn,
                                                   QHeaderView::Stretch);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setFocusPolicy(Qt::NoFocus);
  table_->setShowGrid(false);
  table_->setWordWrap(false);
  table_->setTextElideMode(Qt::ElideLeft);
  table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table_->setFrameShape(QFrame::NoFrame);
  table_->setMinimumHeight(3 * kTableRowHeight);

  mainLayout_ = new QBoxLayout(QBoxLayout::TopToBottom, this);
  mainLayout_->setContentsMargins(0, 0, 0, 0);
  mainLayout_->setSpacing(0);
  mainLayout_->addWidget(statusScroll_);
  mainLayout_->addWidget(table_);
  setLandscape(false);

  milestoneToken_ = center_.addObserver(
      kestrio::kProgressBarMileStoneNotification,
      [this](const kestrio::NotificationCenter::UserInfo&) { scheduleTheme(); });
}

MainScreen::~MainScreen() {
  center_.removeObserver(milestoneToken_);
  // A dialog still waiting for this screen's answer must not reach a controller that is gone.
  if (auto* dialogs = dynamic_cast<QtUi*>(&ui_)) dialogs->forgetDelegate(controller_.get());
  // The table and the gauges read the controller: they go before it does.
  // The table first: in one column it lies inside the status area.
  delete table_;
  delete statusScroll_;
  delete model_;
}

kestrio::MainViewController& MainScreen::controller() {
  return *controller_;
}

void MainScreen::buildStatusArea() {
  statusScroll_ = new StatusScrollArea(this);
  statusScroll_->setObjectName("statusScroll");
  statusScroll_->setWidgetResizable(true);
  statusScroll_->setFrameShape(QFrame::NoFrame);
  statusScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  statusArea_ = new QWidget(statusScroll_->viewport());
  statusArea_->setObjectName("statusArea");
  auto* layout = new QVBoxLayout(statusArea_);
  layout->setContentsMargins(14, 10, 14, 10);
  layout->setSpacing(8);

  auto* header = new QHBoxLayout;
  titleLabel_ = makeLabel(statusArea_, "titleLabel", kRoleTitle, 24, true);
  header->addWidget(titleLabel_, 1);
  editButton_ = new QToolButton(statusArea_);
  editButton_->setObjectName("editButton");
  editButton_->setIcon(icons::edit());
  editButton_->setIconSize(QSize(20, 20));
  editButton_->setToolTip(tr("Adjust the usage of this billing period"));
  editButton_->setAccessibleName(tr("Adjust usage"));
  header->addWidget(editButton_);
  resetButton_ = new QPushButton(tr("Reset"), statusArea_);
  resetButton_->setObjectName("resetButton");
  resetButton_->setToolTip(tr("Reset the usage of this billing period to zero"));
  header->addWidget(resetButton_);
  layout->addLayout(header);

  // Both networks' fields exist, as in the screen layouts; the refresh hides the other's.
  buildNetworkBlock(*cellularLabels_, QString());
  buildNetworkBlock(*wifiLabels_, QStringLiteral("Wifi"));
  gauge_ = cellular_ ? cellularLabels_->gauge : wifiLabels_->gauge;
  layout->addWidget(cellular_ ? cellularLabels_->block : wifiLabels_->block);
  layout->addWidget(cellular_ ? wifiLabels_->block : cellularLabels_->block);

  connections_ = new ConnectionList(statusArea_);
  connections_->setTouch(platform_.userInterfaceIdiom() == kestrio::UserInterfaceIdiom::Phone);
  layout->addWidget(connections_);
  connect(connections_, &ConnectionList::meteredChosen, this,
          [this](const QString& uuid, kestrio::ConnectionMetered value) {
            controller_->setConnectionMetered(uuid.toStdString(), value);
          });
  applications_ = new ApplicationList(platform_, cellular_, statusArea_);
  applications_->setTouch(platform_.userInterfaceIdiom() == kestrio::UserInterfaceIdiom::Phone);
  layout->addWidget(applications_);

  auto* footer = new QGridLayout;
  footer->setHorizontalSpacing(10);
  auto* placeTitle = makeLabel(statusArea_, "placeTitle", kRoleDetail, 11);
  placeTitle->setText(tr("LAST PLACE"));
  placeLabel_ = makeLabel(statusArea_, "placeLabel", kRoleTitle, 14);
  placeLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  updatedLabel_ = makeLabel(statusArea_, "updatedLabel", kRoleDetail, 12);
  footer->addWidget(placeTitle, 0, 0);
  footer->addWidget(placeLabel_, 0, 1);
  footer->addWidget(updatedLabel_, 1, 0, 1, 2);
  layout->addLayout(footer);
  layout->addStretch(1);

  statusScroll_->setWidget(statusArea_);

  connect(editButton_, &QToolButton::clicked, this, [this] {
    if (cellular_) {
      controller_->adjustCellularUsage();
    } else {
      controller_->adjustWifiUsage();
    }
  });
  connect(resetButton_, &QPushButton::clicked, this, [this] {
    if (cellular_) {
      controller_->askResetCellularUsage();
    } else {
      controller_->askResetWifiUsage();
    }
  });
}

void MainScreen::buildNetworkBlock(NetworkLabels& labels, const QString& suffix) {
  const bool isWifi = !suffix.isEmpty();
  auto* block = new QWidget(statusArea_);
  block->setObjectName((isWifi ? "wifiBlock" : "cellularBlock"));
  labels.block = block;
  auto* layout = new QVBoxLayout(block);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(6);

  const auto field = [&](const char* name, const char* role, int pixels, bool bold = false) {
    QLabel* label = makeLabel(block, QString::fromLatin1(name) + suffix, role, pixels, bold);
    labels.fields[name] = label;
    return label;
  };
  const auto caption = [&](const QString& text, const QString& name, const char* owner) {
    QLabel* label = makeLabel(block, name + suffix, kRoleDetail, 11);
    label->setText(text);
    labels.followers.emplace_back(label, owner);
    return label;
  };

  // The network's line in its colour.
  auto* line = new QWidget(block);
  line->setObjectName(isWifi ? "statusViewWifi" : "dataTypeLine");
  line->setProperty(kThemeRoleProperty, kRoleLine);
  line->setFixedHeight(3);
  line->setAttribute(Qt::WA_StyledBackground);
  labels.followers.emplace_back(line, "lblMonthlyUsage");
  layout->addWidget(line);

  // Usage of the period with its unit, and the status word with its icon.
  auto* usageRow = new QHBoxLayout;
  usageRow->setSpacing(6);
  QLabel* usage = field("lblMonthlyUsage", kRoleTitle, 40, true);
  usageRow->addWidget(usage, 0, Qt::AlignBottom);
  labels.unit = makeLabel(block, "unitTitle" + suffix, kRoleDetail, 18);
  labels.followers.emplace_back(labels.unit, "lblMonthlyUsage");
  usageRow->addWidget(labels.unit, 0, Qt::AlignBottom);
  usageRow->addStretch(1);
  layout->addLayout(usageRow);
  // On a phone held upright the figure takes the whole width; the status word goes under it.
  QHBoxLayout* statusRow = usageRow;
  if (platform_.userInterfaceIdiom() == kestrio::UserInterfaceIdiom::Phone) {
    statusRow = new QHBoxLayout;
    statusRow->setSpacing(6);
    layout->addLayout(statusRow);
  }
  labels.statusIcon = new QLabel(block);
  labels.statusIcon->setObjectName("statusImage" + suffix);
  labels.statusIcon->setFixedSize(kStatusIconSize, kStatusIconSize);
  statusRow->addWidget(labels.statusIcon, 0, Qt::AlignVCenter);
  QLabel* status = field("lblIdealActualDiff", kRoleTitle, 18, true);
  statusRow->addWidget(status, 0, Qt::AlignVCenter);
  if (statusRow != usageRow) statusRow->addStretch(1);

  layout->addWidget(field("lblAvailable", kRoleDetail, 13));
  QLabel* hint = field("lblPlanHint", kRoleDetail, 13);
  hint->setWordWrap(true);
  layout->addWidget(hint);
  QLabel* modem = field("lblModem", kRoleDetail, 13);
  modem->setWordWrap(true);
  layout->addWidget(modem);

  labels.gauge = new UsageGaugeWidget(block);
  labels.gauge->setObjectName("visualView" + suffix);
  layout->addWidget(labels.gauge);

  auto* partsRow = new QGridLayout;
  partsRow->setHorizontalSpacing(10);
  partsRow->setVerticalSpacing(0);
  partsRow->addWidget(caption(tr("SENT"), "sentTitle", "lblMonthlyUsage"), 0, 0);
  partsRow->addWidget(caption(tr("RECEIVED"), "receivedTitle", "lblMonthlyUsage"), 0, 1);
  partsRow->addWidget(field("lblMonthlyUsageSent", kRoleValue, 14), 1, 0);
  partsRow->addWidget(field("lblMonthlyUsageRecd", kRoleValue, 14), 1, 1);
  layout->addLayout(partsRow);

  // Three tiles: what is left, for how long, and at what pace.
  auto* tiles = new QHBoxLayout;
  tiles->setSpacing(6);
  const auto tile = [&](const QString& frameName, const QString& text, const QString& titleName,
                        const char* name) {
    auto* frame = new QWidget(block);
    frame->setObjectName(frameName + suffix);
    frame->setProperty(kThemeRoleProperty, kRoleBlock);
    frame->setAttribute(Qt::WA_StyledBackground);
    auto* inner = new QVBoxLayout(frame);
    inner->setContentsMargins(8, 6, 8, 6);
    inner->setSpacing(2);
    QLabel* title = makeLabel(frame, titleName + suffix, kRoleDetail, 11);
    title->setText(text);
    title->setAlignment(Qt::AlignCenter);
    QLabel* value = makeLabel(frame, QString::fromLatin1(name) + suffix, kRoleTitle, 22, true);
    value->setAlignment(Qt::AlignCenter);
    // On a phone held upright the three tiles share 360 pixels: a value wider than its tile
    // ("NO LIMIT", "1,024.00 MB") breaks between its words instead of widening the window.
    value->setWordWrap(true);
    labels.fields[name] = value;
    inner->addWidget(title);
    inner->addWidget(value);
    labels.followers.emplace_back(frame, name);
    tiles->addWidget(frame, 1);
  };
  tile("remainingView", tr("REMAINING"), "remainingTitle", "lblRemainingUsage");
  tile("remainingDaysView", tr("DAYS LEFT"), "daysTitle", "lblDays");
  tile("remainingQuotaView", tr("PER DAY"), "perDayTitle", "lblDailySuggested");
  layout->addLayout(tiles);

  auto* facts = new QGridLayout;
  facts->setHorizontalSpacing(10);
  facts->setVerticalSpacing(4);
  int row = 0;
  for (const auto& [text, name] : kFacts) {
    facts->addWidget(caption(tr(text), QStringLiteral("fact%1Title").arg(row), name), row, 0);
    QLabel* value = field(name, kRoleValue, 14);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    facts->addWidget(value, row, 1);
    ++row;
  }
  facts->setColumnStretch(1, 1);
  layout->addLayout(facts);
}

void MainScreen::refresh() {
  controller_->renderView();
  reloadApplications();
}

void MainScreen::reloadApplications() {
  applications_->reload(controller_->appSettings().displayUnit().value_or("MB"));
}

std::string MainScreen::layoutName() const {
  if (cellular_) return landscape_ ? "CellularUsageViewLS" : "CellularUsageView";
  return landscape_ ? "WiFiUsageViewLS" : "WiFiUsageView";
}

void MainScreen::setNeedsDisplay() {
  repaintFromController();
}

void MainScreen::selectTab(int index) {
  emit tabRequested(index);
}

void MainScreen::setContentSize(int width, int height) {
  contentSize_ = QSize(width, height);
  statusArea_->setMinimumSize(contentSize_);
  updateStatusHeight();
}

void MainScreen::repaintFromController() {
  const kestrio::MainViewController& c = *controller_;
  titleLabel_->setText(qs(c.titleLabel.text));
  titleLabel_->setVisible(!c.titleLabel.hidden);
  placeLabel_->setText(qs(c.placeLabel.text));
  updatedLabel_->setText(qs(c.updatedLabel.text));
  paintNetwork(c.cellular, *cellularLabels_);
  paintNetwork(c.wifi, *wifiLabels_);
  connections_->setRows(c.connectionRows, c.lblNetworks);
  model_->reload();
  fitTableToRows();
  applyThemeNow();
  // The figures just drawn may need more width than the side-by-side layout leaves.
  arrange(size());
  updateStatusHeight();
  // In one column the figures' height is known once the new texts are laid out.
  if (oneColumn_) QTimer::singleShot(0, this, [this] { updateStatusHeight(); });
  update();
}

void MainScreen::paintNetwork(const kestrio::NetworkStatus& status, NetworkLabels& labels) {
  std::map<std::string, bool> hidden;
  for (const Field& f : kFields) {
    const Label& value = status.*f.member;
    const char* owner = visibilityOwner(f.name);
    hidden[f.name] = owner ? status.lblMonthlyUsage.hidden : value.hidden;
    // The hint says nothing once a quota is set; its empty line takes no room.
    const std::string_view name = f.name;
    if (value.text.empty() && (name == "lblPlanHint" || name == "lblModem")) hidden[f.name] = true;
    QLabel* label = labels.fields.at(f.name);
    label->setText(qs(value.text));
    label->setVisible(!hidden[f.name]);
  }
  for (auto& [widget, owner] : labels.followers) widget->setVisible(!hidden.at(owner));

  // The amounts are in the display unit; the conversions treat anything but KB and GB as MB.
  const std::string unit = controller_->appSettings().displayUnit().value_or("MB");
  labels.unit->setText(qs(unit == "KB" || unit == "GB" ? unit : "MB"));

  const QIcon icon = icons::status(status.statusImage.text);
  labels.statusIcon->setPixmap(icon.isNull() ? QPixmap()
                                             : icon.pixmap(kStatusIconSize, kStatusIconSize));
  labels.statusIcon->setVisible(!icon.isNull() && !status.statusImage.hidden &&
                                !status.lblIdealActualDiff.hidden);

  labels.gauge->setGauge(status.visualView);
  labels.gauge->setVisible(!status.visualView.hidden);
  labels.gauge->update();

  bool anyShown = !status.visualView.hidden;
  for (const auto& [name, isHidden] : hidden) anyShown = anyShown || !isHidden;
  labels.block->setVisible(anyShown);
}

QLabel* MainScreen::label(const QString& objectName) const {
  return findChild<QLabel*>(objectName);
}

void MainScreen::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Side by side only when both halves have room for every value; otherwise the stacked layout,
  // where the table takes the whole width, keeps every figure whole.
  arrange(event->size());
  updateStatusHeight();
}

void MainScreen::arrange(const QSize& size) {
  if (size.isEmpty()) return;
  const bool wide = size.width() > size.height();
  const bool sideBySide = wide && size.width() >= landscapeWidth();
  setLandscape(sideBySide);
  // A short, wide window (a laptop at scale 2) has no room for both halves side by side, and
  // stacked the table would squeeze the figures: the table follows them in one scrolling column,
  // so the gauge and the period's figures keep the window's height.
  setOneColumn(wide && !sideBySide);
}

void MainScreen::setOneColumn(bool oneColumn) {
  if (oneColumn == oneColumn_) return;
  oneColumn_ = oneColumn;
  auto* column = static_cast<QBoxLayout*>(statusArea_->layout());
  if (oneColumn) {
    mainLayout_->removeWidget(table_);
    // Before the closing stretch.
    column->insertWidget(column->count() - 1, table_);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  } else {
    column->removeWidget(table_);
    mainLayout_->addWidget(table_, 1);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    table_->setMinimumHeight(3 * kTableRowHeight);
    table_->setMaximumHeight(QWIDGETSIZE_MAX);
  }
  fitTableToRows();
  updateStatusHeight();
}

void MainScreen::fitTableToRows() {
  if (!oneColumn_) return;
  const int frame = 2 * table_->frameWidth();
  table_->setFixedHeight(std::max(1, model_->rowCount()) * kTableRowHeight + frame);
}

int MainScreen::landscapeWidth() const {
  const QAbstractItemView* view = table_;
  const int table = view->sizeHintForColumn(DetailTableModel::kTitleColumn) +
                    view->sizeHintForColumn(DetailTableModel::kValueColumn) + 24;
  // The status area at its natural width: narrower, its big figures are clipped.
  return statusArea_->sizeHint().width() + std::max(table, 3 * kTableRowHeight);
}

void MainScreen::setLandscape(bool landscape) {
  landscape_ = landscape;
  setObjectName(qs(layoutName()));
  // Landscape: the status area and the table side by side, each scrolling on its own. Portrait:
  // the status area on top at its natural height, the table below it taking what is left.
  mainLayout_->setDirection(landscape ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
  mainLayout_->setStretchFactor(statusScroll_, landscape ? 1 : 0);
  mainLayout_->setStretchFactor(table_, 1);
  updateStatusHeight();
}

void MainScreen::updateStatusHeight() {
  // Side by side, the status area is as tall as the screen; stacked, never taller than its
  // content, so the table gets the rest.
  // In one column the scroll area is never to squeeze the figures to the window's height.
  int whole = 0;
  if (oneColumn_) {
    // Wrapped labels are as tall as the width they get.
    QLayout* column = statusArea_->layout();
    const int width = statusScroll_->viewport()->width();
    whole = column->hasHeightForWidth() ? column->totalHeightForWidth(width)
                                        : column->totalSizeHint().height();
  }
  statusArea_->setMinimumHeight(std::max(contentSize_.height(), whole));
  const QSize natural = statusScroll_->sizeHint();
  statusScroll_->setMaximumHeight(landscape_ || oneColumn_ ? QWIDGETSIZE_MAX : natural.height());
  statusScroll_->setMinimumWidth(landscape_ ? statusArea_->minimumSizeHint().width() : 0);
  statusScroll_->updateGeometry();
}

void MainScreen::scheduleTheme() {
  // The milestone is posted while a gauge paints: the style changes once that paint is over.
  if (themePending_) return;
  themePending_ = true;
  QTimer::singleShot(0, this, [this] {
    themePending_ = false;
    applyThemeNow();
    model_->reload();
  });
}

void MainScreen::applyThemeNow() {
  gui::applyTheme(this, platform_, cellular_);
}

}  // namespace kestrio::gui
