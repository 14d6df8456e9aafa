// "Networks this period" on a usage screen: the network's traffic per NetworkManager connection,
// and marking a connection metered or not in NetworkManager's own setting.

#include <fmt/format.h>

#include <memory>
#include <string>

#include "app/MainView.h"
#include "app/MainViewController.h"

namespace kestrio {

namespace {

constexpr const char* kNotChangedTitle = "Metered Not Changed";

const char* meteredText(bool metered) {
  return metered ? "Metered" : "Not metered";
}

const char* valueText(ConnectionMetered value) {
  switch (value) {
    case ConnectionMetered::Yes:
      return "metered";
    case ConnectionMetered::No:
      return "not metered";
    case ConnectionMetered::Unknown:
      break;
  }
  return "decided by NetworkManager";
}

}  // namespace

void MainViewController::renderConnections(const AppData& data) {
  connectionRows.clear();
  double sum = 0;
  for (const auto& [uuid, usage] : data.connectionUsage()) sum += usage.dataThisMonth;
  const std::string unit = appSettings().displayUnit().value_or("MB");
  const std::string shownUnit = unit == "KB" || unit == "GB" ? unit : "MB";
  for (const auto& [uuid, usage] : connection_usage::listed(data.connectionUsage())) {
    // A connection used only in earlier periods is not one of this period's networks.
    if (usage.dataThisMonth <= 0) continue;
    ConnectionRow row;
    row.uuid = uuid;
    row.name = usage.name;
    row.amountText =
        fmt::format("{:.2f} {}",
                    static_cast<double>(converToDataUnitFromBytes(usage.dataThisMonth)), shownUnit);
    row.share = sum > 0 ? static_cast<float>(usage.dataThisMonth / sum) : 0.0f;
    row.metered = usage.metered;
    row.meteredText = meteredText(usage.metered);
    connectionRows.push_back(std::move(row));
  }
  lblNetworks.text = kNetworksTitle;
  lblNetworks.hidden = connectionRows.empty();
}

void MainViewController::setConnectionMetered(const std::string& uuid, ConnectionMetered value) {
  std::string name = uuid;
  for (ConnectionRow& row : connectionRows) {
    if (row.uuid == uuid) {
      name = row.name;
      row.meteredText = kAskingText;
    }
  }
  if (view_) view_->setNeedsDisplay();
  platform_.setConnectionMeteredLater(
      uuid, value,
      [this, alive = std::weak_ptr<bool>(alive_), uuid, name, value](const MeteredChange& change) {
        if (!alive.expired()) meteredChangeAnswered(uuid, name, value, change);
      });
}

void MainViewController::meteredChangeAnswered(const std::string& uuid, const std::string& name,
                                               ConnectionMetered value,
                                               const MeteredChange& change) {
  // The rows may have been drawn again since the question: the row is looked up anew.
  ConnectionRow* shown = nullptr;
  for (ConnectionRow& row : connectionRows) {
    if (row.uuid == uuid) shown = &row;
  }
  std::string failure;
  if (!change.accepted || !change.stored) {
    failure = "NetworkManager did not change \u201C" + name +
              "\u201D: " + (change.error.empty() ? "it gave no reason" : change.error) + ".";
  } else if (*change.stored != value) {
    failure = "NetworkManager keeps \u201C" + name + "\u201D " + valueText(*change.stored) +
              ", not " + valueText(value) + ".";
  }
  // Until the next pass reads NetworkManager's verdict, the row shows the user's own choice;
  // one left to NetworkManager keeps what it showed.
  if (shown && failure.empty() && value != ConnectionMetered::Unknown) {
    shown->metered = value == ConnectionMetered::Yes;
  }
  if (shown) shown->meteredText = meteredText(shown->metered);
  if (view_) view_->setNeedsDisplay();
  if (!failure.empty())
    ui_.showAlert(Alert{kNotChangedTitle, failure, "OK", {}, std::nullopt}, this);
}

}  // namespace kestrio
