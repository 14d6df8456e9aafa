#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrio {

// Held while a process owns the documents directory's lock; releasing it is destruction.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// The files of the documents directory. Paths are absolute. Failures are logged by the
// implementation and answered with false or nothing; no operation throws.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual bool exists(const std::string& path) = 0;
  // The whole file, or nothing when it is missing or cannot be read.
  virtual std::optional<std::string> read(const std::string& path) = 0;
  // Replaces the file as a whole: a temporary beside it is written, synced and renamed over the
  // old one, then the directory is synced. On false the old file is untouched and no temporary
  // is left behind.
  virtual bool writeAtomically(const std::string& path, std::string_view data) = 0;
  virtual bool rename(const std::string& from, const std::string& to) = 0;
  virtual bool remove(const std::string& path) = 0;
  // Names (not paths) of the entries of a directory, sorted; empty when it cannot be read.
  virtual std::vector<std::string> list(const std::string& directory) = 0;
  // Blocks until this process holds the exclusive lock on the lock file at `path` (created when
  // missing). Re-entrant within a process: a nested lock of the same path returns at once, and
  // the lock is released when the outermost holder is destroyed. Nothing when the lock file
  // cannot be opened or locked.
  virtual std::unique_ptr<FileLock> lock(const std::string& path) = 0;
  // As lock, but answers nothing at once when another process holds it.
  virtual std::unique_ptr<FileLock> tryLock(const std::string& path) = 0;
};

}  // namespace kestrio
