#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace kestrio {

// The files as they are, with every change kept in memory: a command that only looks (a status
// for a status bar, run every few seconds) runs the same refresh as one that stores, sees what
// it would store, and leaves every file as it found it. Locks are taken shared, so it waits for a
// change being installed and never keeps another reader out.
class ScratchFileSystem final : public FileSystem {
 public:
  explicit ScratchFileSystem(FileSystem& disk) : disk_(disk) {}

  bool exists(const std::string& path) override;
  std::optional<std::string> read(const std::string& path) override;
  bool writeAtomically(const std::string& path, std::string_view data) override;
  bool rename(const std::string& from, const std::string& to) override;
  bool remove(const std::string& path) override;
  std::vector<std::string> list(const std::string& directory) override;
  std::unique_ptr<FileLock> lock(const std::string& path) override;
  std::unique_ptr<FileLock> tryLock(const std::string& path) override;
  std::unique_ptr<FileLock> lockShared(const std::string& path) override;
  std::string lastLockFailure() const override { return disk_.lastLockFailure(); }

 private:
  FileSystem& disk_;
  // Files changed in memory: their bytes, or nothing for a file removed.
  std::map<std::string, std::optional<std::string>> changed_;
};

}  // namespace kestrio
