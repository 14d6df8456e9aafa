#include "accountd/Access.h"

#include <charconv>

namespace kestrio::accountd {

std::optional<uid_t> cgroupOwner(std::string_view path) {
  constexpr std::string_view kPrefix = "user@";
  constexpr std::string_view kSuffix = ".service";
  while (!path.empty()) {
    const std::size_t slash = path.find('/');
    const std::string_view name = path.substr(0, slash);
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    if (name.size() <= kPrefix.size() + kSuffix.size() ||
        name.substr(0, kPrefix.size()) != kPrefix ||
        name.substr(name.size() - kSuffix.size()) != kSuffix) {
      continue;
    }
    const std::string_view digits =
        name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
    uid_t uid = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), uid);
    // "user@01000.service" is not the manager of 1000: systemd never writes one.
    if (ec != std::errc() || end != digits.data() + digits.size() ||
        (digits.size() > 1 && digits.front() == '0')) {
      return std::nullopt;
    }
    return uid;
  }
  return std::nullopt;
}

bool visibleTo(uid_t caller, std::string_view path) {
  if (caller == 0) return true;
  const std::optional<uid_t> owner = cgroupOwner(path);
  return owner && *owner == caller;
}

}  // namespace kestrio::accountd
