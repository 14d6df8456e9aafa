#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrio::cli {

// Listings fit a terminal of 80 columns: the widest line they print.
inline constexpr std::size_t kListingWidth = 79;

// `text` cut to `width` characters, its last one "…" when it was longer, so a long name never
// runs into the next column; a character is never split. The whole text is in --json.
std::string fitted(std::string_view text, std::size_t width);

// `text` fitted and padded with spaces to exactly `width` characters.
std::string column(std::string_view text, std::size_t width);

}  // namespace kestrio::cli
