#pragma once

#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace kestrio::cli {

// Everything the command line prints passes through this buffer on its way to the terminal. A
// counter's name, a place or an interface name may hold escape sequences (which would let a
// file rewrite the user's screen or title) or bytes that are not UTF-8; they are shown as
// U+FFFD. Line feeds and tabs pass, and a character split between two writes is kept whole.
class TerminalTextBuffer final : public std::streambuf {
 public:
  explicit TerminalTextBuffer(std::streambuf* target) : target_(target) {}
  ~TerminalTextBuffer() override { flushPending(true); }
  // Writes a sequence of the program's own (a colour) unchanged, after what is pending.
  bool passThrough(std::string_view sequence);
  TerminalTextBuffer(const TerminalTextBuffer&) = delete;
  TerminalTextBuffer& operator=(const TerminalTextBuffer&) = delete;

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  // Passes what is pending on; all of it, or only the characters that are complete.
  bool flushPending(bool all);

  std::streambuf* target_;
  std::string pending_;
};

// Routes a stream through a TerminalTextBuffer while it lives, and restores it afterwards.
class TerminalTextGuard {
 public:
  explicit TerminalTextGuard(std::ostream& stream)
      : stream_(stream), buffer_(stream.rdbuf()), original_(stream.rdbuf(&buffer_)) {}
  ~TerminalTextGuard() {
    stream_.flush();
    stream_.rdbuf(original_);
  }
  TerminalTextGuard(const TerminalTextGuard&) = delete;
  TerminalTextGuard& operator=(const TerminalTextGuard&) = delete;

 private:
  std::ostream& stream_;
  TerminalTextBuffer buffer_;
  std::streambuf* original_;
};

}  // namespace kestrio::cli
