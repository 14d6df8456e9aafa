#include "support/FakePlatform.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace kestrio::testing {

class FakePlatform::Watch final : public DirectoryWatch {
 public:
  explicit Watch(FakePlatform& owner) : owner_(owner) {
    if (::pipe2(fds_, O_NONBLOCK | O_CLOEXEC) != 0) fds_[0] = fds_[1] = -1;
    owner_.watches_.push_back(this);
  }
  ~Watch() override {
    std::erase(owner_.watches_, this);
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;

  void signal() {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(fds_[1], &byte, 1);
  }
  int descriptor() const override { return fds_[0]; }
  bool takeChanges() override {
    char bytes[64];
    bool any = false;
    while (::read(fds_[0], bytes, sizeof bytes) > 0) any = true;
    return any;
  }

 private:
  FakePlatform& owner_;
  int fds_[2] = {-1, -1};
};

FakePlatform::FakePlatform(const std::string& zoneId, const std::string& localeId)
    : calendar_(zoneId, localeId),
      transactional_(files_, kDocuments, documentPath(kLockFileName),
                     [this](std::string_view line) { log(line); }),
      defaults_(
          transactional_, documentPath(kDefaultsFileName), documentPath(kLockFileName),
          [this](std::string_view line) { log(line); }, [this] { return now_; }) {
  now_ = at(2026, 1, 15, 12, 0, 0);
  // Every real system has its loopback, so a reading is never empty unless a test empties it.
  counters_.push_back(InterfaceCounters{"lo", 0, 0, true});
  files_.onChange = [this](const std::string& path) {
    const std::string prefix = documents_ + "/";
    if (path.rfind(prefix, 0) != 0 || !isStoredFileName(path.substr(prefix.size()))) return;
    for (Watch* watch : watches_) watch->signal();
  };
}

std::unique_ptr<DirectoryWatch> FakePlatform::watchDocumentsDirectory() {
  return std::make_unique<Watch>(*this);
}

namespace {

// Forgets the callback when the process lets go of its watch.
class FakeConnectionWatch final : public ConnectionWatch {
 public:
  explicit FakeConnectionWatch(std::function<void()>& held) : held_(held) {}
  ~FakeConnectionWatch() override { held_ = nullptr; }

 private:
  std::function<void()>& held_;
};

}  // namespace

std::unique_ptr<ConnectionWatch> FakePlatform::watchConnections(std::function<void()> changed) {
  connectionsChanged_ = std::move(changed);
  return std::make_unique<FakeConnectionWatch>(connectionsChanged_);
}

void FakePlatform::changeConnections(ConnectionSnapshot now) {
  if (now == connections) return;
  connections = std::move(now);
  if (connectionsChanged_) connectionsChanged_();
}

bool FakePlatform::waitForTermination(double seconds) {
  ++waits;
  if (waitsBeforeTermination >= 0 && waits > waitsBeforeTermination) return true;
  waitInterrupted_ = false;
  if (std::optional<WaitEvent> event = std::exchange(duringNextWait, std::nullopt)) {
    const double after = std::min(event->after, seconds);
    advance(after);
    seconds -= after;
    event->happen();
    if (std::exchange(waitInterrupted_, false)) return false;
  }
  advance(seconds + clockStepOnWait);
  clockStepOnWait = 0;
  return false;
}

Date FakePlatform::at(int year, int month, int day, int hour, int minute, int second) const {
  return calendar_.date(DateComponents{year, month, day, hour, minute, second, 0});
}

std::optional<std::vector<InterfaceCounters>> FakePlatform::readInterfaceCounters() {
  ++counterReads_;
  if (countersUnreadable_) return std::nullopt;
  return counters_;
}

InterfaceKind FakePlatform::interfaceKind(const std::string& name) {
  auto it = kinds_.find(name);
  return it == kinds_.end() ? InterfaceKind::Neither : it->second;
}

void FakePlatform::setCounters(const std::string& name, std::uint64_t received, std::uint64_t sent,
                               InterfaceKind kind) {
  kinds_[name] = kind;
  setCounters(name, received, sent);
}

void FakePlatform::setCounters(const std::string& name, std::uint64_t received,
                               std::uint64_t sent) {
  auto it = std::find_if(counters_.begin(), counters_.end(),
                         [&](const InterfaceCounters& c) { return c.name == name; });
  if (it == counters_.end()) {
    counters_.push_back(InterfaceCounters{name, received, sent, false});
  } else {
    it->received = received;
    it->sent = sent;
  }
}

void FakePlatform::setLoopback(const std::string& name, std::uint64_t received,
                               std::uint64_t sent) {
  setCounters(name, received, sent);
  for (auto& c : counters_) {
    if (c.name == name) c.loopback = true;
  }
}

void FakePlatform::setIndex(const std::string& name, std::uint32_t index) {
  for (auto& c : counters_) {
    if (c.name == name) c.index = index;
  }
}

void FakePlatform::setHardwareAddress(const std::string& name, const std::string& address) {
  for (auto& c : counters_) {
    if (c.name == name) c.hardwareAddress = address;
  }
}

std::unique_ptr<LocationManager> FakePlatform::makeLocationManager(LocationManagerDelegate& d) {
  ++locationManagersMade;
  auto manager = std::make_unique<FakeLocationManager>(d);
  FakeLocationManager* made = manager.get();
  manager->onGone = [this, made] {
    if (locationManager == made) locationManager = nullptr;
  };
  locationManager = made;
  return manager;
}

std::optional<Placemark> FakePlatform::reverseGeocode(double latitude, double longitude) {
  geocoded.emplace_back(latitude, longitude);
  for (const auto& place : places) {
    if (place.latitude == latitude && place.longitude == longitude) return place.placemark;
  }
  return std::nullopt;
}

void FakePlatform::removeInterface(const std::string& name) {
  std::erase_if(counters_, [&](const InterfaceCounters& c) { return c.name == name; });
}

}  // namespace kestrio::testing
