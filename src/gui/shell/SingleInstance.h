#pragma once

#include <QObject>
#include <QString>
#include <optional>
#include <string>

#include "platform/InstanceSocket.h"

class QLocalServer;

namespace kestrio::gui::shell {

// One window per user and data directory. The first process listens on a socket in the user's
// private runtime directory (else in the data directory), named after the data directory's
// canonical path; a later one connects, believes only a process of the same user, asks it to
// come to the front (on a network's usage screen, when it was started for one) and leaves. A socket
// file left by a crash is removed by the next start once no process of the user's own answers on
// it, so it never blocks that start.
class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // Where the process stands after `claim`.
  enum class Outcome { First, AnotherRaised, Unavailable };

  // `runtimeDirectory` is $XDG_RUNTIME_DIR (empty when unset).
  SingleInstance(const std::string& runtimeDirectory, const QString& dataDirectory,
                 QObject* parent = nullptr);

  // Takes the socket, or hands the request to come to front (showing `network`'s usage when it
  // is not empty) to the process that has it.
  Outcome claim(const QString& network = {});
  // The socket's path, where the instances meet.
  const std::string& path() const { return path_; }

 signals:
  // A second start asked this window to come to the front, on `network`'s usage screen when it
  // is not empty.
  void showRequested(const QString& network);

 private:
  bool listen();
  bool askRunningToShow(const QString& network);

  std::string path_;
  std::optional<InstanceListener> listener_;  // removes the socket's file when the window goes
  QLocalServer* server_ = nullptr;
};

}  // namespace kestrio::gui::shell
