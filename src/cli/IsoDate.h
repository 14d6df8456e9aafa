#pragma once

#include <string>

#include "platform/Calendar.h"
#include "platform/Date.h"

namespace kestrio::cli {

// The one date form of every JSON document: ISO 8601 in the calendar's zone, to the second, with
// that moment's offset from UTC ("2026-12-07T14:00:00+01:00"), so a script reads both the instant
// and the local time the user saw.
std::string isoDate(const Calendar& calendar, Date date);

}  // namespace kestrio::cli
