#include "cli/Commands.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <iostream>

#include "app/KestrioAppDelegate.h"
#include "app/MainViewController.h"
#include "cli/Confirm.h"
#include "cli/QuotedValue.h"
#include "cli/ScreenReport.h"
#include "cli/StatusReport.h"
#include "cli/TerminalUi.h"
#include "platform/DecimalFormat.h"
#include "platform/Transaction.h"
#include "services/Communications.h"
#include "services/DataFormatter.h"

namespace kestrio::cli {

namespace {

std::string displayUnitOf(MainViewController& screen) {
  return screen.appSettings().displayUnit().value_or("MB");
}

}  // namespace

int reportUnstored(const Stored& failure, std::ostream& err) {
  if (failure.isPending()) {
    err << "kestrio: " << failure.reason() << "\n";
    return 1;
  }
  err << "kestrio: nothing was stored: " << failure.reason() << "\n";
  return 1;
}

const char* version() {
  return KESTRIO_VERSION;
}

int runUpdate(Platform& platform, std::ostream& err) {
  Transaction transaction(platform);
  if (!transaction.locked()) return reportUnstored(transaction.commit(), err);
  TerminalUi ui(std::cout, std::cin, false, false);
  NotificationCenter center;
  KestrioAppDelegate delegate(platform, ui, center, version());
  delegate.performFetchWithCompletionHandler([](int) {});
  if (const Stored stored = transaction.commit(); !stored.ok()) return reportUnstored(stored, err);
  return 0;
}

std::optional<double> parseAlertPercent(const std::string& text) {
  double percent = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, percent);
  if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(percent) || percent <= 0) {
    return std::nullopt;
  }
  return percent;
}

int runStatus(Platform& platform, const StatusOptions& options, std::ostream& out,
              std::ostream& err) {
  std::optional<double> alertPercent;
  if (options.alert) {
    alertPercent = parseAlertPercent(*options.alert);
    if (!alertPercent) {
      err << "kestrio: --alert takes a share of the quota in percent above 0, such as 80, not "
          << quotedValue(*options.alert) << "\n";
      return 2;
    }
  }
  // With an alert, 1 means "reached": a failure must not read as one.
  const auto failed = [&](const Stored& failure) {
    const int status = reportUnstored(failure, err);
    return alertPercent ? 2 : status;
  };
  Transaction transaction(platform);
  if (!transaction.locked()) return failed(transaction.commit());
  // The screens' own messages (a restart that went uncounted, the rating prompt) are reported,
  // not asked: status never waits for an answer.
  TerminalUi ui(out, std::cin, false, false);
  NotificationCenter center;
  MainViewController screen(platform, ui, center);
  screen.isCellularMode = true;
  screen.renderView();

  StatusReport report =
      StatusReport::collect(platform, screen.appDataCellular(), screen.appDataWifi());
  const bool showCellular = !options.network || *options.network == "cellular";
  const bool showWifi = !options.network || *options.network == "wifi";
  if (showCellular) report.screens.push_back(ScreenSummary::of(screen, true));
  if (showWifi) {
    // The Wi-Fi screen shows the same pass: redrawn, not counted again.
    screen.isCellularMode = false;
    screen.repaintView(false);
    report.screens.push_back(ScreenSummary::of(screen, false));
  }
  if (screen.appBadgeNumber) report.badge = static_cast<int>(*screen.appBadgeNumber);
  for (const Alert& alert : ui.shown())
    report.messages.push_back(alert.title + "\n" + alert.message);
  if (options.network) {
    std::erase_if(report.records,
                  [&](const StatusReport::Record& r) { return r.type != *options.network; });
  }
  Communications::deliverDueNotifications(platform);
  // The screens show what this refresh counted: when it could not be stored, they would show
  // figures that are not kept.
  if (const Stored stored = transaction.commit(); !stored.ok()) return failed(stored);

  if (options.asJson) {
    out << report.json();
  } else if (options.oneline) {
    out << report.oneline();
  } else if (options.detail || !alertPercent) {
    report.writeText(out, options.detail, options.colour);
  }
  if (!alertPercent) return 0;
  bool reached = false;
  for (const ScreenSummary& s : report.screens) {
    // A network without a quota has nothing to reach.
    const auto used = s.usedPercent();
    if (!used || *used < *alertPercent) continue;
    reached = true;
    if (!options.asJson && !options.oneline) {
      out << fmt::format("{}: {:.1f}% of the quota used this period (alert at {}%)\n", s.network,
                         *used, *alertPercent);
    }
  }
  return reached ? 1 : 0;
}

int runAdjust(Platform& platform, const std::string& network, const std::string& amount,
              std::ostream& out, std::ostream& err) {
  TerminalUi ui(out, std::cin, false, false);
  NotificationCenter center;
  MainViewController screen(platform, ui, center);
  const bool cellular = network == "cellular";
  const std::optional<Stored> adjusted = screen.applyAdjustedUsage(cellular, amount);
  if (adjusted && adjusted->isPending()) return reportUnstored(*adjusted, err);
  if (adjusted && !adjusted->ok()) {
    err << "kestrio: nothing was stored (" << adjusted->reason()
        << "); the period's usage is as it was\n";
    return 1;
  }
  if (!adjusted) {
    err << "kestrio: not a number: " << quotedValue(amount) << " (an amount in "
        << displayUnitOf(screen) << " such as "
        << DecimalFormat(platform.calendar().localeId()).format(1.5) << "); nothing changed\n";
    return 2;
  }
  out << (cellular ? "Cellular" : "Wi-Fi") << " usage this period is now "
      << screen.adjustmentPromptText(cellular) << " " << displayUnitOf(screen) << "\n";
  return 0;
}

int runReset(Platform& platform, const std::string& network, bool yes, bool interactive,
             std::istream& in, std::ostream& out, std::ostream& err) {
  if (refusesWithoutTerminal("reset", yes, interactive, err)) return kRefusedStatus;
  const bool cellular = network == "cellular";
  // The screen's own question, asked before anything is read or written.
  if (!yes) {
    const Alert question = MainViewController::resetQuestion(cellular);
    out << question.title << "\n";
    if (!askYesNo(question.message, in, out)) {
      out << "Nothing changed.\n";
      return 0;
    }
  }
  TerminalUi ui(out, in, false, false);
  NotificationCenter center;
  MainViewController screen(platform, ui, center);
  const Stored stored = cellular ? screen.resetCellularUsage() : screen.resetWifiUsage();
  if (stored.isPending()) return reportUnstored(stored, err);
  if (!stored.ok()) {
    err << "kestrio: nothing was stored (" << stored.reason()
        << "); the period's usage is as it was\n";
    return 1;
  }
  out << "Reset: the period so far is in the history; usage starts again from zero.\n";
  return 0;
}

}  // namespace kestrio::cli
