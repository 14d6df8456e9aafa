#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Transactions.h"

namespace kestrio {

// The documents directory's files as one unit of change. Outside a transaction every operation
// goes straight to the disk. Inside one, writes and removals of the directory's files are staged
// in memory (reads and listings see them) and installed together at the outermost commit, in
// the manner of a redo journal:
//   1. every staged file is written beside its target as "NAME.kestrio-new" (synced);
//   2. the journal "kestrio.journal", naming what to install and what to remove, is written
//      atomically: this rename is the one commit point;
//   3. each "NAME.kestrio-new" is renamed over its target and removals are made;
//   4. the directory is synced and the journal removed.
// A process that dies before step 2 leaves only "*.kestrio-new" files, which the next holder of
// the documents lock discards; one that dies after it leaves a journal, which the next holder
// completes. Either way the directory holds the whole transaction or none of it. A commit whose
// installation cannot finish (a target that cannot be replaced) keeps its journal and answers a
// Pending failure; until a holder of the lock finishes it, every later transaction is refused,
// so no change is ever made over a half-installed one. Paths outside
// the directory (an export the user asked for) are never staged. A file of the directory is read
// from the disk once per transaction.
class TransactionalFileSystem final : public FileSystem, public Transactions {
 public:
  using Logger = std::function<void(std::string_view)>;

  TransactionalFileSystem(FileSystem& disk, std::string directory, std::string lockPath,
                          Logger log);

  bool exists(const std::string& path) override;
  std::optional<std::string> read(const std::string& path) override;
  bool writeAtomically(const std::string& path, std::string_view data) override;
  bool writeAtomicallyTaking(const std::string& path, std::string&& data) override;
  Edit editInPlace(const std::string& path, const std::function<bool(std::string&)>& edit) override;
  bool rename(const std::string& from, const std::string& to) override;
  bool remove(const std::string& path) override;
  std::vector<std::string> list(const std::string& directory) override;
  // Taking the documents lock (outermost) first completes or discards what an interrupted
  // process left, and removes temporaries of killed writes.
  std::unique_ptr<FileLock> lock(const std::string& path) override;
  std::unique_ptr<FileLock> tryLock(const std::string& path) override;
  std::string lastLockFailure() const override { return disk_.lastLockFailure(); }
  Stored syncDirectory(const std::string& directory) override {
    return disk_.syncDirectory(directory);
  }
  // Outside a transaction, or beyond the directory, the disk's own handle; inside, one whose file
  // is staged at its commit like any other write.
  std::unique_ptr<OutputFile> createFile(const std::string& path) override;

  void beginTransaction() override;
  void abortTransaction(const std::string& reason) override;
  Stored commitTransaction() override;
  bool inTransaction() const override { return depth_ > 0; }
  void afterCommit(std::function<void()> action) override;

  // Completes a committed but not installed transaction, or discards an uncommitted one, and
  // removes stale temporaries. Called under the documents lock. Answers why a committed
  // transaction could not be completed; it is retried at the next lock.
  Stored recover();

  static constexpr std::string_view kJournalName = "kestrio.journal";
  static constexpr std::string_view kStagedSuffix = ".kestrio-new";

 private:
  class Guard;
  struct Staged {
    std::optional<std::string> content;  // nothing: the file is removed
  };

  bool staged(const std::string& path) const;
  std::string nameOf(const std::string& path) const;
  std::string journalPath() const;
  enum class Installed { kNothing, kCommitted, kComplete };
  // Installs the staged set; unless kComplete, failure_ says why. kCommitted: the journal is
  // durable but some file is not yet in place.
  Installed install();
  void discardStagedFiles(const std::vector<std::string>& written);
  std::unique_ptr<FileLock> wrap(std::unique_ptr<FileLock> inner, const std::string& path);
  void released(const std::string& path);

  FileSystem& disk_;
  std::string directory_;
  std::string lockPath_;
  Logger log_;
  int depth_ = 0;
  int lockDepth_ = 0;
  std::string failure_;
  bool aborted_ = false;
  // Why an earlier process's committed transaction is not complete; empty when it is.
  std::string unfinished_;
  std::map<std::string, Staged> staged_;  // by path
  // What the open transaction read from the disk, by path (nothing: the file was missing).
  // Large files (the history of years) are read afresh instead of held twice.
  std::map<std::string, std::optional<std::string>> readCache_;
  static constexpr std::size_t kReadCacheLimit = 256 * 1024;
  std::vector<std::function<void()>> afterCommit_;
};

}  // namespace kestrio
