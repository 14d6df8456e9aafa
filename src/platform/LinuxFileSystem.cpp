#include "platform/LinuxFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <sstream>

namespace kestrio {

int PosixIo::open(const char* path, int flags, mode_t mode) {
  return ::open(path, flags, mode);
}
// Close-on-exec, so a temporary's descriptor never leaks into a mail client we start.
int PosixIo::mkstemp(char* pathTemplate) {
  return ::mkostemp(pathTemplate, O_CLOEXEC);
}
ssize_t PosixIo::write(int fd, const void* buffer, size_t count) {
  return ::write(fd, buffer, count);
}
ssize_t PosixIo::read(int fd, void* buffer, size_t count) {
  return ::read(fd, buffer, count);
}
int PosixIo::fdatasync(int fd) {
  return ::fdatasync(fd);
}
int PosixIo::fsync(int fd) {
  return ::fsync(fd);
}
int PosixIo::fchmod(int fd, mode_t mode) {
  return ::fchmod(fd, mode);
}
int PosixIo::close(int fd) {
  return ::close(fd);
}
int PosixIo::rename(const char* from, const char* to) {
  return ::rename(from, to);
}
int PosixIo::unlink(const char* path) {
  return ::unlink(path);
}
int PosixIo::flock(int fd, int operation) {
  return ::flock(fd, operation);
}
int PosixIo::fstat(int fd, struct stat* info) {
  return ::fstat(fd, info);
}
double PosixIo::monotonicSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}
void PosixIo::sleep(double seconds) {
  if (!(seconds > 0)) return;
  timespec pause{};
  pause.tv_sec = static_cast<time_t>(seconds);
  pause.tv_nsec = static_cast<long>((seconds - std::floor(seconds)) * 1e9);
  while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
  }
}

PosixIo& PosixIo::real() {
  static PosixIo io;
  return io;
}

namespace {

std::string describe(int error) {
  return std::strerror(error);
}

}  // namespace

// Releases one level of a held lock; the outermost release unlocks and closes the lock file.
// A guard must not outlive the LinuxFileSystem that gave it.
class LinuxFileSystem::Guard final : public FileLock {
 public:
  Guard(LinuxFileSystem& files, std::string path) : files_(files), path_(std::move(path)) {}
  ~Guard() override { files_.release(path_); }
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;

 private:
  LinuxFileSystem& files_;
  std::string path_;
};

LinuxFileSystem::LinuxFileSystem(PosixIo& io, Logger log) : io_(io), log_(std::move(log)) {}

std::string LinuxFileSystem::fail(const std::string& what, const std::string& path, int error) {
  std::string reason = describe(error);
  log_(what + " " + path + ": " + reason);
  return reason;
}

bool LinuxFileSystem::exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

std::optional<std::string> LinuxFileSystem::read(const std::string& path) {
  int fd;
  // Without O_NONBLOCK, opening a FIFO put in a file's place would wait for a writer forever.
  do {
    fd = io_.open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK, 0);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    // A missing file is an ordinary answer ("nothing stored yet"), not a failure.
    if (errno != ENOENT && errno != ENOTDIR) fail("Reading file failed:", path, errno);
    return std::nullopt;
  }
  auto refuse = [&](const std::string& why) -> std::optional<std::string> {
    log_("Reading file failed: " + path + ": " + why);
    io_.close(fd);
    return std::nullopt;
  };
  struct stat info {};
  if (io_.fstat(fd, &info) != 0) return refuse(describe(errno));
  // A device (a link to /dev/zero) or a FIFO never ends or never answers: only regular files.
  if (S_ISDIR(info.st_mode)) return refuse(describe(EISDIR));
  if (!S_ISREG(info.st_mode)) return refuse("not a regular file");
  if (static_cast<std::uint64_t>(info.st_size) > kMaxFileSize) {
    return refuse("larger than " + std::to_string(kMaxFileSize >> 20) + " MiB");
  }
  std::string data;
  data.reserve(readCapacity(static_cast<std::size_t>(info.st_size)));
  char buffer[65536];
  while (true) {
    ssize_t n = io_.read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return refuse(describe(errno));
    if (n == 0) break;
    // The size can grow while it is read (and files under /proc report none at all).
    if (data.size() + static_cast<std::size_t>(n) > kMaxFileSize) {
      return refuse("larger than " + std::to_string(kMaxFileSize >> 20) + " MiB");
    }
    data.append(buffer, static_cast<std::size_t>(n));
  }
  // The data is complete; a failing close of a descriptor opened for reading loses nothing.
  if (io_.close(fd) != 0 && errno != EINTR) fail("Closing file failed:", path, errno);
  return data;
}

