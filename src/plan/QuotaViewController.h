#pragma once

#include <functional>
#include <string>
#include <vector>

#include "plan/PlanCodes.h"
#include "platform/Platform.h"
#include "platform/Transaction.h"
#include "platform/Ui.h"

namespace kestrio {

// An amount on digit wheels (thousands, hundreds, tens, units) and a unit wheel ("MB", "GB").
// An amount of five digits or more gets as many digit wheels as it needs, so it is shown whole.
class QuotaWheels {
 public:
  static const std::vector<std::string>& units();        // "MB", "GB"
  static const std::vector<std::string>& digitTitles();  // "0" to "9"

  // Places the amount's decimal digits from the units wheel leftwards; the other wheels show 0.
  void showValue(std::int64_t value);
  std::int64_t value() const;
  int numberOfDigitWheels() const { return static_cast<int>(digits.size()); }
  // The unit wheel is the last component.
  int unitComponent() const { return numberOfDigitWheels(); }
  std::string unitName() const { return units()[static_cast<std::size_t>(unit)]; }

  std::vector<int> digits = {0, 0, 0, 0};
  int unit = 0;  // 0 MB, 1 GB
};

// A network's quota: every change of a wheel stores the amount and its unit at once. An amount
// of 0 is no quota.
class QuotaViewController : public ViewController {
 public:
  explicit QuotaViewController(Platform& platform, PlanNetwork network = PlanNetwork::Cellular);
  std::string title() const override { return "Data Plan Quota"; }

  // A wheel moved to `row`; false when the store could not be written.
  bool didSelectRow(int component, int row);
  // The whole amount at once (a typed number): the same as moving the wheels to its digits.
  bool setAmount(std::int64_t amount, int unit);

  QuotaWheels wheels;
  std::string selectedQuota;

 private:
  bool store();
  Platform& platform_;
  const PlanKeys& keys_;
};

// The current period's cellular usage, typed on the same wheels: every change becomes the
// period's usage in the cellular record, stored at once with every other figure kept.
class CurrentUsageViewController : public ViewController {
 public:
  explicit CurrentUsageViewController(Platform& platform);
  std::string title() const override { return "Current Usage"; }

  // A wheel moved to `row`; false, with `failure` set, when the record could not be stored.
  bool didSelectRow(int component, int row);
  bool setAmount(std::int64_t amount, int unit);

  QuotaWheels wheels;
  std::string selectedQuota;
  std::string failure;

 private:
  bool store();
  Platform& platform_;
};

}  // namespace kestrio
