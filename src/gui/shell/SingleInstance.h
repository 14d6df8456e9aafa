#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace kestrio::gui::shell {

// One window per user and data directory. The first process listens on a name in the abstract
// socket namespace, made from the user and the data directory's canonical path; a later one
// finds it there, asks it to come to the front and leaves. An abstract name vanishes with the
// process that held it, so a crash leaves nothing that blocks the next start.
class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // Where the process stands after `claim`.
  enum class Outcome { First, AnotherRaised, Unavailable };

  explicit SingleInstance(const QString& dataDirectory, QObject* parent = nullptr);

  // Takes the name, or hands the request to come to front to the process that has it.
  Outcome claim();
  // The name the instances meet under.
  const QString& name() const { return name_; }
  static QString nameFor(unsigned userId, const QString& dataDirectory);

 signals:
  // A second start asked this window to come to the front.
  void raiseRequested();

 private:
  bool listen();
  bool askRunningToRaise();

  QString name_;
  QLocalServer* server_ = nullptr;
};

}  // namespace kestrio::gui::shell
