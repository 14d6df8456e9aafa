#pragma once

namespace kestrio {

// An instant in time, independent of any calendar or zone: seconds since 1970-01-01 00:00 UTC,
// with a fractional part. Property lists count from 2001-01-01 instead; the conversion lives here.
struct Date {
  // Seconds between 1970-01-01 and 2001-01-01, the epoch of property-list dates.
  static constexpr double kReferenceDateOffset = 978307200.0;

  double secondsSince1970 = 0;

  static constexpr Date fromSecondsSince1970(double s) { return Date{s}; }
  static constexpr Date fromSecondsSinceReferenceDate(double s) {
    return Date{s + kReferenceDateOffset};
  }
  constexpr double secondsSinceReferenceDate() const {
    return secondsSince1970 - kReferenceDateOffset;
  }
  constexpr Date addingSeconds(double s) const { return Date{secondsSince1970 + s}; }

  friend constexpr auto operator<=>(const Date&, const Date&) = default;
};

}  // namespace kestrio
