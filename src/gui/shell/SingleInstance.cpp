#include "gui/shell/SingleInstance.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>

namespace kestrio::gui::shell {

namespace {

// "raise", or "show NETWORK", on one line.
constexpr int kWaitMs = 2000;
constexpr qsizetype kLongestRequest = 64;

}  // namespace

SingleInstance::SingleInstance(const std::string& runtimeDirectory, const QString& dataDirectory,
                               QObject* parent)
    : QObject(parent),
      path_(instanceSocketPath(runtimeDirectory, dataDirectory.toStdString(), "window")) {}

SingleInstance::Outcome SingleInstance::claim(const QString& network) {
  if (listen()) return Outcome::First;
  if (askRunningToShow(network)) return Outcome::AnotherRaised;
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
        // The request may come in pieces: it is whole at its line feed.
        if (!peer->canReadLine() && peer->bytesAvailable() < kLongestRequest) return;
        const QByteArray request = peer->readLine(kLongestRequest).trimmed();
        peer->disconnectFromServer();
        if (request == "raise") {
          emit showRequested(QString());
        } else if (request == "show cellular" || request == "show wifi") {
          emit showRequested(QString::fromLatin1(request.mid(5)));
        }
      });
    }
  });
  return true;
}

bool SingleInstance::askRunningToShow(const QString& network) {
  // Only the user's own window is told, and only its answer believed.
  const int fd = connectToInstance(path_);
  if (fd < 0) return false;
  const QByteArray request =
      network.isEmpty() ? QByteArray("raise\n") : "show " + network.toLatin1() + "\n";
  bool sent = ::send(fd, request.constData(), static_cast<std::size_t>(request.size()),
                     MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
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
