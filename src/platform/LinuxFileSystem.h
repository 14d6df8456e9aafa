#pragma once

#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace kestrio {

// The system calls LinuxFileSystem makes, behind a seam so tests can make any one of them fail
// (a full disk, a failed sync or rename) and check that nothing is lost.
class PosixIo {
 public:
  virtual ~PosixIo() = default;
  virtual int open(const char* path, int flags, mode_t mode);
  virtual int mkstemp(char* pathTemplate);
  virtual ssize_t write(int fd, const void* buffer, size_t count);
  virtual ssize_t read(int fd, void* buffer, size_t count);
  virtual int fdatasync(int fd);
  virtual int fsync(int fd);
  virtual int fchmod(int fd, mode_t mode);
  virtual int close(int fd);
  virtual int rename(const char* from, const char* to);
  virtual int unlink(const char* path);
  virtual int flock(int fd, int operation);
  virtual int fstat(int fd, struct stat* info);
  // The time of a clock that only moves forward, in seconds, and a pause on it.
  virtual double monotonicSeconds();
  virtual void sleep(double seconds);

  static PosixIo& real();
};

class LinuxFileSystem final : public FileSystem {
 public:
  using Logger = std::function<void(std::string_view)>;
  LinuxFileSystem(PosixIo& io, Logger log);

  // No file of Kestrio comes near this (a twenty-year history archive is about 4 MB); a larger
  // one is not ours, and reading it whole could exhaust the memory.
  static constexpr std::size_t kMaxFileSize = 64 * 1024 * 1024;

  // How long lock() waits for another process: after `notice` seconds it says once that it is
  // waiting, after `giveUp` seconds it answers nothing.
  struct LockPatience {
    double notice = 1;
    double giveUp = 60;
  };
  void setLockPatience(LockPatience patience) { patience_ = patience; }

  bool exists(const std::string& path) override;
  // Reads regular files only, up to kMaxFileSize: a FIFO, a device or an oversized file is
  // refused (logged) at once, never waited on or read without end.
  std::optional<std::string> read(const std::string& path) override;
  bool writeAtomically(const std::string& path, std::string_view data) override;
  // An export's file: a regular file (or one a link names) is replaced whole and keeps its
  // mode; a character device or a FIFO (a terminal, /dev/null, a pipe) is opened and written,
  // never replaced; anything else is refused.
  std::unique_ptr<OutputFile> createFile(const std::string& path) override;
  bool rename(const std::string& from, const std::string& to) override;
  Stored replace(const std::string& from, const std::string& to) override;
  bool remove(const std::string& path) override;
  std::vector<std::string> list(const std::string& directory) override;
  // Lock files are opened without following a symbolic link, so nobody can point one at
  // another file of the user.
  std::unique_ptr<FileLock> lock(const std::string& path) override;
  std::unique_ptr<FileLock> tryLock(const std::string& path) override;
  std::unique_ptr<FileLock> lockShared(const std::string& path) override;
  std::string lastLockFailure() const override { return lockFailure_; }
  bool writeWithoutDirectorySync(const std::string& path, std::string_view data) override;
  Stored writeAllWithoutDirectorySync(const FileContents& files, std::string& failedPath) override;
  Stored syncDirectory(const std::string& directory) override;

 private:
  struct HeldLock {
    int fd = -1;
    int depth = 0;
  };
  class Guard;

  // Logs "WHAT PATH: strerror(error)" as one line and answers strerror(error).
  std::string fail(const std::string& what, const std::string& path, int error);
  // Drops one level of the lock on `path`; the last one unlocks and closes the lock file.
  void release(const std::string& path);
  std::unique_ptr<FileLock> acquire(const std::string& path, bool wait, bool shared = false);
  // Takes the lock on `fd` (LOCK_EX or LOCK_SH), waiting as patience_ says when `wait`; errno is
  // set on false.
  bool lockDescriptor(int fd, const std::string& path, bool wait, int operation = LOCK_EX);

  PosixIo& io_;
  Logger log_;
  LockPatience patience_;
  std::string lockFailure_;               // why the last lock answered nothing
  std::map<std::string, HeldLock> held_;  // lock files this process holds, for re-entrancy
};

}  // namespace kestrio
