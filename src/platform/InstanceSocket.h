#pragma once

// Where a user's Kestrio processes find each other: one daemon per data directory, one window
// per user and data directory. Each instance listens on a Unix socket file in a directory only
// the user can write to, and an answer on it counts only when the process that gave it runs as
// the same user. A name anyone could take first (the abstract socket namespace, a shared /tmp)
// would let another user keep the user's daemon or window from starting.

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace kestrio {

// The directory of the instance sockets: `runtimeDirectory` ($XDG_RUNTIME_DIR) when it is an
// absolute path to a directory owned by `user` that nobody else may enter (mode 0700), else the
// data directory, which Kestrio keeps private.
std::string instanceDirectory(const std::string& runtimeDirectory, const std::string& dataDirectory,
                              uid_t user);

// The socket of one kind of instance ("daemon", "window") of the data directory. In the runtime
// directory it is named after the data directory's canonical path, so a data directory removed
// and made again under a running instance still leads to it; in the data directory itself it is
// KIND.socket.
std::string instanceSocketPath(const std::string& runtimeDirectory,
                               const std::string& dataDirectory, std::string_view kind);

// Whether an answer from a peer running as `peer` (nothing when its credentials could not be
// read) may be believed by a process running as `self`: only when both are the same user.
bool believablePeer(std::optional<uid_t> peer, uid_t self);

// The user the process at the other end of a connected Unix socket runs as; nothing when the
// descriptor is no such socket.
std::optional<uid_t> peerUser(int socket);

// Connects to the instance listening at `path`: the connected (blocking) descriptor when the
// user's own process listens there; -1 with errno otherwise: ENOENT or ECONNREFUSED when nobody
// does (no file, or one a crashed instance left), EAGAIN when a listener's queue is full, EPERM
// when the listener is not to be believed (then `*untrusted` is set).
int connectToInstance(const std::string& path, bool* untrusted = nullptr);

// Holds the socket of a running instance, and removes its file when it goes (unless another
// process has put its own there since).
class InstanceListener {
 public:
  // Listens at `path`, removing first a file that no process of the user's own listens on (left
  // by a crash, or held by a peer that is not believed). Claims are serialised by a lock beside
  // the socket, so two starts never both remove and take it. Nothing, with `*error` set to the
  // errno, when it cannot listen; EADDRINUSE when the user's own instance already listens there.
  static std::optional<InstanceListener> listen(const std::string& path, int* error);

  InstanceListener(InstanceListener&& other) noexcept;
  InstanceListener& operator=(InstanceListener&& other) noexcept;
  InstanceListener(const InstanceListener&) = delete;
  InstanceListener& operator=(const InstanceListener&) = delete;
  ~InstanceListener();

  // The listening socket, non-blocking; -1 after `releaseDescriptor`.
  int descriptor() const { return fd_; }
  // Hands the listening socket to the caller, who closes it; the file is still removed here.
  int releaseDescriptor();
  const std::string& path() const { return path_; }

 private:
  InstanceListener(int fd, std::string path, dev_t device, ino_t inode)
      : fd_(fd), path_(std::move(path)), device_(device), inode_(inode) {}
  void close();

  int fd_ = -1;
  std::string path_;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

}  // namespace kestrio
