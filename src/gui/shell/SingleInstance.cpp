#include "gui/shell/SingleInstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

namespace kestrio::gui::shell {

namespace {

constexpr char kRaise[] = "raise\n";
constexpr int kWaitMs = 2000;

}  // namespace

QString SingleInstance::nameFor(unsigned userId, const QString& dataDirectory) {
  // The same directory reached through a link or with a trailing slash is the same instance.
  const QString canonical = QFileInfo(dataDirectory).canonicalFilePath();
  const QString path =
      canonical.isEmpty() ? QFileInfo(dataDirectory).absoluteFilePath() : canonical;
  const QByteArray digest =
      QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
  return QStringLiteral("kestrio-gui.%1.%2").arg(userId).arg(QString::fromLatin1(digest));
}

SingleInstance::SingleInstance(const QString& dataDirectory, QObject* parent)
    : QObject(parent), name_(nameFor(::getuid(), dataDirectory)) {}

SingleInstance::Outcome SingleInstance::claim() {
  if (listen()) return Outcome::First;
  if (askRunningToRaise()) return Outcome::AnotherRaised;
  // The holder went away between the two steps: the name is free again.
  if (listen()) return Outcome::First;
  return Outcome::Unavailable;
}

bool SingleInstance::listen() {
  auto* server = new QLocalServer(this);
  server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
  if (!server->listen(name_)) {
    delete server;
    return false;
  }
  server_ = server;
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* peer = server_->nextPendingConnection()) {
      connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
        if (peer->readAll().contains("raise")) emit raiseRequested();
        peer->disconnectFromServer();
      });
    }
  });
  return true;
}

bool SingleInstance::askRunningToRaise() {
  QLocalSocket socket;
  socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
  socket.connectToServer(name_);
  if (!socket.waitForConnected(kWaitMs)) return false;
  socket.write(kRaise, sizeof kRaise - 1);
  if (!socket.waitForBytesWritten(kWaitMs)) return false;
  // The running window closes the connection once it has read the request.
  socket.waitForDisconnected(kWaitMs);
  return true;
}

}  // namespace kestrio::gui::shell
