#include "platform/MailClient.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace kestrio {
namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string lowered(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

void appendUtf8(std::string& out, std::uint32_t code) {
  if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Decodes the entity at the start of `s` ("&amp;..."); answers how many characters it used, 0
// when it is not one we know (the '&' then stays as it is).
std::size_t decodeEntity(std::string_view s, std::string& out) {
  std::size_t end = s.find(';');
  if (end == std::string_view::npos || end > 10) return 0;
  std::string_view name = s.substr(1, end - 1);
  static constexpr std::pair<std::string_view, std::string_view> kNamed[] = {
      {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}, {"nbsp", " "}};
  for (auto [entity, text] : kNamed) {
    if (name == entity) {
      out += text;
      return end + 1;
    }
  }
  if (name.size() >= 2 && name[0] == '#') {
    const bool hex = name[1] == 'x' || name[1] == 'X';
    std::string digits(name.substr(hex ? 2 : 1));
    if (digits.empty()) return 0;
    char* stop = nullptr;
    unsigned long code = std::strtoul(digits.c_str(), &stop, hex ? 16 : 10);
    if (*stop != '\0') return 0;
    appendUtf8(out, code > 0x10FFFF ? 0xFFFD : static_cast<std::uint32_t>(code));
    return end + 1;
  }
  return 0;
}

// The tag's name in lower case, without the closing slash ("td" for "</TD class=x>").
std::string tagName(std::string_view tag, bool* closing) {
  std::size_t at = 0;
  *closing = !tag.empty() && tag[0] == '/';
  if (*closing) at = 1;
  std::size_t end = at;
  while (end < tag.size() && !isBlank(tag[end]) && tag[end] != '/' && tag[end] != '>') ++end;
  return lowered(tag.substr(at, end - at));
}

bool isLineBreakTag(const std::string& name, bool closing) {
  if (name == "br" || name == "tr" || name == "li" || name == "p" || name == "pre") return true;
  if (!closing) return false;
  return name == "div" || name == "table" || name == "ul" || name == "ol" ||
         (name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6');
}

// Removes blanks at the ends of every line and blank lines at the ends of the text.
std::string tidyLines(const std::string& text) {
  std::string out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    out += line;
    out += '\n';
    start = end + 1;
  }
  std::size_t first = out.find_first_not_of('\n');
  if (first == std::string::npos) return {};
  std::size_t last = out.find_last_not_of('\n');
  return out.substr(first, last - first + 1);
}

std::string wrappedHtml(const std::string& body) {
  if (lowered(body).find("<html") != std::string::npos) return body;
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"></head><body>\n" + body +
         "\n</body></html>\n";
}

}  // namespace

std::string plainTextFromHtml(std::string_view html) {
  std::string text;
  bool pendingBlank = false;
  std::string skipUntil;  // the closing tag of a <style> or <script> being skipped
  int preformatted = 0;   // inside <pre>, whose blanks line up the columns of a table
  std::size_t i = 0;
  while (i < html.size()) {
    char c = html[i];
    if (c == '<') {
      std::size_t end = html.find('>', i);
      if (end == std::string_view::npos) break;  // a cut-off tag shows nothing
      bool closing = false;
      std::string name = tagName(html.substr(i + 1, end - i - 1), &closing);
      i = end + 1;
      if (!skipUntil.empty()) {
        if (closing && name == skipUntil) skipUntil.clear();
        continue;
      }
      if (name == "pre") preformatted = closing ? std::max(0, preformatted - 1) : preformatted + 1;
      if (!closing && (name == "style" || name == "script")) {
        skipUntil = name;
      } else if (isLineBreakTag(name, closing)) {
        // One break however many block ends meet ("</h1><table><tr>").
        if (!text.empty() && text.back() != '\n') text += '\n';
        pendingBlank = false;
      } else if (closing && (name == "td" || name == "th")) {
        text += '\t';
        pendingBlank = false;
      }
      continue;
    }
    ++i;
    if (!skipUntil.empty()) continue;
    if (preformatted > 0 && (c == ' ' || c == '\t' || c == '\n')) {
      if (pendingBlank && !text.empty() && text.back() != '\n' && text.back() != '\t') text += ' ';
      pendingBlank = false;
      text += c;
      continue;
    }
    if (isBlank(c)) {
      pendingBlank = true;
      continue;
    }
    if (pendingBlank && !text.empty() && text.back() != '\n' && text.back() != '\t') text += ' ';
    pendingBlank = false;
    if (c == '&') {
      std::size_t used = decodeEntity(html.substr(i - 1), text);
      if (used > 0) {
        i += used - 1;
        continue;
      }
    }
    text += c;
  }
  return tidyLines(text);
}

MailClientCall xdgEmailCall(const MailMessage& message, const std::string& htmlPath) {
  MailClientCall call;
  call.arguments = {"xdg-email", "--utf8"};
  auto add = [&](const char* option, const std::string& value) {
    if (value.empty()) return;
    call.arguments.emplace_back(option);
    call.arguments.push_back(value);
  };
  add("--subject", message.subject);
  if (message.bodyIsHtml) {
    add("--body", plainTextFromHtml(message.body));
    if (!message.body.empty()) call.htmlFileContent = wrappedHtml(message.body);
  } else {
    add("--body", message.body);
  }
  if (call.htmlFileContent) add("--attach", htmlPath);
  for (const MailMessage::Attachment& attachment : message.attachments) {
    add("--attach", attachment.path);
  }
  for (const std::string& recipient : message.recipients) add("--to", recipient);
  return call;
}

int runProgram(const std::vector<std::string>& arguments, std::string* output) {
  if (arguments.empty()) return -1;
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  int pipeFds[2] = {-1, -1};
  if (output != nullptr && ::pipe2(pipeFds, O_CLOEXEC) != 0) return -1;

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) {
    if (output != nullptr) {
      ::close(pipeFds[0]);
      ::close(pipeFds[1]);
    }
    return -1;
  }
  int failed = posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (output != nullptr) {
    if (failed == 0) failed = posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  } else if (failed == 0) {
    // A mail client's chatter must not mix with Kestrio's own output (`status --json`).
    failed = posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = -1;
  if (failed == 0) failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);

  if (output != nullptr) {
    ::close(pipeFds[1]);
    if (failed == 0) {
      char buffer[4096];
      for (;;) {
        ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        output->append(buffer, static_cast<std::size_t>(n));
      }
    }
    ::close(pipeFds[0]);
  }
  if (failed != 0) return -1;

  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool isOnPath(std::string_view program) {
  if (program.empty()) return false;
  if (program.find('/') != std::string_view::npos) {
    return ::access(std::string(program).c_str(), X_OK) == 0;
  }
  const char* path = std::getenv("PATH");
  std::string_view directories = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  while (true) {
    std::size_t end = directories.find(':');
    std::string_view directory = directories.substr(0, end);
    std::string candidate = directory.empty() ? "." : std::string(directory);
    candidate += "/";
    candidate += program;
    if (::access(candidate.c_str(), X_OK) == 0) return true;
    if (end == std::string_view::npos) return false;
    directories.remove_prefix(end + 1);
  }
}

}  // namespace kestrio