bool LinuxFileSystem::writeAtomically(const std::string& path, std::string_view data) {
  if (!writeWithoutDirectorySync(path, data)) return false;
  // The new content is in place and the old file is gone, so the write has happened; a failed
  // directory sync only leaves the rename less durable across a power cut, which is logged.
  (void)syncDirectory(directoryOf(path));
  return true;
}

bool LinuxFileSystem::writeWithoutDirectorySync(const std::string& path, std::string_view data) {
  std::string failed;
  return writeAllWithoutDirectorySync({{path, data}}, failed).ok();
}

Stored LinuxFileSystem::writeAllWithoutDirectorySync(const FileContents& files,
                                                     std::string& failedPath) {
  struct Pending {
    const std::string* path;
    std::string temporary;
    int fd;  // -1 once closed
  };
  std::vector<Pending> pending;
  pending.reserve(files.size());

  // Any failure before the renames: no old file was touched; drop every temporary.
  auto abandon = [&](const char* step, const std::string& path, int error) {
    failedPath = path;
    log_("Writing data to file failed: " + std::string(step) + " " + path + ": " + describe(error));
    for (Pending& p : pending) {
      if (p.fd >= 0) io_.close(p.fd);
      if (io_.unlink(p.temporary.c_str()) != 0) {
        fail("Removing temporary file failed:", p.temporary, errno);
      }
    }
    return Stored::failure(describe(error));
  };

  for (const auto& [path, data] : files) {
    std::string temporary = path + ".tmp-XXXXXX";
    const int fd = io_.mkstemp(temporary.data());
    if (fd < 0) {
      const int error = errno;
      return abandon("creating a temporary for", path, error);
    }
    pending.push_back({&path, std::move(temporary), fd});
    if (io_.fchmod(fd, 0600) != 0) return abandon("fchmod", path, errno);
    const char* next = data.data();
    std::size_t remaining = data.size();
    while (remaining > 0) {
      ssize_t n = io_.write(fd, next, remaining);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return abandon("write", path, errno);
      // A regular file never takes nothing without an error; do not spin on it.
      if (n == 0) return abandon("write", path, EIO);
      next += n;
      remaining -= static_cast<std::size_t>(n);
    }
  }

  // Every file is written before the first sync: the disk can flush them together.
  for (Pending& p : pending) {
    int synced;
    do {
      synced = io_.fdatasync(p.fd);
    } while (synced != 0 && errno == EINTR);
    if (synced != 0) return abandon("fdatasync", *p.path, errno);
    // Linux releases the descriptor even when close reports EINTR, and the data is synced by
    // now; any other error (a network file system's delayed write failure) means the data is
    // not safe.
    const int closed = io_.close(p.fd);
    p.fd = -1;
    if (closed != 0 && errno != EINTR) return abandon("close", *p.path, errno);
  }

  for (std::size_t i = 0; i < pending.size(); ++i) {
    if (io_.rename(pending[i].temporary.c_str(), pending[i].path->c_str()) != 0) {
      const int error = errno;
      // Those renamed are in place; the others are dropped.
      pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(i));
      return abandon("rename", *pending.front().path, error);
    }
  }
  return {};
}

Stored LinuxFileSystem::syncDirectory(const std::string& directory) {
  int dirFd = io_.open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (dirFd < 0) {
    return Stored::failure(fail("Syncing directory failed: opening", directory, errno));
  }
  Stored synced;
  if (io_.fsync(dirFd) != 0)
    synced = Stored::failure(fail("Syncing directory failed:", directory, errno));
  io_.close(dirFd);
  return synced;
}

bool LinuxFileSystem::rename(const std::string& from, const std::string& to) {
  return replace(from, to).ok();
}

Stored LinuxFileSystem::replace(const std::string& from, const std::string& to) {
  if (io_.rename(from.c_str(), to.c_str()) != 0) {
    return Stored::failure(fail("Renaming file failed:", from + " to " + to, errno));
  }
  return {};
}

bool LinuxFileSystem::remove(const std::string& path) {
  if (io_.unlink(path.c_str()) != 0) {
    // Nothing was removed; a file that was already gone is not worth a log line.
    if (errno != ENOENT) fail("Removing file failed:", path, errno);
    return false;
  }
  return true;
}

std::vector<std::string> LinuxFileSystem::list(const std::string& directory) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) {
    if (errno != ENOENT) fail("Listing directory failed:", directory, errno);
    return names;
  }
  while (true) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      if (errno != 0) {
        fail("Listing directory failed:", directory, errno);
        names.clear();
      }
      break;
    }
    std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

