#include "cli/PlanCommand.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ostream>

#include "cli/PlanAmount.h"
#include "cli/PlanSummary.h"
#include "cli/Suggestion.h"
#include "engine/AppSettings.h"
#include "plan/CustomDatePickerController.h"
#include "plan/DaysViewController.h"
#include "plan/PlanTypeViewController.h"
#include "plan/QuotaViewController.h"
#include "plan/StartDayViewController.h"
#include "platform/Transaction.h"

namespace kestrio::cli {
namespace {

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::optional<std::int64_t> wholeNumber(const std::string& text) {
  std::int64_t value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

// YYYY-MM-DD, optionally followed by HH:MM, in the user's calendar.
std::optional<Date> parseMoment(Platform& platform, const std::string& text) {
  int y = 0, m = 0, d = 0, hour = 0, minute = 0;
  int dateEnd = -1, timeEnd = -1;
  const int read = std::sscanf(text.c_str(), "%4d-%2d-%2d%n %2d:%2d%n", &y, &m, &d, &dateEnd, &hour,
                               &minute, &timeEnd);
  // The whole text is a date, or a date and a time: nothing may follow either.
  const int length = static_cast<int>(text.size());
  const bool whole = (read == 3 && dateEnd == length) || (read == 5 && timeEnd == length);
  if (!whole || m < 1 || m > 12 || d < 1 || d > 31 || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59) {
    return std::nullopt;
  }
  const Calendar& calendar = platform.calendar();
  const Date date = calendar.date(DateComponents{y, m, d, hour, minute, 0, 0});
  const DateComponents back = calendar.components(date);
  if (back.year != y || back.month != m || back.day != d) return std::nullopt;
  return date;
}

struct Outcome {
  int status = 0;
  std::string summary;
  std::string error;
};

Outcome fail(std::string error, int status = 2) {
  return Outcome{status, "", std::move(error)};
}

Outcome stored(bool ok, std::string summary) {
  if (!ok) return fail("the plan could not be stored in the settings file", 1);
  return Outcome{0, std::move(summary), ""};
}

// The flag that picks the network, for the advice in a refusal.
std::string flag(PlanNetwork network) {
  return network == PlanNetwork::WiFi ? " --wifi" : "";
}

Outcome planType(Platform& platform, const std::vector<std::string>& args, PlanNetwork network) {
  const auto& rows = PlanTypeViewController::rows();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (lower(rows[i]) == lower(args[0])) {
      PlanTypeViewController pane(platform, network);
      pane.didSelectRowAtIndexPath(static_cast<int>(i));
      // The pane leaves the writing to the settings screen's end; a command ends here.
      return stored(platform.userDefaults().synchronize(),
                    rows[i] + (network == PlanNetwork::WiFi ? " Wi-Fi plan" : " plan"));
    }
  }
  return fail("the plan type is monthly or weekly, not \"" + args[0] + "\"");
}

Outcome startDay(Platform& platform, const std::vector<std::string>& args, PlanNetwork network) {
  StartDayViewController pane(platform, network);
  if (pane.planType == 0) {
    const std::optional<std::int64_t> day = wholeNumber(args[0]);
    if (!day || *day < 1 || *day > 31) {
      return fail("a monthly plan starts on a day from 1 to 31, not \"" + args[0] +
                  "\" (kestrio plan type weekly" + flag(network) + " makes it weekly)");
    }
    const bool ok = pane.didSelectRow(static_cast<int>(*day - 1));
    return stored(ok, pane.selectedDate);
  }
  // "Sat", "sat" and "Saturday" all name Saturday: three letters tell every weekday apart.
  const std::string typed = lower(args[0]);
  for (std::size_t i = 0; i < pane.daysOfWeek.size(); ++i) {
    if (typed.size() >= 3 && lower(pane.daysOfWeek[i]).compare(0, typed.size(), typed) == 0) {
      const bool ok = pane.didSelectRow(static_cast<int>(i));
      return stored(ok, pane.selectedDate);
    }
  }
  return fail("a weekly plan starts on a weekday (Sunday … Saturday), not \"" + args[0] +
              "\" (kestrio plan type monthly" + flag(network) + " makes it monthly)");
}

Outcome every(Platform& platform, const std::vector<std::string>& args, PlanNetwork network) {
  const std::optional<std::int64_t> days = wholeNumber(args[0]);
  if (!days || *days < DaysViewController::kFewestDays || *days > DaysViewController::kMostDays) {
    return fail(fmt::format("a custom cycle lasts {} to {} days, not \"{}\"",
                            DaysViewController::kFewestDays, DaysViewController::kMostDays,
                            args[0]));
  }
  DaysViewController pane(platform, network);
  const bool ok = pane.didSelectRow(static_cast<int>(*days - DaysViewController::kFewestDays));
  return stored(ok, pane.selectedDate);
}

Outcome customStart(Platform& platform, const std::vector<std::string>& args, PlanNetwork network) {
  // The time may follow the date as a word of its own ("2031-03-08 07:30") or within the same
  // word; either way the moment is read whole.
  const std::string text = args.size() == 2 ? args[0] + " " + args[1] : args[0];
  const std::optional<Date> moment = parseMoment(platform, text);
  if (!moment)
    return fail("the start is a date YYYY-MM-DD, optionally followed by a time HH:MM, not \"" +
                text + "\"");
  const bool wifi = network == PlanNetwork::WiFi;
  std::unique_ptr<CustomDatePickerController> pane =
      wifi ? std::make_unique<CustomWiFiDatePickerController>(platform)
           : std::make_unique<CustomDatePickerController>(platform);
  const Calendar& calendar = platform.calendar();
  // The pane would move a moment outside its limits to the nearest one; the terminal says so
  // instead of storing something else than was typed.
  if (moment->secondsSince1970 < pane->minimumDate.secondsSince1970 ||
      moment->secondsSince1970 > pane->maximumDate.secondsSince1970) {
    return fail(fmt::format(
        "the start must lie between {} and {} (the cycle's length allows no "
        "earlier start; kestrio plan every N{} changes it)",
        calendar.format(pane->minimumDate, DateStyle::Short, DateStyle::Short),
        calendar.format(pane->maximumDate, DateStyle::Short, DateStyle::Short), flag(network)));
  }
  const bool ok = pane->dateChanged(*moment);
  return stored(ok, std::string(wifi ? "Wi-Fi" : "Cellular") + " custom cycle starting " +
                        calendar.format(pane->date, DateStyle::Short, DateStyle::Short));
}

// The largest amount the settings and the record's figures hold.
constexpr std::int64_t kLargestAmount = 999'999'999;

// The amount a quota or the usage is stored as, or the refusal.
std::optional<WholeAmount> storableAmount(const std::vector<std::string>& args, bool usage,
                                          std::string& error) {
  const std::optional<TypedAmount> typed = parseTypedAmount(args, QuotaWheels::units(), error);
  if (!typed) return std::nullopt;
  const std::optional<WholeAmount> whole = wholeAmount(*typed, kLargestAmount);
  if (!whole) {
    error = fmt::format(
        "{} cannot be stored exactly: {} is kept as a whole number of MB or GB, at most {} (1.5 "
        "GB is 1536 MB)",
        typed->text(), usage ? "the usage" : "a quota", kLargestAmount);
  }
  return whole;
}

// An amount is checked before anything is read or written.
std::optional<std::string> amountRefusal(const std::string& what,
                                         const std::vector<std::string>& args) {
  std::string error;
  if (what == "daily-cap") {
    if (!parseTypedAmount(args, {"KB", "MB", "GB"}, error)) return error;
  } else if (what == "quota" || what == "usage") {
    if (!storableAmount(args, what == "usage", error)) return error;
  }
  return std::nullopt;
}

Outcome amount(Platform& platform, const std::vector<std::string>& args, bool usage,
               PlanNetwork network) {
  std::string error;
  const std::optional<WholeAmount> whole = storableAmount(args, usage, error);
  if (!whole) return fail(error);
  const int unit = whole->unit == "GB" ? 1 : 0;
  if (usage) {
    CurrentUsageViewController pane(platform);
    if (!pane.setAmount(whole->amount, unit))
      return fail("the usage was not stored: " + pane.failure, 1);
    return Outcome{0, pane.selectedQuota, ""};
  }
  const bool wifi = network == PlanNetwork::WiFi;
  if (whole->amount == 0) {
    // A quota of 0 is no quota, as the settings row says; the unit stays for the next one.
    UserDefaults& store = platform.userDefaults();
    store.setInteger(planKeys(network).limit, 0);
    return stored(store.synchronize(), wifi ? "No Wi-Fi quota" : "No quota");
  }
  QuotaViewController pane(platform, network);
  const bool ok = pane.setAmount(whole->amount, unit);
  return stored(ok, pane.selectedQuota);
}

// The daily cap keeps decimals: it is stored as a number, 0 for none.
Outcome dailyCap(Platform& platform, const std::vector<std::string>& args, PlanNetwork network) {
  std::string error;
  const std::optional<TypedAmount> typed = parseTypedAmount(args, {"KB", "MB", "GB"}, error);
  if (!typed) return fail(error);
  const bool wifi = network == PlanNetwork::WiFi;
  UserDefaults& store = platform.userDefaults();
  if (typed->decimals == 0) {
    store.setInteger(dailyCapKey(network), typed->scaled);
  } else {
    store.setDouble(dailyCapKey(network), typed->value());
  }
  if (typed->isZero())
    return stored(store.synchronize(), wifi ? "No Wi-Fi daily cap" : "No daily cap");
  store.setString(dailyCapUnitKey(network), typed->unit);
  return stored(store.synchronize(), (wifi ? "Wi-Fi daily cap " : "Daily cap ") + typed->text());
}

const std::vector<std::string>& planSettings() {
  static const std::vector<std::string> names = {"type",  "start-day", "every", "custom-start",
                                                 "quota", "daily-cap", "usage"};
  return names;
}

}  // namespace

int runPlan(Platform& platform, const std::string& what, const std::vector<std::string>& args,
            bool wifi, std::ostream& out, std::ostream& err) {
  if (what.empty()) {
    // The plan as it stands: both networks, or the Wi-Fi one alone with --wifi.
    if (!wifi) out << planSummary(platform, PlanNetwork::Cellular);
    out << planSummary(platform, PlanNetwork::WiFi);
    return 0;
  }
  const auto& names = planSettings();
  if (std::find(names.begin(), names.end(), what) == names.end()) {
    const std::vector<std::string> near = nearestWords(what, names);
    err << "kestrio: \"" << what << "\" is not a plan setting"
        << (near.empty() ? "" : "; did you mean " + alternatives(near) + "?")
        << " (see kestrio plan --help)\n";
    return 2;
  }
  if (args.empty()) {
    err << "kestrio: plan " << what << " needs a value (see kestrio plan --help)\n";
    return 2;
  }
  // What each setting takes; a word more is refused rather than silently dropped. An amount's
  // unit may be glued to it ("5GB").
  const bool isAmount = what == "quota" || what == "usage" || what == "daily-cap";
  const std::size_t most = isAmount || what == "custom-start" ? 2 : 1;
  if (args.size() > most) {
    std::string extra;
    for (std::size_t i = most; i < args.size(); ++i) extra += (extra.empty() ? "" : " ") + args[i];
    err << "kestrio: plan " << what << " takes "
        << (what == "custom-start" ? "a date and an optional time"
            : most == 2            ? "an amount and its unit"
                                   : "one value")
        << ", not also \"" << extra << "\" (see kestrio plan --help)\n";
    return 2;
  }
  if (wifi && what == "usage") {
    err << "kestrio: --wifi does not apply to usage: it sets the cellular period's usage\n";
    return 2;
  }
  if (const auto refusal = amountRefusal(what, args)) {
    err << "kestrio: " << *refusal << "\n";
    return 2;
  }
  const PlanNetwork network = wifi ? PlanNetwork::WiFi : PlanNetwork::Cellular;
  // The change and the reminders it schedules are stored together, or not at all.
  Transaction tx(platform);
  if (!tx.locked()) {
    err << "kestrio: the plan was not stored: the data directory " << platform.documentsDirectory()
        << " cannot be locked\n";
    return 1;
  }
  AppSettings settings(platform);
  settings.getSettings();  // a fresh installation is converted first, so defaults do not overwrite
  Outcome outcome;
  if (what == "type") {
    outcome = planType(platform, args, network);
  } else if (what == "start-day") {
    outcome = startDay(platform, args, network);
  } else if (what == "every") {
    outcome = every(platform, args, network);
  } else if (what == "custom-start") {
    outcome = customStart(platform, args, network);
  } else if (what == "quota") {
    outcome = amount(platform, args, false, network);
  } else if (what == "daily-cap") {
    outcome = dailyCap(platform, args, network);
  } else {
    outcome = amount(platform, args, true, network);
  }
  if (outcome.status != 0) {
    err << "kestrio: " << outcome.error << "\n";
    return outcome.status;  // the transaction is abandoned: nothing of it is stored
  }
  // The billing-cycle reminders follow the new plan, as when the settings screen is left.
  settings.applySettings();
  if (const Stored stored = tx.commit(); !stored.ok()) {
    err << "kestrio: the plan was not stored: " << stored.reason() << "\n";
    return 1;
  }
  out << outcome.summary << "\n";
  return 0;
}

}  // namespace kestrio::cli
