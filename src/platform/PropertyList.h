#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/PlistValue.h"

namespace kestrio::plist {

// Parses an XML or binary property list. Answers nothing when the bytes are not a property list
// (truncated, corrupt, nested deeper than 256 arrays and dictionaries, or empty) or, for a binary
// list, when they hold a reference cycle, a dictionary key holding U+0000, or shared references
// that would expand far beyond the size of the file.
std::optional<PlistValue> parse(std::string_view bytes);

// Dates are stored as 32-bit seconds from 2001-01-01: an instant outside 1932-12-13 to
// 2069-01-19 is written as the nearest end of that range. XML keeps whole seconds (the second
// the instant falls in), binary keeps microseconds. XML has no UID type: a UID is written as the
// dictionary {"CF$UID": n}, and such a dictionary reads back as a UID.

// Serialises a value as an XML property list (the form of the usage records and the defaults).
std::string toXml(const PlistValue& value);

// Serialises a value as a binary property list (the form of the archives).
std::string toBinary(const PlistValue& value);

}  // namespace kestrio::plist
