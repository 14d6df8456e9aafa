#include "platform/AccountingProtocol.h"

#include <charconv>

namespace kestrio::accounting {
namespace {

bool printable(char c) {
  return c >= 0x20 && c < 0x7f;
}

template <typename Number>
std::optional<Number> decimal(std::string_view text) {
  Number value = 0;
  if (text.empty() || text.size() > 20) return std::nullopt;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// The fields of one line split at tabs.
std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> out;
  for (;;) {
    const std::size_t tab = line.find('\t');
    out.push_back(line.substr(0, tab));
    if (tab == std::string_view::npos) return out;
    line.remove_prefix(tab + 1);
  }
}

std::optional<Entry> parseEntry(std::string_view line) {
  const std::vector<std::string_view> parts = fields(line);
  if (parts.size() != 5) return std::nullopt;
  Entry entry;
  std::optional<std::string> path = unescapePath(parts[0]);
  auto netns = decimal<std::uint64_t>(parts[1]);
  auto ifindex = decimal<std::uint32_t>(parts[2]);
  auto received = decimal<std::uint64_t>(parts[3]);
  auto sent = decimal<std::uint64_t>(parts[4]);
  if (!path || path->empty() || path->front() != '/' || path->size() > kMaxPathBytes || !netns ||
      !ifindex || !received || !sent) {
    return std::nullopt;
  }
  return Entry{std::move(*path), *netns, *ifindex, *received, *sent};
}

}  // namespace

Request parseRequest(std::string_view bytes) {
  if (bytes.size() > kMaxRequestBytes) return {std::nullopt, "request too long"};
  const std::size_t end = bytes.find('\n');
  if (end == std::string_view::npos) return {std::nullopt, "request not ended by a line break"};
  if (end + 1 != bytes.size()) return {std::nullopt, "more than one request line"};
  const std::string_view line = bytes.substr(0, end);
  for (char c : line) {
    if (!printable(c)) return {std::nullopt, "request holds a control or non-ASCII byte"};
  }
  constexpr std::string_view kName = "kestrio-accountd ";
  if (line.substr(0, kName.size()) != kName)
    return {std::nullopt, "not a kestrio-accountd request"};
  std::string_view rest = line.substr(kName.size());
  const std::size_t space = rest.find(' ');
  if (space == std::string_view::npos) return {std::nullopt, "request without a command"};
  const std::string_view digits = rest.substr(0, space);
  const auto version = decimal<int>(digits);
  // One spelling per version: "01" is not 1.
  if (!version || std::to_string(*version) != digits) {
    return {std::nullopt, "request without a version"};
  }
  if (*version != kVersion) return {std::nullopt, "unsupported version"};
  if (rest.substr(space + 1) != "counters") return {std::nullopt, "unknown command"};
  return {Command::Counters, {}};
}

std::string errorLine(std::string_view reason) {
  std::string line = "error ";
  for (char c : reason) line += printable(c) ? c : '?';
  return line + "\n";
}

std::string answerHeader() {
  return "ok " + std::to_string(kVersion) + "\n";
}

std::string entryLine(const Entry& entry) {
  std::string line = escapePath(entry.cgroup);
  for (std::uint64_t n :
       {entry.netnsCookie, std::uint64_t{entry.ifindex}, entry.received, entry.sent}) {
    line += '\t';
    line += std::to_string(n);
  }
  return line + "\n";
}

std::string answerEnd() {
  return "end\n";
}

Answer parseAnswer(std::string_view bytes) {
  Answer answer;
  const std::size_t first = bytes.find('\n');
  if (first == std::string_view::npos) {
    answer.error = "the service's answer ended early";
    return answer;
  }
  const std::string_view header = bytes.substr(0, first);
  if (header.substr(0, 6) == "error ") {
    answer.error = "the service refused the request: " + std::string(header.substr(6));
    return answer;
  }
  if (header != "ok " + std::to_string(kVersion)) {
    answer.error = "the service answered in an unknown form";
    return answer;
  }
  bytes.remove_prefix(first + 1);
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    if (end == std::string_view::npos) break;
    const std::string_view line = bytes.substr(0, end);
    bytes.remove_prefix(end + 1);
    if (line == "end") {
      if (!bytes.empty()) break;
      answer.ok = true;
      return answer;
    }
    std::optional<Entry> entry = parseEntry(line);
    if (!entry) {
      answer.entries.clear();
      answer.error = "the service's answer holds a malformed line";
      return answer;
    }
    answer.entries.push_back(std::move(*entry));
  }
  answer.entries.clear();
  answer.error = "the service's answer ended early";
  return answer;
}

std::string escapePath(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (char c : path) {
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::optional<std::string> unescapePath(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\t' || c == '\n') return std::nullopt;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case 't':
        out += '\t';
        break;
      case 'n':
        out += '\n';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        return std::nullopt;
    }
  }
  return out;
}

}  // namespace kestrio::accounting
