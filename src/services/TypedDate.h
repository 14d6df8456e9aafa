#pragma once

#include <optional>
#include <string>

#include "platform/Calendar.h"

namespace kestrio {

// A date the user typed: in the locale's short form ("3/14/26", with or without the short time
// after it), or in ISO form ("2026-03-14", "2026-03-14 08:30", "2026-03-14T08:30"). A date
// without a time is the start of that day. Nothing for any other text, nor for a day its month
// does not have ("2026-02-30" never rolls over into March).
std::optional<Date> dateFromTypedText(const Calendar& calendar, const std::string& text);

// How a date is typed, with `example` in both forms, for the line that explains a refusal.
std::string typedDateHint(const Calendar& calendar, Date example);

}  // namespace kestrio
