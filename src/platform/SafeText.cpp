#include "platform/SafeText.h"

namespace kestrio::text {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length (1 to 4) of the well-formed sequence at `at`, 0 when it is malformed; `cp` gets
// its code point.
std::size_t sequenceAt(std::string_view s, std::size_t at, char32_t& cp) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned lead = byte(at);
  const std::size_t length = lead < 0x80                    ? 1
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                             : (lead >> 4) == 0xE           ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
  if (length == 0 || at + length > s.size()) return 0;
  cp = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned next = byte(at + k);
    if ((next & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (next & 0x3F);
  }
  if (length == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) return 0;
  if (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) return 0;
  return length;
}

template <typename Keep>
std::string rewritten(std::string_view text, Keep keep) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    char32_t cp = 0;
    const std::size_t length = sequenceAt(text, i, cp);
    if (length == 0) {
      out += kReplacement;
      ++i;
      continue;
    }
    if (keep(cp)) {
      out.append(text.substr(i, length));
    } else {
      out += kReplacement;
    }
    i += length;
  }
  return out;
}

}  // namespace

std::string validUtf8(std::string_view text) {
  return rewritten(text, [](char32_t) { return true; });
}

std::string forXml(std::string_view text) {
  return rewritten(text, [](char32_t c) {
    if (c < 0x20) return c == '\t' || c == '\n' || c == '\r';
    return c != 0xFFFE && c != 0xFFFF;
  });
}

std::string forTerminal(std::string_view text) {
  return rewritten(text, [](char32_t c) {
    if (c < 0x20) return c == '\t' || c == '\n';
    return c != 0x7F && !(c >= 0x80 && c <= 0x9F);
  });
}

std::size_t completePrefix(std::string_view text) {
  // A sequence is at most four bytes: only the last three can belong to an unfinished one.
  const std::size_t size = text.size();
  for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
    const auto c = static_cast<unsigned char>(text[size - back]);
    if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const std::size_t needed = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return needed > back ? size - back : size;
  }
  return size;
}

}  // namespace kestrio::text
