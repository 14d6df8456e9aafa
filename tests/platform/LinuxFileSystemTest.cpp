#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/LinuxFileSystem.h"
#include "platform/OutputFile.h"
#include "support/CaseNames.h"

namespace kestrio {
namespace {

// A PosixIo that makes chosen calls fail the way a full disk, a dying drive or a file system
// boundary would, and otherwise does the real thing.
class FaultyIo : public PosixIo {
 public:
  int failWriteAt = 0;  // the Nth write (from 1) fails; 0: none
  int writeError = ENOSPC;
  std::size_t maxWrite = SIZE_MAX;  // larger writes are cut short, as the kernel may
  int interruptedWrites = 0;        // the first N writes fail with EINTR
  bool failMkstemp = false;
  bool failFchmod = false;
  bool failFdatasync = false;
  bool failTemporaryClose = false;
  bool failRename = false;
  bool failDirectoryOpen = false;
  bool failFsync = false;

  int writes = 0;
  int writesAtFirstSync = -1;

  int open(const char* path, int flags, mode_t mode) override {
    if (failDirectoryOpen && (flags & O_DIRECTORY) != 0) return failWith(EACCES);
    return PosixIo::open(path, flags, mode);
  }
  int mkstemp(char* pathTemplate) override {
    if (failMkstemp) return failWith(EMFILE);
    temporaryFd = PosixIo::mkstemp(pathTemplate);
    return temporaryFd;
  }
  int fchmod(int fd, mode_t mode) override {
    return failFchmod ? failWith(EPERM) : PosixIo::fchmod(fd, mode);
  }
  ssize_t write(int fd, const void* buffer, size_t count) override {
    ++writes;
    if (interruptedWrites > 0) {
      --interruptedWrites;
      return failWith(EINTR);
    }
    if (writes == failWriteAt) return failWith(writeError);
    return PosixIo::write(fd, buffer, std::min(count, maxWrite));
  }
  int fdatasync(int fd) override {
    if (writesAtFirstSync < 0) writesAtFirstSync = writes;
    return failFdatasync ? failWith(EIO) : PosixIo::fdatasync(fd);
  }
  int fsync(int fd) override { return failFsync ? failWith(EIO) : PosixIo::fsync(fd); }
  int close(int fd) override {
    int result = PosixIo::close(fd);  // the descriptor is gone either way, as on Linux
    if (fd == temporaryFd) {
      temporaryFd = -1;  // the number is free for the next file opened
      if (failTemporaryClose) return failWith(EIO);
    }
    return result;
  }
  int rename(const char* from, const char* to) override {
    return failRename ? failWith(EXDEV) : PosixIo::rename(from, to);
  }

 private:
  static int failWith(int error) {
    errno = error;
    return -1;
  }
  int temporaryFd = -1;
};

std::string makeTemporaryDirectory() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/kestrio-fs-test-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Whether another process finds the lock file locked: the child tries a non-blocking lock.
bool lockedByAnotherProcess(const std::string& path) {
  pid_t child = ::fork();
  if (child == 0) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) ::_exit(2);
    int result = ::flock(fd, LOCK_EX | LOCK_NB);
    ::_exit(result != 0 && errno == EWOULDBLOCK ? 1 : 0);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
    ADD_FAILURE() << "the probing process did not run";
    return false;
  }
  EXPECT_NE(WEXITSTATUS(status), 2) << "the probing process could not open " << path;
  return WEXITSTATUS(status) == 1;
}

class LinuxFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = makeTemporaryDirectory();
    ASSERT_FALSE(dir.empty()) << std::strerror(errno);
    path = dir + "/usage.plist";
  }
  void TearDown() override {
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }

  LinuxFileSystem files(PosixIo& io) {
    return LinuxFileSystem(io, [this](std::string_view line) { logs.emplace_back(line); });
  }
  std::string allLogs() const {
    std::string all;
    for (const auto& line : logs) all += line + "\n";
    return all;
  }

  std::string dir;
  std::string path;
  std::vector<std::string> logs;
};

// ---- atomic replacement ----

TEST_F(LinuxFileSystemTest, WriteCreatesThenReplacesWithPrivateMode) {
  auto fs = files(PosixIo::real());
  ASSERT_TRUE(fs.writeAtomically(path, "first"));
  EXPECT_EQ(slurp(path), "first");
  ASSERT_TRUE(fs.writeAtomically(path, "second, longer than the first"));
  EXPECT_EQ(fs.read(path), "second, longer than the first");
  ASSERT_TRUE(fs.writeAtomically(path, ""));
  EXPECT_EQ(fs.read(path), "");

  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(fs.list(dir), std::vector<std::string>{"usage.plist"});
  EXPECT_TRUE(logs.empty()) << allLogs();
}

