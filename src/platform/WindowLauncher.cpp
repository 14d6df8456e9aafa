#include "platform/WindowLauncher.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/ExecutableDirectory.h"

extern char** environ;

namespace kestrio {

std::string windowProgram() {
  const std::string here = executableDirectory();
  if (!here.empty()) {
    for (const std::string& candidate : {here + "/kestrio-gui", here + "/../gui/kestrio-gui"}) {
      char resolved[PATH_MAX];
      if (::access(candidate.c_str(), X_OK) == 0 && ::realpath(candidate.c_str(), resolved)) {
        return resolved;
      }
    }
  }
  return "kestrio-gui";
}

std::vector<std::string> windowCommand(const std::string& program, const std::string& network,
                                       const WindowStart& start) {
  std::vector<std::string> command;
  if (start.underServiceManager) {
    // Named as desktops name the applications they start, so the session (and the usage per
    // application) knows it as Kestrio's window.
    command = {"systemd-run",
               "--user",
               "--quiet",
               "--collect",
               "--unit=app-kestrio-" KESTRIO_APP_ID "@" + start.instance + ".service",
               "--setenv=KESTRIO_HOME=" + start.dataDirectory};
    if (!start.activationToken.empty()) {
      command.push_back("--setenv=XDG_ACTIVATION_TOKEN=" + start.activationToken);
      command.push_back("--setenv=DESKTOP_STARTUP_ID=" + start.activationToken);
    }
    command.emplace_back("--");
  }
  command.push_back(program);
  command.emplace_back("--show");
  command.push_back(network);
  return command;
}

bool startDetached(const std::vector<std::string>& command,
                   const std::vector<std::string>& environment, std::string* error) {
  if (command.empty()) return false;
  // Everything the children need is made before the fork: after it, only calls that are safe in
  // the copy of a process with threads.
  std::vector<char*> argv;
  for (const std::string& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> merged;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string_view line(*entry);
    const std::string_view name = line.substr(0, line.find('='));
    bool replaced = false;
    for (const std::string& added : environment) {
      if (std::string_view(added).substr(0, added.find('=')) == name) replaced = true;
    }
    if (!replaced) merged.emplace_back(line);
  }
  merged.insert(merged.end(), environment.begin(), environment.end());
  std::vector<char*> envp;
  for (std::string& line : merged) envp.push_back(line.data());
  envp.push_back(nullptr);
  const std::string& file = command.front();
  std::vector<std::string> candidates;
  if (file.find('/') != std::string::npos) {
    candidates.push_back(file);
  } else {
    const char* path = std::getenv("PATH");
    std::string_view directories = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
      const std::size_t end = directories.find(':');
      const std::string_view directory = directories.substr(0, end);
      candidates.push_back((directory.empty() ? std::string(".") : std::string(directory)) + "/" +
                           file);
      if (end == std::string_view::npos) break;
      directories.remove_prefix(end + 1);
    }
  }

  // The grandchild tells the errno of a failed exec through the pipe; a successful exec closes it.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  const int nothing = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  const pid_t child = ::fork();
  if (child < 0) {
    if (error) *error = std::strerror(errno);
    ::close(report[0]);
    ::close(report[1]);
    if (nothing >= 0) ::close(nothing);
    return false;
  }
  if (child == 0) {
    ::setsid();
    if (::fork() != 0) ::_exit(0);  // the window's parent is gone at once: init reaps it
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    for (int signal : {SIGPIPE, SIGCHLD, SIGTERM, SIGINT, SIGHUP}) {
      ::sigaction(signal, &standard, nullptr);
    }
    if (nothing >= 0) ::dup2(nothing, STDIN_FILENO);
    int failure = ENOENT;
    for (const std::string& candidate : candidates) {
      ::execve(candidate.c_str(), argv.data(), envp.data());
      if (errno != ENOENT) failure = errno;
    }
    [[maybe_unused]] const ssize_t told = ::write(report[1], &failure, sizeof failure);
    ::_exit(127);
  }
  ::close(report[1]);
  if (nothing >= 0) ::close(nothing);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int failure = 0;
  ssize_t got = 0;
  do {
    got = ::read(report[0], &failure, sizeof failure);
  } while (got < 0 && errno == EINTR);
  ::close(report[0]);
  if (got == static_cast<ssize_t>(sizeof failure)) {
    if (error) *error = file + ": " + std::strerror(failure);
    return false;
  }
  return true;
}

}  // namespace kestrio
