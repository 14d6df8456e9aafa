#include "gui/shell/SingleInstance.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>

namespace kestrio::gui::shell {

namespace {

constexpr char kRaise[] = "raise\n";
constexpr int kWaitMs = 2000;

}  // namespace

SingleInstance::SingleInstance(const std::string& runtimeDirectory, const QString& dataDirectory,
                               QObject* parent)
    : QObject(parent),
      path_(instanceSocketPath(runtimeDirectory, dataDirectory.toStdString(), "window")) {}

SingleInstance::Outcome SingleInstance::claim() {
  if (listen()) return Outcome::First;
  if (askRunningToRaise()) return Outcome::AnotherRaised;
  // The holder went away between the two steps, or was not to be believed: the socket is
  // taken again.
  if (listen()) return Outcome::First;
  return Outcome::Unavailable;
}

bool SingleInstance::listen() {
  int error = 0;
  auto listener = InstanceListener::listen(path_, &error);
  if (!listener) return false;
  auto* server = new QLocalServer(this);
  if (!server->listen(listener->descriptor())) {
    delete server;
    return false;
  }
  listener->releaseDescriptor();  // the server closes it
  listener_ = std::move(listener);
  server_ = server;
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* peer = server_->nextPendingConnection()) {
      connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      // Only a process of the user's own may bring this window up.
      if (!believablePeer(peerUser(static_cast<int>(peer->socketDescriptor())), ::geteuid())) {
        peer->abort();
        peer->deleteLater();
        continue;
      }
      connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
        if (peer->readAll().contains("raise")) emit raiseRequested();
        peer->disconnectFromServer();
      });
    }
  });
  return true;
}

bool SingleInstance::askRunningToRaise() {
  // Only the user's own window is told, and only its answer believed.
  const int fd = connectToInstance(path_);
  if (fd < 0) return false;
  bool sent = ::send(fd, kRaise, sizeof kRaise - 1, MSG_NOSIGNAL) ==
              static_cast<ssize_t>(sizeof kRaise - 1);
  // The running window closes the connection once it has read the request.
  pollfd closed{fd, POLLIN, 0};
  if (sent && ::poll(&closed, 1, kWaitMs) == 1) {
    char rest[16];
    while (::read(fd, rest, sizeof rest) > 0) {
    }
  }
  ::close(fd);
  return sent;
}

}  // namespace kestrio::gui::shell
