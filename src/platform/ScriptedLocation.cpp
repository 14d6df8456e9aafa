#include "platform/ScriptedLocation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <vector>

namespace kestrio {

namespace {

std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> result;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
    if (i > start) result.push_back(line.substr(start, i - start));
  }
  return result;
}

std::optional<double> number(std::string_view word) {
  double value = 0;
  const char* end = word.data() + word.size();
  auto [ptr, ec] = std::from_chars(word.data(), end, value);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

std::optional<Location> parseLocationLine(std::string_view line, Date now, std::string* error) {
  const auto fields = words(line);
  auto fail = [error](const char* why) -> std::optional<Location> {
    if (error) *error = why;
    return std::nullopt;
  };
  if (fields.size() < 2 || fields.size() > 3) {
    return fail("expected a latitude, a longitude and an optional Unix time");
  }
  const auto latitude = number(fields[0]);
  const auto longitude = number(fields[1]);
  if (!latitude || *latitude < -90 || *latitude > 90) return fail("latitude not in -90..90");
  if (!longitude || *longitude < -180 || *longitude > 180) {
    return fail("longitude not in -180..180");
  }
  Location location{*latitude, *longitude, now};
  if (fields.size() == 3) {
    const auto seconds = number(fields[2]);
    if (!seconds) return fail("time is not a number of seconds since 1970");
    location.timestamp = Date::fromSecondsSince1970(*seconds);
  }
  return location;
}

ScriptedLocationManager::ScriptedLocationManager(std::string path,
                                                 LocationManagerDelegate& delegate, EventLoop& loop,
                                                 Clock clock, Logger log)
    : path_(std::move(path)),
      delegate_(delegate),
      loop_(loop),
      clock_(std::move(clock)),
      log_(std::move(log)) {}

ScriptedLocationManager::~ScriptedLocationManager() {
  stopMonitoringSignificantLocationChanges();
}

void ScriptedLocationManager::startMonitoringSignificantLocationChanges() {
  if (timer_ >= 0) return;
  timer_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
  if (timer_ < 0) {
    log_("cannot watch the positions file " + path_);
    return;
  }
  // The first look at once, then one a second.
  itimerspec period{};
  period.it_value.tv_nsec = 1000000;
  period.it_interval.tv_sec = 1;
  ::timerfd_settime(timer_, 0, &period, nullptr);
  if (!loop_.add(timer_, [this] {
        std::uint64_t expirations = 0;
        if (::read(timer_, &expirations, sizeof expirations) < 0) return;
        readNewLines();
      })) {
    log_("cannot watch the positions file " + path_);
    ::close(timer_);
    timer_ = -1;
  }
}

void ScriptedLocationManager::stopMonitoringSignificantLocationChanges() {
  if (timer_ < 0) return;
  loop_.remove(timer_);
  ::close(timer_);
  timer_ = -1;
}

bool ScriptedLocationManager::isRegularFile(mode_t mode) {
  if (S_ISREG(mode)) {
    toldNotRegular_ = false;
    return true;
  }
  if (!toldNotRegular_) {
    log_("positions file " + path_ + " is not a regular file; it is not read");
  }
  toldNotRegular_ = true;
  return false;
}

void ScriptedLocationManager::lookAgainSoon() {
  itimerspec soon{};
  soon.it_value.tv_nsec = 1;
  soon.it_interval.tv_sec = 1;
  ::timerfd_settime(timer_, 0, &soon, nullptr);
}

void ScriptedLocationManager::readNewLines() {
  // A FIFO would block the open until a writer comes, a device never ends: look before opening,
  // open without waiting, and look again at what was opened.
  struct stat info {};
  if (::stat(path_.c_str(), &info) == 0 && !isRegularFile(info.st_mode)) return;
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (!toldMissing_) delegate_.didFailWithError(*this, "cannot read " + path_);
    toldMissing_ = true;
    return;
  }
  toldMissing_ = false;
  if (::fstat(fd, &info) != 0 || !isRegularFile(info.st_mode)) {
    ::close(fd);
    return;
  }
  // A file written anew (shorter than what was read) is read again from its start.
  if (info.st_size < offset_) {
    offset_ = 0;
    lineNumber_ = 0;
    skippingLongLine_ = false;
  }
  std::string text(kMaxBytesPerLook, '\0');
  std::size_t size = 0;
  while (size < text.size()) {
    const ssize_t got = ::pread(fd, text.data() + size, text.size() - size,
                                static_cast<off_t>(offset_ + static_cast<long long>(size)));
    if (got <= 0) break;
    size += static_cast<std::size_t>(got);
  }
  ::close(fd);
  text.resize(size);

  std::size_t start = 0;
  int handled = 0;
  while (timer_ >= 0 && handled < kMaxPositionsPerLook) {
    const std::size_t end = text.find('\n', start);
    if (skippingLongLine_) {
      // The rest of a line too long to read: dropped up to its end, which may come later.
      const std::size_t skipped = (end == std::string::npos ? text.size() : end + 1) - start;
      offset_ += static_cast<long long>(skipped);
      start += skipped;
      if (end == std::string::npos) break;
      skippingLongLine_ = false;
      continue;
    }
    const std::size_t length = (end == std::string::npos ? text.size() : end) - start;
    if (length > kMaxLineLength) {
      ++lineNumber_;
      ++handled;
      log_(path_ + ":" + std::to_string(lineNumber_) + ": position ignored: line longer than " +
           std::to_string(kMaxLineLength) + " bytes");
      skippingLongLine_ = true;
      continue;
    }
    if (end == std::string::npos) break;  // an unfinished line waits for its end
    const std::string_view line(text.data() + start, length);
    offset_ += static_cast<long long>(length + 1);
    start = end + 1;
    ++lineNumber_;
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos || line[first] == '#') continue;
    ++handled;
    std::string error;
    const auto location = parseLocationLine(line, clock_(), &error);
    if (!location) {
      log_(path_ + ":" + std::to_string(lineNumber_) + ": position ignored: " + error);
      continue;
    }
    delegate_.didUpdateToLocation(*this, location);
  }
  // More is waiting when this look stopped at its bound, or read as much as one look may.
  if (timer_ >= 0 && (handled == kMaxPositionsPerLook || size == kMaxBytesPerLook)) {
    lookAgainSoon();
  }
}

}  // namespace kestrio
