// The I/O floor of one stored update: what any program must do to replace the same files of a
// directory at once and durably, and nothing else. Each named file is read, written whole beside
// itself and synced; a journal naming them is written, synced and renamed into place, and the
// directory synced (the commit); then each new file is renamed over its old one, the directory
// synced again and the journal removed. `kestrio update` that stores does the same I/O plus its
// own work, so the ratio of the two is what Kestrio costs above the disk.
//
// Usage: io_floor DIRECTORY FILE...
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

bool readWhole(const std::string& path, std::string& bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  ::fstat(fd, &info);
  bytes.resize(static_cast<std::size_t>(info.st_size));
  const bool ok = ::read(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  ::close(fd);
  return ok;
}

bool writeSynced(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
                  ::fdatasync(fd) == 0;
  return ::close(fd) == 0 && ok;
}

bool syncDirectory(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: io_floor DIRECTORY FILE...\n");
    return 2;
  }
  const std::string directory = argv[1];
  std::vector<std::string> names(argv + 2, argv + argc);
  std::string journal = "journal\n";
  for (const std::string& name : names) {
    const std::string path = directory + "/" + name;
    std::string bytes;
    if (!readWhole(path, bytes) || !writeSynced(path + ".new", bytes)) {
      std::perror(path.c_str());
      return 1;
    }
    journal += "install " + name + "\n";
  }
  const std::string journalPath = directory + "/journal";
  if (!writeSynced(journalPath + ".new", journal) ||
      ::rename((journalPath + ".new").c_str(), journalPath.c_str()) != 0 ||
      !syncDirectory(directory)) {
    std::perror(journalPath.c_str());
    return 1;
  }
  for (const std::string& name : names) {
    const std::string path = directory + "/" + name;
    if (::rename((path + ".new").c_str(), path.c_str()) != 0) {
      std::perror(path.c_str());
      return 1;
    }
  }
  if (!syncDirectory(directory) || ::unlink(journalPath.c_str()) != 0) {
    std::perror(directory.c_str());
    return 1;
  }
  return 0;
}
