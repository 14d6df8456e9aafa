#pragma once

#include <string>
#include <string_view>

namespace kestrio::text {

// Texts that came from the user or from a file (counter names, places, interface names) may hold
// anything: bytes that are not UTF-8, terminal escape sequences, controls that XML cannot carry.
// These make such a text safe for one destination, replacing what it cannot take with U+FFFD
// (the replacement character), so the rest stays readable and nothing fails to load later.

// Every malformed UTF-8 sequence (stray continuation byte, overlong form, encoded surrogate,
// beyond U+10FFFF, cut short) replaced by one U+FFFD per byte; valid text is returned unchanged.
std::string validUtf8(std::string_view text);

// Valid UTF-8 holding only characters XML 1.0 allows: no C0 controls other than tab, line feed
// and carriage return, no U+FFFE or U+FFFF.
std::string forXml(std::string_view text);

// Valid UTF-8 a terminal shows as it stands: no C0 controls other than tab and line feed, no DEL,
// no C1 controls (U+0080 to U+009F, the 8-bit form of escape sequences).
std::string forTerminal(std::string_view text);

// The whole of `text` that can be decoded before its end: the length of its longest prefix
// that does not end inside a multi-byte sequence. A stream that writes in pieces keeps the rest
// until the next piece completes it.
std::size_t completePrefix(std::string_view text);

}  // namespace kestrio::text
