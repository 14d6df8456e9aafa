#include "cli/PlanAmount.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace kestrio::cli {

namespace {

constexpr int kMostDecimals = 6;
// Digits before the point: enough for any quota (999999999), few enough that the amount in
// millionths of an MB, times 1024 for GB, stays within 64 bits.
constexpr int kMostWholeDigits = 9;

std::int64_t powerOfTen(int n) {
  std::int64_t p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

std::string upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

std::int64_t factorInMB(const std::string& unit) {
  return unit == "GB" ? 1024 : 1;
}

}  // namespace

double TypedAmount::value() const {
  return static_cast<double>(scaled) / static_cast<double>(powerOfTen(decimals));
}

std::string TypedAmount::text() const {
  const std::int64_t scale = powerOfTen(decimals);
  std::string number = std::to_string(scaled / scale);
  std::string fraction = std::to_string(scaled % scale);
  if (decimals > 0 && scaled % scale != 0) {
    fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
    fraction.erase(fraction.find_last_not_of('0') + 1);
    number += "." + fraction;
  }
  return number + " " + unit;
}

std::optional<TypedAmount> parseTypedAmount(const std::vector<std::string>& words,
                                            const std::vector<std::string>& units,
                                            std::string& error) {
  std::string unitList;
  for (std::size_t i = 0; i < units.size(); ++i) {
    unitList += (i == 0 ? "" : i + 1 == units.size() ? " or " : ", ") + units[i];
  }
  if (words.empty() || words.size() > 2) {
    error = "give an amount and its unit, " + unitList + ", such as 5 GB or 1.5GB";
    return std::nullopt;
  }
  std::string number = words[0];
  std::string unit = words.size() == 2 ? words[1] : "";
  if (words.size() == 1) {
    const std::size_t unitStart = number.find_first_not_of("0123456789.");
    if (unitStart != std::string::npos) {
      unit = number.substr(unitStart);
      number.resize(unitStart);
    }
  }
  TypedAmount typed;
  const std::size_t point = number.find('.');
  const std::string whole = number.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : number.substr(point + 1);
  const auto digitsOnly = [](const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
  };
  if (whole.empty() || !digitsOnly(whole) || !digitsOnly(fraction) ||
      (point != std::string::npos && fraction.empty()) ||
      whole.size() > static_cast<std::size_t>(kMostWholeDigits) ||
      fraction.size() > static_cast<std::size_t>(kMostDecimals)) {
    error = "the amount is a number such as 5 or 1.5 (a point before the decimals, at most " +
            std::to_string(kMostDecimals) + "), not \"" + number + "\"";
    return std::nullopt;
  }
  typed.decimals = static_cast<int>(fraction.size());
  typed.scaled = std::stoll(whole) * powerOfTen(typed.decimals) +
                 (fraction.empty() ? 0 : std::stoll(fraction));
  if (unit.empty()) {
    error =
        "give the unit after the amount, " + unitList + ", such as " + whole + " " + units.back();
    return std::nullopt;
  }
  typed.unit = upper(unit);
  if (std::find(units.begin(), units.end(), typed.unit) == units.end()) {
    error = "the unit is " + unitList + ", not \"" + unit + "\"";
    return std::nullopt;
  }
  return typed;
}

std::optional<WholeAmount> wholeAmount(const TypedAmount& typed, std::int64_t largest) {
  const std::int64_t scale = powerOfTen(typed.decimals);
  std::optional<WholeAmount> found;
  if (typed.scaled % scale == 0) {
    found = WholeAmount{typed.scaled / scale, typed.unit};
  } else if (const std::int64_t mb = typed.scaled * factorInMB(typed.unit); mb % scale == 0) {
    found = WholeAmount{mb / scale, "MB"};
  }
  if (!found || found->amount > largest) return std::nullopt;
  return found;
}

}  // namespace kestrio::cli
