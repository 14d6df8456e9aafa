#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/PlistValue.h"

namespace kestrio::plist {

// Parses an XML or binary property list. Answers nothing when the bytes are not a property list
// (truncated, corrupt, nested too deeply to parse safely, or empty).
std::optional<PlistValue> parse(std::string_view bytes);

// Serialises a value as an XML property list (the form of the usage records and the defaults).
std::string toXml(const PlistValue& value);

// Serialises a value as a binary property list (the form of the archives).
std::string toBinary(const PlistValue& value);

}  // namespace kestrio::plist
