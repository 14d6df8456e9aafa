#pragma once

#include <QObject>
#include <memory>

#include "platform/Platform.h"

class QSocketNotifier;
class QTimer;

namespace kestrio::gui::shell {

// Follows what Kestrio's other processes (the daemon, `kestrio update`, a command) store in the
// documents directory while the window is visible. A pass replaces several files in a burst; the
// burst is announced once, `kDebounceMs` after its last change.
class DocumentsWatcher : public QObject {
  Q_OBJECT

 public:
  static constexpr int kDebounceMs = 200;

  // `platform` outlives the watcher.
  explicit DocumentsWatcher(kestrio::Platform& platform, QObject* parent = nullptr);
  ~DocumentsWatcher() override;

  // Starts watching; false when the platform cannot watch the directory.
  bool start();
  // Stops watching and forgets a burst not yet announced.
  void stop();
  bool isWatching() const { return watch_ != nullptr; }

  // Changes this process is about to make are not announced: a pass of the window's own is
  // drawn by the window already. Call `ignoreOwnChanges()` before such a change and
  // `ownChangesDone()` after it.
  void ignoreOwnChanges();
  void ownChangesDone();

  // Announces now a burst whose debounce is still running, as the end of the debounce would;
  // false when none is waiting. For tests, which see what a burst leads to, or that nothing was
  // seen, without sleeping through the debounce.
  bool flushPending();

 signals:
  // Stored files changed; the window redraws from them.
  void changed();

 private:
  void onReadable();

  kestrio::Platform& platform_;
  std::unique_ptr<kestrio::DirectoryWatch> watch_;
  QSocketNotifier* notifier_ = nullptr;
  QTimer* debounce_ = nullptr;
  int ownChanges_ = 0;
};

}  // namespace kestrio::gui::shell