// flock locks belong to the open file description, so a second LinuxFileSystem in the same
// process would open its own description and block on the first one: a process uses exactly
// one LinuxFileSystem (the platform's). The lock serialises processes, not threads: the thread
// that takes it is the one that uses it. Re-entrancy is by path, so callers name the lock file
// with one spelling (Platform::lockDocuments does).
std::unique_ptr<FileLock> LinuxFileSystem::lock(const std::string& path) {
  return acquire(path, true);
}

std::unique_ptr<FileLock> LinuxFileSystem::tryLock(const std::string& path) {
  return acquire(path, false);
}

std::unique_ptr<FileLock> LinuxFileSystem::lockShared(const std::string& path) {
  return acquire(path, true, true);
}

std::unique_ptr<FileLock> LinuxFileSystem::acquire(const std::string& path, bool wait,
                                                   bool shared) {
  lockFailure_.clear();
  const std::string name = path.substr(path.rfind('/') + 1);
  auto held = held_.find(path);
  if (held != held_.end()) {
    ++held->second.depth;
    return std::make_unique<Guard>(*this, path);
  }

  int fd;
  const int flags = shared ? O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK
                           : O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
  do {
    fd = io_.open(path.c_str(), flags, 0600);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0 && shared && errno == ENOENT) {
    // Nothing was ever changed there, and a reader creates nothing.
    return std::make_unique<FileLock>();
  }
  if (fd < 0) {
    // ELOOP: a symbolic link stands where the lock file belongs.
    const int error = errno;
    const std::string reason = fail("Opening lock file failed:", path, error);
    lockFailure_ = error == ELOOP ? name + " is a symbolic link, which is never followed"
                                  : name + ": " + reason;
    return nullptr;
  }
  struct stat info {};
  if (io_.fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    log_("Opening lock file failed: " + path + ": not a regular file");
    lockFailure_ = name + " is not a regular file";
    io_.close(fd);
    return nullptr;
  }
  if (!lockDescriptor(fd, path, wait, shared ? LOCK_SH : LOCK_EX)) {
    const int error = errno;
    lockFailure_ = error == EWOULDBLOCK ? "another Kestrio process holds " + name
                                        : name + ": " + describe(error);
    io_.close(fd);
    return nullptr;
  }
  held_[path] = HeldLock{fd, 1};
  return std::make_unique<Guard>(*this, path);
}

bool LinuxFileSystem::lockDescriptor(int fd, const std::string& path, bool wait, int operation) {
  auto attempt = [&] {
    int locked;
    do {
      locked = io_.flock(fd, operation | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    return locked;
  };
  if (attempt() == 0) return true;
  if (errno != EWOULDBLOCK) {
    const int error = errno;
    fail("Locking file failed:", path, error);
    errno = error;  // the caller tells why
    return false;
  }
  // Another process holding it is the ordinary answer of a try, not a failure.
  if (!wait) return false;

  // Polled rather than blocked on, so the user hears why nothing happens and a process that
  // never lets go cannot hang every command. Short steps first: most passes last milliseconds.
  const double start = io_.monotonicSeconds();
  const std::string directory = directoryOf(path);
  bool told = false;
  double step = 0.005;
  while (true) {
    const double waited = io_.monotonicSeconds() - start;
    if (!told && waited >= patience_.notice) {
      log_("waiting for another Kestrio process to finish (data directory " + directory + ")");
      told = true;
    }
    if (waited >= patience_.giveUp) {
      std::ostringstream seconds;
      seconds << patience_.giveUp;
      log_("gave up waiting for another Kestrio process after " + seconds.str() +
           " seconds (data directory " + directory + ")");
      errno = EWOULDBLOCK;
      return false;
    }
    io_.sleep(step);
    step = std::min(step * 2, 0.1);
    if (attempt() == 0) return true;
    if (errno != EWOULDBLOCK) {
      fail("Locking file failed:", path, errno);
      return false;
    }
  }
}

void LinuxFileSystem::release(const std::string& path) {
  auto held = held_.find(path);
  if (held == held_.end()) return;
  if (--held->second.depth > 0) return;
  int fd = held->second.fd;
  held_.erase(held);
  // Closing the last descriptor of the lock file releases the lock even when LOCK_UN fails.
  if (io_.flock(fd, LOCK_UN) != 0) fail("Unlocking file failed:", path, errno);
  if (io_.close(fd) != 0 && errno != EINTR) fail("Closing lock file failed:", path, errno);
}

}  // namespace kestrio
