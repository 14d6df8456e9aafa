#pragma once

#include <string>

namespace kestrio {

// Whether `path` is `directory` or lies inside it, once links, "." and ".." are resolved as far
// as the path exists. An export named so would write over Kestrio's own files (its archives,
// its lock), so such a target is refused.
bool isWithinDirectory(const std::string& path, const std::string& directory);

}  // namespace kestrio
