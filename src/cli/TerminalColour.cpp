#include "cli/TerminalColour.h"

#include <ostream>

#include "cli/TerminalText.h"

namespace kestrio::cli {

namespace {

const char* colourOf(std::string_view word) {
  if (word == "SAFE") return "\x1b[1;32m";
  if (word == "CAUTION") return "\x1b[1;33m";
  if (word == "OVERAGE") return "\x1b[1;31m";
  return nullptr;
}

// The terminal's filter removes every escape sequence from the text; the program's own colours
// go around it.
void writeControl(std::ostream& out, std::string_view sequence) {
  if (auto* safe = dynamic_cast<TerminalTextBuffer*>(out.rdbuf())) {
    safe->passThrough(sequence);
  } else {
    out << sequence;
  }
}

}  // namespace

std::optional<ColourChoice> parseColourChoice(std::string_view text) {
  if (text == "auto") return ColourChoice::Auto;
  if (text == "always") return ColourChoice::Always;
  if (text == "never") return ColourChoice::Never;
  return std::nullopt;
}

bool useColour(ColourChoice choice, bool outputIsTerminal, const char* noColourVariable) {
  switch (choice) {
    case ColourChoice::Always:
      return true;
    case ColourChoice::Never:
      return false;
    case ColourChoice::Auto:
      break;
  }
  const bool noColour = noColourVariable != nullptr && *noColourVariable != '\0';
  return outputIsTerminal && !noColour;
}

void writeStatusWord(std::ostream& out, std::string_view word, bool colour) {
  const char* code = colour ? colourOf(word) : nullptr;
  if (code == nullptr) {
    out << word;
    return;
  }
  writeControl(out, code);
  out << word;
  writeControl(out, "\x1b[0m");
}

}  // namespace kestrio::cli
