#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrio::accounting {

// What kestrio-accountd and its clients say to each other over the service's Unix socket: one
// request line per connection, answered by a header line, one line per counter and an end line,
// after which the service closes the connection.
//
//   request:  "kestrio-accountd 1 counters\n"
//   answer:   "ok 1\n"
//             "CGROUP-PATH\tNETNS-COOKIE\tIFINDEX\tRECEIVED\tSENT\n" ...
//             "end\n"
//   or:       "error REASON\n"
//
// The cgroup path is relative to the cgroup v2 hierarchy's root and starts with "/"; a tab, a
// line break and a backslash in it are written "\t", "\n" and "\\". Counts are the bytes since
// the service first counted, in decimal.

inline constexpr int kVersion = 1;
inline constexpr std::string_view kCountersRequest = "kestrio-accountd 1 counters\n";
// A request longer than this is refused without being read further.
inline constexpr std::size_t kMaxRequestBytes = 256;
// A cgroup path longer than this is neither stored nor answered.
inline constexpr std::size_t kMaxPathBytes = 1024;
// The answer a client reads at most: room for every entry the service can hold.
inline constexpr std::size_t kMaxAnswerBytes = 64u << 20;
inline constexpr std::string_view kDefaultSocketPath = "/run/kestrio-accountd/socket";

// One counter: the bytes a cgroup's sockets received and sent over one interface.
struct Entry {
  std::string cgroup;
  std::uint64_t netnsCookie = 0;
  std::uint32_t ifindex = 0;
  std::uint64_t received = 0;
  std::uint64_t sent = 0;
  bool operator==(const Entry&) const = default;
};

enum class Command { Counters };

// A request as the service read it: the command, or why it is refused (a text for the error
// line: printable, without the request's own bytes).
struct Request {
  std::optional<Command> command;
  std::string error;
};

// Parses everything a client sent: exactly one line, ended by a line break, of printable ASCII.
Request parseRequest(std::string_view bytes);

std::string errorLine(std::string_view reason);
std::string answerHeader();
std::string entryLine(const Entry& entry);
std::string answerEnd();

// The answer as a client read it: the entries when it was whole and well formed, else why not.
struct Answer {
  bool ok = false;
  std::vector<Entry> entries;
  std::string error;
};
Answer parseAnswer(std::string_view bytes);

std::string escapePath(std::string_view path);
// Nothing when the text holds an unknown escape or an unescaped tab or line break.
std::optional<std::string> unescapePath(std::string_view text);

}  // namespace kestrio::accounting
