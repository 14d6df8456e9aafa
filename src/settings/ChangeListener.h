#pragma once

#include <string>

#include "platform/PlistValue.h"

namespace kestrio::settings {

// Hears every value the settings tab stores, once the store has taken it: the rest of the
// application follows the user's choices (the location switch) through it.
class ChangeListener {
 public:
  virtual ~ChangeListener() = default;
  virtual void settingDidChange(const std::string& key, const PlistValue& value) = 0;
};

}  // namespace kestrio::settings
