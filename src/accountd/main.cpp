// kestrio-accountd: counts every application's traffic in the kernel and tells each user their
// own applications' counts over a Unix socket. Run by its system unit as root, with only the
// capabilities it needs to load the program, attach it and read its maps.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstring>
#include <iostream>
#include <string>
#include <string_view>

#include "accountd/CgroupTree.h"
#include "accountd/Counting.h"
#include "accountd/ListeningSocket.h"
#include "accountd/Log.h"
#include "accountd/Service.h"
#include "platform/AccountingProtocol.h"

namespace {

constexpr std::string_view kUsage =
    "usage: kestrio-accountd [--cgroup-root DIR] [--socket PATH] [--pin-dir DIR] [--detach]\n"
    "  --cgroup-root DIR  the cgroup v2 tree to count (default: the hierarchy's root)\n"
    "  --socket PATH      where clients connect (default: /run/kestrio-accountd/socket)\n"
    "  --pin-dir DIR      where the program and its counts stay on the BPF file system\n"
    "                     (default: /sys/fs/bpf/kestrio-accountd)\n"
    "  --detach           stop counting: remove the program and its counts, then exit\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace kestrio;
  std::string cgroupRoot;
  std::string socketPath(accounting::kDefaultSocketPath);
  std::string pinDirectory = "/sys/fs/bpf/kestrio-accountd";
  bool detach = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    bool ok = true;
    if (option == "--cgroup-root") {
      ok = value(cgroupRoot);
    } else if (option == "--socket") {
      ok = value(socketPath);
    } else if (option == "--pin-dir") {
      ok = value(pinDirectory);
    } else if (option == "--detach") {
      detach = true;
    } else if (option == "--help" || option == "-h") {
      std::cout << kUsage;
      return 0;
    } else {
      ok = false;
    }
    if (!ok) {
      std::cerr << kUsage;
      return 2;
    }
  }

  std::string error;
  if (detach) {
    if (!accountd::Counting::detach(pinDirectory, error)) {
      accountd::log(LogPriority::Error, error);
      return 1;
    }
    accountd::log(LogPriority::Info, "removed the counting program and its counts");
    return 0;
  }

  if (cgroupRoot.empty()) cgroupRoot = accountd::findCgroupRoot();
  if (cgroupRoot.empty() || !accountd::isCgroup2(cgroupRoot)) {
    accountd::log(LogPriority::Error,
                  "no cgroup v2 hierarchy at " +
                      (cgroupRoot.empty() ? std::string("/sys/fs/cgroup or /sys/fs/cgroup/unified")
                                          : cgroupRoot) +
                      ": applications cannot be told apart");
    return 1;
  }

  // The end is asked for by a signal, read in the loop like any client.
  sigset_t ending;
  sigemptyset(&ending);
  sigaddset(&ending, SIGTERM);
  sigaddset(&ending, SIGINT);
  sigprocmask(SIG_BLOCK, &ending, nullptr);
  const int signals = ::signalfd(-1, &ending, SFD_CLOEXEC | SFD_NONBLOCK);
  if (signals < 0) {
    accountd::log(LogPriority::Error,
                  std::string("cannot wait for signals: ") + std::strerror(errno));
    return 1;
  }

  // The socket first: a service that cannot answer attaches nothing to the kernel.
  const int listening = accountd::openListeningSocket(socketPath, error);
  if (listening < 0) {
    accountd::log(LogPriority::Error, error);
    return 1;
  }
  std::unique_ptr<accountd::Counting> counting =
      accountd::Counting::start(cgroupRoot, pinDirectory, error);
  if (!counting) {
    accountd::log(LogPriority::Error, error);
    ::close(listening);
    ::unlink(socketPath.c_str());
    return 1;
  }
  accountd::log(LogPriority::Info, "counting every application's traffic on " + cgroupRoot +
                                       "; answering on " + socketPath);
  accountd::Service service(*counting, cgroupRoot, listening, signals);
  const int status = service.run();
  ::close(listening);
  ::unlink(socketPath.c_str());
  return status;
}
