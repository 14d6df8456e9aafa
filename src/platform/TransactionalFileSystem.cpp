#include "platform/TransactionalFileSystem.h"

#include <algorithm>
#include <sstream>

#include "platform/OutputFile.h"

namespace kestrio {

namespace {

constexpr std::string_view kJournalHeader = "kestrio journal 1";
constexpr std::string_view kTemporaryMarker = ".tmp-";
constexpr std::size_t kCompareLimit = 256 * 1024;

struct JournalEntry {
  bool install = true;  // false: remove
  std::string name;
};

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::optional<std::vector<JournalEntry>> parseJournal(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kJournalHeader) return std::nullopt;
  std::vector<JournalEntry> entries;
  bool ended = false;
  while (std::getline(in, line)) {
    if (line == "end") {
      ended = true;
      break;
    }
    JournalEntry entry;
    if (line.rfind("install ", 0) == 0) {
      entry.name = line.substr(8);
    } else if (line.rfind("remove ", 0) == 0) {
      entry.install = false;
      entry.name = line.substr(7);
    } else {
      return std::nullopt;
    }
    // Only plain names of the directory: a damaged journal never reaches another file.
    if (entry.name.empty() || entry.name.find('/') != std::string::npos || entry.name == "." ||
        entry.name == "..") {
      return std::nullopt;
    }
    entries.push_back(std::move(entry));
  }
  if (!ended) return std::nullopt;
  return entries;
}

}  // namespace

class TransactionalFileSystem::Guard final : public FileLock {
 public:
  Guard(TransactionalFileSystem& files, std::unique_ptr<FileLock> inner, std::string path)
      : files_(files), inner_(std::move(inner)), path_(std::move(path)) {}
  ~Guard() override {
    inner_.reset();
    files_.released(path_);
  }
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;

 private:
  TransactionalFileSystem& files_;
  std::unique_ptr<FileLock> inner_;
  std::string path_;
};

TransactionalFileSystem::TransactionalFileSystem(FileSystem& disk, std::string directory,
                                                 std::string lockPath, Logger log)
    : disk_(disk),
      directory_(std::move(directory)),
      lockPath_(std::move(lockPath)),
      log_(std::move(log)) {}

bool TransactionalFileSystem::staged(const std::string& path) const {
  return depth_ > 0 && staged_.count(path) > 0;
}

std::string TransactionalFileSystem::nameOf(const std::string& path) const {
  return path.substr(path.rfind('/') + 1);
}

std::string TransactionalFileSystem::journalPath() const {
  return directory_ + "/" + std::string(kJournalName);
}

bool TransactionalFileSystem::exists(const std::string& path) {
  if (staged(path)) return staged_.at(path).content.has_value();
  return disk_.exists(path);
}

std::optional<std::string> TransactionalFileSystem::read(const std::string& path) {
  if (!staged(path)) {
    if (depth_ == 0 || directoryOf(path) != directory_) return disk_.read(path);
    // Under the documents lock no other process changes the directory: a file read once in
    // the transaction is the same when read again.
    if (auto cached = readCache_.find(path); cached != readCache_.end()) return cached->second;
    std::optional<std::string> bytes = disk_.read(path);
    if (!bytes || bytes->size() <= kReadCacheLimit) readCache_.emplace(path, bytes);
    return bytes;
  }
  const std::optional<std::string>& content = staged_.at(path).content;
  if (!content) return std::nullopt;
  // Room for what a caller appends, so that growing the copy does not move it once more.
  std::string copy;
  copy.reserve(readCapacity(content->size()));
  copy.append(*content);
  return copy;
}

bool TransactionalFileSystem::writeAtomically(const std::string& path, std::string_view data) {
  if (depth_ == 0 || directoryOf(path) != directory_) return disk_.writeAtomically(path, data);
  staged_[path] = Staged{std::string(data)};
  return true;
}

bool TransactionalFileSystem::writeAtomicallyTaking(const std::string& path, std::string&& data) {
  if (depth_ == 0 || directoryOf(path) != directory_) return disk_.writeAtomically(path, data);
  staged_[path] = Staged{std::move(data)};
  return true;
}

FileSystem::Edit TransactionalFileSystem::editInPlace(
    const std::string& path, const std::function<bool(std::string&)>& edit) {
  if (depth_ == 0 || !staged(path)) return FileSystem::editInPlace(path, edit);
  std::optional<std::string>& content = staged_.at(path).content;
  if (!content || !edit(*content)) return Edit::kNotEdited;
  return Edit::kStored;
}

std::unique_ptr<OutputFile> TransactionalFileSystem::createFile(const std::string& path) {
  if (depth_ == 0 || directoryOf(path) != directory_) return disk_.createFile(path);
  return FileSystem::createFile(path);
}

