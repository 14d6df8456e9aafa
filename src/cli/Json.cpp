#include "cli/Json.h"

#include <fmt/format.h>

#include <cmath>

#include "platform/SafeText.h"

namespace kestrio::json {

std::string quote(std::string_view raw) {
  // JSON is UTF-8: a name read from a damaged file must not make the whole document unreadable.
  const std::string text = text::validUtf8(raw);
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    const auto c = static_cast<unsigned char>(ch);
    // DEL and the C1 controls (U+0080 to U+009F) are legal in JSON, but printed raw they are
    // terminal escape sequences: written as \u escapes they read back the same.
    if (c == 0x7F) {
      out += "\\u007f";
      continue;
    }
    const unsigned next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
      out += fmt::format("\\u{:04x}", next);
      ++i;
      continue;
    }
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          out += fmt::format("\\u{:04x}", c);
        } else {
          out += ch;
        }
    }
  }
  out += '"';
  return out;
}

std::string number(double value) {
  if (!std::isfinite(value)) return "null";
  // fmt writes the shortest text that reads back exactly, with a point in every locale.
  return fmt::format("{}", value);
}

}  // namespace kestrio::json
