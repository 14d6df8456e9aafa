#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace kestrio::cli {

// --color=auto|always|never.
enum class ColourChoice { Auto, Always, Never };
std::optional<ColourChoice> parseColourChoice(std::string_view text);

// Colours are for people at a terminal: "auto" colours only when standard output is one and
// NO_COLOR (any value but the empty one) does not ask for plain text; the option overrides both.
bool useColour(ColourChoice choice, bool outputIsTerminal, const char* noColourVariable);

// Writes a status word in the colour of the gauge's band: SAFE green, CAUTION yellow, OVERAGE
// red; any other text, or `colour` false, as it is.
void writeStatusWord(std::ostream& out, std::string_view word, bool colour);

}  // namespace kestrio::cli
