#include "platform/NetworkInterfaces.h"

#include <fnmatch.h>

#include <array>
#include <charconv>
#include <set>

namespace kestrio {
namespace {

// The kernel accepts at most 15 bytes in an interface name (IFNAMSIZ - 1).
constexpr std::size_t kMaxNameLength = 15;
// Receive: bytes packets errs drop fifo frame compressed multicast; transmit: the same eight.
constexpr std::size_t kCounterFields = 16;
constexpr std::size_t kReceivedBytesField = 0;
constexpr std::size_t kSentBytesField = 8;

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

// The names the kernel itself would accept. Anything else (a slash, a blank, "..") cannot be a
// real interface, and must never reach a path under /sys.
bool isValidName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameLength || name == "." || name == "..") return false;
  for (char c : name) {
    if (c == '/' || c == ':' || isBlank(c) || c == '\n' || c == '\0') return false;
  }
  return true;
}

// Splits the counters after the colon; false unless every one of the 16 is a whole unsigned
// 64-bit number. Further numeric fields, should a kernel ever add them, are tolerated.
bool parseCounters(std::string_view text, std::array<std::uint64_t, kCounterFields>& out) {
  std::size_t count = 0;
  while (true) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    if (text.empty()) break;
    std::size_t end = 0;
    while (end < text.size() && !isBlank(text[end])) ++end;
    std::string_view token = text.substr(0, end);
    std::uint64_t value = 0;
    auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec != std::errc() || ptr != token.data() + token.size()) return false;
    if (count < kCounterFields) out[count] = value;
    ++count;
    text.remove_prefix(end);
  }
  return count >= kCounterFields;
}

bool startsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// Mobile broadband by its name: wwan0 (ModemManager/MBIM), ww* (systemd's predictable names),
// rmnet* (Qualcomm modems in phones), ppp* (dial-up style modem links).
bool hasCellularName(std::string_view name) {
  return startsWith(name, "ww") || startsWith(name, "rmnet") || startsWith(name, "ppp");
}

// Wireless and wired Ethernet by their name: wl*/wlan* (Wi-Fi), en*/eth* (Ethernet).
bool hasWifiName(std::string_view name) {
  return startsWith(name, "wl") || startsWith(name, "en") || startsWith(name, "eth");
}

// Device types of links that carry traffic already counted on a physical interface.
bool isVirtualDevtype(std::string_view devtype) {
  static const std::set<std::string_view> kVirtual = {
      "bridge",  "bond",   "vlan",  "veth",      "tun",    "tap", "vxlan", "macvlan",
      "macvtap", "ipvlan", "dummy", "wireguard", "geneve", "ifb", "team",  "vrf"};
  return kVirtual.count(devtype) != 0;
}

bool matchesAny(const std::string& name, const std::vector<std::string>& patterns) {
  for (const std::string& pattern : patterns) {
    if (::fnmatch(pattern.c_str(), name.c_str(), 0) == 0) return true;
  }
  return false;
}

// Splits "NAME@INDEX" into the name and the index. The kernel allows '@' in names, so only a
// scripted file reads it this way, and only when INDEX is a whole positive number.
std::optional<std::uint32_t> splitIndex(std::string_view& name) {
  const std::size_t at = name.rfind('@');
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view digits = name.substr(at + 1);
  std::uint32_t index = 0;
  auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
  if (digits.empty() || ec != std::errc() || ptr != digits.data() + digits.size() || index == 0) {
    return std::nullopt;
  }
  name = name.substr(0, at);
  return index;
}