bool TransactionalFileSystem::rename(const std::string& from, const std::string& to) {
  if (staged(from)) {
    Staged moved = staged_.at(from);
    if (!moved.content) return false;
    staged_[from] = Staged{};
    if (directoryOf(to) == directory_) {
      staged_[to] = std::move(moved);
      return true;
    }
    return disk_.writeAtomically(to, *moved.content);
  }
  // Moving an unreadable file aside is not part of the transaction: it happens at once, and
  // nothing staged may shadow its new name.
  if (depth_ > 0) staged_.erase(to);
  readCache_.erase(from);
  readCache_.erase(to);
  return disk_.rename(from, to);
}

bool TransactionalFileSystem::remove(const std::string& path) {
  if (depth_ == 0 || directoryOf(path) != directory_) return disk_.remove(path);
  const bool existed = exists(path);
  staged_[path] = Staged{};
  return existed;
}

std::vector<std::string> TransactionalFileSystem::list(const std::string& directory) {
  std::vector<std::string> names = disk_.list(directory);
  if (depth_ == 0 || directory != directory_) return names;
  for (const auto& [path, entry] : staged_) {
    const std::string name = nameOf(path);
    auto at = std::find(names.begin(), names.end(), name);
    if (entry.content && at == names.end()) names.push_back(name);
    if (!entry.content && at != names.end()) names.erase(at);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::unique_ptr<FileLock> TransactionalFileSystem::wrap(std::unique_ptr<FileLock> inner,
                                                        const std::string& path) {
  if (!inner) return nullptr;
  if (path != lockPath_) return inner;
  // A committed change that cannot be completed is kept in unfinished_: every transaction of
  // this hold is refused with it.
  if (lockDepth_++ == 0) (void)recover();
  return std::make_unique<Guard>(*this, std::move(inner), path);
}

void TransactionalFileSystem::released(const std::string& path) {
  if (path == lockPath_ && lockDepth_ > 0) --lockDepth_;
}

std::unique_ptr<FileLock> TransactionalFileSystem::lock(const std::string& path) {
  return wrap(disk_.lock(path), path);
}

std::unique_ptr<FileLock> TransactionalFileSystem::tryLock(const std::string& path) {
  return wrap(disk_.tryLock(path), path);
}

void TransactionalFileSystem::beginTransaction() {
  if (depth_++ > 0) return;
  failure_.clear();
  aborted_ = false;
  if (!unfinished_.empty()) {
    // A change over a half-installed one would count on files that disagree with each other.
    failure_ = unfinished_;
    aborted_ = true;
  }
  staged_.clear();
  readCache_.clear();
  afterCommit_.clear();
}

void TransactionalFileSystem::abortTransaction(const std::string& reason) {
  if (depth_ == 0) {
    log_("Transaction: abort outside a transaction: " + reason);
    return;
  }
  if (!aborted_) failure_ = reason;
  aborted_ = true;
}

void TransactionalFileSystem::afterCommit(std::function<void()> action) {
  if (depth_ == 0) {
    action();
    return;
  }
  afterCommit_.push_back(std::move(action));
}

Stored TransactionalFileSystem::commitTransaction() {
  if (depth_ == 0) {
    log_("Transaction: commit outside a transaction");
    return {};
  }
  if (--depth_ > 0) return aborted_ ? Stored::failure(failure_) : Stored();

  const Installed installed = aborted_ ? Installed::kNothing : install();
  Stored result;
  if (installed == Installed::kCommitted) {
    log_("Transaction: " + failure_);
    result = Stored::pending(failure_);
  } else if (installed == Installed::kNothing) {
    // A step that ended before it changed anything (nothing due to deliver) loses nothing.
    if (!staged_.empty()) log_("Transaction: nothing was stored: " + failure_);
    result = Stored::failure(failure_);
  }
  failure_.clear();
  aborted_ = false;
  staged_.clear();
  readCache_.clear();
  std::vector<std::function<void()>> actions;
  actions.swap(afterCommit_);
  // A committed change is in effect for good: the next holder of the lock finishes installing it.
  if (installed != Installed::kNothing) {
    for (auto& action : actions) action();
  }
  return result;
}

void TransactionalFileSystem::discardStagedFiles(const std::vector<std::string>& written) {
  for (const std::string& path : written) {
    if (disk_.exists(path)) disk_.remove(path);
  }
}

TransactionalFileSystem::Installed TransactionalFileSystem::install() {
  if (staged_.empty()) return Installed::kComplete;
  // The commit and the installation happen under the documents lock, whoever began it.
  auto held = lock(lockPath_);
  if (!held) {
    const std::string why = disk_.lastLockFailure();
    failure_ =
        "the data directory " + directory_ + " cannot be locked" + (why.empty() ? "" : ": " + why);
    return Installed::kNothing;
  }
  if (!unfinished_.empty()) {
    failure_ = unfinished_;
    return Installed::kNothing;
  }

  std::vector<std::string> written;
  FileSystem::FileContents next;
  std::string journal = std::string(kJournalHeader) + "\n";
  bool anything = false;
  for (const auto& [path, entry] : staged_) {
    if (entry.content) {
      // A small file that already holds these bytes (settings read and stored again, a record
      // of the same counts) costs no write and no sync. A large one (the history) is staged only
      // when it changed, and reading it again would double the refresh's memory.
      // The bytes this transaction read serve for the comparison: under the lock they are what
      // the disk holds.
      if (entry.content->size() <= kCompareLimit) {
        const auto cached = readCache_.find(path);
        const std::optional<std::string> stored =
            cached != readCache_.end() ? cached->second : disk_.read(path);
        if (stored == entry.content) continue;
      }
      written.push_back(path + std::string(kStagedSuffix));
      next.emplace_back(written.back(), *entry.content);
      journal += "install " + nameOf(path) + "\n";
      anything = true;
    } else if (disk_.exists(path)) {
      journal += "remove " + nameOf(path) + "\n";
      anything = true;
    }
  }
  if (!anything) return Installed::kComplete;
  journal += "end\n";
  // The journal is written last of the batch: its name appears only once every staged file is
  // on the disk, and one flush serves them all. Syncing the directory then makes the journal's
  // name durable (the commit) together with the staged files' names.
  const std::string journalFile = journalPath();
  next.emplace_back(journalFile, journal);
  std::string failed;
  if (const Stored all = disk_.writeAllWithoutDirectorySync(next, failed); !all.ok()) {
    const std::string& why = all.reason();
    if (failed == journalFile) {
      failure_ = "could not store the journal" + (why.empty() ? "" : ": " + why);
    } else {
      const std::string path =
          failed.substr(0, failed.size() - std::min(failed.size(), kStagedSuffix.size()));
      log_("Writing data to file failed: " + path);
      failure_ = "could not store " + nameOf(path) + (why.empty() ? "" : ": " + why);
    }
    discardStagedFiles(written);
    return Installed::kNothing;
  }
  if (const Stored synced = disk_.syncDirectory(directory_); !synced.ok()) {
    // Whether the commit reached the disk is unknown: take it back, as if it never happened.
    const std::string& why = synced.reason();
    failure_ = "could not store the journal" + (why.empty() ? "" : ": " + why);
    disk_.remove(journalFile);
    discardStagedFiles(written);
    return Installed::kNothing;
  }
  // Committed: from here on the next holder of the lock finishes what this process may not.
  if (const Stored complete = recover(); !complete.ok()) {
    failure_ = "the change was kept but is not in place yet (" + complete.reason() +
               "); it is completed before anything else is stored";
    return Installed::kCommitted;
  }
  return Installed::kComplete;
}

Stored TransactionalFileSystem::recover() {
  unfinished_.clear();
  const std::string journal = journalPath();
  if (disk_.exists(journal)) {
    const std::optional<std::string> text = disk_.read(journal);
    const std::optional<std::vector<JournalEntry>> entries =
        text ? parseJournal(*text) : std::nullopt;
    std::string incomplete;  // the first step that failed
    if (entries) {
      for (const JournalEntry& entry : *entries) {
        const std::string path = directory_ + "/" + entry.name;
        std::string failed;
        if (entry.install) {
          const std::string next = path + std::string(kStagedSuffix);
          // A staged file already renamed was installed before the interruption.
          if (!disk_.exists(next)) continue;
          if (const Stored moved = disk_.replace(next, path); !moved.ok()) {
            failed = "could not replace " + entry.name +
                     (moved.reason().empty() ? "" : ": " + moved.reason());
          }
        } else if (disk_.exists(path) && !disk_.remove(path)) {
          failed = "could not remove " + entry.name;
        }
        if (incomplete.empty()) incomplete = failed;
      }
    } else {
      log_("Transaction: the journal " + journal + " cannot be read; its changes are discarded");
    }
    if (const Stored synced = disk_.syncDirectory(directory_); !synced.ok() && incomplete.empty()) {
      incomplete =
          "could not sync " + directory_ + (synced.reason().empty() ? "" : ": " + synced.reason());
    }
    // An installation that could not finish keeps its journal, so the next holder retries, and
    // no change is made until it is complete.
    if (!incomplete.empty() && entries) {
      log_("Transaction: installing " + journal + " did not finish (" + incomplete +
           "); it is retried later");
      unfinished_ = "an earlier change is not complete: " + incomplete;
      return Stored::pending(incomplete);
    }
    disk_.remove(journal);
  }
  // What is left is what no journal committed, and temporaries of writes that were killed.
  for (const std::string& name : disk_.list(directory_)) {
    if (endsWith(name, kStagedSuffix) || name.find(kTemporaryMarker) != std::string::npos) {
      disk_.remove(directory_ + "/" + name);
    }
  }
  return {};
}

}  // namespace kestrio
