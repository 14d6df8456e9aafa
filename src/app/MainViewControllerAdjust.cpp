// Setting a network's billing-period usage by hand: to a typed amount (adjust) or to zero
// (reset), and the answers of every alert the usage screen shows.

#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "app/MainViewController.h"
#include "engine/ApplicationUsage.h"
#include "engine/History.h"
#include "engine/UsageAlerts.h"
#include "platform/DecimalFormat.h"
#include "platform/Transaction.h"

namespace kestrio {
namespace {

constexpr const char* kAdjustCellularTitle = "enter adjusted cellular usage";
constexpr const char* kAdjustWifiTitle = "enter adjusted WiFi usage";
constexpr const char* kResetCellularTitle = "Reset Cellular Usage";
constexpr const char* kResetWifiTitle = "Reset WiFi Usage";
constexpr const char* kRateTitle = "Rate Kestrio";
constexpr const char* kRestartWarningTitle = "Run Before Reboot";
constexpr const char* kLastPlaceTitle = "Last Place Data Used";
constexpr const char* kNotANumberTitle = "Not a number";
constexpr const char* kNotStoredTitle = "Usage Not Changed";

constexpr const char* kCancel = "Cancel";

constexpr int kCellularDataType = 1;
constexpr int kWifiDataType = 2;
constexpr int kBillingPeriodHistoryType = 1;

const char* recordType(bool isCellular) {
  return isCellular ? "cellular" : "wifi";
}

}  // namespace

std::string MainViewController::adjustmentPromptText(bool isCellular) {
  AppData& record = isCellular ? appDataCellular() : appDataWifi();
  {
    auto lock = platform_.lockDocuments();
    record.getAppData(recordType(isCellular));
  }
  // The display unit may have changed in the settings since this controller last read them.
  appSettings().getSettings();
  const float shown = converToDataUnitFromBytes(record.dataThisMonth());
  return DecimalFormat(platform_.calendar().localeId()).format(shown);
}

void MainViewController::adjustCellularUsage() {
  Alert prompt{kAdjustCellularTitle, "\n", kCancel, {"OK"}, Alert::TextField{}};
  prompt.textField->text = adjustmentPromptText(true);
  ui_.showAlert(prompt, this);

  // The alert markers stay as they are until an amount is stored: a prompt the user cancels,
  // or a pass that runs while it is open, must not announce again what was already announced.
  // A stacked landscape screen shows the cellular figures too and must be repainted as well.
  isLSViewUpdated = false;
  repaintView(true);
}

void MainViewController::adjustWifiUsage() {
  platform_.log("Called adjust wifi usage ..");
  Alert prompt{kAdjustWifiTitle, "\n\n", kCancel, {"OK"}, Alert::TextField{}};
  prompt.textField->text = adjustmentPromptText(false);
  ui_.showAlert(prompt, this);

  repaintView(false);
}

std::optional<Stored> MainViewController::applyAdjustedUsage(bool isCellular,
                                                             const std::string& typed) {
  // A text that is not a number of the user's locale, or a negative amount, would otherwise wipe
  // the period's usage without a trace; it is refused and the user is told instead.
  const std::optional<double> amount = DecimalFormat(platform_.calendar().localeId()).parse(typed);
  if (!amount || *amount < 0) return std::nullopt;
  appSettings().getSettings();
  // An amount beyond the record's single-precision figures could only be stored as infinity.
  const double unitBytes = convertToBytesFromDataUnit(1.0);
  if (*amount > std::numeric_limits<float>::max() / unitBytes) return std::nullopt;
  const float total = convertToBytesFromDataUnit(*amount);
  if (!std::isfinite(total)) return std::nullopt;

  AppData& record = isCellular ? appDataCellular() : appDataWifi();
  {
    // A pass of another process between the reload and the save would otherwise be lost.
    Transaction transaction(platform_);
    if (!transaction.locked()) {
      // The amount was a number; it only could not be stored, which the user is told.
      return reportUnstored(transaction.commit());
    }
    record.getAppData(recordType(isCellular));

    const float received = static_cast<float>(record.dataThisMonthRecd().value_or(0));
    const float sent = static_cast<float>(record.dataThisMonthSent().value_or(0));
    const float current = static_cast<float>(record.dataThisMonth().value_or(0));
    float newReceived = 0;
    float newSent = 0;
    if (received == 0 && sent == 0) {
      newReceived = total;
    } else if (current > 0 && received + sent > 0) {
      // The typed total keeps the direction split the period had so far.
      newReceived = total * received / (received + sent);
      newSent = total * sent / (received + sent);
    }
    record.setDataThisMonthRecd(newReceived);
    record.setDataThisMonthSent(newSent);
    record.setDataThisMonth(total);
    Stored saved = record.saveAppData();
    // The alerts the corrected usage no longer reaches can be given again; the markers change
    // with the record, or not at all.
    if (saved.ok()) UsageAlerts(platform_, appSettings()).rearmLevelsAboveUsage(record, isCellular);
    saved = reportUnstored(saved.ok() ? transaction.commit() : transaction.abandon(saved));
    if (!saved.ok()) return saved;
  }

  repaintView(isCellular);
  return Stored();
}

Alert MainViewController::resetQuestion(bool cellular) {
  return Alert{cellular ? kResetCellularTitle : kResetWifiTitle,
               cellular ? "Are you sure you would like to reset Cellular Usage to Zero?"
                        : "Are you sure you would like to reset WiFi Usage to Zero?",
               kCancel,
               {"Reset"},
               std::nullopt,
               true};
}

void MainViewController::askResetCellularUsage() {
  ui_.showAlert(resetQuestion(true), this);
}

void MainViewController::askResetWifiUsage() {
  ui_.showAlert(resetQuestion(false), this);
}

namespace {

// Closes the period so far into the history and starts its usage again from zero. The history
// entry and the zeroed record are stored together or not at all: a record zeroed without its
// entry would lose the period's usage.
Stored resetPeriod(Platform& platform, Transaction& transaction, const AppSettings& settings,
                   AppData& record, bool isCellular) {
  if (!transaction.locked()) return transaction.commit();
  record.getAppData(recordType(isCellular));

  const Date now = platform.now();
  // A record that never learned its period start (no pass has set one) counted its usage up to
  // its last update at the latest; the entry spans from there, or is empty when that is unknown
  // too, so it never claims a start later than its end.
  Date start = record.lastBillingDate().value_or(record.lastUpdate().value_or(now));
  if (!record.lastBillingDate() && start.secondsSince1970 > now.secondsSince1970) start = now;
  // A reset earlier in the period started the counting again: this entry begins there, so two
  // entries never share a span.
  const int dataType = isCellular ? kCellularDataType : kWifiDataType;
  if (record.lastBillingDate()) {
    start = AppData::countingSince(platform, dataType, *record.lastBillingDate(),
                                   record.nextBillingDate().value_or(now.addingSeconds(1)));
  }

  // Each connection's period starts again with it, and its entry keeps what they counted.
  ConnectionUsageMap connections = record.connectionUsage();
  History entry(platform, start, now, record.dataThisMonthSent().value_or(0),
                record.dataThisMonthRecd().value_or(0), record.dataThisMonth().value_or(0),
                dataType, kBillingPeriodHistoryType);
  entry.setConnections(connection_usage::closePeriod(connections));
  if (Stored closed = History::addNewHistoryItemLog(platform, entry); !closed.ok()) {
    return transaction.abandon(closed);
  }
  if (Stored closed = ApplicationUsageStore::closePeriod(platform, dataType, entry); !closed.ok()) {
    return transaction.abandon(closed);
  }

  record.setConnectionUsage(std::move(connections));
  record.setDataThisMonth(0.0);
  record.setDataThisMonthRecd(0.0);
  record.setDataThisMonthSent(0.0);
  if (Stored saved = record.saveAppData(); !saved.ok()) return transaction.abandon(saved);
  UsageAlerts(platform, settings).rearmLevelsAboveUsage(record, isCellular);
  return transaction.commit();
}

}  // namespace

Stored MainViewController::reportUnstored(Stored stored) {
  if (stored.ok()) return stored;
  // A change kept whole but not yet in place is finished before anything else is stored: the
  // usage is not as it was, it is about to be as asked.
  const std::string message = stored.isPending()
                                  ? "Kestrio kept the change but could not put it in place yet (" +
                                        stored.reason() +
                                        "). It is completed before anything else is stored."
                                  : "Kestrio could not store the change (" + stored.reason() +
                                        "). Your usage is as it was.";
  ui_.showAlert(Alert{kNotStoredTitle, message, "OK", {}, std::nullopt}, this);
  return stored;
}

Stored MainViewController::resetCellularUsage() {
  Transaction transaction(platform_);
  if (Stored reset = reportUnstored(
          resetPeriod(platform_, transaction, appSettings(), appDataCellular(), true));
      !reset.ok()) {
    return reset;
  }
  platform_.log("setting LS view NOT updated at cellular reset..");
  isLSViewUpdated = false;
  repaintView(true);
  return {};
}

Stored MainViewController::resetWifiUsage() {
  Transaction transaction(platform_);
  if (Stored reset =
          reportUnstored(resetPeriod(platform_, transaction, appSettings(), appDataWifi(), false));
      !reset.ok()) {
    return reset;
  }
  repaintView(false);
  return {};
}

void MainViewController::clickedButtonAtIndex(const Alert& alert, int buttonIndex) {
  const std::string& title = alert.title;
  if (title == kLastPlaceTitle) {
    startSignificantChangesUpdate();
    return;
  }
  if (buttonIndex < 1) return;

  if (title == kAdjustCellularTitle || title == kAdjustWifiTitle) {
    const std::string typed = alert.textField ? alert.textField->text : std::string();
    if (!applyAdjustedUsage(title == kAdjustCellularTitle, typed)) {
      ui_.showAlert(Alert{kNotANumberTitle, "Not a number: " + typed, "OK", {}, std::nullopt},
                    this);
    }
  } else if (title == kResetCellularTitle) {
    (void)resetCellularUsage();  // a failure was told to the user
  } else if (title == kResetWifiTitle) {
    (void)resetWifiUsage();
  } else if (title == kRateTitle) {
    ui_.openURL(kProductPageUrl);
  } else if (title == kRestartWarningTitle) {
    adjustCellularUsage();
  }
}

}  // namespace kestrio
