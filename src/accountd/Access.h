#pragma once

#include <sys/types.h>

#include <optional>
#include <string_view>

namespace kestrio::accountd {

// The user whose service manager a cgroup belongs to: the first "user@UID.service" on its path
// from the root ("/user.slice/user-1000.slice/user@1000.service/app.slice/…" is 1000's). A user
// may make cgroups below their own manager with any names, so only the first one counts.
std::optional<uid_t> cgroupOwner(std::string_view path);

// Whether a caller may read a cgroup's counters: root reads all, a user only their own.
bool visibleTo(uid_t caller, std::string_view path);

}  // namespace kestrio::accountd
