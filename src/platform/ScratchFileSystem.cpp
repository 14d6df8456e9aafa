#include "platform/ScratchFileSystem.h"

#include <algorithm>

namespace kestrio {

bool ScratchFileSystem::exists(const std::string& path) {
  if (auto changed = changed_.find(path); changed != changed_.end()) {
    return changed->second.has_value();
  }
  return disk_.exists(path);
}

std::optional<std::string> ScratchFileSystem::read(const std::string& path) {
  if (auto changed = changed_.find(path); changed != changed_.end()) return changed->second;
  return disk_.read(path);
}

bool ScratchFileSystem::writeAtomically(const std::string& path, std::string_view data) {
  changed_[path] = std::string(data);
  return true;
}

bool ScratchFileSystem::rename(const std::string& from, const std::string& to) {
  std::optional<std::string> bytes = read(from);
  if (!bytes) return false;
  changed_[to] = std::move(bytes);
  changed_[from] = std::nullopt;
  return true;
}

bool ScratchFileSystem::remove(const std::string& path) {
  const bool existed = exists(path);
  changed_[path] = std::nullopt;
  return existed;
}

std::vector<std::string> ScratchFileSystem::list(const std::string& directory) {
  std::vector<std::string> names = disk_.list(directory);
  for (const auto& [path, bytes] : changed_) {
    if (directoryOf(path) != directory) continue;
    const std::string name = path.substr(directory.size() + 1);
    const auto at = std::find(names.begin(), names.end(), name);
    if (bytes && at == names.end()) names.push_back(name);
    if (!bytes && at != names.end()) names.erase(at);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::unique_ptr<FileLock> ScratchFileSystem::lock(const std::string& path) {
  return disk_.lockShared(path);
}

std::unique_ptr<FileLock> ScratchFileSystem::tryLock(const std::string& path) {
  return disk_.lockShared(path);
}

std::unique_ptr<FileLock> ScratchFileSystem::lockShared(const std::string& path) {
  return disk_.lockShared(path);
}

}  // namespace kestrio