TEST_F(LinuxFileSystemTest, ShortAndInterruptedWritesStillWriteEverything) {
  std::string data;
  for (int i = 0; i < 5000; ++i) data += static_cast<char>('a' + i % 26);
  data += std::string("\0binary\0", 8);
  FaultyIo io;
  io.maxWrite = 1;
  io.interruptedWrites = 3;
  auto fs = files(io);
  ASSERT_TRUE(fs.writeAtomically(path, data)) << allLogs();
  EXPECT_EQ(slurp(path), data);
  EXPECT_EQ(io.writes, static_cast<int>(data.size()) + 3);
}

struct WriteFault {
  const char* label;
  void (*arrange)(FaultyIo&);
  const char* logged;  // the failing step and the system's reason, as the log line says them
};

void PrintTo(const WriteFault& f, std::ostream* os) {
  *os << f.label;
}

class WriteFaults : public LinuxFileSystemTest, public ::testing::WithParamInterface<WriteFault> {};

TEST_P(WriteFaults, FailureKeepsTheOldFileAndLeavesNoTemporary) {
  const std::string old = "<plist>the usage so far</plist>";
  {
    auto fs = files(PosixIo::real());
    ASSERT_TRUE(fs.writeAtomically(path, old));
  }
  FaultyIo io;
  GetParam().arrange(io);
  auto fs = files(io);

  std::string replacement(100000, 'x');
  EXPECT_FALSE(fs.writeAtomically(path, replacement));

  EXPECT_EQ(fs.read(path), old);
  EXPECT_EQ(fs.list(dir), std::vector<std::string>{"usage.plist"});
  ASSERT_EQ(logs.size(), 1u) << allLogs();
  EXPECT_NE(logs[0].find(path), std::string::npos) << logs[0];
  EXPECT_NE(logs[0].find(GetParam().logged), std::string::npos) << logs[0];
}

INSTANTIATE_TEST_SUITE_P(
    Faults, WriteFaults,
    ::testing::Values(
        WriteFault{"first write, disk full", [](FaultyIo& io) { io.failWriteAt = 1; }, "write /"},
        WriteFault{"third write, disk full",
                   [](FaultyIo& io) {
                     io.maxWrite = 4096;
                     io.failWriteAt = 3;
                   },
                   std::strerror(ENOSPC)},
        WriteFault{"partial write then disk full",
                   [](FaultyIo& io) {
                     io.maxWrite = 7;
                     io.failWriteAt = 2;
                   },
                   std::strerror(ENOSPC)},
        WriteFault{"sync fails", [](FaultyIo& io) { io.failFdatasync = true; }, std::strerror(EIO)},
        WriteFault{"close fails", [](FaultyIo& io) { io.failTemporaryClose = true; }, "close"},
        WriteFault{"rename across devices", [](FaultyIo& io) { io.failRename = true; },
                   std::strerror(EXDEV)},
        WriteFault{"no temporary", [](FaultyIo& io) { io.failMkstemp = true; },
                   std::strerror(EMFILE)},
        WriteFault{"mode cannot be set", [](FaultyIo& io) { io.failFchmod = true; }, "fchmod"}),
    [](const auto& test) { return kestrio::testing::caseName(test.param.label); });

TEST_F(LinuxFileSystemTest, SeveralFilesAreAllWrittenBeforeTheFirstSyncAndFailAsOne) {
  const std::string other = dir + "/other.plist";
  {
    auto fs = files(PosixIo::real());
    ASSERT_TRUE(fs.writeAtomically(path, "old usage"));
    ASSERT_TRUE(fs.writeAtomically(other, "old other"));
  }
  const std::string bigger(200000, 'x');
  {
    FaultyIo io;
    io.failFdatasync = true;
    auto fs = files(io);
    std::string failed;
    EXPECT_FALSE(
        fs.writeAllWithoutDirectorySync({{path, "new usage"}, {other, bigger}}, failed).ok());
    EXPECT_EQ(failed, path);
    EXPECT_EQ(fs.read(path), "old usage");
    EXPECT_EQ(fs.read(other), "old other");
    EXPECT_EQ(fs.list(dir), (std::vector<std::string>{"other.plist", "usage.plist"}));
  }
  FaultyIo io;
  auto fs = files(io);
  std::string failed;
  ASSERT_TRUE(fs.writeAllWithoutDirectorySync({{path, "new usage"}, {other, bigger}}, failed).ok());
  EXPECT_EQ(io.writesAtFirstSync, io.writes);  // one flush can serve both files
  EXPECT_EQ(fs.read(path), "new usage");
  EXPECT_EQ(fs.read(other), bigger);
}

