#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/OutputFile.h"

namespace kestrio::testing {

// An in-memory file system. Each write can be made to fail at one of the steps of an atomic
// replacement; a failed replacement leaves the old content, as the real one must.
class FakeFileSystem final : public FileSystem {
 public:
  enum class Failure { None, Write, DiskFull, Sync, Rename };

  bool exists(const std::string& path) override { return files_.count(path) > 0; }
  std::optional<std::string> read(const std::string& path) override;
  bool writeAtomically(const std::string& path, std::string_view data) override;
  bool rename(const std::string& from, const std::string& to) override;
  Stored replace(const std::string& from, const std::string& to) override;
  bool remove(const std::string& path) override;
  std::vector<std::string> list(const std::string& directory) override;
  std::unique_ptr<FileLock> lock(const std::string& path) override;
  // Another process holds the lock when the test says so.
  std::unique_ptr<FileLock> tryLock(const std::string& path) override {
    return heldElsewhere.count(path) ? nullptr : lock(path);
  }
  std::string lastLockFailure() const override {
    return locksBeforeRefusal_ == 0 ? "kestrio.lock: Permission denied" : "";
  }
  std::set<std::string> heldElsewhere;
  // After `count` more locks are taken, every lock is refused (an unopenable lock file), for the
  // reason "kestrio.lock: Permission denied".
  void refuseLocksAfter(int count) { locksBeforeRefusal_ = count; }

  // Output handles install through writeAtomically at their commit (so failWrites fails them
  // there). The next handle cannot be opened when `failOpen`; with `failingWrite` n > 0, its
  // n-th write (from 1) fails.
  std::unique_ptr<OutputFile> createFile(const std::string& path) override;
  void failNextOutputFile(bool failOpen, int failingWrite = 0) {
    failOpen_ = failOpen;
    failingOutputWrite_ = failingWrite;
  }

  // The next `count` atomic writes (to `onlyPath` when given) fail at the given step.
  void failWrites(Failure failure, int count = 1, std::string onlyPath = "") {
    failure_ = failure;
    failuresLeft_ = count;
    failingPath_ = std::move(onlyPath);
  }
  // Crash injection: after `count` more changes (writes, renames, removals) the process is
  // taken to have died: every later change is lost. A new platform over a copy of `contents()`
  // plays the next process.
  void crashAfterChanges(int count) { changesBeforeCrash_ = count; }
  bool crashed() const { return changesBeforeCrash_ == 0; }
  // The change numbered `index` (0 is the next one) fails as on a full disk; the others work.
  void failChange(int index) { failingChange_ = changes_ + index; }
  // Changes made so far: writes, renames and removals.
  int changes() const { return changes_; }
  // How often each path was written.
  const std::map<std::string, int>& writesByPath() const { return writesByPath_; }
  // How often `path` was read, found or not.
  int readsOf(const std::string& path) const {
    auto it = readsByPath_.find(path);
    return it == readsByPath_.end() ? 0 : it->second;
  }

  // Files that cannot be replaced, renamed or removed (an immutable file) until taken out.
  std::set<std::string> immutable;

  // Makes reading the file fail although it exists (unreadable, I/O error).
  void makeUnreadable(const std::string& path) { unreadable_.push_back(path); }

  // Called with the path of every write, rename target and removal that took effect.
  std::function<void(const std::string& path)> onChange;

  // Direct access for arranging and inspecting test state.
  void put(const std::string& path, std::string content) { files_[path] = std::move(content); }
  const std::map<std::string, std::string>& contents() const { return files_; }
  int writeCount() const { return writes_; }
  // Writes made while no lock was held: a pass or a store update must never make one.
  int writesOutsideLock() const { return writesOutsideLock_; }
  int lockDepth(const std::string& path) const;
  int locksTaken() const { return locksTaken_; }

 private:
  class Guard;
  class Output;
  bool failOpen_ = false;
  int failingOutputWrite_ = 0;
  std::map<std::string, std::string> files_;
  std::map<std::string, int> lockDepth_;
  std::vector<std::string> unreadable_;
  Failure failure_ = Failure::None;
  int failuresLeft_ = 0;
  std::string failingPath_;
  // False when this change is lost (after a crash) or made to fail.
  bool change();

  int writes_ = 0;
  int changes_ = 0;
  int changesBeforeCrash_ = -1;
  int failingChange_ = -1;
  std::map<std::string, int> writesByPath_;
  int writesOutsideLock_ = 0;
  std::map<std::string, int> readsByPath_;
  int locksTaken_ = 0;
  int locksBeforeRefusal_ = -1;
};

}  // namespace kestrio::testing
