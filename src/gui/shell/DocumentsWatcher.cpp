#include "gui/shell/DocumentsWatcher.h"

#include <QSocketNotifier>
#include <QTimer>

namespace kestrio::gui::shell {

DocumentsWatcher::DocumentsWatcher(kestrio::Platform& platform, QObject* parent)
    : QObject(parent), platform_(platform), debounce_(new QTimer(this)) {
  debounce_->setSingleShot(true);
  debounce_->setInterval(kDebounceMs);
  connect(debounce_, &QTimer::timeout, this, &DocumentsWatcher::changed);
}

DocumentsWatcher::~DocumentsWatcher() {
  stop();
}

bool DocumentsWatcher::start() {
  if (watch_) return true;
  watch_ = platform_.watchDocumentsDirectory();
  if (!watch_) {
    platform_.log(
        "Window: the data directory cannot be watched; figures follow other processes "
        "only when the window is activated");
    return false;
  }
  notifier_ = new QSocketNotifier(watch_->descriptor(), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &DocumentsWatcher::onReadable);
  return true;
}

void DocumentsWatcher::stop() {
  debounce_->stop();
  delete notifier_;
  notifier_ = nullptr;
  watch_.reset();
}

void DocumentsWatcher::ignoreOwnChanges() {
  ++ownChanges_;
}

void DocumentsWatcher::ownChangesDone() {
  if (ownChanges_ > 0) --ownChanges_;
  // The events of the window's own writes are already queued: read them now, unannounced.
  if (ownChanges_ == 0 && watch_) watch_->takeChanges();
}

bool DocumentsWatcher::flushPending() {
  if (!debounce_->isActive()) return false;
  debounce_->stop();
  emit changed();
  return true;
}

void DocumentsWatcher::onReadable() {
  if (!watch_ || !watch_->takeChanges() || ownChanges_ > 0) return;
  debounce_->start();
}

}  // namespace kestrio::gui::shell
