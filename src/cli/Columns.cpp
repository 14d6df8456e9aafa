#include "cli/Columns.h"

namespace kestrio::cli {

namespace {

bool continues(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::size_t characters(std::string_view text) {
  std::size_t count = 0;
  for (const char c : text) count += continues(c) ? 0 : 1;
  return count;
}

}  // namespace

std::string fitted(std::string_view text, std::size_t width) {
  if (characters(text) <= width) return std::string(text);
  if (width == 0) return {};
  // Keep width - 1 characters, then the ellipsis.
  std::size_t kept = 0;
  std::size_t end = 0;
  while (end < text.size()) {
    if (!continues(text[end]) && kept++ == width - 1) break;
    ++end;
  }
  return std::string(text.substr(0, end)) + "\u2026";
}

std::string column(std::string_view text, std::size_t width) {
  std::string cell = fitted(text, width);
  cell.append(width - characters(cell), ' ');
  return cell;
}

}  // namespace kestrio::cli
