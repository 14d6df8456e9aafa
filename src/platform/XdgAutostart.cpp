#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/Autostart.h"

namespace kestrio {
namespace {

std::string parentOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Creates the directory and its missing parents (a fresh account may lack ~/.config).
bool makeDirectories(const std::string& directory, std::string& error) {
  struct stat info {};
  if (::stat(directory.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return true;
    error = "cannot create " + directory + ": " + std::strerror(ENOTDIR);
    return false;
  }
  if (directory != "/" && !makeDirectories(parentOf(directory), error)) return false;
  if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
    error = "cannot create " + directory + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

// Writes the file whole: a synced temporary beside it, renamed over it.
bool writeWhole(const std::string& path, const std::string& data, std::string& error) {
  const std::string temporary = path + ".kestrio-new";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  std::size_t done = 0;
  bool ok = true;
  while (ok && done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  const int saved = errno;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    error = "cannot write " + path + ": " + std::strerror(saved != 0 ? saved : errno);
    ::unlink(temporary.c_str());
    return false;
  }
  const int dir = ::open(parentOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace

bool desktopExecArgument(const std::string& program, std::string& argument) {
  bool quote = program.empty();
  std::string escaped;
  for (const char c : program) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) return false;
    if (std::strchr(" \t\"'\\><~|&;$*?#()`", c) != nullptr) quote = true;
    // Inside double quotes '"', '`', '$' and '\' take a backslash; the key's string rules then
    // double every backslash once more. '%' introduces a field code, so it is doubled.
    if (c == '"' || c == '`' || c == '$') {
      escaped += "\\\\";
      escaped += c;
    } else if (c == '\\') {
      escaped += "\\\\\\\\";
    } else if (c == '%') {
      escaped += "%%";
    } else {
      escaped += c;
    }
  }
  argument = quote ? "\"" + escaped + "\"" : escaped;
  return true;
}

XdgAutostart::XdgAutostart(std::string path, std::string program)
    : path_(std::move(path)), program_(std::move(program)) {}

bool XdgAutostart::enabled() {
  struct stat info {};
  if (::stat(path_.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  std::ifstream in(path_);
  if (!in) return false;
  // Session managers switch an entry off without removing it.
  std::string line;
  bool inEntry = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.front() == '[') {
      inEntry = line == "[Desktop Entry]";
    } else if (inEntry && (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false")) {
      return false;
    }
  }
  return true;
}

bool XdgAutostart::setEnabled(bool on, std::string& error) {
  if (!on) {
    if (::unlink(path_.c_str()) != 0 && errno != ENOENT) {
      error = "cannot remove " + path_ + ": " + std::strerror(errno);
      return false;
    }
  } else {
    std::string exec;
    if (!desktopExecArgument(program_, exec)) {
      error = "cannot start " + program_ + " from the desktop: its path holds a control character";
      return false;
    }
    std::ostringstream entry;
    entry << "[Desktop Entry]\n"
          << "Type=Application\n"
          << "Name=Kestrio\n"
          << "Comment=Count the traffic of your cellular and Wi-Fi networks\n"
          << "Exec=" << exec << " --tray\n"
          << "Icon=" << KESTRIO_APP_ID << "\n"
          << "Terminal=false\n"
          << "X-GNOME-Autostart-enabled=true\n";
    if (!makeDirectories(parentOf(path_), error) || !writeWhole(path_, entry.str(), error)) {
      return false;
    }
  }
  // What the desktop will read is what counts: check it.
  if (enabled() != on) {
    error = path_ + (on ? " was written but does not read back" : " is still there");
    return false;
  }
  return true;
}

}  // namespace kestrio
