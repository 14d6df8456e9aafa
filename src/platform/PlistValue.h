#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/Date.h"

namespace kestrio {

// One value of a property list: the types that XML and binary property lists can hold, plus the
// UID that keyed archives use to refer to objects.
class PlistValue {
 public:
  using Array = std::vector<PlistValue>;
  using Dictionary = std::map<std::string, PlistValue>;
  using Data = std::vector<std::uint8_t>;
  struct Uid {
    std::uint64_t value = 0;
    friend bool operator==(const Uid&, const Uid&) = default;
  };

  PlistValue() : value_(Dictionary{}) {}
  PlistValue(bool b) : value_(b) {}
  PlistValue(int i) : value_(std::int64_t{i}) {}
  PlistValue(std::int64_t i) : value_(i) {}
  PlistValue(double d) : value_(d) {}
  PlistValue(std::string s) : value_(std::move(s)) {}
  PlistValue(const char* s) : value_(std::string(s)) {}
  PlistValue(Date d) : value_(d) {}
  PlistValue(Data d) : value_(std::move(d)) {}
  PlistValue(Array a) : value_(std::move(a)) {}
  PlistValue(Dictionary d) : value_(std::move(d)) {}
  PlistValue(Uid u) : value_(u) {}

  template <typename T>
  bool is() const {
    return std::holds_alternative<T>(value_);
  }
  template <typename T>
  const T* get() const {
    return std::get_if<T>(&value_);
  }
  template <typename T>
  T* get() {
    return std::get_if<T>(&value_);
  }

  // The value as a number when it is an integer, a real or a boolean; nothing otherwise.
  std::optional<double> number() const {
    if (auto* i = get<std::int64_t>()) return static_cast<double>(*i);
    if (auto* d = get<double>()) return *d;
    if (auto* b = get<bool>()) return *b ? 1.0 : 0.0;
    return std::nullopt;
  }

  friend bool operator==(const PlistValue&, const PlistValue&) = default;

 private:
  std::variant<bool, std::int64_t, double, std::string, Date, Data, Array, Dictionary, Uid> value_;
};

}  // namespace kestrio
