#pragma once

#include <utility>

// A record field with its reader and writer, named as the stored key is:
//   KESTRIO_FIELD(std::optional<double>, dataThisMonth, setDataThisMonth)
// gives `dataThisMonth()` and `setDataThisMonth(v)` over the private member `dataThisMonth_`.
#define KESTRIO_FIELD(Type, name, setter) \
 public:                                  \
  const Type& name() const {              \
    return name##_;                       \
  }                                       \
  void setter(Type value) {               \
    name##_ = std::move(value);           \
  }                                       \
                                          \
 private:                                 \
  Type name##_{};