std::optional<std::vector<InterfaceCounters>> parseCountersText(std::string_view text,
                                                                bool scripted) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end == text.size() ? end : end + 1);
  }
  // The two header lines are what tells this text apart from any other file.
  if (lines.size() < 2 || trim(lines[0]).substr(0, 7) != "Inter-|" ||
      trim(lines[1]).substr(0, 6) != "face |") {
    return std::nullopt;
  }

  std::vector<InterfaceCounters> result;
  std::set<std::string, std::less<>> seen;
  for (std::size_t i = 2; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    // Names cannot hold a colon, so the first one ends the name; the counters may follow it
    // without a blank ("eth0:123 ...") once they grow wide.
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view name = trim(line.substr(0, colon));
    std::uint32_t index = 0;
    if (scripted) {
      if (auto given = splitIndex(name)) index = *given;
    }
    if (!isValidName(name)) continue;
    // One namespace never holds two interfaces of one name; a second line would count twice.
    if (seen.count(name) != 0) continue;
    std::array<std::uint64_t, kCounterFields> fields{};
    if (!parseCounters(line.substr(colon + 1), fields)) continue;

    InterfaceCounters counters;
    counters.name = std::string(name);
    counters.received = fields[kReceivedBytesField];
    counters.sent = fields[kSentBytesField];
    // A default only: LinuxPlatform replaces it with IFF_LOOPBACK from sysfs when it can.
    counters.loopback = name == "lo";
    counters.index = index;
    seen.insert(counters.name);
    result.push_back(std::move(counters));
  }
  return result;
}

}  // namespace

std::optional<std::vector<InterfaceCounters>> parseProcNetDev(std::string_view text) {
  return parseCountersText(text, false);
}

std::optional<std::vector<InterfaceCounters>> parseScriptedCounters(std::string_view text) {
  return parseCountersText(text, true);
}

// The rules, in order:
//  - loopback (by flag or the name "lo") never counts;
//  - when sysfs knows the interface:
//      DEVTYPE=wwan is cellular; DEVTYPE=wlan, phy80211 or wireless/ is Wi-Fi;
//      a virtual device type (bridge, vlan, bond, veth, tun, ...) never counts;
//      a mobile-broadband name (wwan*, ww*, rmnet*, ppp*) is cellular even without a DEVTYPE,
//      since modem links are often virtual devices on top of the modem;
//      any other link on a physical device (device/ present) is wired Ethernet, which counts
//      with Wi-Fi as the unmetered network; without a device it is virtual and never counts;
//  - when sysfs does not know it (counters from another namespace or a scripted file), by name:
//      wwan*/ww*/rmnet*/ppp* cellular, wl*/wlan*/en*/eth* Wi-Fi, anything else (docker*, br-*,
//      veth*, virbr*, tun*, tap*, vnet*) never.
InterfaceKind classifyInterface(std::string_view name, const InterfaceFacts& facts) {
  if (name == "lo") return InterfaceKind::Neither;
  if (facts.known) {
    if (facts.loopback) return InterfaceKind::Neither;
    if (facts.devtype == "wwan") return InterfaceKind::Cellular;
    if (facts.devtype == "wlan" || facts.wireless) return InterfaceKind::Wifi;
    if (isVirtualDevtype(facts.devtype)) return InterfaceKind::Neither;
    if (hasCellularName(name)) return InterfaceKind::Cellular;
    return facts.physicalDevice ? InterfaceKind::Wifi : InterfaceKind::Neither;
  }
  if (hasCellularName(name)) return InterfaceKind::Cellular;
  if (hasWifiName(name)) return InterfaceKind::Wifi;
  return InterfaceKind::Neither;
}

InterfaceKind applyMetered(InterfaceKind automatic, const ActiveConnection* connection) {
  if (automatic == InterfaceKind::Neither || connection == nullptr) return automatic;
  return connection->metered ? InterfaceKind::Cellular : InterfaceKind::Wifi;
}

InterfaceKind applyOverrides(std::string_view name, InterfaceKind automatic,
                             const InterfaceOverrides& overrides) {
  const std::string text(name);
  if (overrides.cellular && matchesAny(text, *overrides.cellular)) return InterfaceKind::Cellular;
  if (overrides.wifi && matchesAny(text, *overrides.wifi)) return InterfaceKind::Wifi;
  // A list the user gave replaces the automatic choice for its network entirely.
  if (automatic == InterfaceKind::Cellular && overrides.cellular) return InterfaceKind::Neither;
  if (automatic == InterfaceKind::Wifi && overrides.wifi) return InterfaceKind::Neither;
  return automatic;
}

}  // namespace kestrio
