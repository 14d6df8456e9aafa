// The export handle of LinuxFileSystem: a file the user names (an export's target) is replaced
// whole when it is a regular file, keeping its mode, and written by opening it when it is a
// terminal, a pipe or another character device, which a rename would replace by a regular file.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/LinuxFileSystem.h"
#include "platform/OutputFile.h"

namespace kestrio {
namespace {

class LinuxOutputFile final : public OutputFile {
 public:
  LinuxOutputFile(LinuxFileSystem& files, PosixIo& io, LinuxFileSystem::Logger log,
                  std::string path)
      : files_(files), io_(io), log_(std::move(log)), path_(std::move(path)) {}

  bool write(std::string_view bytes) override {
    if (committed_) return false;
    bytes_.append(bytes);
    return true;
  }

  bool commit() override {
    if (!committed_) {
      committed_ = true;
      stored_ = install();
      bytes_.clear();
      bytes_.shrink_to_fit();
    }
    return stored_;
  }

 private:
  bool refuse(const std::string& why) {
    log_("Writing data to file failed: " + path_ + ": " + why);
    return false;
  }

  bool install() {
    struct stat target {};
    if (::stat(path_.c_str(), &target) != 0) {
      if (errno != ENOENT) return refuse(std::strerror(errno));
      return files_.writeAtomically(path_, bytes_);
    }
    if (S_ISCHR(target.st_mode) || S_ISFIFO(target.st_mode)) return writeInPlace();
    if (!S_ISREG(target.st_mode)) return refuse("not a regular file");

    // A link is followed: the file it names is replaced, never the link itself.
    std::string path = path_;
    struct stat link {};
    if (::lstat(path_.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
      char resolved[PATH_MAX];
      if (::realpath(path_.c_str(), resolved) == nullptr) return refuse(std::strerror(errno));
      path = resolved;
    }
    if (!files_.writeAtomically(path, bytes_)) return false;
    // The new file is written private; it takes the permissions the user gave the old one.
    if (::chmod(path.c_str(), target.st_mode & 07777) != 0) {
      log_("Keeping the mode of " + path + " failed: " + std::strerror(errno));
    }
    return true;
  }

  bool writeInPlace() {
    int fd;
    do {
      fd = io_.open(path_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY, 0);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return refuse(std::strerror(errno));
    const char* next = bytes_.data();
    std::size_t remaining = bytes_.size();
    while (remaining > 0) {
      const ssize_t n = io_.write(fd, next, remaining);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        const std::string why = n < 0 ? std::strerror(errno) : "nothing was taken";
        io_.close(fd);
        return refuse(why);
      }
      next += n;
      remaining -= static_cast<std::size_t>(n);
    }
    if (io_.close(fd) != 0 && errno != EINTR) return refuse(std::strerror(errno));
    return true;
  }

  LinuxFileSystem& files_;
  PosixIo& io_;
  LinuxFileSystem::Logger log_;
  std::string path_;
  std::string bytes_;
  bool committed_ = false;
  bool stored_ = false;
};

}  // namespace

std::unique_ptr<OutputFile> LinuxFileSystem::createFile(const std::string& path) {
  return std::make_unique<LinuxOutputFile>(*this, io_, log_, path);
}

}  // namespace kestrio