TEST_F(LinuxFileSystemTest, FailedDirectorySyncStillCountsTheWrite) {
  // The rename has happened: the new content is the file now, and saying otherwise would make
  // callers retry or report a loss that did not occur.
  auto real = files(PosixIo::real());
  ASSERT_TRUE(real.writeAtomically(path, "old"));
  for (bool failOpen : {false, true}) {
    FaultyIo io;
    io.failFsync = !failOpen;
    io.failDirectoryOpen = failOpen;
    auto fs = files(io);
    logs.clear();
    EXPECT_TRUE(fs.writeAtomically(path, failOpen ? "new after open" : "new after fsync"));
    EXPECT_EQ(slurp(path), failOpen ? "new after open" : "new after fsync");
    ASSERT_EQ(logs.size(), 1u) << allLogs();
    EXPECT_NE(logs[0].find(dir), std::string::npos) << logs[0];
  }
}

TEST_F(LinuxFileSystemTest, WriteIntoAMissingDirectoryFails) {
  auto fs = files(PosixIo::real());
  EXPECT_FALSE(fs.writeAtomically(dir + "/missing/usage.plist", "data"));
  EXPECT_FALSE(fs.exists(dir + "/missing"));
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_NE(logs[0].find(std::strerror(ENOENT)), std::string::npos) << logs[0];
}

// ---- reading, listing, renaming, removing ----

TEST_F(LinuxFileSystemTest, ReadAnswersNothingForMissingAndUnreadableFiles) {
  auto fs = files(PosixIo::real());
  EXPECT_FALSE(fs.read(path).has_value());
  EXPECT_FALSE(fs.read(dir + "/nodir/file").has_value());
  EXPECT_TRUE(logs.empty()) << "a missing file is no failure: " << allLogs();

  EXPECT_FALSE(fs.read(dir).has_value());  // a directory cannot be read as a file
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_NE(logs[0].find(std::strerror(EISDIR)), std::string::npos) << logs[0];
}

// Something other than a regular file where a data file belongs: refused at once, never waited
// on (a FIFO without a writer) or read without end (a device).
TEST_F(LinuxFileSystemTest, ReadRefusesWhatIsNotARegularFileOfSaneSize) {
  auto fs = files(PosixIo::real());
  const std::string fifo = dir + "/app_data_cellular.plist";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
  const std::string zero = dir + "/customcounters.archive";
  ASSERT_EQ(::symlink("/dev/zero", zero.c_str()), 0) << std::strerror(errno);
  const std::string huge = dir + "/history.archive";
  { std::ofstream create(huge); }
  // Sparse: no disk space is used for the hole.
  ASSERT_EQ(::truncate(huge.c_str(), LinuxFileSystem::kMaxFileSize + 1), 0);

  for (const std::string& file : {fifo, zero, huge}) {
    logs.clear();
    EXPECT_FALSE(fs.read(file).has_value()) << file;
    ASSERT_EQ(logs.size(), 1u) << allLogs();
    EXPECT_NE(logs[0].find(file), std::string::npos) << logs[0];
  }
  EXPECT_NE(logs[0].find("larger than 64 MiB"), std::string::npos) << logs[0];
}

