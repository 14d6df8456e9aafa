#include "platform/ApplicationName.h"

#include <optional>

#include "platform/SafeText.h"

namespace kestrio {
namespace {

bool endsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

bool startsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

bool digitsOnly(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// systemd's unit-name escapes ("\x2d" for a dash inside a name); nothing when malformed.
std::optional<std::string> unescapeUnit(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (i + 3 >= text.size() || text[i + 1] != 'x') return std::nullopt;
    auto hex = [](char c) -> int {
      if (c >= '0' && c <= '9') return c - '0';
      if (c >= 'a' && c <= 'f') return c - 'a' + 10;
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      return -1;
    };
    const int high = hex(text[i + 2]);
    const int low = hex(text[i + 3]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 3;
  }
  return out;
}

// An application id a desktop entry's file may be named after: no path separators, no hidden
// or parent names.
bool plausibleId(std::string_view id) {
  return !id.empty() && id.front() != '.' && id.find('/') == std::string_view::npos;
}

// The ids an "app-…" unit carries (see ApplicationUnit).
std::vector<std::string> idsOf(std::string_view unit) {
  std::string_view body;
  if (endsWith(unit, ".scope")) {
    // The scope's instance number is required: "app-LAUNCHER-ID-N.scope".
    body = unit.substr(4, unit.size() - 4 - 6);
    const std::size_t dash = body.rfind('-');
    if (dash == std::string_view::npos || !digitsOnly(body.substr(dash + 1))) {
      // Not of the standard form: the whole body is the best guess.
    } else {
      body = body.substr(0, dash);
    }
  } else {
    body = unit.substr(4, unit.size() - 4 - 8);
    body = body.substr(0, body.find('@'));
  }
  std::vector<std::string> ids;
  auto add = [&](std::string_view candidate) {
    std::optional<std::string> id = unescapeUnit(candidate);
    if (id && plausibleId(*id)) ids.push_back(std::move(*id));
  };
  if (const std::size_t dash = body.find('-'); dash != std::string_view::npos) {
    add(body.substr(dash + 1));
  }
  add(body);
  return ids;
}

// The value of `key` in the [Desktop Entry] group, its escapes undone; empty when absent.
std::string desktopValue(std::string_view entry, std::string_view key) {
  bool inGroup = false;
  while (!entry.empty()) {
    const std::size_t end = entry.find('\n');
    std::string_view line = entry.substr(0, end);
    entry = end == std::string_view::npos ? std::string_view() : entry.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (startsWith(line, "[")) {
      inGroup = line == "[Desktop Entry]";
      continue;
    }
    if (!inGroup || !startsWith(line, key)) continue;
    std::string_view rest = line.substr(key.size());
    while (startsWith(rest, " ")) rest.remove_prefix(1);
    if (!startsWith(rest, "=")) continue;  // "Name[de]=" and "NameX=" are other keys
    rest.remove_prefix(1);
    while (startsWith(rest, " ")) rest.remove_prefix(1);
    std::string value;
    for (std::size_t i = 0; i < rest.size(); ++i) {
      if (rest[i] != '\\' || i + 1 == rest.size()) {
        value += rest[i];
        continue;
      }
      switch (rest[++i]) {
        case 's':
          value += ' ';
          break;
        case 'n':
        case 't':
        case 'r':
          value += ' ';
          break;
        default:
          value += rest[i];
      }
    }
    return text::forTerminal(value);
  }
  return {};
}

}  // namespace

ApplicationUnit applicationUnit(std::string_view cgroupPath) {
  ApplicationUnit found;
  while (!cgroupPath.empty()) {
    const std::size_t slash = cgroupPath.find('/');
    const std::string_view name = cgroupPath.substr(0, slash);
    cgroupPath =
        slash == std::string_view::npos ? std::string_view() : cgroupPath.substr(slash + 1);
    const bool scope = endsWith(name, ".scope");
    const bool service = endsWith(name, ".service");
    if (!scope && !service) continue;
    // A user's service manager and the manager's own scope are the system's, not applications.
    if (name == "init.scope" || (startsWith(name, "user@") && service)) {
      found = {};
      continue;
    }
    found.unit = std::string(name);
    found.ids = startsWith(name, "app-") ? idsOf(name) : std::vector<std::string>{};
  }
  return found;
}

ApplicationName nameApplication(FileSystem& files, const std::vector<std::string>& dataDirectories,
                                std::string_view cgroupPath) {
  const ApplicationUnit unit = applicationUnit(cgroupPath);
  if (unit.unit.empty()) {
    return {std::string(kSystemApplication), std::string(kSystemApplication), {}};
  }
  for (const std::string& id : unit.ids) {
    for (const std::string& directory : dataDirectories) {
      const std::optional<std::string> entry =
          files.read(directory + "/applications/" + id + ".desktop");
      if (!entry) continue;
      std::string name = desktopValue(*entry, "Name");
      if (name.empty()) name = id;
      return {id, std::move(name), desktopValue(*entry, "Icon")};
    }
  }
  std::string key = unit.ids.empty() ? unit.unit : unit.ids.front();
  return {key, key, {}};
}

}  // namespace kestrio
