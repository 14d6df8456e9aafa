#pragma once

#include <string>
#include <string_view>

namespace kestrio::json {

// A JSON string literal, quotes included, with every character JSON requires escaped and each
// malformed UTF-8 sequence replaced by U+FFFD.
std::string quote(std::string_view text);
// A JSON number; non-finite values, which JSON cannot hold, become null.
std::string number(double value);

}  // namespace kestrio::json
