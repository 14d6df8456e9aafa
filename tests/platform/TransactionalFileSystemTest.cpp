#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/TransactionalFileSystem.h"
#include "support/FakeFileSystem.h"

namespace kestrio {
namespace {

using testing::FakeFileSystem;
using Files = std::map<std::string, std::string>;

const std::string kDir = "/home";
const std::string kLock = kDir + "/kestrio.lock";
const std::string kA = kDir + "/a.plist";
const std::string kB = kDir + "/b.archive";
const std::string kC = kDir + "/c.plist";

// A directory as a process found it, and the transaction it then ran: a and b rewritten, c
// removed.
const Files kBefore = {{kA, "a1"}, {kB, "b1"}, {kC, "c1"}};
const Files kAfter = {{kA, "a2"}, {kB, "b2"}};

void runTransaction(TransactionalFileSystem& files, std::vector<std::string>* shown = nullptr) {
  auto lock = files.lock(kLock);
  files.beginTransaction();
  files.writeAtomically(kA, "a-draft");
  files.writeAtomically(kA, "a2");
  files.writeAtomically(kB, "b2");
  files.remove(kC);
  if (shown) files.afterCommit([shown] { shown->push_back("shown"); });
  (void)files.commitTransaction();
}

struct Process {
  FakeFileSystem disk;
  std::vector<std::string> log;
  TransactionalFileSystem files{disk, kDir, kLock,
                                [this](std::string_view line) { log.emplace_back(line); }};
  explicit Process(const Files& contents) {
    for (const auto& [path, content] : contents) disk.put(path, content);
  }
};

// Under the documents lock nothing else changes the directory: a transaction reads each file
// from the disk once, compares what it stores with what it read, and forgets it all at the end.
TEST(TransactionalFileSystemTest, ReadsEachFileFromTheDiskOncePerTransaction) {
  Process p(kBefore);
  const std::string missing = kDir + "/missing.plist";
  {
    auto lock = p.files.lock(kLock);
    p.files.beginTransaction();
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(p.files.read(kA), "a1");
      EXPECT_EQ(p.files.read(missing), std::nullopt);
    }
    EXPECT_EQ(p.files.read(kB), "b1");
    p.files.writeAtomically(kB, "b1");  // stored again unchanged: no write at the commit
    p.files.writeAtomically(kA, "a2");
    EXPECT_EQ(p.files.read(kA), "a2");
    // A file moved aside at once is read afresh under both names.
    EXPECT_TRUE(p.files.rename(kC, kC + ".unreadable"));
    EXPECT_EQ(p.files.read(kC), std::nullopt);
    const int writes = p.disk.writeCount();
    EXPECT_TRUE(p.files.commitTransaction().ok());
    EXPECT_EQ(p.disk.writesByPath().count(kB), 0u);
    EXPECT_EQ(p.disk.writeCount(), writes + 2) << "a.plist and the journal";
  }
  EXPECT_EQ(p.disk.readsOf(kA), 1);
  EXPECT_EQ(p.disk.readsOf(kB), 1);
  EXPECT_EQ(p.disk.readsOf(missing), 1);
  EXPECT_EQ(p.disk.readsOf(kC), 1);
  // Outside a transaction, and in the next one, the disk is read again.
  EXPECT_EQ(p.files.read(kA), "a2");
  EXPECT_EQ(p.disk.readsOf(kA), 2);
}

TEST(TransactionalFileSystemTest, StagesUntilTheOutermostCommitAndInstallsEachFileOnce) {
  Process p(kBefore);
  auto lock = p.files.lock(kLock);
  p.files.beginTransaction();
  p.files.writeAtomically(kA, "a2");
  p.files.beginTransaction();  // a nested step joins
  p.files.writeAtomically(kA, "a3");
  p.files.remove(kC);
  EXPECT_TRUE(p.files.commitTransaction().ok());
  // The process sees its own changes; the disk does not yet.
  EXPECT_EQ(p.files.read(kA), "a3");
  EXPECT_FALSE(p.files.exists(kC));
  EXPECT_EQ(p.files.list(kDir), (std::vector<std::string>{"a.plist", "b.archive"}));
  EXPECT_EQ(p.disk.contents(), kBefore);

  EXPECT_TRUE(p.files.commitTransaction().ok());
  EXPECT_EQ(p.disk.contents(), (Files{{kA, "a3"}, {kB, "b1"}}));
  EXPECT_EQ(p.disk.writesByPath().at(kA + ".kestrio-new"), 1);
}

TEST(TransactionalFileSystemTest, AnAbortedTransactionInstallsNothingAndShowsNothing) {
  Process p(kBefore);
  std::vector<std::string> shown;
  auto lock = p.files.lock(kLock);
  p.files.beginTransaction();
  p.files.writeAtomically(kA, "a2");
  p.files.afterCommit([&] { shown.push_back("shown"); });
  p.files.abortTransaction("the interface counters cannot be read");
  const Stored stored = p.files.commitTransaction();
  EXPECT_FALSE(stored.ok());
  EXPECT_EQ(stored.reason(), "the interface counters cannot be read");
  EXPECT_EQ(p.disk.contents(), kBefore);
  EXPECT_TRUE(shown.empty());
}

TEST(TransactionalFileSystemTest, PathsOutsideTheDirectoryAreWrittenAtOnce) {
  Process p(kBefore);
  p.files.beginTransaction();
  p.files.writeAtomically("/elsewhere/export.csv", "x");
  EXPECT_EQ(p.disk.contents().at("/elsewhere/export.csv"), "x");
  p.files.abortTransaction("no");
  (void)p.files.commitTransaction();
}

// Whatever change of the commit fails (a full disk, an I/O error), nothing is installed, no
// staged file is left, and the effects after the commit are not run.
TEST(TransactionalFileSystemTest, AFailureAtAnyChangeOfTheCommitInstallsNothing) {
  Process clean(kBefore);
  runTransaction(clean.files);
  const int changes = clean.disk.changes();
  ASSERT_GT(changes, 3);
  for (int failing = 0; failing < changes; ++failing) {
    SCOPED_TRACE("failing change " + std::to_string(failing));
    Process p(kBefore);
    std::vector<std::string> shown;
    p.disk.failChange(failing);
    runTransaction(p.files, &shown);
    {
      auto lock = p.files.lock(kLock);  // the next process
    }
    const bool installed = p.disk.contents() == kAfter;
    // Only a failure after the commit point (an installing rename) may still install: then
    // the journal lets the next holder of the lock finish it.
    EXPECT_TRUE(installed || p.disk.contents() == kBefore) << "a mixture was installed";
    EXPECT_EQ(installed, !shown.empty());
  }
}

// A process killed at any change of the commit leaves the directory, once the next process has
// taken the lock, exactly as before or exactly as after: never a mixture, never a leftover.
TEST(TransactionalFileSystemTest, ACrashAtAnyChangeIsCompletedOrDiscardedByTheNextProcess) {
  Process clean(kBefore);
  runTransaction(clean.files);
  const int changes = clean.disk.changes();
  int completed = 0;
  for (int crash = 0; crash <= changes; ++crash) {
    SCOPED_TRACE("crash after " + std::to_string(crash) + " changes");
    Process first(kBefore);
    first.disk.crashAfterChanges(crash);
    runTransaction(first.files);

    Process next(first.disk.contents());
    { auto lock = next.files.lock(kLock); }
    const Files& left = next.disk.contents();
    EXPECT_TRUE(left == kBefore || left == kAfter) << "a mixture or a leftover remained";
    if (left == kAfter) ++completed;
  }
  // Crashes after the journal was written are completed, earlier ones discarded.
  EXPECT_GT(completed, 0);
  EXPECT_LT(completed, changes + 1);
}

// A committed change whose file cannot be put in place (an immutable target) is no success, and
// no later change is made over the half-installed directory: each holder of the lock retries it
// first, and refuses to store anything new until it is complete.
TEST(TransactionalFileSystemTest, AnInstallationThatCannotFinishIsRetriedBeforeAnyNewChange) {
  Process p(kBefore);
  p.disk.immutable.insert(kB);
  std::vector<std::string> shown;
  runTransaction(p.files, &shown);
  {
    auto lock = p.files.lock(kLock);
    p.files.beginTransaction();
    p.files.writeAtomically(kA, "a3");
    const Stored refused = p.files.commitTransaction();
    EXPECT_FALSE(refused.ok());
    EXPECT_NE(refused.reason().find("could not replace b.archive: Operation not permitted"),
              std::string::npos)
        << refused.reason();
  }
  EXPECT_TRUE(p.disk.exists(kDir + "/kestrio.journal"));
  EXPECT_EQ(p.disk.contents().at(kA), "a2") << "installed before the target that failed";
  EXPECT_EQ(p.disk.contents().at(kB), "b1");
  EXPECT_EQ(shown.size(), 1u) << "the change is committed: its effects are not lost";

  p.disk.immutable.clear();
  auto lock = p.files.lock(kLock);
  EXPECT_EQ(p.disk.contents(), kAfter);
  p.files.beginTransaction();
  p.files.writeAtomically(kA, "a3");
  EXPECT_TRUE(p.files.commitTransaction().ok());
  EXPECT_EQ(p.disk.contents().at(kA), "a3");
}

TEST(TransactionalFileSystemTest, ACommitThatCannotBeInstalledAnswersPending) {
  Process p(kBefore);
  p.disk.immutable.insert(kC);
  auto lock = p.files.lock(kLock);
  p.files.beginTransaction();
  p.files.remove(kC);
  const Stored stored = p.files.commitTransaction();
  EXPECT_TRUE(stored.isPending());
  EXPECT_NE(stored.reason().find("could not remove c.plist"), std::string::npos) << stored.reason();
}

TEST(TransactionalFileSystemTest, TheNextProcessRemovesTemporariesAndIgnoresADamagedJournal) {
  Files left = kBefore;
  left[kA + ".tmp-Xy12Ab"] = "half";
  left[kB + ".kestrio-new"] = "uncommitted";
  left[kDir + "/kestrio.journal"] = "kestrio journal 1\ninstall ../../etc/passwd\nend\n";
  Process p(left);
  { auto lock = p.files.lock(kLock); }
  EXPECT_EQ(p.disk.contents(), kBefore);
}

}  // namespace
}  // namespace kestrio
