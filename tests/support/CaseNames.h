#pragma once

// Names of the cases of parameterised tests. gtest lists a case as `Prefix/Suite.Test/Name` and
// CTest registers it under that name, so the name is what `ctest -R`, `--rerun-failed` and the
// history of past runs follow: short, the same from one build to the next, and made of letters,
// digits and underscores, as gtest requires.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace kestrio::testing {

// `text` as a case name: each run of characters other than ASCII letters and digits becomes one
// underscore ("first write, disk full" is "first_write_disk_full").
inline std::string caseName(std::string_view text) {
  std::string name;
  for (const char c : text) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      name += c;
    } else if (name.empty() || name.back() != '_') {
      name += '_';
    }
  }
  return name.empty() ? "_" : name;
}

// The name generator of a suite whose cases carry a `name`.
struct NameField {
  template <typename Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
    return caseName(info.param.name);
  }
};

}  // namespace kestrio::testing
