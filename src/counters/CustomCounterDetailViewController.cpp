#include "counters/CustomCounterDetailViewController.h"

#include "counters/CounterTexts.h"
#include "counters/CustomCounterEditViewController.h"
#include "services/StringFormatter.h"

namespace kestrio {

CustomCounterDetailViewController::CustomCounterDetailViewController(Platform& platform, Ui& ui,
                                                                     NotificationCenter& center,
                                                                     CustomCounter counter,
                                                                     std::string unit)
    : customCounter(std::move(counter)),
      displayDataUnit(std::move(unit)),
      platform_(platform),
      ui_(ui),
      center_(center) {}

void CustomCounterDetailViewController::viewWillAppear() {
  for (CustomCounter& stored : CustomCounter::getAllCustomCounters(platform_)) {
    if (stored.uniqueId() == customCounter.uniqueId()) customCounter = std::move(stored);
  }
  if (view_) view_->reloadData();
}

int CustomCounterDetailViewController::numberOfRowsInSection(int section) const {
  if (section == 0 || section == 1) return 1;
  if (section != 2) return 0;
  return customCounter.trackCellular() && customCounter.trackWiFi() ? 2 : 1;
}

CustomCounterDetailViewController::Row CustomCounterDetailViewController::rowAt(int section,
                                                                                int row) const {
  const CustomCounter& c = customCounter;
  if (section == 0) {
    std::string tracks = "tracks ";
    switch (c.direction()) {
      case CustomCounter::kDirectionBoth:
        tracks += "sent & received, ";
        break;
      case CustomCounter::kDirectionSent:
        tracks += "sent ";
        break;
      case CustomCounter::kDirectionReceived:
        tracks += "received ";
        break;
      default:
        break;
    }
    if (c.trackCellular() && c.trackWiFi()) {
      tracks += "cellular (3G/Edge/GPRS) and Wi-Fi data";
    } else if (c.trackWiFi()) {
      tracks += "Wi-Fi data";
    } else if (c.trackCellular()) {
      tracks += "cellular (3G/Eduge/GPRS) data";
    }
    return {c.name(), tracks};
  }
  if (section == 1) {
    if (!c.endDate()) return {"No End Date", "no alert"};
    return {"Ends on " + StringFormatter::getLocalizedShortDateShortTimeStringFromDate(
                             platform_, *c.endDate()),
            c.notifyOnEnd() ? "alert is on" : "alert is off"};
  }
  if (section != 2) return {};
  // The cellular row comes first when cellular is tracked.
  const bool cellular = row == 0 && c.trackCellular();
  return figuresRow(cellular);
}

CustomCounterDetailViewController::Row CustomCounterDetailViewController::figuresRow(
    bool cellular) const {
  const CustomCounter& c = customCounter;
  const double received = cellular ? c.cellularDataReceived() : c.wifiDataReceived();
  const double sent = cellular ? c.cellularDataSent() : c.wifiDataSent();
  const double total = cellular ? c.cellularDataTotal() : c.wifiDataTotal();
  const std::string& unit = displayDataUnit;
  std::string figures;
  switch (c.direction()) {
    case CustomCounter::kDirectionBoth:
      figures = " " + counterFigure(received, unit) + " received\n " + counterFigure(sent, unit) +
                " sent\n " + counterFigure(total, unit) + " total";
      break;
    case CustomCounter::kDirectionSent:
      figures = counterFigure(sent, unit) + " sent";
      break;
    case CustomCounter::kDirectionReceived:
      figures = " " + counterFigure(received, unit) + " received";
      break;
    default:
      break;
  }
  return {cellular ? "Cellular" : "Wi-Fi", figures};
}

void CustomCounterDetailViewController::showEditView() {
  auto edit = std::make_shared<CustomCounterEditViewController>(
      platform_, ui_, center_, customCounter, displayDataUnit, false);
  std::weak_ptr<CustomCounterDetailViewController> self = weak_from_this();
  edit->onClose = [self] {
    if (auto detail = self.lock()) detail->viewWillAppear();
  };
  ui_.present(edit, this);
}

void CustomCounterDetailViewController::dismissView() {
  ui_.dismiss(this);
}

}  // namespace kestrio
