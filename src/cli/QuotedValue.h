#pragma once

#include <string>
#include <string_view>

namespace kestrio::cli {

// A text the user typed, as a message repeats it: in double quotes and on one line, so a value
// that holds a line break cannot split the one line a command reports. A line feed, carriage
// return or tab is shown as \n, \r or \t, a backslash or a double quote with a backslash before
// it, any other control character as \xNN.
std::string quotedValue(std::string_view text);

}  // namespace kestrio::cli