// An export's target the user named: a FIFO (as a terminal or /dev/null) is written through,
// never replaced by a regular file; a regular file is replaced whole but keeps its mode; a link
// stays a link and the file it names is replaced.
TEST_F(LinuxFileSystemTest, AnExportWritesThroughDevicesAndKeepsAFilesModeAndLinks) {
  auto fs = files(PosixIo::real());
  const std::string fifo = dir + "/pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0) << std::strerror(errno);
  auto out = fs.createFile(fifo);
  ASSERT_TRUE(out->write("Data Type,") && out->write("Start Date\n"));
  EXPECT_TRUE(out->commit()) << allLogs();
  char received[64] = {};
  EXPECT_EQ(::read(reader, received, sizeof received), 21);
  EXPECT_STREQ(received, "Data Type,Start Date\n");
  ::close(reader);
  struct stat info {};
  ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));

  const std::string shared = dir + "/shared.csv";
  { std::ofstream(shared) << "old"; }
  ASSERT_EQ(::chmod(shared.c_str(), 0644), 0);
  const std::string link = dir + "/latest.csv";
  ASSERT_EQ(::symlink(shared.c_str(), link.c_str()), 0);
  for (const std::string& target : {shared, link}) {
    out = fs.createFile(target);
    ASSERT_TRUE(out->write("new " + target));
    EXPECT_TRUE(out->commit()) << allLogs();
    EXPECT_EQ(slurp(shared), "new " + target);
    ASSERT_EQ(::stat(shared.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u) << target;
  }
  ASSERT_EQ(::lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));

  // A directory is nothing an export can write.
  out = fs.createFile(dir);
  ASSERT_TRUE(out->write("x"));
  EXPECT_FALSE(out->commit());
  EXPECT_TRUE(std::filesystem::is_directory(dir));
}

