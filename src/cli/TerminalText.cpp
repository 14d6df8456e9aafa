#include "cli/TerminalText.h"

#include "platform/SafeText.h"

namespace kestrio::cli {

namespace {
// Held text is passed on at each line's end; a long line without one still goes in pieces.
constexpr std::size_t kMaxPending = 4096;
}  // namespace

TerminalTextBuffer::int_type TerminalTextBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  pending_ += traits_type::to_char_type(c);
  if (c == '\n' || pending_.size() >= kMaxPending) {
    if (!flushPending(false)) return traits_type::eof();
  }
  return c;
}

std::streamsize TerminalTextBuffer::xsputn(const char* s, std::streamsize n) {
  pending_.append(s, static_cast<std::size_t>(n));
  if (pending_.find('\n') != std::string::npos || pending_.size() >= kMaxPending) {
    if (!flushPending(false)) return 0;
  }
  return n;
}

bool TerminalTextBuffer::passThrough(std::string_view sequence) {
  if (!flushPending(true)) return false;
  const auto size = static_cast<std::streamsize>(sequence.size());
  return target_->sputn(sequence.data(), size) == size;
}

int TerminalTextBuffer::sync() {
  if (!flushPending(false)) return -1;
  return target_->pubsync();
}

bool TerminalTextBuffer::flushPending(bool all) {
  const std::size_t ready = all ? pending_.size() : text::completePrefix(pending_);
  if (ready == 0) return true;
  const std::string safe = text::forTerminal(std::string_view(pending_).substr(0, ready));
  pending_.erase(0, ready);
  const auto size = static_cast<std::streamsize>(safe.size());
  return target_->sputn(safe.data(), size) == size;
}

}  // namespace kestrio::cli
