#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Stored.h"

namespace kestrio {

class OutputFile;

// Held while a process owns the documents directory's lock; releasing it is destruction.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// The plain operations on files: each one takes effect at once (a change of several files as one
// unit is a transaction, see Transactions.h). Paths are absolute. Failures are logged by the
// implementation and answered with false, nothing or a failed Stored; no operation throws.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The room a read of `size` bytes reserves: appending a record to a large archive then grows it
  // in place instead of moving megabytes to a new buffer; a small file gets little to spare.
  static std::size_t readCapacity(std::size_t size) {
    return size + std::min<std::size_t>(64 * 1024, size / 16);
  }
  // The directory part of a path: "." without a slash, "/" for a file at the root.
  static std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
  }

  virtual bool exists(const std::string& path) = 0;
  // The whole file, or nothing when it is missing or cannot be read.
  virtual std::optional<std::string> read(const std::string& path) = 0;
  // Replaces the file as a whole: a temporary beside it is written, synced and renamed over the
  // old one, then the directory is synced. On false the old file is untouched and no temporary
  // is left behind.
  virtual bool writeAtomically(const std::string& path, std::string_view data) = 0;
  // As writeAtomically, but the bytes are handed over: a change that is staged keeps them
  // without a copy, so a large archive is not held twice.
  virtual bool writeAtomicallyTaking(const std::string& path, std::string&& data) {
    return writeAtomically(path, data);
  }
  enum class Edit { kNotEdited, kStored, kNotStored };
  // Changes a file where it is: `edit` gets its bytes and answers whether it changed them, and
  // must leave them as they were when it answers false. A staged file is edited in its staging
  // buffer, so appending to a large archive twice in one change never copies it. kNotEdited
  // when the file is missing or unreadable or `edit` declined; kNotStored when the edited bytes
  // could not be written (logged).
  virtual Edit editInPlace(const std::string& path, const std::function<bool(std::string&)>& edit) {
    std::optional<std::string> bytes = read(path);
    if (!bytes || !edit(*bytes)) return Edit::kNotEdited;
    return writeAtomicallyTaking(path, std::move(*bytes)) ? Edit::kStored : Edit::kNotStored;
  }
  virtual bool rename(const std::string& from, const std::string& to) = 0;
  // As rename, answering the system's reason when it fails ("Operation not permitted").
  virtual Stored replace(const std::string& from, const std::string& to) {
    return rename(from, to) ? Stored() : Stored::failure("");
  }
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
  // As lock, but shared with other readers: a process that only looks waits for a change being
  // installed and keeps others from installing one while it reads, and never creates the lock
  // file (a missing one gives a lock that holds nothing: no change was ever made there).
  virtual std::unique_ptr<FileLock> lockShared(const std::string& path) { return lock(path); }
  // Why the last lock or tryLock answered nothing, for the line a command reports
  // ("kestrio.lock is a symbolic link, which is never followed"); empty when it did not, or
  // when nothing more is known.
  virtual std::string lastLockFailure() const { return {}; }
  // As writeAtomically, but the directory is not synced: a caller that writes several files of
  // one directory syncs it once for all of them (syncDirectory).
  virtual bool writeWithoutDirectorySync(const std::string& path, std::string_view data) {
    return writeAtomically(path, data);
  }
  // Writes several files as writeWithoutDirectorySync does, all of them synced before any is
  // renamed into place, so that one flush of the disk can serve them all. On a failure, some
  // may be in place and the others are not, `failedPath` names the one that failed, the reason
  // is the system's ("No space left on device"; empty where there is none), and nothing else is
  // left behind.
  using FileContents = std::vector<std::pair<std::string, std::string_view>>;
  virtual Stored writeAllWithoutDirectorySync(const FileContents& files, std::string& failedPath) {
    for (const auto& [path, data] : files) {
      if (!writeWithoutDirectorySync(path, data)) {
        failedPath = path;
        return Stored::failure("");
      }
    }
    return {};
  }
  // Makes the renames and removals in a directory durable. A failure (logged) carries the
  // system's reason.
  virtual Stored syncDirectory(const std::string& directory) {
    (void)directory;
    return {};
  }
  // A handle that writes `path` piece by piece and installs it whole at its commit (see
  // OutputFile.h); nothing when it cannot be opened. The default keeps the bytes until the
  // commit and hands them to writeAtomically.
  virtual std::unique_ptr<OutputFile> createFile(const std::string& path);
};

}  // namespace kestrio