TEST_F(LinuxFileSystemTest, ReadsFilesLargerThanOneBuffer) {
  std::string data(300001, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  auto fs = files(PosixIo::real());
  ASSERT_TRUE(fs.writeAtomically(path, data));
  EXPECT_EQ(fs.read(path), data);
}

TEST_F(LinuxFileSystemTest, ListRenameAndRemove) {
  auto fs = files(PosixIo::real());
  for (const char* name : {"b", "a", ".hidden", "c.plist"}) {
    ASSERT_TRUE(fs.writeAtomically(dir + "/" + name, name));
  }
  ASSERT_EQ(::mkdir((dir + "/sub").c_str(), 0700), 0);
  EXPECT_EQ(fs.list(dir), (std::vector<std::string>{".hidden", "a", "b", "c.plist", "sub"}));
  EXPECT_TRUE(fs.list(dir + "/missing").empty());

  EXPECT_TRUE(fs.rename(dir + "/a", dir + "/a.damaged-2026-01-01"));
  EXPECT_FALSE(fs.exists(dir + "/a"));
  EXPECT_EQ(fs.read(dir + "/a.damaged-2026-01-01"), "a");
  EXPECT_FALSE(fs.rename(dir + "/a", dir + "/z"));
  ASSERT_EQ(logs.size(), 1u);

  EXPECT_TRUE(fs.remove(dir + "/b"));
  EXPECT_FALSE(fs.exists(dir + "/b"));
  EXPECT_FALSE(fs.remove(dir + "/b"));  // nothing left to remove, nothing worth a log line
  EXPECT_EQ(logs.size(), 1u) << allLogs();
  EXPECT_FALSE(fs.remove(dir + "/sub"));  // a directory is not a file
  EXPECT_EQ(logs.size(), 2u) << allLogs();
}

// ---- the lock shared by Kestrio's processes ----

TEST_F(LinuxFileSystemTest, LockExcludesOtherProcessesUntilTheLastHolderLetsGo) {
  const std::string lockPath = dir + "/kestrio.lock";
  auto fs = files(PosixIo::real());
  auto outer = fs.lock(lockPath);
  ASSERT_NE(outer, nullptr);
  struct stat info {};
  ASSERT_EQ(::stat(lockPath.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_TRUE(lockedByAnotherProcess(lockPath));

  // A nested lock returns at once (it would deadlock if it took a second flock).
  auto inner = fs.lock(lockPath);
  ASSERT_NE(inner, nullptr);
  inner.reset();
  EXPECT_TRUE(lockedByAnotherProcess(lockPath));
  outer.reset();
  EXPECT_FALSE(lockedByAnotherProcess(lockPath));

  // Released out of order, the lock is held until both holders are gone.
  auto first = fs.lock(lockPath);
  auto second = fs.lock(lockPath);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  first.reset();
  EXPECT_TRUE(lockedByAnotherProcess(lockPath));
  second.reset();
  EXPECT_FALSE(lockedByAnotherProcess(lockPath));

  // And it can be taken again afterwards.
  auto again = fs.lock(lockPath);
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(lockedByAnotherProcess(lockPath));
  EXPECT_TRUE(logs.empty()) << allLogs();
}

TEST_F(LinuxFileSystemTest, LockWaitsForAnotherProcess) {
  const std::string lockPath = dir + "/kestrio.lock";
  const std::string marker = dir + "/released";
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Holds the lock briefly and leaves a mark just before letting go.
    int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 || ::flock(fd, LOCK_EX) != 0) ::_exit(1);
    char byte = 1;
    if (::write(ready[1], &byte, 1) != 1) ::_exit(1);
    ::usleep(100 * 1000);
    int mark = ::open(marker.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (mark < 0) ::_exit(1);
    ::close(mark);
    ::_exit(0);
  }
  ::close(ready[1]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::close(ready[0]);

  auto fs = files(PosixIo::real());
  auto held = fs.lock(lockPath);
  ASSERT_NE(held, nullptr);
  EXPECT_TRUE(fs.exists(marker)) << "the lock was granted while another process held it";
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(LinuxFileSystemTest, LockFilesAreNeverFollowedThroughALink) {
  const std::string target = dir + "/precious";
  ASSERT_TRUE(files(PosixIo::real()).writeAtomically(target, "keep"));
  const std::string lockPath = dir + "/kestrio.lock";
  ASSERT_EQ(::symlink(target.c_str(), lockPath.c_str()), 0);
  auto fs = files(PosixIo::real());
  EXPECT_EQ(fs.lock(lockPath), nullptr);
  EXPECT_EQ(fs.lastLockFailure(), "kestrio.lock is a symbolic link, which is never followed");
  EXPECT_EQ(fs.tryLock(lockPath), nullptr);
  EXPECT_EQ(fs.lastLockFailure(), "kestrio.lock is a symbolic link, which is never followed");
  ASSERT_FALSE(logs.empty());
  EXPECT_NE(logs[0].find(lockPath), std::string::npos) << logs[0];
  EXPECT_FALSE(lockedByAnotherProcess(target));
  EXPECT_EQ(slurp(target), "keep");
}

// Another process holds the lock for `heldFor` seconds of a clock that moves only when the
// waiting side sleeps.
class BusyLockIo : public PosixIo {
 public:
  explicit BusyLockIo(double heldFor) : heldFor_(heldFor) {}
  int flock(int fd, int operation) override {
    if ((operation & LOCK_EX) != 0 && now_ < heldFor_) {
      ++attempts;
      errno = EWOULDBLOCK;
      return -1;
    }
    return PosixIo::flock(fd, operation);
  }
  double monotonicSeconds() override { return now_; }
  void sleep(double seconds) override { now_ += seconds; }
  int attempts = 0;

 private:
  double heldFor_;
  double now_ = 0;
};

struct LockWait {
  const char* name;
  double heldFor;
  bool granted;
  int messages;  // lines logged: the notice that it waits, and the one that it gave up
};

void PrintTo(const LockWait& c, std::ostream* os) {
  *os << c.name;
}

class LockWaitTest : public LinuxFileSystemTest, public ::testing::WithParamInterface<LockWait> {};

TEST_P(LockWaitTest, SaysAfterASecondThatItWaitsAndGivesUpAfterTheTimeout) {
  const LockWait& c = GetParam();
  BusyLockIo io(c.heldFor);
  auto fs = files(io);
  fs.setLockPatience({1, 60});
  auto lock = fs.lock(dir + "/kestrio.lock");
  EXPECT_EQ(lock != nullptr, c.granted);
  ASSERT_EQ(static_cast<int>(logs.size()), c.messages) << allLogs();
  if (c.messages > 0) {
    EXPECT_EQ(logs[0],
              "waiting for another Kestrio process to finish (data directory " + dir + ")");
  }
  if (!c.granted) {
    EXPECT_EQ(logs[1],
              "gave up waiting for another Kestrio process after 60 seconds (data "
              "directory " +
                  dir + ")");
  }
  // Polled often at first, never faster than every 0.1 s later on.
  EXPECT_LE(io.attempts, static_cast<int>(std::min(c.heldFor, 60.0) * 10) + 10);
}

INSTANTIATE_TEST_SUITE_P(Waits, LockWaitTest,
                         ::testing::Values(LockWait{"Free", 0, true, 0},
                                           LockWait{"BriefPass", 0.3, true, 0},
                                           LockWait{"LongPass", 5, true, 1},
                                           LockWait{"NeverLetsGo", 1e9, false, 2}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(LinuxFileSystemTest, LockInAMissingDirectoryAnswersNothing) {
  auto fs = files(PosixIo::real());
  EXPECT_EQ(fs.lock(dir + "/missing/kestrio.lock"), nullptr);
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_NE(logs[0].find(dir + "/missing/kestrio.lock"), std::string::npos) << logs[0];
}

}  // namespace
}  // namespace kestrio
