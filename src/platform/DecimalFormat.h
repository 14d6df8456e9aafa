#pragma once

#include <memory>
#include <optional>
#include <string>

namespace kestrio {

// Numbers as the user writes them: the locale's decimal style (its grouping and decimal
// separators, up to three fraction digits), both ways.
class DecimalFormat {
 public:
  // localeId is an ICU locale ("en_US", "de_DE").
  explicit DecimalFormat(const std::string& localeId);
  ~DecimalFormat();
  DecimalFormat(const DecimalFormat&) = delete;
  DecimalFormat& operator=(const DecimalFormat&) = delete;

  // The value in the locale's decimal style; empty when ICU cannot format it.
  std::string format(double value) const;
  // The value of a text in the locale's decimal style, blanks around it ignored; nothing unless
  // the whole text reads as one finite number.
  std::optional<double> parse(const std::string& text) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kestrio
