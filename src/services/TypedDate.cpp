#include "services/TypedDate.h"

#include <cstdio>
#include <regex>
#include <vector>

namespace kestrio {
namespace {

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<Date> isoDate(const Calendar& calendar, const std::string& text) {
  static const std::regex iso(R"((\d{4})-(\d{1,2})-(\d{1,2})(?:[ T](\d{1,2}):(\d{2}))?)");
  std::smatch m;
  if (!std::regex_match(text, m, iso)) return std::nullopt;
  DateComponents c;
  c.year = std::stoi(m[1]);
  c.month = std::stoi(m[2]);
  c.day = std::stoi(m[3]);
  if (m[4].matched) {
    c.hour = std::stoi(m[4]);
    c.minute = std::stoi(m[5]);
  }
  if (c.month < 1 || c.month > 12 || c.day < 1 || c.hour > 23 || c.minute > 59) {
    return std::nullopt;
  }
  const Date date = calendar.date(c);
  // The calendar rolls a day past the month's end over into the next month: not what was typed.
  const DateComponents back = calendar.components(date);
  if (back.year != c.year || back.month != c.month || back.day != c.day) return std::nullopt;
  return date;
}

std::vector<long> numbersIn(const std::string& text) {
  std::vector<long> numbers;
  static const std::regex digits(R"(\d+)");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), digits);
       it != std::sregex_iterator(); ++it) {
    numbers.push_back(std::stol(it->str().substr(0, 9)));
  }
  return numbers;
}

// The locale's parser is lenient: it reads "14/3/26" in a month-first locale as the second
// month of the following year. A typed date is taken only when the date read is written with
// the numbers that were typed (a year typed in full matches its last two digits).
std::optional<Date> localeDate(const Calendar& calendar, const std::string& text,
                               DateStyle timeStyle) {
  const std::optional<Date> date = calendar.parse(text, DateStyle::Short, timeStyle);
  if (!date) return std::nullopt;
  const std::vector<long> typed = numbersIn(text);
  const std::vector<long> written = numbersIn(calendar.format(*date, DateStyle::Short, timeStyle));
  if (typed.size() != written.size()) return std::nullopt;
  for (std::size_t i = 0; i < typed.size(); ++i) {
    const bool year = typed[i] >= 100 || written[i] >= 100;
    if (typed[i] != written[i] && !(year && typed[i] % 100 == written[i] % 100)) {
      return std::nullopt;
    }
  }
  return date;
}

}  // namespace

std::optional<Date> dateFromTypedText(const Calendar& calendar, const std::string& text) {
  const std::string typed = trimmed(text);
  if (typed.empty()) return std::nullopt;
  // Four digits and a dash: ISO, and only ISO decides.
  static const std::regex isoLike(R"(\d{4}-.*)");
  if (std::regex_match(typed, isoLike)) return isoDate(calendar, typed);
  if (auto date = localeDate(calendar, typed, DateStyle::Short)) return date;
  return localeDate(calendar, typed, DateStyle::None);
}

std::string typedDateHint(const Calendar& calendar, Date example) {
  const DateComponents c = calendar.components(example);
  char iso[16];
  std::snprintf(iso, sizeof iso, "%04d-%02d-%02d", c.year % 10000, c.month % 100, c.day % 100);
  return "Type a date as " + calendar.format(example, DateStyle::Short, DateStyle::None) + " or " +
         iso + ", a time may follow.";
}

}  // namespace kestrio
