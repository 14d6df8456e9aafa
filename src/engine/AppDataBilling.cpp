// The billing period of a usage record: its dates, its counter, and the closing of an ended
// period into the history.
#include "engine/AppData.h"
#include "engine/BillingCycle.h"
#include "engine/History.h"
#include "services/Util.h"

namespace kestrio {

namespace {

std::optional<Date> savedDate(const PlistValue::Dictionary& record, const char* key) {
  auto it = record.find(key);
  if (it == record.end()) return std::nullopt;
  if (auto* date = it->second.get<Date>()) return *date;
  return std::nullopt;
}

// Midnight of the last day of a period that ends at `end`. `end` was a midnight of the zone the
// period was computed in; after a change of zone it lies up to half a day either side of a
// midnight here, and the nearest one is meant.
Date lastDayOfPeriod(const Calendar& calendar, Date end) {
  DateComponents c = calendar.components(end);
  const int day = c.hour >= 12 ? c.day : c.day - 1;
  return calendar.date(DateComponents{c.year, c.month, day, 0, 0, 0, 0});
}

// Whether the counter as the previous pass left it belongs to a period before the one starting at
// `start`. Strictly before: a previous pass at the very start of the period already belonged to
// it and closed the period before. After a change of time zone the saved period ends at a
// midnight of the old zone; when the previous pass lay within it and it ends on the day the
// current period starts, it has ended too, although that pass may fall after this zone's midnight.
// A saved period that had ended before the previous pass (an every-N-days cycle still catching up
// after a long absence) was closed by an earlier pass.
bool periodHasEnded(const Calendar& calendar, std::optional<Date> endedStart,
                    std::optional<Date> endedNext, Date previousPass, Date start) {
  if (previousPass < start) return true;
  return endedStart && endedNext && *endedStart <= previousPass && previousPass < *endedNext &&
         calendar.startOfDay(*endedNext) <= start;
}

}  // namespace

void AppData::setBillingDates(int code) {
  const BillingPeriod period = BillingCycle::billingDatesForCode(platform_, code, appDataType_);
  lastBillingDate_ = period.lastBillingDate;
  nextBillingDate_ = period.nextBillingDate;
}

Date AppData::getMinDate(int n) {
  return BillingCycle::getMinDate(platform_, n);
}

bool AppData::isBetweenDate(Date date, Date start, Date end) {
  return Util::isBetweenDate(date, start, end);
}

Date AppData::countingSince(Platform& platform, int dataType, Date start, Date next) {
  // An entry of the closed period before this one ends on the midnight before `start`; one that
  // ends within the period can only be a reset's, which zeroed the counter at that moment.
  Date since = start;
  for (const History& entry : History::getAllBillingCycleLogs(platform)) {
    if (entry.dataType() != dataType || !entry.endDate()) continue;
    const Date end = *entry.endDate();
    if (start <= end && end < next && since < end) since = end;
  }
  return since;
}

void AppData::udpateBillingCounter(bool inUpdatePass) {
  AppSettings& settings = appSettings();
  if (!settings.firstDayOfCycle() || !settings.firstDayOfCycleWifi()) {
    // Without both cycles configured there is no billing bookkeeping at all.
    lastBillingDate_.reset();
    nextBillingDate_.reset();
    billingDaysTotal_.reset();
    billingDaysElapsed_.reset();
    dataThisMonth_.reset();
    dataThisMonthRecd_.reset();
    dataThisMonthSent_.reset();
    connection_usage::closePeriod(connectionUsage_);
    return;
  }
  const int code =
      appDataType_ == "wifi" ? *settings.firstDayOfCycleWifi() : *settings.firstDayOfCycle();
  monthlyResetOccured_ = false;
  if (code < 1) return;  // the bookkeeping stays as it is

  const std::optional<Date> endedStart = lastBillingDate_;
  const std::optional<Date> endedNext = nextBillingDate_;
  if (inUpdatePass) {
    setBillingDates(code);
  } else {
    // A redraw shows the period without moving a custom plan's start: only the pass that saves
    // the record may, so the record and the stored start always agree.
    const BillingPeriod period =
        BillingCycle::billingDatesForCode(platform_, code, appDataType_, false);
    lastBillingDate_ = period.lastBillingDate;
    nextBillingDate_ = period.nextBillingDate;
  }

  // The record as the previous pass stored it, read by the load that began this pass.
  const std::optional<PlistValue::Dictionary>& saved = loadedRecord_;
  if (inUpdatePass) {
    // The file holds the counters as the previous pass left them; what a load derived for an
    // older file (its proportional parts) does not count here.
    dataThisMonth_ = saved ? getNumberForKey("dataThisMonth", *saved) : 0.0;
    dataThisMonthRecd_ = saved ? getNumberForKey("dataThisMonthRecd", *saved) : 0.0;
    dataThisMonthSent_ = saved ? getNumberForKey("dataThisMonthSent", *saved) : 0.0;
  }

  const Date now = platform_.now();
  const Date start = *lastBillingDate_;
  // A period whose start lies ahead (an every-N-days plan that begins later) counts nothing yet.
  if (saved && start <= now) {
    const std::optional<Date> previousPass = savedDate(*saved, "lastUpdate");
    if (previousPass &&
        periodHasEnded(platform_.calendar(), endedStart, endedNext, *previousPass, start)) {
      closeBillingPeriod(endedStart, endedNext, *previousPass, inUpdatePass);
    } else if (inUpdatePass) {
      // Within the period; a file without its last update, which leaves no previous pass to
      // compare, counts the traffic too.
      dataThisMonth_ = dataThisMonth_.value_or(0) + dataSinceLastRun_.value_or(0);
      dataThisMonthSent_ = dataThisMonthSent_.value_or(0) + dataSinceLastRunSent_.value_or(0);
      dataThisMonthRecd_ = dataThisMonthRecd_.value_or(0) + dataSinceLastRunRecd_.value_or(0);
      for (const auto& [uuid, pass] : connectionsSinceLastRun_) {
        ConnectionUsage& usage = connectionUsage_[uuid];
        usage.dataThisMonthSent += pass.first;
        usage.dataThisMonthRecd += pass.second;
        usage.dataThisMonth += pass.first + pass.second;
      }
    }
  }

  const Calendar& calendar = platform_.calendar();
  billingDaysTotal_ = calendar.daysBetween(*lastBillingDate_, *nextBillingDate_);
  billingDaysElapsed_ = calendar.daysBetween(*lastBillingDate_, now);
}

void AppData::closeBillingPeriod(std::optional<Date> endedStart, std::optional<Date> endedNext,
                                 Date previousPass, bool inUpdatePass) {
  const double sent = dataThisMonthSent_.value_or(0);
  const double received = dataThisMonthRecd_.value_or(0);
  const double total = dataThisMonth_.value_or(0);
  dataThisMonth_ = dataThisMonthSent_ = dataThisMonthRecd_ = 0.0;
  std::vector<ClosedConnection> connections = connection_usage::closePeriod(connectionUsage_);
  // A redraw only shows the new period: the counters it zeroes stay in memory, so the next pass
  // finds the ended period in the file again and closes it there, once.
  if (!inUpdatePass) return;

  // A record whose billing bookkeeping was off (a cycle was missing) has no dates for the period
  // that ended. Its counter may still hold usage (an older file, an adjustment): that goes into
  // an entry running from the day of the previous pass to the day before the new period. An
  // empty counter makes no entry; there was no period to close.
  const Calendar& calendar = platform_.calendar();
  if ((!endedStart || !endedNext) && total == 0 && sent == 0 && received == 0) return;
  const int dataType = appDataType_ == "cellular" ? 1 : 2;
  // After a reset the counter holds only what came since: the entry begins there, so the reset's
  // own entry and this one do not overlap.
  const Date entryStart = endedStart && endedNext
                              ? countingSince(platform_, dataType, *endedStart, *endedNext)
                          : endedStart ? *endedStart
                                       : calendar.startOfDay(previousPass);
  Date entryEnd = lastDayOfPeriod(calendar, endedNext ? *endedNext : *lastBillingDate_);
  if (entryEnd < entryStart) entryEnd = calendar.startOfDay(entryStart);

  History record(platform_, entryStart, entryEnd, sent, received, total, dataType, 1);
  if (!connections.empty()) record.setConnections(std::move(connections));
  // The period is closed with the pass or the pass stores nothing.
  if (Stored stored = History::addNewHistoryItemLog(platform_, record); !stored.ok()) {
    platform_.transactions().abortTransaction(stored.reason());
  }
  monthlyResetOccured_ = true;
}

}  // namespace kestrio
